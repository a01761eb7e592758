#include "view/internal_grid.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>

#include "model/format_mask.h"
#include "model/grid_info.h"
#include "view/attribute_window.h"
#include "view/message_guard.h"
#include "view/quick_menu.h"
#include "view/text_lines.h"
#include "view/vantra_grid.h"
#include "view/view_reactions.h"

namespace qd {

namespace {

constexpr int kButtonSize = 15;
constexpr int kButtonStep = 17;

TGridRect ToGridRect(const QRect& r) {
  return {r.left(), r.top(), r.right(), r.bottom()};
}

// The layout only reads the model's nodes; the rectangles in them are the
// view's to fill, so the view writes them through the layout's pointers.
template <class T>
T& Writable(const T* node) {
  return *const_cast<T*>(node);
}

void ClearRects(const TLabelNodes& nodes) {
  for (const auto& n : nodes) {
    n->Rect = {};
    if (n->NextDimButton) n->NextDimButton->Rect = {};
    if (n->HierarchyButton) n->HierarchyButton->Rect = {};
    ClearRects(n->Children);
  }
}

void ClearRects(const TSubLevelNodes& nodes) {
  for (const auto& n : nodes) {
    n->Rect = {};
    ClearRects(n->Children);
  }
}

}  // namespace

QColor ColorHintColor(double value, double minimum, double maximum, TvtcColorSchema schema) {
  if (minimum == maximum) return QColor(255, 0, 0);
  double x = schema == TvtcColorSchema::vtcHighestIsCold ? (maximum - value) / (maximum - minimum)
                                                         : (value - minimum) / (maximum - minimum);
  x = std::clamp(x, 0.0, 1.0);
  const int hue = static_cast<int>(std::lround((1 - x) * 240)) % 360;
  const int saturation = static_cast<int>(std::trunc(x * 50)) + 50;
  return QColor::fromHslF(hue / 360.0f, saturation / 100.0f, 0.5f).toRgb();
}

int WrappedRowHeight(int lines, int textHeight, int defaultRowHeight) {
  if (lines <= 0) return defaultRowHeight;
  const int pad = (defaultRowHeight - textHeight) / 2;
  return pad + lines * (textHeight + pad);
}

TInternalGrid::TInternalGrid(TCustomVantraGrid& control, TGridInfo& model, QWidget* parent)
    : TCustomInternalGrid(parent), FControl(control), FModel(model) {
  OnMouseDownHook = [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
    if (FControl.OnInternalGridMouseDown)
      Guard([&] { FControl.OnInternalGridMouseDown(FControl, b, m, x, y); });
  };
  OnMouseUpHook = [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
    if (FControl.OnInternalGridMouseUp)
      Guard([&] { FControl.OnInternalGridMouseUp(FControl, b, m, x, y); });
  };
  OnMouseMoveHook = [this](Qt::KeyboardModifiers m, int x, int y) {
    if (FControl.OnInternalGridMouseMove)
      Guard([&] { FControl.OnInternalGridMouseMove(FControl, m, x, y); });
    HoverMove(QPoint(x, y));
  };
  OnEditorCommit = [this](int col, int row, const std::string& text) {
    CommitEditorText(col, row, text);
  };
  FQuickMenu = std::make_unique<TQuickMenu>(this);
  FQuickMenu->OnClick = [this](int id) { Guard([&] { QuickMenuClick(id); }); };
  FHoverTimer.setInterval(2000);
  connect(&FHoverTimer, &QTimer::timeout, this, [this] { Guard([this] { HoverTick(); }); });
}

TInternalGrid::~TInternalGrid() = default;

void TInternalGrid::LookChanged() {
  QPalette pal = viewport()->palette();
  pal.setColor(QPalette::Window, FLook.BackgroundColor);
  viewport()->setPalette(pal);
  if (FValid) ComputeRowHeights();
  InvalidateGrid();
}

// ---- Layout ----

void TInternalGrid::RebuildLayout(bool keepView) {
  // The nodes the hover and the menus point at go with the old trees.
  FHotButton = nullptr;
  FHoverLabel = nullptr;
  FHoverCell = {-1, -1};
  HideHover();
  if (!keepView) FUserSelection = false;
  FLabelItems.clear();
  if (!FModel.IsActive()) {
    FLayout = TGridLayout();
    if (FValid) {
      FValid = false;
      SetFixedCols(0);
      SetFixedRows(0);
      SetRowCount(1);
      SetColCount(1);
    }
    InvalidateGrid();
    return;
  }
  const int oldFixedCols = FixedCols(), oldFixedRows = FixedRows();
  const int oldLeft = LeftCol(), oldTop = TopRow();
  FLayout = TGridLayout(FModel);
  const auto& items = FLayout.HeaderItems();
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i].Label) FLabelItems.emplace(items[i].Label, i);
  SetFixedCols(0);
  SetFixedRows(0);
  SetRowCount(FLayout.RowCount());
  SetColCount(FLayout.ColCount());
  SetFixedCols(FLayout.FixedCols());
  SetFixedRows(FLayout.FixedRows());
  if (keepView && FValid) {
    SetLeftCol(oldLeft + FLayout.FixedCols() - oldFixedCols);
    SetTopRow(oldTop + FLayout.FixedRows() - oldFixedRows);
  }
  FValid = true;
  ComputeRowHeights();
  InvalidateGrid();
}

bool TInternalGrid::LayoutStale() const {
  return FModel.PendingNotifications() > 0;
}

void TInternalGrid::SyncWithModel() {
  if (LayoutStale()) FControl.ProcessModelNotifications();
}

void TInternalGrid::NotificationsDelivered() {
  if (FPaintSkipped) InvalidateGrid();
  FPaintSkipped = false;
}

void TInternalGrid::ModelChanged(TChangeKind kind) {
  switch (ViewReactionTo(kind).Layout) {
    case TLayoutReaction::lrRebuild:
      RebuildLayout();
      break;
    case TLayoutReaction::lrRebuildKeep:
      RebuildLayout(true);
      break;
    case TLayoutReaction::lrNone:
      break;
  }
}

void TInternalGrid::CubeChanged(bool bound) {
  if (!bound) RebuildLayout();
}

void TInternalGrid::SizeChanged() {
  if (FValid) InvalidateGrid();
}

void TInternalGrid::ComputeRowHeights() {
  if (!FValid || FModel.RowTree().empty()) return;
  const int first = FLayout.FixedRows();
  if (!FModel.WordWrap()) {
    SetDefaultRowHeight(DefaultRowHeight());  // drops every individual height
    return;
  }
  const QFontMetrics fm(FLook.LabelFont);
  const TTextWidth measure = [&fm](const std::string& s) {
    return fm.horizontalAdvance(QString::fromStdString(s));
  };
  for (int i = 0; i < FLayout.DataRowCount(); ++i) {
    const TLabelNode* line = FModel.GetRowLine(i);
    int height = DefaultRowHeight();
    if (line) {
      const auto it = FLabelItems.find(line);
      int width = 0;
      if (it != FLabelItems.end()) {
        const TGridLayoutItem& item = FLayout.HeaderItems()[it->second];
        for (int c = item.Col; c < item.Col + item.ColSpan; ++c)
          width += ColWidth(c) + GridLineWidth();
        width -= GridLineWidth();
      }
      width -= kButtonStep * ((line->NextDimButton ? 1 : 0) + (line->HierarchyButton ? 1 : 0));
      const auto lines = WrapWords(FModel.GetNodeCaption(*line), width - 2, measure);
      height = WrappedRowHeight(static_cast<int>(lines.size()), fm.height(), DefaultRowHeight());
    }
    SetRowHeight(first + i, height);
  }
}

// ---- Geometry ----

QRect TInternalGrid::ItemRect(const TGridLayoutItem& item) const {
  const int left = ColLeft(item.Col);
  const int top = RowTop(item.Row);
  const int lastCol = item.Col + item.ColSpan - 1;
  const int lastRow = item.Row + item.RowSpan - 1;
  const int right = ColLeft(lastCol) + ColWidth(lastCol);
  const int bottom = RowTop(lastRow) + RowHeight(lastRow);
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

bool TInternalGrid::ItemVisible(const TGridLayoutItem& item) const {
  // Items of scrolling columns or rows must reach into the visible part.
  const int lastCol = item.Col + item.ColSpan - 1;
  const int lastRow = item.Row + item.RowSpan - 1;
  if (item.Col >= FixedCols() && lastCol < LeftCol()) return false;
  if (item.Row >= FixedRows() && lastRow < TopRow()) return false;
  if (item.Col >= FixedCols() && item.Col >= LeftCol() + FVisibleCols) return false;
  if (item.Row >= FixedRows() && item.Row >= TopRow() + FVisibleRows) return false;
  return true;
}

QRect TInternalGrid::ShownPart(const TGridLayoutItem& item, const QRect& r) const {
  // A label scrolled partly out keeps its buttons and text in the part that
  // is still in its header band.
  QRect shown = r;
  if (item.Col >= FixedCols() && shown.left() < FixedWidth()) shown.setLeft(FixedWidth());
  if (item.Row >= FixedRows() && shown.top() < FixedHeight()) shown.setTop(FixedHeight());
  return shown;
}

void TInternalGrid::ComputeGeometry() {
  if (!FValid || LayoutStale()) return;
  FVisibleCols = VisibleColCount();
  FVisibleRows = VisibleRowCount();
  ClearRects(FModel.RowTree());
  ClearRects(FModel.ColTree());
  ClearRects(FModel.SubLevelNodes());
  for (int axis = 0; axis < 2; ++axis)
    for (const TCaptionNode& c : FModel.CaptionNodes(axis)) Writable(&c).Rect = {};
  for (const TGridLayoutItem& item : FLayout.HeaderItems()) {
    if (!ItemVisible(item)) continue;
    const QRect r = ItemRect(item);
    if (item.Label) {
      TLabelNode& node = Writable(item.Label);
      node.Rect = ToGridRect(r);
      // The buttons sit in the part of the label still on screen.
      const QRect shown = ShownPart(item, r);
      int x = shown.left() + 2;
      for (TGridButton* b : {node.NextDimButton.get(), node.HierarchyButton.get()}) {
        if (!b) continue;
        b->Rect = ToGridRect(QRect(x, shown.top() + 2, kButtonSize, kButtonSize));
        x += kButtonStep;
      }
    } else if (item.Caption) {
      Writable(item.Caption).Rect = ToGridRect(r);
    } else if (item.SubLevel) {
      Writable(item.SubLevel).Rect = ToGridRect(r);
    }
  }
}

// ---- Values ----

std::string TInternalGrid::CellText(int dataCol, int dataRow) const {
  int s = 0, f = 0, sf = 0;
  if (!FModel.GetColumnSubLevel(dataCol, s, f, sf)) return {};
  if (s < 0 || s >= FModel.SummarySettings().Count()) return {};
  const TSubFunctionInfo& info = FModel.SummarySettings().Items(s).Function(f).SubFunction(sf);
  const TCellValue v = FModel.GetCellValue(dataRow, dataCol);
  if (!v.HasValue)
    return FLook.FormatNulls ? TFormatMask(info.FormatString).Format(0) : std::string();
  return TFormatMask(info.FormatString).Format(v.Value);
}

void TInternalGrid::SetColorHintActive(bool on) {
  FColorHintActive = on;
  InvalidateGrid();
}

// ---- Clicks ----

bool TInternalGrid::ClickButtonAt(QPoint pos) {
  SyncWithModel();
  if (!FValid) return false;
  ComputeGeometry();
  for (int axis = 0; axis < 2; ++axis) {
    TGridButton* button = nullptr;
    TLabelNode* node = FModel.FindLabelNode(FModel.Tree(axis), pos.x(), pos.y(), &button);
    if (!node || !button) continue;
    setUpdatesEnabled(false);
    const bool done = Guard([&] {
      if (button == node->NextDimButton.get()) {
        if (node->IsExpanded())
          FModel.CollapseNode(*node, axis);
        else
          FModel.ExpandNode(*node, axis, false);
      } else if (node->ExpandedIntoHierarchy) {
        FModel.CollapseNode(*node, axis);
      } else {
        FModel.ExpandNode(*node, axis, true);
      }
    });
    (void)done;
    FHotButton = nullptr;
    setUpdatesEnabled(true);
    return true;
  }
  return false;
}

void TInternalGrid::CellMouseDown(QMouseEvent* event) {
  SyncWithModel();
  if (Sizing() || !FValid) return;
  if (event->button() != Qt::LeftButton || event->type() != QEvent::MouseButtonPress) return;
  const QPoint pos = event->position().toPoint();
  switch (RegionAt(pos)) {
    case TGridRegion::grData:
      FUserSelection = true;
      break;
    case TGridRegion::grRowLabel:
    case TGridRegion::grColLabel:
      ClickButtonAt(pos);
      break;
    case TGridRegion::grSubFunction:
      ComputeGeometry();
      Guard([&] { ClickSubFunctionHeader(pos); });
      break;
    default:
      break;
  }
}

}  // namespace qd
