// The pivot grid as a binary spreadsheet of the early record-based Excel
// format: one sheet of cell records with merged header items, optional page
// header and footer and sheet protection.
#pragma once

#include <array>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "export/grid_export.h"

namespace qd {

class TVantraGridExportToXLS : public TVantraGridExport {
 public:
  //! Page header and footer texts; written when not empty.
  std::string Header, Footer;
  //! Protects the sheet and locks every cell.
  bool Protect = false;

  //! Fonts a cell can name: its attribute keeps the font number in two bits.
  static constexpr std::size_t kMaxFonts = 4;
  //! Number formats a cell can name (six bits), the five standard ones included.
  static constexpr std::size_t kMaxFormats = 64;

 protected:
  void BeginExport() override;
  void EndExport() override;
  void ExportCell(int col, int row) override;
  void ExportData() override;

 private:
  //! The entry of an equal font (name without regard to case, size, style),
  //! appended when missing; 0 once the list is full.
  int AddFont(const TExportFont& font);
  //! The number of the format record of a data cell's mask, with the
  //! low-count marker after the value when `marked`; 0 ("General") without
  //! either or once the formats are full.
  int AddFormat(const std::string& mask, bool marked = false);
  void WriteTextLine(int sheetRow, const std::string& text);
  void WriteRecord(std::uint16_t number, const std::string& data);
  void WriteHeading();
  void WriteColumnWidths();

  std::ostringstream FCells;
  std::ostream* FRealOutput = nullptr;
  std::vector<TExportFont> FFonts;
  std::vector<std::string> FFormats;  //!< spreadsheet codes after the standard five
  std::vector<std::array<std::uint16_t, 4>> FMerges;
};

//! Text as a one-byte length and at most 255 bytes of code page 936, cut at a
//! character boundary; characters the code page lacks become "?".
std::string XlsByteString(const std::string& utf8);

}  // namespace qd
