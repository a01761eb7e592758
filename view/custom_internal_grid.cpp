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
  FCols.SetDefaultSize(100);
  FRows.SetDefaultSize(20);
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
  if (value > kMaxSizeList && FCols.HasOwnSizes())
    throw EInvalidGridOperation(Msg(TMsg::SGridTooLarge));
  FCols.SetCount(value);
  FFixedCols = std::min(FFixedCols, value - 1);
  FCurrent.X = std::clamp(FCurrent.X, FFixedCols, value - 1);
  FAnchor.X = std::clamp(FAnchor.X, FFixedCols, value - 1);
  FLeftCol = std::clamp(FLeftCol, FFixedCols, value - 1);
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetRowCount(int value) {
  value = std::max(1, value);
  if (value > kMaxSizeList && FRows.HasOwnSizes())
    throw EInvalidGridOperation(Msg(TMsg::SGridTooLarge));
  FRows.SetCount(value);
  FFixedRows = std::min(FFixedRows, value - 1);
  FCurrent.Y = std::clamp(FCurrent.Y, FFixedRows, value - 1);
  FAnchor.Y = std::clamp(FAnchor.Y, FFixedRows, value - 1);
  FTopRow = std::clamp(FTopRow, FFixedRows, value - 1);
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetFixedCols(int value) {
  if (value < 0) throw EInvalidGridOperation(Msg(TMsg::SGridIndexOutOfRange));
  if (value >= ColCount()) throw EInvalidGridOperation(Msg(TMsg::SGridFixedColTooBig));
  FFixedCols = value;
  FLeftCol = std::max(FLeftCol, value);
  FCurrent.X = std::max(FCurrent.X, value);
  FAnchor = FCurrent;
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetFixedRows(int value) {
  if (value < 0) throw EInvalidGridOperation(Msg(TMsg::SGridIndexOutOfRange));
  if (value >= RowCount()) throw EInvalidGridOperation(Msg(TMsg::SGridFixedRowTooBig));
  FFixedRows = value;
  FTopRow = std::max(FTopRow, value);
  FCurrent.Y = std::max(FCurrent.Y, value);
  FAnchor = FCurrent;
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetDefaultColWidth(int value) {
  FCols.SetDefaultSize(value);
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetDefaultRowHeight(int value) {
  FRows.SetDefaultSize(value);
  UpdateScrollBars();
  InvalidateGrid();
}

int TCustomInternalGrid::ColWidth(int col) const {
  CheckIndex(col, ColCount());
  return FCols.Size(col);
}

int TCustomInternalGrid::RowHeight(int row) const {
  CheckIndex(row, RowCount());
  return FRows.Size(row);
}

void TCustomInternalGrid::SetColWidth(int col, int width) {
  CheckIndex(col, ColCount());
  FCols.SetSize(col, width);
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetRowHeight(int row, int height) {
  CheckIndex(row, RowCount());
  FRows.SetSize(row, height);
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetGridLineWidth(int value) {
  FCols.SetLineWidth(value);
  FRows.SetLineWidth(value);
  InvalidateGrid();
}

void TCustomInternalGrid::SetOptions(TVantraGridOptions value) {
  FOptions = value;
  InvalidateGrid();
}

// ---- Current cell and scrolling ----

void TCustomInternalGrid::SetCurrent(int col, int row, bool extendSelection) {
  col = std::clamp(col, FFixedCols, ColCount() - 1);
  row = std::clamp(row, FFixedRows, RowCount() - 1);
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
    return TGridCoord{std::clamp(c.X, FFixedCols, ColCount() - 1),
                      std::clamp(c.Y, FFixedRows, RowCount() - 1)};
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
  col = std::clamp(col, FFixedCols, ColCount() - 1);
  if (col == FLeftCol) return;
  FLeftCol = col;
  UpdateScrollBars();
  InvalidateGrid();
}

void TCustomInternalGrid::SetTopRow(int row) {
  row = std::clamp(row, FFixedRows, RowCount() - 1);
  if (row == FTopRow) return;
  FTopRow = row;
  UpdateScrollBars();
  InvalidateGrid();
}

int TCustomInternalGrid::SectionAfter(const TGridAxis& axis, int first, std::int64_t offset) {
  return axis.SectionAt(axis.Start(first) + offset - 1) + 1;
}

int TCustomInternalGrid::VisibleColCount() const {
  // The columns from the left one whose start lies inside the viewport.
  const int room = viewport()->width() - FixedWidth();
  if (room <= 0) return 0;
  return std::min(SectionAfter(FCols, FLeftCol, room), ColCount()) - FLeftCol;
}

int TCustomInternalGrid::VisibleRowCount() const {
  const int room = viewport()->height() - FixedHeight();
  if (room <= 0) return 0;
  return std::min(SectionAfter(FRows, FTopRow, room), RowCount()) - FTopRow;
}

void TCustomInternalGrid::ScrollToCurrent() {
  // The first column and row from which the current cell ends inside the
  // viewport, found by halving however far the cell is.
  auto firstShowing = [](const TGridAxis& axis, int first, int current, int room) {
    if (current <= first) return current;
    const std::int64_t end = axis.Start(current) + axis.Size(current);
    const std::int64_t need = end - room;  // the first shown section must start here or later
    if (axis.Start(first) >= need) return first;
    return std::min(current, axis.SectionAt(need - 1) + 1);
  };
  FLeftCol = firstShowing(FCols, FLeftCol, FCurrent.X, viewport()->width() - FixedWidth());
  FTopRow = firstShowing(FRows, FTopRow, FCurrent.Y, viewport()->height() - FixedHeight());
  UpdateScrollBars();
}

void TCustomInternalGrid::UpdateScrollBars() {
  FUpdatingScroll = true;
  horizontalScrollBar()->setRange(FFixedCols, std::max(FFixedCols, ColCount() - 1));
  horizontalScrollBar()->setPageStep(std::max(1, VisibleColCount()));
  horizontalScrollBar()->setValue(FLeftCol);
  verticalScrollBar()->setRange(FFixedRows, std::max(FFixedRows, RowCount() - 1));
  verticalScrollBar()->setPageStep(std::max(1, VisibleRowCount()));
  verticalScrollBar()->setValue(FTopRow);
  horizontalScrollBar()->setTracking(FOptions.Has(TVantraGridOption::hgThumbTracking));
  verticalScrollBar()->setTracking(FOptions.Has(TVantraGridOption::hgThumbTracking));
  FUpdatingScroll = false;
}

void TCustomInternalGrid::scrollContentsBy(int, int) {
  if (FUpdatingScroll) return;
  if (FEditorMode) PlaceEditor();
  FLeftCol = std::clamp(horizontalScrollBar()->value(), FFixedCols, ColCount() - 1);
  FTopRow = std::clamp(verticalScrollBar()->value(), FFixedRows, RowCount() - 1);
  InvalidateGrid();
}

// ---- Geometry ----

int TCustomInternalGrid::ColLeft(int col) const {
  if (col < FFixedCols) return static_cast<int>(FCols.Start(col));
  return FixedWidth() + static_cast<int>(FCols.Start(col) - FCols.Start(FLeftCol));
}

int TCustomInternalGrid::RowTop(int row) const {
  if (row < FFixedRows) return static_cast<int>(FRows.Start(row));
  return FixedHeight() + static_cast<int>(FRows.Start(row) - FRows.Start(FTopRow));
}

int TCustomInternalGrid::FixedWidth() const {
  return static_cast<int>(FCols.Start(FFixedCols));
}

int TCustomInternalGrid::FixedHeight() const {
  return static_cast<int>(FRows.Start(FFixedRows));
}

QRect TCustomInternalGrid::CellRect(int col, int row) const {
  return QRect(ColLeft(col), RowTop(row), ColWidth(col), RowHeight(row));
}

TGridCoord TCustomInternalGrid::MouseCoord(int x, int y) const {
  // A fixed section, or the scrolled section at that distance past the fixed ones.
  auto find = [](const TGridAxis& axis, int p, int fixed, int first) {
    if (p < 0) return -1;
    const std::int64_t fixedEnd = axis.Start(fixed);
    const int i = p < fixedEnd ? axis.SectionAt(p)
                               : axis.SectionAt(axis.Start(first) + (p - fixedEnd));
    return i >= 0 && i < axis.Count() ? i : -1;
  };
  const int c = find(FCols, x, FFixedCols, FLeftCol);
  const int r = find(FRows, y, FFixedRows, FTopRow);
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
