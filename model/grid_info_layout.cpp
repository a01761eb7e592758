// The grid model's layout: the label trees' changes bracketed by updates,
// their order and lines, and the reads of nodes, lines, columns and keys.
#include <algorithm>

#include "engine/core/messages.h"
#include "model/grid_info.h"

namespace qd {

// ---- Label trees ----

void TGridInfo::BuildTrees(bool keepExpansion) {
  FTrees.Build(keepExpansion);
  SortTrees();
  Relayout();
}

void TGridInfo::SortTrees() {
  for (int a = 0; a < 2; ++a)
    for (int d : FAxes[a]) DimensionState(d).SortMembers(OnCompareDimensionMembers);
  FTrees.SortSiblings();
  if (FValueSort.Data().Active()) {
    // Every row line learns its line index and value first.
    Relayout();
    FValueSort.SortRows(FTrees.Tree(0));
  }
}

void TGridInfo::Relayout() {
  FTrees.Layout();
  BuildDataColumns();
  ComputeValues();
}

void TGridInfo::ExpandNode(TLabelNode& node, int axis, bool intoHierarchy) {
  if (!TLabelTrees::CanExpand(node, intoHierarchy)) return;
  BeginUpdate();
  FTrees.Expand(node, axis, intoHierarchy);
  EndUpdate(TChangeKind::ckLabels);
  if (OnExpandDimValue) OnExpandDimValue(FOwner, node.DimIndex, node.Member, true);
}

void TGridInfo::CollapseNode(TLabelNode& node, int axis) {
  if (!node.IsExpanded() || !node.HasButton()) return;
  BeginUpdate();
  FTrees.Collapse(node, axis);
  EndUpdate(TChangeKind::ckLabels);
  if (OnExpandDimValue) OnExpandDimValue(FOwner, node.DimIndex, node.Member, false);
}

void TGridInfo::ExpandAll(TDimensionState& state) {
  const int axis = static_cast<int>(state.Group);
  if (axis > 1) return;
  if (FTrees.NextDimOnAxis(axis, state.DimIndex()) < 0 && state.LevelCount() <= 1) return;
  BeginUpdate();
  FTrees.ExpandAll(state);
  EndUpdate(TChangeKind::ckDimExpansion);
}

void TGridInfo::CollapseAll(TDimensionState& state) {
  if (static_cast<int>(state.Group) > 1) return;
  BeginUpdate();
  FTrees.CollapseAll(state);
  EndUpdate(TChangeKind::ckDimExpansion);
}

void TGridInfo::SetValueSort(const TValueSortData& data) {
  BeginUpdate();
  FValueSort.SetData(data);
  EndUpdate(TChangeKind::ckRowOrder);
}

void TGridInfo::ToggleValueSort(int dataColumn) {
  if (const auto data = FValueSort.Toggled(dataColumn)) SetValueSort(*data);
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

// ---- Reads ----

std::string TGridInfo::GetNodeCaption(const TLabelNode& node) const {
  if (node.IsTotal() || !node.State) return Msg(TMsg::SGridTotalCaption);
  return node.State->Node(node.Member).Caption;
}

bool TGridInfo::IsInGroup(const TLabelNode& node) const {
  return !node.IsTotal() && node.State && node.State->IsInGroup(node.Member);
}

bool TGridInfo::GetAttributeValues(const TLabelNode& node, std::vector<std::string>& names,
                                   std::vector<std::string>& values) const {
  names.clear();
  values.clear();
  if (node.IsTotal() || !node.State || !node.State->Dimension()) return false;
  const TDimension& d = *node.State->Dimension();
  if (d.Attributes.Count() < 2) return false;
  const int member = node.State->CubeMember(node.Member);
  for (int a = 0; a < d.Attributes.Count(); ++a) {
    names.push_back(d.Attributes.Name(a));
    const auto& v = d.Attributes.Values(a);
    if (member >= 0 && static_cast<std::size_t>(member) < v.size())
      values.push_back(v[static_cast<std::size_t>(member)]);
    else
      values.push_back(Msg(TMsg::SGridUnknownAttributeValue));
  }
  return true;
}

TLabelNode* TGridInfo::GetRowLine(int row) const {
  const auto& lines = FTrees.Lines(0);
  if (row < 0 || static_cast<std::size_t>(row) >= lines.size()) return nullptr;
  return lines[static_cast<std::size_t>(row)];
}

TLabelNode* TGridInfo::GetColumnLine(int column) const {
  if (column < 0 || static_cast<std::size_t>(column) >= FDataColumns.size()) return nullptr;
  return FDataColumns[static_cast<std::size_t>(column)]->ColumnLine;
}

bool TGridInfo::GetColumnSubLevel(int column, int& summary, int& function, int& subFunction) const {
  if (column < 0 || static_cast<std::size_t>(column) >= FDataColumns.size()) return false;
  const TSubLevelNode& n = *FDataColumns[static_cast<std::size_t>(column)];
  summary = n.SummaryIndex;
  function = n.Type == TSubLevelNodeType::ltSummary ? FDefaultFunction : n.FunctionIndex;
  subFunction =
      n.Type == TSubLevelNodeType::ltSubFunction ? n.SubFunctionIndex : FDefaultSubFunction;
  return true;
}

TMemberKey TGridInfo::GetNodesKey(const TLabelNode* rowNode, const TLabelNode* columnNode) const {
  if (!IsActive()) return {};
  TMemberKey key(static_cast<std::size_t>(FAggregation.ActiveCount()), -1);
  FTrees.FillKey(rowNode, key);
  FTrees.FillKey(columnNode, key);
  return key;
}

TMemberKey TGridInfo::GetCellKey(int row, int column) const {
  return GetNodesKey(GetRowLine(row), GetColumnLine(column));
}

}  // namespace qd
