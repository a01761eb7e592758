#include "model/cell_values.h"

#include <algorithm>
#include <unordered_map>

#include "model/label_node.h"

namespace qd {

namespace {

// The lines of each sibling group, in line order.
std::vector<std::vector<int>> GroupMembers(const std::vector<int>& groups) {
  std::vector<std::vector<int>> out;
  for (std::size_t i = 0; i < groups.size(); ++i) {
    const int g = groups[i];
    if (g < 0) continue;
    if (static_cast<std::size_t>(g) >= out.size()) out.resize(static_cast<std::size_t>(g) + 1);
    out[static_cast<std::size_t>(g)].push_back(static_cast<int>(i));
  }
  return out;
}

// Walks the sibling groups along one direction of the matrix: `byRow` walks
// the column lines of every row, otherwise the row lines of every column.
// `cell(line, other)` maps a line and the fixed index to (column, row).
struct TLineWalk {
  const TFuncData& V;
  bool ByRow;
  int Others() const { return ByRow ? V.Rows() : V.Columns(); }
  const TCellValue& Get(int line, int other) const {
    return ByRow ? V.At(line, other) : V.At(other, line);
  }
  TCellValue& Out(TFuncData& out, int line, int other) const {
    return ByRow ? out.At(line, other) : out.At(other, line);
  }
};

void Ranks(const TLineWalk& w, const std::vector<std::vector<int>>& groups, TFuncData& out) {
  std::vector<double> sorted;
  for (int o = 0; o < w.Others(); ++o)
    for (const auto& lines : groups) {
      sorted.clear();
      for (int l : lines)
        if (w.Get(l, o).HasValue) sorted.push_back(w.Get(l, o).Value);
      std::sort(sorted.begin(), sorted.end());
      for (int l : lines) {
        const TCellValue& v = w.Get(l, o);
        if (!v.HasValue) continue;
        // Equal values share a rank: 1 + the number of strictly greater ones.
        const auto greater = sorted.end() - std::upper_bound(sorted.begin(), sorted.end(), v.Value);
        w.Out(out, l, o) = {1 + static_cast<double>(greater), true};
      }
    }
}

void CompareWithPrevious(const TLineWalk& w, const std::vector<std::vector<int>>& groups,
                         TFuncData& out) {
  for (int o = 0; o < w.Others(); ++o)
    for (const auto& lines : groups)
      for (std::size_t i = 1; i < lines.size(); ++i) {
        const TCellValue& v = w.Get(lines[i], o);
        const TCellValue& prev = w.Get(lines[i - 1], o);
        if (v.HasValue && prev.HasValue) w.Out(out, lines[i], o) = {v.Value - prev.Value, true};
      }
}

void RunningSums(const TLineWalk& w, const std::vector<std::vector<int>>& groups, TFuncData& out) {
  for (int o = 0; o < w.Others(); ++o)
    for (const auto& lines : groups) {
      TCellValue sum;
      for (int l : lines) {
        const TCellValue& v = w.Get(l, o);
        if (v.HasValue) sum = {sum.Value + v.Value, true};
        w.Out(out, l, o) = sum;
      }
    }
}

TCellValue Percent(const TCellValue& v, const TCellValue& total) {
  if (!v.HasValue) return {};
  if (!total.HasValue || total.Value == 0) return {0, true};
  return {v.Value * 100 / total.Value, true};
}

}  // namespace

TFuncData::TFuncData(int columns, int rows)
    : FColumns(std::max(1, columns)),
      FRows(std::max(1, rows)),
      FCells(static_cast<std::size_t>(FColumns) * static_cast<std::size_t>(FRows)) {}

TCellValue TFuncData::Get(int column, int row) const {
  if (column < 0 || row < 0 || column >= FColumns || row >= FRows) return {};
  return At(column, row);
}

TGridSubFunction& TGridSubFunctionArray::Add(int subFunction, std::unique_ptr<TFuncData> data) {
  FItems.push_back({subFunction, std::move(data)});
  return FItems.back();
}

const TGridSubFunction* TGridSubFunctionArray::Find(int subFunction) const {
  for (const auto& s : FItems)
    if (s.SubFunction == subFunction) return &s;
  return nullptr;
}

TGridFunction& TGridFunctionArray::Add(int function, std::unique_ptr<TFuncData> data) {
  auto f = std::make_unique<TGridFunction>();
  f->Function = function;
  f->Data = std::move(data);
  FItems.push_back(std::move(f));
  return *FItems.back();
}

const TGridFunction* TGridFunctionArray::Find(int function) const {
  for (const auto& f : FItems)
    if (f->Function == function) return f.get();
  return nullptr;
}

TGridSummary& TGridSummaryArray::Add(int summary) {
  auto s = std::make_unique<TGridSummary>();
  s->Summary = summary;
  FItems.push_back(std::move(s));
  return *FItems.back();
}

const TGridSummary* TGridSummaryArray::Find(int summary) const {
  for (const auto& s : FItems)
    if (s->Summary == summary) return s.get();
  return nullptr;
}

const TFuncData* TGridSummaryArray::Matrix(int summary, int function, int subFunction) const {
  const TGridSummary* s = Find(summary);
  const TGridFunction* f = s ? s->Functions.Find(function) : nullptr;
  if (!f) return nullptr;
  if (subFunction == sfValue) return f->Data.get();
  const TGridSubFunction* sf = f->SubFunctions.Find(subFunction);
  return sf ? sf->Data.get() : nullptr;
}

bool TColoredCells::Contains(int column, int row) const {
  return std::any_of(Cells.begin(), Cells.end(),
                     [&](const TColoredCell& c) { return c.Column == column && c.Row == row; });
}

std::vector<int> SiblingGroups(const std::vector<TLabelNode*>& lines) {
  if (lines.empty()) return {0};
  std::vector<int> groups(lines.size(), -1);
  std::unordered_map<const TLabelNode*, int> ids;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const TLabelNode* line = lines[i];
    if (!line) continue;
    // A Total line stands for the member it totals.
    const TLabelNode* member = line->IsTotal() ? line->Parent : line;
    if (!member) continue;
    const auto [it, added] = ids.try_emplace(member->Parent, static_cast<int>(ids.size()));
    groups[i] = it->second;
  }
  return groups;
}

std::unique_ptr<TFuncData> ComputeSubFunction(int subFunction, const TFuncData& v,
                                              const std::vector<int>& columnGroups,
                                              const std::vector<int>& rowGroups,
                                              const TPercentTotals& totals) {
  auto out = std::make_unique<TFuncData>(v.Columns(), v.Rows());
  const bool byRow = IsByRowSubFunction(subFunction);
  const TLineWalk walk{v, byRow};
  const auto groups = GroupMembers(byRow ? columnGroups : rowGroups);
  switch (subFunction) {
    case sfRankByRow:
    case sfRankByCol:
      Ranks(walk, groups, *out);
      break;
    case sfPercentByRow:
    case sfPercentByCol:
      for (int r = 0; r < v.Rows(); ++r)
        for (int c = 0; c < v.Columns(); ++c) {
          const auto& list = byRow ? totals.Rows : totals.Columns;
          const std::size_t at = static_cast<std::size_t>(byRow ? r : c);
          out->At(c, r) = Percent(v.At(c, r), at < list.size() ? list[at] : TCellValue{});
        }
      break;
    case sfCompareWithPrevByRow:
    case sfCompareWithPrevByCol:
      CompareWithPrevious(walk, groups, *out);
      break;
    case sfCumulativeSumByRow:
    case sfCumulativeSumByCol:
      RunningSums(walk, groups, *out);
      break;
    default:
      break;
  }
  return out;
}

}  // namespace qd
