// Our spreadsheet application behind the automation interface: workbooks of
// one sheet, kept in memory while an export shapes them and written as .xlsx
// files. Made visible, it saves each workbook to a temporary file and hands
// the file to the desktop's spreadsheet program through OnShow.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/excel_automation.h"

namespace qd {

class TXlsxWorkbook;
class TXlsxSheet;

class TXlsxApplication : public IExcelApplication, private IExcelWorkbooks {
 public:
  TXlsxApplication();
  ~TXlsxApplication() override;

  IExcelWorkbooks& Workbooks() override { return *this; }
  //! The active workbook's sheet; raises EGenericError without a workbook.
  IExcelWorksheet& ActiveSheet() override;
  //! Closes every workbook.
  void Quit() override { Close(); }
  bool Visible() const override { return FVisible; }
  //! Becoming visible saves every workbook to a new temporary .xlsx file and
  //! calls OnShow with its path.
  void SetVisible(bool value) override;

  //! Opens a saved workbook for the user (the window sets it).
  std::function<void(const std::string& path)> OnShow;
  //! The sheet of the active workbook, for inspection; nullptr without one.
  const TXlsxSheet* ActiveSheetData() const;

 private:
  IExcelWorkbook& Add() override;
  void Close() override;

  std::vector<std::unique_ptr<TXlsxWorkbook>> FBooks;
  bool FVisible = false;
};

}  // namespace qd
