// The fact scan into base totals: one pass over the fact records that computes
// every record's full cell key once, adds the values of the asked summaries
// under it and, when asked, keeps the record's cell for the second pass. The
// totals equal adding record by record into one TSummaryArray per summary.
// Weighted records (a cube aggregated in the database) add their fact count
// and their groups' minimums and maximums instead of 1 and the value.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/aggregate/aggregate_scan_cells.h"
#include "engine/cube/fact_table.h"

namespace qd {

//! One active key position.
struct TScanDim {
  int DimIndex = 0;
  std::uint64_t Multiplier = 1;
  //! Key digit (node index) of each cube member of the dimension; -1 skips
  //! the record (a member without a node, or a parent member). A member
  //! outside the list is a fault of the fact table.
  std::vector<std::int32_t> MemberDigit;
  //! The dimension's name in the error about a bad member.
  std::string Name;
};

//! A filtered page dimension: records whose member is not accepted are skipped.
struct TScanFilter {
  int DimIndex = 0;
  //! 1 for the members whose node is visible, one entry per cube member.
  std::vector<std::uint8_t> MemberAccepted;
  std::string Name;
};

struct TScanRequest {
  std::vector<TScanDim> Dims;
  std::vector<TScanFilter> Filters;
  //! Summary indexes of the fact table to total, in the order of the result.
  std::vector<int> Summaries;
  bool KeepRecordCells = false;
};

//! A scan prepared for one fact table: the key share of every member, the
//! key bound and the record layout. Ranges of records may be scanned into
//! separate accumulators and merged.
class TFactScan {
 public:
  //! Raises the internal calculation error when the request names a
  //! dimension or summary the fact table lacks.
  TFactScan(const TFactTable& facts, const TScanRequest& request);

  //! One more than the largest key a record can get.
  std::uint64_t KeyBound() const { return FKeyBound; }
  //! Starts an accumulator for `records` records of this scan.
  void Start(TScanCells& cells, std::int64_t records) const;
  //! Adds records [first, last) to `cells`; `slots`, when given, receives per
  //! record of the range its slot, -1 when skipped. Raises ECubeError naming
  //! the dimension at the first member outside its dimension.
  void Scan(std::int32_t first, std::int32_t last, TScanCells& cells, std::int32_t* slots) const;
  //! Every record: in two halves on the worker threads when the table is large.
  TBaseScan Run() const;
  //! Each record's position in `keys` (the ascending keys a Run of the same
  //! request gives), computed again range by range rather than kept for every
  //! record at once: `visit(first, cells)` gets consecutive ranges in record
  //! order, -1 for a skipped record. Raises the internal calculation error
  //! when a record's key is not among `keys`.
  using TRecordCellVisit = std::function<void(std::int32_t, std::span<const std::int32_t>)>;
  void ForEachRecordCell(const std::vector<std::int64_t>& keys, const TRecordCellVisit& visit) const;

 private:
  [[noreturn]] void RaiseBadMember(std::int32_t record, std::size_t position,
                                   std::uint32_t member) const;

  // A member column the key is made of: an active position, or a filter that
  // adds 0 for accepted members.
  struct TPosition {
    int Offset;  // byte offset of the member in a record
    std::string Name;
    std::vector<std::uint64_t> Share;  // per member: digit × multiplier, or kSkip
  };
  const TFactTable& FFacts;
  bool FKeepRecordCells;
  std::vector<TPosition> FPositions;
  std::vector<int> FValueOffsets;
  std::vector<int> FSummaries;
  std::uint64_t FKeyBound = 1;
};

//! Fact tables of at least twice this many records are scanned in two
//! halves, each into cells of its own, merged in record order; the halves
//! depend on the record count alone, so one thread and two give the same
//! results to the last bit. 0 sets the default back.
std::int32_t ScanRangeRecords();
void SetScanRangeRecords(std::int32_t records);

//! The whole scan, its halves on the worker threads.
TBaseScan ScanFacts(const TFactTable& facts, const TScanRequest& request);

}  // namespace qd
