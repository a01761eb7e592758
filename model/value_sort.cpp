// The value sort of the row tree: finding the sorted data column by its
// column line's path, and ordering every sibling list of rows by the values of
// that column.
#include "model/value_sort.h"

#include <algorithm>
#include <functional>

#include "model/grid_info.h"
#include "model/member_order.h"

namespace qd {

namespace {

// A path without the header columns after its last node.
std::vector<int> Trimmed(std::vector<int> path) {
  while (!path.empty() && path.back() == kNoPathMember) path.pop_back();
  return path;
}

// Without a value first; equal values keep their order; descending reverses
// the whole comparison.
bool ValueBefore(const TCellValue& a, const TCellValue& b, bool descending) {
  int c = 0;
  if (a.HasValue != b.HasValue)
    c = a.HasValue ? 1 : -1;
  else if (a.HasValue && a.Value != b.Value)
    c = a.Value < b.Value ? -1 : 1;
  return descending ? c > 0 : c < 0;
}

}  // namespace

std::vector<int> TValueSorter::ColumnPath(const TLabelNode* columnLine) const {
  if (!columnLine) return {};
  std::vector<int> path(static_cast<std::size_t>(FGrid.ColHeaderHeight()), kNoPathMember);
  for (const TLabelNode* n = columnLine; n; n = n->Parent) {
    const auto column = static_cast<std::size_t>(std::max(0, n->HeaderColumn));
    if (column >= path.size()) path.resize(column + 1, kNoPathMember);
    path[column] = n->Member;
  }
  return path;
}

bool TValueSorter::MatchesColumn(const TLabelNode* columnLine) const {
  return Trimmed(ColumnPath(columnLine)) == Trimmed(FData.ColumnPath);
}

int TValueSorter::FindColumn() const {
  const std::vector<int> stored = Trimmed(FData.ColumnPath);
  const auto& columns = FGrid.DataColumns();
  for (std::size_t c = 0; c < columns.size(); ++c) {
    int s = 0, f = 0, sf = 0;
    if (!FGrid.GetColumnSubLevel(static_cast<int>(c), s, f, sf)) continue;
    if (s != FData.SummaryIndex || f != FData.Function || sf != FData.SubFunction) continue;
    if (Trimmed(ColumnPath(columns[c]->ColumnLine)) == stored) return static_cast<int>(c);
  }
  return -1;
}

std::optional<TValueSortData> TValueSorter::Toggled(int dataColumn) const {
  int s = 0, f = 0, sf = 0;
  if (!FGrid.GetColumnSubLevel(dataColumn, s, f, sf)) return std::nullopt;
  TValueSortData data;
  data.ColumnPath = ColumnPath(FGrid.GetColumnLine(dataColumn));
  data.SummaryIndex = s;
  data.Function = static_cast<std::uint8_t>(f);
  data.SubFunction = static_cast<std::uint8_t>(sf);
  data.State = 0;
  if (FData.SummaryIndex == s && FData.Function == f && FData.SubFunction == sf &&
      Trimmed(FData.ColumnPath) == Trimmed(data.ColumnPath))
    data.State = static_cast<std::uint8_t>((FData.State + 1) % 3);
  return data;
}

void TValueSorter::SortRows(TLabelNodes& rows) const {
  const int column = FindColumn();
  if (column < 0) return;
  TLabelNode* columnLine = FGrid.GetColumnLine(column);
  int summary = 0, function = 0, subFunction = 0;
  FGrid.GetColumnSubLevel(column, summary, function, subFunction);
  auto valueOf = [&](const TLabelNode& n) -> TCellValue {
    const TLabelNode* line = &n;
    if (!n.Children.empty()) {
      // An expanded node reads its value from its Total child.
      const bool first = n.Children.front()->State->TotalAppearance == TTotalAppearance::taFirst;
      line = first ? n.Children.front().get() : n.Children.back().get();
      if (!line->IsTotal()) {
        // No Total child (totals are invisible): the node's own aggregate.
        return FGrid.SummarySettings().Items(summary).GetValue(FGrid.GetNodesKey(&n, columnLine),
                                                               function);
      }
    }
    if (line->LineIndex < 0) return {};
    return FGrid.GetCellValue(line->LineIndex, column);
  };
  const bool descending = FData.State == 1;
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
      return ValueBefore(values[a], values[b], descending);
    });
    TLabelNodes sorted;
    sorted.reserve(list.size());
    for (std::size_t i : order) sorted.push_back(std::move(list[i]));
    list = std::move(sorted);
  };
  sortList(rows);
}

}  // namespace qd
