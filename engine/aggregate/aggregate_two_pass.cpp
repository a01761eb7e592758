#include "engine/aggregate/aggregate_two_pass.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>
#include <mutex>

#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/worker_threads.h"

namespace qd {

namespace {

constexpr std::uint64_t kSignBit = 0x8000000000000000ull;
// Cells with more values than this select their median from the values of
// the middle buckets of a histogram rather than from a copy of all of them.
constexpr std::size_t kSelectAll = std::size_t{1} << 14;

// Maps a double to an unsigned key with the same order, NaNs included at the
// ends; -0 maps like +0.
inline std::uint64_t OrderedBits(double v) {
  if (v == 0) v = 0.0;
  auto bits = std::bit_cast<std::uint64_t>(v);
  return (bits & kSignBit) ? ~bits : bits ^ kSignBit;
}

inline double FromOrderedBits(std::uint64_t key) {
  std::uint64_t bits = (key & kSignBit) ? key ^ kSignBit : ~key;
  return std::bit_cast<double>(bits);
}

// The sums of the powers of the deviations from a cell's mean.
struct TMomentSums {
  double Abs = 0, Sum1 = 0, Sum2 = 0, Sum3 = 0, Sum4 = 0;

  void Add(std::span<const double> values, double mean) {
    for (double v : values) {
      const double d = v - mean;
      const double d2 = d * d;
      Abs += d < 0 ? -d : d;
      Sum1 += d;
      Sum2 += d2;
      Sum3 += d2 * d;
      Sum4 += d2 * d2;
    }
  }

  void Finish(std::int32_t count, TTwoPassRecord& r) const {
    if (count < 2) return;
    const double n = count;
    double variance = (Sum2 - Sum1 * Sum1 / n) / (n - 1);
    // Guards the square roots below against a rounding remainder below 0.
    if (variance < 0) variance = 0;
    r.Variance = variance;
    r.MeanAbsDev = Abs / n;
    if (variance != 0) {
      r.Skewness = Sum3 / (n * variance * std::sqrt(variance));
      r.Kurtosis = Sum4 / (n * variance * variance) - 3;
    }
  }
};

}  // namespace

// ---------------------------------------------------------------- TDPFactData

namespace {

// The records' cells as one range, cut to the fact table.
std::span<const std::int32_t> TableCells(const TFactTable& facts,
                                         std::span<const std::int32_t> recordCells) {
  return recordCells.first(
      std::min(recordCells.size(), static_cast<std::size_t>(std::max(facts.RecordCount(), 0))));
}

std::vector<std::int32_t> CellCounts(std::span<const std::int32_t> cells, std::size_t cellCount) {
  std::vector<std::int32_t> counts(cellCount, 0);
  for (const std::int32_t c : cells)
    if (c >= 0 && static_cast<std::size_t>(c) < cellCount) ++counts[static_cast<std::size_t>(c)];
  return counts;
}

[[noreturn]] void RaiseInternal() {
  throw EGenericError(Msg(TMsg::SInternalCalcError));
}

}  // namespace

TDPFactData::TDPFactData(const TFactTable& facts, int summaryIndex,
                         std::span<const std::int32_t> recordCells, std::size_t cellCount)
    : TDPFactData(
          facts, summaryIndex,
          [cells = TableCells(facts, recordCells)](const auto& visit) { visit(0, cells); },
          CellCounts(TableCells(facts, recordCells), cellCount)) {}

TDPFactData::TDPFactData(const TFactTable& facts, int summaryIndex,
                         const TRecordCellRanges& ranges, std::span<const std::int32_t> counts)
    : FSummary(summaryIndex) {
  const std::size_t cellCount = counts.size();
  // Records of a cell outside the counts feed no cell.
  auto cellOf = [cellCount](std::int32_t c) {
    return c >= 0 && static_cast<std::size_t>(c) < cellCount ? static_cast<std::size_t>(c)
                                                              : cellCount;
  };
  FStart.assign(cellCount + 1, 0);
  if (const TFactWeights* weights = facts.Weights()) {
    // Weighted records: no single values, but each base cell's moments,
    // its records merged in record order.
    FMoments.assign(cellCount, TPowerSums());
    ranges([&](std::int32_t first, std::span<const std::int32_t> cells) {
      for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::size_t c = cellOf(cells[i]);
        if (c == cellCount) continue;
        const auto record = static_cast<std::int32_t>(first + static_cast<std::int32_t>(i));
        const double* p = weights->Parts(record, summaryIndex);
        FMoments[c].Merge(TPowerSums::FromRaw(
            weights->Count(record), facts.Value(record, summaryIndex), p[TFactWeights::wpSum2],
            p[TFactWeights::wpSum3], p[TFactWeights::wpSum4], p[TFactWeights::wpMin],
            p[TFactWeights::wpMax]));
      }
    });
    return;
  }
  // Placed by the counts, the values of a cell stay in record order.
  for (std::size_t c = 0; c < cellCount; ++c) {
    if (counts[c] < 0) RaiseInternal();
    FStart[c + 1] = FStart[c] + static_cast<std::uint32_t>(counts[c]);
  }
  FValues.resize(FStart.back());
  std::vector<std::uint32_t> at(FStart.begin(), FStart.end() - 1);
  ranges([&](std::int32_t first, std::span<const std::int32_t> cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const std::size_t c = cellOf(cells[i]);
      if (c == cellCount) continue;
      if (at[c] == FStart[c + 1]) RaiseInternal();
      FValues[at[c]++] = facts.Value(first + static_cast<std::int32_t>(i), summaryIndex);
    }
  });
  for (std::size_t c = 0; c < cellCount; ++c)
    if (at[c] != FStart[c + 1]) RaiseInternal();
}

// ---------------------------------------------------------------- TSecondPassCell

void TSecondPassCell::Start(double sum, std::int32_t count) {
  FN = count;
  FMean = count != 0 ? sum / count : 0.0;
  FAdded = 0;
  FRuns.clear();
}

void TSecondPassCell::Finish(TTwoPassRecord& r) {
  if (FN < 0 || FAdded != static_cast<std::size_t>(FN))
    throw EGenericError(Msg(TMsg::SInternalCalcError));
  if (FN == 0) return;
  // One read of the values: the extremes, the keys of the selection (in a
  // large cell only their range) and the sums of the moments.
  const bool select = FOptions.Medians && FAdded < kSelectAll;
  FKeys.clear();
  if (select) FKeys.reserve(FAdded);
  // The first value starts the extremes: a NaN there stays the minimum.
  double lowest = 0;
  for (std::span<const double> run : FRuns) {
    if (!run.empty()) {
      lowest = run.front();
      break;
    }
  }
  double highest = lowest;
  std::uint64_t lowKey = ~std::uint64_t{0}, highKey = 0;
  TMomentSums sums;
  for (std::span<const double> run : FRuns) {
    for (double v : run) {
      if (v < lowest) lowest = v;
      if (!(v <= highest)) highest = v;
    }
    if (select) {
      for (double v : run) FKeys.push_back(OrderedBits(v));
    } else if (FOptions.Medians) {
      for (double v : run) {
        const std::uint64_t k = OrderedBits(v);
        lowKey = std::min(lowKey, k);
        highKey = std::max(highKey, k);
      }
    }
    if (FOptions.Moments) sums.Add(run, FMean);
  }
  r.Minimum = lowest;
  r.Maximum = highest;
  if (FOptions.Medians) {
    std::size_t skipped = 0;
    if (!select) skipped = GatherMiddle(lowKey, highKey);
    r.Median = Median(skipped);
  }
  if (FOptions.Moments) sums.Finish(FN, r);
  if (FOptions.OnCalcAggregateFunction) CustomFunctions(r);
}

std::size_t TSecondPassCell::GatherMiddle(std::uint64_t lowKey, std::uint64_t highKey) {
  constexpr int kBucketBits = 12;
  const int shift = std::max(0, static_cast<int>(std::bit_width(highKey - lowKey)) - kBucketBits);
  FCounts.assign(std::size_t{1} << kBucketBits, 0);
  for (std::span<const double> run : FRuns)
    for (double v : run) ++FCounts[(OrderedBits(v) - lowKey) >> shift];
  // The buckets from the one holding the lower middle rank to the one holding
  // the upper one.
  const std::size_t lo = (FAdded - 1) / 2, hi = FAdded / 2;
  std::size_t below = 0, first = 0;
  while (below + FCounts[first] <= lo) below += FCounts[first++];
  std::size_t last = first, through = below + FCounts[first];
  while (through <= hi) through += FCounts[++last];
  FKeys.clear();
  FKeys.reserve(through - below);
  for (std::span<const double> run : FRuns) {
    for (double v : run) {
      const std::uint64_t k = OrderedBits(v);
      const std::size_t bucket = (k - lowKey) >> shift;
      if (bucket >= first && bucket <= last) FKeys.push_back(k);
    }
  }
  return below;
}

double TSecondPassCell::Median(std::size_t skipped) {
  const std::size_t lo = (FAdded - 1) / 2 - skipped;
  const auto at = FKeys.begin() + static_cast<std::ptrdiff_t>(lo);
  std::nth_element(FKeys.begin(), at, FKeys.end());
  const double median = FromOrderedBits(*at);
  if (FAdded % 2) return median;
  return (median + FromOrderedBits(*std::min_element(at + 1, FKeys.end()))) / 2;
}

void TSecondPassCell::CustomFunctions(TTwoPassRecord& r) {
  if (FOptions.CustomCount <= 0) return;
  FValues.clear();
  for (std::span<const double> run : FRuns) FValues.insert(FValues.end(), run.begin(), run.end());
  std::stable_sort(FValues.begin(), FValues.end(),
                   [](double a, double b) { return OrderedBits(a) < OrderedBits(b); });
  for (int i = 1; i <= FOptions.CustomCount && i <= kCustomFunctionCount; ++i) {
    double value = 0;
    bool emptyCell = false;
    FOptions.OnCalcAggregateFunction(FOptions.Sender, static_cast<TFunction>(10 + i), FValues,
                                     emptyCell, value);
    r.Custom[i - 1] = value;
  }
}

// ---------------------------------------------------------------- second pass

namespace {

// The sources of every cell of one totals (the inverse of its targets): the
// sources of cell c are Sources[Start[c] .. Start[c + 1]), ascending, each once.
struct TCellSources {
  std::vector<std::uint32_t> Start;
  std::vector<std::uint32_t> Sources;
};

TCellSources Invert(const TCellTargets& targets, std::size_t cells, std::size_t sources) {
  TCellSources inv;
  inv.Start.assign(cells + 1, 0);
  const std::size_t n = std::min(targets.SourceCount(), sources);
  std::vector<std::int64_t> last(cells, -1);
  auto each = [&](auto&& f) {
    std::fill(last.begin(), last.end(), -1);
    for (std::size_t s = 0; s < n; ++s) {
      for (std::uint32_t j = targets.Start[s]; j < targets.Start[s + 1]; ++j) {
        const std::int32_t c = targets.Cells[j];
        if (c < 0 || static_cast<std::size_t>(c) >= cells) continue;
        if (last[static_cast<std::size_t>(c)] == static_cast<std::int64_t>(s)) continue;
        last[static_cast<std::size_t>(c)] = static_cast<std::int64_t>(s);
        f(static_cast<std::size_t>(c), static_cast<std::uint32_t>(s));
      }
    }
  };
  each([&](std::size_t c, std::uint32_t) { ++inv.Start[c + 1]; });
  for (std::size_t c = 0; c < cells; ++c) inv.Start[c + 1] += inv.Start[c];
  inv.Sources.resize(inv.Start[cells]);
  std::vector<std::uint32_t> at(inv.Start.begin(), inv.Start.end() - 1);
  each([&](std::size_t c, std::uint32_t s) { inv.Sources[at[c]++] = s; });
  return inv;
}

// A run of cells of one totals that one part computes.
struct TCellRange {
  std::size_t Line;
  std::size_t Begin, End;
};

// Cuts the cells of every totals into parts of about kPartValues values: by
// the data alone, so that the parts are the same for any number of threads.
std::vector<TCellRange> CutParts(std::span<TTotals* const> totals, std::size_t lines) {
  constexpr std::uint64_t kPartValues = 1u << 18;
  std::vector<TCellRange> parts;
  for (std::size_t k = 0; k < lines; ++k) {
    const TTotals& t = *totals[k];
    std::uint64_t weight = 0;
    std::size_t begin = 0;
    for (std::size_t c = 0; c < t.Size(); ++c) {
      weight += static_cast<std::uint64_t>(std::max(t.Counts[c], 0)) + 1;
      if (weight >= kPartValues) {
        parts.push_back({k, begin, c + 1});
        begin = c + 1;
        weight = 0;
      }
    }
    if (begin < t.Size()) parts.push_back({k, begin, t.Size()});
  }
  return parts;
}

// A cell of weighted records: its base cells' moments merged, in the order
// of the base cells. The facts they stand for must be the cell's count.
void WeightedCell(const TTotals& t, std::size_t c, const TDPFactData& data,
                  const TCellSources& inv, TTwoPassRecord& r) {
  TPowerSums p;
  for (std::uint32_t j = inv.Start[c]; j < inv.Start[c + 1]; ++j)
    p.Merge(data.CellMoments(inv.Sources[j]));
  if (p.N != static_cast<double>(t.Counts[c])) throw EGenericError(Msg(TMsg::SInternalCalcError));
  p.Finish(r);
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
  std::vector<TCellSources> sources(lines);
  std::vector<std::vector<TTwoPassRecord>> records(lines);
  for (std::size_t k = 0; k < lines; ++k) {
    sources[k] = Invert(targets[k], totals[k]->Size(), data.CellCount());
    records[k].resize(totals[k]->Size());
  }
  const std::vector<TCellRange> parts = CutParts(totals, lines);
  // Parts take their working memory from a pool, so that a large cell's
  // memory is taken once per thread rather than once per part.
  std::mutex poolLock;
  std::vector<std::unique_ptr<TSecondPassCell>> pool;
  auto runPart = [&](int i) {
    const TCellRange& part = parts[static_cast<std::size_t>(i)];
    const TTotals& t = *totals[part.Line];
    const TCellSources& inv = sources[part.Line];
    std::unique_ptr<TSecondPassCell> taken;
    {
      std::lock_guard lock(poolLock);
      if (!pool.empty()) {
        taken = std::move(pool.back());
        pool.pop_back();
      }
    }
    if (!taken) taken = std::make_unique<TSecondPassCell>(options);
    TSecondPassCell& cell = *taken;
    for (std::size_t c = part.Begin; c < part.End; ++c) {
      if (data.Weighted()) {
        WeightedCell(t, c, data, inv, records[part.Line][c]);
        continue;
      }
      cell.Start(t.Sums[c], t.Counts[c]);
      for (std::uint32_t j = inv.Start[c]; j < inv.Start[c + 1]; ++j)
        cell.AddRun(data.CellValues(inv.Sources[j]));
      cell.Finish(records[part.Line][c]);
    }
    std::lock_guard lock(poolLock);
    pool.push_back(std::move(taken));
  };
  // Custom functions call the owner, which expects the calling thread.
  if (options.OnCalcAggregateFunction) {
    for (std::size_t i = 0; i < parts.size(); ++i) runPart(static_cast<int>(i));
  } else {
    RunParts(static_cast<int>(parts.size()), runPart);
  }
  for (std::size_t k = 0; k < lines; ++k) {
    totals[k]->TwoPass = std::move(records[k]);
    totals[k]->TwoPassDone = true;
    totals[k]->TwoPassMedians = options.Medians;
    totals[k]->TwoPassMoments = options.Moments;
  }
}

}  // namespace qd
