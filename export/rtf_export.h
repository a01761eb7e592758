// The pivot grid as one RTF table: a table row per exported grid row, a cell
// per grid cell or merged group of cells, column widths from the grid, cell
// backgrounds from the region colours, optional borders and fonts; on an A4
// page that turns to landscape, and scales the table down, when it is wider.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "export/grid_export.h"

namespace qd {

class TVantraGridExportToRTF : public TVantraGridExport {
 protected:
  void BeginExport() override;
  void EndExport() override;
  void ExportCell(int col, int row) override;
  void ExportRow(int row) override;

 private:
  //! Colour-table number of a colour, appended when missing.
  int ColorNumber(TColor color);
  int FontNumber(const std::string& name);
  void DefineCell(int col, int row, int& x, int& span);
  void FitPage();
  void WriteHeading();
  int Twips(int pixels) const;
  int HalfPoints(int points) const;

  std::ostringstream FBody;
  std::ostream* FSavedOutput = nullptr;
  std::vector<TColor> FColors;  //!< RGB values
  std::vector<std::string> FFonts;
  int FResolution = 96;
  double FScale = 1;  //!< widths and type sizes, so that the table fits the page
  bool FLandscape = false;
  //! By output column: rows still to come of a vertically merged item that
  //! starts there, and that item's column span.
  std::vector<int> FPendingRows, FPendingSpan;
  //! By output column: a cell definition starts there in the current row.
  std::vector<bool> FStartsCell;
};

//! Text for an RTF group: \ { } escaped, characters beyond ASCII as \uN?.
std::string RtfEscape(const std::string& utf8);

}  // namespace qd
