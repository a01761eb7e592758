// The pivot grid control: pivot areas filled from the model, dimensions moved
// by dropped panels, the pivot toggle, the tool strip, binding a cube and
// the queued model notifications.
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QToolButton>

#include "engine/core/errors.h"
#include "export/grid_export_structure.h"
#include "tests/engine/cube_test_util.h"
#include "view/large_layout_box.h"
#include "view/pivot_panels.h"
#include "view_test_grid.h"

namespace qd::test {
namespace {

using Strings = std::vector<std::string>;

TEST_F(ViewGrid, PivotAreasShowTheAxesInOrder) {
  EXPECT_EQ(Names(control->Area(TDimGroup::dgRow)), (Strings{"Region", "Product"}));
  EXPECT_EQ(Names(control->Area(TDimGroup::dgCol)), (Strings{"Year"}));
  EXPECT_EQ(Names(control->Area(TDimGroup::dgPage)), (Strings{"Channel"}));
  // Stacked in the row area, side by side elsewhere.
  const auto rows = control->Area(TDimGroup::dgRow).Panels();
  EXPECT_EQ(rows[1]->y(), control->DimPanelHeight());
  EXPECT_EQ(rows[1]->width(), control->VisualSettings().PivotWidth());
  EXPECT_EQ(control->TopStrip().height(), control->DimPanelHeight() + 4);
}

TEST_F(ViewGrid, DroppedPanelsMoveByTheIndexUnderThePoint) {
  TPivotPanel& rows = control->Area(TDimGroup::dgRow);
  TPivotPanel& cols = control->Area(TDimGroup::dgCol);
  TPivotPanel& pages = control->Area(TDimGroup::dgPage);
  const int h = control->DimPanelHeight();
  const int w = control->VisualSettings().PivotWidth();

  // Year dropped on the row area just below the top: first row dimension.
  EXPECT_TRUE(DropPanel(*cols.Panels()[0], rows, QPoint(10, h / 3)));
  Drain();
  EXPECT_EQ(Names(rows), (Strings{"Year", "Region", "Product"}));
  EXPECT_TRUE(Names(cols).empty());

  // Region dropped in the gap after the last column panel: index one past the last.
  DropPanel(*rows.Panels()[1], cols, QPoint(w / 3, 5));
  Drain();
  EXPECT_EQ(Names(cols), (Strings{"Region"}));

  // Any drop on the page area puts the dimension first there.
  DropPanel(*rows.Panels()[1], pages, QPoint(3 * w, 5));
  Drain();
  EXPECT_EQ(Names(pages), (Strings{"Product", "Channel"}));

  // A page dimension dropped on the page area, or a panel on its own slot, does nothing.
  DropPanel(*pages.Panels()[1], pages, QPoint(0, 0));
  DropPanel(*rows.Panels()[0], rows, QPoint(5, h / 4));
  EXPECT_EQ(Model().PendingNotifications(), 0u);

  // A page dimension leaves from its place in the page list.
  DropPanel(*pages.Panels()[1], rows, QPoint(5, 5 * h));
  Drain();
  EXPECT_EQ(Names(rows), (Strings{"Year", "Channel"}));
  EXPECT_EQ(Names(pages), (Strings{"Product"}));
}

TEST_F(ViewGrid, AreasRefuseDragsOfOtherGridsAndOtherData) {
  TTestCube otherCube;
  TVantraGrid other;
  AddSampleSales(otherCube);
  otherCube.Activate();
  other.Model().SetCube(&otherCube);
  other.ProcessModelNotifications();
  TPivotPanel& rows = control->Area(TDimGroup::dgRow);
  EXPECT_FALSE(DropPanel(*other.Area(TDimGroup::dgCol).Panels()[0], rows, QPoint(5, 5)));

  QMimeData text;
  text.setText("Year");
  QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction, &text, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&rows, &enter);
  EXPECT_FALSE(enter.isAccepted());
  // Damaged data of our own type is refused too.
  QMimeData damaged;
  damaged.setData(kDimensionMimeType, "1;2;x");
  QDropEvent drop(QPointF(5, 5), Qt::MoveAction, &damaged, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&rows, &drop);
  EXPECT_FALSE(drop.isAccepted());
  Drain();
  EXPECT_EQ(Names(rows), (Strings{"Region", "Product"}));
}

TEST_F(ViewGrid, ThePanelsOfARunningDragStayUntilItEnds) {
  TPivotPanel& rows = control->Area(TDimGroup::dgRow);
  TDimPivotPanel* dragged = control->Area(TDimGroup::dgCol).Panels()[0];
  control->BeginDimDrag();
  EXPECT_FALSE(dragged->isEnabled());
  EXPECT_TRUE(DropPanel(*dragged, rows, QPoint(5, 5)));
  QApplication::processEvents();  // the model's notification arrives during the drag
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_EQ(control->Area(TDimGroup::dgCol).Panels().size(), 1u) << "not rebuilt yet";
  EXPECT_EQ(control->Area(TDimGroup::dgCol).Panels()[0], dragged);
  control->EndDimDrag();
  EXPECT_EQ(Names(rows), (Strings{"Year", "Region", "Product"}));
  for (const TDimPivotPanel* p : rows.Panels()) EXPECT_TRUE(p->isEnabled());
}

TEST_F(ViewGrid, NotificationsAreDeliveredByTheEventLoop) {
  Model().MoveDim(kYear, TDimGroup::dgPage, 0);
  EXPECT_EQ(Names(control->Area(TDimGroup::dgCol)), (Strings{"Year"})) << "not yet delivered";
  QApplication::processEvents();
  EXPECT_EQ(Model().PendingNotifications(), 0u);
  EXPECT_TRUE(Names(control->Area(TDimGroup::dgCol)).empty());
  EXPECT_EQ(Names(control->Area(TDimGroup::dgPage)), (Strings{"Year", "Channel"}));
}

TEST_F(ViewGrid, PivotToggleHidesTheAreasAndBringsThemBack) {
  QToolButton& toggle = control->PivotToggle();
  EXPECT_TRUE(toggle.isChecked());
  EXPECT_EQ(toggle.toolTip().toStdString(), "隐藏多维面板");
  toggle.click();
  EXPECT_FALSE(control->VisualSettings().PivotVisible());
  EXPECT_TRUE(control->Area(TDimGroup::dgPage).isHidden());
  EXPECT_TRUE(control->TopStrip().isHidden());
  EXPECT_EQ(Grid().geometry(), control->rect());
  EXPECT_EQ(toggle.toolTip().toStdString(), "显示多维面板");
  EXPECT_EQ(toggle.parentWidget(), &Grid());
  EXPECT_EQ(toggle.pos(), QPoint(2, 2));
  toggle.click();
  EXPECT_TRUE(toggle.isChecked());
  EXPECT_FALSE(control->Area(TDimGroup::dgPage).isHidden());
  EXPECT_EQ(control->Area(TDimGroup::dgPage).y(), 0);
}

TEST_F(ViewGrid, ToolStripButtonsCloseRanksWhenSomeAreHidden) {
  TAggPanel& strip = control->ToolStrip();
  EXPECT_EQ(strip.StatesButton()->x(), 43);
  control->VisualSettings().SetShowDimensionSettings(false);
  EXPECT_EQ(strip.SummariesButton()->x(), 3);
  EXPECT_EQ(strip.StatesButton()->x(), 23);
  control->VisualSettings().SetShowSummarySettings(false);
  EXPECT_EQ(strip.StatesButton()->x(), 3);
  control->VisualSettings().SetShowMoreIconsButton(false);
  EXPECT_FALSE(control->VisualSettings().ShowMoreIconsButton());
}

TEST_F(ViewGrid, DimPanelLinesAboveOneMakePanelsTaller) {
  const int one = control->DimPanelHeight();
  control->VisualSettings().SetDimPanelLines(0);  // ignored
  EXPECT_EQ(control->DimPanelHeight(), one);
  control->VisualSettings().SetDimPanelLines(3);
  const int h = QFontMetrics([&] {
                  QFont f = control->VisualSettings().DimPanelFont();
                  f.setBold(true);
                  return f;
                }())
                    .height();
  EXPECT_EQ(control->DimPanelHeight(), one + 2 * h);
  EXPECT_EQ(control->Area(TDimGroup::dgRow).Panels()[0]->height(), control->DimPanelHeight());
}

TEST_F(ViewGrid, ExportSnapshotHasTheCellsOfTheGridAndNoneWhileInactive) {
  auto snapshot = control->ExportStructure();
  ASSERT_TRUE(snapshot);
  EXPECT_EQ(snapshot->ColCount, Grid().ColCount());
  EXPECT_EQ(snapshot->RowCount, Grid().RowCount());
  EXPECT_EQ(snapshot->FixedCols, Grid().FixedCols());
  EXPECT_EQ(snapshot->FixedRows, Grid().FixedRows());
  const TGridCoord data = control->GridCellToDataCell(Grid().FixedCols() + 2, 1);
  EXPECT_EQ(data.X, 2);
  EXPECT_LT(data.Y, 0) << "a header row";
  cube.Deactivate();
  Drain();
  EXPECT_EQ(control->ExportStructure(), nullptr);
}

TEST(VantraGridBinding, BindingACubeFillsTheAreasAndUnbindingEmptiesThem) {
  TestApp();
  TShownMessages shown;
  auto table = MakeTable("qrSales",
                         {{"City", TFieldType::ftString},
                          {"Year", TFieldType::ftInteger},
                          {"Amount", TFieldType::ftFloat}},
                         {{S("Rome"), I(2024), D(1.5)}, {S("Oslo"), I(2025), D(2)}});
  TVantra cube;
  cube.SetDataSet(table.get());
  DefineMap(cube, {"City", "Year"}, {"Amount"});
  cube.DimensionMap().FindPlain("Year")->DimGroup = TDimGroup::dgCol;
  cube.Options().ShowProgressBar = false;
  TVantraGrid control;
  control.SetVantra(&cube);
  // The tool strip does nothing while the cube is not active.
  control.ToolStrip().SummariesButton()->click();
  EXPECT_TRUE(shown.Messages.empty());
  cube.SetActive(true);
  QApplication::processEvents();
  EXPECT_EQ(Names(control.Area(TDimGroup::dgRow)), (Strings{"City"}));
  EXPECT_EQ(Names(control.Area(TDimGroup::dgCol)), (Strings{"Year"}));
  EXPECT_TRUE(control.InternalGrid().LayoutValid());
  // Without its dialog the button says so instead of failing.
  control.OnSummariesDialog = nullptr;
  control.ToolStrip().SummariesButton()->click();
  EXPECT_EQ(shown.Messages.size(), 1u);

  control.SetVantra(nullptr);
  QApplication::processEvents();
  EXPECT_TRUE(Names(control.Area(TDimGroup::dgRow)).empty());
  EXPECT_FALSE(control.InternalGrid().LayoutValid());
  EXPECT_EQ(control.InternalGrid().ColCount(), 1);
}

// A page dimension dragged onto an axis of a layout above the limits asks
// first: cancel changes nothing, the first answer leaves the largest
// dimension on the page axis, the second takes the layout as it is.
TEST_F(ViewGrid, DropAboveTheSizeLimitsAsksFirst) {
  TPivotPanel& cols = control->Area(TDimGroup::dgCol);
  TPivotPanel& pages = control->Area(TDimGroup::dgPage);
  const int w = control->VisualSettings().PivotWidth();
  // Channel first on the columns brings its own lines instead of Year's;
  // after Year it adds none.
  const TLayoutEstimate first = EstimateDrop(Model(), kChannel, TDimGroup::dgCol, 0);
  const TLayoutEstimate after = EstimateDrop(Model(), kChannel, TDimGroup::dgCol, 1);
  ASSERT_GT(first.Cells, after.Cells);
  control->VisualSettings().LayoutLimits.Cells = after.Cells;
  std::vector<std::string> asked;
  TLargeLayoutChoice answer = TLargeLayoutChoice::lcCancel;
  control->AskLargeLayout = [&](const TLayoutEstimate& e, const std::string& largest) {
    asked.push_back(largest + " " + std::to_string(e.Cells));
    return answer;
  };
  EXPECT_TRUE(DropPanel(*pages.Panels()[0], cols, QPoint(5, 5)));
  EXPECT_EQ(asked, (Strings{"Product " + std::to_string(first.Cells)}));
  EXPECT_EQ(Model().PendingNotifications(), 0u);
  Drain();
  EXPECT_EQ(Names(cols), (Strings{"Year"}));

  // Dropped after Year the labels add no lines: no question.
  DropPanel(*pages.Panels()[0], cols, QPoint(w + w / 2, 5));
  Drain();
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(Names(cols), (Strings{"Year", "Channel"}));
  DropPanel(*cols.Panels()[1], pages, QPoint(5, 5));
  Drain();

  answer = TLargeLayoutChoice::lcPageLargest;
  DropPanel(*pages.Panels()[0], cols, QPoint(5, 5));
  Drain();
  EXPECT_EQ(Names(cols), (Strings{"Channel", "Year"}));
  EXPECT_EQ(Names(control->Area(TDimGroup::dgRow)), (Strings{"Region"}));
  EXPECT_EQ(Names(pages), (Strings{"Product"}));

  // Moves within the axes and onto the page never ask.
  asked.clear();
  DropPanel(*cols.Panels()[1], pages, QPoint(5, 5));
  Drain();
  DropPanel(*cols.Panels()[0], control->Area(TDimGroup::dgRow), QPoint(5, 5));
  Drain();
  EXPECT_TRUE(asked.empty());

  answer = TLargeLayoutChoice::lcGoOn;
  control->VisualSettings().LayoutLimits.Cells = 5;
  DropPanel(*pages.Panels()[0], cols, QPoint(5, 5));
  Drain();
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(Names(pages).size(), 1u);
}

// The question reads in grouped digits and never gives a small layout as "0 MB".
TEST(LargeLayoutQuestion, SizesReadAsTheUserExpects) {
  const TLayoutLimits limits;
  const std::string small = LargeLayoutText({9, 3000, 0}, limits);
  EXPECT_NE(small.find("9 个单元格，约需 3 KB"), std::string::npos) << small;
  EXPECT_NE(small.find("5,000,000 个单元格或 1.0 GB"), std::string::npos) << small;
  EXPECT_NE(LargeLayoutText({12'345'678, 700 << 20, 0}, limits).find("12,345,678 个单元格，约需 700 MB"),
            std::string::npos);
}

}  // namespace
}  // namespace qd::test
