#include "model/formula_highlight.h"

#include <gtest/gtest.h>

#include "fake_formula_context.h"

namespace qd {
namespace {

constexpr std::uint32_t kText = kFormulaTextColor;
constexpr std::uint32_t kRef = kFormulaReferenceColor;
constexpr std::uint32_t kRed = kFormulaErrorColor;
constexpr std::uint32_t kFn = kFormulaFunctionColor;

class FormulaHighlightTest : public ::testing::Test {
 protected:
  FormulaHighlightTest() {
    FContext.Add("Sales");
    FContext.Add("销售额");
    FCalc = FContext.AddCalculated("Calc", "0");
  }

  TFakeFormulaContext FContext;
  int FCalc = -1;
};

using Runs = std::vector<THighlightRun>;

TEST_F(FormulaHighlightTest, ColoursAValidFormula) {
  const auto result = Highlight("\"Sales\".\"Average\"*sin(2)", FContext, FCalc);
  EXPECT_FALSE(result.HasErrors);
  EXPECT_EQ(result.Runs, (Runs{{0, 17, kRef, false},
                               {17, 1, kText, false},
                               {18, 3, kFn, false},
                               {21, 1, kText, true},
                               {22, 1, kText, false},
                               {23, 1, kText, true}}));
}

TEST_F(FormulaHighlightTest, MarksInvalidReferencesAndStrayParentheses) {
  auto result = Highlight("\"Nope\"+(1", FContext);
  EXPECT_TRUE(result.HasErrors);
  EXPECT_EQ(
      result.Runs,
      (Runs{{0, 6, kRed, false}, {6, 1, kText, false}, {7, 1, kRed, true}, {8, 1, kText, false}}));

  // The parenthesis without a partner is the stray one, wherever it stands.
  result = Highlight("(1))(", FContext);
  EXPECT_TRUE(result.HasErrors);
  EXPECT_EQ(
      result.Runs,
      (Runs{{0, 1, kText, true}, {1, 1, kText, false}, {2, 1, kText, true}, {3, 2, kRed, true}}));
  result = Highlight("(1)(", FContext);
  EXPECT_EQ(
      result.Runs,
      (Runs{{0, 1, kText, true}, {1, 1, kText, false}, {2, 1, kText, true}, {3, 1, kRed, true}}));
}

TEST_F(FormulaHighlightTest, ChecksFunctionPartsAndUnclosedReferences) {
  EXPECT_TRUE(Highlight("\"Sales\".\"Total\"", FContext).HasErrors);
  EXPECT_TRUE(Highlight("\"Sales\".Sum", FContext).HasErrors);
  auto result = Highlight("1+\"Sales", FContext);
  EXPECT_TRUE(result.HasErrors);
  EXPECT_EQ(result.Runs, (Runs{{0, 2, kText, false}, {2, 6, kRed, false}}));
  // Quoted text is never a function name or a parenthesis.
  result = Highlight("\"销售额\" . \"Sum\" + \"SIN(\"", FContext);
  EXPECT_TRUE(result.HasErrors);
  EXPECT_EQ(result.Runs, (Runs{{0, 13, kRef, false}, {13, 3, kText, false}, {16, 6, kRed, false}}));
}

TEST_F(FormulaHighlightTest, ASummaryCannotReferenceItself) {
  EXPECT_TRUE(Highlight("\"Calc\"", FContext, FCalc).HasErrors);
  EXPECT_FALSE(Highlight("\"Calc\"", FContext).HasErrors);
}

TEST_F(FormulaHighlightTest, MakesIfBoldAndColoursEveryTableFunction) {
  const auto result = Highlight("if(1,TRUNC(2), log (8,2))", FContext);
  EXPECT_FALSE(result.HasErrors);
  EXPECT_EQ(result.Runs, (Runs{{0, 3, kText, true},
                               {3, 2, kText, false},
                               {5, 5, kFn, false},
                               {10, 1, kText, true},
                               {11, 1, kText, false},
                               {12, 1, kText, true},
                               {13, 2, kText, false},
                               {15, 3, kFn, false},
                               {18, 1, kText, false},
                               {19, 1, kText, true},
                               {20, 3, kText, false},
                               {23, 2, kText, true}}));
  EXPECT_TRUE(Highlight("", FContext).Runs.empty());
}

}  // namespace
}  // namespace qd
