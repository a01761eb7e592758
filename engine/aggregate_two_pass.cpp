#include "engine/aggregate_two_pass.h"

#include <array>
#include <bit>
#include <cmath>

#include "engine/errors.h"
#include "engine/messages.h"

namespace qd {

namespace {

constexpr std::uint64_t kSignBit = 0x8000000000000000ull;

// Maps a double to an unsigned key with the same order; -0 maps like +0.
inline std::uint64_t OrderedBits(double v) {
  if (v == 0) v = 0.0;
  auto bits = std::bit_cast<std::uint64_t>(v);
  return (bits & kSignBit) ? ~bits : bits ^ kSignBit;
}

inline double FromOrderedBits(std::uint64_t key) {
  std::uint64_t bits = (key & kSignBit) ? key ^ kSignBit : ~key;
  return std::bit_cast<double>(bits);
}

constexpr int kDigitBits = 11;
constexpr int kDigits = (64 + kDigitBits - 1) / kDigitBits;
constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;

}  // namespace

// ---------------------------------------------------------------- TTwoPassDataArray

void TTwoPassDataArray::Sort(std::span<const double> values, std::vector<double>& sortedValues,
                             std::vector<std::uint32_t>& records) {
  const std::size_t n = values.size();
  std::vector<std::uint64_t> keys(n), keysTmp(n);
  std::vector<std::uint32_t> recs(n), recsTmp(n);
  // One read builds every digit's histogram; a digit that is the same for all
  // keys needs no pass.
  std::vector<std::array<std::uint32_t, kBuckets>> hist(kDigits);
  for (auto& h : hist) h.fill(0);
  for (std::size_t i = 0; i < n; ++i) {
    std::uint64_t k = OrderedBits(values[i]);
    keys[i] = k;
    recs[i] = static_cast<std::uint32_t>(i);
    for (int d = 0; d < kDigits; ++d) ++hist[d][(k >> (d * kDigitBits)) & (kBuckets - 1)];
  }
  // Least significant digit first; each pass is stable, so equal values stay
  // in record order.
  for (int d = 0; d < kDigits; ++d) {
    auto& h = hist[d];
    bool trivial = false;
    for (std::uint32_t c : h) {
      if (c == n) trivial = true;
      if (c != 0) break;
    }
    if (trivial || n == 0) continue;
    std::uint32_t offset = 0;
    for (auto& c : h) {
      std::uint32_t count = c;
      c = offset;
      offset += count;
    }
    const int shift = d * kDigitBits;
    for (std::size_t i = 0; i < n; ++i) {
      std::uint32_t at = h[(keys[i] >> shift) & (kBuckets - 1)]++;
      keysTmp[at] = keys[i];
      recsTmp[at] = recs[i];
    }
    keys.swap(keysTmp);
    recs.swap(recsTmp);
  }
  keysTmp = {};
  recsTmp = {};
  sortedValues.resize(n);
  const std::uint64_t zeroKey = OrderedBits(0.0);
  for (std::size_t i = 0; i < n; ++i) {
    // A zero keeps its own sign.
    sortedValues[i] = keys[i] == zeroKey ? values[recs[i]] : FromOrderedBits(keys[i]);
  }
  records = std::move(recs);
}

// ---------------------------------------------------------------- TDPFactData

TDPFactData::TDPFactData(const TFactTable& facts, int summaryIndex, bool valueOrdered)
    : FSummary(summaryIndex), FValueOrdered(valueOrdered) {
  const auto n = static_cast<std::size_t>(facts.RecordCount());
  std::vector<double> column(n);
  for (std::size_t r = 0; r < n; ++r) {
    column[r] = facts.Value(static_cast<std::int32_t>(r), summaryIndex);
  }
  if (valueOrdered) {
    TTwoPassDataArray::Sort(column, FValues, FRecords);
  } else {
    FRecords.resize(n);
    for (std::size_t r = 0; r < n; ++r) FRecords[r] = static_cast<std::uint32_t>(r);
    FValues = std::move(column);
  }
}

void TDPFactData::SetCells(std::vector<std::int32_t> cells) {
  FCells = std::move(cells);
  FPending = false;
}

void TDPFactData::Reset() {
  FCells = {};
  FPending = true;
}

// ---------------------------------------------------------------- TDoTwoPassHelper

TDoTwoPassHelper::TDoTwoPassHelper(std::int32_t n, double mean, const TSecondPassOptions* options)
    : FN(n), FMedianPos(n % 2 ? (n + 1) / 2 : n / 2), FMean(mean), FOptions(options) {
  if (options && options->CustomCount > 0 && n > 0) FValues.assign(n, 0.0);
}

void TDoTwoPassHelper::Finish(TTwoPassRecord& r) const {
  if (FFed != FN) throw EGenericError(Msg(TMsg::SInternalCalcError));
  if (FFed == 0) return;
  r.Minimum = FMin;
  r.Maximum = FMax;
  r.Median = FMedian;
  const double n = FN;
  if (FN >= 2) {
    double variance = (FSum2 - FSum1 * FSum1 / n) / (n - 1);
    // Guards the square roots below against a rounding remainder below 0.
    if (variance < 0) variance = 0;
    r.Variance = variance;
    r.MeanAbsDev = FSumAbs / n;
    if (variance != 0) {
      r.Skewness = FSum3 / (n * variance * std::sqrt(variance));
      r.Kurtosis = FSum4 / (n * variance * variance) - 3;
    }
  }
  if (!FOptions || !FOptions->OnCalcAggregateFunction) return;
  for (int i = 1; i <= FOptions->CustomCount && i <= kCustomFunctionCount; ++i) {
    double value = 0;
    bool emptyCell = false;
    FOptions->OnCalcAggregateFunction(FOptions->Sender, static_cast<TFunction>(10 + i), FValues,
                                      emptyCell, value);
    r.Custom[i - 1] = value;
  }
}

// ---------------------------------------------------------------- second pass

void RunSecondPass(TTotals& totals, const TDPFactData& data, const TCellTargets& targets,
                   const TSecondPassOptions& options) {
  const std::size_t cells = totals.Size();
  std::vector<TDoTwoPassHelper> helpers;
  helpers.reserve(cells);
  const TSecondPassOptions* opts = options.OnCalcAggregateFunction ? &options : nullptr;
  for (std::size_t c = 0; c < cells; ++c) {
    std::int32_t n = totals.Counts[c];
    helpers.emplace_back(n, n != 0 ? totals.Sums[c] / n : 0.0, opts);
  }
  const std::vector<std::int32_t>& sourceOf = data.Cells();
  const std::size_t sources = targets.SourceCount();
  const std::size_t entries = std::min(sourceOf.size(), data.Size());
  for (std::size_t i = 0; i < entries; ++i) {
    std::int32_t source = sourceOf[i];
    if (source < 0 || static_cast<std::size_t>(source) >= sources) continue;
    const double v = data.Value(i);
    for (std::uint32_t j = targets.Start[source]; j < targets.Start[source + 1]; ++j) {
      std::int32_t t = targets.Cells[j];
      if (t >= 0 && static_cast<std::size_t>(t) < cells) {
        helpers[t].Feed(static_cast<std::int64_t>(i), v);
      }
    }
  }
  std::vector<TTwoPassRecord> records(cells);
  for (std::size_t c = 0; c < cells; ++c) helpers[c].Finish(records[c]);
  totals.TwoPass = std::move(records);
  totals.TwoPassDone = true;
  totals.TwoPassOrdered = data.ValueOrdered();
}

}  // namespace qd
