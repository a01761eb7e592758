// The chart bound to a pivot grid: it listens to the grid's model, keeps the
// working data (chart_data.h) and draws its plan with Qt Charts. Setting a
// property rebuilds, refills or recolours as the property needs; the model's
// notifications rebuild as kChartReactions says.
#pragma once

#include <QChartView>
#include <functional>
#include <string>
#include <vector>

#include "model/grid_info.h"
#include "view/chart/chart_data.h"
#include "view/chart/chart_marks.h"

class QAbstractSeries;
class QLabel;
class QPrinter;

namespace qd {

class TCustomVantraGrid;
class TVantraChart;

using TvtColorRequestEvent =
    std::function<void(TVantraChart& sender, const TMemberKey& sumIndex, TColor& color)>;
using TvtCanDrawItemEvent =
    std::function<void(TVantraChart& sender, const TMemberKey& sumIndex, bool& visible)>;
using TvtSeriesEvent = std::function<void(TVantraChart& sender, QAbstractSeries* series)>;
//! A click on a drawn point: its series (index into Plan().Series), the
//! point's index among the drawn categories, and the mouse position.
using TvtClickSeriesEvent =
    std::function<void(TVantraChart& sender, int series, int point, int x, int y)>;

class TVantraChart : public QChartView, public TGridListener {
 public:
  explicit TVantraChart(QWidget* parent = nullptr);
  ~TVantraChart() override;

  // ---- Binding ----
  TCustomVantraGrid* VantGrid() const { return FGrid; }
  //! Binds a grid (nullptr unbinds): registers with its model, which then
  //! posts the first build; unbinds itself when the grid goes away.
  void SetVantGrid(TCustomVantraGrid* grid);

  // ---- Properties ----
  TvtDimensionType UseDimension() const { return FData.Settings.UseDimension; }
  void SetUseDimension(TvtDimensionType value);
  bool TotalDimension() const { return FData.Settings.TotalDimension; }
  void SetTotalDimension(bool value);
  TvtSeries DefaultSeries() const { return FData.Settings.DefaultSeries; }
  void SetDefaultSeries(TvtSeries value);
  TvtcSortType SortType() const { return FData.Settings.SortType; }
  //! vtcGrid rebuilds; the other orders re-sort and refill.
  void SetSortType(TvtcSortType value);
  //! Changing the filter does not refresh the chart by itself.
  TvtChartFilter& Filter() { return FData.Settings.Filter; }
  bool Filtered() const { return FData.Settings.Filtered; }
  void SetFiltered(bool value);
  bool ShowZero() const { return FData.Settings.ShowZero; }
  void SetShowZero(bool value);
  bool MarksVisible() const { return FMarksVisible; }
  void SetMarksVisible(bool value);
  TSeriesMarksStyle DefaultMarkStyle() const { return FMarkStyle; }
  void SetDefaultMarkStyle(TSeriesMarksStyle value);
  TvtcColorSchema ColorSchema() const { return FData.Settings.ColorSchema; }
  void SetColorSchema(TvtcColorSchema value);
  TvtRangeType ColorSchemaDimension() const { return FData.Settings.ColorSchemaDimension; }
  void SetColorSchemaDimension(TvtRangeType value);
  const std::string& ControlSummaryName() const { return FData.Settings.ControlSummaryName; }
  void SetControlSummaryName(const std::string& value);
  //! Categories drawn at most; the others are counted in a note over the chart.
  void SetMaxDrawnCategories(int value);

  // ---- Events ----
  TvtColorRequestEvent OnColorRequest;
  TvtCanDrawItemEvent OnCanDrawItem;
  TvtSeriesEvent OnNewSeries;
  TvtClickSeriesEvent OnClickSeries;

  // ---- Working data and drawing ----
  const TChartData& Data() const { return FData; }
  //! What is drawn now.
  const TChartPlan& Plan() const { return FPlan; }
  //! Working data from the model again, then sort and fill.
  void Rebuild();
  //! Visibility and colours again, then draw.
  void Refill();
  //! How many times the working data was taken from the model.
  int RebuildCount() const { return FRebuilds; }
  //! The note over the chart saying how many categories were left out; empty when none.
  QString LeftOutNote() const;
  //! The bars painted in their own colours and the marks shown now; no mark
  //! overlaps another (chart_marks.h).
  const TChartOverlay& Overlay() const { return *FOverlay; }

  // ---- Output ----
  //! Saves the chart as PNG, SVG or PDF, chosen by the file's extension;
  //! raises ECubeError when it cannot be written.
  void SaveToFile(const std::string& fileName);
  //! Draws the chart onto the printer's page.
  void Print(QPrinter& printer);
  //! The print preview, modal; then the chart repaints.
  void PrintPreview();
  //! Lets Qt Charts finish laying the chart out, as the event loop would,
  //! before it is drawn elsewhere (saving, printing, screenshots).
  void LayOut();

  void GridInfoChanged(TGridInfo& model, TChangeKind kind) override;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Unbind();
  //! Draws FPlan (chart_render.cpp).
  void Draw();
  //! Places the pies in rows that fit the chart's shape; false when there
  //! are none (chart_render.cpp).
  bool ArrangePies();
  //! Paints bars with colours of their own over Qt's (chart_marks.cpp).
  void ColorBars();
  //! Places the marks of the drawn points where they fit (chart_marks.cpp).
  void PlaceMarks();
  void Redraw();
  void PointClicked(QAbstractSeries* series, int point);

  TChartData FData;
  TChartPlan FPlan;
  TCustomVantraGrid* FGrid = nullptr;
  TGridInfo* FModel = nullptr;
  bool FMarksVisible = true;
  TSeriesMarksStyle FMarkStyle = TSeriesMarksStyle::smsValue;
  int FRebuilds = 0;
  bool FDrawn = false;
  QPoint FMouse;
  QLabel* FNote;
  TChartOverlay* FOverlay;
};

}  // namespace qd
