#include "engine/aggregate_two_pass.h"

#include <algorithm>
#include <cmath>

#include "engine/errors.h"
#include "engine/messages.h"

namespace qd {

// ---------------------------------------------------------------- TDPFactData

TDPFactData::TDPFactData(const TFactTable& facts, int summaryIndex, bool valueOrdered)
    : FSummary(summaryIndex), FValueOrdered(valueOrdered) {
  const auto n = static_cast<std::size_t>(facts.RecordCount());
  if (valueOrdered) {
    TTwoPassDataArray::Sort(facts, summaryIndex, FValues, FRecords);
    return;
  }
  FRecords.resize(n);
  FValues.resize(n);
  for (std::size_t r = 0; r < n; ++r) {
    FRecords[r] = static_cast<std::uint32_t>(r);
    FValues[r] = facts.Value(static_cast<std::int32_t>(r), summaryIndex);
  }
}

void TDPFactData::SetCells(TBigVector<std::int32_t> cells) {
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

namespace {

constexpr std::size_t kSharedWalkCells = 4096;

// Feeds every record, in the order of `data`, to the cells of the masks `lines`.
void Walk(const TDPFactData& data, const std::vector<std::size_t>& lines,
          std::span<const TCellTargets> targets,
          std::vector<std::vector<TDoTwoPassHelper>>& helpers) {
  const TBigVector<std::int32_t>& sourceOf = data.Cells();
  const std::size_t entries = std::min(sourceOf.size(), data.Size());
  for (std::size_t i = 0; i < entries; ++i) {
    const std::int32_t source = sourceOf[i];
    if (source < 0) continue;
    const double v = data.Value(i);
    for (std::size_t k : lines) {
      const TCellTargets& tk = targets[k];
      if (static_cast<std::size_t>(source) >= tk.SourceCount()) continue;
      auto& hk = helpers[k];
      for (std::uint32_t j = tk.Start[source]; j < tk.Start[source + 1]; ++j) {
        const std::int32_t t = tk.Cells[j];
        if (t >= 0 && static_cast<std::size_t>(t) < hk.size()) {
          hk[t].Feed(static_cast<std::int64_t>(i), v);
        }
      }
    }
  }
}

}  // namespace

void RunSecondPass(TTotals& totals, const TDPFactData& data, const TCellTargets& targets,
                   const TSecondPassOptions& options) {
  TTotals* one[] = {&totals};
  RunSecondPass(one, data, {&targets, 1}, options);
}

void RunSecondPass(std::span<TTotals* const> totals, const TDPFactData& data,
                   std::span<const TCellTargets> targets, const TSecondPassOptions& options) {
  const std::size_t lines = std::min(totals.size(), targets.size());
  const TSecondPassOptions* opts = options.OnCalcAggregateFunction ? &options : nullptr;
  std::vector<std::vector<TDoTwoPassHelper>> helpers(lines);
  for (std::size_t k = 0; k < lines; ++k) {
    const TTotals& t = *totals[k];
    helpers[k].reserve(t.Size());
    for (std::size_t c = 0; c < t.Size(); ++c) {
      std::int32_t n = t.Counts[c];
      helpers[k].emplace_back(n, n != 0 ? t.Sums[c] / n : 0.0, opts);
    }
  }
  // Masks with few cells share one walk over the records; a mask with many
  // cells walks alone so that its accumulators stay in cache.
  std::vector<std::size_t> byCells(lines);
  for (std::size_t k = 0; k < lines; ++k) byCells[k] = k;
  std::sort(byCells.begin(), byCells.end(),
            [&](std::size_t a, std::size_t b) { return helpers[a].size() < helpers[b].size(); });
  std::vector<std::size_t> batch;
  std::size_t batchCells = 0;
  for (std::size_t i = 0; i <= lines; ++i) {
    const std::size_t cells = i < lines ? helpers[byCells[i]].size() : 0;
    if (i == lines || (!batch.empty() && batchCells + cells > kSharedWalkCells)) {
      Walk(data, batch, targets, helpers);
      batch.clear();
      batchCells = 0;
    }
    if (i < lines) {
      batch.push_back(byCells[i]);
      batchCells += cells;
    }
  }
  std::vector<std::vector<TTwoPassRecord>> records(lines);
  for (std::size_t k = 0; k < lines; ++k) {
    records[k].resize(helpers[k].size());
    for (std::size_t c = 0; c < helpers[k].size(); ++c) helpers[k][c].Finish(records[k][c]);
    helpers[k] = {};
  }
  for (std::size_t k = 0; k < lines; ++k) {
    totals[k]->TwoPass = std::move(records[k]);
    totals[k]->TwoPassDone = true;
    totals[k]->TwoPassOrdered = data.ValueOrdered();
  }
}

}  // namespace qd
