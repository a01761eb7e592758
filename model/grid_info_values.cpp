// The values of the grid model's data cells: the matrices of every visible
// summary, function and sub-function, the lookup of one cell, its text, and the
// comparable cells of the colour hint.
#include <algorithm>

#include "model/calc_summary.h"
#include "model/format_mask.h"
#include "model/formula_parser.h"
#include "model/grid_info.h"

namespace qd {

namespace {

// The key of a row line combined with the key of a column line: their
// positions never overlap, the rest is Total.
void Combine(const TMemberKey& row, const TMemberKey& column, TMemberKey& out) {
  out = row;
  for (std::size_t p = 0; p < out.size() && p < column.size(); ++p)
    if (column[p] >= 0) out[p] = column[p];
}

}  // namespace

void TGridInfo::ComputeValues() {
  FSummaryArray.Clear();
  FColoredCells = {};
  if (!IsActive()) return;
  const int rows = RowLineCount(), columns = ColLineCount();
  std::vector<TMemberKey> rowKeys(static_cast<std::size_t>(rows)),
      columnKeys(static_cast<std::size_t>(columns));
  for (int r = 0; r < rows; ++r)
    rowKeys[static_cast<std::size_t>(r)] = GetNodesKey(GetRowLine(r), nullptr);
  for (int c = 0; c < columns; ++c)
    columnKeys[static_cast<std::size_t>(c)] =
        GetNodesKey(nullptr, FLines[1].empty() ? nullptr : FLines[1][static_cast<std::size_t>(c)]);
  const std::vector<int> rowGroups = SiblingGroups(FLines[0]);
  const std::vector<int> columnGroups = SiblingGroups(FLines[1]);
  const int functionCount = std::min(FFunctionDefs.Count(), kFunctionCount);
  TGridFormulaContext context(*this);
  TMemberKey key;

  for (int s = 0; s < FSummarySettings.Count(); ++s) {
    TSummaryInfo& info = FSummarySettings.Items(s);
    if (!info.Visible()) continue;
    TGridSummary& summary = FSummaryArray.Add(s);
    // A calculated summary is parsed once for the whole layout.
    std::shared_ptr<TFormulaParser> parser;
    if (info.IsCalculated()) {
      parser = std::make_shared<TFormulaParser>(info.Formula(), context, s);
      info.ParsedFormula = parser;
    }
    auto valueAt = [&](const TMemberKey& k, int f) -> TCellValue {
      if (!parser) return info.GetValue(k, f);
      const auto v = Evaluate(*parser, context, k);
      return v ? TCellValue{*v, true} : TCellValue{};
    };
    // The functions and sub-functions the data columns can show: with a
    // coarser lowest level the columns read the default function and
    // sub-function.
    std::vector<int> functions;
    if (FLowestSubLevel == TSubLevelNodeType::ltSummary) {
      functions.push_back(info.IsCalculated() ? 0 : FDefaultFunction);
    } else {
      for (int f = 0; f < (info.IsCalculated() ? 1 : functionCount); ++f)
        if (info.Function(f).Visible()) functions.push_back(f);
    }
    for (int f : functions) {
      auto base = std::make_unique<TFuncData>(columns, rows);
      for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
          Combine(rowKeys[static_cast<std::size_t>(r)], columnKeys[static_cast<std::size_t>(c)],
                  key);
          base->At(c, r) = valueAt(key, f);
        }
      TGridFunction& function = summary.Functions.Add(f, std::move(base));
      std::vector<int> subFunctions;
      if (FLowestSubLevel == TSubLevelNodeType::ltSubFunction) {
        for (int sf = 0; sf < kSubFunctionCount; ++sf)
          if (info.Function(f).SubFunction(sf).Visible) subFunctions.push_back(sf);
      } else {
        subFunctions.push_back(FDefaultSubFunction);
      }
      TPercentTotals totals;
      for (int sf : subFunctions) {
        if (sf == sfValue) {
          function.SubFunctions.Add(sf, nullptr);
          continue;
        }
        if (sf == sfPercentByRow && totals.Rows.empty())
          for (const TMemberKey& k : rowKeys) totals.Rows.push_back(valueAt(k, f));
        if (sf == sfPercentByCol && totals.Columns.empty())
          for (const TMemberKey& k : columnKeys) totals.Columns.push_back(valueAt(k, f));
        function.SubFunctions.Add(
            sf, ComputeSubFunction(sf, *function.Data, columnGroups, rowGroups, totals));
      }
    }
  }
}

TCellValue TGridInfo::GetCellValue(int row, int column) const {
  int s = 0, f = 0, sf = 0;
  if (!IsActive() || row < 0 || row >= RowLineCount() || !GetColumnSubLevel(column, s, f, sf) ||
      FColumnsPerLine <= 0)
    return {};
  if (s >= 0 && s < FSummarySettings.Count() && FSummarySettings.Items(s).IsCalculated()) f = 0;
  const TFuncData* matrix = FSummaryArray.Matrix(s, f, sf);
  if (!matrix) return {};
  return matrix->Get(column / FColumnsPerLine, row);
}

std::string TGridInfo::GetCellText(int row, int column) const {
  const TCellValue v = GetCellValue(row, column);
  if (!v.HasValue) return {};
  return FormatFloat(DescribeDataColumn(column).FormatString, v.Value);
}

TDataColumnInfo TGridInfo::DescribeDataColumn(int column) const {
  TDataColumnInfo out;
  int s = 0, f = 0, sf = 0;
  if (!GetColumnSubLevel(column, s, f, sf) || s < 0 || s >= FSummarySettings.Count()) return out;
  const TSummaryInfo& info = FSummarySettings.Items(s);
  if (info.IsCalculated()) f = 0;
  out.Summary = s;
  out.Function = f;
  out.SubFunction = sf;
  out.SummaryName = info.DisplayName;
  out.FunctionName =
      f < FFunctionDefs.Count() ? FFunctionDefs.Items(f).DisplayName : FunctionDisplayName(f);
  out.SubFunctionName = SubFunctionDisplayName(sf);
  out.FormatString = info.Function(f).SubFunction(sf).FormatString;
  return out;
}

void TGridInfo::BuildColoredCells(int row, int column) {
  FColoredCells = {};
  int s = 0, f = 0, sf = 0;
  if (!IsActive() || row < 0 || row >= RowLineCount() || !GetColumnSubLevel(column, s, f, sf) ||
      FColumnsPerLine <= 0)
    return;
  if (FSummarySettings.Items(s).IsCalculated()) f = 0;
  const TFuncData* matrix = FSummaryArray.Matrix(s, f, sf);
  if (!matrix) return;
  const int n = FColumnsPerLine, line = column / n, entry = column % n;
  std::vector<TColoredCell> cells;
  if (IsByRowSubFunction(sf)) {
    // Along the row: the sibling column lines of the cell's column line.
    if (FLines[1].empty()) return;
    const std::vector<int> groups = SiblingGroups(FLines[1]);
    const int g = groups[static_cast<std::size_t>(line)];
    if (g < 0) return;
    for (int c = 0; c < static_cast<int>(groups.size()); ++c)
      if (groups[static_cast<std::size_t>(c)] == g && matrix->At(c, row).HasValue)
        cells.push_back({c * n + entry, row});
  } else {
    // Down the column: the sibling row lines of the cell's row line.
    if (FLines[0].empty()) return;
    const std::vector<int> groups = SiblingGroups(FLines[0]);
    const int g = groups[static_cast<std::size_t>(row)];
    if (g < 0) return;
    for (int r = 0; r < static_cast<int>(groups.size()); ++r)
      if (groups[static_cast<std::size_t>(r)] == g && matrix->At(line, r).HasValue)
        cells.push_back({column, r});
  }
  if (cells.empty()) return;
  const TFuncData& m = *matrix;
  auto valueOf = [&](const TColoredCell& c) { return m.At(c.Column / n, c.Row).Value; };
  FColoredCells.Minimum = FColoredCells.Maximum = valueOf(cells.front());
  for (const TColoredCell& c : cells) {
    FColoredCells.Minimum = std::min(FColoredCells.Minimum, valueOf(c));
    FColoredCells.Maximum = std::max(FColoredCells.Maximum, valueOf(c));
  }
  FColoredCells.Cells = std::move(cells);
}

}  // namespace qd
