// The grid model bound to a real cube component built from an in-memory table,
// and what happens when aggregation fails.
#include <gtest/gtest.h>

#include "../engine/cube_test_util.h"
#include "engine/core/errors.h"
#include "grid_test_cube.h"
#include "model/grid_dump.h"

namespace qd::test {
namespace {

TEST(GridVantra, FollowsTheCubeThroughActivationMapEditsAndClose) {
  auto table = MakeTable("qrSales",
                         {{"City", TFieldType::ftString},
                          {"Year", TFieldType::ftInteger},
                          {"Amount", TFieldType::ftFloat}},
                         {{S("Rome"), I(2024), D(1.5)},
                          {S("Oslo"), I(2025), D(2)},
                          {S("Rome"), I(2025), D(4)},
                          {S("Oslo"), I(2025), D(0.5)}});
  TVantra cube;
  cube.SetDataSet(table.get());
  DefineMap(cube, {"City", "Year"}, {"Amount"});
  cube.DimensionMap().FindPlain("Year")->DimGroup = TDimGroup::dgCol;
  cube.Options().ShowProgressBar = false;
  TRecorder owner;
  {
    TGridInfo grid(&owner);
    grid.SetVantra(&cube);
    EXPECT_FALSE(grid.IsActive());
    ASSERT_EQ(grid.SummarySettings().Count(), 1) << "settings follow the map before the build";
    cube.SetActive(true);
    ASSERT_TRUE(grid.IsActive());
    ExpectGolden("vantra_sales", DumpGrid(grid));

    cube.DimensionMap().FindSummary("Amount")->DisplayName = "Turnover";
    cube.NotifyGridModels(TCubeChange::ccMapEdited);
    EXPECT_EQ(grid.SummarySettings().Items(0).DisplayName, "Turnover");

    cube.SetActive(false);
    EXPECT_FALSE(grid.IsActive());
    EXPECT_EQ(grid.RowLineCount(), 1);
    EXPECT_TRUE(grid.RowDims().empty());
    grid.ProcessNotifications();
    EXPECT_EQ(owner.Kinds, (std::vector<TChangeKind>{ckCube, ckCubeBound, ckCube, ckCube, ckCube}));
  }
  cube.SetActive(true);  // the destroyed model let go of the cube
}

TEST(GridVantra, AFailedAggregationDeactivatesTheCubeAndPropagates) {
  TTestCube cube;
  cube.AddDim("Region", {"N", "S"}, TDimGroup::dgRow);
  cube.AddDim("Year", {"2024"}, TDimGroup::dgPage);
  cube.AddSummary("V");
  cube.AddFact({0, 0}, {1});
  cube.Activate();
  TGridInfo grid;
  grid.SetCube(&cube);
  // A member the page dimension does not have: harmless until the dimension
  // becomes active and its members are read.
  cube.Facts()->SetMember(0, 1, 7);
  EXPECT_EQ(grid.RowLineCount(), 2);
  try {
    grid.MoveDim(1, TDimGroup::dgCol, 0);
    FAIL() << "a corrupt fact record was aggregated";
  } catch (const ECubeError& e) {
    EXPECT_NE(std::string(e.what()).find("\"Year\""), std::string::npos) << e.what();
  }
  EXPECT_FALSE(cube.IsActive());
  EXPECT_FALSE(grid.IsActive());
  EXPECT_EQ(grid.UpdateCount(), 0);
  EXPECT_EQ(grid.RowLineCount(), 1);
}

// The second pass finds the records' cells with the same scan when the first
// did not keep them (nothing of the second pass was shown), and raises the
// same error for a member that went bad in between.
TEST(GridVantra, TheSecondPassNamesTheDimensionOfABadMemberToo) {
  TTestCube cube;
  cube.AddDim("Region", {"N", "S"}, TDimGroup::dgRow);
  cube.AddSummary("V");
  cube.AddFact({0}, {1});
  cube.AddFact({1}, {2});
  cube.Activate();
  TGridInfo grid;
  grid.SetCube(&cube);
  ASSERT_TRUE(grid.IsActive());
  cube.Facts()->SetMember(1, 0, 5);
  TSummaryInfo& info = grid.SummarySettings().Items(0);
  info.Function(static_cast<int>(TFunction::stVariance)).SetVisible(true);
  try {
    grid.BeginUpdate();
    grid.EndUpdate(ckDataColumns);
    FAIL() << "the second pass took a corrupt fact record";
  } catch (const ECubeError& e) {
    EXPECT_NE(std::string(e.what()).find("\"Region\""), std::string::npos) << e.what();
  }
  EXPECT_EQ(grid.UpdateCount(), 0);
}

}  // namespace
}  // namespace qd::test
