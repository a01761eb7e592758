// "与另一Cube比较…" as the user meets it: chosen from the Cube menu with the
// mouse, the changed cells of the shown built-in cube painted in their
// colours with both values in the tooltip, the colours re-aligned after a
// layout change, a file that does not open reported, and "取消比较".
#include <gtest/gtest.h>

#include <cmath>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTreeWidget>

#include "app/compare_commands.h"
#include "app/cube_design_form.h"
#include "app/data_module.h"
#include "app/workbench.h"
#include "engine/cube/cube_file.h"
#include "engine/cube/vantra.h"
#include "model/cube_comparison.h"
#include "temp_folder.h"
#include "tests/app/workbench_fixture.h"
#include "tests/view/qt_test_app.h"
#include "view/internal_grid.h"
#include "view/vantra_grid.h"

namespace qd::test {
namespace {

class CompareWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("QD_DEMO_DB", QD_DEMO_DB, 1); }
  void SetUp() override {
    TestApp();
    wb = std::make_unique<TWorkbench>(folder.Folder());
    ASSERT_TRUE(ShowFirstBuiltinCube(*wb));
    // The earlier file: the shown cube with the first fact's first value 1000 lower.
    earlier = folder.Path("earlier.vtc");
    SaveCubeToFile(*Grid().Vantra(), earlier);
    TVantra before;
    LoadCubeFromFile(before, earlier);
    before.FactTable()->SetValue(0, 0, before.FactTable()->Value(0, 0) - 1000);
    SaveCubeToFile(before, earlier);
  }
  void TearDown() override { wb.reset(); }
  TVantraGrid& Grid() { return wb->Form->Grid(); }
  TInternalGrid& Cells() { return Grid().InternalGrid(); }
  TCompareCommands& Compare() { return wb->Form->CompareCommands(); }

  //! Clicks the Cube menu's item with the mouse, as a user does.
  void ClickCubeMenuItem(const std::string& text) {
    QMenuBar* bar = wb->Form->menuBar();
    QAction* cube = bar->actions().front();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(cube).center());
    QMenu* menu = cube->menu();
    ASSERT_TRUE(menu->isVisible());
    QAction* item = wb->Form->FindAction(text);
    ASSERT_TRUE(item) << text;
    ASSERT_TRUE(item->isEnabled()) << text;
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    Grid().ProcessModelNotifications();
  }
  //! Every changed cell on screen is painted in the colour of its difference;
  //! returns how many were on screen.
  int CheckPaintedChanges() {
    TCubeComparison& c = *Compare().Comparison();
    Cells().ComputeGeometry();
    const QImage img = Cells().viewport()->grab().toImage();
    int seen = 0;
    for (const TCellChange& change : c.Diff().Cells) {
      const QRect r = Cells().CellRect(change.Column + Cells().FixedCols(),
                                       change.Row + Cells().FixedRows());
      if (r.isEmpty() || r.bottom() >= img.height() || r.right() >= img.width()) continue;
      const TCellDifference d = c.DifferenceAt(change.Row, change.Column);
      const QColor want = d == TCellDifference::cdHigher  ? kCompareHigherColor
                          : d == TCellDifference::cdLower ? kCompareLowerColor
                                                          : kCompareOneSidedColor;
      EXPECT_EQ(QColor(img.pixel(r.left() + 2, r.bottom() - 2)), want) << change.Key;
      ++seen;
    }
    return seen;
  }

  TTempFolder folder;
  TShownMessages shown;
  std::unique_ptr<TWorkbench> wb;
  std::string earlier;
};

TEST_F(CompareWindow, ChangedCellsAreColouredFollowTheLayoutAndGoOnCancel) {
  EXPECT_FALSE(wb->Form->FindAction("取消比较")->isEnabled());
  Compare().ChooseFile = [this] { return earlier; };
  ClickCubeMenuItem("与另一Cube比较…");
  ASSERT_TRUE(Compare().Comparison());
  TCubeComparison& c = *Compare().Comparison();
  // The fact's cell and the totals over it: their sums are 1000 higher now.
  int sums = 0;
  for (const TCellChange& change : c.Diff().Cells) {
    EXPECT_EQ(change.Old.Value, Grid().Model().GetCellValue(change.Row, change.Column).Value);
    if (change.New.HasValue && std::fabs(change.Old.Value - change.New.Value - 1000) < 1e-6) {
      EXPECT_EQ(c.DifferenceAt(change.Row, change.Column), TCellDifference::cdHigher);
      ++sums;
    }
  }
  EXPECT_GE(sums, 2) << "the fact's cell and the grand total";
  EXPECT_GT(CheckPaintedChanges(), 0);
  EXPECT_EQ(wb->Form->StatusPanel(0).text().toStdString(), c.SummaryText());
  // The panel cuts a long line; its tooltip keeps the whole of it.
  EXPECT_EQ(wb->Form->StatusPanel(0).toolTip(), wb->Form->StatusPanel(0).text());
  EXPECT_TRUE(c.Diff().Members.empty());

  // Resting on a changed cell: the tooltip names the other file and the difference.
  const TCellChange first = c.Diff().Cells.front();
  const QPoint at =
      Cells().CellRect(first.Column + Cells().FixedCols(), first.Row + Cells().FixedRows()).center();
  QTest::mouseMove(Cells().viewport(), at);
  const std::string tip = Cells().viewport()->toolTip().toStdString();
  EXPECT_NE(tip.find("earlier.vtc："), std::string::npos) << tip;
  EXPECT_NE(tip.find("差额："), std::string::npos) << tip;

  // The row dimensions' labels expanded: the changes are found in the new lines.
  TGridInfo& model = Grid().Model();
  const std::size_t before = c.Diff().Cells.size();
  model.ExpandAll(model.DimensionState(model.RowDims().front()));
  Grid().ProcessModelNotifications();
  EXPECT_GE(c.Diff().Cells.size(), before);
  for (const TCellChange& change : c.Diff().Cells)
    EXPECT_EQ(change.Old.Value, model.GetCellValue(change.Row, change.Column).Value);
  // Scrolled to the first change, which may now lie below the view.
  Cells().SetTopRow(Cells().FixedRows() + c.Diff().Cells.front().Row);
  Cells().SetLeftCol(Cells().FixedCols() + c.Diff().Cells.front().Column);
  EXPECT_GT(CheckPaintedChanges(), 0);

  // A file that does not open is reported; the comparison in force stays.
  Compare().ChooseFile = [this] { return folder.Path("missing.vtc"); };
  ClickCubeMenuItem("与另一Cube比较…");
  EXPECT_EQ(shown.Messages.size(), 1u);
  EXPECT_EQ(Compare().Comparison(), &c);

  ClickCubeMenuItem("取消比较");
  EXPECT_EQ(Compare().Comparison(), nullptr);
  EXPECT_EQ(wb->Form->StatusPanel(0).text(), QString());
  QColor color;
  EXPECT_FALSE(Grid().OnMarkDataCell(first.Column, first.Row, color, nullptr));
}

// A cube that shares no summary (and one dimension only) with the shown one
// must not read as "0 个单元格不同": the status line says that no cell can
// be compared and names what only one of the cubes has.
TEST_F(CompareWindow, ACubeWithNothingToCompareSaysSo) {
  Compare().ChooseFile = [] { return std::string(QD_TEST_DATA_DIR) + "/cube_file/sales.vtc"; };
  ClickCubeMenuItem("与另一Cube比较…");
  ASSERT_TRUE(Compare().Comparison());
  const std::string status = wb->Form->StatusPanel(0).text().toStdString();
  EXPECT_EQ(status.rfind("与 sales.vtc 比较：两个Cube没有共同的合计项，单元格无法比较；", 0), 0u)
      << status;
  EXPECT_EQ(status.find("个单元格不同"), std::string::npos) << status;
  EXPECT_NE(status.find("；仅本Cube有的维度："), std::string::npos) << status;
  EXPECT_NE(status.find("；仅比较Cube有的维度：城市；"), std::string::npos) << status;
  EXPECT_NE(status.find("；仅比较Cube有的合计项：Amount"), std::string::npos) << status;
}

}  // namespace
}  // namespace qd::test
