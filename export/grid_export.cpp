#include "export/grid_export.h"

#include <algorithm>
#include <ostream>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/io/safe_file.h"
#include "export/column_fit.h"
#include "export/document_heading.h"
#include "model/grid_info.h"

namespace qd {

std::string LowCountNote(std::int64_t count) {
  return Format(Msg(TMsg::SLowCountHint), std::to_string(count));
}

// Sections are separated by semicolons outside quoted texts, brackets and
// escaped characters; an empty section (one that hides its values) stays empty.
std::string MarkedNumberFormat(std::string_view code) {
  if (code.empty()) code = "General";
  const std::string mark = "\"" + std::string(kLowCountMarker) + "\"";
  std::string out;
  bool quoted = false, bracket = false, sectionEmpty = true;
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char ch = code[i];
    if (!quoted && !bracket && ch == ';') {
      if (!sectionEmpty) out += mark;
      out += ch;
      sectionEmpty = true;
      continue;
    }
    out += ch;
    sectionEmpty = false;
    if (ch == '\\' && !quoted && i + 1 < code.size()) {
      out += code[++i];
    } else if (ch == '"') {
      quoted = !quoted;
    } else if (!quoted) {
      if (ch == '[') bracket = true;
      if (ch == ']') bracket = false;
    }
  }
  if (!sectionEmpty) out += mark;
  return out;
}

TVantraGridExport::TVantraGridExport() = default;
TVantraGridExport::~TVantraGridExport() = default;

void TVantraGridExport::WriteString(std::string_view text) {
  if (FOutput) FOutput->write(text.data(), static_cast<std::streamsize>(text.size()));
}

void TVantraGridExport::WriteLine(std::string_view text) {
  WriteString(text);
  WriteString("\r\n");
}

void TVantraGridExport::ExportToStream(std::ostream& stream) {
  FOutput = &stream;
  DoExport();
}

void TVantraGridExport::ExportToFile(const std::string& fileName) {
  FFileName = fileName;
  // The document replaces the file only once it is complete.
  WriteFileAtomic(fileName, [&](std::ostream& stream) { ExportToStream(stream); });
}

void TVantraGridExport::ComputeRange() {
  const TGridExportStructure& s = *FSnapshot;
  FFirstCol = std::max(s.FixedCols, StartDataCol);
  FFirstRow = std::max(s.FixedRows, StartDataRow);
  FLastCol = FinishDataCol <= StartDataCol || FinishDataCol > s.ColCount - 1 ? s.ColCount - 1
                                                                             : FinishDataCol;
  FLastRow = FinishDataRow <= StartDataRow || FinishDataRow > s.RowCount - 1 ? s.RowCount - 1
                                                                             : FinishDataRow;
  if (s.ColCount == s.FixedCols) FLastCol = -1;
  if (s.RowCount == s.FixedRows) FLastRow = -1;
}

// With a partial range, items that reach outside it are cut to the exported
// cells, and an item that begins before the range moves to its first cell, so
// that every writer sees a table without holes or overhangs.
void TVantraGridExport::ClipItemsToRange() {
  TGridExportStructure& s = *FSnapshot;
  if (FFirstCol == s.FixedCols && FFirstRow == s.FixedRows && FLastCol == s.ColCount - 1 &&
      FLastRow == s.RowCount - 1)
    return;
  auto exported = [](int i, int fixed, int first, int last) {
    return i < fixed || (i >= first && i <= last);
  };
  for (int r = 0; r < s.RowCount; ++r)
    for (int c = 0; c < s.ColCount; ++c) {
      TGridExportCell& cell = s.Cell(c, r);
      if (cell.Kind == TExportCellKind::ekEmpty || (cell.ColSpan <= 1 && cell.RowSpan <= 1))
        continue;
      int newCol = -1, cols = 0, newRow = -1, rows = 0;
      for (int x = c; x < c + cell.ColSpan && x < s.ColCount; ++x)
        if (exported(x, s.FixedCols, FFirstCol, FLastCol)) {
          if (newCol < 0) newCol = x;
          ++cols;
        }
      for (int y = r; y < r + cell.RowSpan && y < s.RowCount; ++y)
        if (exported(y, s.FixedRows, FFirstRow, FLastRow)) {
          if (newRow < 0) newRow = y;
          ++rows;
        }
      if (cols == 0 || rows == 0) continue;
      cell.ColSpan = cols;
      cell.RowSpan = rows;
      if (newCol != c || newRow != r) std::swap(cell, s.Cell(newCol, newRow));
    }
}

void TVantraGridExport::DoExport() {
  if (!FGrid) return;
  FSnapshot = FPrepared ? std::move(FPrepared) : BuildGridExportStructure(*FGrid);
  if (!FSnapshot) return;
  struct TFree {
    std::unique_ptr<TGridExportStructure>& Snapshot;
    ~TFree() { Snapshot.reset(); }
  } freeSnapshot{FSnapshot};
  ComputeRange();
  ClipItemsToRange();
  FHeading = DocumentHeading(*FGrid, CubeCaption);
  FFootnotes.clear();
  if (HasMarkedCells()) FFootnotes.push_back(Msg(TMsg::SLowCountFootnote));
  FFittedWidths.clear();
  if (ExportedColCount() <= 0 || ExportedRowCount() <= 0) return;
  BeginExport();
  if (OnBeforeExportData) OnBeforeExportData(this);
  ExportData();
  if (OnAfterExportData) OnAfterExportData(this);
  EndExport();
}

void TVantraGridExport::ExportData() {
  if (ExportOptions.PrintColCaptions)
    for (int r = 0; r < FixedRows(); ++r) ExportRow(r);
  for (int r = FFirstRow; r <= FLastRow; ++r) ExportRow(r);
}

void TVantraGridExport::ExportRow(int row) {
  if (ExportOptions.PrintRowCaptions)
    for (int c = 0; c < FixedCols(); ++c) ExportCell(c, row);
  for (int c = FFirstCol; c <= FLastCol; ++c) ExportCell(c, row);
}

void TVantraGridExport::ExportColumn(int col) {
  if (ExportOptions.PrintColCaptions)
    for (int r = 0; r < FixedRows(); ++r) ExportCell(col, r);
  for (int r = FFirstRow; r <= FLastRow; ++r) ExportCell(col, r);
}

TColor TVantraGridExport::CellColor(int col, int row) const {
  TColor color = ExportOptions.DataColor;
  if (IsCornerCell(col, row))
    color = ExportOptions.CaptionColor;
  else if (!IsDataCell(col, row))
    color = ExportOptions.LabelColor;
  return color == clNone ? clWindow : color;
}

const TExportFont& TVantraGridExport::CellFont(int col, int row) const {
  if (IsCornerCell(col, row)) return ExportOptions.CaptionFont;
  if (!IsDataCell(col, row)) return ExportOptions.LabelFont;
  return ExportOptions.DataFont;
}

int TVantraGridExport::ColumnWidth(int col) const {
  if (ColumnWidths) return ColumnWidths(col);
  if (FFittedWidths.empty()) FitColumnWidths();
  return col >= 0 && col < static_cast<int>(FFittedWidths.size())
             ? FFittedWidths[static_cast<std::size_t>(col)]
             : kDefaultExportColWidth;
}

bool TVantraGridExport::HasMarkedCells() const {
  for (int r = FFirstRow; r <= FLastRow; ++r)
    for (int c = FFirstCol; c <= FLastCol; ++c)
      if (SnapshotCell(c, r).LowCount > 0) return true;
  return false;
}

int TVantraGridExport::HeadingRows() const {
  return FHeading.empty() ? 0 : static_cast<int>(FHeading.size()) + 1;
}

// Each exported column as wide as its widest single-column text; an item that
// spans columns widens the last of them when they are too narrow together.
void TVantraGridExport::FitColumnWidths() const {
  const TGridExportStructure& s = *FSnapshot;
  const int ppi = PixelsPerInch > 0 ? PixelsPerInch : 96;
  const int margin = kCellTextMargin * ppi / 96, widest = kMaxFittedColWidth * ppi / 96;
  FFittedWidths.assign(static_cast<std::size_t>(s.ColCount), kDefaultExportColWidth * ppi / 96);
  auto exportedCol = [&](int c) { return c < s.FixedCols || (c >= FFirstCol && c <= FLastCol); };
  auto exportedRow = [&](int r) { return r < s.FixedRows || (r >= FFirstRow && r <= FLastRow); };
  for (int pass = 0; pass < 2; ++pass)
    for (int r = 0; r < s.RowCount; ++r) {
      if (!exportedRow(r)) continue;
      for (int c = 0; c < s.ColCount; ++c) {
        const TGridExportCell& cell = s.Cell(c, r);
        if (cell.Kind == TExportCellKind::ekEmpty || !exportedCol(c) ||
            (pass == 0) != (cell.ColSpan <= 1))
          continue;
        std::string text = ExportCellText(*FGrid, cell);
        if (cell.LowCount > 0 && !text.empty()) text += kLowCountMarker;
        if (text.empty()) continue;
        const int need =
            std::min(TextPixelWidth(text, CellFont(c, r), ppi) + margin, widest * cell.ColSpan);
        int have = 0, last = c;
        for (int x = c; x < c + std::max(cell.ColSpan, 1) && x < s.ColCount; ++x)
          if (exportedCol(x)) have += FFittedWidths[static_cast<std::size_t>(last = x)];
        if (have < need) FFittedWidths[static_cast<std::size_t>(last)] += need - have;
      }
    }
}

int TVantraGridExport::OutputCol(int col) const {
  return col < FixedCols() ? col : col - FFirstCol + RowCaptionCols();
}

int TVantraGridExport::OutputRow(int row) const {
  return row < FixedRows() ? row : row - FFirstRow + ColCaptionRows();
}

int TVantraGridExport::ExportedColCount() const {
  return std::max(FLastCol - FFirstCol + 1, 0) + RowCaptionCols();
}

int TVantraGridExport::ExportedRowCount() const {
  return std::max(FLastRow - FFirstRow + 1, 0) + ColCaptionRows();
}

int TVantraGridExport::RowCaptionCols() const {
  return ExportOptions.PrintRowCaptions ? FixedCols() : 0;
}

int TVantraGridExport::ColCaptionRows() const {
  return ExportOptions.PrintColCaptions ? FixedRows() : 0;
}

void TVantraGridExport::ExportCell(int col, int row) {
  const TGridExportCell& cell = SnapshotCell(col, row);
  TVantraGridExportCellParams p;
  p.Kind = cell.Kind;
  p.Alignment = cell.Alignment;
  p.FormatString = cell.FormatString;
  p.Borders = DrawBordersEnabled() ? kAllBorders : 0;
  if (cell.Kind == TExportCellKind::ekData) {
    p.Value = cell.Value;
    p.LowCount = cell.LowCount;
  }
  p.Text = ExportCellText(*FGrid, cell);
  p.Font = CellFont(col, row);
  p.Color = CellColor(col, row);
  FCell = std::move(p);

  bool drawBorders = FCell.Borders != 0;
  const bool before = drawBorders;
  switch (cell.Kind) {
    case TExportCellKind::ekData:
      if (OnExportDataCell)
        OnExportDataCell(this, col, row, FCell.Text, FCell.Font, FCell.Color, drawBorders);
      break;
    case TExportCellKind::ekLabel:
      if (OnExportLabelCell)
        OnExportLabelCell(this, FCell.Text, FCell.Font, FCell.Color, drawBorders, cell.Label);
      break;
    case TExportCellKind::ekDimCaption:
      if (OnExportCaptionCell)
        OnExportCaptionCell(this, FCell.Text, FCell.Font, FCell.Color, drawBorders, cell.Caption);
      break;
    default:
      if (OnExportSummaryCell)
        OnExportSummaryCell(this, FCell.Text, FCell.Font, FCell.Color, drawBorders, cell.SubLevel);
      break;
  }
  if (drawBorders != before) FCell.Borders = drawBorders ? kAllBorders : 0;
}

}  // namespace qd
