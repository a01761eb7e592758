// The spreadsheet application an export drives through automation: a running
// application with workbooks, the active sheet, cells and ranges with their
// fonts, interiors, borders, merges, values and number formats. Only the
// members the spreadsheet export uses are here, with the application's own
// constants; xlsx_application.h builds real workbooks behind it.
#pragma once

#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace qd {

// Edge indices of a range's borders.
constexpr int xlEdgeLeft = 7, xlEdgeTop = 8, xlEdgeBottom = 9, xlEdgeRight = 10;
// Line styles.
constexpr int xlLineStyleNone = -4142, xlContinuous = 1;
// Border weights.
constexpr int xlHairline = 1, xlThin = 2, xlMedium = -4138, xlThick = 4;

//! A cell value: empty, a number or a text.
using TExcelVariant = std::variant<std::monostate, double, std::string>;

//! A block of values for one assignment to a range: Rows × Cols values, row
//! after row.
struct TExcelVariantArray {
  TExcelVariantArray(int rows, int cols)
      : Rows(rows), Cols(cols), Items(static_cast<std::size_t>(rows) * cols) {}
  TExcelVariant& At(int row, int col) { return Items[static_cast<std::size_t>(row) * Cols + col]; }
  const TExcelVariant& At(int row, int col) const {
    return Items[static_cast<std::size_t>(row) * Cols + col];
  }
  int Rows, Cols;
  std::vector<TExcelVariant> Items;
};

class IExcelFont {
 public:
  virtual ~IExcelFont() = default;
  virtual std::string Name() const = 0;
  virtual void SetName(const std::string& value) = 0;
  virtual double Size() const = 0;
  virtual void SetSize(double value) = 0;
  virtual bool Bold() const = 0;
  virtual void SetBold(bool value) = 0;
  virtual bool Italic() const = 0;
  virtual void SetItalic(bool value) = 0;
  virtual bool Underline() const = 0;
  virtual void SetUnderline(bool value) = 0;
  //! 0x00BBGGRR.
  virtual int Color() const = 0;
  virtual void SetColor(int value) = 0;
};

class IExcelInterior {
 public:
  virtual ~IExcelInterior() = default;
  //! 0x00BBGGRR.
  virtual int Color() const = 0;
  virtual void SetColor(int value) = 0;
};

//! All borders of a range, or one edge of it.
class IExcelBorders {
 public:
  virtual ~IExcelBorders() = default;
  virtual int Weight() const = 0;
  virtual void SetWeight(int value) = 0;
  virtual int LineStyle() const = 0;
  virtual void SetLineStyle(int value) = 0;
};

class IExcelRange {
 public:
  virtual ~IExcelRange() = default;
  virtual IExcelFont& Font() = 0;
  virtual IExcelInterior& Interior() = 0;
  //! Every border of every cell of the range.
  virtual IExcelBorders& Borders() = 0;
  //! One outer edge of the range (xlEdgeLeft … xlEdgeRight).
  virtual IExcelBorders& Borders(int edge) = 0;
  virtual void Merge() = 0;
  virtual void SetValue(const TExcelVariant& value) = 0;
  //! The block's size must be the range's.
  virtual void SetValue(const TExcelVariantArray& values) = 0;
  virtual std::string NumberFormat() const = 0;
  virtual void SetNumberFormat(const std::string& value) = 0;
  //! A note on the range's first cell; applications without notes ignore it.
  virtual void AddComment(const std::string& /*text*/) {}
};

class IExcelWorksheet {
 public:
  virtual ~IExcelWorksheet() = default;
  //! The cell at a 1-based row and column.
  virtual std::unique_ptr<IExcelRange> Cells(int row, int col) = 0;
  //! The rectangle between two cells.
  virtual std::unique_ptr<IExcelRange> Range(const IExcelRange& topLeft,
                                             const IExcelRange& bottomRight) = 0;
};

class IExcelWorkbook {
 public:
  virtual ~IExcelWorkbook() = default;
  virtual void SaveAs(const std::string& fileName) = 0;
};

class IExcelWorkbooks {
 public:
  virtual ~IExcelWorkbooks() = default;
  //! A new workbook, which becomes the active one.
  virtual IExcelWorkbook& Add() = 0;
  //! Closes every workbook without saving.
  virtual void Close() = 0;
};

class IExcelApplication {
 public:
  virtual ~IExcelApplication() = default;
  virtual IExcelWorkbooks& Workbooks() = 0;
  //! The first sheet of the active workbook.
  virtual IExcelWorksheet& ActiveSheet() = 0;
  virtual void Quit() = 0;
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool value) = 0;
};

}  // namespace qd
