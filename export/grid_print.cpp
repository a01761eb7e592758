#include "export/grid_print.h"

#include <algorithm>
#include <cmath>

namespace qd {

void TVantraGridPrint::Print(TPrintDevice& device) {
  FDevice = &device;
  struct TForget {
    TPrintDevice*& Device;
    ~TForget() { Device = nullptr; }
  } forget{FDevice};
  DoExport();
}

void TVantraGridPrint::BeginExport() {
  TPrintDevice& d = *FDevice;
  Canvas = &d.Canvas();
  OriginLeft = d.OffsetX();
  OriginTop = d.OffsetY();
  PageWidth = d.HorzRes() - d.OffsetX();
  PageHeight = d.VertRes() - d.OffsetY();
  const int screen = PixelsPerInch > 0 ? PixelsPerInch : 96;
  HorzScale = static_cast<double>(d.PixelsPerInchX()) / screen;
  VertScale = static_cast<double>(d.PixelsPerInchY()) / screen;
  LineWidth = std::max(1, static_cast<int>((HorzScale + VertScale) / 2));
  // The text keeps the room around it that it has on the screen.
  TextMargin = std::max(2, static_cast<int>(std::lround(2 * HorzScale)));
  TVantraGridPaint::BeginExport();
  FColBreaks = Breaks(FirstDataCol(), LastDataCol(), DataRect().Left, DataRect().Right, true);
  FRowBreaks = Breaks(FirstDataRow(), LastDataRow(), DataRect().Top, DataRect().Bottom, false);
}

// The last index of each page: a page ends before the column (row) that
// would cross its edge. A page always holds at least one column (row), so one
// wider than the page gets a page of its own and no page is left without data.
std::vector<int> TVantraGridPrint::Breaks(int first, int last, int start, int end,
                                          bool cols) const {
  std::vector<int> breaks;
  int pos = start, pageFirst = first;
  for (int i = first; i <= last; ++i) {
    const int size = (cols ? ScaledColWidth(i) : ScaledRowHeight(i)) + LineWidth;
    pos += size;
    if (pos > end && i > pageFirst) {
      breaks.push_back(i - 1);
      pageFirst = i;
      pos = start + size;
    }
  }
  if (last >= first) breaks.push_back(last);
  return breaks;
}

void TVantraGridPrint::ExportData() {
  FDevice->BeginDoc();
  struct TEnd {
    TPrintDevice& Device;
    ~TEnd() { Device.EndDoc(); }
  } end{*FDevice};
  bool firstPage = true;
  int top = FirstDataRow(), bottom = DataRect().Top;
  for (int lastRow : FRowBreaks) {
    int left = FirstDataCol();
    for (int lastCol : FColBreaks) {
      if (!firstPage) FDevice->NewPage();
      firstPage = false;
      DrawTable(left, lastCol, top, lastRow);
      bottom = TableBottom(top, lastRow);
      left = lastCol + 1;
    }
    top = lastRow + 1;
  }
  // The footnote under the last page's table, or on a page of its own.
  if (FootnoteLines().empty()) return;
  if (bottom + FootnoteHeight() > PageRect().Bottom) {
    FDevice->NewPage();
    bottom = PageRect().Top;
  }
  DrawFootnotes(bottom);
}

void TVantraGridPrint::EndExport() {
  FColBreaks.clear();
  FRowBreaks.clear();
  TVantraGridPaint::EndExport();
  Canvas = nullptr;
}

}  // namespace qd
