#include "export/grid_paint.h"

#include <algorithm>
#include <cmath>

#include "engine/core/text_codec.h"
#include "engine/core/text_helpers.h"
#include "export/column_fit.h"

namespace qd {

namespace {

// Nearest integer, halves to even.
int Scale(int pixels, double scale) {
  return static_cast<int>(std::nearbyint(static_cast<double>(pixels) * scale));
}

// Byte length of the first `chars` characters of a UTF-8 text.
std::size_t CharBytes(std::string_view text, std::size_t chars) {
  std::size_t i = 0;
  for (std::size_t n = 0; n < chars && i < text.size(); ++n) NextCodePoint(text, i);
  return i;
}

}  // namespace

// ---- Layout ----

int TVantraGridPaint::ScaledIndexSize(const std::vector<int>& sizes, int index, int fixed,
                                      int first) const {
  const int at = index < fixed ? index : fixed + index - first;
  return at >= 0 && at < static_cast<int>(sizes.size()) ? sizes[static_cast<std::size_t>(at)] : 0;
}

int TVantraGridPaint::ScaledColWidth(int col) const {
  return ScaledIndexSize(FColWidths, col, FixedCols(), FirstDataCol());
}

int TVantraGridPaint::ScaledRowHeight(int row) const {
  return ScaledIndexSize(FRowHeights, row, FixedRows(), FirstDataRow());
}

int TVantraGridPaint::HeaderWidth() const {
  int w = 0;
  if (ExportOptions.PrintRowCaptions)
    for (int c = 0; c < FixedCols(); ++c) w += ScaledColWidth(c) + LineWidth;
  return w;
}

int TVantraGridPaint::HeaderHeight() const {
  int h = 0;
  if (ExportOptions.PrintColCaptions)
    for (int r = 0; r < FixedRows(); ++r) h += ScaledRowHeight(r) + LineWidth;
  return h;
}

void TVantraGridPaint::BeginExport() {
  // Header sizes are kept whether or not they are printed; only printed ones
  // count towards the page.
  FColWidths.clear();
  FRowHeights.clear();
  for (int c = 0; c < FixedCols(); ++c) FColWidths.push_back(Scale(ColumnWidth(c), HorzScale));
  for (int c = FirstDataCol(); c <= LastDataCol(); ++c)
    FColWidths.push_back(Scale(ColumnWidth(c), HorzScale));
  auto height = [this](int r) { return RowHeights ? RowHeights(r) : kDefaultExportRowHeight; };
  for (int r = 0; r < FixedRows(); ++r) FRowHeights.push_back(Scale(height(r), VertScale));
  for (int r = FirstDataRow(); r <= LastDataRow(); ++r)
    FRowHeights.push_back(Scale(height(r), VertScale));

  FPageRect = {OriginLeft, OriginTop, OriginLeft + PageWidth, OriginTop + PageHeight};
  if (FPageRect.Width() <= 0) {
    int w = HeaderWidth();
    for (int c = FirstDataCol(); c <= LastDataCol(); ++c) w += ScaledColWidth(c) + LineWidth;
    FPageRect.Right = FPageRect.Left + w;
  }
  if (FPageRect.Height() <= 0) {
    int h = HeaderHeight();
    for (int r = FirstDataRow(); r <= LastDataRow(); ++r) h += ScaledRowHeight(r) + LineWidth;
    FPageRect.Bottom = FPageRect.Top + h;
  }
  // A picture as large as the table also holds the footnote under it.
  if (!FootnoteLines().empty()) {
    if (PageHeight <= 0) FPageRect.Bottom += FootnoteHeight();
    if (PageWidth <= 0) {
      const int ppi = PixelsPerInch > 0 ? PixelsPerInch : 96;
      for (const std::string& line : FootnoteLines())
        FPageRect.Right = std::max(
            FPageRect.Right, FPageRect.Left + Scale(TextPixelWidth(line, ExportOptions.DataFont, ppi),
                                                    HorzScale) + 2 * TextMargin);
    }
  }
  FDataRect = FPageRect;
  FDataRect.Left += HeaderWidth();
  FDataRect.Top += HeaderHeight();
}

void TVantraGridPaint::EndExport() {
  FColWidths.clear();
  FRowHeights.clear();
  FLinePoints.clear();
  FLineCounts.clear();
  FPendingSpan.clear();
  FPendingRows.clear();
}

void TVantraGridPaint::ExportData() {
  DrawTable(FirstDataCol(), LastDataCol(), FirstDataRow(), LastDataRow());
  DrawFootnotes(TableBottom(FirstDataRow(), LastDataRow()));
}

int TVantraGridPaint::TableBottom(int firstRow, int lastRow) const {
  int y = FDataRect.Top;
  for (int r = firstRow; r <= lastRow; ++r) y += ScaledRowHeight(r) + LineWidth;
  return y;
}

int TVantraGridPaint::FootnoteLineHeight() const {
  return Scale(kDefaultExportRowHeight, VertScale);
}

int TVantraGridPaint::FootnoteHeight() const {
  if (FootnoteLines().empty()) return 0;
  return FootnoteLineHeight() * (static_cast<int>(FootnoteLines().size()) + 1);
}

// The footnote lines from half a line under `top`, left-aligned with the table.
void TVantraGridPaint::DrawFootnotes(int top) {
  if (FootnoteLines().empty()) return;
  const int h = FootnoteLineHeight();
  int y = top + h / 2;
  Canvas->SetFont(ExportOptions.DataFont);
  for (const std::string& line : FootnoteLines()) {
    DrawText({FPageRect.Left, y, FPageRect.Right, y + h}, line, TAlignment::taLeftJustify);
    y += h;
  }
}

void TVantraGridPaint::DrawTable(int firstCol, int lastCol, int firstRow, int lastRow) {
  Canvas->SetPenWidth(LineWidth);
  const bool cols = ExportOptions.PrintColCaptions, rows = ExportOptions.PrintRowCaptions;
  const int headerLeft = FPageRect.Left + HeaderWidth(), headerTop = FPageRect.Top + HeaderHeight();
  if (cols && rows)
    DrawSection(FPageRect.Left, FPageRect.Top, 0, FixedCols() - 1, 0, FixedRows() - 1);
  if (cols) DrawSection(headerLeft, FPageRect.Top, firstCol, lastCol, 0, FixedRows() - 1);
  if (rows) DrawSection(FPageRect.Left, headerTop, 0, FixedCols() - 1, firstRow, lastRow);
  DrawSection(FDataRect.Left, FDataRect.Top, firstCol, lastCol, firstRow, lastRow);
}

// ---- Sections ----

// A header item of row `row` that begins left of c0 (but not in the header
// columns) and reaches into it: the part of it from c0 on.
TVantraGridPaint::TSpan TVantraGridPaint::ContinuedAcross(int c0, int row) const {
  for (int j = c0 - 1; j >= FirstDataCol(); --j) {
    const TGridExportCell& cell = SnapshotCell(j, row);
    if (cell.ColSpan < 2) continue;
    if (j + cell.ColSpan <= c0) return {};
    return {j + cell.ColSpan - c0, std::max(cell.RowSpan, 1), cell.Kind, true};
  }
  return {};
}

// A header item of column `col` that begins above r0 (but not in the header
// rows) and reaches into it: the part of it from r0 on.
TVantraGridPaint::TSpan TVantraGridPaint::ContinuedDown(int r0, int col) const {
  for (int i = r0 - 1; i >= FirstDataRow(); --i) {
    const TGridExportCell& cell = SnapshotCell(col, i);
    if (cell.RowSpan < 2) continue;
    if (i + cell.RowSpan <= r0) return {};
    return {std::max(cell.ColSpan, 1), i + cell.RowSpan - r0, cell.Kind, true};
  }
  return {};
}

void TVantraGridPaint::DrawSection(int left, int top, int c0, int c1, int r0, int r1) {
  if (c1 < c0 || r1 < r0) return;
  FLinePoints.clear();
  FLineCounts.clear();
  const std::size_t cols = static_cast<std::size_t>(Snapshot().ColCount);
  FPendingSpan.resize(cols);
  FPendingRows.resize(cols);
  std::fill(FPendingSpan.begin() + c0, FPendingSpan.begin() + c1 + 1, 0);
  std::fill(FPendingRows.begin() + c0, FPendingRows.begin() + c1 + 1, 0);
  FSectionC0 = c0;
  FSectionR0 = r0;
  const bool headerRowsOnly = r0 < FixedRows() && c0 > FirstDataCol();
  const bool headerColsOnly = c0 < FixedCols() && r0 > FirstDataRow();

  int y = top;
  for (int i = r0; i <= r1; ++i) {
    const int h = ScaledRowHeight(i) + LineWidth;
    int x = left, s = 0;
    for (int j = c0; j <= c1; ++j) {
      const int w = ScaledColWidth(j) + LineWidth;
      const std::size_t jj = static_cast<std::size_t>(j);
      if (FPendingRows[jj] > 0) {
        s = FPendingSpan[jj];
        if (--FPendingRows[jj] == 0) FPendingSpan[jj] = 0;
      }
      if (s <= 0) {
        TSpan span;
        if (headerRowsOnly && j == c0) span = ContinuedAcross(c0, i);
        if (!span.Continued && headerColsOnly && i == r0) span = ContinuedDown(r0, j);
        if (!span.Continued) {
          const TGridExportCell& cell = SnapshotCell(j, i);
          span = {cell.ColSpan, cell.RowSpan, cell.Kind, false};
        }
        DrawCell(j, i, {x, y, x + w, y + h}, span, c1, r1);
        if (span.Rows > 1) {
          FPendingRows[jj] = span.Rows - 1;
          FPendingSpan[jj] = span.Cols;
        }
        s = span.Cols;
      }
      if (s > 0) --s;
      x += w;
    }
    y += h;
  }
  if (!FLineCounts.empty()) Canvas->PolyPolyline(FLinePoints, FLineCounts);
}

// ---- Cells ----

void TVantraGridPaint::DrawCell(int j, int i, TPaintRect box, const TSpan& span, int c1, int r1) {
  ExportCell(j, i);
  const TVantraGridExportCellParams& p = CurrentCell();
  const TExportCellKind kind = span.Kind;
  if (kind == TExportCellKind::ekData) {
    Canvas->SetFont(p.Font);
    Canvas->SetBrushColor(p.Color);
    Canvas->FillRect(box);
    if (!p.Text.empty())
      DrawText(box, p.LowCount > 0 ? p.Text + std::string(kLowCountMarker) : p.Text, p.Alignment);
  } else if (kind != TExportCellKind::ekEmpty) {
    for (int x = j + 1; x < j + span.Cols && x <= c1; ++x)
      box.Right += ScaledColWidth(x) + LineWidth;
    for (int y = i + 1; y < i + span.Rows && y <= r1; ++y)
      box.Bottom += ScaledRowHeight(y) + LineWidth;
    Canvas->SetFont(p.Font);
    Canvas->SetBrushColor(p.Color);
    Canvas->FillRect(box);
    if (!p.Text.empty()) {
      const bool rowLabel = j < FixedCols() && i >= FixedRows();
      if (rowLabel && Canvas->TextWidth(p.Text) > box.Width() - 2 * TextMargin)
        DrawWrapped(box, p.Text, p.Alignment);
      else
        DrawText(box, p.Text, p.Alignment);
    }
  }
  AddGridLines(box, j == FSectionC0, i == FSectionR0);
}

void TVantraGridPaint::AddGridLines(const TPaintRect& box, bool leftEdge, bool topEdge) {
  auto line = [this](std::initializer_list<TPaintPoint> points) {
    FLinePoints.insert(FLinePoints.end(), points);
    FLineCounts.push_back(static_cast<int>(points.size()));
  };
  if (leftEdge) line({{box.Left, box.Top}, {box.Left, box.Bottom}});
  if (topEdge) line({{box.Left, box.Top}, {box.Right, box.Top}});
  line({{box.Left, box.Bottom}, {box.Right, box.Bottom}, {box.Right, box.Top}});
}

void TVantraGridPaint::DrawText(const TPaintRect& box, const std::string& text,
                                TAlignment alignment) {
  const TPaintRect inner{box.Left + TextMargin, box.Top + TextMargin, box.Right - TextMargin,
                         box.Bottom - TextMargin};
  const int width = Canvas->TextWidth(text);
  int x = inner.Left;
  if (alignment == TAlignment::taRightJustify)
    x = inner.Right - width;
  else if (alignment == TAlignment::taCenter)
    x = inner.Left + (inner.Width() - width) / 2;
  Canvas->TextRect(box, x, inner.Top, text);
}

void TVantraGridPaint::DrawWrapped(const TPaintRect& box, const std::string& text,
                                   TAlignment alignment) {
  const std::vector<std::string> lines =
      WrapText(text, box.Width() - 2 * TextMargin,
               [this](std::string_view t) { return Canvas->TextWidth(t); });
  const int lineHeight = Canvas->TextHeight("Gg") + TextMargin;
  int top = box.Top;
  for (const std::string& line : lines) {
    if (top + lineHeight > box.Bottom) break;
    DrawText({box.Left, top, box.Right, top + lineHeight}, line, alignment);
    top += lineHeight;
  }
}

std::vector<std::string> WrapText(const std::string& text, int room,
                                  const std::function<int(std::string_view)>& width) {
  std::vector<std::string> lines;
  auto fits = [&](std::string_view piece) { return width(piece) < room; };
  std::string rest = text, line;
  auto close = [&] {
    lines.push_back(line);
    line.clear();
  };
  while (!rest.empty()) {
    const std::size_t space = rest.find(' ');
    const std::string word = rest.substr(0, space);
    auto dropWord = [&] {
      const std::size_t next = space == std::string::npos ? rest.size()
                                                          : rest.find_first_not_of(' ', space);
      rest.erase(0, next == std::string::npos ? rest.size() : next);
    };
    if (fits(word)) {
      const std::string joined(Trim(line + " " + word, " "));
      if (fits(joined)) {
        line = joined;
        dropWord();
      } else {
        close();
      }
      continue;
    }
    if (!line.empty()) close();
    // Cut the word after as many leading characters as fit.
    std::size_t chars = 0, bytes = 0;
    while (true) {
      const std::size_t next = CharBytes(word, chars + 1);
      if (next == bytes || !fits(std::string_view(word).substr(0, next))) break;
      ++chars;
      bytes = next;
    }
    if (chars == 0) return lines;
    lines.push_back(word.substr(0, bytes));
    rest.erase(0, bytes);
    rest.erase(0, std::min(rest.find_first_not_of(' '), rest.size()));
  }
  if (!line.empty()) close();
  return lines;
}

}  // namespace qd
