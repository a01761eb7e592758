#include "app/chart_page.h"

#include <QVBoxLayout>

#include "view/chart/chart_toolbar.h"
#include "view/chart/vantra_chart.h"
#include "view/message_guard.h"
#include "view/vantra_grid.h"

namespace qd {

TChartPage::TChartPage(TVantraGrid& grid, QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  FChart = new TVantraChart(this);
  FToolBar = new TChartToolBar(*FChart, this);
  layout->addWidget(FToolBar);
  layout->addWidget(FChart, 1);
  FChart->SetUseDimension(TvtDimensionType::vtcRows);
  FChart->SetColorSchemaDimension(TvtRangeType::vtrDefault);
  FChart->SetControlSummaryName("Quantity");
  FChart->chart()->setTitle(QString());
  FChart->OnClickSeries = [this](TVantraChart&, int series, int point, int x, int y) {
    xChartClickSeries(series, point, x, y);
  };
  FChart->SetVantGrid(&grid);
}

void TChartPage::ResetChartControls() {
  FToolBar->ResetChartControls();
}

void TChartPage::xChartClickSeries(int series, int point, int x, int y) {
  ShowMessage(ChartPointMessage(FChart->Plan(), series, point, x, y));
}

}  // namespace qd
