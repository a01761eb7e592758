// The base of every exporter of the pivot grid: takes a snapshot of the grid,
// decides which part of it to export, walks it, works out each cell's text,
// font, colour, alignment and borders, lets the application adjust them
// through events and hands each cell to the writer.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_options.h"
#include "export/grid_export_structure.h"

namespace qd {

class TVantraGridExport;

//! Width of a grid column in pixels when no view supplies widths.
constexpr int kDefaultExportColWidth = 64;

//! The sides of a cell that get a border.
enum TBorderSide : std::uint8_t { bsLeft = 1, bsTop = 2, bsRight = 4, bsBottom = 8 };
constexpr std::uint8_t kAllBorders = bsLeft | bsTop | bsRight | bsBottom;

//! The current cell's parameters while it is exported.
struct TVantraGridExportCellParams {
  TExportCellKind Kind = TExportCellKind::ekEmpty;
  TExportFont Font;
  TColor Color = clNone;
  TAlignment Alignment = TAlignment::taLeftJustify;
  std::uint8_t Borders = 0;  //!< TBorderSide bits: all four or none
  std::string Text;
  double Value = 0;
  std::string FormatString;
  std::int64_t LowCount = 0;  //!< data cells resting on too few facts: their count
};

//! The mark after the value of a cell that rests on too few facts; the
//! document's footnote explains it.
constexpr std::string_view kLowCountMarker = "*";

//! The note a marked cell carries where the document has room for one
//! (a tooltip, a comment): "仅基于 N 条记录".
std::string LowCountNote(std::int64_t count);

//! A spreadsheet number format that shows the marker after the value in
//! every section of `code` ("General" when empty), so that the cell stays a
//! number.
std::string MarkedNumberFormat(std::string_view code);

using TExportDataCellEvent =
    std::function<void(TVantraGridExport* sender, int col, int row, std::string& value,
                       TExportFont& font, TColor& color, bool& drawBorders)>;
using TExportLabelCellEvent =
    std::function<void(TVantraGridExport* sender, std::string& value, TExportFont& font,
                       TColor& color, bool& drawBorders, const TLabelNode* labelNode)>;
using TExportCaptionCellEvent =
    std::function<void(TVantraGridExport* sender, std::string& value, TExportFont& font,
                       TColor& color, bool& drawBorders, const TCaptionNode* captionNode)>;
using TExportSummaryCellEvent =
    std::function<void(TVantraGridExport* sender, std::string& value, TExportFont& font,
                       TColor& color, bool& drawBorders, const TSubLevelNode* summaryNode)>;
using TExportNotifyEvent = std::function<void(TVantraGridExport* sender)>;

class TVantraGridExport {
 public:
  TVantraGridExport();
  virtual ~TVantraGridExport();
  TVantraGridExport(const TVantraGridExport&) = delete;
  TVantraGridExport& operator=(const TVantraGridExport&) = delete;

  //! The grid model to export; without one nothing is exported.
  void SetGrid(TGridInfo* grid) { FGrid = grid; }
  TGridInfo* Grid() const { return FGrid; }
  //! Component name; the XML worksheet is named after it when no cube name is set.
  std::string Name;
  //! The cube's caption as the catalog shows it: the first line of every
  //! document (none when empty).
  std::string CubeCaption;

  //! What a view supplies: column widths in pixels (unset: widths fitted to
  //! the exported texts), its font and its screen resolution.
  std::function<int(int col)> ColumnWidths;
  TExportFont GridFont;
  int PixelsPerInch = 96;

  //! The data range in grid coordinates; all 0 exports the whole grid.
  int StartDataCol = 0, StartDataRow = 0, FinishDataCol = 0, FinishDataRow = 0;
  TExportOptions ExportOptions;

  TExportNotifyEvent OnBeforeExportData, OnAfterExportData;
  TExportDataCellEvent OnExportDataCell;
  TExportLabelCellEvent OnExportLabelCell;
  TExportCaptionCellEvent OnExportCaptionCell;
  //! Summary, function and sub-function headers, and empty cells (node nullptr).
  TExportSummaryCellEvent OnExportSummaryCell;

  //! The next export uses this snapshot of the grid instead of taking one.
  void UseSnapshot(std::unique_ptr<TGridExportStructure> snapshot) {
    FPrepared = std::move(snapshot);
  }

  //! Exports onto the stream, which stays the caller's.
  virtual void ExportToStream(std::ostream& stream);
  //! Creates (or empties) the file and exports into it; raises EGenericError
  //! when the file cannot be written.
  virtual void ExportToFile(const std::string& fileName);

 protected:
  // ---- Slots the writers override ----
  virtual void BeginExport() {}
  virtual void EndExport() {}
  //! Computes the cell's parameters into CurrentCell() and fires its event.
  virtual void ExportCell(int col, int row);
  virtual void ExportRow(int row);
  virtual void ExportColumn(int col);
  virtual void ExportData();
  virtual void DoExport();

  // ---- Output ----
  void WriteString(std::string_view text);
  //! The text and CR LF.
  void WriteLine(std::string_view text);
  std::ostream* Output() const { return FOutput; }
  void SetOutput(std::ostream* stream) { FOutput = stream; }
  const std::string& FileName() const { return FFileName; }

  // ---- The snapshot and the range, while an export runs ----
  const TGridExportStructure& Snapshot() const { return *FSnapshot; }
  const TGridExportCell& SnapshotCell(int col, int row) const { return FSnapshot->Cell(col, row); }
  int FixedCols() const { return FSnapshot->FixedCols; }
  int FixedRows() const { return FSnapshot->FixedRows; }
  int FirstDataCol() const { return FFirstCol; }
  int FirstDataRow() const { return FFirstRow; }
  int LastDataCol() const { return FLastCol; }
  int LastDataRow() const { return FLastRow; }
  TVantraGridExportCellParams& CurrentCell() { return FCell; }

  bool IsCornerCell(int col, int row) const { return col < FixedCols() && row < FixedRows(); }
  bool IsDataCell(int col, int row) const { return col >= FixedCols() && row >= FixedRows(); }
  TColor CellColor(int col, int row) const;
  const TExportFont& CellFont(int col, int row) const;
  //! Width in pixels of a grid column: the view's, else fitted to the column's
  //! texts (at least kDefaultExportColWidth).
  int ColumnWidth(int col) const;
  //! Lines that open the document: the caption and one per page dimension.
  const std::vector<std::string>& HeadingLines() const { return FHeading; }
  //! Rows the heading takes before the table in a sheet: its lines and one
  //! empty row, 0 without lines.
  int HeadingRows() const;
  //! Lines that close the document under the table: the footnote on marked
  //! cells when the exported range holds any, else none.
  const std::vector<std::string>& FootnoteLines() const { return FFootnotes; }
  //! Position of a grid cell in the exported table.
  int OutputCol(int col) const;
  int OutputRow(int row) const;
  int ExportedColCount() const;
  int ExportedRowCount() const;
  int RowCaptionCols() const;
  int ColCaptionRows() const;
  bool DrawBordersEnabled() const { return FGrid ? ExportOptions.DrawBorders : true; }

 private:
  void ComputeRange();
  void ClipItemsToRange();
  bool HasMarkedCells() const;
  void FitColumnWidths() const;

  TGridInfo* FGrid = nullptr;
  std::ostream* FOutput = nullptr;
  std::string FFileName;
  std::unique_ptr<TGridExportStructure> FSnapshot, FPrepared;
  int FFirstCol = 0, FFirstRow = 0, FLastCol = -1, FLastRow = -1;
  TVantraGridExportCellParams FCell;
  std::vector<std::string> FHeading, FFootnotes;
  mutable std::vector<int> FFittedWidths;  //!< by grid column, filled when first asked
};

}  // namespace qd
