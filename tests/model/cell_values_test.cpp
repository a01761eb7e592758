// The sub-functions of data cells (ranks, percentages, compares with the
// previous member, running sums), the lookup of a data column, and the cells
// the colour hint compares, on small pivots whose numbers are worked by hand.
#include <cmath>
#include <optional>

#include <gtest/gtest.h>

#include "grid_test_cube.h"

namespace qd::test {
namespace {

using enum TDimGroup;

constexpr int kAll = kSubFunctionCount;

// Shows every sub-function of Sum for the first summary.
void ShowAllSubFunctions(TGridInfo& grid, int summary = 0) {
  for (int sf = 0; sf < kSubFunctionCount; ++sf)
    grid.SummarySettings().Items(summary).Function(0).SubFunction(sf).Visible = true;
  grid.BeginUpdate();
  grid.EndUpdate(ckDataColumns);
}

std::optional<double> Cell(const TGridInfo& grid, int row, int columnLine, int subFunction) {
  const TCellValue v = grid.GetCellValue(row, columnLine * grid.DataColumnsPerLine() + subFunction);
  if (!v.HasValue) return std::nullopt;
  return v.Value;
}

constexpr std::optional<double> kNone = std::nullopt;

// Regions A, B, C on rows and years Y1..Y4 on columns, Totals last:
//        Y1  Y2  Y3  Y4 | Total
//   A     5   7   7   2 |  21
//   B     3   .   4   . |   7
//   C     3  -3   .   . |   0
class SubFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    cube.AddDim("Region", {"A", "B", "C"}, dgRow);
    cube.AddDim("Year", {"Y1", "Y2", "Y3", "Y4"}, dgCol);
    cube.AddSummary("V");
    for (auto [r, y, v] : {std::tuple{0, 0, 5.0},
                           {0, 1, 7.0},
                           {0, 2, 7.0},
                           {0, 3, 2.0},
                           {1, 0, 3.0},
                           {1, 2, 4.0},
                           {2, 0, 3.0},
                           {2, 1, -3.0}})
      cube.AddFact({r, y}, {v});
    cube.Activate();
    grid.SetCube(&cube);
    ShowAllSubFunctions(grid);
    ASSERT_EQ(grid.DataColumnsPerLine(), kAll);
    ASSERT_EQ(grid.RowLineCount(), 4);
    ASSERT_EQ(grid.ColLineCount(), 5);
  }
  std::vector<std::optional<double>> Row(int row, int subFunction) const {
    std::vector<std::optional<double>> out;
    for (int c = 0; c < grid.ColLineCount(); ++c) out.push_back(Cell(grid, row, c, subFunction));
    return out;
  }
  std::vector<std::optional<double>> Column(int column, int subFunction) const {
    std::vector<std::optional<double>> out;
    for (int r = 0; r < grid.RowLineCount(); ++r) out.push_back(Cell(grid, r, column, subFunction));
    return out;
  }
  using V = std::vector<std::optional<double>>;

  TTestCube cube;
  TGridInfo grid;
};

TEST_F(SubFunctions, RanksShareTiesAndSkipTheGrandTotal) {
  EXPECT_EQ(Row(0, sfRankByRow), (V{3, 1, 1, 4, kNone}));  // 7 and 7 share rank 1, then 3
  EXPECT_EQ(Row(1, sfRankByRow), (V{2, kNone, 1, kNone, kNone}));
  EXPECT_EQ(Column(0, sfRankByCol), (V{1, 2, 2, kNone}));  // B and C tie
  EXPECT_EQ(Column(4, sfRankByCol), (V{1, 2, 3, kNone}));  // the Total column ranks its rows
}

TEST_F(SubFunctions, PreviousCompareNeedsTheNearestSiblingToHaveAValue) {
  EXPECT_EQ(Row(0, sfCompareWithPrevByRow), (V{kNone, 2, 0, -5, kNone}));
  // B/Y3: the nearest previous sibling Y2 is empty, so no value although Y1 has one.
  EXPECT_EQ(Row(1, sfCompareWithPrevByRow), (V{kNone, kNone, kNone, kNone, kNone}));
  EXPECT_EQ(Column(0, sfCompareWithPrevByCol), (V{kNone, -2, 0, kNone}));
  EXPECT_EQ(Column(1, sfCompareWithPrevByCol), (V{kNone, kNone, kNone, kNone}));
}

TEST_F(SubFunctions, RunningSumsSkipGapsButCarryEarlierValues) {
  EXPECT_EQ(Row(0, sfCumulativeSumByRow), (V{5, 12, 19, 21, kNone}));
  EXPECT_EQ(Row(1, sfCumulativeSumByRow), (V{3, 3, 7, 7, kNone}));
  EXPECT_EQ(Column(3, sfCumulativeSumByCol), (V{2, 2, 2, kNone}));
  EXPECT_EQ(Column(4, sfCumulativeSumByCol), (V{21, 28, 28, kNone}));
}

TEST_F(SubFunctions, PercentagesRelateToTheLineTotalAndAreZeroForAZeroTotal) {
  EXPECT_DOUBLE_EQ(*Cell(grid, 0, 0, sfPercentByRow), 5 * 100.0 / 21);
  EXPECT_DOUBLE_EQ(*Cell(grid, 0, 4, sfPercentByRow), 100);
  EXPECT_EQ(Row(2, sfPercentByRow), (V{0, 0, kNone, kNone, 0}));  // C totals 0: 0, not empty
  EXPECT_DOUBLE_EQ(*Cell(grid, 1, 0, sfPercentByCol), 3 * 100.0 / 11);
  // The grand-total line has no rank, compare or running sum, but its value and percentages.
  EXPECT_EQ(Cell(grid, 3, 0, sfValue), 11);
  EXPECT_DOUBLE_EQ(*Cell(grid, 3, 0, sfPercentByRow), 11 * 100.0 / 28);
  EXPECT_EQ(Cell(grid, 3, 0, sfPercentByCol), 100);
  EXPECT_EQ(Cell(grid, 3, 0, sfRankByCol), kNone);
  EXPECT_EQ(Cell(grid, 3, 0, sfCompareWithPrevByCol), kNone);
  EXPECT_EQ(Cell(grid, 3, 0, sfCumulativeSumByCol), kNone);
}

TEST_F(SubFunctions, PercentagesUseTheCellsOwnFunction) {
  TSummaryInfo& v = grid.SummarySettings().Items(0);
  v.Function(2).SubFunction(sfValue).Visible = true;  // Average
  v.Function(2).SubFunction(sfPercentByRow).Visible = true;
  grid.BeginUpdate();
  grid.EndUpdate(ckDataColumns);
  const int n = grid.DataColumnsPerLine();
  ASSERT_EQ(n, kAll + 2);
  // A/Y1 is 5 against A's average 21 / 4.
  const TCellValue p = grid.GetCellValue(0, kAll + 1);
  ASSERT_TRUE(p.HasValue);
  EXPECT_DOUBLE_EQ(p.Value, 5 * 100.0 / (21.0 / 4));
  const TDataColumnInfo info = grid.DescribeDataColumn(n + kAll + 1);
  EXPECT_EQ(info.Summary, 0);
  EXPECT_EQ(info.Function, 2);
  EXPECT_EQ(info.SubFunction, sfPercentByRow);
  EXPECT_EQ(info.FunctionName, "Average");
  EXPECT_EQ(info.SubFunctionName, "% ROW");
  EXPECT_EQ(grid.GetCellText(0, kAll + 1), "95.2%");
  EXPECT_EQ(grid.GetCellText(1, n + 1), "");  // B/Y2 has no value
  EXPECT_EQ(grid.DescribeDataColumn(grid.DataColumnCount()).Summary, -1);
}

TEST_F(SubFunctions, ColourHintComparesAlongTheSubFunctionsAxis) {
  grid.BuildColoredCells(1, 0 * kAll + sfValue);  // B/Y1, value: down the column
  const TColoredCells& down = grid.ColoredCells();
  ASSERT_EQ(down.Cells.size(), 3u);  // A, B, C but not the grand total
  EXPECT_TRUE(down.Contains(0, 2));
  EXPECT_FALSE(down.Contains(0, 3));
  EXPECT_EQ(down.Minimum, 3);
  EXPECT_EQ(down.Maximum, 5);

  grid.BuildColoredCells(1, 2 * kAll + sfCumulativeSumByRow);  // B/Y3, by row
  const TColoredCells& across = grid.ColoredCells();
  ASSERT_EQ(across.Cells.size(), 4u);  // Y1..Y4 of B, each with a running sum
  EXPECT_EQ(across.Cells[1].Column, 1 * kAll + sfCumulativeSumByRow);
  EXPECT_EQ(across.Cells[1].Row, 1);
  EXPECT_EQ(across.Minimum, 3);
  EXPECT_EQ(across.Maximum, 7);

  grid.BuildColoredCells(3, 0);  // the grand total line has no siblings
  EXPECT_TRUE(grid.ColoredCells().Empty());
  grid.BuildColoredCells(0, 4 * kAll + sfRankByRow);  // nor has the Total column
  EXPECT_TRUE(grid.ColoredCells().Empty());
}

TEST_F(SubFunctions, CoarserLowestLevelsReadTheDefaultSubFunction) {
  TSummaryInfo& v = grid.SummarySettings().Items(0);
  for (int sf = 0; sf < kSubFunctionCount; ++sf) v.Function(0).SubFunction(sf).Visible = false;
  v.Function(0).SubFunction(sfCumulativeSumByRow).Visible = true;
  grid.SetLowestSubLevelNode(TSubLevelNodeType::ltFunction);
  ASSERT_EQ(grid.DataColumnsPerLine(), 1);
  EXPECT_EQ(Cell(grid, 1, 1, 0), 3);  // B's running sum at Y2
  grid.SetLowestSubLevelNode(TSubLevelNodeType::ltSummary);
  EXPECT_EQ(Cell(grid, 1, 3, 0), 7);
}

// Rows Region > Product with Product's Total first; North is expanded, South
// is not:  North/Total 30, North/Apple 10, North/Pear 20, South 13, Total 43.
TEST(SubFunctionSiblings, AFirstTotalCompetesAsTheMemberItTotals) {
  TTestCube cube;
  cube.AddDim("Region", {"North", "South"}, dgRow);
  cube.AddDim("Product", {"Apple", "Pear", "Kale"}, dgRow);
  cube.AddSummary("V");
  cube.AddFact({0, 0}, {10});
  cube.AddFact({0, 1}, {20});
  cube.AddFact({1, 0}, {5});
  cube.AddFact({1, 2}, {8});
  cube.Activate();
  TGridInfo grid;
  grid.SetCube(&cube);
  grid.SetTotalAppearance(grid.DimensionState(1), TTotalAppearance::taFirst);
  grid.ExpandNode(*grid.RowTree().front(), 0, false);
  ShowAllSubFunctions(grid);
  ASSERT_EQ(grid.RowLineCount(), 5);
  ASSERT_TRUE(grid.GetRowLine(0)->IsTotal());
  std::vector<std::optional<double>> ranks, sums, previous;
  for (int r = 0; r < 5; ++r) {
    ranks.push_back(Cell(grid, r, 0, sfRankByCol));
    sums.push_back(Cell(grid, r, 0, sfCumulativeSumByCol));
    previous.push_back(Cell(grid, r, 0, sfCompareWithPrevByCol));
  }
  // North's Total ranks against South; Apple and Pear among themselves.
  EXPECT_EQ(ranks, (std::vector<std::optional<double>>{1, 2, 1, 2, kNone}));
  EXPECT_EQ(sums, (std::vector<std::optional<double>>{30, 10, 30, 43, kNone}));
  EXPECT_EQ(previous, (std::vector<std::optional<double>>{kNone, kNone, 10, -17, kNone}));
  // Without column dimensions every valued cell ranks first and runs alone.
  EXPECT_EQ(Cell(grid, 3, 0, sfRankByRow), 1);
  EXPECT_EQ(Cell(grid, 3, 0, sfCumulativeSumByRow), 13);
  EXPECT_EQ(Cell(grid, 3, 0, sfCompareWithPrevByRow), kNone);
}

TEST(SummaryValues, HiddenMembersHaveNoValueAndMediansComeFromTheFacts) {
  TTestCube cube;
  cube.AddDim("Region", {"North", "South"}, dgRow);
  cube.AddSummary("V");
  for (double v : {4.0, 1.0, 9.0}) cube.AddFact({0}, {v});
  cube.AddFact({1}, {2});
  cube.Activate();
  TGridInfo grid;
  grid.SetCube(&cube);
  TSummaryInfo& info = grid.SummarySettings().Items(0);
  EXPECT_EQ(info.GetValue({0}, static_cast<int>(TFunction::stMedian)).Value, 4);
  EXPECT_EQ(info.GetValue({-1}, static_cast<int>(TFunction::stMedian)).Value, 3);
  EXPECT_EQ(info.GetValue({-1}, static_cast<int>(TFunction::stMax)).Value, 9);
  EXPECT_FALSE(info.GetValue({0}, kFunctionCount).HasValue);
  grid.DimensionState(0).Node(1).Visible = false;
  grid.DimensionState(0).UpdateFilterActive();
  EXPECT_FALSE(info.GetValue({1}, 0).HasValue);
  EXPECT_TRUE(info.GetValue({0}, 0).HasValue);
}

}  // namespace
}  // namespace qd::test
