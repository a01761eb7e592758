// The data columns of the grid model and the values of its cells: the
// sub-level nodes under every column line, the matrices of every visible
// summary, function and sub-function, the lookup of one cell, its text, and
// the comparable cells of the colour hint.
#include <algorithm>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
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

// The functions a summary's data columns can show: with a coarser lowest
// level the columns read the default function.
std::vector<int> ShownFunctions(const TSummaryInfo& info, TSubLevelNodeType lowest,
                                int defaultFunction, int functionCount) {
  std::vector<int> functions;
  if (lowest == TSubLevelNodeType::ltSummary) {
    functions.push_back(info.IsCalculated() ? 0 : defaultFunction);
  } else {
    for (int f = 0; f < (info.IsCalculated() ? 1 : functionCount); ++f)
      if (info.Function(f).Visible()) functions.push_back(f);
  }
  return functions;
}

std::vector<int> ShownSubFunctions(const TFunctionInfo& function, TSubLevelNodeType lowest,
                                   int defaultSubFunction) {
  if (lowest != TSubLevelNodeType::ltSubFunction) return {defaultSubFunction};
  std::vector<int> subFunctions;
  for (int sf = 0; sf < kSubFunctionCount; ++sf)
    if (function.SubFunction(sf).Visible) subFunctions.push_back(sf);
  return subFunctions;
}

}  // namespace

//! The keys and sibling groups of the lines, shared by every summary's values.
struct TGridInfo::TLineKeys {
  std::vector<TMemberKey> Rows, Columns;
  std::vector<int> RowGroups, ColumnGroups;
};

// ---- Data columns ----

void TGridInfo::FindDefaultSubLevels() {
  const int functionCount = std::min(FFunctionDefs.Count(), kFunctionCount);
  FDefaultFunction = 0;
  FDefaultSubFunction = 0;
  bool subFound = false;
  for (int s = 0; s < FSummarySettings.Count(); ++s) {
    const TSummaryInfo& info = FSummarySettings.Items(s);
    if (!info.Visible()) continue;
    bool functionFound = false;
    for (int f = 0; f < (info.IsCalculated() ? 1 : functionCount); ++f) {
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
}

void TGridInfo::BuildDataColumns() {
  FSubLevels.clear();
  FDataColumns.clear();
  FColumnsPerLine = 0;
  if (!IsActive()) return;
  const int functionCount = std::min(FFunctionDefs.Count(), kFunctionCount);
  FindDefaultSubLevels();
  std::vector<TLabelNode*> lines = FTrees.Lines(1);
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
      for (int f = 0; f < (info.IsCalculated() ? 1 : functionCount); ++f) {
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

// ---- Values ----

void TGridInfo::ComputeValues() {
  FSummaryArray.Clear();
  FColoredCells = {};
  FFormulaErrors.clear();
  if (!IsActive()) return;
  TLineKeys lines;
  const auto& rowLines = FTrees.Lines(0);
  const auto& columnLines = FTrees.Lines(1);
  for (int r = 0; r < RowLineCount(); ++r)
    lines.Rows.push_back(GetNodesKey(GetRowLine(r), nullptr));
  for (int c = 0; c < ColLineCount(); ++c)
    lines.Columns.push_back(GetNodesKey(
        nullptr, columnLines.empty() ? nullptr : columnLines[static_cast<std::size_t>(c)]));
  lines.RowGroups = SiblingGroups(rowLines);
  lines.ColumnGroups = SiblingGroups(columnLines);
  TGridFormulaContext context(*this);
  for (int s = 0; s < FSummarySettings.Count(); ++s)
    if (FSummarySettings.Items(s).Visible()) ComputeSummaryValues(s, lines, context);
}

void TGridInfo::ComputeSummaryValues(int s, const TLineKeys& lines,
                                     TGridFormulaContext& context) {
  TSummaryInfo& info = FSummarySettings.Items(s);
  TGridSummary& summary = FSummaryArray.Add(s);
  // A calculated summary is parsed once for the whole layout; one whose
  // formula does not parse has no values and one message, and the rest of the
  // layout goes on.
  std::shared_ptr<TFormulaParser> parser;
  bool broken = false;
  if (info.IsCalculated()) {
    try {
      parser = std::make_shared<TFormulaParser>(info.Formula(), context, s);
    } catch (const EParseError& e) {
      FFormulaErrors.push_back(
          Format(Msg(TMsg::SFormulaSummaryError), info.DisplayName, e.Position, e.what()));
      broken = true;
    }
    info.ParsedFormula = parser;
  }
  auto valueAt = [&](const TMemberKey& k, int f) -> TCellValue {
    if (broken) return {};
    if (!parser) return info.GetValue(k, f);
    const auto v = Evaluate(*parser, context, k);
    return v ? TCellValue{*v, true} : TCellValue{};
  };
  const int rows = static_cast<int>(lines.Rows.size());
  const int columns = static_cast<int>(lines.Columns.size());
  const int functionCount = std::min(FFunctionDefs.Count(), kFunctionCount);
  TMemberKey key;
  for (int f : ShownFunctions(info, FLowestSubLevel, FDefaultFunction, functionCount)) {
    auto base = std::make_unique<TFuncData>(columns, rows);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < columns; ++c) {
        Combine(lines.Rows[static_cast<std::size_t>(r)],
                lines.Columns[static_cast<std::size_t>(c)], key);
        base->At(c, r) = valueAt(key, f);
      }
    TGridFunction& function = summary.Functions.Add(f, std::move(base));
    TPercentTotals totals;
    for (int sf : ShownSubFunctions(info.Function(f), FLowestSubLevel, FDefaultSubFunction)) {
      if (sf == sfValue) {
        function.SubFunctions.Add(sf, nullptr);
        continue;
      }
      if (sf == sfPercentByRow && totals.Rows.empty())
        for (const TMemberKey& k : lines.Rows) totals.Rows.push_back(valueAt(k, f));
      if (sf == sfPercentByCol && totals.Columns.empty())
        for (const TMemberKey& k : lines.Columns) totals.Columns.push_back(valueAt(k, f));
      function.SubFunctions.Add(sf, ComputeSubFunction(sf, *function.Data, lines.ColumnGroups,
                                                       lines.RowGroups, totals));
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
    if (FTrees.Lines(1).empty()) return;
    const std::vector<int> groups = SiblingGroups(FTrees.Lines(1));
    const int g = groups[static_cast<std::size_t>(line)];
    if (g < 0) return;
    for (int c = 0; c < static_cast<int>(groups.size()); ++c)
      if (groups[static_cast<std::size_t>(c)] == g && matrix->At(c, row).HasValue)
        cells.push_back({c * n + entry, row});
  } else {
    // Down the column: the sibling row lines of the cell's row line.
    if (FTrees.Lines(0).empty()) return;
    const std::vector<int> groups = SiblingGroups(FTrees.Lines(0));
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
