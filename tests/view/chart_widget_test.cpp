// The chart bound to a pivot grid: registration and its end from either side,
// the reaction to the model's changes, the Qt series it draws, a point click
// through real mouse events, and the toolbar with saving.
#include <QAbstractBarSeries>
#include <QBarSeries>
#include <QAreaSeries>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QPieSeries>
#include <QProcess>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QTest>
#include <QToolButton>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>

#include "view/chart/chart_marks.h"
#include "view/chart/chart_toolbar.h"
#include "view/chart/vantra_chart.h"
#include "view_test_grid.h"

namespace qd::test {
namespace {

class ChartView : public ViewGrid {
 protected:
  void SetUp() override {
    ViewGrid::SetUp();
    chart = std::make_unique<TVantraChart>();
    chart->resize(700, 450);
    chart->show();
    chart->SetVantGrid(control.get());
    Drain();
  }
  std::vector<std::string> Categories() const { return chart->Plan().Categories; }
  QList<QAbstractSeries*> Series() const { return chart->chart()->series(); }
  QStringList MarkTexts() const {
    QStringList out;
    for (const auto& m : chart->Overlay().Marks()) out << m.Text;
    return out;
  }

  std::unique_ptr<TVantraChart> chart;
};

TEST_F(ChartView, BuildsWhenBoundAndFollowsTheGrid) {
  EXPECT_EQ(chart->RebuildCount(), 2);  // the unbound start, then the model's first post
  EXPECT_EQ(Categories(), (std::vector<std::string>{"North", "南方"}));
  ASSERT_EQ(Series().size(), 2);
  EXPECT_EQ(Series()[0]->name(), "2025");  // the last column member is created first
  EXPECT_EQ(Series()[1]->name(), "2024");

  Model().HideFollowingMembers(*RowLabel("North"), 0);
  Drain();
  EXPECT_EQ(Categories(), (std::vector<std::string>{"North"}));

  Model().MoveDim(kYear, TDimGroup::dgRow, 0);
  Drain();  // nothing on the columns: no series
  EXPECT_TRUE(Categories().empty());
  EXPECT_TRUE(Series().empty());
  Model().MoveDim(kRegion, TDimGroup::dgCol, 0);
  Drain();
  EXPECT_EQ(Categories(), (std::vector<std::string>{"2024", "2025"}));
  EXPECT_EQ(Series()[0]->name(), "North");
}

TEST_F(ChartView, ReactsToEachKindAsItsTableSays) {
  const int start = chart->RebuildCount();
  Model().SetWordWrap(!Model().WordWrap());
  Drain();
  EXPECT_EQ(chart->RebuildCount(), start);

  chart->SetSortType(TvtcSortType::vtcName);  // re-sorts its own data only
  EXPECT_EQ(chart->RebuildCount(), start);
  Model().SetSortType(Model().DimensionState(kRegion), TDimSortType::dsNameDesc, true);
  Drain();  // a new row order: nothing while the chart sorts by name
  EXPECT_EQ(chart->RebuildCount(), start);
  chart->SetSortType(TvtcSortType::vtcGrid);
  EXPECT_EQ(chart->RebuildCount(), start + 1);
  Model().SetSortType(Model().DimensionState(kRegion), TDimSortType::dsNameDesc, true);
  Drain();
  EXPECT_EQ(chart->RebuildCount(), start + 2);

  // Grouping members renumbers them: the chart must not keep the old ones.
  Model().MoveMemberToGroup(*RowLabel("North"), 0);
  Drain();
  EXPECT_EQ(chart->RebuildCount(), start + 3);
  EXPECT_EQ(Categories(), (std::vector<std::string>{"其它", "南方"}));

  // Hiding the charted summary moves the chart to the next one shown.
  ASSERT_EQ(chart->Data().ValueTitle(), "Amount (Sum)");
  Model().SummarySettings().Items(0).SetVisible(false);
  Model().BeginUpdate();
  Model().EndUpdate(TChangeKind::ckDataColumns);
  Drain();
  EXPECT_EQ(chart->Data().ValueTitle(), "Qty (Sum)");
}

TEST_F(ChartView, LetsGoOfTheModelWhicheverGoesFirst) {
  // The chart first: later notifications must not reach it (the sanitizer
  // reports a use after free otherwise).
  chart.reset();
  Model().MoveDim(kRegion, TDimGroup::dgPage, 0);
  Drain();

  chart = std::make_unique<TVantraChart>();
  chart->SetVantGrid(control.get());
  Drain();
  EXPECT_FALSE(chart->Data().Empty());
  control.reset();  // the grid and its model first
  EXPECT_EQ(chart->VantGrid(), nullptr);
  EXPECT_TRUE(chart->Data().Empty());
  EXPECT_TRUE(Series().empty());
  chart.reset();
}

TEST_F(ChartView, DrawsEachSeriesKind) {
  chart->SetColorSchemaDimension(TvtRangeType::vtrDefault);
  const std::pair<TvtSeries, QAbstractSeries::SeriesType> kinds[] = {
      {TvtSeries::csHorBar, QAbstractSeries::SeriesTypeHorizontalBar},
      {TvtSeries::csLine, QAbstractSeries::SeriesTypeLine},
      {TvtSeries::csArea, QAbstractSeries::SeriesTypeArea},
      {TvtSeries::csPoint, QAbstractSeries::SeriesTypeScatter},
      {TvtSeries::csBar, QAbstractSeries::SeriesTypeBar},
      {TvtSeries::csPie, QAbstractSeries::SeriesTypePie}};
  int created = 0;
  chart->OnNewSeries = [&created](TVantraChart&, QAbstractSeries*) { ++created; };
  for (const auto& [kind, type] : kinds) {
    created = 0;
    chart->SetDefaultSeries(kind);
    ASSERT_EQ(Series().size(), 2) << static_cast<int>(kind);
    EXPECT_EQ(Series()[0]->type(), type);
    EXPECT_EQ(created, 2);
  }
  auto* pie = qobject_cast<QPieSeries*>(Series()[0]);
  ASSERT_EQ(pie->count(), 2);
  chart->LayOut();
  chart->SetDefaultMarkStyle(TSeriesMarksStyle::smsLabel);
  EXPECT_TRUE(MarkTexts().contains("North"));
  chart->SetDefaultMarkStyle(TSeriesMarksStyle::smsPercent);
  EXPECT_TRUE(MarkTexts().contains("25.45 %"));  // 7 of 27.5
  EXPECT_TRUE(MarkTexts().contains("2024"));     // without a legend each pie has its title

  chart->SetMarksVisible(false);
  EXPECT_TRUE(chart->Overlay().Marks().empty());
}

// A colour scale colours bar by bar: each bar shows its own point's colour,
// upright or lying, wherever Qt Charts puts it.
TEST_F(ChartView, EachBarShowsItsPointsColour) {
  chart->SetMarksVisible(false);
  chart->SetColorSchemaDimension(TvtRangeType::vtrRowsCols);
  for (TvtSeries kind : {TvtSeries::csBar, TvtSeries::csHorBar}) {
    chart->SetDefaultSeries(kind);
    chart->LayOut();
    ASSERT_EQ(Series().size(), 2);
    EXPECT_EQ(chart->Overlay().Bars().size(), 4u);
    const QImage image = chart->grab().toImage();
    QChart& c = *chart->chart();
    const TChartPlan& plan = chart->Plan();
    for (int s = 0; s < 2; ++s)
      for (int i = 0; i < 2; ++i) {
        const TChartDrawPoint& p = plan.Series[s].Points[i];
        // The middle of the bar: series share a category, the first on the left (or below).
        const QPointF middle(i - 0.25 + 0.5 * s, p.Value / 2);
        const QPointF at = kind == TvtSeries::csBar ? middle : middle.transposed();
        const QPoint pixel = chart->mapFromScene(c.mapToScene(c.mapToPosition(at, Series()[s])));
        EXPECT_EQ(image.pixelColor(pixel * image.devicePixelRatio()).rgb(), ToQColor(p.Color).rgb())
            << static_cast<int>(kind) << " " << s << " " << i;
      }
  }
  chart->SetDefaultSeries(TvtSeries::csLine);
  EXPECT_TRUE(chart->Overlay().Bars().empty());
}

// An area fills the room under its line: its bounding line holds every
// category's point, and the drawn chart shows the area's colour.
TEST_F(ChartView, AnAreaIsFilledUnderItsLine) {
  chart->SetColorSchemaDimension(TvtRangeType::vtrDefault);
  chart->SetMarksVisible(false);
  chart->SetDefaultSeries(TvtSeries::csArea);
  ASSERT_EQ(Series().size(), 2);
  auto* area = qobject_cast<QAreaSeries*>(Series()[1]);  // 2024: 10 at North, 5 at 南方
  ASSERT_NE(area, nullptr);
  ASSERT_NE(area->upperSeries(), nullptr);
  EXPECT_EQ(area->upperSeries()->points(), (QList<QPointF>{{0, 10}, {1, 5}}));
  area->setColor(QColor(0, 200, 0));
  Series()[0]->setVisible(false);
  chart->LayOut();
  const QImage image = chart->grab().toImage();
  QChart& c = *chart->chart();
  // Halfway up the area at North and between the categories.
  for (const QPointF& at : {QPointF(0.1, 5), QPointF(0.5, 3)}) {
    const QPoint pixel = chart->mapFromScene(c.mapToScene(c.mapToPosition(at, area)));
    const QColor seen = image.pixelColor(pixel * image.devicePixelRatio());
    EXPECT_GT(seen.green(), 150) << at.x() << " " << seen.name().toStdString();
    EXPECT_LT(seen.red(), 100) << at.x() << " " << seen.name().toStdString();
  }
}

TEST_F(ChartView, ManyCategoriesAreCappedWithANote) {
  chart->SetMaxDrawnCategories(1);
  EXPECT_EQ(Categories().size(), 1u);
  EXPECT_EQ(chart->LeftOutNote().toStdString(), "共 2 个分类，图表只画出前 1 个，另有 1 个未画出");
  EXPECT_TRUE(chart->findChild<QLabel*>()->isVisible());
}

TEST_F(ChartView, ClickOnABarReportsItsPoint) {
  chart->SetMarksVisible(false);  // the bars' own colours lie over them: the click passes
  int series = -1, point = -1;
  chart->OnClickSeries = [&](TVantraChart&, int s, int p, int, int) {
    series = s;
    point = p;
  };
  // The middle of 2024's bar at 南方 (10 for North, 5 for 南方), in view
  // coordinates: the series share each category, 2024 in its right half.
  QAbstractSeries* s2024 = Series()[1];
  QApplication::processEvents();  // the chart lays itself out before the user sees it
  QChart& c = *chart->chart();
  const QPoint at = chart->mapFromScene(c.mapToScene(c.mapToPosition(QPointF(1.25, 2.5), s2024)));
  QTest::mouseClick(chart->viewport(), Qt::LeftButton, {}, at);
  ASSERT_EQ(series, 1);
  EXPECT_EQ(point, 1);
  EXPECT_EQ(ChartPointMessage(chart->Plan(), series, point, 3, 4),
            "X轴值：南方\nY轴值：5\n占比：33.33 %\n点击位置：X3,Y4");
}

TEST_F(ChartView, ToolbarItemsSetThePropertyAndShowTheirChoice) {
  TChartToolBar bar(*chart);
  QToolButton& series = bar.SeriesBtn();
  EXPECT_EQ(TChartToolBar::ImageIndex(series), 8);
  series.menu()->actions()[4]->trigger();  // 饼图
  EXPECT_EQ(chart->DefaultSeries(), TvtSeries::csPie);
  EXPECT_EQ(TChartToolBar::ImageIndex(series), 11);
  EXPECT_EQ(series.toolTip().toStdString(), "饼图");
  bar.DimBtn().menu()->actions()[1]->trigger();
  bar.SortBtn().menu()->actions()[2]->trigger();
  bar.ColorBtn().menu()->actions()[1]->trigger();
  EXPECT_EQ(chart->UseDimension(), TvtDimensionType::vtcColumns);
  EXPECT_EQ(chart->SortType(), TvtcSortType::vtcValue);
  EXPECT_EQ(chart->ColorSchema(), TvtcColorSchema::vtcHighestIsCold);

  bar.ResetChartControls();
  EXPECT_EQ(chart->UseDimension(), TvtDimensionType::vtcRows);
  EXPECT_EQ(chart->ColorSchema(), TvtcColorSchema::vtcHighestIsHot);
  EXPECT_EQ(chart->SortType(), TvtcSortType::vtcGrid);
  EXPECT_EQ(chart->DefaultSeries(), TvtSeries::csBar);
  EXPECT_EQ(TChartToolBar::ImageIndex(bar.SortBtn()), 6);
  EXPECT_EQ(bar.SortBtn().toolTip().toStdString(), "根据列表排序规则进行排序");

  int previews = 0;
  bar.ShowPrintPreview = [&previews](TVantraChart&) { ++previews; };
  QTest::mouseClick(&bar.PrintButton(), Qt::LeftButton);
  EXPECT_EQ(previews, 1);
  EXPECT_EQ(bar.PrintButton().toolTip().toStdString(), "打印图表");
}

// Saved files are read back by readers we did not write where we have them.
TEST_F(ChartView, SavesPngSvgAndPdf) {
  TChartToolBar bar(*chart);
  const auto dir = std::filesystem::temp_directory_path() /
                   ("qd_chart_" + std::to_string(QCoreApplication::applicationPid()));
  std::filesystem::create_directories(dir);
  for (const char* name : {"c.png", "c.svg", "c.pdf"}) {
    const std::string path = (dir / name).string();
    bar.ChooseSaveFile = [&path] { return path; };
    QTest::mouseClick(&bar.SaveButton(), Qt::LeftButton);
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
  }
  EXPECT_FALSE(QImage(QString::fromStdString((dir / "c.png").string())).isNull());
  EXPECT_EQ(QProcess::execute("xmllint", {"--noout", QString::fromStdString((dir / "c.svg").string())}), 0);
  QProcess text;
  text.start("pdftotext", {QString::fromStdString((dir / "c.pdf").string()), "-"});
  if (text.waitForFinished() && text.exitCode() == 0) {
    const QString words = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(words.contains("North"));
    ASSERT_FALSE(MarkTexts().isEmpty());
    EXPECT_TRUE(words.contains(MarkTexts().front())) << MarkTexts().front().toStdString();
  }

  TShownMessages shown;
  bar.ChooseSaveFile = [&dir] { return (dir / "c.bmp").string(); };
  QTest::mouseClick(&bar.SaveButton(), Qt::LeftButton);
  bar.ChooseSaveFile = [] { return std::string("/nonexistent-folder/c.png"); };
  QTest::mouseClick(&bar.SaveButton(), Qt::LeftButton);
  ASSERT_EQ(shown.Messages.size(), 2u);
  EXPECT_NE(shown.Messages[0].find("PNG、SVG 或 PDF"), std::string::npos);
  EXPECT_NE(shown.Messages[1].find("/nonexistent-folder/c.png"), std::string::npos);

  // A save that fails part way (here at a file-size limit) leaves the old
  // picture whole and no partial file beside it.
  const auto path = dir / "c.pdf";
  const auto before = std::filesystem::file_size(path);
  ASSERT_GT(before, 4096u);
  bar.ChooseSaveFile = [&path] { return path.string(); };
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  QTest::mouseClick(&bar.SaveButton(), Qt::LeftButton);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  ASSERT_EQ(shown.Messages.size(), 3u);
  EXPECT_EQ(std::filesystem::file_size(path), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 3);
  std::filesystem::remove_all(dir);
}

// Sixty categories and three series, one value of eight digits: more marks
// than the chart has room for.
class ChartCrowded : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    std::vector<std::string> categories;
    for (int c = 0; c < 60; ++c) categories.push_back("Category " + std::to_string(c));
    cube.AddDim("Cat", categories, TDimGroup::dgRow);
    cube.AddDim("Ser", {"S1", "S2", "S3"}, TDimGroup::dgCol);
    cube.AddSummary("Amount");
    for (int s = 0; s < 3; ++s)
      for (int c = 0; c < 60; ++c)
        cube.AddFact({c, s}, {c == 7 && s == 0 ? 12345678.9 : 1000.0 + 37 * c + 500 * s});
    cube.Activate();
    grid = std::make_unique<TVantraGrid>();
    grid->Model().SetCube(&cube);
    grid->ProcessModelNotifications();
    chart = std::make_unique<TVantraChart>();
    chart->resize(800, 500);
    chart->show();
    chart->SetColorSchemaDimension(TvtRangeType::vtrDefault);
    chart->SetVantGrid(grid.get());
    grid->ProcessModelNotifications();
  }

  TTestCube cube;
  std::unique_ptr<TVantraGrid> grid;
  std::unique_ptr<TVantraChart> chart;
};

TEST_F(ChartCrowded, MarksNeverOverlapAndWriteNoExponent) {
  for (TvtSeries kind : {TvtSeries::csBar, TvtSeries::csHorBar, TvtSeries::csLine,
                         TvtSeries::csArea, TvtSeries::csPoint, TvtSeries::csPie}) {
    chart->SetDefaultSeries(kind);
    chart->LayOut();
    const auto& marks = chart->Overlay().Marks();
    SCOPED_TRACE(static_cast<int>(kind));
    ASSERT_FALSE(marks.empty());
    EXPECT_LT(marks.size(), 180u);  // not every one fits
    const QRectF view(QPointF(0, 0), chart->chart()->size());
    bool big = false;
    for (std::size_t i = 0; i < marks.size(); ++i) {
      const QRectF& box = marks[i].Box;
      const std::string text = marks[i].Text.toStdString();
      EXPECT_TRUE(view.contains(box)) << text;
      for (std::size_t k = 0; k < i; ++k)
        EXPECT_FALSE(box.intersects(marks[k].Box)) << text << " over " << marks[k].Text.toStdString();
      EXPECT_FALSE(marks[i].Text.contains('e')) << text;
      big = big || text == "12345678.90";
    }
    EXPECT_TRUE(big);  // the largest value keeps its mark
  }
}

TEST_F(ChartCrowded, ValueAxisGroupsThousands) {
  chart->SetDefaultSeries(TvtSeries::csBar);
  chart->LayOut();
  const auto path = std::filesystem::temp_directory_path() /
                    ("qd_axis_" + std::to_string(QCoreApplication::applicationPid()) + ".svg");
  chart->SaveToFile(path.string());
  QFile file(QString::fromStdString(path.string()));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString svg = QString::fromUtf8(file.readAll());
  std::filesystem::remove(path);
  // Ticks run to 12,345,678.9 or past it: one of them must read like "2,000,000".
  EXPECT_TRUE(svg.contains(QRegularExpression(">\\d{1,3},000,000<"))) << svg.size();
  EXPECT_FALSE(svg.contains(QRegularExpression(">\\d0000000<")));
}

}  // namespace
}  // namespace qd::test
