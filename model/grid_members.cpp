// The grid model's member operations: sort type and caption attribute of a
// dimension, hiding and grouping the members of header labels, and applying
// a changed dimension state to the grid.
#include <algorithm>
#include <unordered_set>

#include "model/grid_info.h"

namespace qd {

namespace {

// The label's siblings after it (or all but it), without Totals.
std::vector<TLabelNode*> OtherSiblings(TLabelNodes& siblings, const TLabelNode& node,
                                       bool followingOnly) {
  std::vector<TLabelNode*> out;
  bool after = false;
  for (auto& n : siblings) {
    if (n.get() == &node) {
      after = true;
      continue;
    }
    if (n->IsTotal() || (followingOnly && !after)) continue;
    out.push_back(n.get());
  }
  return out;
}

// A label whose member no longer has a node; it matches no new label.
constexpr int kLostNode = -3;

}  // namespace

TLabelNode* TGridInfo::StandIn(TLabelNode& node) const {
  TLabelNode* n = node.IsTotal() ? node.Parent : &node;
  return n && n->State && !n->IsTotal() ? n : nullptr;
}

void TGridInfo::SetSortType(TDimensionState& state, TDimSortType type, bool apply) {
  state.SortType = type;
  state.SortMembers(OnCompareDimensionMembers);
  if (!apply || (state.Group != TDimGroup::dgRow && state.Group != TDimGroup::dgCol)) return;
  BeginUpdate();
  EndUpdate(state.Group == TDimGroup::dgRow ? TChangeKind::ckRowOrder : TChangeKind::ckColOrder);
}

void TGridInfo::SetAttribute(TDimensionState& state, const std::string& name, bool relabel) {
  state.SetAttribute(name, relabel);
  if (!relabel) return;
  BeginUpdate();
  EndUpdate(TChangeKind::ckLabels);
}

void TGridInfo::HideFollowingMembers(TLabelNode& node, int axis) {
  TLabelNode* n = StandIn(node);
  if (!n) return;
  TDimensionState& state = *n->State;
  for (TLabelNode* s : OtherSiblings(FTrees.SiblingsOf(*n, axis), *n, true))
    TDimensionState::HideSubtree(s->State->Node(s->Member));
  ApplyFilter(state);
}

void TGridInfo::HideOtherMembers(TLabelNode& node, int axis) {
  TLabelNode* n = StandIn(node);
  if (!n) return;
  TDimensionState& state = *n->State;
  for (TLabelNode* s : OtherSiblings(FTrees.SiblingsOf(*n, axis), *n, false))
    TDimensionState::HideSubtree(s->State->Node(s->Member));
  ApplyFilter(state);
}

TGridInfo::TNodeIdentities TGridInfo::NodeIdentities(const TDimensionState& state) {
  TNodeIdentities out;
  for (int i = 0; i < state.NodeCount(); ++i) out.emplace_back(&state.Node(i), state.Node(i).Id);
  return out;
}

void TGridInfo::MoveMemberToGroup(TLabelNode& node, int group) {
  TLabelNode* n = StandIn(node);
  if (!n) return;
  TDimensionState& state = *n->State;
  if (group < 0 || group >= state.GroupCount() || state.IsInGroup(n->Member)) return;
  const TNodeIdentities before = NodeIdentities(state);
  if (state.MoveToGroup(state.Node(n->Member), group)) RebuildAfterGrouping(state, before);
}

void TGridInfo::GroupFollowingMembers(TLabelNode& node, int axis, int group) {
  TLabelNode* n = StandIn(node);
  if (!n) return;
  TDimensionState& state = *n->State;
  if (group < 0 || group >= state.GroupCount()) return;
  const TNodeIdentities before = NodeIdentities(state);
  bool moved = false;
  for (TLabelNode* s : OtherSiblings(FTrees.SiblingsOf(*n, axis), *n, true)) {
    if (s->State != &state || state.IsInGroup(s->Member)) continue;
    moved = state.MoveToGroup(state.Node(s->Member), group) || moved;
  }
  if (moved) RebuildAfterGrouping(state, before);
}

void TGridInfo::RebuildAfterGrouping(TDimensionState& state, const TNodeIdentities& before) {
  // Nodes that stayed keep their objects; a moved member is found again by
  // its cube member (its copy inside the group).
  std::unordered_set<const TDimMember*> alive;
  std::function<void(const TDimMembers&)> walk = [&](const TDimMembers& list) {
    for (const auto& m : list) {
      alive.insert(m.get());
      walk(m->Children);
    }
  };
  walk(state.Members);
  walk(state.Groups);
  state.BuildNodeTables(false);
  std::vector<int> map(before.size(), kLostNode);
  for (std::size_t i = 0; i < before.size(); ++i) {
    const auto [member, id] = before[i];
    if (alive.count(member))
      map[i] = member->Index;
    else if (id >= 0)
      map[i] = state.NodeOfMember(id);
  }
  // The labels keep pointing at their members, so that the rebuild keeps
  // their expansion.
  FTrees.RemapMembers(state, map, kLostNode);
  ApplyDimensionState(state);
}

void TGridInfo::ApplyDimensionState(TDimensionState& state) {
  BeginUpdate();
  state.UpdateFilterActive();
  // Members, groups and node counts may have changed: the keys are laid out
  // again and the facts aggregated anew by the rebuild.
  FAggregation.DropActive();
  EndUpdate(TChangeKind::ckMembers);
}

void TGridInfo::ApplyFilter(TDimensionState& state) {
  if (state.Group == TDimGroup::dgPage) {
    ApplyDimensionState(state);
    return;
  }
  BeginUpdate();
  FAggregation.VisibilityChanged();
  state.UpdateFilterActive();
  EndUpdate(TChangeKind::ckAxes);
}

}  // namespace qd
