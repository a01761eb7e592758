// The grid model's own aggregation over the active dimensions: cell keys with
// Total as an extra digit, masks, the fact scan into base totals, roll-ups over
// hierarchies and the cached totals of every mask.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "engine/aggregate/aggregate.h"
#include "engine/aggregate/aggregate_buffer.h"
#include "engine/aggregate/aggregate_correlation.h"
#include "engine/aggregate/aggregate_scan.h"
#include "engine/aggregate/aggregate_two_pass.h"
#include "model/dimension_state.h"

namespace qd {

class TGridInfo;
class TDimensionState;
class TSummaryInfo;

//! One node index per active position, -1 = Total.
using TMemberKey = std::vector<int>;

constexpr std::size_t kMaxActiveDims = 32;

//! The aggregation state of one cube summary.
class TSummaryState {
 public:
  //! Drops every total and the flags.
  void Reset();

  int Index = 0;
  TSummaryInfo* Info = nullptr;
  //! Totals per mask computed so far.
  TTotalLines MaskTotals;
  //! Full keys of leaf members, and keys holding at least one parent member.
  std::unique_ptr<TTotals> Base, RollUps;
  //! The record order of the second pass, value-ordered once a median was asked for.
  std::unique_ptr<TDPFactData> FactData;
  bool Aggregated = false;
  //! Roll-ups done.
  bool Ready = false;
};

class TModelAggregation {
 public:
  explicit TModelAggregation(TGridInfo& grid) : FGrid(grid) {}

  //! Recomputes the active list; when it changed, aggregates. Returns whether it changed.
  bool UpdateActiveDimensions();
  //! Fact scan, base totals and roll-ups; a failure deactivates the cube.
  void Aggregate();
  void ComputeRollUps(TSummaryState& state);

  int ActiveCount() const { return static_cast<int>(FActive.size()); }
  const std::vector<int>& ActiveDims() const { return FActive; }
  //! Active position of a dimension index, -1 when inactive.
  int ActivePosition(int dimIndex) const;
  std::uint64_t KeyCapacity() const { return FCapacity; }

  std::int64_t EncodeKey(const TMemberKey& members) const;
  TMemberKey DecodeKey(std::int64_t key) const;
  static std::uint32_t KeyMask(const TMemberKey& members);
  //! False when a given member is hidden.
  bool IsVisibleKey(const TMemberKey& members) const;

  //! The summary's totals of a mask, computed and cached on first use.
  const TTotals& GetMaskTotals(TSummaryState& state, std::uint32_t mask);
  std::optional<TTotals::TLookup> Lookup(TSummaryState& state, const TMemberKey& members);
  //! Value of a function at a member list; the second pass runs on first
  //! use (again in value order when a median is asked for). nullopt when the
  //! cell does not exist or is hidden.
  //! `valueOrder` asks for the value-ordered pass at once (the summary shows
  //! medians), so that it does not run twice.
  std::optional<double> FunctionValue(TSummaryState& state, const TMemberKey& members,
                                      TFunction function, bool valueOrder = false);
  //! Supplies the custom functions; the grid's owner is the Sender.
  TCalcAggregateFunctionEvent OnCalcAggregateFunction;
  void* CalcSender = nullptr;
  //! True when at least one ready summary has a count at the member list.
  bool IsNonEmpty(const TMemberKey& members);
  //! Computes the masks the label trees ask for.
  void PrepareTreeMasks(const std::vector<int>& rowDims, const std::vector<int>& colDims);

  void CheckCapacity(const std::vector<int>& dimIndexes) const;
  void CheckAddDimension(int dimIndex) const;

  std::vector<std::unique_ptr<TSummaryState>>& States() { return FStates; }
  //! Correlations of summary pairs for calculated summaries; cleared with the aggregation.
  TSummaryHelpers Helpers;
  //! The key list of the totals each helper's results of a mask were computed
  //! from: results whose totals were rebuilt since (a member was hidden) are stale.
  std::map<std::pair<const TSummaryHelper*, std::uint32_t>, std::weak_ptr<TKeyList>> HelperSources;
  //! Forgets the active list, so that the next full rebuild aggregates again
  //! (after a page filter or the member trees changed).
  void DropActive();

 private:
  friend class TGridInfo;

  TDimensionState& State(int activePos) const;
  bool HasHierarchy() const;
  //! The fact scan of the active layout: leaf members of the active
  //! dimensions, visible members of the filtered pages.
  TScanRequest ScanRequest() const;
  //! True when a visible summary shows a function of the second pass, so
  //! that the scan keeps every record's cell at once.
  bool ShowsSecondPass() const;
  //! Calls `f` with the base key's member list and with each of its roll-up keys.
  template <class F>
  void ForEachRollUp(TMemberKey members, F&& f) const;
  //! Runs the second pass into `asked` (Base, RollUps or the totals of a mask)
  //! and, in the same walk, into the summary's other totals that need it.
  void RunTwoPass(TSummaryState& state, TTotals& asked, int kind, std::uint32_t mask, bool ordered);
  //! True when reading a second-pass value of `totals` has to run the pass.
  static bool NeedsTwoPass(const TSummaryState& state, const TTotals& totals, bool ordered);
  //! The cells of `totals` each base cell feeds (kind: base, roll-ups or mask).
  TCellTargets TwoPassTargets(const TSummaryState& state, const TTotals& totals, int kind,
                              std::uint32_t mask) const;
  const TBigVector<std::int32_t>& RecordCells();
  std::unique_ptr<TTotals> DeriveMask(TSummaryState& state, std::uint32_t mask);

  TGridInfo& FGrid;
  std::vector<int> FActive;
  std::vector<int> FInverse;
  std::vector<std::uint64_t> FMultipliers;
  std::vector<int> FNodeCounts;
  std::uint64_t FCapacity = 1;
  bool FHasActive = false;
  std::vector<std::unique_ptr<TSummaryState>> FStates;
  //! The base key list every summary's base totals share.
  TKeyListPtr FBaseKeys;
  //! Per fact record, its position in the base key list (-1 skipped).
  TBigVector<std::int32_t> FRecordCells;
  bool FRecordCellsValid = false;
};

template <class F>
inline void TModelAggregation::ForEachRollUp(TMemberKey members, F&& f) const {
  f(members, true);
  std::vector<int> hier;
  for (int p = 0; p < ActiveCount(); ++p)
    if (State(p).LevelCount() > 1) hier.push_back(p);
  if (hier.empty()) return;
  std::vector<std::vector<int>> chains(hier.size());
  std::vector<std::size_t> pick(hier.size(), 0);
  for (std::size_t h = 0; h < hier.size(); ++h) {
    const TDimensionState& s = State(hier[h]);
    for (int node = members[static_cast<std::size_t>(hier[h])]; node >= 0;
         node = s.ParentNode(node))
      chains[h].push_back(node);
  }
  // Odometer: the last hierarchical position climbs first.
  while (true) {
    std::size_t h = hier.size();
    while (h > 0 && pick[h - 1] + 1 >= chains[h - 1].size()) pick[--h] = 0;
    if (h == 0) break;
    ++pick[h - 1];
    for (std::size_t k = 0; k < hier.size(); ++k)
      members[static_cast<std::size_t>(hier[k])] = chains[k][pick[k]];
    f(members, false);
  }
}

}  // namespace qd
