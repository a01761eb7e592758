// What the pivot grid control and its internal grid redo for each change kind
// the model posts. The model's own work for a kind is kModelRebuilds.
#pragma once

#include <array>
#include <cstdint>

#include "model/change_kind.h"

namespace qd {

//! The internal grid's work for a change kind.
enum class TLayoutReaction : std::uint8_t {
  lrNone,         //!< nothing
  lrRebuild,      //!< rebuild the layout from the model
  lrRebuildKeep,  //!< rebuild it, keeping the view's place when the headers change size
};

struct TViewReaction {
  TLayoutReaction Layout = TLayoutReaction::lrNone;
  //! The control refills its pivot areas from the model's axes.
  bool RefreshAreas = false;
};

// Whatever the model rebuilds, it makes its label, caption and sub-level nodes
// anew, and the grid's layout points into them: so every kind the model
// rebuilds for is a layout rebuild here, never a mere repaint.
inline constexpr std::array<TKindReaction<TViewReaction>, kChangeKindCount> kViewReactions{{
    {TChangeKind::ckCube, {TLayoutReaction::lrRebuild, true}},
    {TChangeKind::ckAxes, {TLayoutReaction::lrRebuild, true}},
    {TChangeKind::ckWordWrap, {TLayoutReaction::lrRebuildKeep, false}},
    {TChangeKind::ckLabels, {TLayoutReaction::lrRebuildKeep, false}},
    {TChangeKind::ckRowOrder, {TLayoutReaction::lrRebuildKeep, false}},
    {TChangeKind::ckColOrder, {TLayoutReaction::lrRebuildKeep, false}},
    {TChangeKind::ckStateApplied, {TLayoutReaction::lrRebuild, true}},
    {TChangeKind::ckDimExpansion, {TLayoutReaction::lrRebuild, true}},
    {TChangeKind::ckMembers, {TLayoutReaction::lrRebuild, true}},
    {TChangeKind::ckCubeBound, {TLayoutReaction::lrNone, false}},
    {TChangeKind::ckDataColumns, {TLayoutReaction::lrRebuild, false}},
    {TChangeKind::ckTotals, {TLayoutReaction::lrRebuild, false}},
}};
static_assert(ListsEveryKindInOrder(kViewReactions));
static_assert(
    [] {
      for (const auto& row : kViewReactions)
        if (ModelRebuildFor(row.Kind) != TModelRebuild::mrNone &&
            row.Reaction.Layout == TLayoutReaction::lrNone)
          return false;
      return true;
    }(),
    "a kind the model rebuilds for must rebuild the grid's layout");

//! The views' reaction to a kind; a number no kind has changes nothing.
constexpr TViewReaction ViewReactionTo(TChangeKind kind) {
  return ReactionTo(kViewReactions, kind, TViewReaction{});
}

//! The chart's work for a change kind.
enum class TChartReaction : std::uint8_t {
  crNone,          //!< nothing the chart draws changed
  crRebuild,       //!< categories, series and values again
  crRebuildGrid,   //!< again when the chart sorts like the grid, else nothing
};

// The chart draws the top-level members of the first dimension of each axis
// with one summary's function, so it follows every change of those members,
// of their captions, of the values and of which summaries and functions are
// shown; a new order only matters when it sorts like the grid. Word wrap and
// where totals go leave it alone: it never draws a total label.
inline constexpr std::array<TKindReaction<TChartReaction>, kChangeKindCount> kChartReactions{{
    {TChangeKind::ckCube, TChartReaction::crRebuild},
    {TChangeKind::ckAxes, TChartReaction::crRebuild},
    {TChangeKind::ckWordWrap, TChartReaction::crNone},
    {TChangeKind::ckLabels, TChartReaction::crRebuild},
    {TChangeKind::ckRowOrder, TChartReaction::crRebuildGrid},
    {TChangeKind::ckColOrder, TChartReaction::crRebuildGrid},
    {TChangeKind::ckStateApplied, TChartReaction::crRebuild},
    {TChangeKind::ckDimExpansion, TChartReaction::crRebuild},
    {TChangeKind::ckMembers, TChartReaction::crRebuild},
    {TChangeKind::ckCubeBound, TChartReaction::crRebuild},
    {TChangeKind::ckDataColumns, TChartReaction::crRebuild},
    {TChangeKind::ckTotals, TChartReaction::crNone},
}};
static_assert(ListsEveryKindInOrder(kChartReactions));

//! The chart's reaction to a kind; a number no kind has changes nothing.
constexpr TChartReaction ChartReactionTo(TChangeKind kind) {
  return ReactionTo(kChartReactions, kind, TChartReaction::crNone);
}

}  // namespace qd
