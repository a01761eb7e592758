// Where the chart's marks go. Every drawn point may carry a mark (its value,
// share or category, chart_data.h); the chart places them itself rather than
// through Qt Charts' labels, whose number format and placement it cannot
// choose point by point. Marks never overlap: the larger values keep their
// marks and one that would cover a mark already placed, or leave the room it
// may take, is left out. A bar's mark stands beyond its end, or inside it when
// there is no room beyond; it stands upright when the bars are too narrow.
// Bars whose points have colours of their own are painted over in them, as Qt
// Charts colours a bar set only as a whole.
#pragma once

#include <QColor>
#include <QFont>
#include <QGraphicsItem>
#include <QLineF>
#include <QRectF>
#include <QString>
#include <vector>

#include "view/chart/chart_data.h"

namespace qd {

inline QColor ToQColor(TColor c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

//! What the chart paints over Qt's series: bars in colours of their own, then
//! the marks with a pale ground each and pies' leaders. One item paints them
//! all, as thousands of scene items would cost more to replace on every
//! change than the drawing itself. It takes no mouse buttons: clicks reach the
//! series underneath.
class TChartOverlay : public QGraphicsItem {
 public:
  struct TBar {
    int Series = 0;  //!< in the plan
    int Point = 0;
    QRectF Box;
    QColor Color;
  };
  struct TMarkText {
    QString Text;
    QRectF Box;  //!< what the text takes, in chart coordinates
    bool Upright = false;  //!< reads upwards
    bool Bold = false;
  };

  explicit TChartOverlay(QGraphicsItem* parent);

  const std::vector<TBar>& Bars() const { return FBars; }
  const std::vector<TMarkText>& Marks() const { return FMarks; }
  void SetBars(std::vector<TBar> bars);
  void SetMarks(std::vector<TMarkText> marks, std::vector<QLineF> leaders, const QFont& font);
  //! The area painted in: the chart's.
  void SetArea(const QRectF& area);

  QRectF boundingRect() const override { return FArea; }
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

 private:
  std::vector<TBar> FBars;
  std::vector<TMarkText> FMarks;
  std::vector<QLineF> FLeaders;
  QFont FFont;
  QRectF FArea;
};

//! The boxes a mark's text may take in chart coordinates, the first choice
//! first, and its weight.
struct TChartMarkBox {
  std::vector<QRectF> Places;
  double Weight = 0;
};

//! Where each mark goes: the index of its place, -1 for none. By weight,
//! largest first (among equal weights the earlier), each mark takes its first
//! place inside `bounds` that overlaps no mark placed so far.
std::vector<int> KeepMarksApart(const std::vector<TChartMarkBox>& marks, const QRectF& bounds);

}  // namespace qd
