// The header look shared by the dimension panels and the internal grid: the
// XP-style gradient and the raised and sunken 3-D edges.
#pragma once

#include <QColor>
#include <QRect>

class QPainter;

namespace qd {

//! Raises each RGB channel v to 255 x (v / 255)^gamma, rounded, at most 255.
QColor Shade(const QColor& c, double gamma);

//! A vertical gradient from `from` to `to` over `rect`, in steps as the
//! headers always drew it (a band of fewer than two steps takes `from`).
void FillGradient(QPainter& p, const QRect& rect, const QColor& from, const QColor& to);

//! The XP background of a rectangle in colour `c`: three bands and a 3-pixel
//! stripe at the right edge.
void PaintXPBackground(QPainter& p, const QRect& rect, const QColor& c);

//! A 1-pixel 3-D frame inside `rect`: light top-left and dark bottom-right
//! when raised, reversed when sunken.
void PaintEdge(QPainter& p, const QRect& rect, bool raised);

}  // namespace qd
