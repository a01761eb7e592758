// The chart's marks as text items over the plot: the anchor of each drawn
// point's mark per series kind, the box its text takes there, and the marks
// kept apart from one another.
#include "view/chart/chart_marks.h"

#include <QAbstractBarSeries>
#include <QFontMetricsF>
#include <QPainter>
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
  bool Title = false;  //!< a pie's series title under it, placed before any mark
};

//! A pie: no mark may cover another pie or its own.
struct TDisc {
  QPointF Centre;
  qreal Radius = 0;
  QString Title;
};

bool CoversDisc(const QRectF& box, const TDisc& d) {
  const QPointF nearest(std::clamp(d.Centre.x(), box.left(), box.right()),
                        std::clamp(d.Centre.y(), box.top(), box.bottom()));
  return QLineF(nearest, d.Centre).length() < d.Radius;
}

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

void AddPieMarks(QPieSeries& pie, int s, const QRectF& plot, std::vector<TMark>& marks,
                 std::vector<TDisc>& discs) {
  const QPointF centre(plot.left() + plot.width() * pie.horizontalPosition(),
                       plot.top() + plot.height() * pie.verticalPosition());
  const qreal radius = std::min(plot.width(), plot.height()) / 2 * pie.pieSize();
  discs.push_back({centre, radius, pie.name()});
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

//! The box of a bar in chart coordinates, as Qt Charts lays it out: bar
//! series share each category side by side, each bar the series' bar width
//! of its share.
QRectF BarBox(QChart& c, QAbstractBarSeries& bars, const TChartPlan& plan, int s, int category) {
  const int count = static_cast<int>(plan.Series.size());
  const double value = plan.Series[static_cast<std::size_t>(s)].Points[static_cast<std::size_t>(category)].Value;
  const qreal middle = BarMiddle(category, s, count);
  const qreal half = bars.barWidth() / (count > 1 ? count : 1) / 2;
  const bool horizontal = plan.Kind == TvtSeries::csHorBar;
  auto at = [&](qreal x, qreal y) {
    return c.mapToPosition(horizontal ? QPointF(y, x) : QPointF(x, y), &bars);
  };
  return QRectF(at(middle - half, value), at(middle + half, 0)).normalized();
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

TChartOverlay::TChartOverlay(QGraphicsItem* parent) : QGraphicsItem(parent) {
  setZValue(1000);  // over the series
  setAcceptedMouseButtons(Qt::NoButton);
}

void TChartOverlay::SetBars(std::vector<TBar> bars) {
  FBars = std::move(bars);
  update();
}

void TChartOverlay::SetMarks(std::vector<TMarkText> marks, std::vector<QLineF> leaders,
                             const QFont& font) {
  FMarks = std::move(marks);
  FLeaders = std::move(leaders);
  FFont = font;
  update();
}

void TChartOverlay::SetArea(const QRectF& area) {
  if (area == FArea) return;
  prepareGeometryChange();
  FArea = area;
}

void TChartOverlay::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
  for (const TBar& bar : FBars) {
    painter->setPen(QPen(bar.Color.darker(130), 0));
    painter->setBrush(bar.Color);
    painter->drawRect(bar.Box);
  }
  painter->setPen(QPen(QColor(128, 128, 128), 1));
  for (const QLineF& leader : FLeaders) painter->drawLine(leader);
  QFont bold = FFont;
  bold.setBold(true);
  for (const TMarkText& mark : FMarks) {
    // A pale ground keeps the text legible where a line or a bar passes under it.
    painter->fillRect(mark.Box, QColor(255, 255, 255, 190));
    painter->setPen(QColor(64, 64, 64));
    painter->setFont(mark.Bold ? bold : FFont);
    painter->save();
    QRectF box = mark.Box;
    if (mark.Upright) {
      painter->translate(box.bottomLeft());
      painter->rotate(-90);
      box = QRectF(0, 0, box.height(), box.width());
    }
    painter->drawText(box, Qt::AlignCenter | Qt::TextDontClip, mark.Text);
    painter->restore();
  }
}

void TVantraChart::ColorBars() {
  QChart& c = *chart();
  const QRectF plot = c.plotArea();
  std::vector<TChartOverlay::TBar> out;
  FOverlay->SetArea(QRectF(QPointF(0, 0), c.size()));
  for (QAbstractSeries* series : c.series()) {
    auto* bars = qobject_cast<QAbstractBarSeries*>(series);
    const int s = series->property("qdPlanSeries").toInt();
    if (plot.isEmpty() || !bars || s < 0 || s >= static_cast<int>(FPlan.Series.size())) continue;
    const std::vector<TChartDrawPoint>& points = FPlan.Series[static_cast<std::size_t>(s)].Points;
    for (int i = 0; i < static_cast<int>(points.size()); ++i) {
      const TChartDrawPoint& p = points[static_cast<std::size_t>(i)];
      if (p.Null || p.Color == clTeeColor) continue;
      out.push_back({s, i, BarBox(c, *bars, FPlan, s, i).intersected(plot), ToQColor(p.Color)});
    }
  }
  FOverlay->SetBars(std::move(out));
}

void TVantraChart::PlaceMarks() {
  FOverlay->SetMarks({}, {}, font());
  QChart& c = *chart();
  const QRectF plot = c.plotArea();
  if (!FMarksVisible || FPlan.Series.empty() || plot.isEmpty()) return;
  FOverlay->SetArea(QRectF(QPointF(0, 0), c.size()));
  std::vector<TMark> marks;
  std::vector<TDisc> discs;
  for (QAbstractSeries* series : c.series()) {
    const int s = series->property("qdPlanSeries").toInt();
    if (s < 0 || s >= static_cast<int>(FPlan.Series.size())) continue;
    if (auto* pie = qobject_cast<QPieSeries*>(series)) AddPieMarks(*pie, s, plot, marks, discs);
    else AddPointMarks(c, *series, FPlan, s, marks);
  }
  QFont font = this->font();
  font.setPointSizeF(std::max(7.0, font.pointSizeF() - 1));
  const QFontMetricsF metrics(font);
  QFont boldFont = font;
  boldFont.setBold(true);
  const QFontMetricsF boldMetrics(boldFont);
  qreal widest = 0;
  for (TMark& m : marks) {
    m.Text = QString::fromStdString(ChartMarkText(FPlan, FMarkStyle, m.Series, m.Point));
    widest = std::max(widest, metrics.horizontalAdvance(m.Text));
  }
  // Pies have no legend: each one's series title stands under it, below the
  // room of the mark at six o'clock.
  for (const TDisc& d : discs) {
    if (d.Title.isEmpty()) continue;
    TMark title;
    title.Anchor = d.Centre + QPointF(0, d.Radius + 2 * kGap + metrics.height() / 2);
    title.Side = TSide::Below;
    title.Text = d.Title;
    title.Title = true;
    marks.push_back(title);
  }
  // Marks wider than their bar's share of a category would cover the next
  // bars: they stand upright, reading upwards, when the bar's share holds
  // their height. A bar may not come nearer its neighbour than half its width.
  const qreal slot = BarSlot(c, FPlan);
  const bool upright = slot > 0 && widest > 1.5 * slot && metrics.height() <= 1.5 * slot;
  std::vector<TChartMarkBox> boxes;
  boxes.reserve(marks.size());
  for (const TMark& m : marks) {
    const QFontMetricsF& fm = m.Title ? boldMetrics : metrics;
    const QSizeF size(fm.horizontalAdvance(m.Text), fm.height());
    const double weight =
        m.Title ? HUGE_VAL
                : std::fabs(FPlan.Series[static_cast<std::size_t>(m.Series)]
                                .Points[static_cast<std::size_t>(m.Point)].Value);
    boxes.push_back({Places(m, upright ? size.transposed() : size), weight});
    std::erase_if(boxes.back().Places, [&discs](const QRectF& box) {
      return std::any_of(discs.begin(), discs.end(),
                         [&box](const TDisc& d) { return CoversDisc(box, d); });
    });
  }
  // A pie's marks go round it up to the chart's edge; the others may rise
  // above the plot and pass its right side, but never cover the axes' labels.
  const QRectF edge = QRectF(QPointF(0, 0), c.size()).adjusted(2, 2, -2, -2);
  const QRectF bounds = FPlan.Kind == TvtSeries::csPie
                            ? edge
                            : QRectF(QPointF(plot.left() - 2, edge.top()),
                                     QPointF(edge.right(), plot.bottom() + 2));
  const std::vector<int> placed = KeepMarksApart(boxes, bounds);
  std::vector<TChartOverlay::TMarkText> shown;
  std::vector<QLineF> leaders;
  for (std::size_t i = 0; i < marks.size(); ++i) {
    if (placed[i] < 0) continue;
    const TMark& m = marks[i];
    shown.push_back({m.Text, boxes[i].Places[static_cast<std::size_t>(placed[i])], upright && !m.Title,
                     m.Title});
    if (FPlan.Kind == TvtSeries::csPie && !m.Title) leaders.emplace_back(m.LeaderFrom, m.Anchor);
  }
  FOverlay->SetMarks(std::move(shown), std::move(leaders), font);
}

}  // namespace qd
