#include "export/excel_export.h"

#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "export/xlsx_application.h"
#include "model/format_mask.h"

namespace qd {

namespace {

int ExcelColor(TColor color) {
  return static_cast<int>(ColorToRGB(color));
}

bool SameFont(const TExportFont& a, const TExportFont& b) {
  return SameFontFace(a, b) && a.Color == b.Color;
}

}  // namespace

void ApplyExcelFont(IExcelFont& target, const TExportFont& font) {
  if (target.Name() != font.Name) target.SetName(font.Name);
  if (target.Size() != font.Size) target.SetSize(font.Size);
  if (target.Bold() != font.Bold) target.SetBold(font.Bold);
  if (target.Italic() != font.Italic) target.SetItalic(font.Italic);
  if (target.Underline() != font.Underline) target.SetUnderline(font.Underline);
  if (font.Color != clNone && target.Color() != ExcelColor(font.Color))
    target.SetColor(ExcelColor(font.Color));
}

void TVantraGridExportToExcel::ExportToExcelApp(IExcelApplication& application, int startCol,
                                                int startRow) {
  FApplication = &application;
  FStartCol = startCol;
  FStartRow = startRow;
  struct TRelease {
    TVantraGridExportToExcel& Self;
    ~TRelease() {
      Self.FApplication = nullptr;
      Self.FSheet = nullptr;
      Self.FValues.reset();
    }
  } release{*this};
  DoExport();
}

void TVantraGridExportToExcel::ExportToFile(const std::string& fileName) {
  std::unique_ptr<IExcelApplication> application =
      CreateApplication ? CreateApplication() : std::make_unique<TXlsxApplication>();
  if (!application) throw EGenericError(Msg(TMsg::SExcelUnavailable));
  struct TQuit {
    IExcelApplication& Application;
    ~TQuit() {
      try {
        Application.Workbooks().Close();
        Application.Quit();
      } catch (...) {  // the export's own error, if any, is the one to report
      }
    }
  } quit{*application};
  FWorkbook = nullptr;
  ExportToExcelApp(*application, 1, 1);
  // Nothing to export still leaves a (empty) document, as every writer does.
  IExcelWorkbook& workbook = FWorkbook ? *FWorkbook : application->Workbooks().Add();
  FWorkbook = nullptr;
  workbook.SaveAs(fileName);
}

std::unique_ptr<IExcelRange> TVantraGridExportToExcel::SheetRange(int row0, int col0, int row1,
                                                                  int col1) {
  const auto first = FSheet->Cells(row0, col0);
  const auto last = FSheet->Cells(row1, col1);
  return FSheet->Range(*first, *last);
}

void TVantraGridExportToExcel::BeginExport() {
  if (!FApplication) throw EGenericError(Msg(TMsg::SExcelUnavailable));
  FWorkbook = &FApplication->Workbooks().Add();
  FSheet = &FApplication->ActiveSheet();
  FTableRow = FStartRow + HeadingRows();
  WriteHeading();
  FormatBlocks();
  if (ExportOptions.DrawBorders)
    SheetRange(FTableRow, FStartCol, FTableRow + ExportedRowCount() - 1,
               FStartCol + ExportedColCount() - 1)
        ->Borders()
        .SetWeight(ExportOptions.ExcelBorderWeight());
  FValues = std::make_unique<TExcelVariantArray>(ExportedRowCount(), ExportedColCount());
}

// The heading above the table, the caption in bold.
void TVantraGridExportToExcel::WriteHeading() {
  for (std::size_t i = 0; i < HeadingLines().size(); ++i) {
    const auto cell = FSheet->Cells(FStartRow + static_cast<int>(i), FStartCol);
    cell->SetValue(HeadingLines()[i]);
    if (i == 0 && !CubeCaption.empty()) cell->Font().SetBold(true);
  }
}

// The corner, the column headers, the row headers and the data, each as one
// range with the font and colour of its region.
void TVantraGridExportToExcel::FormatBlocks() {
  const int r0 = FTableRow, c0 = FStartCol;
  const int rows = ColCaptionRows(), cols = RowCaptionCols();
  const int lastRow = r0 + ExportedRowCount() - 1, lastCol = c0 + ExportedColCount() - 1;
  struct TBlock {
    int Row0, Col0, Row1, Col1;
    const TExportFont& Font;
    TColor Color;
  };
  const TExportOptions& o = ExportOptions;
  const TBlock blocks[] = {
      {r0, c0, r0 + rows - 1, c0 + cols - 1, o.CaptionFont, o.CaptionColor},
      {r0, c0 + cols, r0 + rows - 1, lastCol, o.LabelFont, o.LabelColor},
      {r0 + rows, c0, lastRow, c0 + cols - 1, o.LabelFont, o.LabelColor},
      {r0 + rows, c0 + cols, lastRow, lastCol, o.DataFont, o.DataColor}};
  for (const TBlock& b : blocks) {
    if (b.Row1 < b.Row0 || b.Col1 < b.Col0) continue;
    if (!o.UseFontStyles && b.Color == clNone) continue;
    const auto range = SheetRange(b.Row0, b.Col0, b.Row1, b.Col1);
    if (o.UseFontStyles) ApplyExcelFont(range->Font(), b.Font);
    if (b.Color != clNone && range->Interior().Color() != ExcelColor(b.Color))
      range->Interior().SetColor(ExcelColor(b.Color));
  }
}

void TVantraGridExportToExcel::ExportCell(int col, int row) {
  TVantraGridExport::ExportCell(col, row);
  const TVantraGridExportCellParams& p = CurrentCell();
  const TGridExportCell& cell = SnapshotCell(col, row);
  const int outRow = OutputRow(row), outCol = OutputCol(col);
  // A data cell without a value stays empty: 0 would read as a real zero.
  TExcelVariant& value = FValues->At(outRow, outCol);
  if (p.Kind == TExportCellKind::ekData) {
    if (!cell.Empty) value = p.Value;
  } else if (!p.Text.empty()) {
    value = p.Text;
  }
  std::unique_ptr<IExcelRange> range;
  auto own = [&]() -> IExcelRange& {
    if (!range) range = FSheet->Cells(FTableRow + outRow, FStartCol + outCol);
    return *range;
  };
  if (!SameFont(p.Font, CellFont(col, row))) ApplyExcelFont(own().Font(), p.Font);
  if (CellColor(col, row) != p.Color) own().Interior().SetColor(ExcelColor(p.Color));
  if (p.LowCount > 0 && !cell.Empty) {
    own().SetNumberFormat(MarkedNumberFormat(
        p.FormatString.empty() ? std::string() : SpreadsheetNumberFormat(p.FormatString)));
    own().AddComment(LowCountNote(p.LowCount));
  } else if (!p.FormatString.empty()) {
    own().SetNumberFormat(SpreadsheetNumberFormat(p.FormatString));
  }
  const std::pair<std::uint8_t, int> sides[] = {
      {bsLeft, xlEdgeLeft}, {bsTop, xlEdgeTop}, {bsRight, xlEdgeRight}, {bsBottom, xlEdgeBottom}};
  for (const auto& [bit, edge] : sides) {
    const bool has = (p.Borders & bit) != 0;
    if (ExportOptions.DrawBorders && !has) {
      own().Borders(edge).SetLineStyle(xlLineStyleNone);
    } else if (!ExportOptions.DrawBorders && has) {
      own().Borders(edge).SetWeight(ExportOptions.ExcelBorderWeight());
      own().Borders(edge).SetLineStyle(xlContinuous);
    }
  }
}

void TVantraGridExportToExcel::EndExport() {
  SheetRange(FTableRow, FStartCol, FTableRow + ExportedRowCount() - 1,
             FStartCol + ExportedColCount() - 1)
      ->SetValue(*FValues);
  Merge();
  FValues.reset();
  // The footnote one empty row under the table.
  for (std::size_t i = 0; i < FootnoteLines().size(); ++i)
    FSheet->Cells(FTableRow + ExportedRowCount() + 1 + static_cast<int>(i), FStartCol)
        ->SetValue(FootnoteLines()[i]);
}

// Header items that span cells become merged ranges: the corner, the column
// headers and the row headers, each column by column.
void TVantraGridExportToExcel::Merge() {
  auto area = [&](int col0, int col1, int row0, int row1) {
    for (int c = col0; c <= col1; ++c)
      for (int r = row0; r <= row1; ++r) {
        const TGridExportCell& cell = SnapshotCell(c, r);
        if (cell.ColSpan <= 1 && cell.RowSpan <= 1) continue;
        const int top = FTableRow + OutputRow(r), left = FStartCol + OutputCol(c);
        SheetRange(top, left, top + cell.RowSpan - 1, left + cell.ColSpan - 1)->Merge();
      }
  };
  const bool rows = ExportOptions.PrintColCaptions, cols = ExportOptions.PrintRowCaptions;
  if (rows && cols) area(0, FixedCols() - 1, 0, FixedRows() - 1);
  if (rows) area(FirstDataCol(), LastDataCol(), 0, FixedRows() - 1);
  if (cols) area(0, FixedCols() - 1, FirstDataRow(), LastDataRow());
}

}  // namespace qd
