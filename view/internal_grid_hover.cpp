// Hovering over the grid: the hot glyph button, and after the mouse rests the
// colour hint over comparable data cells or the attribute window of a label.
#include <QMouseEvent>

#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "model/cell_evidence.h"
#include "model/grid_info.h"
#include "view/attribute_window.h"
#include "view/internal_grid.h"
#include "view/message_guard.h"
#include "view/vantra_grid.h"

namespace qd {

namespace {

QRect ToQRect(const TGridRect& r) {
  return QRect(QPoint(r.Left, r.Top), QPoint(r.Right, r.Bottom));
}

}  // namespace

void TInternalGrid::HoverMove(QPoint pos) {
  if (pos != FHoverPos) {
    FHoverPos = pos;
    FHoverTimer.start();
  }
  if (!updatesEnabled()) return;
  SyncWithModel();
  if (!FValid) return;
  const TGridCoord cell = MouseCoord(pos.x(), pos.y());
  if (!(cell == FHoverCell)) HideHover();
  FHoverCell = cell;
  FHoverRegion = RegionAt(pos);
  FHoverLabel = nullptr;
  ShowCellTip(cell);
  const TGridButton* hot = nullptr;
  if (FHoverRegion == TGridRegion::grRowLabel || FHoverRegion == TGridRegion::grColLabel) {
    TGridButton* b = nullptr;
    FHoverLabel = FModel.FindLabelNode(
        FModel.Tree(FHoverRegion == TGridRegion::grColLabel ? 1 : 0), pos.x(), pos.y(), &b);
    hot = b;
  }
  if (hot != FHotButton) {
    if (FHotButton) viewport()->update(ToQRect(FHotButton->Rect).adjusted(-1, -1, 1, 1));
    FHotButton = hot;
    if (FHotButton) viewport()->update(ToQRect(FHotButton->Rect).adjusted(-1, -1, 1, 1));
  }
}

void TInternalGrid::ShowCellTip(const TGridCoord& cell) {
  std::string tip;
  if (FHoverRegion == TGridRegion::grData) {
    const int row = cell.Y - FixedRows(), col = cell.X - FixedCols();
    if (const std::optional<std::int64_t> n = CellLowCount(FModel, row, col))
      tip = Format(Msg(TMsg::SLowCountHint), std::to_string(*n));
    QColor color;
    std::string hint;
    if (FControl.OnMarkDataCell && FControl.OnMarkDataCell(col, row, color, &hint) &&
        !hint.empty())
      tip += (tip.empty() ? "" : "\n") + hint;
  }
  const QString text = QString::fromStdString(tip);
  if (viewport()->toolTip() != text) viewport()->setToolTip(text);
}

void TInternalGrid::HideHover() {
  if (FAttributeWindow) FAttributeWindow->hide();
  if (FColorHintActive) SetColorHintActive(false);
  FHintCell = {-9, -9};
}

void TInternalGrid::leaveEvent(QEvent* event) {
  TCustomInternalGrid::leaveEvent(event);
  FHoverTimer.stop();
  FHoverPos = {-1, -1};
  FHoverCell = {-1, -1};
  FHoverLabel = nullptr;
  HideHover();
  if (FHotButton) {
    FHotButton = nullptr;
    InvalidateGrid();
  }
}

void TInternalGrid::HoverTick() {
  SyncWithModel();
  if (!FValid || FHoverPos.x() < 0 || FHoverCell.X < 0) return;
  if (FHoverRegion == TGridRegion::grData) {
    if (!FLook.ShowColorHint || FHoverCell == FHintCell) return;
    FModel.BuildColoredCells(FHoverCell.Y - FixedRows(), FHoverCell.X - FixedCols());
    FHintCell = FHoverCell;
    SetColorHintActive(true);
  } else if ((FHoverRegion == TGridRegion::grRowLabel ||
              FHoverRegion == TGridRegion::grColLabel) &&
             FHoverLabel && FLook.ShowExtraAttributes &&
             !(FAttributeWindow && FAttributeWindow->isVisible())) {
    ShowAttributeWindow(*FHoverLabel, FHoverPos);
  }
}

void TInternalGrid::ShowAttributeWindow(const TLabelNode& label, QPoint pos) {
  std::vector<std::string> names, values;
  FModel.GetAttributeValues(label, names, values);
  if (names.empty() || values.empty()) return;
  if (!FAttributeWindow) FAttributeWindow = std::make_unique<TAttributeWindow>(this);
  FAttributeWindow->ShowLines(AttributeLines(names, values), viewport()->mapToGlobal(pos));
}

}  // namespace qd
