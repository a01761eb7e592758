// Draws the exported part of the pivot grid onto a drawing surface as a
// table: each cell filled with its colour, its text clipped inside it, header
// items that span cells drawn as one box (continued as an empty box on the
// next page), row labels that do not fit wrapped onto several lines, and thin
// grid lines around every box, collected per section into polylines.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "export/grid_export.h"
#include "export/paint_canvas.h"

namespace qd {

//! Height of a grid row in pixels when no view supplies heights.
constexpr int kDefaultExportRowHeight = 20;

class TVantraGridPaint : public TVantraGridExport {
 public:
  //! Row heights of the grid in pixels (unset: kDefaultExportRowHeight).
  std::function<int(int row)> RowHeights;

  // ---- The layout, valid between BeginExport and EndExport ----
  const TPaintRect& PageRect() const { return FPageRect; }
  const TPaintRect& DataRect() const { return FDataRect; }
  //! Scaled width of a grid column, height of a grid row (header or data).
  int ScaledColWidth(int col) const;
  int ScaledRowHeight(int row) const;

 protected:
  //! Lays out (the derived writer has set the canvas, origin, size and scales).
  void BeginExport() override;
  void EndExport() override;
  //! Draws the whole table once.
  void ExportData() override;

  //! Draws the corner, column headers, row headers and data of the given data
  //! columns and rows, with the pen width set.
  void DrawTable(int firstCol, int lastCol, int firstRow, int lastRow);
  //! Header width and height of the page: the printed header columns and rows.
  int HeaderWidth() const;
  int HeaderHeight() const;
  //! Bottom of the table when it shows data rows firstRow…lastRow.
  int TableBottom(int firstRow, int lastRow) const;
  //! Room the footnote takes under the table (0 without one), and draws it.
  int FootnoteHeight() const;
  void DrawFootnotes(int top);

  TPaintCanvas* Canvas = nullptr;
  int OriginTop = 0, OriginLeft = 0;
  int PageHeight = 0, PageWidth = 0;  //!< 0: as large as the table
  int TextMargin = 2;
  int LineWidth = 0;
  double HorzScale = 1.0, VertScale = 1.0;

 private:
  struct TSpan {
    int Cols = 0, Rows = 0;
    TExportCellKind Kind = TExportCellKind::ekEmpty;
    bool Continued = false;
  };
  void DrawSection(int left, int top, int c0, int c1, int r0, int r1);
  TSpan ContinuedAcross(int c0, int row) const;
  TSpan ContinuedDown(int r0, int col) const;
  void DrawCell(int j, int i, TPaintRect box, const TSpan& span, int c1, int r1);
  void AddGridLines(const TPaintRect& box, bool leftEdge, bool topEdge);
  void DrawText(const TPaintRect& box, const std::string& text, TAlignment alignment);
  void DrawWrapped(const TPaintRect& box, const std::string& text, TAlignment alignment);
  int FootnoteLineHeight() const;
  int ScaledIndexSize(const std::vector<int>& sizes, int index, int fixed, int first) const;

  std::vector<int> FColWidths, FRowHeights;
  TPaintRect FPageRect, FDataRect;
  std::vector<TPaintPoint> FLinePoints;
  std::vector<int> FLineCounts;
  std::vector<int> FPendingSpan, FPendingRows;
  int FSectionC0 = 0, FSectionR0 = 0;
};

//! Row-label wrapping: the lines of `text` that fit in `room` surface units
//! by `width` (a piece fits when narrower than room), words broken at spaces
//! and a word wider than the room cut after as many characters as fit.
std::vector<std::string> WrapText(const std::string& text, int room,
                                  const std::function<int(std::string_view)>& width);

}  // namespace qd
