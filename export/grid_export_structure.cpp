#include "export/grid_export_structure.h"

#include "engine/core/format.h"
#include "model/cell_evidence.h"
#include "model/format_mask.h"
#include "model/grid_info.h"

namespace qd {

TGridExportStructure::TGridExportStructure(int colCount, int rowCount, int fixedCols, int fixedRows)
    : ColCount(colCount),
      RowCount(rowCount),
      FixedCols(fixedCols),
      FixedRows(fixedRows),
      Cells(static_cast<std::size_t>(colCount) * static_cast<std::size_t>(rowCount)) {}

namespace {

void PlaceDataCells(TGridInfo& grid, const TGridLayout& layout, TGridExportStructure& s) {
  for (int j = 0; j < layout.DataColCount(); ++j) {
    std::string format;
    TAlignment alignment = TAlignment::taRightJustify;
    int summary = 0, function = 0, subFunction = 0;
    if (grid.GetColumnSubLevel(j, summary, function, subFunction)) {
      const TSubFunctionInfo& info =
          grid.SummarySettings().Items(summary).Function(function).SubFunction(subFunction);
      format = info.FormatString.substr(0, kExportFormatLength);
      alignment = info.Alignment;
    }
    for (int i = 0; i < layout.DataRowCount(); ++i) {
      TGridExportCell& cell = s.Cell(layout.GridCol(j), layout.GridRow(i));
      const TCellValue value = grid.GetCellValue(i, j);
      cell.Kind = TExportCellKind::ekData;
      cell.ColSpan = cell.RowSpan = 1;
      cell.Value = value.HasValue ? value.Value : 0;
      cell.Empty = !value.HasValue;
      cell.FormatString = format;
      cell.Alignment = alignment;
      if (value.HasValue) cell.LowCount = CellLowCount(grid, i, j).value_or(0);
    }
  }
}

}  // namespace

std::unique_ptr<TGridExportStructure> BuildGridExportStructure(TGridInfo& grid) {
  const TGridLayout layout(grid);
  if (!layout.Valid()) return nullptr;
  auto s = std::make_unique<TGridExportStructure>(layout.ColCount(), layout.RowCount(),
                                                  layout.FixedCols(), layout.FixedRows());
  for (const TGridLayoutItem& item : layout.HeaderItems()) {
    TGridExportCell& cell = s->Cell(item.Col, item.Row);
    cell.Kind = item.Kind;
    cell.ColSpan = item.ColSpan;
    cell.RowSpan = item.RowSpan;
    cell.Label = item.Label;
    cell.Caption = item.Caption;
    cell.SubLevel = item.SubLevel;
  }
  PlaceDataCells(grid, layout, *s);
  // The lowest item of column 0 reaches the bottom of the table.
  for (int r = s->RowCount - 1; r >= 0; --r) {
    TGridExportCell& cell = s->Cell(0, r);
    if (cell.Kind == TExportCellKind::ekEmpty) continue;
    cell.RowSpan = s->RowCount - r;
    break;
  }
  return s;
}

std::string ExportCellText(const TGridInfo& grid, const TGridExportCell& cell) {
  switch (cell.Kind) {
    case TExportCellKind::ekEmpty:
      return {};
    case TExportCellKind::ekData:
      if (cell.Empty) return {};
      return cell.FormatString.empty() ? FormatGeneral(cell.Value)
                                       : FormatFloat(cell.FormatString, cell.Value);
    case TExportCellKind::ekLabel:
      return cell.Label ? grid.GetNodeCaption(*cell.Label) : std::string();
    case TExportCellKind::ekDimCaption:
      if (!cell.Caption || !cell.Caption->State || !cell.Caption->State->Dimension()) return {};
      return cell.Caption->State->Dimension()->DisplayName;
    case TExportCellKind::ekSummary:
    case TExportCellKind::ekFunction:
    case TExportCellKind::ekSubFunction:
      return cell.SubLevel ? SubLevelCaption(grid, *cell.SubLevel) : std::string();
  }
  return {};
}

std::string SubLevelCaption(const TGridInfo& grid, const TSubLevelNode& node) {
  switch (node.Type) {
    case TSubLevelNodeType::ltSummary:
      return node.Summary ? node.Summary->DisplayName : std::string();
    case TSubLevelNodeType::ltFunction: {
      const int f = node.FunctionIndex;
      // The model offers its catalogue only through a non-const accessor; it is only read here.
      const TFunctionDefs& defs = const_cast<TGridInfo&>(grid).FunctionDefs();
      return f < defs.Count() ? defs.Items(f).DisplayName : FunctionDisplayName(f);
    }
    case TSubLevelNodeType::ltSubFunction:
      return SubFunctionDisplayName(node.SubFunctionIndex);
  }
  return {};
}

}  // namespace qd

namespace qd {

std::string ExportGridText(const TGridInfo& grid, const TGridExportStructure& snapshot) {
  std::string out;
  for (int r = 0; r < snapshot.RowCount; ++r) {
    for (int c = 0; c < snapshot.ColCount; ++c) {
      if (c > 0) out += '\t';
      out += ExportCellText(grid, snapshot.Cell(c, r));
    }
    out += '\n';
  }
  return out;
}

}  // namespace qd
