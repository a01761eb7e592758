// The chart toolbar's images, drawn once on first use: 16 x 16, transparent.
#include <QPainter>
#include <QPainterPath>
#include <array>

#include "view/chart/chart_toolbar.h"

namespace qd {

namespace {

void DrawAxes(QPainter& p) {
  p.setPen(QPen(QColor(64, 64, 64), 1));
  p.drawLine(2, 1, 2, 14);
  p.drawLine(2, 14, 15, 14);
}

void DrawGlyph(QPainter& p, int index) {
  const QColor blue(40, 90, 200), red(210, 40, 30), green(40, 150, 60);
  switch (index) {
    case 0:  // values of the row axis: rows
    case 1:  // values of the column axis: columns
      for (int i = 0; i < 3; ++i) {
        const QRect r = index == 0 ? QRect(1, 2 + i * 5, 14, 3) : QRect(2 + i * 5, 1, 3, 14);
        p.fillRect(r, i == 0 ? blue : QColor(150, 170, 210));
      }
      break;
    case 2:  // the lowest is dark
    case 3: {  // the highest is dark
      QLinearGradient g(0, 14, 0, 2);
      g.setColorAt(0, index == 3 ? QColor(120, 160, 255) : red.darker(140));
      g.setColorAt(1, index == 3 ? red.darker(140) : QColor(120, 160, 255));
      p.fillRect(QRect(3, 2, 10, 12), g);
      p.setPen(QColor(64, 64, 64));
      p.drawRect(QRect(3, 2, 9, 11));
      break;
    }
    case 4:  // by value: rising bars
      DrawAxes(p);
      for (int i = 0; i < 4; ++i) p.fillRect(QRect(4 + i * 3, 11 - i * 3, 2, 3 + i * 3), blue);
      break;
    case 5: {  // by name
      QFont f = p.font();
      f.setPixelSize(9);
      f.setBold(true);
      p.setFont(f);
      p.setPen(blue);
      p.drawText(QRect(0, 0, 16, 8), Qt::AlignCenter, "A");
      p.drawText(QRect(0, 7, 16, 9), Qt::AlignCenter, "Z");
      break;
    }
    case 6:  // like the grid
      p.setPen(QColor(64, 64, 64));
      for (int i = 0; i <= 3; ++i) {
        p.drawLine(1, 2 + i * 4, 14, 2 + i * 4);
        p.drawLine(1 + i * 13 / 3, 2, 1 + i * 13 / 3, 14);
      }
      p.fillRect(QRect(2, 3, 4, 3), QColor(214, 244, 248).darker(110));
      break;
    case 7:  // points
      DrawAxes(p);
      p.setBrush(blue);
      p.setPen(Qt::NoPen);
      for (const QPoint c : {QPoint(6, 10), QPoint(9, 5), QPoint(13, 8)}) p.drawEllipse(c, 2, 2);
      break;
    case 8:  // bars
      DrawAxes(p);
      p.fillRect(QRect(4, 7, 3, 7), blue);
      p.fillRect(QRect(8, 3, 3, 11), red);
      p.fillRect(QRect(12, 9, 3, 5), green);
      break;
    case 9:  // horizontal bars
      DrawAxes(p);
      p.fillRect(QRect(3, 2, 7, 3), blue);
      p.fillRect(QRect(3, 6, 11, 3), red);
      p.fillRect(QRect(3, 10, 5, 3), green);
      break;
    case 10:  // a line
      DrawAxes(p);
      p.setPen(QPen(red, 2));
      p.drawPolyline(QPolygon({QPoint(3, 12), QPoint(7, 6), QPoint(10, 9), QPoint(15, 3)}));
      break;
    case 11:  // a pie
      p.setPen(QColor(64, 64, 64));
      p.setBrush(blue);
      p.drawPie(QRect(1, 1, 13, 13), 90 * 16, 200 * 16);
      p.setBrush(red);
      p.drawPie(QRect(1, 1, 13, 13), 290 * 16, 100 * 16);
      p.setBrush(green);
      p.drawPie(QRect(1, 1, 13, 13), 30 * 16, 60 * 16);
      break;
    case 12: {  // an area
      DrawAxes(p);
      QPainterPath path(QPointF(3, 14));
      for (const QPointF c : {QPointF(3, 9), QPointF(7, 5), QPointF(11, 8), QPointF(15, 3), QPointF(15, 14)})
        path.lineTo(c);
      p.fillPath(path, QColor(40, 90, 200, 180));
      break;
    }
    default:
      break;
  }
}

}  // namespace

const QPixmap& ChartGlyph(int index) {
  static const std::array<QPixmap, kChartGlyphCount> glyphs = [] {
    std::array<QPixmap, kChartGlyphCount> out;
    for (int i = 0; i < kChartGlyphCount; ++i) {
      QPixmap pixmap(16, 16);
      pixmap.fill(Qt::transparent);
      QPainter p(&pixmap);
      p.setRenderHint(QPainter::Antialiasing);
      DrawGlyph(p, i);
      out[static_cast<std::size_t>(i)] = pixmap;
    }
    return out;
  }();
  static const QPixmap none;
  return index >= 0 && index < kChartGlyphCount ? glyphs[static_cast<std::size_t>(index)] : none;
}

}  // namespace qd
