#include "engine/aggregate/aggregate_two_pass.h"

#include <algorithm>
#include <cmath>

#include "engine/core/errors.h"
#include "engine/core/messages.h"

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

// The target cells of every source cell over several totals, numbered in one
// range in which the cells of totals k start at offsets[k].
struct TFlatTargets {
  std::vector<std::uint32_t> Start{0};
  std::vector<std::uint32_t> Cells;
};

TFlatTargets Flatten(std::span<TTotals* const> totals, std::span<const TCellTargets> targets,
                     const std::vector<std::size_t>& walk,
                     const std::vector<std::size_t>& offsets) {
  std::size_t sources = 0;
  for (std::size_t k : walk) sources = std::max(sources, targets[k].SourceCount());
  TFlatTargets flat;
  flat.Start.reserve(sources + 1);
  for (std::size_t s = 0; s < sources; ++s) {
    for (std::size_t k : walk) {
      const TCellTargets& tk = targets[k];
      if (s >= tk.SourceCount()) continue;
      for (std::uint32_t j = tk.Start[s]; j < tk.Start[s + 1]; ++j) {
        const std::int32_t t = tk.Cells[j];
        if (t >= 0 && static_cast<std::size_t>(t) < totals[k]->Size())
          flat.Cells.push_back(
              static_cast<std::uint32_t>(offsets[k] + static_cast<std::size_t>(t)));
      }
    }
    flat.Start.push_back(static_cast<std::uint32_t>(flat.Cells.size()));
  }
  return flat;
}

// Feeds every record, in the order of `data`, to the target cells of its
// source cell.
void Walk(const TDPFactData& data, const TFlatTargets& flat, std::vector<TDoTwoPassHelper>& cells) {
  const TBigVector<std::int32_t>& sourceOf = data.Cells();
  const std::size_t entries = std::min(sourceOf.size(), data.Size());
  const std::size_t sources = flat.Start.size() - 1;
  const std::uint32_t* start = flat.Start.data();
  const std::uint32_t* targets = flat.Cells.data();
  TDoTwoPassHelper* helpers = cells.data();
  for (std::size_t i = 0; i < entries; ++i) {
    const std::int32_t source = sourceOf[i];
    if (source < 0 || static_cast<std::size_t>(source) >= sources) continue;
    const double v = data.Value(i);
    const std::uint32_t end = start[source + 1];
    for (std::uint32_t j = start[source]; j < end; ++j)
      helpers[targets[j]].Feed(static_cast<std::int64_t>(i), v);
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
  // One walk over the records feeds every totals: a walk per totals, to keep
  // each one's accumulators in cache, measured slower. Custom functions keep
  // every value of a cell, as many as there are records per totals, so then
  // each totals walks alone.
  const bool keepsValues = opts && opts->CustomCount > 0;
  std::vector<std::vector<std::size_t>> walks;
  for (std::size_t k = 0; k < lines; ++k) {
    if (walks.empty() || keepsValues) walks.emplace_back();
    walks.back().push_back(k);
  }
  std::vector<std::vector<TTwoPassRecord>> records(lines);
  for (const auto& walk : walks) {
    std::vector<std::size_t> offsets(lines, 0);
    std::size_t cellCount = 0;
    for (std::size_t k : walk) {
      offsets[k] = cellCount;
      cellCount += totals[k]->Size();
    }
    std::vector<TDoTwoPassHelper> cells;
    cells.reserve(cellCount);
    for (std::size_t k : walk) {
      const TTotals& t = *totals[k];
      for (std::size_t c = 0; c < t.Size(); ++c) {
        const std::int32_t n = t.Counts[c];
        cells.emplace_back(n, n != 0 ? t.Sums[c] / n : 0.0, opts);
      }
    }
    Walk(data, Flatten(totals, targets, walk, offsets), cells);
    for (std::size_t k : walk) {
      records[k].resize(totals[k]->Size());
      for (std::size_t c = 0; c < records[k].size(); ++c)
        cells[offsets[k] + c].Finish(records[k][c]);
    }
  }
  for (std::size_t k = 0; k < lines; ++k) {
    totals[k]->TwoPass = std::move(records[k]);
    totals[k]->TwoPassDone = true;
    totals[k]->TwoPassOrdered = data.ValueOrdered();
  }
}

}  // namespace qd
