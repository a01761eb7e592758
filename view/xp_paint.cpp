#include "view/xp_paint.h"

#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <cmath>

namespace qd {

QColor Shade(const QColor& c, double gamma) {
  auto ch = [gamma](int v) {
    return std::min(255, static_cast<int>(std::lround(255.0 * std::pow(v / 255.0, gamma))));
  };
  return QColor(ch(c.red()), ch(c.green()), ch(c.blue()));
}

void FillGradient(QPainter& p, const QRect& rect, const QColor& from, const QColor& to) {
  const int e = rect.height();
  if (e <= 0 || rect.width() <= 0) return;
  const int requested = static_cast<std::uint8_t>(e - 1);  // the step count is one byte
  if (requested < 2) {
    p.fillRect(rect, from);
    return;
  }
  const int s = std::max(2, std::min(requested, e));
  const int slice = e / s;
  int y = rect.top();
  for (int k = 0; k < s; ++k) {
    const double f = static_cast<double>(k) / (s - 1);
    const QColor c(from.red() + static_cast<int>((to.red() - from.red()) * f),
                   from.green() + static_cast<int>((to.green() - from.green()) * f),
                   from.blue() + static_cast<int>((to.blue() - from.blue()) * f));
    p.fillRect(QRect(rect.left(), y, rect.width(), slice), c);
    y += slice;
  }
  if (y <= rect.bottom())
    p.fillRect(QRect(rect.left(), y, rect.width(), rect.bottom() - y + 1), to);
}

void PaintXPBackground(QPainter& p, const QRect& rect, const QColor& c) {
  const int h = rect.height();
  const int top = rect.top();
  const int b1 = top + static_cast<int>(std::lround(0.2 * h));
  const int b2 = top + static_cast<int>(std::lround(0.8 * h));
  FillGradient(p, QRect(rect.left(), top, rect.width(), b1 - top), Shade(c, 0.5), Shade(c, 0.8));
  FillGradient(p, QRect(rect.left(), b1, rect.width(), b2 - b1), Shade(c, 0.8), Shade(c, 1.2));
  FillGradient(p, QRect(rect.left(), b2, rect.width(), rect.bottom() + 1 - b2), Shade(c, 1.2),
               Shade(c, 1.6));
  if (rect.width() > 3)
    FillGradient(p, QRect(rect.right() - 2, top, 3, h), Shade(c, 0.5), Shade(c, 1.6));
}

void PaintEdge(QPainter& p, const QRect& rect, bool raised) {
  const QPalette pal;
  const QColor light = pal.color(QPalette::Light);
  const QColor dark = pal.color(QPalette::Dark);
  const QColor tl = raised ? light : dark;
  const QColor br = raised ? dark : light;
  p.save();
  p.setPen(tl);
  p.drawLine(rect.topLeft(), rect.topRight());
  p.drawLine(rect.topLeft(), rect.bottomLeft());
  p.setPen(br);
  p.drawLine(rect.bottomLeft(), rect.bottomRight());
  p.drawLine(rect.topRight(), rect.bottomRight());
  p.restore();
}

}  // namespace qd
