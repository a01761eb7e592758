#include "engine/cube/fact_table.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/page_advice.h"

namespace qd {

TFactTable::TFactTable(int dimCount, int sumCount)
    : FDimCount(dimCount), FSumCount(sumCount), FRecordSize(4 * dimCount + 8 * sumCount) {}

TFactTable::~TFactTable() {
  std::free(FBlock);
}

void TFactTable::GoTo(std::int32_t r) {
  if (r >= 0 && r < FCount) {
    FCurrent = r;
    FEof = false;
  } else {
    FCurrent = r < 0 ? 0 : FCount;
    FEof = true;
  }
}

void TFactTable::Grow(std::int32_t minCapacity) {
  if (minCapacity <= FCapacity) return;
  // realloc lets large blocks grow in place (mremap) instead of copying, which
  // keeps the peak memory of a build close to the final table size.
  std::int64_t want = static_cast<std::int64_t>(FCapacity) + FCapacity / 2 + 1024;
  if (want < minCapacity) want = minCapacity;
  if (want > std::numeric_limits<std::int32_t>::max())
    want = std::numeric_limits<std::int32_t>::max();
  if (want < minCapacity) throw ECubeError(Format("Too many fact records (%d)", minCapacity));
  std::size_t bytes = static_cast<std::size_t>(want) * static_cast<std::size_t>(FRecordSize);
  if (bytes == 0) bytes = 1;
  void* p;
  if (FBlock == FData) {
    p = std::realloc(FBlock, bytes);
    if (!p) throw std::bad_alloc();
  } else {
    // An adopted block keeps other bytes before the records: move them out.
    p = std::malloc(bytes);
    if (!p) throw std::bad_alloc();
    if (FCount > 0) std::memcpy(p, FData, static_cast<std::size_t>(Offset(FCount)));
    std::free(FBlock);
  }
  FBlock = p;
  FData = static_cast<std::uint8_t*>(p);
  AdviseHugePages(FData, bytes);
  FCapacity = static_cast<std::int32_t>(want);
}

std::int32_t TFactTable::Append() {
  if (FCount == std::numeric_limits<std::int32_t>::max())
    throw ECubeError(Format("Too many fact records (%d)", FCount));
  if (FCount == FCapacity) Grow(FCount + 1);
  std::memset(FData + Offset(FCount), 0, static_cast<std::size_t>(FRecordSize));
  FCurrent = FCount++;
  FEof = false;
  return FCurrent;
}

void TFactTable::Truncate(std::int32_t r) {
  if (r >= 0 && r < FCount) FCount = r;
  if (FWeights && FWeights->RecordCount() > FCount) FWeights->Resize(FCount);
  FCurrent = FCount;
  FEof = true;
}

void TFactTable::Reserve(std::int32_t n) {
  Grow(n);
}

void TFactTable::Assign(const std::uint8_t* bytes, std::int32_t count) {
  FCount = 0;
  if (count > 0) {
    Grow(count);
    std::memcpy(FData, bytes, static_cast<std::size_t>(Offset(count)));
    FCount = count;
  }
  FCurrent = 0;
  FEof = FCount == 0;
}

void TFactTable::Adopt(void* block, const std::uint8_t* records, std::int32_t count) {
  if (block != FBlock) std::free(FBlock);
  FBlock = block;
  FData = const_cast<std::uint8_t*>(records);
  FCount = FCapacity = count < 0 ? 0 : count;
  FCurrent = 0;
  FEof = FCount == 0;
}

}  // namespace qd
