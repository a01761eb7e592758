// The shown pivot held against another cube: changed cells found where the
// shown grid has them, after layout changes too, with member numbers that
// differ between the two cubes.
#include "model/cube_comparison.h"

#include <gtest/gtest.h>

#include "grid_test_cube.h"
#include "model/layout_estimate.h"
#include "model/pivot_cells.h"

#include <algorithm>

namespace qd::test {
namespace {

constexpr int kRegionDim = 0, kYearDim = 2, kChannelDim = 3;

// The sample sales with the members of Product in another order (other member
// numbers), one amount changed and a region the shown cube lacks.
void AddChangedSales(TTestCube& cube) {
  cube.AddDim("Region", {"North", "南方", "West", "East"}, TDimGroup::dgRow);
  cube.AddDim("Product", {"Veg", "Kale", "Fruit", "Pear", "Apple"}, TDimGroup::dgRow,
              {-1, 0, -1, 2, 2});
  cube.AddDim("Year", {"2024", "2025"}, TDimGroup::dgCol);
  cube.AddDim("Channel", {"Shop", "Web"}, TDimGroup::dgPage);
  cube.AddSummary("Amount");
  cube.AddSummary("Qty");
  cube.AddFact({0, 4, 0, 0}, {10, 1});
  cube.AddFact({0, 3, 1, 1}, {20.5, 2});
  cube.AddFact({1, 4, 0, 1}, {8, 1});  // 5 in the shown cube
  cube.AddFact({1, 1, 1, 0}, {7, 3});
}

struct Comparison : ::testing::Test {
  void SetUp() override {
    AddSampleSales(shownCube);
    shownCube.Activate();
    shown.SetCube(&shownCube);
    AddChangedSales(otherCube);
    otherCube.Activate();
  }
  // The changed cells as "row path⇥column path⇥summary…", with the place
  // the comparison reports for each checked against the shown grid's keys.
  std::vector<std::string> ChangedKeys(TCubeComparison& c) {
    std::vector<std::string> keys;
    for (const TCellChange& change : c.Diff().Cells) {
      EXPECT_EQ(c.ChangeAt(change.Row, change.Column), &change);
      EXPECT_EQ(change.Old.Value, shown.GetCellValue(change.Row, change.Column).Value);
      keys.push_back(change.Key);
    }
    return keys;
  }
  TTestCube shownCube, otherCube;
  TGridInfo shown;
};

TEST_F(Comparison, FindsTheChangedCellAndItsTotalsWhereverTheLayoutPutsThem) {
  TCubeComparison c(otherCube, "other.vtc");
  c.Align(shown);
  // 南方 × 2024 (5 → 8), 南方's total, the 2024 total and the grand total
  // of Amount's Sum; Qty is unchanged. Other functions are not shown.
  const std::vector<std::string> before = ChangedKeys(c);
  ASSERT_EQ(before.size(), 4u) << ::testing::PrintToString(before);
  for (const std::string& key : before) EXPECT_NE(key.find("\tAmount\t"), std::string::npos);
  int south = -1;
  for (int r = 0; r < shown.RowLineCount(); ++r)
    if (shown.GetNodeCaption(*shown.GetRowLine(r)) == "南方") south = r;
  ASSERT_GE(south, 0);
  EXPECT_EQ(c.DifferenceAt(south, 0), TCellDifference::cdLower);  // 5 shown, 8 in the other
  EXPECT_EQ(c.DifferenceAt(0, 0), TCellDifference::cdNone);
  const std::string hint = c.CellHint(shown, south, 0);
  EXPECT_NE(hint.find("other.vtc："), std::string::npos) << hint;
  EXPECT_NE(hint.find("-3"), std::string::npos) << hint;
  EXPECT_NE(c.SummaryText().find("4 个单元格不同"), std::string::npos) << c.SummaryText();
  EXPECT_NE(c.SummaryText().find("仅比较Cube有的成员 1 个"), std::string::npos) << c.SummaryText();

  // Year moves to the rows, Region to the page: the changes follow.
  shown.MoveDim(kYearDim, TDimGroup::dgRow, 0);
  shown.MoveDim(kRegionDim, TDimGroup::dgPage, 0);
  c.Align(shown);
  const std::vector<std::string> moved = ChangedKeys(c);
  // 2024 and the grand total, with Product's lines under 2024 when shown.
  ASSERT_GE(moved.size(), 2u) << ::testing::PrintToString(moved);
  for (const std::string& key : moved) {
    EXPECT_EQ(key.find("2025"), std::string::npos) << key;
    EXPECT_EQ(key.find("南方"), std::string::npos) << key;
  }
}

// The status line names the dimensions and summaries only one cube has; with
// none in common it says so rather than counting no different cells.
TEST_F(Comparison, StatusLineNamesWhatOnlyOneCubeHas) {
  TTestCube partly;
  partly.AddDim("Region", {"North", "南方", "West"}, TDimGroup::dgRow);
  partly.AddDim("Year", {"2024", "2025"}, TDimGroup::dgCol);
  partly.AddDim("Branch", {"A", "B"}, TDimGroup::dgPage);
  partly.AddSummary("Amount");
  partly.AddSummary("Premium");
  partly.AddFact({1, 0, 0}, {8, 1});
  partly.Activate();
  TCubeComparison c(partly, "partly.vtc");
  c.Align(shown);
  const std::string text = c.SummaryText();
  EXPECT_EQ(text.rfind("与 partly.vtc 比较：", 0), 0u) << text;
  EXPECT_NE(text.find("个单元格不同"), std::string::npos) << text;
  EXPECT_NE(text.find("；仅本Cube有的维度：Product、Channel"), std::string::npos) << text;
  EXPECT_NE(text.find("；仅比较Cube有的维度：Branch"), std::string::npos) << text;
  EXPECT_NE(text.find("；仅本Cube有的合计项：Qty"), std::string::npos) << text;
  EXPECT_NE(text.find("；仅比较Cube有的合计项：Premium"), std::string::npos) << text;

  TTestCube apart;
  apart.AddDim("Branch", {"A", "B"}, TDimGroup::dgRow);
  apart.AddSummary("Amount");
  apart.AddFact({0}, {5});
  apart.Activate();
  TCubeComparison none(apart, "apart.vtc");
  none.Align(shown);
  const std::string plain = none.SummaryText();
  EXPECT_EQ(plain.rfind("与 apart.vtc 比较：两个Cube没有共同的维度，单元格无法比较", 0), 0u)
      << plain;
  EXPECT_EQ(plain.find("个单元格不同"), std::string::npos) << plain;
  EXPECT_NE(plain.find("；仅比较Cube有的维度：Branch"), std::string::npos) << plain;

  // The same cube says nothing of parts.
  TTestCube same;
  AddSampleSales(same);
  same.Activate();
  TCubeComparison equal(same, "same.vtc");
  equal.Align(shown);
  EXPECT_EQ(equal.SummaryText(),
            "与 same.vtc 比较：0 个单元格不同；仅本Cube有的成员 0 个，仅比较Cube有的成员 0 个");
}

TEST_F(Comparison, ExpandedLabelsAreMatchedByCaptionNotByMemberNumber) {
  // Fruit is member 0 here and member 2 in the other cube.
  shown.MoveDim(kRegionDim, TDimGroup::dgPage, 0);
  for (const auto& n : shown.RowTree())
    if (shown.GetNodeCaption(*n) == "Fruit") shown.ExpandNode(*n, 0, true);
  TCubeComparison c(otherCube, "other.vtc");
  c.Align(shown);
  // The same lines, in each cube's own member order.
  auto lines = [](TGridInfo& grid) {
    std::vector<std::string> out;
    for (int r = 0; r < grid.RowLineCount(); ++r) out.push_back(PathText(grid, grid.GetRowLine(r)));
    std::sort(out.begin(), out.end());
    return out;
  };
  EXPECT_EQ(lines(c.OtherGrid()), lines(shown));
  EXPECT_GT(shown.RowLineCount(), 3);
  // Apple in 2024 holds the changed record (5 → 8) once the region is on the page.
  const std::vector<std::string> keys = ChangedKeys(c);
  EXPECT_NE(std::find_if(keys.begin(), keys.end(),
                         [](const std::string& k) { return k.starts_with("Fruit | Apple\t2024"); }),
            keys.end())
      << ::testing::PrintToString(keys);
}

TEST_F(Comparison, AnInactiveGridComparesNothing) {
  TCubeComparison c(otherCube, "other.vtc");
  c.Align(shown);
  ASSERT_FALSE(c.Diff().Cells.empty());
  shownCube.Deactivate();
  c.Align(shown);
  EXPECT_TRUE(c.Diff().Empty());
  EXPECT_EQ(c.ChangeAt(0, 0), nullptr);
}

// The other cube's custom functions are worked out by the shown grid's
// handler: an identical cube shows no changed custom cell.
TEST_F(Comparison, CustomFunctionsOfTheOtherCubeUseTheShownGridsHandler) {
  TTestCube same;
  AddSampleSales(same);
  same.Activate();
  shown.FunctionDefs().EnsureStandard();
  shown.FunctionDefs().Add();
  shown.OnCalcAggregateFunction = [](void*, TFunction, const std::vector<double>& values, bool&,
                                     double& value) { value = static_cast<double>(values.size()); };
  shown.SummarySettings().Items(0).Function(kStandardFunctionCount).SubFunction(sfValue).Visible =
      true;
  shown.Aggregation().DropActive();
  shown.BeginUpdate();
  shown.EndUpdate(ckAxes);
  shown.ProcessNotifications();
  TCubeComparison c(same, "same.vtc");
  c.Align(shown);
  EXPECT_TRUE(c.Diff().Cells.empty()) << ::testing::PrintToString(ChangedKeys(c));
}

TEST(LayoutEstimateMove, CountsTheAxesAsTheyWillBe) {
  TTestCube cube;
  AddSampleSales(cube);
  cube.Activate();
  TGridInfo grid;
  grid.SetCube(&cube);
  const TLayoutEstimate now = EstimateLayout(grid);
  // With every label expanded, Channel's nodes and total multiply the cells.
  const std::int64_t channel = grid.DimensionState(kChannelDim).NodeCount() + 1;
  std::vector<int> active = {0, 1, 2, kChannelDim};
  EXPECT_EQ(EstimateLayout(grid, active).Cells, now.Cells * channel);
  EXPECT_EQ(now.LargestDim, 1);  // Product: five nodes
  // Dropped, Channel's labels are collapsed: as the outermost column
  // dimension it replaces Year's lines by its own, elsewhere it adds none.
  const std::int64_t shown = grid.RowLineCount() * grid.ColLineCount() * 2;
  EXPECT_EQ(EstimateDrop(grid, kChannelDim, TDimGroup::dgCol, 1).Cells, shown);
  EXPECT_EQ(EstimateDrop(grid, kChannelDim, TDimGroup::dgCol, 0).Cells,
            grid.RowLineCount() * channel * 2);
  EXPECT_EQ(EstimateDrop(grid, kChannelDim, TDimGroup::dgCol, 0).LargestDim, 1);
}

// A saved layout counted before it is applied: with every combination of
// members holding data the estimate is the grid the layout shows, expanded
// labels (into the next dimension and into the hierarchy) and hidden
// members included.
TEST(LayoutEstimateSaved, CountsTheGridTheLayoutWillShow) {
  TTestCube cube;
  AddSampleSales(cube);
  cube.Activate();  // the sample sales: some combinations hold no facts
  TTestCube full;
  full.AddDim("Region", {"North", "南方", "West"}, TDimGroup::dgRow);
  full.AddDim("Product", {"Fruit", "Apple", "Pear", "Veg", "Kale"}, TDimGroup::dgRow,
              {-1, 0, 0, -1, 3});
  full.AddDim("Year", {"2024", "2025"}, TDimGroup::dgCol);
  full.AddDim("Channel", {"Shop", "Web"}, TDimGroup::dgPage);
  full.AddSummary("Amount");
  full.AddSummary("Qty");
  for (int r = 0; r < 3; ++r)
    for (int p : {1, 2, 4})
      for (int y = 0; y < 2; ++y) full.AddFact({r, p, y, 0}, {1, 1});
  full.Activate();
  TGridInfo grid;
  grid.SetCube(&full);
  auto shownCells = [&] {
    grid.ProcessNotifications();
    return std::int64_t{grid.RowLineCount()} * static_cast<std::int64_t>(grid.DataColumns().size());
  };
  auto estimate = [&] { return EstimateSavedLayout(full.Dimensions(), grid.CaptureState(), 1); };
  EXPECT_EQ(estimate().Cells, shownCells());
  TLabelNode& north = *grid.RowTree().front();
  grid.ExpandNode(north, 0, false);
  grid.ExpandNode(*north.Children.front(), 0, true);  // Fruit into Apple and Pear
  EXPECT_EQ(estimate().Cells, shownCells());
  EXPECT_GT(estimate().Cells, grid.ColLineCount() * 4);
  grid.HideFollowingMembers(*grid.RowTree()[1], 0);  // West goes
  EXPECT_EQ(estimate().Cells, shownCells());
  EXPECT_EQ(estimate().LargestDim, 1);  // Product: five nodes

  // On a cube where some combinations are empty the grid shows fewer.
  const TPivotState layout = grid.CaptureState();
  TGridInfo sparse;
  sparse.SetCube(&cube);
  sparse.ApplyState(layout);
  sparse.ProcessNotifications();
  EXPECT_GE(
      EstimateSavedLayout(cube.Dimensions(), layout, 1).Cells,
      std::int64_t{sparse.RowLineCount()} * static_cast<std::int64_t>(sparse.DataColumns().size()));

  TPivotState paged = layout;
  LeaveOnPage(paged, "product");
  EXPECT_EQ(paged.RowDims, std::vector<std::string>{"Region"});
  EXPECT_EQ(paged.ColDims, layout.ColDims);
}

}  // namespace
}  // namespace qd::test
