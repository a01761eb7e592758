// The chart tab of the main window over a built-in cube: bound to the window's
// grid, drawn when the cube opens, reset by "打开当前Cube", and a click on a
// point shows the point's message.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "app/chart_page.h"
#include "app/cube_design_form.h"
#include "app/data_module.h"
#include "app/workbench.h"
#include "temp_folder.h"
#include "tests/view/qt_test_app.h"
#include "view/chart/chart_toolbar.h"
#include "view/chart/vantra_chart.h"
#include "view/vantra_grid.h"

namespace qd::test {
namespace {

TEST(MainWindowChart, FollowsTheOpenCubeAndResetsItsControls) {
  setenv("QD_DEMO_DB", QD_DEMO_DB, 1);
  TestApp();
  TShownMessages shown;
  qd::testing::TTempFolder folder;
  TWorkbench wb(folder.Folder());
  TCubeDesignForm& form = *wb.Form;
  form.resize(1000, 700);
  form.show();
  form.FormActivate();
  TVantraChart& chart = form.ChartPage().xChart();
  EXPECT_EQ(chart.VantGrid(), &form.Grid());
  EXPECT_EQ(form.PageControl().widget(1), &form.ChartPage());
  EXPECT_EQ(chart.ColorSchemaDimension(), TvtRangeType::vtrDefault);

  form.MainTreeView().setCurrentItem(form.FindNode({"内部Cube", wb.DataModule->DBCubes[0].Name}));
  QApplication::processEvents();
  form.Grid().ProcessModelNotifications();
  ASSERT_TRUE(shown.Messages.empty()) << shown.Messages.front();
  EXPECT_FALSE(chart.Data().Empty());
  EXPECT_FALSE(chart.chart()->series().empty());

  form.PageControl().setCurrentIndex(1);
  form.ChartPage().ToolBar().SeriesBtn().menu()->actions()[4]->trigger();
  EXPECT_EQ(chart.DefaultSeries(), TvtSeries::csPie);
  form.CloseCubeClick();
  form.Grid().ProcessModelNotifications();
  EXPECT_TRUE(chart.chart()->series().empty());
  form.OpenCubeMenuClick();
  form.Grid().ProcessModelNotifications();
  EXPECT_EQ(chart.DefaultSeries(), TvtSeries::csBar);
  EXPECT_EQ(form.PageControl().currentIndex(), 0);
  EXPECT_FALSE(chart.chart()->series().empty());

  // A click on the first drawn point of the first series shows its message.
  form.PageControl().setCurrentIndex(1);
  QApplication::processEvents();
  QChart& c = *chart.chart();
  QAbstractSeries* first = c.series().front();
  const double value = chart.Plan().Series.front().Points.front().Value;
  const int count = static_cast<int>(chart.Plan().Series.size());
  // Series share a category side by side; the first one takes the leftmost slot.
  const double x = -0.5 + 0.5 / count + 0.0;
  const QPoint at = chart.mapFromScene(c.mapToScene(c.mapToPosition(QPointF(x + 0.25 / count, value / 2), first)));
  QTest::mouseClick(chart.viewport(), Qt::LeftButton, {}, at);
  ASSERT_EQ(shown.Messages.size(), 1u);
  EXPECT_EQ(shown.Messages[0].rfind("X轴值：" + chart.Plan().Categories.front() + "\nY轴值：", 0), 0u)
      << shown.Messages[0];
}

}  // namespace
}  // namespace qd::test
