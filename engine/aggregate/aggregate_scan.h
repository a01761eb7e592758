// The fact scan into base totals: one pass over the fact records that computes
// every record's full cell key and adds every summary's value under it. The
// results equal adding record by record into one TSummaryArray per summary.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engine/aggregate/aggregate.h"
#include "engine/aggregate/aggregate_buffer.h"
#include "engine/cube/fact_table.h"

namespace qd {

//! One active key position.
struct TScanDim {
  int DimIndex = 0;
  std::uint64_t Multiplier = 1;
  //! Key digit (node index) of each cube member of the dimension; -1 skips
  //! the record (a member without a node, or a parent member).
  std::span<const std::int32_t> MemberDigit;
};

//! A filtered page dimension: records whose member is not accepted are skipped.
struct TScanFilter {
  int DimIndex = 0;
  //! 1 for the members whose node is visible.
  std::span<const std::uint8_t> MemberAccepted;
};

struct TBaseScan {
  //! The full keys that received records, ascending.
  TKeyListPtr Keys = std::make_shared<TKeyList>();
  //! Per summary, sums and counts aligned with Keys.
  std::vector<std::unique_ptr<TTotals>> Totals;
  //! Per fact record, the position of its key in Keys; -1 when skipped.
  //! Empty unless asked for.
  TBigVector<std::int32_t> RecordCell;
  //! First record with a member index outside its dimension, -1 when none;
  //! the scan stops there and holds no totals.
  std::int32_t BadRecord = -1;
  int BadDimension = -1;
};

//! Scans every record of `facts` for summaries 0 .. summaryCount - 1.
TBaseScan ScanFacts(const TFactTable& facts, std::span<const TScanDim> dims,
                    std::span<const TScanFilter> filters, int summaryCount, bool keepRecordCells);

}  // namespace qd
