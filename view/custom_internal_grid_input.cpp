// Input of the cell grid: column sizing and range selection with the mouse,
// keyboard navigation and the in-place editor.
#include "view/custom_internal_grid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QWheelEvent>
#include <algorithm>

#include "view/message_guard.h"

namespace qd {

namespace {

constexpr int kSizingZone = 7;

}  // namespace

// ---- Mouse ----

int TCustomInternalGrid::SizingBoundary(int x, int y) const {
  if (!FOptions.Has(TVantraGridOption::hgColSizing) || y >= FixedHeight()) return -1;
  const int before = (kSizingZone - std::min(GridLineWidth(), 6)) / 2;
  for (int c = 0; c < ColCount(); ++c) {
    if (c >= FFixedCols && c < FLeftCol) continue;
    const int right = ColLeft(c) + ColWidth(c);
    if (right > viewport()->width() + kSizingZone) break;
    if (x >= right - before && x < right - before + kSizingZone) return c;
  }
  return -1;
}

void TCustomInternalGrid::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (OnMouseDownHook) OnMouseDownHook(event->button(), event->modifiers(), pos.x(), pos.y());
  if (event->button() == Qt::LeftButton) {
    setFocus(Qt::MouseFocusReason);
    if (const int c = SizingBoundary(pos.x(), pos.y()); c >= 0) {
      FDrag = TDrag::ColSizing;
      FSizingIndex = c;
      FSizingPos = pos.x();
      FSizingOffset = ColLeft(c) + ColWidth(c) - pos.x();
      return;
    }
    const TGridCoord cell = MouseCoord(pos.x(), pos.y());
    if (FOptions.Has(TVantraGridOption::hgEditing) && cell.X >= FFixedCols &&
        cell.Y >= FFixedRows && event->type() == QEvent::MouseButtonPress) {
      if (cell == FCurrent)
        ShowEditor();
      else
        SetCurrent(cell.X, cell.Y);
    } else if (cell.X >= FFixedCols && cell.Y >= FFixedRows) {
      SetCurrent(cell.X, cell.Y, event->modifiers() & Qt::ShiftModifier);
      FDrag = TDrag::Selecting;
      FLastMouse = pos;
      FScrollTimer.start();
    }
  }
  CellMouseDown(event);
}

void TCustomInternalGrid::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (OnMouseMoveHook) OnMouseMoveHook(event->modifiers(), pos.x(), pos.y());
  FLastMouse = pos;
  if (FDrag == TDrag::ColSizing) {
    FSizingPos = pos.x();
    InvalidateGrid();
  } else if (FDrag == TDrag::Selecting) {
    const TGridCoord cell = MouseCoord(pos.x(), pos.y());
    if (cell.X >= FFixedCols && cell.Y >= FFixedRows && !(cell == FCurrent))
      SetCurrent(cell.X, cell.Y, true);
  } else {
    viewport()->setCursor(SizingBoundary(pos.x(), pos.y()) >= 0 ? Qt::SplitHCursor
                                                                : Qt::ArrowCursor);
  }
}

void TCustomInternalGrid::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (FDrag == TDrag::ColSizing) {
    const int width = pos.x() + FSizingOffset - ColLeft(FSizingIndex);
    if (width > 1) SetColWidth(FSizingIndex, width);
  }
  FDrag = TDrag::Normal;
  FScrollTimer.stop();
  if (OnMouseUpHook) OnMouseUpHook(event->button(), event->modifiers(), pos.x(), pos.y());
}

void TCustomInternalGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
}

void TCustomInternalGrid::AutoScroll() {
  if (FDrag != TDrag::Selecting) return;
  int dx = 0, dy = 0;
  if (FLastMouse.x() < FixedWidth()) dx = -1;
  if (FLastMouse.x() >= viewport()->width()) dx = 1;
  if (FLastMouse.y() < FixedHeight()) dy = -1;
  if (FLastMouse.y() >= viewport()->height()) dy = 1;
  if (dx || dy) MoveCurrentBy(dx, dy, true);
}

void TCustomInternalGrid::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y() / 120;
  if (steps) MoveCurrentBy(0, -steps, false);
  event->accept();
}

// ---- Keyboard ----

void TCustomInternalGrid::MoveCurrentBy(int dx, int dy, bool shift) {
  SetCurrent(FCurrent.X + dx, FCurrent.Y + dy, shift);
}

bool TCustomInternalGrid::ArrowKey(int key, bool shift, bool ctrl) {
  const int rtl = layoutDirection() == Qt::RightToLeft ? -1 : 1;
  const int pageCols = std::max(1, VisibleColCount() - 1);
  switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
      const int dy = key == Qt::Key_Up ? -1 : 1;
      if (ctrl)
        SetTopRow(FTopRow + dy);
      else
        MoveCurrentBy(0, dy, shift);
      return true;
    }
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const int dx = key == Qt::Key_Left ? -1 : 1;
      if (ctrl) {
        SetLeftCol(FLeftCol + dx * pageCols);
        MoveCurrentBy(dx * pageCols, 0, shift);
      } else {
        MoveCurrentBy(dx * rtl, 0, shift);
      }
      return true;
    }
    default:
      return false;
  }
}

bool TCustomInternalGrid::PageKey(int key, bool shift, bool ctrl) {
  const int pageRows = std::max(1, VisibleRowCount() - 1);
  switch (key) {
    case Qt::Key_PageUp:
      if (ctrl)
        SetCurrent(FCurrent.X, FTopRow, shift);
      else
        MoveCurrentBy(0, -pageRows, shift);
      return true;
    case Qt::Key_PageDown:
      if (ctrl)
        SetCurrent(FCurrent.X, FTopRow + pageRows, shift);
      else
        MoveCurrentBy(0, pageRows, shift);
      return true;
    case Qt::Key_Home:
      SetCurrent(FFixedCols, ctrl ? FFixedRows : FCurrent.Y, shift);
      return true;
    case Qt::Key_End:
      SetCurrent(ColCount() - 1, ctrl ? RowCount() - 1 : FCurrent.Y, shift);
      return true;
    default:
      return false;
  }
}

void TCustomInternalGrid::TabKey(bool back) {
  int c = FCurrent.X + (back ? -1 : 1), r = FCurrent.Y;
  if (c >= ColCount()) {
    c = FFixedCols;
    r = r + 1 >= RowCount() ? FFixedRows : r + 1;
  } else if (c < FFixedCols) {
    c = ColCount() - 1;
    r = r - 1 < FFixedRows ? RowCount() - 1 : r - 1;
  }
  SetCurrent(c, r);
}

void TCustomInternalGrid::keyPressEvent(QKeyEvent* event) {
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const int key = event->key();
  if (ArrowKey(key, shift, ctrl) || PageKey(key, shift, ctrl)) {
    event->accept();
    return;
  }
  switch (key) {
    case Qt::Key_F2:
      ShowEditor();
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (FOptions.Has(TVantraGridOption::hgAlwaysShowEditor)) break;
      if (FEditorMode)
        HideEditor();
      else
        ShowEditor();
      break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      TabKey(key == Qt::Key_Backtab || shift);
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  event->accept();
}

// ---- In-place editor ----

void TCustomInternalGrid::ShowEditor() {
  if (!FOptions.Has(TVantraGridOption::hgEditing) || FCurrent.X < FFixedCols ||
      FCurrent.Y < FFixedRows)
    return;
  if (!FEditor) {
    FEditor = new QPlainTextEdit(viewport());
    FEditor->setFrameShape(QFrame::NoFrame);
    FEditor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FEditor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FEditor->document()->setDocumentMargin(2);
    FEditor->installEventFilter(this);
    FEditor->viewport()->installEventFilter(this);
  }
  FEditCell = FCurrent;
  FEditorMode = true;
  FEditor->clear();
  PlaceEditor();
  FEditor->show();
  FEditor->setFocus();
}

void TCustomInternalGrid::HideEditor() {
  if (!FEditorMode) return;
  FEditorMode = false;
  const TGridCoord cell = FEditCell;
  FEditCell = {-1, -1};
  const std::string text = FEditor->toPlainText().toStdString();
  FEditor->hide();
  setFocus();
  if (OnEditorCommit) Guard([&] { OnEditorCommit(cell.X, cell.Y, text); });
}

void TCustomInternalGrid::PlaceEditor() {
  if (FEditor && FEditorMode) FEditor->setGeometry(CellRect(FEditCell.X, FEditCell.Y));
}

bool TCustomInternalGrid::EditorKey(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      // Enter selects all text, or moves to its end when all is selected.
      QTextCursor c = FEditor->textCursor();
      const bool all = c.selectionStart() == 0 && c.selectionEnd() == FEditor->toPlainText().size();
      if (all && c.hasSelection())
        c.movePosition(QTextCursor::End);
      else
        c.select(QTextCursor::Document);
      FEditor->setTextCursor(c);
      return true;
    }
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return true;  // swallowed
    default:
      return false;
  }
}

bool TCustomInternalGrid::eventFilter(QObject* watched, QEvent* event) {
  if (FEditor && (watched == FEditor || watched == FEditor->viewport())) {
    if (event->type() == QEvent::KeyPress) return EditorKey(static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::MouseButtonDblClick) {
      // A double click in the editor is a double click on the grid.
      auto* m = static_cast<QMouseEvent*>(event);
      const QPoint pos =
          viewport()->mapFrom(static_cast<QWidget*>(watched), m->position().toPoint());
      QMouseEvent copy(QEvent::MouseButtonDblClick, pos, m->globalPosition(), m->button(),
                       m->buttons(), m->modifiers());
      mouseDoubleClickEvent(&copy);
      return true;
    }
  }
  return QAbstractScrollArea::eventFilter(watched, event);
}

}  // namespace qd
