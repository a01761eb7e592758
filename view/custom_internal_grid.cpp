// Size, geometry, current cell, scrolling and painting of the cell grid; its
// mouse, keyboard and editor input are in custom_internal_grid_input.cpp.
#include "view/custom_internal_grid.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "engine/core/messages.h"
#include "view/message_guard.h"

namespace qd {

namespace {

constexpr int kMaxSizeList = 134217726;

}  // namespace

TCustomInternalGrid::TCustomInternalGrid(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);
  FScrollTimer.setInterval(60);
  connect(&FScrollTimer, &QTimer::timeout, this, [this] { AutoScroll(); });
  connect(horizontalScrollBar(), &QScrollBar::sliderReleased, this,
          [this] { SetLeftCol(horizontalScrollBar()->value()); });
  connect(verticalScrollBar(), &QScrollBar::sliderReleased, this,
          [this] { SetTopRow(verticalScrollBar()->value()); });
  UpdateScrollBars();
}

void TCustomInternalGrid::CheckIndex(int index, int count) const {
  if (index < 0 || index >= count) throw EInvalidGridOperation(Msg(TMsg::SGridIndexOutOfRange));
}

void TCustomInternalGrid::SetColCount(int value) {
  value = std::max(1, value);
  if (value > kMaxSizeList && !FColWidths.empty())
    throw EInvalidGridOperation(Msg(TMsg::SGridTooLarge));
  FColCount = value;
  if (!FColWidths.empty()) FColWidths.resize(static_cast<std::size_t>(value), FDefaultColWidth);
  FFixedCols = std::min(FFixedCols, value - 1);
  FCurrent.X = std::clamp(FCurrent.X, FFixedCols, value - 1);
  FAnchor.X = std::clamp(FAnchor.X, FFixedCols, value - 1);
  FLeftCol = std::clamp(FLeftCol, FFixedCols, value - 1);
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetRowCount(int value) {
  value = std::max(1, value);
  if (value > kMaxSizeList && !FRowHeights.empty())
    throw EInvalidGridOperation(Msg(TMsg::SGridTooLarge));
  FRowCount = value;
  if (!FRowHeights.empty()) FRowHeights.resize(static_cast<std::size_t>(value), FDefaultRowHeight);
  FFixedRows = std::min(FFixedRows, value - 1);
  FCurrent.Y = std::clamp(FCurrent.Y, FFixedRows, value - 1);
  FAnchor.Y = std::clamp(FAnchor.Y, FFixedRows, value - 1);
  FTopRow = std::clamp(FTopRow, FFixedRows, value - 1);
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetFixedCols(int value) {
  if (value < 0) throw EInvalidGridOperation(Msg(TMsg::SGridIndexOutOfRange));
  if (value >= FColCount) throw EInvalidGridOperation(Msg(TMsg::SGridFixedColTooBig));
  FFixedCols = value;
  FLeftCol = std::max(FLeftCol, value);
  FCurrent.X = std::max(FCurrent.X, value);
  FAnchor = FCurrent;
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetFixedRows(int value) {
  if (value < 0) throw EInvalidGridOperation(Msg(TMsg::SGridIndexOutOfRange));
  if (value >= FRowCount) throw EInvalidGridOperation(Msg(TMsg::SGridFixedRowTooBig));
  FFixedRows = value;
  FTopRow = std::max(FTopRow, value);
  FCurrent.Y = std::max(FCurrent.Y, value);
  FAnchor = FCurrent;
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetDefaultColWidth(int value) {
  FDefaultColWidth = value;
  FColWidths.clear();
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetDefaultRowHeight(int value) {
  FDefaultRowHeight = value;
  FRowHeights.clear();
  UpdateScrollBars();
  InvalidateGrid();
}

int TCustomInternalGrid::ColWidth(int col) const {
  CheckIndex(col, FColCount);
  return FColWidths.empty() ? FDefaultColWidth : FColWidths[static_cast<std::size_t>(col)];
}

int TCustomInternalGrid::RowHeight(int row) const {
  CheckIndex(row, FRowCount);
  return FRowHeights.empty() ? FDefaultRowHeight : FRowHeights[static_cast<std::size_t>(row)];
}

void TCustomInternalGrid::SetColWidth(int col, int width) {
  CheckIndex(col, FColCount);
  if (FColWidths.empty()) FColWidths.assign(static_cast<std::size_t>(FColCount), FDefaultColWidth);
  FColWidths[static_cast<std::size_t>(col)] = width;
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetRowHeight(int row, int height) {
  CheckIndex(row, FRowCount);
  if (FRowHeights.empty())
    FRowHeights.assign(static_cast<std::size_t>(FRowCount), FDefaultRowHeight);
  FRowHeights[static_cast<std::size_t>(row)] = height;
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetGridLineWidth(int value) {
  FGridLineWidth = std::max(0, value);
  InvalidateGrid();
}

void TCustomInternalGrid::SetOptions(TVantraGridOptions value) {
  FOptions = value;
  InvalidateGrid();
}

// ---- Current cell and scrolling ----

void TCustomInternalGrid::SetCurrent(int col, int row, bool extendSelection) {
  col = std::clamp(col, FFixedCols, FColCount - 1);
  row = std::clamp(row, FFixedRows, FRowCount - 1);
  const bool moved = !(FCurrent == TGridCoord{col, row});
  const bool editing = FEditorMode;
  if (moved && editing) HideEditor();  // commits to the cell it edited
  FCurrent = {col, row};
  if (!extendSelection || !FOptions.Has(TVantraGridOption::hgRangeSelect)) FAnchor = FCurrent;
  ScrollToCurrent();
  if (moved && editing) ShowEditor();
  InvalidateGrid();
}

void TCustomInternalGrid::SetSelection(TGridCoord anchor, TGridCoord current) {
  auto clamp = [this](TGridCoord c) {
    return TGridCoord{std::clamp(c.X, FFixedCols, FColCount - 1),
                      std::clamp(c.Y, FFixedRows, FRowCount - 1)};
  };
  if (FEditorMode) HideEditor();
  FAnchor = clamp(anchor);
  FCurrent = clamp(current);
  InvalidateGrid();
}

QRect TCustomInternalGrid::Selection() const {
  return QRect(QPoint(std::min(FAnchor.X, FCurrent.X), std::min(FAnchor.Y, FCurrent.Y)),
               QPoint(std::max(FAnchor.X, FCurrent.X), std::max(FAnchor.Y, FCurrent.Y)));
}

void TCustomInternalGrid::SetLeftCol(int col) {
  col = std::clamp(col, FFixedCols, FColCount - 1);
  if (col == FLeftCol) return;
  FLeftCol = col;
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetTopRow(int row) {
  row = std::clamp(row, FFixedRows, FRowCount - 1);
  if (row == FTopRow) return;
  FTopRow = row;
  UpdateScrollBars();
  InvalidateGrid();
}

int TCustomInternalGrid::VisibleColCount() const {
  int n = 0;
  for (int c = FLeftCol, x = FixedWidth(); c < FColCount && x < viewport()->width(); ++c, ++n)
    x += ColWidth(c) + FGridLineWidth;
  return n;
}

int TCustomInternalGrid::VisibleRowCount() const {
  int n = 0;
  for (int r = FTopRow, y = FixedHeight(); r < FRowCount && y < viewport()->height(); ++r, ++n)
    y += RowHeight(r) + FGridLineWidth;
  return n;
}

void TCustomInternalGrid::ScrollToCurrent() {
  if (FCurrent.X < FLeftCol) FLeftCol = FCurrent.X;
  if (FCurrent.Y < FTopRow) FTopRow = FCurrent.Y;
  const int w = viewport()->width(), h = viewport()->height();
  while (FLeftCol < FCurrent.X && ColLeft(FCurrent.X) + ColWidth(FCurrent.X) > w) ++FLeftCol;
  while (FTopRow < FCurrent.Y && RowTop(FCurrent.Y) + RowHeight(FCurrent.Y) > h) ++FTopRow;
  UpdateScrollBars();
}

void TCustomInternalGrid::UpdateScrollBars() {
  FUpdatingScroll = true;
  horizontalScrollBar()->setRange(FFixedCols, std::max(FFixedCols, FColCount - 1));
  horizontalScrollBar()->setPageStep(std::max(1, VisibleColCount()));
  horizontalScrollBar()->setValue(FLeftCol);
  verticalScrollBar()->setRange(FFixedRows, std::max(FFixedRows, FRowCount - 1));
  verticalScrollBar()->setPageStep(std::max(1, VisibleRowCount()));
  verticalScrollBar()->setValue(FTopRow);
  horizontalScrollBar()->setTracking(FOptions.Has(TVantraGridOption::hgThumbTracking));
  verticalScrollBar()->setTracking(FOptions.Has(TVantraGridOption::hgThumbTracking));
  FUpdatingScroll = false;
}

void TCustomInternalGrid::scrollContentsBy(int, int) {
  if (FUpdatingScroll) return;
  if (FEditorMode) PlaceEditor();
  FLeftCol = std::clamp(horizontalScrollBar()->value(), FFixedCols, FColCount - 1);
  FTopRow = std::clamp(verticalScrollBar()->value(), FFixedRows, FRowCount - 1);
  InvalidateGrid();
}

// ---- Geometry ----

int TCustomInternalGrid::Extent(const std::vector<int>& sizes, int def, int from, int to) const {
  // Sum of sizes (plus grid lines) of [from, to).
  if (sizes.empty()) return (to - from) * (def + FGridLineWidth);
  int sum = 0;
  for (int i = from; i < to; ++i) sum += sizes[static_cast<std::size_t>(i)] + FGridLineWidth;
  return sum;
}

int TCustomInternalGrid::ColLeft(int col) const {
  if (col < FFixedCols) return Extent(FColWidths, FDefaultColWidth, 0, col);
  const int fixed = Extent(FColWidths, FDefaultColWidth, 0, FFixedCols);
  if (col >= FLeftCol) return fixed + Extent(FColWidths, FDefaultColWidth, FLeftCol, col);
  return fixed - Extent(FColWidths, FDefaultColWidth, col, FLeftCol);
}

int TCustomInternalGrid::RowTop(int row) const {
  if (row < FFixedRows) return Extent(FRowHeights, FDefaultRowHeight, 0, row);
  const int fixed = Extent(FRowHeights, FDefaultRowHeight, 0, FFixedRows);
  if (row >= FTopRow) return fixed + Extent(FRowHeights, FDefaultRowHeight, FTopRow, row);
  return fixed - Extent(FRowHeights, FDefaultRowHeight, row, FTopRow);
}

int TCustomInternalGrid::FixedWidth() const {
  return Extent(FColWidths, FDefaultColWidth, 0, FFixedCols);
}

int TCustomInternalGrid::FixedHeight() const {
  return Extent(FRowHeights, FDefaultRowHeight, 0, FFixedRows);
}

QRect TCustomInternalGrid::CellRect(int col, int row) const {
  return QRect(ColLeft(col), RowTop(row), ColWidth(col), RowHeight(row));
}

TGridCoord TCustomInternalGrid::MouseCoord(int x, int y) const {
  auto find = [this](int p, int fixed, int first, int count, auto size) {
    int pos = 0, i = 0;
    for (; i < fixed; ++i) {
      pos += size(i) + FGridLineWidth;
      if (p < pos) return i;
    }
    for (i = first; i < count; ++i) {
      pos += size(i) + FGridLineWidth;
      if (p < pos) return i;
    }
    return -1;
  };
  const int c =
      x < 0 ? -1 : find(x, FFixedCols, FLeftCol, FColCount, [this](int i) { return ColWidth(i); });
  const int r =
      y < 0 ? -1 : find(y, FFixedRows, FTopRow, FRowCount, [this](int i) { return RowHeight(i); });
  if (c < 0 || r < 0) return {-1, -1};
  return {c, r};
}

// ---- Painting ----

void TCustomInternalGrid::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  try {
    PaintCells(painter, event->rect());
  } catch (const std::exception& e) {
    // No message box inside a paint: show it once the paint is over, and only
    // once for a run of failing paints.
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    if (FPaintError.empty()) {
      FPaintError = e.what();
      QMetaObject::invokeMethod(
          this,
          [this] {
            const std::string text = FPaintError;
            ShowError(text);
            FPaintError.clear();
          },
          Qt::QueuedConnection);
    }
  }
}

void TCustomInternalGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
  SizeChanged();
}

}  // namespace qd
