// The label trees of the grid model: building, expansion and collapse, sibling
// order, lines, header columns and data columns.
#include <algorithm>

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

TLabelNode* FindIn(const TLabelNodes& list, int x, int y, TGridButton** button) {
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
      if (TLabelNode* found = FindIn(n->Children, x, y, button)) return found;
  }
  return nullptr;
}

}  // namespace

int TGridInfo::NextDimOnAxis(int axis, int dimIndex) const {
  const auto& dims = FAxes[axis];
  const auto it = std::find(dims.begin(), dims.end(), dimIndex);
  if (it == dims.end() || it + 1 == dims.end()) return -1;
  return *(it + 1);
}

void TGridInfo::FillKey(const TLabelNode* node, TMemberKey& key) const {
  std::uint32_t assigned = 0;
  for (const TLabelNode* n = node; n; n = n->Parent) {
    const int pos = FAggregation.ActivePosition(n->DimIndex);
    if (pos < 0 || (assigned & (1u << pos))) continue;
    // A Total under a member of its own dimension stands for that member.
    if (n->IsTotal() && n->Parent && n->Parent->DimIndex == n->DimIndex) continue;
    key[static_cast<std::size_t>(pos)] = n->Member;
    assigned |= 1u << pos;
  }
}

void TGridInfo::GiveButtons(TLabelNode& node, int axis) const {
  node.HierarchyButton.reset();
  node.NextDimButton.reset();
  if (node.IsTotal()) return;
  const int next = NextDimOnAxis(axis, node.DimIndex);
  if (next >= 0 && !DimensionState(next).TopNodes().empty())
    node.NextDimButton = std::make_unique<TGridButton>(&node);
  if (node.State->HasChildren(node.Member))
    node.HierarchyButton = std::make_unique<TGridButton>(&node);
}

void TGridInfo::AddDimChildren(TLabelNodes& list, TLabelNode* parent, int axis, int dimIndex,
                               TMemberKey& key) {
  TDimensionState& state = DimensionState(dimIndex);
  const std::size_t pos = static_cast<std::size_t>(FAggregation.ActivePosition(dimIndex));
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
  if (state.TotalAppearance == TTotalAppearance::taFirst && FAggregation.IsNonEmpty(key)) add(-1);
  for (int m : members) {
    key[pos] = m;
    if (FAggregation.IsNonEmpty(key)) add(m);
  }
  key[pos] = totalDigit;
  if (state.TotalAppearance == TTotalAppearance::taLast && FAggregation.IsNonEmpty(key)) add(-1);
  for (auto& n : list) GiveButtons(*n, axis);
}

void TGridInfo::BuildTree(int axis) {
  FTrees[axis].clear();
  if (FAxes[axis].empty()) return;
  TMemberKey key(static_cast<std::size_t>(FAggregation.ActiveCount()), -1);
  AddDimChildren(FTrees[axis], nullptr, axis, FAxes[axis][0], key);
}

void TGridInfo::ExpandInto(TLabelNode& node, int axis, bool intoHierarchy) {
  if (node.IsExpanded() || !(intoHierarchy ? node.HierarchyButton : node.NextDimButton)) return;
  TMemberKey key(static_cast<std::size_t>(FAggregation.ActiveCount()), -1);
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

void TGridInfo::Collapse(TLabelNode& node, int axis) {
  node.Children.clear();
  node.ExpandedIntoNext = false;
  node.ExpandedIntoHierarchy = false;
  GiveButtons(node, axis);
}

void TGridInfo::ExpandNode(TLabelNode& node, int axis, bool intoHierarchy) {
  if (node.IsExpanded() || !(intoHierarchy ? node.HierarchyButton : node.NextDimButton)) return;
  BeginUpdate();
  ExpandInto(node, axis, intoHierarchy);
  EndUpdate(TChangeKind::ckLabels);
  if (OnExpandDimValue) OnExpandDimValue(FOwner, node.DimIndex, node.Member, true);
}

void TGridInfo::CollapseNode(TLabelNode& node, int axis) {
  if (!node.IsExpanded() || !node.HasButton()) return;
  BeginUpdate();
  Collapse(node, axis);
  EndUpdate(TChangeKind::ckLabels);
  if (OnExpandDimValue) OnExpandDimValue(FOwner, node.DimIndex, node.Member, false);
}

void TGridInfo::ExpandAll(TDimensionState& state) {
  const int axis = static_cast<int>(state.Group);
  if (axis > 1) return;
  if (NextDimOnAxis(axis, state.DimIndex()) < 0 && state.LevelCount() <= 1) return;
  const int dim = state.DimIndex();
  std::function<void(TLabelNodes&)> walk = [&](TLabelNodes& list) {
    for (auto& n : list) {
      if (n->DimIndex != dim) {
        walk(n->Children);
      } else if (!n->IsExpanded()) {
        if (n->HierarchyButton) {
          ExpandInto(*n, axis, true);
          walk(n->Children);
        } else if (n->NextDimButton) {
          ExpandInto(*n, axis, false);
        }
      } else if (n->ExpandedIntoHierarchy) {
        walk(n->Children);
      }
    }
  };
  BeginUpdate();
  walk(FTrees[axis]);
  EndUpdate(TChangeKind::ckDimExpansion);
}

void TGridInfo::CollapseAll(TDimensionState& state) {
  const int axis = static_cast<int>(state.Group);
  if (axis > 1) return;
  const int dim = state.DimIndex();
  std::function<void(TLabelNodes&)> walk = [&](TLabelNodes& list) {
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
      TLabelNode& n = **it;
      if (n.DimIndex == dim && n.IsExpanded())
        Collapse(n, axis);
      else
        walk(n.Children);
    }
  };
  BeginUpdate();
  walk(FTrees[axis]);
  EndUpdate(TChangeKind::ckDimExpansion);
}

TOpenDimNodes TGridInfo::SaveExpansion(const TLabelNodes& list) const {
  TOpenDimNodes saved;
  for (const auto& n : list) {
    if (!n->IsExpanded()) continue;
    saved.push_back({n->Member, n->HeaderColumn + 1, n->DimIndex, n->ExpandedIntoHierarchy,
                     SaveExpansion(n->Children)});
  }
  return saved;
}

void TGridInfo::ReplayExpansion(TLabelNodes& list, const TOpenDimNodes& saved, int axis) {
  for (const TOpenDimNode& s : saved) {
    if (list.empty() || list.front()->DimIndex != s.DimIndex) continue;
    for (auto& n : list) {
      if (n->Member != s.Member) continue;
      ExpandInto(*n, axis, s.IntoHierarchy);
      if (n->ExpandedIntoHierarchy == s.IntoHierarchy && n->IsExpanded())
        ReplayExpansion(n->Children, s.Children, axis);
      break;
    }
  }
}

void TGridInfo::BuildTrees(bool keepExpansion) {
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
  if (IsActive()) {
    FAggregation.PrepareTreeMasks(RowDims(), ColDims());
    for (int a = 0; a < 2; ++a) {
      BuildTree(a);
      ReplayExpansion(FTrees[a], saved[a], a);
    }
  }
  SortTrees();
  Relayout();
}

void TGridInfo::SortTrees() {
  for (int a = 0; a < 2; ++a)
    for (int d : FAxes[a]) DimensionState(d).SortMembers(OnCompareDimensionMembers);
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
  if (FValueSort.Active()) SortRowsByValue();
}

void TGridInfo::Relayout() {
  for (int a = 0; a < 2; ++a) {
    FLines[a].clear();
    CollectLines(FTrees[a], FLines[a]);
    FCaptions[a].clear();
    const auto& axis = FAxes[a];
    std::vector<int> widths(axis.size(), 1);
    int deepest = -1;
    MeasureTree(FTrees[a], axis, widths, deepest);
    int column = 0;
    std::vector<int> firstColumn(axis.size(), 0);
    for (int i = 0; i <= deepest; ++i) {
      TDimensionState& s = DimensionState(axis[static_cast<std::size_t>(i)]);
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
  BuildDataColumns();
  ComputeValues();
}

void TGridInfo::BuildDataColumns() {
  FSubLevels.clear();
  FDataColumns.clear();
  FColumnsPerLine = 0;
  if (!IsActive()) return;
  const int functionCount = std::min(FFunctionDefs.Count(), kFunctionCount);
  auto functionsOf = [&](const TSummaryInfo& info) {
    return info.IsCalculated() ? 1 : functionCount;
  };
  // Defaults for coarser lowest levels.
  FDefaultFunction = 0;
  FDefaultSubFunction = 0;
  bool subFound = false;
  for (int s = 0; s < FSummarySettings.Count(); ++s) {
    const TSummaryInfo& info = FSummarySettings.Items(s);
    if (!info.Visible()) continue;
    bool functionFound = false;
    for (int f = 0; f < functionsOf(info); ++f) {
      if (!info.Function(f).Visible()) continue;
      if (!functionFound) FDefaultFunction = f;
      functionFound = true;
      for (int sf = 0; sf < kSubFunctionCount && !subFound; ++sf)
        if (info.Function(f).SubFunction(sf).Visible) {
          FDefaultSubFunction = sf;
          subFound = true;
        }
    }
  }
  std::vector<TLabelNode*> lines = FLines[1];
  if (lines.empty()) lines.push_back(nullptr);
  auto make = [&](TSubLevelNodes& list, TSubLevelNode* parent, TLabelNode* line,
                  TSubLevelNodeType type, int s) -> TSubLevelNode& {
    auto node = std::make_unique<TSubLevelNode>();
    node->Parent = parent;
    node->ColumnLine = line;
    node->Type = type;
    node->SummaryIndex = s;
    node->Summary = &FSummarySettings.Items(s);
    if (parent) {
      node->FunctionIndex = parent->FunctionIndex;
      node->SubFunctionIndex = parent->SubFunctionIndex;
    }
    list.push_back(std::move(node));
    if (type == FLowestSubLevel) FDataColumns.push_back(list.back().get());
    return *list.back();
  };
  for (TLabelNode* line : lines) {
    for (int s = 0; s < FSummarySettings.Count(); ++s) {
      TSummaryInfo& info = FSummarySettings.Items(s);
      if (!info.Visible()) continue;
      TSubLevelNode& sn = make(FSubLevels, nullptr, line, TSubLevelNodeType::ltSummary, s);
      if (FLowestSubLevel == TSubLevelNodeType::ltSummary) continue;
      for (int f = 0; f < functionsOf(info); ++f) {
        if (!info.Function(f).Visible()) continue;
        TSubLevelNode& fn = make(sn.Children, &sn, line, TSubLevelNodeType::ltFunction, s);
        fn.FunctionIndex = static_cast<std::uint8_t>(f);
        if (FLowestSubLevel == TSubLevelNodeType::ltFunction) continue;
        for (int sf = 0; sf < kSubFunctionCount; ++sf) {
          if (!info.Function(f).SubFunction(sf).Visible) continue;
          TSubLevelNode& sfn = make(fn.Children, &fn, line, TSubLevelNodeType::ltSubFunction, s);
          sfn.FunctionIndex = static_cast<std::uint8_t>(f);
          sfn.SubFunctionIndex = static_cast<std::uint8_t>(sf);
        }
      }
    }
  }
  FColumnsPerLine = static_cast<int>(FDataColumns.size() / lines.size());
}

TLabelNode* TGridInfo::FindLabelNode(const TLabelNodes& tree, int x, int y,
                                     TGridButton** button) const {
  if (button) *button = nullptr;
  return FindIn(tree, x, y, button);
}

const TCaptionNode* TGridInfo::FindCaptionNode(const std::vector<TCaptionNode>& nodes, int x,
                                               int y) const {
  for (const auto& c : nodes)
    if (c.Rect.Contains(x, y)) return &c;
  return nullptr;
}

TSubLevelNode* TGridInfo::FindSubLevelNode(const TSubLevelNodes& nodes, int x, int y) const {
  for (const auto& n : nodes) {
    if (n->Rect.Contains(x, y)) return n.get();
    if (TSubLevelNode* found = FindSubLevelNode(n->Children, x, y)) return found;
  }
  return nullptr;
}

}  // namespace qd
