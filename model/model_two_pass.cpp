// The second pass of the model aggregation: every cell of a mask gets the
// values of the base cells it was aggregated from, so that the order
// statistics and moments of each cell come from exactly the records its sum
// and count came from.
#include <algorithm>

#include "engine/aggregate/aggregate_two_pass.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "model/function_defs.h"
#include "model/grid_info.h"
#include "model/model_aggregation.h"

namespace qd {

namespace {

enum TTwoPassTarget { tpBase = 0, tpRollUps = 1, tpMask = 2 };

}  // namespace

std::unique_ptr<TDPFactData> TModelAggregation::GroupFactData(const TSummaryState& state,
                                                            const TFactTable& facts) const {
  // The records' cells are found again by the scan a range at a time, not
  // kept for every record beside the grouped values.
  TScanRequest request = ScanRequest();
  request.Summaries.clear();
  const TFactScan scan(facts, request);
  const TTotals& base = *state.FBase;
  return std::make_unique<TDPFactData>(
      facts, state.FIndex,
      [&](const TFactScan::TRecordCellVisit& visit) { scan.ForEachRecordCell(base.Keys(), visit); },
      base.Counts);
}

TCellTargets TModelAggregation::TwoPassTargets(const TSummaryState& state, const TTotals& totals,
                                               int kind, std::uint32_t mask) const {
  const TTotals& base = *state.FBase;
  const TKeyList& keys = base.Keys();
  TCellTargets targets;
  targets.Start.reserve(base.Size() + 1);
  std::vector<std::int32_t> cellTargets;
  for (std::size_t c = 0; c < base.Size(); ++c) {
    cellTargets.clear();
    if (kind == tpBase) {
      cellTargets.push_back(static_cast<std::int32_t>(c));
    } else if (TMemberKey members = DecodeKey(keys[c]); IsVisibleKey(members)) {
      ForEachRollUp(std::move(members), [&](TMemberKey m, bool isBase) {
        if (kind == tpRollUps) {
          if (isBase) return;
        } else {
          // Masked positions become Total; a parent member there feeds no
          // cell, since its leaves already do.
          for (int p = 0; p < ActiveCount(); ++p) {
            if (!(mask & (1u << p))) continue;
            const int node = m[static_cast<std::size_t>(p)];
            if (node >= 0 && State(p).LevelCount() > 1 && State(p).HasChildren(node)) return;
            m[static_cast<std::size_t>(p)] = -1;
          }
        }
        const std::ptrdiff_t at = totals.IndexOf(EncodeKey(m));
        if (at >= 0) cellTargets.push_back(static_cast<std::int32_t>(at));
      });
    }
    targets.AddSource(cellTargets);
  }
  return targets;
}

bool TModelAggregation::NeedsTwoPass(const TSummaryState& state, const TTotals& totals) {
  return !totals.TwoPassDone || (state.FMedians && !totals.TwoPassMedians) ||
         (state.FMoments && !totals.TwoPassMoments);
}

void TModelAggregation::RunTwoPass(TSummaryState& state, TTotals& asked, int kind,
                                   std::uint32_t mask) {
  const TFactTable* facts = FGrid.Cube() ? FGrid.Cube()->FactTable() : nullptr;
  if (!facts || !state.FBase) return;
  if (!state.FFactData) state.FFactData = GroupFactData(state, *facts);
  const TDPFactData& data = *state.FFactData;

  // The asked totals share the pass with every other totals of the summary
  // that still lacks what the pass computes, so that a pivot's masks cost one
  // pass rather than one each.
  std::vector<TTotals*> lines{&asked};
  std::vector<TCellTargets> targets;
  targets.push_back(TwoPassTargets(state, asked, kind, mask));
  auto add = [&](TTotals* t, int tKind, std::uint32_t tMask) {
    if (!t || t == &asked || !NeedsTwoPass(state, *t)) return;
    lines.push_back(t);
    targets.push_back(TwoPassTargets(state, *t, tKind, tMask));
  };
  add(state.FBase.get(), tpBase, 0);
  add(state.FRollUps.get(), tpRollUps, 0);
  for (std::size_t i = 0; i < state.FMaskTotals.Count(); ++i)
    add(state.FMaskTotals.Item(i), tpMask, state.FMaskTotals.Mask(i));
  TSecondPassOptions options;
  options.Medians = state.FMedians;
  options.Moments = state.FMoments;
  options.CustomCount = std::min(FGrid.FunctionDefs().CustomCount(), kCustomFunctionCount);
  options.OnCalcAggregateFunction = FGrid.OnCalcAggregateFunction;
  options.Sender = FGrid.Owner();
  try {
    RunSecondPass(lines, data, targets, options);
  } catch (const Exception&) {
    // A fault in the others' totals is theirs to report when they are asked.
    if (lines.size() == 1) throw;
    RunSecondPass(asked, data, targets[0], options);
  }
}

std::optional<double> TModelAggregation::FunctionValue(TSummaryState& state,
                                                       const TMemberKey& members,
                                                       TFunction function, TSecondPassNeeds needs) {
  if (!Prepare(state) || members.size() != FActive.size() || !IsVisibleKey(members))
    return std::nullopt;
  const std::uint32_t mask = KeyMask(members);
  const std::int64_t key = EncodeKey(members);
  TTotals* totals = nullptr;
  int kind = tpMask;
  if (mask != 0) {
    GetMaskTotals(state, mask);
    totals = state.FMaskTotals.Find(mask);
  } else if (state.FBase && state.FBase->IndexOf(key) >= 0) {
    totals = state.FBase.get();
    kind = tpBase;
  } else {
    kind = tpRollUps;
    totals = state.FRollUps.get();
  }
  if (!totals) return std::nullopt;
  const std::ptrdiff_t at = totals->IndexOf(key);
  if (at < 0) return std::nullopt;
  // Weighted records hold no single facts: such a cell stays empty rather
  // than show a 0 it never computed.
  if (NeedsEveryFact(function) && FGrid.Cube()->FactTable() &&
      FGrid.Cube()->FactTable()->Weights())
    return std::nullopt;
  const bool minMaxKnown = (function == TFunction::stMin || function == TFunction::stMax) &&
                           totals->Mins.size() == totals->Size();
  if (function == TFunction::stMedian) needs.Medians = true;
  if (IsMomentFunction(function)) needs.Moments = true;
  // What a summary was once asked for, its later passes compute too.
  state.FMedians = state.FMedians || needs.Medians;
  state.FMoments = state.FMoments || needs.Moments;
  if (IsSecondPassFunction(function) && !minMaxKnown && NeedsTwoPass(state, *totals))
    RunTwoPass(state, *totals, kind, mask);
  return FunctionValueAt(*totals, static_cast<std::size_t>(at), function);
}

}  // namespace qd
