// The second pass: order statistics and moments per cell, computed by walking
// the fact records again (in ascending value order when medians are needed).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "engine/aggregate/aggregate.h"
#include "engine/aggregate/aggregate_buffer.h"
#include "engine/cube/fact_table.h"

namespace qd {

//! Supplies the value of a custom function for one cell. `aggregates` are the
//! cell's values in feeding order; `emptyCell` is offered but not used.
using TCalcAggregateFunctionEvent =
    std::function<void(void* sender, TFunction functionType, const std::vector<double>& aggregates,
                       bool& emptyCell, double& value)>;

//! Orders (value, record) pairs by value ascending; equal values keep record
//! order. -0 and +0 count as equal values.
class TTwoPassDataArray {
 public:
  //! Sorts `values` (indexed by record number) into `sortedValues` and the
  //! matching record numbers into `records`.
  static void Sort(std::span<const double> values, TBigVector<double>& sortedValues,
                   TBigVector<std::uint32_t>& records);
  //! The same for the values of one summary of the fact records.
  static void Sort(const TFactTable& facts, int summaryIndex, TBigVector<double>& sortedValues,
                   TBigVector<std::uint32_t>& records);
};

//! The record order of one summary for the second pass, and per entry the
//! source cell (numbered by the model) the record was aggregated into.
class TDPFactData {
 public:
  TDPFactData(const TFactTable& facts, int summaryIndex, bool valueOrdered);

  int SummaryIndex() const { return FSummary; }
  bool ValueOrdered() const { return FValueOrdered; }
  //! True while the cells of the entries still have to be collected.
  bool Pending() const { return FPending; }

  std::size_t Size() const { return FRecords.size(); }
  //! Fact record number of entry i.
  std::uint32_t Record(std::size_t i) const { return FRecords[i]; }
  double Value(std::size_t i) const { return FValues[i]; }

  //! Sets the source cell of every entry (-1: the record feeds no cell).
  void SetCells(TBigVector<std::int32_t> cells);
  //! Drops the collected cells and sets the pending flag.
  void Reset();

  const TBigVector<std::int32_t>& Cells() const { return FCells; }

 private:
  int FSummary;
  bool FValueOrdered;
  bool FPending = true;
  TBigVector<std::uint32_t> FRecords;
  TBigVector<double> FValues;
  TBigVector<std::int32_t> FCells;
};

//! Custom functions and the Sender passed to their event.
struct TSecondPassOptions {
  int CustomCount = 0;  //!< k: custom functions to compute (0..5)
  TCalcAggregateFunctionEvent OnCalcAggregateFunction;
  void* Sender = nullptr;
};

//! Second-pass accumulator of one cell; cache-line aligned, so that feeding a
//! value touches two lines rather than three.
class alignas(64) TDoTwoPassHelper {
 public:
  TDoTwoPassHelper(std::int32_t n, double mean, const TSecondPassOptions* options = nullptr);

  //! Feeds the value of walk position `record`; the same position twice in a
  //! row counts once.
  void Feed(std::int64_t record, double v) {
    if (record == FLast && record >= 0) return;
    FLast = record;
    std::int32_t i = FFed;
    if (!FValues.empty() && i < FN) FValues[i] = v;
    FFed = i + 1;
    if (i == 0) FMin = FMax = v;
    if (FFed == FMedianPos) {
      FMedian = v;
    } else if (FFed == FMedianPos + 1 && FN % 2 == 0) {
      FMedian = (FMedian + v) / 2;
    }
    if (v < FMin) FMin = v;
    if (!(v <= FMax)) FMax = v;
    double d = v - FMean;
    double d2 = d * d;
    FSumAbs += d < 0 ? -d : d;
    FSum1 += d;
    FSum2 += d2;
    FSum3 += d2 * d;
    FSum4 += d2 * d2;
  }

  //! Writes the results; raises "出现内部计算错误" when the number of values
  //! fed differs from the expected count.
  void Finish(TTwoPassRecord& r) const;

  std::int32_t Fed() const { return FFed; }

 private:
  std::int32_t FN;
  std::int32_t FMedianPos;
  std::int32_t FFed = 0;
  std::int64_t FLast = -1;
  double FMean;
  double FMin = 0, FMax = 0, FMedian = 0;
  double FSumAbs = 0, FSum1 = 0, FSum2 = 0, FSum3 = 0, FSum4 = 0;
  const TSecondPassOptions* FOptions;
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

//! Runs the second pass into `totals`: walks the entries of `data` in order
//! and feeds each entry's value, with its position as record number, to the
//! target cells of its source cell. Marks the totals done.
void RunSecondPass(TTotals& totals, const TDPFactData& data, const TCellTargets& targets,
                   const TSecondPassOptions& options);
//! The same for several totals (masks) in one walk (one walk each when custom
//! functions keep every value of a cell); targets[i] belongs to totals[i].
//! When a cell fails its count check no totals are changed.
void RunSecondPass(std::span<TTotals* const> totals, const TDPFactData& data,
                   std::span<const TCellTargets> targets, const TSecondPassOptions& options);

}  // namespace qd
