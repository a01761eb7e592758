// One worksheet of a workbook being built: cell values, one interned style
// per cell (font, fill, number format, the four borders), merged ranges; and
// its writing as an .xlsx file through libxlsxwriter.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "export/excel_automation.h"

namespace qd {

struct TXlsxBorder {
  int LineStyle = xlLineStyleNone;
  int Weight = xlThin;
  bool operator==(const TXlsxBorder&) const = default;
};

//! What a cell looks like; the default is the workbook's normal style.
struct TXlsxCellStyle {
  std::string FontName = "Arial";
  double FontSize = 10;
  bool Bold = false, Italic = false, Underline = false;
  int FontColor = -1;  //!< 0x00BBGGRR, -1 automatic
  int FillColor = -1;  //!< 0x00BBGGRR, -1 none
  std::string NumberFormat = "General";
  //! By edge: left, top, bottom, right (edge index − xlEdgeLeft).
  std::array<TXlsxBorder, 4> Borders;
  bool operator==(const TXlsxCellStyle&) const = default;
};

//! Cells from (Row0, Col0) to (Row1, Col1), 0-based and inclusive.
struct TXlsxRect {
  int Row0 = 0, Col0 = 0, Row1 = 0, Col1 = 0;
};

class TXlsxSheet {
 public:
  //! The rows and columns of a worksheet of the format.
  static constexpr int kMaxRows = 1048576, kMaxCols = 16384;

  int RowCount() const { return FRows; }
  int ColCount() const { return FCols; }
  //! Style and value of a cell; cells beyond the used area are default and empty.
  const TXlsxCellStyle& Style(int row, int col) const;
  const TExcelVariant& Value(int row, int col) const;
  void SetValue(int row, int col, TExcelVariant value);
  //! Changes the style of every cell of the rectangle; raises EGenericError
  //! for a rectangle beyond the sheet.
  void Restyle(const TXlsxRect& rect, const std::function<void(TXlsxCellStyle&)>& change);
  void Merge(const TXlsxRect& rect) { FMerges.push_back(rect); }
  const std::vector<TXlsxRect>& Merges() const { return FMerges; }
  //! A note on a cell, shown when the pointer rests on it.
  void SetComment(int row, int col, std::string text) { FComments[{row, col}] = std::move(text); }
  //! Makes room for the rectangle; raises EGenericError beyond the sheet.
  void Reserve(const TXlsxRect& rect);

  //! Writes the sheet as the only one of a workbook file, every column as
  //! wide as its numbers and the texts that cannot run into the next cell;
  //! raises EGenericError when the file cannot be written.
  void Save(const std::string& fileName) const;
  //! Width in pixels that column `col` needs.
  int FittedWidth(int col) const;

 private:
  int StyleId(const TXlsxCellStyle& style);
  std::size_t Index(int row, int col) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(FCols) + col;
  }

  int FRows = 0, FCols = 0;
  std::vector<int> FStyleIds;  //!< row after row; 0 is the default style
  std::vector<TExcelVariant> FValues;
  std::vector<TXlsxCellStyle> FStyles{TXlsxCellStyle{}};
  std::unordered_map<std::string, int> FStyleIndex;
  std::vector<TXlsxRect> FMerges;
  std::map<std::pair<int, int>, std::string> FComments;
};

}  // namespace qd
