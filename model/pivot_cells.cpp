#include "model/pivot_cells.h"

#include "model/cell_values.h"
#include "model/function_defs.h"
#include "model/summary_settings.h"

namespace qd {

std::string PathText(const TGridInfo& grid, const TLabelNode* node) {
  std::string path;
  for (const TLabelNode* n = node; n; n = n->Parent)
    path = grid.GetNodeCaption(*n) + (path.empty() ? "" : " | " + path);
  return path;
}

std::vector<std::string> ColumnNames(TGridInfo& grid, int column) {
  int s = 0, f = 0, sf = 0;
  grid.GetColumnSubLevel(column, s, f, sf);
  const TFunctionDefs& defs = grid.FunctionDefs();
  return {grid.SummarySettings().Items(s).DisplayName,
          f < defs.Count() ? defs.Items(f).DisplayName : FunctionDisplayName(f),
          SubFunctionDisplayName(sf)};
}

std::vector<TCellValue> CellValues(TGridInfo& grid) {
  const int rows = grid.RowLineCount(), columns = static_cast<int>(grid.DataColumns().size());
  std::vector<TCellValue> values;
  values.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) values.push_back(grid.GetCellValue(r, c));
  return values;
}

void ForEachCellKey(TGridInfo& grid,
                    const std::function<void(std::size_t, const std::string&)>& visit) {
  const int rows = grid.RowLineCount(), columns = static_cast<int>(grid.DataColumns().size());
  std::vector<std::string> heads;
  for (int c = 0; c < columns; ++c) {
    std::string head = PathText(grid, grid.GetColumnLine(c));
    for (const std::string& name : ColumnNames(grid, c)) head += '\t' + name;
    heads.push_back(std::move(head));
  }
  std::size_t i = 0;
  std::string key;
  for (int r = 0; r < rows; ++r) {
    const std::string rowPath = PathText(grid, grid.GetRowLine(r)) + '\t';
    for (const std::string& head : heads) {
      key.assign(rowPath).append(head);
      visit(i++, key);
    }
  }
}

std::vector<std::string> CellKeys(TGridInfo& grid) {
  std::vector<std::string> keys;
  keys.reserve(static_cast<std::size_t>(grid.RowLineCount()) * grid.DataColumns().size());
  ForEachCellKey(grid, [&keys](std::size_t, const std::string& key) { keys.push_back(key); });
  return keys;
}

}  // namespace qd
