// The edits the dialogs commit on OK: a dimension's members and groups
// replaced, the summary settings merged back, and a whole new layout.
#include <algorithm>
#include <map>
#include <utility>

#include "engine/core/messages.h"
#include "model/grid_info.h"

namespace qd {

namespace {

// A node's identity across a replacement of the member tree: its cube member
// and the root it hangs under (-1 the member tree, else the group's position);
// a top-level group is its own id at its position.
using TNodeKey = std::pair<int, int>;

std::map<TNodeKey, int> NodeKeys(const TDimensionState& state) {
  std::map<TNodeKey, int> keys;
  for (int n = 0; n < state.NodeCount(); ++n) {
    int top = n;
    while (state.ParentNode(top) >= 0) top = state.ParentNode(top);
    int root = -1;
    if (state.IsGroupNode(top)) {
      const auto& groups = state.Groups;
      const auto it = std::find_if(groups.begin(), groups.end(),
                                   [&](const auto& g) { return g.get() == &state.Node(top); });
      root = static_cast<int>(it - groups.begin());
    }
    keys.emplace(TNodeKey{state.Node(n).Id, root}, n);
  }
  return keys;
}

// A label that lost its member matches no new label.
constexpr int kLostNode = -3;

}  // namespace

void TGridInfo::ReplaceMembers(TDimensionState& state, TDimMembers members, TDimMembers groups) {
  const std::map<TNodeKey, int> before = NodeKeys(state);
  state.Members = std::move(members);
  state.Groups = std::move(groups);
  const auto other = std::find_if(state.Groups.begin(), state.Groups.end(),
                                  [](const auto& g) { return g->Id == kOtherGroupId; });
  if (other == state.Groups.end()) {
    TDimMembers kept = std::move(state.Groups);
    state.InitGroups();
    for (auto& g : kept) state.Groups.push_back(std::move(g));
  } else if (other != state.Groups.begin()) {
    std::rotate(state.Groups.begin(), other, other + 1);
  }
  for (auto& m : state.Members) m->Parent = nullptr;
  for (auto& g : state.Groups) g->Parent = nullptr;
  state.BuildNodeTables(false);

  const std::map<TNodeKey, int> after = NodeKeys(state);
  int oldCount = 0;
  for (const auto& [key, node] : before) oldCount = std::max(oldCount, node + 1);
  std::vector<int> map(static_cast<std::size_t>(oldCount), kLostNode);
  for (const auto& [key, node] : before)
    if (const auto it = after.find(key); it != after.end())
      map[static_cast<std::size_t>(node)] = it->second;
  FTrees.RemapMembers(state, map, kLostNode);
  ApplyDimensionState(state);
}

void TGridInfo::ApplySummarySettings(const TSummarySettings& edited) {
  BeginUpdate();
  const bool changed = edited.MergeInto(FSummarySettings);
  if (changed && IsActive()) {
    FAggregation.DropActive();
    LinkSummaryStates();
  }
  EndUpdate(changed ? TChangeKind::ckCube : TChangeKind::ckAxes);
}

void TGridInfo::ApplyLayout(const std::vector<TDimLayout>& layout) {
  std::vector<int> axes[3];
  for (const TDimLayout& d : layout) {
    const int g = static_cast<int>(d.Group);
    if (d.DimIndex < 0 || d.DimIndex >= DimensionStateCount() || g < 0 || g > 2) continue;
    axes[g].push_back(d.DimIndex);
  }
  for (int g = 0; g < 3; ++g)
    for (int d : FAxes[g]) {
      const bool listed = std::any_of(layout.begin(), layout.end(),
                                      [d](const TDimLayout& l) { return l.DimIndex == d; });
      if (!listed) axes[g].push_back(d);
    }
  std::vector<int> active = axes[0];
  active.insert(active.end(), axes[1].begin(), axes[1].end());
  FAggregation.CheckCapacity(active);

  BeginUpdate();
  for (int g = 0; g < 3; ++g) FAxes[g] = axes[g];
  for (const TDimLayout& d : layout) {
    if (d.DimIndex < 0 || d.DimIndex >= DimensionStateCount()) continue;
    TDimensionState& state = DimensionState(d.DimIndex);
    state.Group = d.Group;
    state.TotalAppearance = d.TotalAppearance;
    state.SortType = d.SortType;
    // Captions renamed in the members dialog stay unless the attribute changes.
    state.SetAttribute(d.Attribute, d.Attribute != state.Attribute);
    state.SortMembers(OnCompareDimensionMembers);
  }
  FAggregation.DropActive();
  EndUpdate(TChangeKind::ckAxes);
}

}  // namespace qd
