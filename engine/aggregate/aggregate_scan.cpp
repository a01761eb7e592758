#include "engine/aggregate/aggregate_scan.h"

#include <limits>

namespace qd {

namespace {

constexpr std::uint64_t kSkip = std::numeric_limits<std::uint64_t>::max();
// Keys below this bound are indexed through a direct table (4 bytes per key).
constexpr std::uint64_t kDenseLimit = std::uint64_t{1} << 23;

// Cell numbers in order of first appearance, by key.
class TCellIndex {
 public:
  explicit TCellIndex(std::uint64_t keyBound) {
    if (keyBound <= kDenseLimit) {
      FDense.assign(keyBound, -1);
    } else {
      FSlots.assign(1024, -1);
      FMask = FSlots.size() - 1;
    }
  }

  // The cell of a key, numbering a new key `next`; sets `added`.
  std::int32_t Find(std::uint64_t key, std::int32_t next, const std::vector<std::int64_t>& keys,
                    bool& added) {
    added = false;
    if (!FDense.empty()) {
      std::int32_t& c = FDense[key];
      if (c < 0) c = next, added = true;
      return c;
    }
    std::uint64_t s = Hash(key) & FMask;
    for (; FSlots[s] >= 0; s = (s + 1) & FMask) {
      if (static_cast<std::uint64_t>(keys[FSlots[s]]) == key) return FSlots[s];
    }
    FSlots[s] = next;
    added = true;
    if (static_cast<std::size_t>(next + 1) * 2 > FSlots.size()) Grow(keys, next + 1);
    return next;
  }

 private:
  static std::uint64_t Hash(std::uint64_t key) {
    std::uint64_t h = key * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
  }
  void Grow(const std::vector<std::int64_t>& keys, std::int32_t cells) {
    FSlots.assign(FSlots.size() * 2, -1);
    FMask = FSlots.size() - 1;
    for (std::int32_t c = 0; c < cells; ++c) {
      std::uint64_t s = Hash(static_cast<std::uint64_t>(keys[c])) & FMask;
      while (FSlots[s] >= 0) s = (s + 1) & FMask;
      FSlots[s] = c;
    }
  }

  std::vector<std::int32_t> FDense;
  std::vector<std::int32_t> FSlots;
  std::uint64_t FMask = 0;
};

TBaseScan Bad(TBaseScan& result, std::int32_t record, int dimension) {
  result.BadRecord = record;
  result.BadDimension = dimension;
  result.RecordCell.clear();
  return std::move(result);
}

}  // namespace

TBaseScan ScanFacts(const TFactTable& facts, std::span<const TScanDim> dims,
                    std::span<const TScanFilter> filters, int summaryCount, bool keepRecordCells) {
  TBaseScan result;
  const std::size_t sums = static_cast<std::size_t>(summaryCount);
  const std::size_t active = dims.size();
  // Each member's share of the key, kSkip for members that skip the record.
  std::vector<std::vector<std::uint64_t>> part(active);
  std::uint64_t keyBound = 1;
  for (std::size_t p = 0; p < active; ++p) {
    std::uint64_t largest = 0;
    for (std::int32_t digit : dims[p].MemberDigit) {
      std::uint64_t share =
          digit < 0 ? kSkip : static_cast<std::uint64_t>(digit) * dims[p].Multiplier;
      part[p].push_back(share);
      if (share != kSkip && share > largest) largest = share;
    }
    keyBound += largest;
  }
  const std::int32_t records = facts.RecordCount();
  if (keepRecordCells) result.RecordCell.assign(static_cast<std::size_t>(records), -1);
  std::vector<std::int64_t> keys;
  std::vector<double> cellSums, cellMins, cellMaxs;  // cell-major: cell * sums + s
  std::vector<std::int32_t> counts;
  TCellIndex index(keyBound);
  for (std::int32_t r = 0; r < records; ++r) {
    std::uint64_t key = 0;
    bool skip = false;
    for (std::size_t p = 0; p < active; ++p) {
      const std::int32_t m = facts.Member(r, dims[p].DimIndex);
      if (m < 0 || static_cast<std::size_t>(m) >= part[p].size()) {
        return Bad(result, r, dims[p].DimIndex);
      }
      const std::uint64_t share = part[p][static_cast<std::size_t>(m)];
      if (share == kSkip) {
        skip = true;
        break;
      }
      key += share;
    }
    for (std::size_t f = 0; f < filters.size() && !skip; ++f) {
      const std::int32_t m = facts.Member(r, filters[f].DimIndex);
      if (m < 0 || static_cast<std::size_t>(m) >= filters[f].MemberAccepted.size()) {
        return Bad(result, r, filters[f].DimIndex);
      }
      skip = !filters[f].MemberAccepted[static_cast<std::size_t>(m)];
    }
    if (skip) continue;
    bool added;
    const auto next = static_cast<std::int32_t>(keys.size());
    const std::int32_t cell = index.Find(key, next, keys, added);
    const std::size_t at = static_cast<std::size_t>(cell) * sums;
    if (added) {
      keys.push_back(static_cast<std::int64_t>(key));
      cellSums.resize(cellSums.size() + sums, 0.0);
      counts.push_back(0);
      for (std::size_t s = 0; s < sums; ++s) {
        const double v = facts.Value(r, static_cast<int>(s));
        cellMins.push_back(v);
        cellMaxs.push_back(v);
      }
    }
    for (std::size_t s = 0; s < sums; ++s) {
      const double v = facts.Value(r, static_cast<int>(s));
      cellSums[at + s] += v;
      if (v < cellMins[at + s]) cellMins[at + s] = v;
      if (!(v <= cellMaxs[at + s])) cellMaxs[at + s] = v;
    }
    ++counts[cell];
    if (keepRecordCells) result.RecordCell[r] = cell;
  }
  // Number the cells by ascending key.
  std::vector<std::int32_t> order = AscendingKeyOrder(keys);
  std::vector<std::int32_t> rank(order.size());
  TKeyList& sorted = *result.Keys;
  sorted.resize(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    rank[order[i]] = static_cast<std::int32_t>(i);
    sorted[i] = keys[order[i]];
  }
  for (std::int32_t& c : result.RecordCell) {
    if (c >= 0) c = rank[c];
  }
  for (std::size_t s = 0; s < sums; ++s) {
    auto totals = std::make_unique<TTotals>(result.Keys);
    totals->Sums.resize(order.size());
    totals->Counts.resize(order.size());
    totals->Mins.resize(order.size());
    totals->Maxs.resize(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
      const std::size_t from = static_cast<std::size_t>(order[i]) * sums + s;
      totals->Sums[i] = cellSums[from];
      totals->Counts[i] = counts[order[i]];
      totals->Mins[i] = cellMins[from];
      totals->Maxs[i] = cellMaxs[from];
    }
    result.Totals.push_back(std::move(totals));
  }
  return result;
}

}  // namespace qd
