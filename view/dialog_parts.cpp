#include "view/dialog_parts.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <map>

namespace qd {

namespace {

const QColor kInk(40, 40, 40);
const QColor kBlue(30, 80, 170);
const QColor kGreen(20, 130, 60);
const QColor kRed(190, 40, 40);
const QColor kFolder(214, 170, 60);

void CheckBox(QPainter& p, int x, int y, TDialogGlyph mark) {
  p.setPen(kInk);
  p.setBrush(Qt::white);
  p.drawRect(x, y, 8, 8);
  p.setPen(QPen(kGreen, 1.6));
  if (mark == TDialogGlyph::dgCheckAll) {
    p.drawLine(QPointF(x + 1.5, y + 4.5), QPointF(x + 3.5, y + 6.5));
    p.drawLine(QPointF(x + 3.5, y + 6.5), QPointF(x + 7, y + 1.5));
  } else if (mark == TDialogGlyph::dgCheckInvert) {
    p.fillRect(x + 2, y + 2, 5, 5, Qt::gray);
  }
}

void Folder(QPainter& p, bool open) {
  p.setPen(kInk);
  p.setBrush(kFolder);
  p.drawRect(1, 4, 13, 9);
  p.drawRect(1, 2, 5, 2);
  if (open) {
    QPainterPath flap;
    flap.moveTo(3, 7);
    flap.lineTo(15, 7);
    flap.lineTo(13, 13);
    flap.lineTo(1, 13);
    flap.closeSubpath();
    p.setBrush(kFolder.lighter(125));
    p.drawPath(flap);
  }
}

void Bars(QPainter& p, bool horizontal, const QColor& c) {
  for (int i = 0; i < 3; ++i) {
    const QRect r = horizontal ? QRect(2, 2 + i * 4, 12, 3) : QRect(2 + i * 4, 2, 3, 12);
    p.fillRect(r, i == 0 ? c : c.lighter(150));
  }
}

QPixmap Draw(TDialogGlyph glyph) {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  using enum TDialogGlyph;
  switch (glyph) {
    case dgCheckAll:
    case dgCheckNone:
    case dgCheckInvert:
      CheckBox(p, 1, 1, glyph == dgCheckNone ? dgCheckAll : glyph);
      CheckBox(p, 6, 6, glyph);
      break;
    case dgNewGroup:
      Folder(p, false);
      p.setPen(QPen(kGreen, 2));
      p.drawLine(10, 9, 15, 9);
      p.drawLine(12, 7, 12, 12);
      break;
    case dgDelete:
      p.setPen(QPen(kRed, 2.2));
      p.drawLine(4, 4, 12, 12);
      p.drawLine(12, 4, 4, 12);
      break;
    case dgAdd:
      p.setPen(QPen(kGreen, 2.4));
      p.drawLine(3, 8, 13, 8);
      p.drawLine(8, 3, 8, 13);
      break;
    case dgSave:
      p.setPen(kInk);
      p.setBrush(kBlue);
      p.drawRect(2, 2, 12, 12);
      p.fillRect(5, 3, 6, 4, Qt::white);
      p.fillRect(5, 10, 6, 4, QColor(200, 200, 200));
      break;
    case dgCalculator:
      p.setPen(kInk);
      p.setBrush(QColor(230, 230, 230));
      p.drawRect(3, 1, 10, 14);
      p.fillRect(5, 3, 6, 3, kGreen);
      for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) p.fillRect(5 + c * 2, 8 + r * 3, 1, 2, kInk);
      break;
    case dgAxisRows:
      Bars(p, true, kBlue);
      break;
    case dgAxisColumns:
      Bars(p, false, kGreen);
      break;
    case dgAxisPages:
      p.setPen(kInk);
      p.setBrush(Qt::white);
      p.drawRect(4, 1, 9, 12);
      p.drawRect(2, 3, 9, 12);
      break;
    case dgGroupClosed:
    case dgGroupOpen:
      Folder(p, glyph == dgGroupOpen);
      break;
  }
  return pm;
}

}  // namespace

TVTButton::TVTButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
  setFlat(true);
  setAttribute(Qt::WA_Hover);
  setMinimumSize(75, 25);
}

void TVTButton::paintEvent(QPaintEvent* event) {
  if (underMouse() && isEnabled()) {
    QPushButton::paintEvent(event);
    return;
  }
  QPainter p(this);
  QRect r = rect();
  const QColor light = palette().color(QPalette::Light);
  const QColor dark = palette().color(QPalette::Dark);
  auto frame = [&p](const QRect& f, const QColor& topLeft, const QColor& bottomRight) {
    p.setPen(topLeft);
    p.drawLine(f.topLeft(), f.topRight());
    p.drawLine(f.topLeft(), f.bottomLeft());
    p.setPen(bottomRight);
    p.drawLine(f.bottomLeft(), f.bottomRight());
    p.drawLine(f.topRight(), f.bottomRight());
  };
  frame(r, light, dark);
  frame(r.adjusted(1, 1, -1, -1), dark, light);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.state &= ~QStyle::State_MouseOver;
  option.features |= QStyleOptionButton::Flat;
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = r.adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
  }
  style()->drawControl(QStyle::CE_PushButtonLabel, &option, &p, this);
}

QLabel* HeaderStrip(const std::string& text, QWidget* parent) {
  auto* label = new QLabel(QText(text), parent);
  label->setAutoFillBackground(true);
  QPalette pal = label->palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Dark));
  pal.setColor(QPalette::WindowText, pal.color(QPalette::BrightText));
  label->setPalette(pal);
  QFont f = label->font();
  f.setBold(true);
  label->setFont(f);
  label->setContentsMargins(4, 2, 4, 2);
  return label;
}

QToolButton* ToolButton(QWidget* parent, const QIcon& icon, TMsg hint) {
  auto* b = new QToolButton(parent);
  b->setAutoRaise(true);
  b->setIcon(icon);
  b->setToolTip(QMsg(hint));
  b->setAccessibleName(QMsg(hint));
  b->setFocusPolicy(Qt::TabFocus);
  return b;
}

QIcon DialogGlyph(TDialogGlyph glyph) {
  static std::map<TDialogGlyph, QIcon> cache;
  auto it = cache.find(glyph);
  if (it == cache.end()) it = cache.emplace(glyph, QIcon(Draw(glyph))).first;
  return it->second;
}

TOkCancel OkCancelRow(QDialog& dialog) {
  TOkCancel out;
  out.Ok = new TVTButton(QMsg(TMsg::SDialogOk), &dialog);
  out.Cancel = new TVTButton(QMsg(TMsg::SDialogCancel), &dialog);
  out.Ok->setDefault(true);
  out.Ok->setAutoDefault(true);
  QObject::connect(out.Cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  out.Row = new QHBoxLayout;
  out.Row->addStretch(1);
  out.Row->addWidget(out.Ok);
  out.Row->addWidget(out.Cancel);
  return out;
}

}  // namespace qd
