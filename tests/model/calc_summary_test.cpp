// Calculated summaries in a real grid: formulas over other summaries at every
// cell, their sub-functions, references between calculated summaries, cycles,
// correlations and formulas that no longer parse.
#include <cmath>

#include <gtest/gtest.h>

#include "engine/core/errors.h"
#include "engine/data/memo_dataset.h"
#include "grid_test_cube.h"
#include "model/formula_eval.h"

namespace qd::test {
namespace {

using enum TDimGroup;

// Regions A, B on rows, years Y1, Y2 on columns (Totals last):
//   Amount: A 10 9 | B 10 8     Qty: A 2 0 | B 5 4   (B/Y1 is two facts)
class CalculatedSummaries : public ::testing::Test {
 protected:
  void SetUp() override {
    cube.AddDim("Region", {"A", "B"}, dgRow);
    cube.AddDim("Year", {"Y1", "Y2"}, dgCol);
    cube.AddSummary("Amount");
    cube.AddSummary("Qty");
    cube.AddFact({0, 0}, {10, 2});
    cube.AddFact({0, 1}, {9, 0});
    cube.AddFact({1, 0}, {6, 3});
    cube.AddFact({1, 0}, {4, 2});
    cube.AddFact({1, 1}, {8, 4});
    cube.Activate();
    grid.SetCube(&cube);
    for (int s = 0; s < 2; ++s) grid.SummarySettings().Items(s).SetVisible(false);
  }
  TSummaryInfo& AddCalculated(const std::string& name, const std::string& formula) {
    TSummaryInfo& item = grid.SummarySettings().Add();
    item.FieldName = item.DisplayName = name;
    item.SetFormula(formula);
    item.Function(0).SubFunction(sfValue).Visible = true;
    return item;
  }
  void Relayout() {
    grid.BeginUpdate();
    grid.EndUpdate(ckDataColumns);
  }
  // The value of data column entry `entry` of column line `line`.
  TCellValue At(int row, int line, int entry = 0) const {
    return grid.GetCellValue(row, line * grid.DataColumnsPerLine() + entry);
  }

  TTestCube cube;
  TGridInfo grid;
};

TEST_F(CalculatedSummaries, FormulaIsEvaluatedAtEveryCellWithItsSubFunctions) {
  TSummaryInfo& price = AddCalculated("Price", "\"Amount\" / \"Qty\"");
  price.Function(0).SubFunction(sfRankByCol).Visible = true;
  price.Function(0).SubFunction(sfPercentByRow).Visible = true;
  price.Function(3).SubFunction(sfValue).Visible = true;  // only function 0 is computed
  Relayout();
  ASSERT_EQ(grid.DataColumnsPerLine(), 3);
  EXPECT_EQ(price.Formula(), "\"Amount\" / \"Qty\"");
  EXPECT_EQ(At(0, 0).Value, 5);
  EXPECT_FALSE(At(0, 1).HasValue);  // A/Y2 divides by 0
  EXPECT_EQ(At(1, 0).Value, 2);
  EXPECT_EQ(At(0, 2).Value, 9.5);  // totals divide the totals
  EXPECT_DOUBLE_EQ(At(2, 2).Value, 37.0 / 11);
  EXPECT_EQ(At(0, 0, 1).Value, 1);  // rank by column: A 5 over B 2
  EXPECT_EQ(At(1, 0, 1).Value, 2);
  EXPECT_FALSE(At(0, 1, 1).HasValue);
  EXPECT_EQ(At(1, 1, 1).Value, 1);
  EXPECT_DOUBLE_EQ(At(0, 0, 2).Value, 5 * 100 / 9.5);
  EXPECT_EQ(price.GetValue({0, 0}, 7).Value, 5) << "the function is ignored";
  EXPECT_NE(price.ParsedFormula, nullptr);
}

TEST_F(CalculatedSummaries, ReferencesEvaluateOtherCalculatedSummariesAndCyclesHaveNoValue) {
  AddCalculated("Price", "\"Amount\" / \"Qty\"");
  AddCalculated("Double", "\"Price\" * 2 + \"Qty\".\"Count\"");
  AddCalculated("X", "\"Y\" + 1");
  AddCalculated("Y", "\"X\" + 1");
  Relayout();
  ASSERT_EQ(grid.DataColumnsPerLine(), 4);
  EXPECT_EQ(At(1, 0, 1).Value, 2 * 2 + 2);  // B/Y1: price 2, two facts
  EXPECT_FALSE(At(0, 1, 1).HasValue);       // the referenced price has none
  EXPECT_FALSE(At(0, 0, 2).HasValue);
  EXPECT_FALSE(At(2, 2, 3).HasValue);
}

TEST_F(CalculatedSummaries, CorrelationOfTwoSummariesOverTheFinestCellsOfAKey) {
  AddCalculated("Corr", "CORR(\"Amount\", \"Qty\")");
  Relayout();
  const double amounts[] = {10, 9, 10, 8}, quantities[] = {2, 0, 5, 4};
  EXPECT_DOUBLE_EQ(At(2, 2).Value, CorrelationCoefficient(amounts, quantities));
  const double a[] = {10, 9}, q[] = {2, 0};
  EXPECT_DOUBLE_EQ(At(0, 2).Value, CorrelationCoefficient(a, q));  // A over its years
  EXPECT_EQ(At(0, 0).Value, 0);                                    // one cell, no spread
  const double y1a[] = {10, 10}, y1q[] = {2, 5};
  EXPECT_DOUBLE_EQ(At(2, 0).Value, CorrelationCoefficient(y1a, y1q));
  // Hiding B rebuilds the totals; the grand total now correlates A's cells only.
  grid.HideOtherMembers(*grid.RowTree().front(), 0);
  ASSERT_EQ(grid.RowLineCount(), 2);
  EXPECT_DOUBLE_EQ(At(1, 2).Value, CorrelationCoefficient(a, q));
}

TEST_F(CalculatedSummaries, AFormulaThatNoLongerParsesHasNoValuesAndOneMessage) {
  AddCalculated("Price", "\"Amount\" / \"Qty\"");
  AddCalculated("Double", "\"Amount\" * 2");
  grid.SummarySettings().Items(0).SetVisible(true);
  Relayout();
  EXPECT_TRUE(grid.FormulaErrors().empty());
  // Renaming a summary breaks the formula that names it; the rest of the
  // layout is computed as before.
  grid.SummarySettings().Items(0).DisplayName = "Turnover";
  Relayout();
  ASSERT_EQ(grid.DataColumnsPerLine(), 3);
  EXPECT_EQ(grid.FormulaErrors(),
            (std::vector<std::string>{
                "计算合计项“Price”的公式有错误（第 1 个字符）：无法识别的合计项: Amount",
                "计算合计项“Double”的公式有错误（第 1 个字符）：无法识别的合计项: Amount"}));
  for (int row = 0; row < 3; ++row)
    for (int line = 0; line < 3; ++line) {
      EXPECT_TRUE(At(row, line, 0).HasValue);
      EXPECT_FALSE(At(row, line, 1).HasValue);
      EXPECT_FALSE(At(row, line, 2).HasValue);
    }
  EXPECT_EQ(At(0, 0, 0).Value, 10);
  EXPECT_FALSE(At(0, 0, 2).HasValue);
  grid.SummarySettings().Items(2).SetFormula("\"Turnover\" / \"Qty\"");
  grid.SummarySettings().Items(3).SetFormula("\"Turnover\" * 2");
  Relayout();
  EXPECT_TRUE(grid.FormulaErrors().empty());
  EXPECT_EQ(At(0, 0, 1).Value, 5);
  EXPECT_EQ(At(0, 0, 2).Value, 20);
}

TEST_F(CalculatedSummaries, HaveNoFactRecords) {
  AddCalculated("Price", "\"Amount\" / \"Qty\"");
  Relayout();
  EXPECT_EQ(grid.GetCellFacts(0, 0), nullptr);
  EXPECT_FALSE(grid.GetCellFactRecords(0, 0).empty());
}

}  // namespace
}  // namespace qd::test
