#include "view/glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <array>
#include <map>
#include <string>

namespace qd {

namespace {

const QColor kInk(40, 40, 40);
const QColor kBlue(30, 80, 170);
const QColor kGreen(20, 130, 60);
const QColor kRed(190, 40, 40);
const QColor kGold(200, 150, 20);

QPixmap Blank(int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  return pm;
}

// A small box with a plus or minus, the tree-style expand glyph.
void PlusMinus(QPainter& p, bool plus, const QColor& c) {
  p.setPen(QPen(c, 1));
  p.setBrush(Qt::white);
  p.drawRect(2, 2, 10, 10);
  p.drawLine(4, 7, 10, 7);
  if (plus) p.drawLine(7, 4, 7, 10);
}

void Triangle(QPainter& p, bool up, const QColor& c) {
  QPainterPath path;
  if (up) {
    path.moveTo(7.5, 3);
    path.lineTo(13, 11);
    path.lineTo(2, 11);
  } else {
    path.moveTo(2, 4);
    path.lineTo(13, 4);
    path.lineTo(7.5, 12);
  }
  path.closeSubpath();
  p.fillPath(path, c);
}

void Arrow(QPainter& p, bool right, const QColor& c) {
  QPainterPath path;
  if (right) {
    path.moveTo(4, 2);
    path.lineTo(12, 7.5);
    path.lineTo(4, 13);
  } else {
    path.moveTo(11, 2);
    path.lineTo(3, 7.5);
    path.lineTo(11, 13);
  }
  path.closeSubpath();
  p.fillPath(path, c);
}

// A tiny table: the dimension glyph, with the top row highlighted.
void Table(QPainter& p, int size, const QColor& head, bool drill) {
  const int s = size - 3;
  p.setPen(QPen(kInk, 1));
  p.setBrush(Qt::white);
  p.drawRect(1, 2, s, s - 2);
  p.fillRect(2, 3, s - 1, 3, head);
  for (int y = 8; y < s; y += 3) p.drawLine(2, y, s, y);
  p.drawLine(1 + s / 2, 6, 1 + s / 2, s - 1);
  if (drill) {  // a funnel: some members are hidden
    QPainterPath f;
    f.moveTo(size - 8, size - 8);
    f.lineTo(size - 1, size - 8);
    f.lineTo(size - 4, size - 4);
    f.lineTo(size - 4, size - 1);
    f.lineTo(size - 5, size - 1);
    f.lineTo(size - 5, size - 4);
    f.closeSubpath();
    p.fillPath(f, kRed);
  }
}

void Sigma(QPainter& p, const QColor& c) {
  p.setPen(QPen(c, 1.6));
  p.drawPolyline(QPolygonF({{12, 3}, {4, 3}, {8.5, 8}, {4, 13}, {12, 13}}));
}

void Bars(QPainter& p, const QColor& c) {
  p.fillRect(2, 9, 3, 5, c);
  p.fillRect(6, 5, 3, 9, c);
  p.fillRect(10, 2, 3, 12, c);
}

// The sub-function icons: a letter with a row or column arrow.
void SubIcon(QPainter& p, const QString& letter, bool byRow, const QColor& c) {
  QFont f = p.font();
  f.setPixelSize(10);
  f.setBold(true);
  p.setFont(f);
  p.setPen(c);
  p.drawText(QRect(0, 0, 11, 11), Qt::AlignCenter, letter);
  p.setPen(QPen(kInk, 1));
  if (byRow) {
    p.drawLine(2, 13, 14, 13);
    p.drawLine(12, 11, 14, 13);
    p.drawLine(12, 15, 14, 13);
  } else {
    p.drawLine(13, 2, 13, 14);
    p.drawLine(11, 12, 13, 14);
    p.drawLine(15, 12, 13, 14);
  }
}

void PivotGlyph(QPainter& p) {
  p.setPen(QPen(kBlue, 1));
  p.setBrush(Qt::white);
  p.drawRect(1, 1, 12, 12);
  p.fillRect(2, 2, 11, 3, kBlue);
  p.fillRect(2, 2, 3, 11, kBlue);
}

// Paints one named picture on a square of the given size.
using TPaint = void (*)(QPainter& p, int size);

const std::map<std::string, TPaint, std::less<>>& Painters() {
  static const std::map<std::string, TPaint, std::less<>> painters = {
      {"vtLeftArrow", [](QPainter& p, int) { Arrow(p, false, kInk); }},
      {"vtRightArrow", [](QPainter& p, int) { Arrow(p, true, kInk); }},
      {"vtPivot", [](QPainter& p, int) { PivotGlyph(p); }},
      {"vtTogglePivot", [](QPainter& p, int) { PivotGlyph(p); }},
      {"vtValueOpen", [](QPainter& p, int) { PlusMinus(p, false, kInk); }},
      {"vtValueClose", [](QPainter& p, int) { PlusMinus(p, true, kInk); }},
      {"vtHierValueOpen", [](QPainter& p, int) { PlusMinus(p, false, kBlue); }},
      {"vtHierValueClose", [](QPainter& p, int) { PlusMinus(p, true, kBlue); }},
      {"vtGroupValueOpen", [](QPainter& p, int) { PlusMinus(p, false, kGreen); }},
      {"vtGroupValueClose", [](QPainter& p, int) { PlusMinus(p, true, kGreen); }},
      {"vtSortingDown", [](QPainter& p, int) { Triangle(p, false, kBlue); }},
      {"vtSortingUp", [](QPainter& p, int) { Triangle(p, true, kBlue); }},
      {"vtDimensionIcon", [](QPainter& p, int size) { Table(p, size, kBlue, false); }},
      {"DIMACTIVE", [](QPainter& p, int size) { Table(p, size, kBlue, false); }},
      {"DIMDRILL", [](QPainter& p, int size) { Table(p, size, kBlue, true); }},
      {"DIMINACTIVE", [](QPainter& p, int size) { Table(p, size, kGold, false); }},
      {"DIMINDRILL", [](QPainter& p, int size) { Table(p, size, kGold, true); }},
      {"SUMMARIES", [](QPainter& p, int) { Sigma(p, kRed); }},
      {"SUMTOOL", [](QPainter& p, int) { Sigma(p, kRed); }},
      {"AGGREGATIONS", [](QPainter& p, int) { Bars(p, kGreen); }},
      {"GRIDTOOL", [](QPainter& p, int size) { Table(p, size, kGreen, false); }},
      {"MOREICONS", [](QPainter& p, int) { Triangle(p, false, kInk); }},
      {"SUB_RANKBYROW", [](QPainter& p, int) { SubIcon(p, "R", true, kBlue); }},
      {"SUB_RANKBYCOL", [](QPainter& p, int) { SubIcon(p, "R", false, kBlue); }},
      {"SUB_PERCBYROW", [](QPainter& p, int) { SubIcon(p, "%", true, kGreen); }},
      {"SUB_PERCBYCOL", [](QPainter& p, int) { SubIcon(p, "%", false, kGreen); }},
      {"SUB_COMPAREBYROW", [](QPainter& p, int) { SubIcon(p, "Δ", true, kRed); }},
      {"SUB_COMPAREBYCOL", [](QPainter& p, int) { SubIcon(p, "Δ", false, kRed); }},
      {"SUB_CUMULATROW", [](QPainter& p, int) { SubIcon(p, "Σ", true, kGold); }},
      {"SUB_CUMULATCOL", [](QPainter& p, int) { SubIcon(p, "Σ", false, kGold); }},
  };
  return painters;
}

QPixmap Draw(const std::string& name) {
  const auto paint = Painters().find(name);
  if (paint == Painters().end()) return {};
  const bool big = name.rfind("vt", 0) != 0 || name == "vtTogglePivot";
  int size = big ? 16 : 15;
  if (name == "GRIDTOOL" || name == "SUMTOOL") size = 18;
  QPixmap pm = Blank(size);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, false);
  paint->second(p, size);
  return pm;
}

constexpr std::array<const char*, 12> kGlyphNames = {
    "vtLeftArrow",  "vtRightArrow",    "vtPivot",          "vtValueOpen",
    "vtValueClose", "vtHierValueOpen", "vtHierValueClose", "vtSortingDown",
    "vtSortingUp",  "vtDimensionIcon", "vtGroupValueOpen", "vtGroupValueClose"};
constexpr std::array<const char*, 12> kIconNames = {
    "AGGREGATIONS",   "SUB_RANKBYROW",    "SUB_RANKBYCOL",    "SUB_PERCBYROW",
    "SUB_PERCBYCOL",  "SUB_COMPAREBYROW", "SUB_COMPAREBYCOL", "SUB_CUMULATROW",
    "SUB_CUMULATCOL", "SUMMARIES",        "AGGREGATIONS",     "DIMACTIVE"};

}  // namespace

const QPixmap& NamedPixmap(std::string_view name) {
  static std::map<std::string, QPixmap, std::less<>> cache;
  auto it = cache.find(name);
  if (it == cache.end()) it = cache.emplace(std::string(name), Draw(std::string(name))).first;
  return it->second;
}

const QPixmap& GlyphPixmap(TGlyph glyph) {
  return NamedPixmap(kGlyphNames.at(static_cast<std::size_t>(glyph)));
}

const QPixmap& IconPixmap(int index) {
  static const QPixmap none;
  if (index < 0 || index >= static_cast<int>(kIconNames.size())) return none;
  return NamedPixmap(kIconNames[static_cast<std::size_t>(index)]);
}

}  // namespace qd
