#include "model/grid_dump.h"

#include <vector>

#include "engine/core/text_helpers.h"
#include "model/grid_info.h"

namespace qd {

namespace {

std::string DimNames(const TGridInfo& grid, TDimGroup group) {
  std::string out;
  for (int d : grid.AxisDims(group)) {
    if (!out.empty()) out += ", ";
    out += grid.DimensionState(d).DisplayName;
  }
  return out;
}

std::string Row(const std::string& label, const std::vector<std::string>& cells) {
  std::string out = label;
  for (const auto& c : cells) out += " | " + c;
  // Trailing blanks of empty cells are trimmed so that golden files stay clean.
  out.resize(TrimRight(out, " ").size());
  return out + "\n";
}

}  // namespace

std::string LabelPath(const TGridInfo& grid, const TLabelNode* node) {
  std::string path;
  for (const TLabelNode* n = node; n; n = n->Parent)
    path = grid.GetNodeCaption(*n) + (path.empty() ? "" : " / " + path);
  return path;
}

std::string DumpGrid(TGridInfo& grid) {
  std::string out;
  out += "rows: " + DimNames(grid, TDimGroup::dgRow) + "\n";
  out += "columns: " + DimNames(grid, TDimGroup::dgCol) + "\n";
  out += "pages: " + DimNames(grid, TDimGroup::dgPage) + "\n";
  if (!grid.IsActive()) return out + "(inactive)\n";

  const auto& columns = grid.DataColumns();
  const int lowest = static_cast<int>(grid.LowestSubLevelNode());
  std::vector<std::string> paths, summaries, functions, subFunctions;
  for (const TSubLevelNode* c : columns) {
    paths.push_back(LabelPath(grid, c->ColumnLine));
    summaries.push_back(c->Summary->DisplayName);
    int s = 0, f = 0, sf = 0;
    grid.GetColumnSubLevel(static_cast<int>(functions.size()), s, f, sf);
    functions.push_back(grid.FunctionDefs().Count() > f ? grid.FunctionDefs().Items(f).DisplayName
                                                        : FunctionDisplayName(f));
    subFunctions.push_back(SubFunctionDisplayName(sf));
  }
  if (!grid.ColDims().empty()) out += Row("", paths);
  out += Row("", summaries);
  if (lowest >= 1) out += Row("", functions);
  if (lowest >= 2) out += Row("", subFunctions);

  for (int r = 0; r < grid.RowLineCount(); ++r) {
    std::vector<std::string> cells;
    for (int c = 0; c < static_cast<int>(columns.size()); ++c)
      cells.push_back(grid.GetCellText(r, c));
    const TLabelNode* line = grid.GetRowLine(r);
    out += Row(line ? LabelPath(grid, line) : "*", cells);
  }
  return out;
}

}  // namespace qd
