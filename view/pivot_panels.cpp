#include "view/pivot_panels.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "model/dimension_state.h"
#include "view/glyphs.h"
#include "view/message_guard.h"
#include "view/vantra_grid.h"
#include "view/xp_paint.h"

namespace qd {

namespace {

// The grid a drag belongs to: this process and the control's address.
QByteArray GridToken(const TCustomVantraGrid& grid) {
  return QByteArray::number(QCoreApplication::applicationPid()) + ':' +
         QByteArray::number(reinterpret_cast<quintptr>(&grid), 16);
}

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

QToolButton* FlatButton(QWidget* parent, const char* glyph, int left, int top, QSize size,
                        TMsg hint) {
  auto* b = new QToolButton(parent);
  b->setAutoRaise(true);
  b->setIcon(QIcon(NamedPixmap(glyph)));
  b->setIconSize(NamedPixmap(glyph).size());
  b->setGeometry(QRect(QPoint(left, top), size));
  b->setToolTip(Q(Msg(hint)));
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

}  // namespace

QMimeData* DimDragMimeData(const TCustomVantraGrid& grid, const TDimDragData& data) {
  auto* mime = new QMimeData;
  const QByteArray payload = GridToken(grid) + ';' + QByteArray::number(data.DimId) + ';' +
                             QByteArray::number(static_cast<int>(data.Area)) + ';' +
                             QByteArray::number(data.Pos.x()) + ';' +
                             QByteArray::number(data.Pos.y());
  mime->setData(kDimensionMimeType, payload);
  return mime;
}

std::optional<TDimDragData> ReadDimDragMimeData(const TCustomVantraGrid& grid,
                                                const QMimeData& mime) {
  if (!mime.hasFormat(kDimensionMimeType)) return std::nullopt;
  const QList<QByteArray> parts = mime.data(kDimensionMimeType).split(';');
  if (parts.size() != 5 || parts[0] != GridToken(grid)) return std::nullopt;
  bool ok[4] = {};
  TDimDragData out;
  out.DimId = parts[1].toInt(&ok[0]);
  const int area = parts[2].toInt(&ok[1]);
  out.Pos = QPoint(parts[3].toInt(&ok[2]), parts[4].toInt(&ok[3]));
  if (!(ok[0] && ok[1] && ok[2] && ok[3]) || area < 0 || area > 2) return std::nullopt;
  out.Area = static_cast<TDimGroup>(area);
  return out;
}

// ---- TvtPanel ----

TvtPanel::TvtPanel(QWidget* parent) : QWidget(parent), FColor(palette().color(QPalette::Button)) {}

void TvtPanel::SetXPStyle(bool on) {
  FXPStyle = on;
  update();
}

void TvtPanel::SetColor(const QColor& c) {
  FColor = c;
  update();
}

void TvtPanel::PaintBackground(QPainter& p, const QRect& inner) {
  if (FXPStyle)
    PaintXPBackground(p, inner, FColor);
  else
    p.fillRect(inner, FColor);
}

void TvtPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QRect r = rect();
  PaintEdge(p, r, OuterRaised);
  r.adjust(1, 1, -1, -1);
  if (InnerBevel) {
    PaintEdge(p, r, false);
    r.adjust(1, 1, -1, -1);
  }
  PaintBackground(p, r);
}

// ---- Dimension panel text ----

TDimPanelText SplitDimPanelText(const std::string& name, int panelWidth, int lines,
                                const TTextWidth& measure) {
  TDimPanelText out;
  std::string rest;
  const int firstWidth = panelWidth - 2 - 19;
  out.FirstLine = SplitLine(name, firstWidth, measure, rest);
  if (lines <= 1) {
    if (!rest.empty()) {
      out.FirstLine = name;
      out.FirstLineWhole = true;
    }
    return out;
  }
  for (int i = 1; i < lines && !rest.empty(); ++i) {
    std::string next;
    out.MoreLines.push_back(SplitLine(rest, panelWidth - 4, measure, next));
    rest = next;
  }
  return out;
}

// ---- TDimPivotPanel ----

TDimPivotPanel::TDimPivotPanel(TCustomVantraGrid& grid, int dimId, TDimensionState* state,
                               TDimGroup area, QWidget* parent)
    : TvtPanel(parent), FGrid(grid), FDimId(dimId), FState(state), FArea(area) {
  InnerBevel = false;
  FButton = new QToolButton(this);
  FButton->setAutoRaise(true);
  FButton->setGeometry(1, 1, 18, 18);
  FButton->setFocusPolicy(Qt::NoFocus);
  QObject::connect(FButton, &QToolButton::clicked, this, [this] {
    if (!FGrid.Vantra() || !FState) return;
    Guard([this] {
      const QPoint at = mapToGlobal(QPoint(0, 17));
      if (FGrid.OnDimensionMembersDialog)
        FGrid.OnDimensionMembersDialog(FGrid, *FState, at);
      else
        ShowMessage(Format(Msg(TMsg::SNotBuiltYet), FName));
      Reload();
    });
  });
  Reload();
}

void TDimPivotPanel::Reload() {
  const bool page = FArea == TDimGroup::dgPage;
  const bool drill = FState && FState->FilterActive;
  const char* glyph =
      page ? (drill ? "DIMINDRILL" : "DIMINACTIVE") : (drill ? "DIMDRILL" : "DIMACTIVE");
  FButton->setIcon(QIcon(NamedPixmap(glyph)));
  FButton->setIconSize(NamedPixmap(glyph).size());
  FName = FState ? FState->DisplayName : std::string();
  if (FName.empty()) FName = FGrid.Model().GetDimName(FDimId);
  setToolTip(Q(FName));
  update();
}

void TDimPivotPanel::paintEvent(QPaintEvent* event) {
  TvtPanel::paintEvent(event);
  QPainter p(this);
  QFont font = FGrid.VisualSettings().DimPanelFont();
  font.setBold(true);
  p.setFont(font);
  p.setPen(palette().color(QPalette::ButtonText));
  const QFontMetrics fm(font);
  const int h = fm.height();
  const int first = std::max(18, h);
  const TDimPanelText text =
      SplitDimPanelText(FName, width(), FGrid.VisualSettings().DimPanelLines(),
                        [&fm](const std::string& s) { return fm.horizontalAdvance(Q(s)); });
  const QRect line1(QPoint(19, (first - h) / 2), QPoint(width() - 2, (first - h) / 2 + h));
  if (text.FirstLineWhole) {
    p.save();
    p.setClipRect(line1);
    p.drawText(line1, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Q(text.FirstLine));
    p.restore();
  } else {
    p.drawText(line1, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextExpandTabs, Q(text.FirstLine));
  }
  int y = first;
  for (const auto& line : text.MoreLines) {
    p.drawText(QRect(2, y, width() - 4, h), Qt::AlignLeft | Qt::AlignVCenter, Q(line));
    y += h;
  }
}

void TDimPivotPanel::mousePressEvent(QMouseEvent* event) {
  FPressed = event->button() == Qt::LeftButton;
  FPressPos = event->position().toPoint();
}

QDrag* TDimPivotPanel::CreateDrag() {
  auto* drag = new QDrag(this);
  drag->setMimeData(DimDragMimeData(FGrid, DragData()));
  drag->setPixmap(grab());
  drag->setHotSpot(QPoint(width() / 2, height() / 2));
  return drag;
}

void TDimPivotPanel::mouseMoveEvent(QMouseEvent* event) {
  if (!FPressed || !(event->buttons() & Qt::LeftButton)) return;
  if ((event->position().toPoint() - FPressPos).manhattanLength() <
      QApplication::startDragDistance())
    return;
  FPressed = false;
  QDrag* drag = CreateDrag();
  // The panels stay disabled and in place until the drag ends, dropped or
  // cancelled; the areas are rebuilt after it.
  FGrid.BeginDimDrag();
  drag->exec(Qt::MoveAction);
  drag->deleteLater();
  FGrid.EndDimDrag();
}

// ---- TPivotPanel ----

TPivotPanel::TPivotPanel(TCustomVantraGrid& grid, TDimGroup group, QWidget* parent)
    : TvtPanel(parent), FGrid(grid), FGroup(group) {
  setAcceptDrops(true);
  FScroller = new QScrollArea(this);
  FScroller->setFrameShape(QFrame::NoFrame);
  FScroller->setWidgetResizable(false);
  FScroller->setAutoFillBackground(false);
  FScroller->viewport()->setAutoFillBackground(false);
  const bool vertical = group == TDimGroup::dgRow;
  FScroller->setHorizontalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOff
                                                   : Qt::ScrollBarAsNeeded);
  FScroller->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  FInner = new QWidget;
  FInner->setAutoFillBackground(false);
  FScroller->setWidget(FInner);
}

void TPivotPanel::resizeEvent(QResizeEvent* event) {
  TvtPanel::resizeEvent(event);
  FScroller->setGeometry(rect().adjusted(2, 2, -2, -2));
  Arrange();
}

void TPivotPanel::Clear() {
  for (TDimPivotPanel* p : FPanels) {
    p->hide();
    p->deleteLater();  // a panel may be the source of the drag that is ending
  }
  FPanels.clear();
  Arrange();
}

TDimPivotPanel* TPivotPanel::AddPanel(int dimId, TDimensionState* state) {
  auto* panel = new TDimPivotPanel(FGrid, dimId, state, FGroup, FInner);
  panel->SetColor(PanelColor);
  panel->SetXPStyle(FGrid.VisualSettings().VisualStyle() == TvtVisualStyle::vsXP);
  FPanels.push_back(panel);
  panel->show();
  Arrange();
  return panel;
}

std::vector<TDimPivotPanel*> TPivotPanel::Panels() const {
  return FPanels;
}

void TPivotPanel::Arrange() {
  const int w = FGrid.VisualSettings().PivotWidth();
  const int h = FGrid.DimPanelHeight();
  const bool vertical = FGroup == TDimGroup::dgRow;
  for (std::size_t i = 0; i < FPanels.size(); ++i) {
    const int k = static_cast<int>(i);
    FPanels[i]->setGeometry(vertical ? QRect(0, k * h, w, h) : QRect(k * w, 0, w, h));
  }
  const int n = static_cast<int>(FPanels.size());
  const QSize view = FScroller->viewport()->size();
  FInner->resize(vertical ? QSize(view.width(), std::max(n * h, view.height()))
                          : QSize(std::max(n * w, view.width()), std::max(h, view.height())));
}

void TPivotPanel::dragEnterEvent(QDragEnterEvent* event) {
  if (ReadDimDragMimeData(FGrid, *event->mimeData()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TPivotPanel::dragMoveEvent(QDragMoveEvent* event) {
  if (ReadDimDragMimeData(FGrid, *event->mimeData()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TPivotPanel::dropEvent(QDropEvent* event) {
  const std::optional<TDimDragData> dragged = ReadDimDragMimeData(FGrid, *event->mimeData());
  if (!dragged) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  const QPoint pos = FInner->mapFrom(this, event->position().toPoint());
  FGrid.DropDimension(*this, *dragged, pos);
}

// ---- TAggPanel ----

TAggPanel::TAggPanel(TCustomVantraGrid& grid, QWidget* parent) : TvtPanel(parent) {
  OuterRaised = true;
  FMap = FlatButton(this, "GRIDTOOL", 3, 2, QSize(20, 20), TMsg::SToolDimensionMap);
  FSums = FlatButton(this, "SUMTOOL", 23, 2, QSize(20, 20), TMsg::SToolSummaries);
  FStates = FlatButton(this, "MOREICONS", 43, 2, QSize(13, 20), TMsg::SToolPivotStates);
  auto run = [&grid](TGridAction TCustomVantraGrid::*action, TMsg name) {
    return [&grid, action, name] {
      if (!grid.Vantra() || !grid.Vantra()->Active()) return;
      Guard([&] {
        if (grid.*action)
          (grid.*action)(grid);
        else
          ShowMessage(Format(Msg(TMsg::SNotBuiltYet), Msg(name)));
      });
    };
  };
  connect(FMap, &QToolButton::clicked, this,
          run(&TCustomVantraGrid::OnDimensionMapDialog, TMsg::SToolDimensionMap));
  connect(FSums, &QToolButton::clicked, this,
          run(&TCustomVantraGrid::OnSummariesDialog, TMsg::SToolSummaries));
  connect(FStates, &QToolButton::clicked, this,
          run(&TCustomVantraGrid::OnPivotStatesMenu, TMsg::SToolPivotStates));
}

void TAggPanel::ArrangeButtons() {
  int left = FMap->isHidden() ? 3 : 23;
  FSums->move(left, 2);
  if (!FSums->isHidden()) left += 20;
  FStates->move(left, 2);
}

}  // namespace qd
