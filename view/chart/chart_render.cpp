// Draws the chart's plan with Qt Charts: one Qt series per planned series, in
// the plan's order, over a category axis and a value axis (pies have none).
#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QHorizontalBarSeries>
#include <QLineSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "view/chart/chart_marks.h"
#include "view/chart/vantra_chart.h"

namespace qd {

namespace {

constexpr const char* kPlanSeries = "qdPlanSeries";
constexpr const char* kPoint = "qdPoint";

bool HasOwnColors(const TChartDrawSeries& s) {
  return std::any_of(s.Points.begin(), s.Points.end(),
                     [](const TChartDrawPoint& p) { return !p.Null && p.Color != clTeeColor; });
}

//! Bars of one series. Qt colours a bar set as a whole: bars with colours of
//! their own are painted over by the chart (chart_marks.cpp).
QAbstractBarSeries* MakeBars(const TChartDrawSeries& s, bool horizontal) {
  QAbstractBarSeries* series = horizontal ? static_cast<QAbstractBarSeries*>(new QHorizontalBarSeries)
                                          : new QBarSeries;
  auto* set = new QBarSet(QString::fromStdString(s.Title));
  QList<qreal> values;
  values.reserve(static_cast<qsizetype>(s.Points.size()));
  for (const TChartDrawPoint& p : s.Points) values.append(p.Null ? 0.0 : p.Value);
  set->append(values);
  series->append(set);
  return series;
}

void FillXY(QXYSeries& series, const TChartDrawSeries& s, TvtSeries kind) {
  if (auto* scatter = qobject_cast<QScatterSeries*>(&series)) scatter->setMarkerSize(9);
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(s.Points.size()));
  for (int i = 0; i < static_cast<int>(s.Points.size()); ++i) {
    const TChartDrawPoint& p = s.Points[static_cast<std::size_t>(i)];
    if (p.Null && kind != TvtSeries::csArea) continue;
    points.append(QPointF(i, p.Null ? 0.0 : p.Value));
  }
  series.append(points);
  if (kind == TvtSeries::csArea) return;  // an area has one colour
  int at = 0;
  for (const TChartDrawPoint& p : s.Points) {
    if (p.Null) continue;
    if (p.Color != clTeeColor)
      series.setPointConfiguration(at, QXYSeries::PointConfiguration::Color, ToQColor(p.Color));
    ++at;
  }
  if (kind == TvtSeries::csLine && HasOwnColors(s)) series.setPointsVisible(true);
}

//! Line, point and area series: x is the category's position; a gap leaves
//! its point out (an area drops to zero there).
QXYSeries* MakeXY(const TChartDrawSeries& s, TvtSeries kind) {
  QXYSeries* series = kind == TvtSeries::csPoint ? static_cast<QXYSeries*>(new QScatterSeries)
                                                 : new QLineSeries;
  FillXY(*series, s, kind);
  return series;
}

//! An area under the series' line down to zero. The area does not own the
//! line that bounds it, so the line becomes its child; its points are in
//! place before the area is added to the chart.
QAreaSeries* MakeArea(const TChartDrawSeries& s) {
  auto* upper = new QLineSeries;
  FillXY(*upper, s, TvtSeries::csArea);
  auto* area = new QAreaSeries(upper);
  upper->setParent(area);
  return area;
}

QPieSeries* MakePie(const TChartDrawSeries& s, const std::vector<std::string>& categories) {
  auto* series = new QPieSeries;
  for (int i = 0; i < static_cast<int>(s.Points.size()); ++i) {
    const TChartDrawPoint& p = s.Points[static_cast<std::size_t>(i)];
    if (p.Null) continue;
    auto* slice = new QPieSlice(QString::fromStdString(categories[static_cast<std::size_t>(i)]),
                                std::fabs(p.Value));
    slice->setProperty(kPoint, i);
    if (p.Color != clTeeColor) slice->setColor(ToQColor(p.Color));
    series->append(slice);
  }
  return series;
}

//! Pies in rows of `columns`: the size of each relative to the shorter side
//! of an area `aspect` times as wide as high, leaving room round each for
//! its marks.
qreal PieSize(int count, int columns, qreal aspect) {
  const int rows = (count + columns - 1) / columns;
  const qreal share = count == 1 ? 0.75 : 0.6;
  return aspect >= 1 ? share * std::min(aspect / columns, 1.0 / rows)
                     : share * std::min(1.0 / columns, 1.0 / (aspect * rows));
}

}  // namespace

bool TVantraChart::ArrangePies() {
  std::vector<QPieSeries*> pies;
  for (QAbstractSeries* s : chart()->series())
    if (auto* pie = qobject_cast<QPieSeries*>(s)) pies.push_back(pie);
  if (pies.empty()) return false;
  // Pies of several series fill the chart in rows, the first created top
  // left, as many to a row as makes them largest.
  const int count = static_cast<int>(pies.size());
  const QSizeF area = size().isEmpty() ? QSizeF(800, 600) : QSizeF(size());
  const qreal aspect = area.width() / area.height();
  int columns = 1;
  for (int k = 2; k <= count; ++k)
    if (PieSize(count, k, aspect) > PieSize(count, columns, aspect)) columns = k;
  const int rows = (count + columns - 1) / columns;
  for (int i = 0; i < count; ++i) {
    pies[static_cast<std::size_t>(i)]->setHorizontalPosition((i % columns + 0.5) / columns);
    pies[static_cast<std::size_t>(i)]->setVerticalPosition((i / columns + 0.5) / rows);
    pies[static_cast<std::size_t>(i)]->setPieSize(PieSize(count, columns, aspect));
  }
  return true;
}

void TVantraChart::Draw() {
  QChart* c = chart();
  c->removeAllSeries();
  for (QAbstractAxis* a : c->axes()) {
    c->removeAxis(a);
    delete a;
  }
  const TChartPlan& plan = FPlan;
  if (plan.Series.empty()) {
    ColorBars();
    PlaceMarks();  // the last plan's marks go too
    return;
  }
  const int count = static_cast<int>(plan.Series.size());
  if (plan.Kind == TvtSeries::csPie) {
    for (int i = 0; i < count; ++i) {
      QPieSeries* pie = MakePie(plan.Series[static_cast<std::size_t>(i)], plan.Categories);
      pie->setName(QString::fromStdString(plan.Series[static_cast<std::size_t>(i)].Title));
      pie->setProperty(kPlanSeries, i);
      connect(pie, &QPieSeries::clicked, this,
              [this, pie](QPieSlice* slice) { PointClicked(pie, slice->property(kPoint).toInt()); });
      c->addSeries(pie);
      if (OnNewSeries) OnNewSeries(*this, pie);
    }
    ArrangePies();
    // The slices carry their own marks; a legend of every slice of every pie says nothing more.
    c->legend()->setVisible(false);
    ColorBars();
    PlaceMarks();
    return;
  }
  const bool horizontal = plan.Kind == TvtSeries::csHorBar;
  auto* categoryAxis = new QBarCategoryAxis;
  QStringList names;
  names.reserve(static_cast<qsizetype>(plan.Categories.size()));
  for (const std::string& n : plan.Categories) names << QString::fromStdString(n);
  categoryAxis->append(names);
  auto* valueAxis = new QValueAxis;
  c->addAxis(categoryAxis, horizontal ? Qt::AlignLeft : Qt::AlignBottom);
  c->addAxis(valueAxis, horizontal ? Qt::AlignBottom : Qt::AlignLeft);
  double lo = 0, hi = 0;
  for (int i = 0; i < count; ++i) {
    const TChartDrawSeries& s = plan.Series[static_cast<std::size_t>(i)];
    for (const TChartDrawPoint& p : s.Points)
      if (!p.Null) lo = std::min(lo, p.Value), hi = std::max(hi, p.Value);
    QAbstractSeries* series = nullptr;
    if (plan.Kind == TvtSeries::csBar || horizontal) {
      QAbstractBarSeries* bars = MakeBars(s, horizontal);
      for (QBarSet* set : bars->barSets())
        connect(set, &QBarSet::clicked, this, [this, bars](int index) { PointClicked(bars, index); });
      series = bars;
    } else if (plan.Kind == TvtSeries::csArea) {
      QAreaSeries* area = MakeArea(s);
      connect(area, &QAreaSeries::clicked, this, [this, area](const QPointF& at) {
        PointClicked(area, static_cast<int>(std::lround(at.x())));
      });
      series = area;
    } else {
      QXYSeries* xy = MakeXY(s, plan.Kind);
      connect(xy, &QXYSeries::clicked, this, [this, xy](const QPointF& at) {
        PointClicked(xy, static_cast<int>(std::lround(at.x())));
      });
      series = xy;
    }
    series->setName(QString::fromStdString(s.Title));
    series->setProperty(kPlanSeries, i);
    c->addSeries(series);
    if (auto* area = qobject_cast<QAreaSeries*>(series)) {
      // Areas of several series lie on one another: the later ones let the earlier show through.
      QColor fill = area->color();
      area->setBorderColor(fill);
      fill.setAlpha(count > 1 ? 110 : 200);
      area->setColor(fill);
    }
    series->attachAxis(categoryAxis);
    series->attachAxis(valueAxis);
    // Extra colour sets of one series share its single legend entry.
    if (OnNewSeries) OnNewSeries(*this, series);
  }
  if (hi == lo) hi = lo + 1;
  valueAxis->setRange(lo, hi);
  valueAxis->applyNiceNumbers();
  // Whole steps are labelled without decimals.
  const double step = (valueAxis->max() - valueAxis->min()) / std::max(1, valueAxis->tickCount() - 1);
  if (step == std::floor(step)) valueAxis->setLabelFormat("%.0f");
  if (plan.SetAxisTitles) {
    categoryAxis->setTitleText(QString::fromStdString(horizontal ? plan.LeftTitle : plan.BottomTitle));
    valueAxis->setTitleText(QString::fromStdString(horizontal ? plan.BottomTitle : plan.LeftTitle));
    categoryAxis->setTitleVisible(true);
    valueAxis->setTitleVisible(true);
  }
  c->legend()->setVisible(!FData.Settings.TotalDimension);
  ColorBars();
  PlaceMarks();
}

}  // namespace qd
