// Summary settings, their visibility rules, copies and merges, the function
// catalogue, and how the settings follow the cube.
#include <gtest/gtest.h>

#include "engine/core/errors.h"
#include "grid_test_cube.h"

namespace qd::test {
namespace {

std::vector<std::pair<int, int>> VisibleSubFunctions(const TSummaryInfo& s) {
  std::vector<std::pair<int, int>> out;
  for (int f = 0; f < kFunctionCount; ++f)
    for (int sf = 0; sf < kSubFunctionCount; ++sf)
      if (s.Function(f).SubFunction(sf).Visible) out.emplace_back(f, sf);
  return out;
}

TEST(SummarySettings, VisibilityShowsSumValueAndForgetsEarlierChoices) {
  TSummaryInfo s;
  EXPECT_FALSE(s.Visible());
  s.Function(4).SubFunction(7).Visible = true;
  EXPECT_TRUE(s.Visible());
  EXPECT_TRUE(s.Function(4).Visible());
  s.SetVisible(false);
  EXPECT_TRUE(VisibleSubFunctions(s).empty());
  s.SetVisible(true);
  EXPECT_EQ(VisibleSubFunctions(s), (std::vector<std::pair<int, int>>{{0, 0}}));
  s.Function(2).SetVisible(true);
  EXPECT_EQ(VisibleSubFunctions(s), (std::vector<std::pair<int, int>>{{0, 0}, {2, 0}}));
  s.SetFormula("  [A] + 1 \n");
  EXPECT_EQ(s.Formula(), "[A] + 1");
  EXPECT_TRUE(s.IsCalculated());
}

TEST(SummarySettings, DefaultFormatsUseIntegerAndPercentageMasks) {
  TSummaryInfo s;
  s.ApplyDefaultFormats();
  EXPECT_EQ(s.Function(0).SubFunction(0).FormatString, "0.00");
  EXPECT_EQ(s.Function(1).SubFunction(0).FormatString, "0");         // Count
  EXPECT_EQ(s.Function(1).SubFunction(3).FormatString, "0.0\"%\"");  // percent, even under Count
  EXPECT_EQ(s.Function(5).SubFunction(2).FormatString, "0");         // rank
  EXPECT_EQ(s.Function(5).SubFunction(4).FormatString, "0.0\"%\"");
  EXPECT_EQ(s.Function(5).SubFunction(8).FormatString, "0.00");
  EXPECT_EQ(VisibleSubFunctions(s), (std::vector<std::pair<int, int>>{{0, 0}}));
  EXPECT_EQ(SubFunctionDisplayName(3), "% ROW");
  EXPECT_EQ(SubFunctionDisplayName(8), "Col cumul. Sum");
}

TEST(FunctionDefs, StandardEntriesThenCustomOnesUpToSixteen) {
  TFunctionDefs defs;
  defs.EnsureStandard();
  ASSERT_EQ(defs.Count(), 11);
  EXPECT_EQ(defs.Items(6).DisplayName, "Standard deviation");
  EXPECT_EQ(defs.Items(10).DisplayName, "Median");
  EXPECT_TRUE(defs.Items(10).UserAllowed);
  EXPECT_EQ(defs.CustomCount(), 0);
  TFunctionDef& custom = defs.Add();
  EXPECT_EQ(custom.FunctionType(), TFunction::stCustom1);
  EXPECT_EQ(custom.DisplayName, "自定义合计函数");
  EXPECT_FALSE(custom.UserAllowed);
  while (defs.Count() < 16) defs.Add();
  try {
    defs.Add();
    FAIL() << "a seventeenth function was accepted";
  } catch (const EGenericError& e) {
    EXPECT_STREQ(e.what(), "太多的被计算函数");
  }
  TFunctionDefs copy;
  copy.EnsureStandard();
  copy.Items(0).DisplayName = "Total";
  defs.Items(1).DisplayName = "N";
  defs.Assign(copy);
  EXPECT_EQ(defs.Count(), 11);
  EXPECT_EQ(defs.Items(0).DisplayName, "Total");
  EXPECT_EQ(defs.Items(1).DisplayName, "Count");
}

class SummaryCopies : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"Amount", "Qty", "Price"}) {
      TSummaryInfo& s = model.Add();
      s.FieldName = s.DisplayName = name;
      s.DimensionMapIndex = model.Count();
      s.ApplyDefaultFormats();
    }
    model.Renumber();
    model.Items(0).Function(0).SubFunction(0).Alignment = TAlignment::taCenter;
    copy.Assign(model);
  }
  TSummarySettings model, copy;
};

TEST_F(SummaryCopies, DeepCopyTakesVisibilityAndFormatsButNotAlignment) {
  ASSERT_EQ(copy.Count(), 3);
  EXPECT_EQ(copy.Items(2).FieldName, "Price");
  EXPECT_EQ(copy.Items(2).Id, 2);
  EXPECT_EQ(copy.Items(1).Function(1).SubFunction(0).FormatString, "0");
  EXPECT_EQ(copy.Items(0).Function(0).SubFunction(0).Alignment, TAlignment::taRightJustify);
  EXPECT_EQ(copy.FindByFieldName("qty"), &copy.Items(1));
  EXPECT_EQ(copy.FindById(7), nullptr);
}

TEST_F(SummaryCopies, MergeWithoutStructuralChangeCopiesFormatsAndReportsNoChange) {
  copy.Items(1).Function(0).SubFunction(0).FormatString = "#,##0";
  copy.Items(1).DisplayName = "Quantity";
  EXPECT_FALSE(copy.MergeInto(model));
  EXPECT_EQ(model.Items(1).Function(0).SubFunction(0).FormatString, "#,##0");
  EXPECT_EQ(model.Items(1).DisplayName, "Quantity");
}

TEST_F(SummaryCopies, MergeAddsNewItemsDropsRemovedOnesAndRenumbers) {
  copy.Delete(0);
  TSummaryInfo& calc = copy.Add();
  calc.FieldName = calc.DisplayName = "Margin";
  calc.SetFormula("[Amount] - [Price]");
  EXPECT_TRUE(copy.MergeInto(model));
  ASSERT_EQ(model.Count(), 3);
  EXPECT_EQ(model.Items(0).FieldName, "Qty");
  EXPECT_EQ(model.Items(2).FieldName, "Margin");
  EXPECT_EQ(model.Items(2).Formula(), "[Amount] - [Price]");
  EXPECT_EQ(model.Items(2).Id, 2);
}

TEST_F(SummaryCopies, SyncWithTheMapRenamesKeepsFormatsAndDropsRemovedSummaries) {
  TSummaryInfo& calc = model.Add();
  calc.FieldName = "Margin";  // calculated: survives every sync
  model.Items(1).Function(0).SubFunction(0).FormatString = "#,##0";
  model.SyncWithDimensionMap({{4, "QTY", "Pieces"}, {6, "Cost", "Cost"}});
  ASSERT_EQ(model.Count(), 3);
  EXPECT_EQ(model.Items(0).DisplayName, "Pieces");
  EXPECT_EQ(model.Items(0).DimensionMapIndex, 4);
  EXPECT_EQ(model.Items(0).Function(0).SubFunction(0).FormatString, "#,##0");
  EXPECT_EQ(model.Items(1).FieldName, "Margin");
  EXPECT_EQ(model.Items(2).FieldName, "Cost");
  EXPECT_EQ(model.Items(2).Id, 2);
}

TEST(GridSummaries, ModelLinksStatesAndFollowsCubeNotifications) {
  TTestCube cube;
  cube.AddDim("Region", {"N", "S"}, TDimGroup::dgRow);
  cube.AddSummary("Amount");
  cube.AddSummary("Qty");
  cube.AddFact({0}, {1, 2});
  cube.Activate();
  TGridInfo grid;
  TSummaryInfo& calc = grid.SummarySettings().Add();
  calc.FieldName = calc.DisplayName = "Ratio";
  grid.SetCube(&cube);
  TSummarySettings& settings = grid.SummarySettings();
  ASSERT_EQ(settings.Count(), 3);
  EXPECT_EQ(settings.Items(0).FieldName, "Ratio");
  EXPECT_EQ(settings.Items(0).State, nullptr);
  ASSERT_NE(settings.Items(1).State, nullptr);
  EXPECT_EQ(settings.Items(1).State->Info(), &settings.Items(1));
  EXPECT_EQ(settings.Items(2).State->Index(), 1);

  settings.Items(1).Function(0).SubFunction(0).FormatString = "0.0";
  cube.Sums()[0]->DisplayName = "Turnover";
  cube.Notify(TCubeChange::ccMapEdited);
  EXPECT_EQ(settings.FindByFieldName("Amount")->DisplayName, "Turnover");
  EXPECT_EQ(settings.FindByFieldName("Amount")->Function(0).SubFunction(0).FormatString, "0.0");

  cube.Notify(TCubeChange::ccLoaded);  // loaded from a stream: one fresh item per cube summary
  ASSERT_EQ(settings.Count(), 2);
  EXPECT_EQ(settings.Items(0).Function(0).SubFunction(0).FormatString, "0.00");
  EXPECT_EQ(settings.Items(1).State, &grid.Aggregation().Summary(1));

  cube.Deactivate();
  EXPECT_EQ(settings.Items(0).State, nullptr);
  EXPECT_EQ(grid.Aggregation().SummaryCount(), 0);
}

}  // namespace
}  // namespace qd::test
