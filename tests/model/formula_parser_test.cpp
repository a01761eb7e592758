#include "model/formula_parser.h"

#include <gtest/gtest.h>

#include "engine/core/errors.h"
#include "fake_formula_context.h"

namespace qd {
namespace {

class FormulaParserTest : public ::testing::Test {
 protected:
  FormulaParserTest() {
    FSales = FContext.Add("Sales");
    FContext.Add("销售额");
    FCalc = FContext.AddCalculated("Calc", "\"Sales\"*2");
  }

  // The message and position of the parse error, or "" when the text parses.
  std::pair<std::string, int> ErrorOf(const std::string& formula, int calculated = -1) {
    try {
      TFormulaParser parser(formula, FContext, calculated);
      return {"", 0};
    } catch (const EParseError& e) {
      return {e.Message(), e.Position};
    }
  }

  TFakeFormulaContext FContext;
  int FSales = -1;
  int FCalc = -1;
};

TEST_F(FormulaParserTest, ReducesIntoATreeWhoseLastTokenIsTheRoot) {
  const TFormulaParser parser("2 + 3*4", FContext, -1);
  const auto& tokens = parser.Tokens();
  ASSERT_EQ(tokens.size(), 5u);
  EXPECT_EQ(parser.Root(), 4);
  const TToken& root = tokens[4];
  EXPECT_EQ(root.Opcode, TFormulaOp::foAdd);
  EXPECT_EQ(root.SourceLength, 7);
  EXPECT_EQ(tokens[root.Operand2].Opcode, TFormulaOp::foMultiply);
  EXPECT_EQ(tokens[0].Name, "%&aa");
  EXPECT_EQ(parser.FindToken("%&AE"), &root);
  EXPECT_EQ(parser.FindToken("%&zz"), nullptr);
}

TEST_F(FormulaParserTest, ReferencesCarryTheirSummaryAndFunction) {
  const TFormulaParser parser(R"("sales"."AVERAGE" + "Sales" . "自定义合计函数" + "销售额")",
                              FContext, FCalc);
  std::vector<std::pair<int, int>> references;
  for (const TToken& token : parser.Tokens()) {
    if (token.Opcode == TFormulaOp::foReference)
      references.push_back({token.Summary, token.Function});
  }
  EXPECT_EQ(references, (std::vector<std::pair<int, int>>{{0, 2}, {0, 11}, {1, 0}}));
}

TEST_F(FormulaParserTest, OneArgumentFormsTakeTheTableConstant) {
  const TFormulaParser parser("round(2.5)", FContext, -1);
  const TToken& root = parser.Tokens()[parser.Root()];
  EXPECT_EQ(root.Opcode, TFormulaOp::foRound);
  EXPECT_EQ(parser.Tokens()[root.Operand2].Value, 1.0);
  const TFormulaParser trunc("TRUNC(7, 2)", FContext, -1);
  EXPECT_EQ(trunc.Tokens()[trunc.Root()].Opcode, TFormulaOp::foTrunc);
}

TEST_F(FormulaParserTest, ReportsReferenceErrorsWithTheirDetailAndSourcePosition) {
  using P = std::pair<std::string, int>;
  EXPECT_EQ(ErrorOf("1 + \"Sales"), P("不正确的字符串: \"Sales", 5));
  EXPECT_EQ(ErrorOf("2*\"Nope\""), P("无法识别的合计项: Nope", 3));
  EXPECT_EQ(ErrorOf("\"Sales\".Sum"), P("不正确的函数: \"\"", 8));
  EXPECT_EQ(ErrorOf("\"Sales\".\"Sum"), P("不正确的函数: \"Sum", 9));
  EXPECT_EQ(ErrorOf("\"Sales\".\"Total\""), P("不正确的函数: Total", 9));
  EXPECT_EQ(ErrorOf("\"销售额\".\"合计\""), P("不正确的函数: 合计", 7));
}

TEST_F(FormulaParserTest, AFormulaCannotNameItsOwnSummary) {
  EXPECT_EQ(ErrorOf("\"Calc\" * 2", FCalc),
            std::make_pair(std::string("无法识别的合计项: Calc"), 1));
  EXPECT_EQ(ErrorOf("\"Calc\" * 2", FSales).first, "");
}

TEST_F(FormulaParserTest, LeftoversAreBadStringsAtTheirSourcePosition) {
  using P = std::pair<std::string, int>;
  const P none("", 0);
  EXPECT_EQ(ErrorOf(""), P("不正确的字符串", 1));
  EXPECT_EQ(ErrorOf("  LOG(8)"), P("不正确的字符串", 3));  // LOG takes two arguments
  EXPECT_EQ(ErrorOf("CORR(\"Sales\")").first, "不正确的字符串");
  EXPECT_EQ(ErrorOf("*2"), P("不正确的字符串", 1));
  EXPECT_EQ(ErrorOf("1 + 2 )"), P("不正确的字符串", 7));
  EXPECT_EQ(ErrorOf("\"销售额\"你"), P("不正确的字符串", 6));
  EXPECT_EQ(ErrorOf("(1+2"), P("不正确的字符串", 1));
  EXPECT_EQ(ErrorOf("1.2.3"), P("不正确的字符串", 4));
  EXPECT_EQ(ErrorOf("%&aa"), P("不正确的字符串", 1));  // a token name typed by hand is text
  EXPECT_EQ(ErrorOf("1+-5"), P("不正确的字符串", 2));  // a sign only after "(" or at the start
  EXPECT_EQ(ErrorOf("-5"), none);
  EXPECT_EQ(ErrorOf("(-5)"), none);
  EXPECT_EQ(ErrorOf("IF(1,2,3)"), none);
}

TEST_F(FormulaParserTest, CorrNeedsTwoReferencesToPlainSummaries) {
  const auto [message, position] = ErrorOf("1 + CORR(\"Sales\", 2)");
  EXPECT_EQ(message, "CORR的两个参数都必须是非计算合计项: CORR(\"Sales\", 2)");
  EXPECT_EQ(position, 5);
  EXPECT_EQ(ErrorOf("CORR(\"Sales\", \"Calc\")").first.rfind("CORR的", 0), 0u);
  EXPECT_EQ(ErrorOf("CORR(\"Sales\", \"销售额\")").first, "");
}

TEST_F(FormulaParserTest, NumbersUseTheConfiguredDecimalSeparator) {
  TFormulaOptions comma;
  comma.DecimalSeparator = U',';
  const TFormulaParser parser("1,5", FContext, -1, comma);
  EXPECT_EQ(parser.Tokens()[parser.Root()].Value, 1.5);
  EXPECT_THROW(TFormulaParser("1,5", FContext, -1), EParseError);
}

TEST(FormulaText, DecodesUtf8AndComparesNamesIgnoringAsciiCase) {
  EXPECT_EQ(FormulaChars("a销\xff"), U"a销\uFFFD");
  EXPECT_EQ(FormulaChars("\xe9\x94"), U"\uFFFD\uFFFD");  // truncated sequence
  EXPECT_EQ(FormulaUtf8(U"x销😀"), "x销😀");
  EXPECT_TRUE(SameFormulaName(U"Standard Deviation", U"standard deviation"));
  EXPECT_FALSE(SameFormulaName(U"Sum", U"Sums"));
  EXPECT_EQ(FindFormulaFunctionName(U"median"), 10);
  EXPECT_EQ(FindFormulaFunctionName(U"自定义合计函数"), 11);
  EXPECT_EQ(FindFormulaFunctionName(U"Total"), -1);
}

}  // namespace
}  // namespace qd
