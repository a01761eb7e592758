// The kinds of change the grid model reports, and the rebuild each one asks
// of the model. Every change is bracketed by BeginUpdate … EndUpdate(kind);
// the outermost EndUpdate rebuilds as the table below says and then posts the
// kind, one byte, to the views, which look their own reaction up by it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qd {

//! What changed in the model. The numbers travel in the notification byte.
enum class TChangeKind : std::uint8_t {
  ckCube = 0,          //!< the cube's data or dimension states: everything again
  ckAxes = 1,          //!< dimensions moved on or between axes, or members hidden or shown
  ckWordWrap = 2,      //!< the word-wrap switch
  ckLabels = 3,        //!< one label expanded or collapsed, or the member captions changed
  ckRowOrder = 4,      //!< the order of the row members (sort type, value sort)
  ckColOrder = 5,      //!< the order of the column members
  ckStateApplied = 6,  //!< a saved pivot state was laid out
  ckDimExpansion = 7,  //!< every label of one dimension expanded or collapsed
  ckMembers = 8,       //!< members, groups or fact values of a dimension changed
  ckCubeBound = 9,     //!< another cube was bound (posted only, nothing rebuilt)
  ckDataColumns = 10,  //!< which summaries, functions and sub-functions are shown
  ckTotals = 11,       //!< where a dimension shows its totals
};
inline constexpr std::size_t kChangeKindCount = 12;

//! The model's work for a change kind, from the most to the least.
enum class TModelRebuild : std::uint8_t {
  mrFull,      //!< active dimensions and aggregates, then the label trees keeping expansion
  mrTrees,     //!< the label trees keeping expansion; aggregates again only when dropped
  mrResort,    //!< re-sort both trees, then relayout
  mrRelayout,  //!< lines, header columns, data columns and values
  mrValues,    //!< data columns and values only
  mrNone,      //!< nothing: listeners rebind themselves
};

//! One row of a reaction table: what its owner does for one change kind.
template <class TReaction>
struct TKindReaction {
  TChangeKind Kind;
  TReaction Reaction;
};

//! True when a reaction table lists every change kind once, in kind order, so
//! that the table can be indexed by the kind's number.
template <class TReaction, std::size_t N>
constexpr bool ListsEveryKindInOrder(const std::array<TKindReaction<TReaction>, N>& table) {
  if (N != kChangeKindCount) return false;
  for (std::size_t i = 0; i < N; ++i)
    if (static_cast<std::size_t>(table[i].Kind) != i) return false;
  return true;
}

//! The reaction a table gives a kind; `unknown` for a number past the table.
template <class TReaction, std::size_t N>
constexpr TReaction ReactionTo(const std::array<TKindReaction<TReaction>, N>& table,
                               TChangeKind kind, TReaction unknown) {
  const auto i = static_cast<std::size_t>(kind);
  return i < N ? table[i].Reaction : unknown;
}

inline constexpr std::array<TKindReaction<TModelRebuild>, kChangeKindCount> kModelRebuilds{{
    {TChangeKind::ckCube, TModelRebuild::mrFull},
    {TChangeKind::ckAxes, TModelRebuild::mrFull},
    {TChangeKind::ckWordWrap, TModelRebuild::mrRelayout},
    {TChangeKind::ckLabels, TModelRebuild::mrResort},
    {TChangeKind::ckRowOrder, TModelRebuild::mrResort},
    {TChangeKind::ckColOrder, TModelRebuild::mrResort},
    {TChangeKind::ckStateApplied, TModelRebuild::mrFull},
    {TChangeKind::ckDimExpansion, TModelRebuild::mrResort},
    {TChangeKind::ckMembers, TModelRebuild::mrTrees},
    {TChangeKind::ckCubeBound, TModelRebuild::mrNone},
    {TChangeKind::ckDataColumns, TModelRebuild::mrValues},
    {TChangeKind::ckTotals, TModelRebuild::mrTrees},
}};
static_assert(ListsEveryKindInOrder(kModelRebuilds));

//! The model's rebuild for a kind; a number no kind has rebuilds fully.
constexpr TModelRebuild ModelRebuildFor(TChangeKind kind) {
  return ReactionTo(kModelRebuilds, kind, TModelRebuild::mrFull);
}

}  // namespace qd
