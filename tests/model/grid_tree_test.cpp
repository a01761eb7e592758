// Label trees, expansion, moves, data columns and notifications of the grid
// model, mostly as golden dumps of whole small pivots.
#include <gtest/gtest.h>

#include "engine/core/errors.h"
#include "grid_test_cube.h"
#include "model/grid_dump.h"

namespace qd::test {
namespace {

using enum TDimGroup;

constexpr int kRegion = 0, kProduct = 1, kYear = 2, kChannel = 3;

// Region (flat) and Product (Fruit > Apple, Pear; Veg > Kale) on rows, Year on
// columns, Channel on the page axis. West has no facts; one fact is booked on
// the parent member Fruit and never shows while Product is active.
class GridTree : public ::testing::Test {
 protected:
  void SetUp() override {
    cube.AddDim("Region", {"North", "South", "West"}, dgRow);
    cube.AddDim("Product", {"Fruit", "Apple", "Pear", "Veg", "Kale"}, dgRow, {-1, 0, 0, -1, 3});
    cube.AddDim("Year", {"2024", "2025"}, dgCol);
    cube.AddDim("Channel", {"Shop", "Web"}, dgPage);
    cube.AddSummary("Amount");
    cube.AddSummary("Qty");
    cube.AddFact({0, 1, 0, 0}, {10, 1});
    cube.AddFact({0, 2, 1, 1}, {20, 2});
    cube.AddFact({1, 1, 0, 1}, {5, 1});
    cube.AddFact({1, 4, 1, 0}, {7, 3});
    cube.AddFact({1, 4, 1, 0}, {1, 1});
    cube.AddFact({0, 0, 0, 0}, {100, 9});
    cube.Activate();
    grid.SetCube(&cube);
    grid.ProcessNotifications();
    owner.Kinds.clear();
  }
  TDimensionState& State(int d) { return grid.DimensionState(d); }
  TLabelNode& RowNode(std::size_t i) { return *grid.RowTree().at(i); }

  TTestCube cube;
  TRecorder owner;
  TGridInfo grid{&owner};
};

TEST_F(GridTree, CollapsedLayoutShowsOnlyMembersWithData) {
  EXPECT_EQ(grid.RowDims(), (std::vector<int>{kRegion, kProduct}));
  EXPECT_EQ(grid.ColDims(), (std::vector<int>{kYear}));
  EXPECT_EQ(grid.PageDims(), (std::vector<int>{kChannel}));
  ExpectGolden("collapsed", DumpGrid(grid));
  EXPECT_EQ(grid.RowLineCount(), 3);  // North, South, Total: West is empty
  EXPECT_EQ(grid.RowHeaderWidth(), 1);
  EXPECT_EQ(grid.ColHeaderHeight(), 1);
}

class GridTotals : public GridTree, public ::testing::WithParamInterface<TTotalAppearance> {};

TEST_P(GridTotals, FullyExpandedPivotPlacesTotalsAtEveryLevel) {
  for (int d : {kRegion, kProduct, kYear}) grid.SetTotalAppearance(State(d), GetParam());
  grid.ExpandAll(State(kRegion));
  grid.ExpandAll(State(kProduct));
  const char* names[] = {"expanded_total_first", "expanded_total_last", "expanded_total_invisible"};
  ExpectGolden(names[static_cast<int>(GetParam())], DumpGrid(grid));
  EXPECT_EQ(grid.RowHeaderWidth(), 3);  // Region, then Product's two levels
  ASSERT_EQ(grid.CaptionNodes(0).size(), 2u);
  EXPECT_EQ(grid.CaptionNodes(0)[1].FirstColumn, 1);
  EXPECT_EQ(grid.CaptionNodes(0)[1].Width, 2);
}

INSTANTIATE_TEST_SUITE_P(EachAppearance, GridTotals,
                         ::testing::Values(TTotalAppearance::taFirst, TTotalAppearance::taLast,
                                           TTotalAppearance::taInvisible));

TEST_F(GridTree, ExpandingOneWayDropsTheOtherButtonAndCollapseRestoresBoth) {
  grid.MoveDim(kProduct, dgRow, 0);  // Product outermost: Fruit has both buttons
  std::vector<std::pair<int, bool>> events;
  grid.OnExpandDimValue = [&](TGridListener*, int dim, int member, bool expanded) {
    events.emplace_back(dim * 100 + member, expanded);
  };
  TLabelNode& fruit = RowNode(0);
  ASSERT_EQ(grid.GetNodeCaption(fruit), "Fruit");
  EXPECT_TRUE(fruit.HierarchyButton && fruit.NextDimButton);
  EXPECT_FALSE(grid.RowTree().back()->HasButton()) << "Total nodes get no buttons";

  grid.ExpandNode(fruit, 0, true);
  EXPECT_TRUE(fruit.ExpandedIntoHierarchy && fruit.HierarchyButton && !fruit.NextDimButton);
  ASSERT_EQ(fruit.Children.size(), 3u);  // Apple, Pear, Total
  EXPECT_EQ(fruit.Children[0]->Level, 2);
  EXPECT_EQ(fruit.Children[0]->HeaderColumn, 1);
  EXPECT_TRUE(fruit.Children[0]->NextDimButton && !fruit.Children[0]->HierarchyButton);

  grid.ExpandNode(fruit, 0, false);  // already expanded: left alone
  grid.CollapseNode(fruit, 0);
  EXPECT_FALSE(fruit.IsExpanded());
  EXPECT_TRUE(fruit.HierarchyButton && fruit.NextDimButton);
  EXPECT_TRUE(fruit.Children.empty());

  grid.ExpandNode(fruit, 0, false);
  EXPECT_TRUE(fruit.ExpandedIntoNext && fruit.NextDimButton && !fruit.HierarchyButton);
  ExpectGolden("fruit_into_region", DumpGrid(grid));
  EXPECT_EQ(events, (std::vector<std::pair<int, bool>>{{100, true}, {100, false}, {100, true}}));
  grid.ProcessNotifications();
  EXPECT_EQ(owner.Kinds, (std::vector<TChangeKind>{ckAxes, ckLabels, ckLabels, ckLabels}));
}

TEST_F(GridTree, CollapseAllAndExpandAllOnlyTouchTheirDimension) {
  grid.ExpandAll(State(kRegion));
  grid.ExpandAll(State(kProduct));
  ASSERT_EQ(grid.RowLineCount(), 10);
  grid.CollapseAll(State(kProduct));
  EXPECT_EQ(grid.RowLineCount(), 6);  // North: Fruit, Total; South: Fruit, Veg, Total; Total
  for (const auto& region : grid.RowTree())
    if (!region->IsTotal()) {
      EXPECT_TRUE(region->ExpandedIntoNext);
    }
  grid.CollapseAll(State(kRegion));
  EXPECT_EQ(grid.RowLineCount(), 3);
  grid.ExpandAll(State(kYear));  // last on its axis and flat: nothing to do
  EXPECT_EQ(grid.ColLineCount(), 3);
}

TEST_F(GridTree, RebuildsKeepTheExpansionOfMembersThatStillExist) {
  grid.ExpandNode(RowNode(0), 0, false);  // North into Product
  grid.SetTotalAppearance(State(kRegion), TTotalAppearance::taFirst);
  EXPECT_EQ(grid.GetNodeCaption(RowNode(0)), "Total");
  EXPECT_TRUE(RowNode(1).ExpandedIntoNext) << "North after a total-appearance change";
  grid.MoveDim(kYear, dgRow, 5);  // full rebuild; Year becomes innermost on rows
  EXPECT_TRUE(RowNode(1).ExpandedIntoNext) << "North after a move";
  EXPECT_EQ(grid.DataColumnCount(), 2) << "no column dimensions: one set of data columns";

  cube.AddFact({2, 2, 0, 1}, {3, 1});  // West gets data; the refresh keeps North open
  cube.Activate();
  grid.ProcessNotifications();
  ASSERT_EQ(grid.RowTree().size(), 4u);  // West has a line now
  EXPECT_EQ(grid.ColDims(), (std::vector<int>{kYear})) << "a new build lays the axes of the map";
  EXPECT_TRUE(RowNode(0).ExpandedIntoNext) << "North after a new build";
}

TEST_F(GridTree, FactRefreshKeepsLayoutAndExpansion) {
  grid.ExpandNode(RowNode(0), 0, false);
  cube.Facts()->SetValue(0, 0, 11);  // North, Apple, 2024: 10 -> 11
  const std::int32_t r = cube.Facts()->Append();
  for (int d : {0, 1, 2, 3}) cube.Facts()->SetMember(r, d, d == 1 ? 2 : 0);
  cube.Facts()->SetValue(r, 0, 4);
  cube.Facts()->SetValue(r, 1, 1);
  cube.Notify(TCubeChange::ccFactsRefreshed);
  EXPECT_TRUE(RowNode(0).ExpandedIntoNext);
  ExpectGolden("after_refresh", DumpGrid(grid));
}

TEST_F(GridTree, MovesWithinAndAcrossAxesFollowInsertThenDelete) {
  std::vector<std::string> log;
  grid.BeforeMoveDim = [&](TGridListener* sender, int d, TDimGroup g, int i, bool&) {
    EXPECT_EQ(sender, &owner);
    log.push_back("before " + std::to_string(d) + "," + std::to_string(static_cast<int>(g)) + "," +
                  std::to_string(i));
  };
  grid.AfterMoveDim = [&](TGridListener*, int d, TDimGroup, int) {
    log.push_back("after " + std::to_string(d));
  };

  grid.MoveDim(kRegion, dgRow, 0);  // already there: nothing at all
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(grid.PendingNotifications(), 0u);

  grid.MoveDim(kRegion, dgRow, 2);  // insert at 2, delete the old place: lands at 1
  EXPECT_EQ(grid.RowDims(), (std::vector<int>{kProduct, kRegion}));
  grid.MoveDimAt(2, 0, 1, 0);  // Channel from the page axis to the front of the columns
  EXPECT_EQ(grid.ColDims(), (std::vector<int>{kChannel, kYear}));
  EXPECT_TRUE(grid.PageDims().empty());
  EXPECT_EQ(State(kChannel).Group, dgCol);
  grid.MoveDimAt(2, 0, 0, 0);  // nothing on the page axis: no move
  EXPECT_EQ(log, (std::vector<std::string>{"before 0,0,2", "after 0", "before 3,1,0", "after 3"}));
  EXPECT_EQ(grid.GetDimAt(1, 1), kYear);
  EXPECT_EQ(grid.GetDimAt(1, 2), -9999);
  EXPECT_EQ(grid.GetDimAt(3, 0), -9999);
  EXPECT_EQ(grid.GetDimName(kYear), "Year");
  ExpectGolden("after_moves", DumpGrid(grid));

  grid.BeforeMoveDim = [](TGridListener*, int, TDimGroup, int, bool& allow) { allow = false; };
  grid.MoveDim(kYear, dgPage, 0);
  EXPECT_EQ(grid.ColDims(), (std::vector<int>{kChannel, kYear}));
}

TEST_F(GridTree, RefusedActivationOfAThirtyThirdDimensionChangesNothing) {
  TTestCube wide;
  for (int d = 0; d < 33; ++d) wide.AddDim("D" + std::to_string(d), {"m"}, d < 32 ? dgRow : dgPage);
  wide.AddSummary("V");
  wide.AddFact(std::vector<int>(33, 0), {1});
  wide.Activate();
  TGridInfo model;
  model.SetCube(&wide);
  ASSERT_EQ(model.Aggregation().ActiveCount(), 32);
  model.ProcessNotifications();
  bool moved = false;
  model.AfterMoveDim = [&](TGridListener*, int, TDimGroup, int) { moved = true; };
  try {
    model.MoveDim(32, dgRow, 0);
    FAIL() << "no error";
  } catch (const ECubeError& e) {
    EXPECT_STREQ(e.what(), "太多维度。在一个列表中不能超过32个活动维。");
  }
  EXPECT_FALSE(moved);
  EXPECT_EQ(model.RowDims().size(), 32u);
  EXPECT_EQ(model.PageDims(), (std::vector<int>{32}));
  EXPECT_EQ(model.UpdateCount(), 0);
  EXPECT_EQ(model.PendingNotifications(), 0u);
  EXPECT_THROW(model.CheckCapacity(std::vector<int>(33, 0)), ECubeError);
}

TEST_F(GridTree, DataColumnsFollowTheLowestSubLevel) {
  TSummaryInfo& amount = grid.SummarySettings().Items(0);
  amount.Function(0).SubFunction(3).Visible = true;           // Sum: value, % ROW
  amount.Function(1).SubFunction(0).Visible = true;           // Count: value
  grid.SetLowestSubLevelNode(TSubLevelNodeType::ltFunction);  // rebuilds data columns
  EXPECT_EQ(grid.DataColumnsPerLine(), 3);                    // Amount: Sum, Count; Qty: Sum
  grid.SetLowestSubLevelNode(TSubLevelNodeType::ltSummary);
  EXPECT_EQ(grid.DataColumnsPerLine(), 2);
  int s = -1, f = -1, sf = -1;
  ASSERT_TRUE(grid.GetColumnSubLevel(5, s, f, sf));  // third column line, Qty
  EXPECT_EQ(s, 1);
  EXPECT_EQ(f, 0) << "the first visible function of the last visible summary";
  EXPECT_EQ(sf, 0);
  EXPECT_EQ(grid.GetColumnLine(5), grid.ColTree().back().get());
  EXPECT_FALSE(grid.GetColumnSubLevel(6, s, f, sf));
  grid.SetLowestSubLevelNode(TSubLevelNodeType::ltSubFunction);
  EXPECT_EQ(grid.DataColumnsPerLine(), 4);
  EXPECT_EQ(grid.DataColumnCount(), 12);
  ExpectGolden("sub_functions", DumpGrid(grid));
  grid.ProcessNotifications();
  EXPECT_EQ(owner.Kinds, (std::vector<TChangeKind>{ckDataColumns, ckDataColumns, ckDataColumns}));
}

TEST_F(GridTree, AxesWithoutDimensionsGiveOneLineAndColumnTotals) {
  grid.MoveDim(kYear, dgPage, 0);
  grid.MoveDim(kRegion, dgPage, 0);
  grid.MoveDim(kProduct, dgPage, 0);
  EXPECT_EQ(grid.RowLineCount(), 1);
  EXPECT_EQ(grid.GetRowLine(0), nullptr);
  EXPECT_EQ(grid.GetColumnLine(0), nullptr);
  EXPECT_EQ(grid.RowHeaderWidth(), 0);
  EXPECT_EQ(grid.DataColumnCount(), 2);
  EXPECT_EQ(grid.GetCellValue(0, 0).Value, 143);  // every fact, the parent-member one too
  EXPECT_TRUE(grid.GetCellKey(0, 0).empty());
  ExpectGolden("no_axes", DumpGrid(grid));
}

TEST_F(GridTree, CellKeysCombineBothPathsAndTotalsStandForTheirParent) {
  grid.MoveDim(kProduct, dgRow, 0);
  grid.ExpandNode(RowNode(0), 0, true);  // Fruit: Apple, Pear, Total
  TLabelNode* total = RowNode(0).Children.back().get();
  ASSERT_TRUE(total->IsTotal());
  const TMemberKey key = grid.GetNodesKey(total, grid.ColTree()[1].get());
  TMemberKey expected(3, -1);  // Channel is not active
  expected[static_cast<std::size_t>(grid.Aggregation().ActivePosition(kProduct))] = 0;  // Fruit
  expected[static_cast<std::size_t>(grid.Aggregation().ActivePosition(kYear))] = 1;     // 2025
  EXPECT_EQ(key, expected);
  EXPECT_EQ(grid.GetCellKey(total->LineIndex, 2), expected);  // 2025, Amount
}

TEST_F(GridTree, NotificationsArePostedAfterTheOutermostUpdateInArrivalOrder) {
  TRecorder chart;
  grid.AddListener(&chart);
  grid.BeginUpdate();
  grid.BeginUpdate();
  grid.EndUpdate(ckLabels);
  EXPECT_EQ(grid.PendingNotifications(), 1u) << "only the listener's welcome so far";
  grid.EndUpdate(ckWordWrap);
  grid.SetWordWrap(true);
  grid.SetWordWrap(true);  // unchanged: no update
  EXPECT_TRUE(chart.Kinds.empty()) << "nothing is delivered before the host drains the queue";
  EXPECT_EQ(grid.ProcessNotifications(), 3);
  EXPECT_EQ(chart.Kinds, (std::vector<TChangeKind>{ckCube, ckWordWrap, ckWordWrap}));
  EXPECT_EQ(owner.Kinds, (std::vector<TChangeKind>{ckWordWrap, ckWordWrap}));
  grid.RemoveListener(&chart);
  grid.SetCube(nullptr);
  grid.ProcessNotifications();
  EXPECT_EQ(owner.Kinds, (std::vector<TChangeKind>{ckWordWrap, ckWordWrap, ckCube, ckCubeBound}));
  EXPECT_EQ(chart.Kinds.size(), 3u);
  EXPECT_FALSE(grid.IsActive());
  EXPECT_EQ(grid.RowLineCount(), 1);
  EXPECT_EQ(grid.DataColumnCount(), 1);
  EXPECT_EQ(grid.GetDimName(0), "");
}

TEST_F(GridTree, HiddenMembersLoseTheirLinesAndLeaveEveryTotal) {
  // What the filter operations will do: hide, drop the affected totals, rebuild.
  State(kRegion).Node(1).Visible = false;   // South, on rows
  State(kChannel).Node(1).Visible = false;  // Web, on the page axis
  for (int d : {kRegion, kChannel}) State(d).UpdateFilterActive();
  grid.Aggregation().DropActive();
  grid.BeginUpdate();
  grid.EndUpdate(ckAxes);
  ExpectGolden("hidden_members", DumpGrid(grid));
  EXPECT_EQ(grid.RowLineCount(), 2);  // North, Total
}

TEST_F(GridTree, HitTestsUseTheRectanglesTheViewWrote) {
  TLabelNode& north = RowNode(0);
  north.Rect = {0, 2, 0, 2};
  north.NextDimButton->Rect = {0, 2, 0, 2};
  TGridButton* button = nullptr;
  EXPECT_EQ(grid.FindLabelNode(grid.RowTree(), 0, 2, &button), &north);
  EXPECT_EQ(button, north.NextDimButton.get());
  EXPECT_EQ(grid.FindLabelNode(grid.RowTree(), 3, 3, &button), nullptr);
  grid.ExpandNode(north, 0, false);
  north.NextDimButton->Rect = {};
  north.Children[0]->Rect = {1, 2, 1, 2};
  EXPECT_EQ(grid.FindLabelNode(grid.RowTree(), 1, 2, &button), north.Children[0].get());
  EXPECT_EQ(button, nullptr);
}

}  // namespace
}  // namespace qd::test
