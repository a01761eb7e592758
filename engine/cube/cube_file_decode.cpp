#include "engine/cube/cube_file_decode.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "engine/core/page_advice.h"
#include "engine/io/crc32c.h"
#include "engine/io/lzss.h"
#include "engine/io/saved_fields.h"
#include "engine/io/tagged_stream.h"

namespace qd {
namespace {

// Tags on the way to the records (see cube_file.cpp).
constexpr TTag kContainer = 0x1200, kTagCube = 0x1205;
constexpr TTag kCubeStream = 0x500, kTagFactTable = 0x514;

// Thrown inside the walk only: more bytes are needed, or the container is
// not laid out as expected.
struct TNeedMore {
  std::size_t Bytes;
};
struct TNotThere {};

class TWalk {
 public:
  explicit TWalk(std::span<const std::uint8_t> data) : FData(data) {}

  std::size_t Position() const { return FPos; }
  TTag Tag() { return static_cast<TTag>(Le(2)); }
  std::uint8_t Code() { return static_cast<std::uint8_t>(Le(1)); }
  std::uint32_t Size() { return static_cast<std::uint32_t>(Le(4)); }
  void Skip(std::size_t n) {
    Need(n);
    FPos += n;
  }
  //! Skips one value by its code.
  void SkipValue() {
    switch (static_cast<TValueCode>(Code())) {
      case TValueCode::vcByte:
      case TValueCode::vcInt8: return Skip(1);
      case TValueCode::vcInt16: return Skip(2);
      case TValueCode::vcInt32: return Skip(4);
      case TValueCode::vcInt64: return Skip(8);
      case TValueCode::vcFalse:
      case TValueCode::vcTrue: return;
      case TValueCode::vcString: return Skip(Le(1));
      case TValueCode::vcLString:
      case TValueCode::vcBinary:
      case TValueCode::vcObject: return Skip(Size());
      default: throw TNotThere{};
    }
  }
  //! Reads the code and size of an object value; its block follows.
  void EnterObject() {
    if (static_cast<TValueCode>(Code()) != TValueCode::vcObject) throw TNotThere{};
    Size();
  }
  //! Goes through the fields of the block begun with `base` up to `tag`,
  //! skipping the values of others.
  void FindField(TTag base, TTag tag) {
    if (Tag() != base) throw TNotThere{};
    for (TTag t = Tag(); t != tag; t = Tag()) {
      if (t == EndTag(base)) throw TNotThere{};
      SkipValue();
    }
  }

 private:
  void Need(std::size_t n) const {
    if (n > FData.size() - FPos) throw TNeedMore{FPos + n};
  }
  std::uint32_t Le(std::size_t n) {
    Need(n);
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < n; ++k) v |= static_cast<std::uint32_t>(FData[FPos + k]) << (8 * k);
    FPos += n;
    return v;
  }

  std::span<const std::uint8_t> FData;
  std::size_t FPos = 0;
};

void Resize(TContainerBlock& block, std::size_t capacity) {
  void* p = std::realloc(block.Data.get(), std::max<std::size_t>(capacity, 1));
  if (!p) throw std::bad_alloc();
  (void)block.Data.release();
  block.Data.reset(static_cast<std::uint8_t*>(p));
  block.Capacity = capacity;
}

// Room the bytes behind the records usually fit in, taken with the records:
// growing a block of records later could move them to pages of another
// alignment, which splits the huge pages they were decoded into.
constexpr std::size_t kTailRoom = std::size_t{256} << 10;

// Decodes up to `n` more bytes behind the block's content.
void DecodeMore(TContainerBlock& block, TLzssDecoder& decoder, std::size_t n) {
  if (block.Size + n > block.Capacity) Resize(block, block.Size + n);
  block.Size += decoder.Decode(block.Data.get() + block.Size, n);
}

// The rest of the code, within the limit; a decoder that would pass it raises
// the stream error.
void DecodeRest(TContainerBlock& block, TLzssDecoder& decoder, std::size_t limit) {
  const std::size_t bound = std::min(decoder.RemainingBound(), limit - block.Size + 1);
  DecodeMore(block, decoder, bound);
  if (block.Size > limit) RaiseBadValue();
  if (block.Capacity - block.Size > kTailRoom) Resize(block, block.Size);  // shrinks in place
}

// Decodes the records through a small buffer, only for their checksum; the
// bytes after them take their place. A code that ends inside them leaves the
// block at their start, not passed over.
void PassOver(TContainerBlock& block, TLzssDecoder& decoder, const TFactItems& items) {
  std::uint32_t crc = Crc32c(0, block.Bytes().subspan(items.CubeBegin, items.Offset - items.CubeBegin));
  std::size_t left = items.Length;
  // Records the head step decoded already, and the bytes behind them.
  const std::size_t inHead = std::min(left, block.Size - items.Offset);
  crc = Crc32c(crc, block.Bytes().subspan(items.Offset, inHead));
  left -= inHead;
  const std::size_t behind = block.Size - items.Offset - inHead;
  std::memmove(block.Data.get() + items.Offset, block.Data.get() + items.Offset + inHead, behind);
  block.Size = items.Offset + behind;
  std::vector<std::uint8_t> buffer(std::min<std::size_t>(left, std::size_t{1} << 20));
  while (left > 0) {
    const std::size_t n = decoder.Decode(buffer.data(), std::min(left, buffer.size()));
    if (n == 0) return;
    crc = Crc32c(crc, std::span(buffer).first(n));
    left -= n;
  }
  block.RecordsPassed = true;
  block.RecordsAt = items.Offset;
  block.RecordsLength = items.Length;
  block.CrcThroughRecords = crc;
}

thread_local TAdoptableBlock* tAdoptable = nullptr;

}  // namespace

TFactItems FindFactItems(std::span<const std::uint8_t> head) {
  TWalk w(head);
  TFactItems items;
  try {
    w.FindField(kContainer, kTagCube);
    w.EnterObject();
    items.CubeBegin = w.Position();
    w.FindField(kCubeStream, kTagFactTable);
    w.EnterObject();
    w.FindField(array_form::kBase, array_form::kTagItems);
    if (static_cast<TValueCode>(w.Code()) != TValueCode::vcBinary) throw TNotThere{};
    items.Length = w.Size();
    items.Offset = w.Position();
    items.Found = true;
  } catch (const TNeedMore& more) {
    items.Need = more.Bytes;
  } catch (const TNotThere&) {
  }
  return items;
}

TContainerBlock DecodeCubeContainer(std::span<const std::uint8_t> code, std::size_t limit,
                                    TRecords records, bool releaseCode) {
  TLzssDecoder decoder(code);
  TContainerBlock block;
  // The head, in growing steps until the walk reaches the records.
  TFactItems items;
  std::size_t step = std::size_t{64} << 10;
  for (;;) {
    items = FindFactItems(block.Bytes());
    if (items.Need == 0 || decoder.AtEnd()) break;
    const std::size_t want = std::max(items.Need - block.Size, step);
    DecodeMore(block, decoder, std::min(want, limit + 1 - block.Size));
    if (block.Size > limit) RaiseBadValue();
    step *= 2;
  }
  if (!items.Found) {
    DecodeRest(block, decoder, limit);
    return block;
  }
  // The records: refused before their memory is taken when the limit or the
  // rest of the code cannot hold them.
  const std::size_t end = items.Offset + items.Length;
  if (end > limit || end > block.Size + decoder.RemainingBound()) RaiseBadValue();
  if (records == TRecords::rStopBefore) {
    block.Size = std::min(block.Size, items.Offset);
    return block;
  }
  if (records == TRecords::rPassOver) {
    PassOver(block, decoder, items);
    if (block.RecordsPassed) DecodeRest(block, decoder, limit);
    return block;
  }
  if (end > block.Size) {
    Resize(block, end + kTailRoom);
    AdviseHugePages(block.Data.get() + block.Size, end - block.Size);
    // In slices, so that the code read so far can be given back on the way:
    // the code and the records are then not held in full at the same time.
    constexpr std::size_t kSlice = std::size_t{32} << 20;
    while (block.Size < end) {
      const std::size_t n = decoder.Decode(block.Data.get() + block.Size,
                                           std::min(kSlice, end - block.Size));
      if (n == 0) return block;  // the code ends inside the records
      block.Size += n;
      if (releaseCode) ReleasePages(code.data(), decoder.CodeRead());
    }
  }
  DecodeRest(block, decoder, limit);
  return block;
}

TAdoptableBlock::TAdoptableBlock(TContainerBlock& block) : FOuter(tAdoptable), FBlock(block) {
  tAdoptable = this;
}

TAdoptableBlock::~TAdoptableBlock() {
  tAdoptable = FOuter;
}

void* TAdoptableBlock::Take(std::span<const std::uint8_t> records) {
  if (!tAdoptable || records.empty()) return nullptr;
  TContainerBlock& b = tAdoptable->FBlock;
  const std::uint8_t* begin = b.Data.get();
  if (!begin || records.data() < begin || records.data() + records.size() > begin + b.Size)
    return nullptr;
  return b.Data.release();
}

}  // namespace qd
