#include "model/cell_evidence.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "model/cell_facts.h"
#include "model/cell_values.h"
#include "model/grid_cube.h"
#include "model/grid_info.h"
#include "model/label_node.h"

namespace qd {
namespace {

// The line before `line` among its siblings, or -1.
int PreviousSibling(const std::vector<TLabelNode*>& lines, int line) {
  const std::vector<int> groups = SiblingGroups(lines);
  if (line < 0 || static_cast<std::size_t>(line) >= groups.size() || groups[line] < 0) return -1;
  for (int l = line - 1; l >= 0; --l)
    if (groups[static_cast<std::size_t>(l)] == groups[static_cast<std::size_t>(line)]) return l;
  return -1;
}

// The previous cell a compare-with-previous cell is measured against.
bool PreviousCell(TGridInfo& grid, int row, int column, bool byRow, int& prevRow, int& prevColumn) {
  prevRow = row;
  prevColumn = column;
  const int perLine = grid.DataColumnsPerLine();
  if (perLine <= 0) return false;
  std::vector<TLabelNode*> lines;
  if (byRow) {
    for (int l = 0; l < grid.ColLineCount(); ++l) lines.push_back(grid.GetColumnLine(l * perLine));
    const int prev = PreviousSibling(lines, column / perLine);
    prevColumn = prev * perLine + column % perLine;
    return prev >= 0;
  }
  for (int r = 0; r < grid.RowLineCount(); ++r) lines.push_back(grid.GetRowLine(r));
  prevRow = PreviousSibling(lines, row);
  return prevRow >= 0;
}

// Whether the aggregation counts a record at all: on the row and column axes
// its members must be visible leaves (a fact booked on a parent member is in
// no cell's value, though the cell's details list it).
bool Aggregated(TGridInfo& grid, const TFactTable& facts, std::int32_t r) {
  for (int d : grid.Aggregation().ActiveDims()) {
    const TDimensionState& s = grid.DimensionState(d);
    const int node = s.NodeOfMember(facts.Member(r, d));
    if (node < 0 || s.HasChildren(node) || !s.IsNodeVisible(node)) return false;
  }
  return true;
}

// Each member's value (sum or count) over the records the cell's value holds;
// a weighted record counts the facts it stands for.
void AddUp(TGridInfo& grid, const TFactTable& facts, const std::vector<std::int32_t>& records,
           int dim, int summary, bool count, double sign, std::map<int, double>& out) {
  const TFactWeights* weights = facts.Weights();
  for (std::int32_t r : records) {
    if (!Aggregated(grid, facts, r)) continue;
    const double value = !count ? facts.Value(r, summary) : weights ? weights->Count(r) : 1.0;
    out[facts.Member(r, dim)] += sign * value;
  }
}

std::string Caption(const TDimensionState& state, int member) {
  const int node = state.NodeOfMember(member);
  if (node >= 0) return state.Node(node).Caption;
  return state.Dimension() ? state.Dimension()->Caption(member) : std::string();
}

}  // namespace

int MinimumFacts(TFunction function) {
  switch (function) {
    case TFunction::stVariance:
    case TFunction::stStdDev:
    case TFunction::stMeanAbsDev:
    case TFunction::stMedian:
      return 2;
    case TFunction::stSkewness:
      return 3;
    case TFunction::stKurtosis:
      return 4;
    default:
      return 1;
  }
}

std::optional<std::int64_t> CellFactCount(TGridInfo& grid, int row, int column) {
  int s = 0, f = 0, sf = 0;
  if (!grid.IsActive() || row < 0 || row >= grid.RowLineCount() ||
      !grid.GetColumnSubLevel(column, s, f, sf) || s < 0 || s >= grid.SummarySettings().Count())
    return std::nullopt;
  TSummaryInfo& summary = grid.SummarySettings().Items(s);
  if (summary.IsCalculated()) return std::nullopt;
  const TCellValue n = summary.GetValue(grid.GetCellKey(row, column),
                                        static_cast<int>(TFunction::stCount));
  return n.HasValue ? static_cast<std::int64_t>(n.Value) : 0;
}

std::optional<std::int64_t> CellLowCount(TGridInfo& grid, int row, int column) {
  int s = 0, f = 0, sf = 0;
  if (!grid.GetColumnSubLevel(column, s, f, sf) || sf != sfValue || f < 0 || f >= kFunctionCount)
    return std::nullopt;
  const int needed = MinimumFacts(static_cast<TFunction>(f));
  if (needed <= 1) return std::nullopt;
  const std::optional<std::int64_t> n = CellFactCount(grid, row, column);
  if (!n || *n <= 0 || *n >= needed) return std::nullopt;
  return n;
}

namespace {

// The previous cell of an explainable cell; false for any other cell.
bool ExplainableCell(TGridInfo& grid, int row, int column, int& prevRow, int& prevColumn) {
  int s = 0, f = 0, sf = 0;
  if (!grid.IsActive() || row < 0 || row >= grid.RowLineCount() ||
      !grid.GetColumnSubLevel(column, s, f, sf) || s < 0 || s >= grid.SummarySettings().Count())
    return false;
  const TFactTable* facts = grid.Cube() ? grid.Cube()->FactTable() : nullptr;
  const bool count = f == static_cast<int>(TFunction::stCount);
  if (!facts || (sf != sfCompareWithPrevByRow && sf != sfCompareWithPrevByCol) ||
      (f != static_cast<int>(TFunction::stSum) && !count) ||
      grid.SummarySettings().Items(s).IsCalculated() || !grid.SummarySettings().Items(s).State)
    return false;
  return PreviousCell(grid, row, column, sf == sfCompareWithPrevByRow, prevRow, prevColumn);
}

}  // namespace

bool CanExplainChange(TGridInfo& grid, int row, int column) {
  int prevRow = 0, prevColumn = 0;
  return ExplainableCell(grid, row, column, prevRow, prevColumn);
}

std::optional<TChangeExplanation> ExplainChange(TGridInfo& grid, int row, int column, int dim) {
  TChangeExplanation out;
  if (dim < 0 || dim >= grid.DimensionStateCount() ||
      !ExplainableCell(grid, row, column, out.PreviousRow, out.PreviousColumn))
    return std::nullopt;
  int s = 0, f = 0, sf = 0;
  grid.GetColumnSubLevel(column, s, f, sf);
  const TFactTable* facts = grid.Cube()->FactTable();
  const bool count = f == static_cast<int>(TFunction::stCount);
  const TCellFacts cells(grid);
  const int summary = grid.SummarySettings().Items(s).State->Index();
  std::map<int, double> change;
  AddUp(grid, *facts, cells.Records(row, column), dim, summary, count, 1, change);
  AddUp(grid, *facts, cells.Records(out.PreviousRow, out.PreviousColumn), dim, summary, count, -1,
        change);
  for (const auto& [member, value] : change) out.Delta += value;
  for (const auto& [member, value] : change)
    out.Items.push_back({member, Caption(grid.DimensionState(dim), member), value,
                         out.Delta != 0 ? value / out.Delta : 0});
  std::stable_sort(out.Items.begin(), out.Items.end(), [](const auto& a, const auto& b) {
    return std::fabs(a.Change) > std::fabs(b.Change);
  });
  return out;
}

}  // namespace qd
