// The main window's chart tab: the chart bound to the window's pivot grid,
// under its toolbar. A click on a point shows the point's message.
#pragma once

#include <QWidget>

namespace qd {

class TChartToolBar;
class TVantraChart;
class TVantraGrid;

class TChartPage : public QWidget {
 public:
  TChartPage(TVantraGrid& grid, QWidget* parent = nullptr);

  TVantraChart& xChart() const { return *FChart; }
  TChartToolBar& ToolBar() const { return *FToolBar; }
  //! Row values, highest is dark, grid order, bar series.
  void ResetChartControls();

 private:
  void xChartClickSeries(int series, int point, int x, int y);

  TVantraChart* FChart;
  TChartToolBar* FToolBar;
};

}  // namespace qd
