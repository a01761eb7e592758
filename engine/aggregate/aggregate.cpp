#include "engine/aggregate/aggregate.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "engine/core/errors.h"
#include "engine/core/messages.h"

namespace qd {

namespace {

const TKeyList& EmptyKeys() {
  static const TKeyList empty;
  return empty;
}

inline std::uint64_t HashKey(std::int64_t key) {
  // Fibonacci hashing spreads the mixed-radix keys over the table.
  std::uint64_t h = static_cast<std::uint64_t>(key) * 0x9E3779B97F4A7C15ull;
  return h ^ (h >> 29);
}

}  // namespace

std::string AggregatedRefusal(TFunction f) {
  if (!NeedsEveryFact(f)) return {};
  if (f == TFunction::stMedian) return Msg(TMsg::SAggregatedNoMedian);
  if (f == TFunction::stMeanAbsDev) return Msg(TMsg::SAggregatedNoMeanAbsDev);
  return Msg(TMsg::SAggregatedNoCustom);
}

// ---------------------------------------------------------------- TTotals

TTotals::TTotals(TKeyListPtr keys) : FKeys(std::move(keys)) {}

const TKeyList& TTotals::Keys() const {
  return FKeys ? *FKeys : EmptyKeys();
}

std::ptrdiff_t TTotals::IndexOf(std::int64_t key) const {
  const TKeyList& keys = Keys();
  auto it = std::lower_bound(keys.begin(), keys.end(), key);
  if (it == keys.end() || *it != key) return -1;
  return it - keys.begin();
}

std::optional<TTotals::TLookup> TTotals::Lookup(std::int64_t key) const {
  std::ptrdiff_t i = IndexOf(key);
  if (i < 0 || static_cast<std::size_t>(i) >= Sums.size()) return std::nullopt;
  auto pos = static_cast<std::size_t>(i);
  return TLookup{pos, Sums[pos], Counts[pos], TwoPass.empty() ? nullptr : &TwoPass[pos]};
}

void TTotals::Clear() {
  Sums.clear();
  Counts.clear();
  Mins.clear();
  Maxs.clear();
  TwoPass.clear();
  TwoPassDone = false;
  TwoPassMedians = false;
  TwoPassMoments = false;
  if (FKeys) FKeys->clear();
}

double FunctionValueAt(const TTotals& totals, std::size_t position, TFunction function) {
  double sum = totals.Sums[position];
  std::int32_t count = totals.Counts[position];
  switch (function) {
    case TFunction::stSum:
      return sum;
    case TFunction::stCount:
      return count;
    case TFunction::stAverage:
      return count != 0 ? sum / count : 0.0;
    default:
      break;
  }
  if (totals.TwoPass.empty()) {
    if (function == TFunction::stMin && position < totals.Mins.size()) return totals.Mins[position];
    if (function == TFunction::stMax && position < totals.Maxs.size()) return totals.Maxs[position];
    return 0.0;
  }
  const TTwoPassRecord& r = totals.TwoPass[position];
  switch (function) {
    case TFunction::stMin:
      return r.Minimum;
    case TFunction::stMax:
      return r.Maximum;
    case TFunction::stVariance:
      return r.Variance;
    case TFunction::stStdDev:
      return std::sqrt(r.Variance);
    case TFunction::stMeanAbsDev:
      return r.MeanAbsDev;
    case TFunction::stSkewness:
      return r.Skewness;
    case TFunction::stKurtosis:
      return r.Kurtosis;
    case TFunction::stMedian:
      return r.Median;
    default:
      return r.Custom[static_cast<int>(function) - static_cast<int>(TFunction::stCustom1)];
  }
}

std::optional<double> FunctionValue(const TTotals& totals, std::int64_t key, TFunction function) {
  std::ptrdiff_t i = totals.IndexOf(key);
  if (i < 0 || static_cast<std::size_t>(i) >= totals.Size()) return std::nullopt;
  return FunctionValueAt(totals, static_cast<std::size_t>(i), function);
}

// ---------------------------------------------------------------- TTotalLines

TTotals* TTotalLines::Find(std::uint32_t mask) const {
  auto it = std::lower_bound(FMasks.begin(), FMasks.end(), mask);
  if (it == FMasks.end() || *it != mask) return nullptr;
  return FItems[it - FMasks.begin()].get();
}

TTotals* TTotalLines::Add(std::uint32_t mask, std::unique_ptr<TTotals> totals) {
  auto it = std::lower_bound(FMasks.begin(), FMasks.end(), mask);
  auto i = it - FMasks.begin();
  if (it != FMasks.end() && *it == mask) {
    FItems[i] = std::move(totals);
  } else {
    FMasks.insert(it, mask);
    FItems.insert(FItems.begin() + i, std::move(totals));
  }
  return FItems[i].get();
}

void TTotalLines::Clear() {
  FMasks.clear();
  FItems.clear();
}

// ---------------------------------------------------------------- TSummaryArray

TSummaryArray::TSummaryArray() {
  Clear();
}

void TSummaryArray::Clear() {
  FKeys.clear();
  FSums.clear();
  FCounts.clear();
  FAdditions.clear();
  FMins.clear();
  FMaxs.clear();
  FMinMaxKnown = true;
  FSlots.assign(64, 0);
  FSlotMask = 63;
  FLast = -1;
}

std::int32_t TSummaryArray::Find(std::int64_t key) const {
  for (std::uint64_t s = HashKey(key) & FSlotMask;; s = (s + 1) & FSlotMask) {
    std::int32_t node = FSlots[s];
    if (node == 0) return -1;
    if (FKeys[node - 1] == key) return node - 1;
  }
}

std::int32_t TSummaryArray::Additions(std::int64_t key) const {
  std::int32_t node = Find(key);
  return node < 0 ? 0 : FAdditions[node];
}

void TSummaryArray::Grow() {
  std::size_t size = FSlots.size() * 2;
  FSlots.assign(size, 0);
  FSlotMask = size - 1;
  for (std::size_t node = 0; node < FKeys.size(); ++node) {
    std::uint64_t s = HashKey(FKeys[node]) & FSlotMask;
    while (FSlots[s] != 0) s = (s + 1) & FSlotMask;
    FSlots[s] = static_cast<std::int32_t>(node + 1);
  }
}

void TSummaryArray::AddSlow(std::int64_t key, double sum, std::int32_t count, double min,
                            double max) {
  std::uint64_t s = HashKey(key) & FSlotMask;
  for (;; s = (s + 1) & FSlotMask) {
    std::int32_t node = FSlots[s];
    if (node == 0) break;
    if (FKeys[node - 1] == key) {
      FLast = node - 1;
      Merge(FLast, sum, count, min, max);
      return;
    }
  }
  FLast = static_cast<std::int32_t>(FKeys.size());
  FKeys.push_back(key);
  FSums.push_back(sum);
  FCounts.push_back(count);
  FAdditions.push_back(1);
  FMins.push_back(min);
  FMaxs.push_back(max);
  FSlots[s] = FLast + 1;
  if (FKeys.size() * 2 > FSlots.size()) Grow();
}

std::vector<std::int32_t> AscendingKeyOrder(const std::vector<std::int64_t>& keys) {
  std::vector<std::int32_t> order(keys.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(),
            [&](std::int32_t a, std::int32_t b) { return keys[a] < keys[b]; });
  return order;
}

void TSummaryArray::CopyMinMax(const std::vector<std::int32_t>& order,
                               const std::vector<std::int32_t>* positions, TTotals& totals) const {
  if (!FMinMaxKnown) return;
  totals.Mins.assign(totals.Sums.size(), 0.0);
  totals.Maxs.assign(totals.Sums.size(), 0.0);
  for (std::size_t i = 0; i < order.size(); ++i) {
    const std::size_t at = positions ? static_cast<std::size_t>((*positions)[i]) : i;
    totals.Mins[at] = FMins[order[i]];
    totals.Maxs[at] = FMaxs[order[i]];
  }
}

std::unique_ptr<TTotals> TSummaryArray::ToTotals(const TKeyListPtr& keys) const {
  auto totals = std::make_unique<TTotals>(keys);
  if (FKeys.empty()) return totals;
  std::vector<std::int32_t> order = AscendingKeyOrder(FKeys);
  TKeyList& list = *keys;
  if (list.empty()) {
    list.resize(order.size());
    totals->Sums.resize(order.size());
    totals->Counts.resize(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
      list[i] = FKeys[order[i]];
      totals->Sums[i] = FSums[order[i]];
      totals->Counts[i] = FCounts[order[i]];
    }
    CopyMinMax(order, nullptr, *totals);
    return totals;
  }
  // The key list was filled by another summary of the same mask: align by key
  // so that a cell never receives another cell's values.
  totals->Sums.assign(list.size(), 0.0);
  totals->Counts.assign(list.size(), 0);
  std::vector<std::int32_t> positions;
  positions.reserve(order.size());
  std::size_t pos = 0;
  for (std::int32_t node : order) {
    while (pos < list.size() && list[pos] < FKeys[node]) ++pos;
    if (pos == list.size() || list[pos] != FKeys[node]) {
      throw EGenericError(Msg(TMsg::SInternalCalcError));
    }
    totals->Sums[pos] = FSums[node];
    totals->Counts[pos] = FCounts[node];
    positions.push_back(static_cast<std::int32_t>(pos));
  }
  CopyMinMax(order, &positions, *totals);
  return totals;
}

}  // namespace qd
