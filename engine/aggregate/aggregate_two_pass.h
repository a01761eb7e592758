// The second pass: order statistics and moments per cell, computed from the
// values of the base cells each cell is made of. The values of a summary are
// grouped by base cell once; a cell's median is a selection over the values of
// its base cells, so the work grows with the data times the number of cells a
// record falls into, and nothing is sorted as a whole. Weighted records give
// each cell only its minimum, maximum and moments (no median, deviation or
// custom function: those need every fact).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "engine/aggregate/aggregate.h"
#include "engine/aggregate/aggregate_buffer.h"
#include "engine/aggregate/power_sums.h"
#include "engine/cube/fact_table.h"

namespace qd {

//! Supplies the value of a custom function for one cell. `aggregates` are the
//! cell's values in ascending order; `emptyCell` is offered but not used.
using TCalcAggregateFunctionEvent =
    std::function<void(void* sender, TFunction functionType, const std::vector<double>& aggregates,
                       bool& emptyCell, double& value)>;

//! The values of one summary grouped by the base cell of their record: the
//! values of base cell c, in record order.
class TDPFactData {
 public:
  //! `recordCells[r]` is the base cell of record r; records with -1 or a cell
  //! not below `cellCount` feed no cell.
  TDPFactData(const TFactTable& facts, int summaryIndex, std::span<const std::int32_t> recordCells,
              std::size_t cellCount);
  //! Calls its argument with consecutive ranges of records in record order:
  //! the first record of a range and the base cell of each of its records.
  using TRecordCellRanges = std::function<void(
      const std::function<void(std::int32_t, std::span<const std::int32_t>)>&)>;
  //! The same with the records' cells told range by range, so that they need
  //! not be kept for every record at once; `counts` holds the records of each
  //! base cell (the weighted records' cells take no count). Raises the
  //! internal calculation error when the ranges do not fit the counts.
  TDPFactData(const TFactTable& facts, int summaryIndex, const TRecordCellRanges& ranges,
              std::span<const std::int32_t> counts);

  int SummaryIndex() const { return FSummary; }
  std::size_t CellCount() const { return FStart.size() - 1; }
  std::span<const double> CellValues(std::size_t cell) const {
    return {FValues.data() + FStart[cell], FValues.data() + FStart[cell + 1]};
  }
  //! Weighted records: each base cell holds the moments of the facts its
  //! records stand for instead of values (CellValues are empty).
  bool Weighted() const { return !FMoments.empty(); }
  const TPowerSums& CellMoments(std::size_t cell) const { return FMoments[cell]; }

 private:
  int FSummary;
  std::vector<TPowerSums> FMoments;
  std::vector<std::uint32_t> FStart;
  TBigVector<double> FValues;
};

//! What the second pass computes besides the minimum and maximum, and the
//! custom functions with the Sender passed to their event.
struct TSecondPassOptions {
  bool Medians = true;  //!< the median of every cell
  bool Moments = true;  //!< variance, mean absolute deviation, skewness, kurtosis
  int CustomCount = 0;  //!< k: custom functions to compute (0..5)
  TCalcAggregateFunctionEvent OnCalcAggregateFunction;
  void* Sender = nullptr;
};

//! The second-pass results of one cell from the values of its base cells.
//! Working memory is kept between cells.
class TSecondPassCell {
 public:
  explicit TSecondPassCell(const TSecondPassOptions& options) : FOptions(options) {}

  //! Starts a cell the first pass counted `count` values into, summing to `sum`.
  void Start(double sum, std::int32_t count);
  //! Adds the values of one base cell.
  void AddRun(std::span<const double> values) {
    FRuns.push_back(values);
    FAdded += values.size();
  }
  //! Writes the results; raises "出现内部计算错误" when the values added
  //! differ from the count. A cell without values keeps `r` as it is.
  void Finish(TTwoPassRecord& r);

 private:
  //! Gathers the keys of the buckets holding the middle ranks of a large
  //! cell; returns the number of values below them.
  std::size_t GatherMiddle(std::uint64_t lowKey, std::uint64_t highKey);
  //! The median from the gathered keys, `skipped` values lying below them.
  double Median(std::size_t skipped);
  void CustomFunctions(TTwoPassRecord& r);

  const TSecondPassOptions& FOptions;
  std::int32_t FN = 0;
  double FMean = 0;
  std::size_t FAdded = 0;
  std::vector<std::span<const double>> FRuns;
  std::vector<std::uint64_t> FKeys;
  std::vector<std::size_t> FCounts;
  std::vector<double> FValues;
};

//! The cells of some totals that each source cell feeds: the cells of source
//! c are Cells[Start[c] .. Start[c + 1]).
struct TCellTargets {
  std::vector<std::uint32_t> Start{0};
  std::vector<std::int32_t> Cells;

  std::size_t SourceCount() const { return Start.size() - 1; }
  //! Appends the next source cell with its target cells.
  void AddSource(std::span<const std::int32_t> targets) {
    Cells.insert(Cells.end(), targets.begin(), targets.end());
    Start.push_back(static_cast<std::uint32_t>(Cells.size()));
  }
};

//! Runs the second pass into `totals`: each cell gets the values of the base
//! cells (sources) that feed it. Marks the totals done with what `options`
//! asked for.
void RunSecondPass(TTotals& totals, const TDPFactData& data, const TCellTargets& targets,
                   const TSecondPassOptions& options);
//! The same for several totals (masks); targets[i] belongs to totals[i]. The
//! cells are spread over the worker threads; the results do not depend on
//! their number. When a cell fails its count check no totals are changed.
void RunSecondPass(std::span<TTotals* const> totals, const TDPFactData& data,
                   std::span<const TCellTargets> targets, const TSecondPassOptions& options);

}  // namespace qd
