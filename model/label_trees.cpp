#include "model/label_trees.h"

#include <algorithm>
#include <functional>

#include "model/grid_info.h"

namespace qd {

namespace {

void CollectLines(const TLabelNodes& list, std::vector<TLabelNode*>& lines) {
  for (const auto& n : list) {
    if (n->Children.empty()) {
      n->LineIndex = static_cast<int>(lines.size());
      lines.push_back(n.get());
    } else {
      n->LineIndex = -1;
      CollectLines(n->Children, lines);
    }
  }
}

// Deepest level of each dimension in the tree, and the deepest axis position met.
void MeasureTree(const TLabelNodes& list, const std::vector<int>& axis, std::vector<int>& widths,
                 int& deepest) {
  for (const auto& n : list) {
    const auto it = std::find(axis.begin(), axis.end(), n->DimIndex);
    if (it != axis.end()) {
      const auto pos = static_cast<std::size_t>(it - axis.begin());
      widths[pos] = std::max(widths[pos], n->Level);
      deepest = std::max(deepest, static_cast<int>(pos));
    }
    MeasureTree(n->Children, axis, widths, deepest);
  }
}

}  // namespace

int TLabelTrees::HeaderWidth(int axis) const {
  int width = 0;
  for (const auto& c : FCaptions[axis]) width += c.Width;
  return width;
}

void TLabelTrees::Clear() {
  for (int a = 0; a < 2; ++a) {
    FTrees[a].clear();
    FLines[a].clear();
    FCaptions[a].clear();
  }
}

int TLabelTrees::NextDimOnAxis(int axis, int dimIndex) const {
  const auto& dims = FGrid.AxisDims(static_cast<TDimGroup>(axis));
  const auto it = std::find(dims.begin(), dims.end(), dimIndex);
  if (it == dims.end() || it + 1 == dims.end()) return -1;
  return *(it + 1);
}

void TLabelTrees::FillKey(const TLabelNode* node, TMemberKey& key) const {
  std::uint32_t assigned = 0;
  for (const TLabelNode* n = node; n; n = n->Parent) {
    const int pos = FGrid.Aggregation().ActivePosition(n->DimIndex);
    if (pos < 0 || (assigned & (1u << pos))) continue;
    // A Total under a member of its own dimension stands for that member.
    if (n->IsTotal() && n->Parent && n->Parent->DimIndex == n->DimIndex) continue;
    key[static_cast<std::size_t>(pos)] = n->Member;
    assigned |= 1u << pos;
  }
}

void TLabelTrees::GiveButtons(TLabelNode& node, int axis) const {
  node.HierarchyButton.reset();
  node.NextDimButton.reset();
  if (node.IsTotal()) return;
  const int next = NextDimOnAxis(axis, node.DimIndex);
  if (next >= 0 && !FGrid.DimensionState(next).TopNodes().empty())
    node.NextDimButton = std::make_unique<TGridButton>(&node);
  if (node.State->HasChildren(node.Member))
    node.HierarchyButton = std::make_unique<TGridButton>(&node);
}

void TLabelTrees::AddDimChildren(TLabelNodes& list, TLabelNode* parent, int axis, int dimIndex,
                                 TMemberKey& key) {
  TDimensionState& state = FGrid.DimensionState(dimIndex);
  TModelAggregation& aggregation = FGrid.Aggregation();
  const auto pos = static_cast<std::size_t>(aggregation.ActivePosition(dimIndex));
  const bool hierarchy = parent && parent->DimIndex == dimIndex;
  // The Total of a hierarchy expansion stands for the member itself.
  const int totalDigit = hierarchy ? parent->Member : -1;
  const std::vector<int>& members = hierarchy ? state.Children(parent->Member) : state.TopNodes();
  const int level = hierarchy ? parent->Level + 1 : 1;
  auto add = [&](int member) {
    auto node = std::make_unique<TLabelNode>();
    node->Member = member;
    node->DimIndex = dimIndex;
    node->State = &state;
    node->Parent = parent;
    node->Level = level;
    list.push_back(std::move(node));
  };
  key[pos] = totalDigit;
  if (state.TotalAppearance == TTotalAppearance::taFirst && aggregation.IsNonEmpty(key)) add(-1);
  for (int m : members) {
    key[pos] = m;
    if (aggregation.IsNonEmpty(key)) add(m);
  }
  key[pos] = totalDigit;
  if (state.TotalAppearance == TTotalAppearance::taLast && aggregation.IsNonEmpty(key)) add(-1);
  for (auto& n : list) GiveButtons(*n, axis);
}

void TLabelTrees::BuildTree(int axis) {
  FTrees[axis].clear();
  const std::vector<int>& dims = FGrid.AxisDims(static_cast<TDimGroup>(axis));
  if (dims.empty()) return;
  TMemberKey key(static_cast<std::size_t>(FGrid.Aggregation().ActiveCount()), -1);
  AddDimChildren(FTrees[axis], nullptr, axis, dims[0], key);
}

bool TLabelTrees::CanExpand(const TLabelNode& node, bool intoHierarchy) {
  return !node.IsExpanded() && (intoHierarchy ? node.HierarchyButton : node.NextDimButton);
}

void TLabelTrees::Expand(TLabelNode& node, int axis, bool intoHierarchy) {
  if (!CanExpand(node, intoHierarchy)) return;
  TMemberKey key(static_cast<std::size_t>(FGrid.Aggregation().ActiveCount()), -1);
  FillKey(&node, key);
  if (intoHierarchy) {
    AddDimChildren(node.Children, &node, axis, node.DimIndex, key);
    node.NextDimButton.reset();
    node.ExpandedIntoHierarchy = true;
  } else {
    AddDimChildren(node.Children, &node, axis, NextDimOnAxis(axis, node.DimIndex), key);
    node.HierarchyButton.reset();
    node.ExpandedIntoNext = true;
  }
}

void TLabelTrees::Collapse(TLabelNode& node, int axis) {
  node.Children.clear();
  node.ExpandedIntoNext = false;
  node.ExpandedIntoHierarchy = false;
  GiveButtons(node, axis);
}

void TLabelTrees::ExpandAll(const TDimensionState& state) {
  const int axis = static_cast<int>(state.Group), dim = state.DimIndex();
  if (axis > 1) return;
  std::function<void(TLabelNodes&)> walk = [&](TLabelNodes& list) {
    for (auto& n : list) {
      if (n->DimIndex != dim) {
        walk(n->Children);
      } else if (!n->IsExpanded()) {
        if (n->HierarchyButton) {
          Expand(*n, axis, true);
          walk(n->Children);
        } else if (n->NextDimButton) {
          Expand(*n, axis, false);
        }
      } else if (n->ExpandedIntoHierarchy) {
        walk(n->Children);
      }
    }
  };
  walk(FTrees[axis]);
}

void TLabelTrees::CollapseAll(const TDimensionState& state) {
  const int axis = static_cast<int>(state.Group), dim = state.DimIndex();
  if (axis > 1) return;
  std::function<void(TLabelNodes&)> walk = [&](TLabelNodes& list) {
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
      TLabelNode& n = **it;
      if (n.DimIndex == dim && n.IsExpanded())
        Collapse(n, axis);
      else
        walk(n.Children);
    }
  };
  walk(FTrees[axis]);
}

TOpenDimNodes TLabelTrees::SaveExpansion(const TLabelNodes& list) const {
  TOpenDimNodes saved;
  for (const auto& n : list) {
    if (!n->IsExpanded()) continue;
    saved.push_back({n->Member, n->HeaderColumn + 1, n->DimIndex, n->ExpandedIntoHierarchy,
                     SaveExpansion(n->Children)});
  }
  return saved;
}

void TLabelTrees::ReplayExpansion(TLabelNodes& list, const TOpenDimNodes& saved, int axis) {
  for (const TOpenDimNode& s : saved) {
    if (list.empty() || list.front()->DimIndex != s.DimIndex) continue;
    for (auto& n : list) {
      if (n->Member != s.Member) continue;
      Expand(*n, axis, s.IntoHierarchy);
      if (n->ExpandedIntoHierarchy == s.IntoHierarchy && n->IsExpanded())
        ReplayExpansion(n->Children, s.Children, axis);
      break;
    }
  }
}

void TLabelTrees::KeepExpansionPending() {
  for (int a = 0; a < 2; ++a)
    FPendingExpansion[a] = FGrid.IsActive() ? SaveExpansion(FTrees[a]) : TOpenDimNodes();
}

void TLabelTrees::Restart(TOpenDimNodes rows, TOpenDimNodes columns) {
  Clear();
  FPendingExpansion[0] = std::move(rows);
  FPendingExpansion[1] = std::move(columns);
}

void TLabelTrees::Build(bool keepExpansion) {
  TOpenDimNodes saved[2];
  for (int a = 0; a < 2; ++a) {
    if (keepExpansion)
      saved[a] = FTrees[a].empty() ? std::move(FPendingExpansion[a]) : SaveExpansion(FTrees[a]);
    FPendingExpansion[a].clear();
  }
  for (int a = 0; a < 2; ++a) {
    FLines[a].clear();
    FTrees[a].clear();
  }
  if (!FGrid.IsActive()) return;
  FGrid.Aggregation().PrepareTreeMasks(FGrid.RowDims(), FGrid.ColDims());
  for (int a = 0; a < 2; ++a) {
    BuildTree(a);
    ReplayExpansion(FTrees[a], saved[a], a);
  }
}

void TLabelTrees::SortSiblings() {
  std::function<void(TLabelNodes&)> sortList = [&](TLabelNodes& list) {
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
      const bool totalFirst = a->State->TotalAppearance == TTotalAppearance::taFirst;
      if (a->IsTotal() != b->IsTotal()) return totalFirst ? a->IsTotal() : b->IsTotal();
      if (a->IsTotal()) return false;
      return a->State->Position(a->Member) < b->State->Position(b->Member);
    });
    for (auto& n : list) sortList(n->Children);
  };
  for (auto& tree : FTrees) sortList(tree);
}

void TLabelTrees::LayoutAxis(int a) {
  FLines[a].clear();
  CollectLines(FTrees[a], FLines[a]);
  FCaptions[a].clear();
  const auto& axis = FGrid.AxisDims(static_cast<TDimGroup>(a));
  std::vector<int> widths(axis.size(), 1);
  int deepest = -1;
  MeasureTree(FTrees[a], axis, widths, deepest);
  int column = 0;
  std::vector<int> firstColumn(axis.size(), 0);
  for (int i = 0; i <= deepest; ++i) {
    TDimensionState& s = FGrid.DimensionState(axis[static_cast<std::size_t>(i)]);
    s.HeaderWidth = widths[static_cast<std::size_t>(i)];
    FCaptions[a].push_back({s.DimIndex(), &s, s.HeaderWidth, column, {}});
    firstColumn[static_cast<std::size_t>(i)] = column;
    column += s.HeaderWidth;
  }
  std::function<void(TLabelNodes&)> place = [&](TLabelNodes& list) {
    for (auto& n : list) {
      const auto pos = std::find(axis.begin(), axis.end(), n->DimIndex) - axis.begin();
      n->HeaderColumn = firstColumn[static_cast<std::size_t>(pos)] + n->Level - 1;
      place(n->Children);
    }
  };
  place(FTrees[a]);
}

void TLabelTrees::Layout() {
  for (int a = 0; a < 2; ++a) LayoutAxis(a);
}

TLabelNodes& TLabelTrees::SiblingsOf(TLabelNode& node, int axis) {
  if (node.HeaderColumn != 0 && node.Parent) return node.Parent->Children;
  return FTrees[axis == 1 ? 1 : 0];
}

void TLabelTrees::RemapMembers(const TDimensionState& state, const std::vector<int>& map,
                               int lost) {
  std::function<void(TLabelNodes&)> remap = [&](TLabelNodes& list) {
    for (auto& n : list) {
      if (n->State == &state && n->Member >= 0)
        n->Member = static_cast<std::size_t>(n->Member) < map.size()
                        ? map[static_cast<std::size_t>(n->Member)]
                        : lost;
      remap(n->Children);
    }
  };
  for (auto& tree : FTrees) remap(tree);
}

TLabelNode* TLabelTrees::FindNode(const TLabelNodes& list, int x, int y, TGridButton** button) {
  for (const auto& n : list) {
    if (n->NextDimButton && n->NextDimButton->Rect.Contains(x, y)) {
      if (button) *button = n->NextDimButton.get();
      return n.get();
    }
    if (n->HierarchyButton && n->HierarchyButton->Rect.Contains(x, y)) {
      if (button) *button = n->HierarchyButton.get();
      return n.get();
    }
    if (n->Rect.Contains(x, y)) return n.get();
    if (n->IsExpanded())
      if (TLabelNode* found = FindNode(n->Children, x, y, button)) return found;
  }
  return nullptr;
}

}  // namespace qd
