// The progress window: its place on the screen, the counter every 500
// records, and Cancel stopping a real cube build.
#include <gtest/gtest.h>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "engine/core/errors.h"
#include "qt_test_app.h"
#include "tests/engine/cube_test_util.h"
#include "view/progress_dlg.h"

namespace qd::test {
namespace {

TEST(ProgressDlg, SitsCentredAtAThirdOfTheScreenHeight) {
  EXPECT_EQ(TVProgressDlg::Placement(QRect(0, 0, 1200, 900), QSize(300, 100)), QPoint(450, 300));
  EXPECT_EQ(TVProgressDlg::Placement(QRect(100, 50, 800, 600), QSize(200, 80)), QPoint(400, 250));
}

TEST(ProgressDlg, ShowsTheCounterEveryFiveHundredTicks) {
  TestApp();
  TVProgressDlg dlg;
  EXPECT_EQ(dlg.CancelButton()->text().toStdString(), "取消(&C)");
  dlg.Begin("正在建立Cube数据...");
  dlg.SetCounterFormat("已读取行数：%.0n");
  for (int i = 0; i < 499; ++i) dlg.Tick();
  EXPECT_FALSE(dlg.isVisible());
  dlg.Tick();
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_TRUE(dlg.isModal());
  EXPECT_EQ(dlg.ProgressLabel()->text().toStdString(), "已读取行数：500");
  for (int i = 0; i < 500; ++i) dlg.Tick();
  EXPECT_EQ(dlg.ProgressLabel()->text().toStdString(), "已读取行数：1,000");
  dlg.End();
  EXPECT_FALSE(dlg.isVisible());
}

TEST(ProgressDlg, CancelStopsTheBuildWithTheUserCanceledText) {
  TestApp();
  std::vector<std::vector<TVariant>> rows;
  for (int i = 0; i < 2000; ++i) rows.push_back({S(i % 2 ? "a" : "b"), D(i)});
  auto table =
      MakeTable("qrFacts", {{"K", TFieldType::ftString}, {"V", TFieldType::ftFloat}}, rows);
  TVantra cube;
  cube.SetDataSet(table.get());
  DefineMap(cube, {"K"}, {"V"});
  TVProgressDlg dlg;
  cube.ProgressSink = &dlg;
  // The click is handled while the build lets the window process input.
  QTimer::singleShot(0, dlg.CancelButton(), &QPushButton::click);
  try {
    cube.SetActive(true);
    FAIL() << "the build was not cancelled";
  } catch (const ECubeError& e) {
    EXPECT_STREQ(e.what(), "用户中止了进程");
  }
  EXPECT_FALSE(cube.Active());
  EXPECT_FALSE(dlg.isVisible());
  // The next build runs to its end.
  cube.SetActive(true);
  EXPECT_TRUE(cube.Active());
}

}  // namespace
}  // namespace qd::test
