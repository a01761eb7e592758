#include "engine/aggregate/aggregate_scan_cells.h"

#include <algorithm>

namespace qd {

namespace {

inline std::uint64_t HashKey(std::uint64_t key) {
  const std::uint64_t h = key * 0x9E3779B97F4A7C15ull;
  return h ^ (h >> 29);
}

}  // namespace

void TScanCells::Start(std::uint64_t keyBound, int summaries, std::int64_t records) {
  FSummaries = std::max(0, summaries);
  FStride = 1 + 3 * static_cast<std::size_t>(FSummaries);
  FKeyBound = keyBound;
  const std::uint64_t sparseLimit =
      std::max<std::uint64_t>(kDenseKeys, 4 * static_cast<std::uint64_t>(std::max<std::int64_t>(records, 0)));
  FDense = keyBound <= kDenseBytes / sizeof(std::int32_t) && keyBound <= sparseLimit;
  FCells.clear();
  FKeys.clear();
  FIndex.clear();
  if (FDense) {
    FIndex.assign(static_cast<std::size_t>(keyBound), 0);
  } else {
    FIndex.assign(1024, 0);
    FIndexMask = FIndex.size() - 1;
  }
}

std::int32_t TScanCells::NewSlot(std::uint64_t key) {
  const auto slot = static_cast<std::int32_t>(FKeys.size());
  FKeys.push_back(key);
  FCells.resize(FCells.size() + FStride, 0.0);
  return slot;
}

std::int32_t TScanCells::HashedSlot(std::uint64_t key) {
  std::uint64_t i = HashKey(key) & FIndexMask;
  for (; FIndex[i] != 0; i = (i + 1) & FIndexMask)
    if (FKeys[static_cast<std::size_t>(FIndex[i] - 1)] == key) return FIndex[i] - 1;
  const std::int32_t slot = NewSlot(key);
  FIndex[i] = slot + 1;
  if (FKeys.size() * 2 > FIndex.size()) GrowIndex();
  return slot;
}

void TScanCells::GrowIndex() {
  FIndex.assign(FIndex.size() * 2, 0);
  FIndexMask = FIndex.size() - 1;
  for (std::size_t slot = 0; slot < FKeys.size(); ++slot) {
    std::uint64_t i = HashKey(FKeys[slot]) & FIndexMask;
    while (FIndex[i] != 0) i = (i + 1) & FIndexMask;
    FIndex[i] = static_cast<std::int32_t>(slot + 1);
  }
}

std::vector<std::int32_t> TScanCells::Merge(const TScanCells& other) {
  std::vector<std::int32_t> map(static_cast<std::size_t>(other.SlotCount()), -1);
  for (std::int32_t o = 0; o < other.SlotCount(); ++o) {
    const double* from = other.Cell(o);
    if (from[0] == 0) continue;
    const std::int32_t slot = Slot(other.FKeys[static_cast<std::size_t>(o)]);
    map[static_cast<std::size_t>(o)] = slot;
    double* to = &FCells[static_cast<std::size_t>(slot) * FStride];
    if (to[0] == 0) {
      std::copy(from, from + FStride, to);
      continue;
    }
    to[0] += from[0];
    for (std::size_t at = 1; at < FStride; at += 3) {
      to[at] += from[at];
      if (from[at + 1] < to[at + 1]) to[at + 1] = from[at + 1];
      if (!(from[at + 2] <= to[at + 2])) to[at + 2] = from[at + 2];
    }
  }
  return map;
}

std::vector<std::int32_t> TScanCells::OrderedSlots() const {
  std::vector<std::int32_t> order;
  if (FDense) {
    // The index lists the keys in ascending order already.
    for (const std::int32_t entry : FIndex)
      if (entry != 0 && Cell(entry - 1)[0] != 0) order.push_back(entry - 1);
    return order;
  }
  order.resize(FKeys.size());
  for (std::size_t slot = 0; slot < order.size(); ++slot) order[slot] = static_cast<std::int32_t>(slot);
  std::sort(order.begin(), order.end(), [this](std::int32_t a, std::int32_t b) {
    return static_cast<std::int64_t>(FKeys[static_cast<std::size_t>(a)]) <
           static_cast<std::int64_t>(FKeys[static_cast<std::size_t>(b)]);
  });
  return order;
}

TBaseScan TScanCells::Finish(TBigVector<std::int32_t>* recordSlots) const {
  TBaseScan out;
  const std::vector<std::int32_t> order = OrderedSlots();
  const std::size_t cells = order.size();
  std::vector<std::int32_t> position(static_cast<std::size_t>(SlotCount()), -1);
  TKeyList& keys = *out.Keys;
  keys.resize(cells);
  for (std::size_t i = 0; i < cells; ++i) {
    const auto slot = static_cast<std::size_t>(order[i]);
    position[slot] = static_cast<std::int32_t>(i);
    keys[i] = static_cast<std::int64_t>(FKeys[slot]);
  }
  for (int s = 0; s < FSummaries; ++s) {
    auto totals = std::make_unique<TTotals>(out.Keys);
    totals->Sums.resize(cells);
    totals->Counts.resize(cells);
    totals->Mins.resize(cells);
    totals->Maxs.resize(cells);
    for (std::size_t i = 0; i < cells; ++i) {
      const double* c = Cell(order[i]);
      totals->Counts[i] = static_cast<std::int32_t>(c[0]);
      totals->Sums[i] = c[1 + 3 * s];
      totals->Mins[i] = c[2 + 3 * s];
      totals->Maxs[i] = c[3 + 3 * s];
    }
    out.Totals.push_back(std::move(totals));
  }
  if (recordSlots) {
    for (std::int32_t& r : *recordSlots)
      if (r >= 0) r = position[static_cast<std::size_t>(r)];
    out.RecordCell = std::move(*recordSlots);
  }
  return out;
}

}  // namespace qd
