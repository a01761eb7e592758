// The pivot grid as a new workbook of a spreadsheet application driven
// through automation: all values in one assignment, header and data areas
// formatted as blocks, per-cell fonts, colours, number formats and borders
// only where a cell differs, merged header items. ExportToFile saves the
// workbook (ours writes .xlsx); ExportToExcelApp fills a workbook of an
// application the caller keeps, for example one it then makes visible.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "export/excel_automation.h"
#include "export/grid_export.h"

namespace qd {

class TVantraGridExportToExcel : public TVantraGridExport {
 public:
  //! Starts the application ExportToFile uses; the default starts ours.
  //! Returning nullptr fails with "Cannot open Microsoft Excel.…".
  std::function<std::unique_ptr<IExcelApplication>()> CreateApplication;

  //! Exports into a new workbook of the application, the exported part's
  //! top-left cell at the 1-based column and row. Nothing is saved; the
  //! caller keeps the application and decides whether to show it.
  void ExportToExcelApp(IExcelApplication& application, int startCol, int startRow);
  //! Starts the application, exports, saves the workbook under the name and
  //! closes the application, also when the export or the save fails.
  void ExportToFile(const std::string& fileName) override;

 protected:
  void BeginExport() override;
  void EndExport() override;
  void ExportCell(int col, int row) override;

 private:
  std::unique_ptr<IExcelRange> SheetRange(int row0, int col0, int row1, int col1);
  void FormatBlocks();
  void WriteHeading();
  void Merge();

  IExcelApplication* FApplication = nullptr;
  IExcelWorkbook* FWorkbook = nullptr;  //!< the workbook of the last export
  IExcelWorksheet* FSheet = nullptr;
  int FStartCol = 1, FStartRow = 1;
  int FTableRow = 1;  //!< sheet row of the table's first row, below the heading
  std::unique_ptr<TExcelVariantArray> FValues;
};

//! Sets each property of the automation font that differs from the font's
//! (name, size, bold, italic, underline; the colour unless clNone).
void ApplyExcelFont(IExcelFont& target, const TExportFont& font);

}  // namespace qd
