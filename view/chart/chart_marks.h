// Where the chart's marks go. Every drawn point may carry a mark (its value,
// share or category, chart_data.h); the chart places them itself rather than
// through Qt Charts' labels, whose number format and placement it cannot
// choose point by point. Marks never overlap: the larger values keep their
// marks and one that would cover a mark already placed, or leave the room it
// may take, is left out. A bar's mark stands beyond its end, or inside it when
// there is no room beyond; it stands upright when the bars are too narrow.
#pragma once

#include <QRectF>
#include <vector>

namespace qd {

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
