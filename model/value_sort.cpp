// The value sort of the row tree: finding the sorted data column by its
// column line's path, and ordering every sibling list of rows by the values of
// that column.
#include <algorithm>

#include "model/grid_info.h"
#include "model/member_order.h"

namespace qd {

namespace {

// A path without the header columns after its last node.
std::vector<int> Trimmed(std::vector<int> path) {
  while (!path.empty() && path.back() == kNoPathMember) path.pop_back();
  return path;
}

}  // namespace

std::vector<int> TGridInfo::ColumnPath(const TLabelNode* columnLine) const {
  if (!columnLine) return {};
  std::vector<int> path(static_cast<std::size_t>(ColHeaderHeight()), kNoPathMember);
  for (const TLabelNode* n = columnLine; n; n = n->Parent) {
    const auto column = static_cast<std::size_t>(std::max(0, n->HeaderColumn));
    if (column >= path.size()) path.resize(column + 1, kNoPathMember);
    path[column] = n->Member;
  }
  return path;
}

void TGridInfo::SetValueSortColumn(const TLabelNode* columnLine) {
  FValueSort.ColumnPath = ColumnPath(columnLine);
}

bool TGridInfo::MatchesValueSortColumn(const TLabelNode* columnLine) const {
  return Trimmed(ColumnPath(columnLine)) == Trimmed(FValueSort.ColumnPath);
}

int TGridInfo::FindValueSortColumn() const {
  const std::vector<int> stored = Trimmed(FValueSort.ColumnPath);
  for (std::size_t c = 0; c < FDataColumns.size(); ++c) {
    int s = 0, f = 0, sf = 0;
    if (!GetColumnSubLevel(static_cast<int>(c), s, f, sf)) continue;
    if (s != FValueSort.SummaryIndex || f != FValueSort.Function || sf != FValueSort.SubFunction)
      continue;
    if (Trimmed(ColumnPath(FDataColumns[c]->ColumnLine)) == stored) return static_cast<int>(c);
  }
  return -1;
}

void TGridInfo::SetValueSort(const TValueSortData& data) {
  BeginUpdate();
  FValueSort = data;
  EndUpdate(TChangeKind::ckRowOrder);
}

void TGridInfo::ToggleValueSort(int dataColumn) {
  int s = 0, f = 0, sf = 0;
  if (!GetColumnSubLevel(dataColumn, s, f, sf)) return;
  TValueSortData data;
  data.ColumnPath = ColumnPath(GetColumnLine(dataColumn));
  data.SummaryIndex = s;
  data.Function = static_cast<std::uint8_t>(f);
  data.SubFunction = static_cast<std::uint8_t>(sf);
  data.State = 0;
  const TValueSortData& old = FValueSort;
  if (old.SummaryIndex == s && old.Function == f && old.SubFunction == sf &&
      Trimmed(old.ColumnPath) == Trimmed(data.ColumnPath))
    data.State = static_cast<std::uint8_t>((old.State + 1) % 3);
  SetValueSort(data);
}

void TGridInfo::SortRowsByValue() {
  // Every row line learns its line index; the sibling lists are then ordered
  // by the values of those lines.
  Relayout();
  const int column = FindValueSortColumn();
  if (column < 0) return;
  TLabelNode* columnLine = GetColumnLine(column);
  int summary = 0, function = 0, subFunction = 0;
  GetColumnSubLevel(column, summary, function, subFunction);
  auto valueOf = [&](const TLabelNode& n) -> TCellValue {
    const TLabelNode* line = &n;
    if (!n.Children.empty()) {
      // An expanded node reads its value from its Total child.
      const bool first = n.Children.front()->State->TotalAppearance == TTotalAppearance::taFirst;
      line = first ? n.Children.front().get() : n.Children.back().get();
      if (!line->IsTotal()) {
        // No Total child (totals are invisible): the node's own aggregate.
        return FSummarySettings.Items(summary).GetValue(GetNodesKey(&n, columnLine), function);
      }
    }
    if (line->LineIndex < 0) return {};
    return GetCellValue(line->LineIndex, column);
  };
  const bool descending = FValueSort.State == 1;
  std::function<void(TLabelNodes&)> sortList = [&](TLabelNodes& list) {
    for (auto& n : list) sortList(n->Children);  // children before parents
    if (list.size() < 2) return;
    std::vector<TCellValue> values;
    for (auto& n : list) values.push_back(n->IsTotal() ? TCellValue{} : valueOf(*n));
    std::vector<std::size_t> order(list.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    const bool totalFirst = list.front()->State->TotalAppearance == TTotalAppearance::taFirst;
    StableSortBy(order, [&](std::size_t a, std::size_t b) {
      const bool ta = list[a]->IsTotal(), tb = list[b]->IsTotal();
      if (ta || tb) return ta != tb && (totalFirst ? ta : tb);
      const TCellValue& va = values[a];
      const TCellValue& vb = values[b];
      // Without a value first; descending reverses the whole comparison.
      int c = 0;
      if (va.HasValue != vb.HasValue)
        c = va.HasValue ? 1 : -1;
      else if (va.HasValue && va.Value != vb.Value)
        c = va.Value < vb.Value ? -1 : 1;
      return descending ? c > 0 : c < 0;
    });
    TLabelNodes sorted;
    sorted.reserve(list.size());
    for (std::size_t i : order) sorted.push_back(std::move(list[i]));
    list = std::move(sorted);
  };
  sortList(FTrees[0]);
}

}  // namespace qd
