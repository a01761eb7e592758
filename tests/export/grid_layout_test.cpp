// Layout numbers, spans and texts of the grid snapshot on small pivots.
#include <gtest/gtest.h>

#include "export/grid_layout.h"
#include "export_test_grid.h"

namespace qd::test {
namespace {

using enum TExportCellKind;

TEST_F(ExportGrid, CollapsedPivotPlacesTitlesLabelsAndCaptionRows) {
  const TGridLayout layout(grid);
  ASSERT_TRUE(layout.Valid());
  EXPECT_EQ(layout.R(), 1);
  EXPECT_EQ(layout.C(), 1);
  EXPECT_EQ(layout.RQ(), 0);
  EXPECT_EQ(layout.CS(), 3);  // summaries, functions and sub-functions
  auto s = BuildGridExportStructure(grid);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->FixedCols, 1);
  EXPECT_EQ(s->FixedRows, 4);
  ExpectExportGolden("snapshot_collapsed.txt", SnapshotPicture(grid, *s));
}

TEST_F(ExportGrid, ExpandedPivotSpansLabelsOverTheirLeavesAndLevels) {
  ExpandAll();
  grid.SetLowestSubLevelNode(TSubLevelNodeType::ltSummary);
  grid.ProcessNotifications();
  const TGridLayout layout(grid);
  EXPECT_EQ(layout.R(), 3);  // Region, then Product's two levels
  EXPECT_EQ(layout.CS(), 1);
  auto s = BuildGridExportStructure(grid);
  ASSERT_TRUE(s);
  ExpectExportGolden("snapshot_expanded.txt", SnapshotPicture(grid, *s));
  // Labels without children reach the last header column; expanded ones stop
  // before their children.
  int leaves = 0;
  for (int r = s->FixedRows; r < s->RowCount; ++r)
    for (int c = 0; c < s->FixedCols; ++c) {
      const TGridExportCell& cell = s->Cell(c, r);
      if (cell.Kind != ekLabel) continue;
      if (cell.Label->Children.empty()) {
        EXPECT_EQ(c + cell.ColSpan, s->FixedCols);
        ++leaves;
      } else {
        EXPECT_EQ(c + cell.ColSpan, cell.Label->Children.front()->HeaderColumn);
      }
    }
  EXPECT_EQ(leaves, s->RowCount - s->FixedRows);
}

TEST_F(ExportGrid, ColumnsOnlyGetASpareColumnAndTheLastTitleReachesTheBottom) {
  grid.MoveDim(kRegion, TDimGroup::dgPage, 0);
  grid.MoveDim(kProduct, TDimGroup::dgPage, 0);
  grid.SetLowestSubLevelNode(TSubLevelNodeType::ltFunction);
  grid.ProcessNotifications();
  const TGridLayout layout(grid);
  EXPECT_EQ(layout.R(), 0);
  EXPECT_EQ(layout.RQ(), 1);
  auto s = BuildGridExportStructure(grid);
  ASSERT_TRUE(s);
  const TGridExportCell& title = s->Cell(0, 0);
  EXPECT_EQ(title.Kind, ekDimCaption);
  EXPECT_EQ(title.RowSpan, s->RowCount);  // stretched over caption and data rows
  ExpectExportGolden("snapshot_columns_only.txt", SnapshotPicture(grid, *s));
}

TEST_F(ExportGrid, EmptyAxesStillGiveOneDataRowAndNoSpareColumn) {
  for (int d : {kRegion, kProduct, kYear}) grid.MoveDim(d, TDimGroup::dgPage, 0);
  grid.SetLowestSubLevelNode(TSubLevelNodeType::ltSummary);
  grid.ProcessNotifications();
  const TGridLayout layout(grid);
  EXPECT_EQ(layout.R() + layout.C() + layout.RQ(), 0);
  auto s = BuildGridExportStructure(grid);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->RowCount, 2);
  EXPECT_EQ(ExportGridText(grid, *s), "Amount\tQty\n42.50\t7.00\n");
}

TEST_F(ExportGrid, InactiveModelHasNoSnapshot) {
  cube.Deactivate();
  grid.ProcessNotifications();
  EXPECT_FALSE(TGridLayout(grid).Valid());
  EXPECT_EQ(BuildGridExportStructure(grid), nullptr);
}

TEST_F(ExportGrid, DataCellsCarryFormatAlignmentAndMissingValues) {
  ExpandAll();
  TSummaryInfo& amount = grid.SummarySettings().Items(0);
  amount.Function(0).SubFunction(0).FormatString = std::string(60, '0');
  amount.Function(0).SubFunction(0).Alignment = TAlignment::taCenter;
  grid.BeginUpdate();
  grid.EndUpdate(ckColOrder);
  auto s = BuildGridExportStructure(grid);
  ASSERT_TRUE(s);
  const TGridExportCell& cell = s->Cell(s->FixedCols, s->FixedRows);
  EXPECT_EQ(cell.Kind, ekData);
  EXPECT_EQ(cell.FormatString.size(), kExportFormatLength);
  EXPECT_EQ(cell.Alignment, TAlignment::taCenter);
  int empty = 0;
  for (const auto& c : s->Cells) {
    if (c.Kind != ekData || !c.Empty) continue;
    ++empty;
    EXPECT_EQ(ExportCellText(grid, c), "");
  }
  EXPECT_GT(empty, 0);
}

// A column label over more than 255 leaf columns keeps its whole span.
TEST(ExportGridWide, SpansBeyond255CellsAreKept) {
  TTestCube cube;
  std::vector<std::string> many;
  for (int i = 0; i < 300; ++i) many.push_back("m" + std::to_string(i));
  cube.AddDim("Year", {"2024"}, TDimGroup::dgCol);
  cube.AddDim("Item", many, TDimGroup::dgCol);
  cube.AddSummary("Amount");
  for (int i = 0; i < 300; ++i) cube.AddFact({0, i}, {1.0 * i});
  cube.Activate();
  TGridInfo grid;
  grid.SetCube(&cube);
  grid.SetLowestSubLevelNode(TSubLevelNodeType::ltSummary);
  grid.ExpandAll(grid.DimensionState(0));
  grid.ProcessNotifications();
  auto s = BuildGridExportStructure(grid);
  ASSERT_TRUE(s);
  const TGridExportCell& year = s->Cell(s->FixedCols, 0);
  ASSERT_EQ(year.Kind, ekLabel);
  EXPECT_EQ(year.ColSpan, 301);  // 300 members and their Total
}

}  // namespace
}  // namespace qd::test
