// The pivot grid on a printer or a file of pages: printer pixels scaled from
// screen pixels, the data split into pages across and then down, the header
// columns and rows repeated on every page.
#pragma once

#include <string>
#include <vector>

#include "export/grid_paint.h"

namespace qd {

//! Page margins; kept and copied, the printer writer does not use them.
struct TvtPageParams {
  int LeftMargin = 0, TopMargin = 0, RightMargin = 0, BottomMargin = 0;
  void Assign(const TvtPageParams& other) { *this = other; }
};

//! The paper of a document of pages (a PDF file).
struct TPaperOptions {
  std::string PageSize = "A4";  //!< A3, A4, A5, B5, Letter or Legal
  bool Landscape = false;
  int MarginMillimeters = 10;  //!< on every side
};

class TVantraGridPrint : public TVantraGridPaint {
 public:
  TvtPageParams* Page() const { return FPage; }
  void SetPage(TvtPageParams* page) { FPage = page; }

  //! Prints the grid on the device, one document of one or more pages.
  void Print(TPrintDevice& device);

  //! The last data column of each page across and the last data row of each
  //! page down, valid while printing.
  const std::vector<int>& ColBreaks() const { return FColBreaks; }
  const std::vector<int>& RowBreaks() const { return FRowBreaks; }

 protected:
  void BeginExport() override;
  void EndExport() override;
  void ExportData() override;

 private:
  std::vector<int> Breaks(int first, int last, int start, int end, bool cols) const;

  TvtPageParams* FPage = nullptr;
  TPrintDevice* FDevice = nullptr;
  std::vector<int> FColBreaks, FRowBreaks;
};

}  // namespace qd
