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

//! The aggregation state of one cube summary; only the aggregation reads and
//! changes its totals.
class TSummaryState {
 public:
  TSummaryState(int index, TSummaryInfo* info) : FIndex(index), FInfo(info) {}

  //! The summary's index in the cube and the fact table.
  int Index() const { return FIndex; }
  TSummaryInfo* Info() const { return FInfo; }
  //! Aggregated, with roll-ups. Summaries are aggregated when first shown or read.
  bool Ready() const { return FReady; }

 private:
  friend class TModelAggregation;
  //! Drops every total and the flags.
  void Reset();

  int FIndex;
  TSummaryInfo* FInfo;
  //! Totals per mask computed so far.
  TTotalLines FMaskTotals;
  //! Full keys of leaf members, and keys holding at least one parent member.
  std::unique_ptr<TTotals> FBase, FRollUps;
  //! The summary's values grouped by base cell for the second pass.
  std::unique_ptr<TDPFactData> FFactData;
  bool FReady = false;
  //! A median, or a moment, was asked for: the second passes compute them.
  bool FMedians = false, FMoments = false;
};

//! What the second pass computes beyond the function read: what the summary
//! shows, so that the pass does not run again for the next function.
struct TSecondPassNeeds {
  bool Medians = false;
  bool Moments = false;
};

class TModelAggregation {
 public:
  explicit TModelAggregation(TGridInfo& grid) : FGrid(grid) {}

  // ---- Active dimensions and keys ----
  //! Recomputes the active list; when it changed, scans the facts into base
  //! totals and rolls them up (a failure deactivates the cube). Returns
  //! whether it changed.
  bool UpdateActiveDimensions();
  //! True while an active list is laid out (it may be empty).
  bool HasActive() const { return FHasActive; }
  //! Forgets the active list, so that the next full rebuild aggregates again
  //! (after a page filter or the member trees changed).
  void DropActive();
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
  void CheckCapacity(const std::vector<int>& dimIndexes) const;
  void CheckAddDimension(int dimIndex) const;
  //! The fact scan of the active layout: leaf members of the active
  //! dimensions, visible members of the filtered pages, every summary.
  TScanRequest ScanRequest() const;

  // ---- Summary states, in cube summary order ----
  void ClearSummaries();
  TSummaryState& AddSummary(TSummaryInfo* info);
  int SummaryCount() const { return static_cast<int>(FStates.size()); }
  TSummaryState& Summary(int i) const { return *FStates.at(static_cast<std::size_t>(i)); }
  //! Drops every summary's totals, to be aggregated again.
  void ResetSummaries();
  //! After members of active dimensions were hidden or shown: roll-ups again,
  //! per-mask totals and second-pass record orders dropped; base totals stay.
  void VisibilityChanged();

  // ---- Values ----
  std::optional<TTotals::TLookup> Lookup(TSummaryState& state, const TMemberKey& members);
  //! Value of a function at a member list; the second pass runs on first
  //! use (again when a median or a moment is first asked for). nullopt when
  //! the cell does not exist or is hidden.
  std::optional<double> FunctionValue(TSummaryState& state, const TMemberKey& members,
                                      TFunction function, TSecondPassNeeds needs = {});
  //! The Pearson coefficient of two summaries' sums over the base and roll-up
  //! cells that fall into the key's cell (the cells its totals are made of);
  //! nullopt at a hidden member, a full key or a key without data. Results are
  //! kept per mask until the totals they came from change.
  std::optional<double> Correlation(TSummaryState& x, TSummaryState& y, const TMemberKey& key);
  //! True when at least one ready summary has a count at the member list.
  bool IsNonEmpty(const TMemberKey& members);
  //! Computes the masks the label trees ask for.
  void PrepareTreeMasks(const std::vector<int>& rowDims, const std::vector<int>& colDims);

 private:
  TDimensionState& State(int activePos) const;
  bool HasHierarchy() const;
  //! Fact scan, base totals and roll-ups of the shown summaries; a failure
  //! deactivates the cube.
  void Aggregate();
  //! The summaries a layout's first scan totals: the visible ones (all when a
  //! calculated summary is visible; the first when none is).
  std::vector<TSummaryState*> ShownSummaries() const;
  //! Scans the facts for `states`, which are not aggregated, and rolls them up.
  void AggregateSummaries(const std::vector<TSummaryState*>& states);
  //! Aggregates a summary on first use, with the other shown ones still
  //! missing; false without an active layout.
  bool Prepare(TSummaryState& state);
  void ComputeRollUps(TSummaryState& state);
  //! The summary's totals of a mask, computed and cached on first use.
  const TTotals& GetMaskTotals(TSummaryState& state, std::uint32_t mask);
  std::unique_ptr<TTotals> DeriveMask(TSummaryState& state, std::uint32_t mask);
  //! Calls `f` with the base key's member list and with each of its roll-up keys.
  template <class F>
  void ForEachRollUp(TMemberKey members, F&& f) const;
  //! Runs the second pass into `asked` (Base, RollUps or the totals of a mask)
  //! and, in the same walk, into the summary's other totals that need it.
  void RunTwoPass(TSummaryState& state, TTotals& asked, int kind, std::uint32_t mask);
  //! True when `totals` lack a second-pass result the summary was asked for.
  static bool NeedsTwoPass(const TSummaryState& state, const TTotals& totals);
  //! The cells of `totals` each base cell feeds (kind: base, roll-ups or mask).
  TCellTargets TwoPassTargets(const TSummaryState& state, const TTotals& totals, int kind,
                              std::uint32_t mask) const;
  //! The summary's values grouped by base cell, for its second pass.
  std::unique_ptr<TDPFactData> GroupFactData(const TSummaryState& state,
                                             const TFactTable& facts) const;
  //! The correlations of x and y for every cell of x's totals of a mask.
  std::vector<double> MaskCorrelations(TSummaryState& x, TSummaryState& y, std::uint32_t mask,
                                       const TTotals& tx);

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
  //! Correlations of summary pairs for calculated summaries; cleared with the aggregation.
  TSummaryHelpers FHelpers;
  //! The key list of the totals each helper's results of a mask were computed
  //! from: results whose totals were rebuilt since (a member was hidden) are stale.
  std::map<std::pair<const TSummaryHelper*, std::uint32_t>, std::weak_ptr<TKeyList>> FHelperSources;
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
