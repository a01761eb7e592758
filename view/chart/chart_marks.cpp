// The chart's marks as text items over the plot: the anchor of each drawn
// point's mark per series kind, the box its text takes there, and the marks
// kept apart from one another.
#include "view/chart/chart_marks.h"

#include <QAbstractBarSeries>
#include <QFontMetricsF>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QPieSeries>
#include <QPieSlice>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "view/chart/vantra_chart.h"

namespace qd {

namespace {

//! Room between a point and its mark, in pixels.
constexpr qreal kGap = 4;

//! How a mark's box sits on its anchor.
enum class TSide { Above, Below, Right, Left };

TSide Opposite(TSide side) {
  switch (side) {
    case TSide::Above: return TSide::Below;
    case TSide::Below: return TSide::Above;
    case TSide::Right: return TSide::Left;
    case TSide::Left: break;
  }
  return TSide::Right;
}

struct TMark {
  int Series = 0;
  int Point = 0;
  QPointF Anchor;
  TSide Side = TSide::Above;
  bool Bar = false;
  QPointF Base;        //!< bars: where the bar starts, at zero
  QPointF LeaderFrom;  //!< pies: the slice's edge, joined to the mark by a short line
  QString Text;
};

QRectF BoxAt(const QPointF& at, const QSizeF& size, TSide side) {
  const qreal w = size.width(), h = size.height();
  switch (side) {
    case TSide::Above: return {at.x() - w / 2, at.y() - kGap - h, w, h};
    case TSide::Below: return {at.x() - w / 2, at.y() + kGap, w, h};
    case TSide::Right: return {at.x() + kGap, at.y() - h / 2, w, h};
    case TSide::Left: break;
  }
  return {at.x() - kGap - w, at.y() - h / 2, w, h};
}

//! The places of a mark: beyond its point, then for a bar inside its end
//! when the bar is long enough to hold it.
std::vector<QRectF> Places(const TMark& m, const QSizeF& size) {
  std::vector<QRectF> out{BoxAt(m.Anchor, size, m.Side)};
  if (!m.Bar) return out;
  const QRectF inside = BoxAt(m.Anchor, size, Opposite(m.Side));
  const bool fits = m.Side == TSide::Above   ? inside.bottom() <= m.Base.y()
                    : m.Side == TSide::Below ? inside.top() >= m.Base.y()
                    : m.Side == TSide::Right ? inside.left() >= m.Base.x()
                                             : inside.right() <= m.Base.x();
  if (fits) out.push_back(inside);
  return out;
}

//! The x of a bar's middle in category units: bar series share each category
//! side by side, the first added leftmost, as Qt Charts lays them out.
qreal BarMiddle(int category, int series, int seriesCount) {
  return seriesCount > 1 ? category + (series + 0.5) / seriesCount - 0.5 : category;
}

void AddPieMarks(QPieSeries& pie, int s, const QRectF& plot, std::vector<TMark>& marks) {
  const QPointF centre(plot.left() + plot.width() * pie.horizontalPosition(),
                       plot.top() + plot.height() * pie.verticalPosition());
  const qreal radius = std::min(plot.width(), plot.height()) / 2 * pie.pieSize();
  for (QPieSlice* slice : pie.slices()) {
    const qreal angle = (slice->startAngle() + slice->angleSpan() / 2) * M_PI / 180;
    const QPointF toward(std::sin(angle), -std::cos(angle));  // clockwise from twelve o'clock
    TMark m;
    m.Series = s;
    m.Point = slice->property("qdPoint").toInt();
    m.Anchor = centre + toward * (radius + 2 * kGap);
    m.Side = toward.x() >= 0 ? TSide::Right : TSide::Left;
    m.LeaderFrom = centre + toward * radius;
    marks.push_back(m);
  }
}

void AddPointMarks(QChart& c, QAbstractSeries& series, const TChartPlan& plan, int s,
                   std::vector<TMark>& marks) {
  const bool bars = qobject_cast<QAbstractBarSeries*>(&series) != nullptr;
  const bool horizontal = plan.Kind == TvtSeries::csHorBar;
  const int count = static_cast<int>(plan.Series.size());
  const std::vector<TChartDrawPoint>& points = plan.Series[static_cast<std::size_t>(s)].Points;
  for (int i = 0; i < static_cast<int>(points.size()); ++i) {
    const TChartDrawPoint& p = points[static_cast<std::size_t>(i)];
    if (p.Null) continue;
    const qreal x = bars ? BarMiddle(i, s, count) : i;
    auto at = [&](double value) {
      return c.mapToPosition(horizontal ? QPointF(value, x) : QPointF(x, value), &series);
    };
    TMark m;
    m.Series = s;
    m.Point = i;
    m.Anchor = at(p.Value);
    m.Bar = bars;
    m.Base = at(0);
    if (horizontal) m.Side = p.Value < 0 ? TSide::Left : TSide::Right;
    else if (bars && p.Value < 0) m.Side = TSide::Below;
    marks.push_back(m);
  }
}

//! The width one vertical bar series has in each category, in pixels; 0 for other kinds.
qreal BarSlot(QChart& c, const TChartPlan& plan) {
  if (plan.Kind != TvtSeries::csBar || c.series().isEmpty()) return 0;
  QAbstractSeries* s = c.series().front();
  return std::fabs(c.mapToPosition(QPointF(1, 0), s).x() - c.mapToPosition(QPointF(0, 0), s).x()) /
         static_cast<qreal>(plan.Series.size());
}

}  // namespace

std::vector<int> KeepMarksApart(const std::vector<TChartMarkBox>& marks, const QRectF& bounds) {
  std::vector<std::size_t> order(marks.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&marks](std::size_t a, std::size_t b) {
    return marks[a].Weight > marks[b].Weight;
  });
  std::vector<int> placed(marks.size(), -1);
  std::vector<QRectF> kept;
  auto free = [&](const QRectF& box) {
    return bounds.contains(box) &&
           std::none_of(kept.begin(), kept.end(), [&box](const QRectF& k) { return k.intersects(box); });
  };
  for (std::size_t i : order) {
    const std::vector<QRectF>& places = marks[i].Places;
    for (std::size_t p = 0; p < places.size(); ++p) {
      if (!free(places[p])) continue;
      kept.push_back(places[p]);
      placed[i] = static_cast<int>(p);
      break;
    }
  }
  return placed;
}

void TVantraChart::PlaceMarks() {
  for (QGraphicsItem* item : FMarkLayer->childItems()) delete item;
  FMarks.clear();
  if (!FMarksVisible || FPlan.Series.empty()) return;
  QChart& c = *chart();
  const QRectF plot = c.plotArea();
  if (plot.isEmpty()) return;
  std::vector<TMark> marks;
  for (QAbstractSeries* series : c.series()) {
    const int s = series->property("qdPlanSeries").toInt();
    if (s < 0 || s >= static_cast<int>(FPlan.Series.size())) continue;
    if (auto* pie = qobject_cast<QPieSeries*>(series)) AddPieMarks(*pie, s, plot, marks);
    else AddPointMarks(c, *series, FPlan, s, marks);
  }
  QFont font = this->font();
  font.setPointSizeF(std::max(7.0, font.pointSizeF() - 1));
  const QFontMetricsF metrics(font);
  qreal widest = 0;
  for (TMark& m : marks) {
    m.Text = QString::fromStdString(ChartMarkText(FPlan, FMarkStyle, m.Series, m.Point));
    widest = std::max(widest, metrics.horizontalAdvance(m.Text));
  }
  // Marks wider than their bar's share of a category would cover the next
  // bars: they stand upright, reading upwards, when the bar's share holds
  // their height. A bar may not come nearer its neighbour than half its width.
  const qreal slot = BarSlot(c, FPlan);
  const bool upright = slot > 0 && widest > 1.5 * slot && metrics.height() <= 1.5 * slot;
  std::vector<TChartMarkBox> boxes;
  boxes.reserve(marks.size());
  for (const TMark& m : marks) {
    const QSizeF size(metrics.horizontalAdvance(m.Text), metrics.height());
    const double value = FPlan.Series[static_cast<std::size_t>(m.Series)]
                             .Points[static_cast<std::size_t>(m.Point)].Value;
    boxes.push_back({Places(m, upright ? size.transposed() : size), std::fabs(value)});
  }
  // A pie's marks go round it up to the chart's edge; the others may rise
  // above the plot and pass its right side, but never cover the axes' labels.
  const QRectF edge = QRectF(QPointF(0, 0), c.size()).adjusted(2, 2, -2, -2);
  const QRectF bounds = FPlan.Kind == TvtSeries::csPie
                            ? edge
                            : QRectF(QPointF(plot.left() - 2, edge.top()),
                                     QPointF(edge.right(), plot.bottom() + 2));
  const std::vector<int> placed = KeepMarksApart(boxes, bounds);
  for (std::size_t i = 0; i < marks.size(); ++i)
    if (placed[i] >= 0)
      ShowMark(marks[i].Text, boxes[i].Places[static_cast<std::size_t>(placed[i])], upright, font);
  if (FPlan.Kind == TvtSeries::csPie)
    for (std::size_t i = 0; i < marks.size(); ++i)
      if (placed[i] >= 0)
        (new QGraphicsLineItem(QLineF(marks[i].LeaderFrom, marks[i].Anchor), FMarkLayer))
            ->setPen(QPen(QColor(128, 128, 128), 1));
}

void TVantraChart::ShowMark(const QString& text, const QRectF& box, bool upright, const QFont& font) {
  // A pale ground keeps the text legible where a line or a bar passes under it.
  auto* ground = new QGraphicsRectItem(box, FMarkLayer);
  ground->setPen(Qt::NoPen);
  ground->setBrush(QColor(255, 255, 255, 190));
  auto* item = new QGraphicsSimpleTextItem(text, FMarkLayer);
  item->setFont(font);
  item->setBrush(QColor(64, 64, 64));
  if (upright) {
    item->setRotation(-90);  // the text's top-left corner turns to the box's bottom-left
    item->setPos(box.bottomLeft());
  } else {
    item->setPos(box.topLeft());
  }
  FMarks.push_back(item);
}

}  // namespace qd
