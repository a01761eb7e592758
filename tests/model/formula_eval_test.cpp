#include "model/formula_eval.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/core/errors.h"
#include "fake_formula_context.h"

namespace qd {
namespace {

std::optional<double> Value(const std::string& formula) {
  TFakeFormulaContext context;
  const TFormulaParser parser(formula, context, -1);
  return Evaluate(parser, context, {});
}

struct TCase {
  const char* Formula;
  double Expected;
};

class FormulaValue : public ::testing::TestWithParam<TCase> {};

TEST_P(FormulaValue, MatchesTheArithmetic) {
  const auto value = Value(GetParam().Formula);
  ASSERT_TRUE(value.has_value()) << GetParam().Formula;
  EXPECT_DOUBLE_EQ(*value, GetParam().Expected) << GetParam().Formula;
}

INSTANTIATE_TEST_SUITE_P(Precedence, FormulaValue,
                         ::testing::Values(TCase{"2-3-4", -5}, TCase{"2+3*4", 14},
                                           TCase{"(1+2)*3", 9}, TCase{"2+3*(4)", 14},
                                           TCase{"1-2*(3)-4", -9}, TCase{"(1)-2-3", -4},
                                           TCase{"(8)/2/2", 2}, TCase{"SIN(0)-1-1", -2},
                                           TCase{"1 + SIN(0)*2", 1}, TCase{"1<2+(3)", 1},
                                           TCase{"3=3<2", 1}, TCase{"(-5)*2", -10},
                                           TCase{"-5+1", -4}, TCase{"2 *\r\n 3 + 1", 7},
                                           TCase{"10/4", 2.5}, TCase{"7.", 7}));

INSTANTIATE_TEST_SUITE_P(Functions, FormulaValue,
                         ::testing::Values(TCase{"LOG(8, 2)", 3}, TCase{"LOG(1000,10)", 3},
                                           TCase{"ROUND(2.5)", 2}, TCase{"ROUND(3.5)", 4},
                                           TCase{"ROUND(-2.5)", -2}, TCase{"ROUND(127, 10)", 130},
                                           TCase{"round(125,10)", 120}, TCase{"TRUNC(127,10)", 120},
                                           TCase{"TRUNC((-2.7))", -2}, TCase{"POWER(2,10)", 1024},
                                           TCase{"EXP(0)+Cos(0)", 2}));

INSTANTIATE_TEST_SUITE_P(ComparisonsAndIf, FormulaValue,
                         ::testing::Values(TCase{"1<2", 1}, TCase{"2<1", 0}, TCase{"1>2", 0},
                                           TCase{"2=2", 1}, TCase{"2<=2", 1}, TCase{"3>=4", 0},
                                           TCase{"3<>4", 1}, TCase{"IF(1,5)", 5},
                                           TCase{"if(2>1, 5, 6)", 5}, TCase{"IF(0,5,6)", 6},
                                           TCase{"IF(2,5,6)", 6}, TCase{"IF(0, 1/0, 2)", 2},
                                           TCase{"IF(1<2, IF(2<3, 4), 5)", 4}));

TEST(FormulaEvaluate, FailuresGiveNoValue) {
  for (const char* formula :
       {"1/0", "1/(2-2)", "IF(0,5)", "IF(2,5)", "IF(1, 1/0, 2)", "LOG(-1, 10)", "LOG(8, 1)",
        "EXP(1000)", "ROUND(5, 0)", "TRUNC(5, 0)", "POWER(-8, 0.5)", "POWER(0, (-1))",
        "1000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
        "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
        "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
        "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000"}) {
    EXPECT_FALSE(Value(formula).has_value()) << formula;
  }
}

TEST(FormulaEvaluate, DeepNestingAndLongChainsNeitherRecurseNorCrawl) {
  const int depth = 5000;
  EXPECT_EQ(Value(std::string(depth, '(') + "1" + std::string(depth, ')')), 1);
  std::string chain = "0";
  for (int i = 0; i < depth; ++i) chain += "+IF(1<2,SIN(0)+1)";
  EXPECT_EQ(Value(chain), depth);
}

class FormulaReferenceTest : public ::testing::Test {
 protected:
  FormulaReferenceTest() {
    FSales = FContext.Add("Sales");
    FCost = FContext.Add("Cost");
    FContext.Set(FSales, kA, 5);
    FContext.Set(FSales, kA, 2.5, 2);
    FContext.Set(FCost, kA, 0);
    FContext.Set(FSales, kB, 20);
    FContext.Set(FCost, kB, 8);
  }

  std::optional<double> At(const std::string& formula, const TFormulaKey& key) {
    const TFormulaParser parser(formula, FContext, -1);
    return Evaluate(parser, FContext, key);
  }

  const TFormulaKey kA{0, -1};
  const TFormulaKey kB{1, -1};
  const TFormulaKey kEmpty{2, -1};
  TFakeFormulaContext FContext;
  int FSales = -1;
  int FCost = -1;
};

TEST_F(FormulaReferenceTest, ReferencesReadTheirFunctionAndZeroWithoutData) {
  EXPECT_EQ(At("\"Sales\"", kA), 5);
  EXPECT_EQ(At("\"sales\".\"average\" * 2", kA), 5);
  EXPECT_EQ(At("\"Sales\".\"Median\"", kA), 0);  // no median at the key
  EXPECT_EQ(At("\"Sales\" + 1", kEmpty), 1);
}

TEST_F(FormulaReferenceTest, AQuotientHasNoValueWhereTheDivisorIsZero) {
  EXPECT_FALSE(At("\"Sales\" / \"Cost\"", kA).has_value());
  EXPECT_EQ(At("\"Sales\" / \"Cost\"", kB), 2.5);
  EXPECT_FALSE(At("\"Sales\" / \"Cost\"", kEmpty).has_value());
}

TEST_F(FormulaReferenceTest, TwoArgumentIfHasAValueOnlyWhereTheConditionHolds) {
  EXPECT_FALSE(At("IF(\"Sales\" > 10, \"Sales\")", kA).has_value());
  EXPECT_EQ(At("IF(\"Sales\" > 10, \"Sales\")", kB), 20);
  EXPECT_EQ(At("IF(\"Sales\" > 10, \"Sales\", (-1))", kA), -1);
}

TEST_F(FormulaReferenceTest, CalculatedReferencesEvaluateAtTheSameKeyAndStopAtCycles) {
  const int doubled = FContext.AddCalculated("Doubled", "\"Sales\" * 2");
  const int plusOne = FContext.AddCalculated("PlusOne", "\"Doubled\" + 1");
  EXPECT_EQ(CalculatedSummaryValue(FContext, plusOne, kB), 41);
  EXPECT_EQ(CalculatedSummaryValue(FContext, doubled, kA), 10);

  const int ping = FContext.AddCalculated("Ping", "\"Pong\" + 1");
  FContext.AddCalculated("Pong", "\"Ping\" + 1");
  EXPECT_FALSE(CalculatedSummaryValue(FContext, ping, kA).has_value());
  const int guarded = FContext.AddCalculated("Guarded", "IF(0, \"Ping\", 7)");
  EXPECT_EQ(CalculatedSummaryValue(FContext, guarded, kA), 7);

  const int broken = FContext.AddCalculated("Broken", "\"Gone\" * 2");
  const int usesBroken = FContext.AddCalculated("UsesBroken", "\"Broken\" + 1");
  EXPECT_THROW(CalculatedSummaryValue(FContext, broken, kA), EParseError);
  EXPECT_FALSE(CalculatedSummaryValue(FContext, usesBroken, kA).has_value());

  const int noValue = FContext.AddCalculated("NoValue", "\"Sales\" / \"Cost\"");
  const int usesNoValue = FContext.AddCalculated("UsesNoValue", "\"NoValue\" + 1");
  EXPECT_FALSE(CalculatedSummaryValue(FContext, usesNoValue, kA).has_value());
  (void)noValue;
}

TEST_F(FormulaReferenceTest, ASharedCalculatedReferenceIsComputedOnce) {
  std::string formula = "\"Sales\"";
  for (int level = 0; level < 30; ++level) {
    const std::string name = "L" + std::to_string(level);
    FContext.AddCalculated(name, formula);
    formula = "\"" + name + "\" + \"" + name + "\"";
  }
  const int top = FContext.AddCalculated("Top", formula);
  FContext.AggregateReads = 0;
  EXPECT_EQ(CalculatedSummaryValue(FContext, top, kA), 5 * std::pow(2.0, 30));
  EXPECT_EQ(FContext.AggregateReads, 1);
}

// The textbook Pearson coefficient, for comparison.
double NaivePearson(const std::vector<double>& x, const std::vector<double>& y) {
  const double n = static_cast<double>(x.size());
  double mx = 0, my = 0;
  for (std::size_t i = 0; i < x.size(); ++i) mx += x[i] / n, my += y[i] / n;
  double sxy = 0, sxx = 0, syy = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    sxy += (x[i] - mx) * (y[i] - my);
    sxx += (x[i] - mx) * (x[i] - mx);
    syy += (y[i] - my) * (y[i] - my);
  }
  return sxy / std::sqrt(sxx * syy);
}

TEST(FormulaCorrelation, MatchesANaivePearsonComputationOnRandomData) {
  TFakeFormulaContext context;
  const int x = context.Add("X");
  const int y = context.Add("Y");
  std::mt19937 random(20261209);
  std::uniform_real_distribution<double> value(-1000, 1000);
  std::uniform_int_distribution<int> size(2, 60);
  for (int cell = 0; cell < 200; ++cell) {
    std::vector<double> xs(static_cast<std::size_t>(size(random))), ys(xs.size());
    const double slope = value(random) / 500;
    for (std::size_t i = 0; i < xs.size(); ++i) {
      xs[i] = value(random);
      ys[i] = slope * xs[i] + value(random);
    }
    const TFormulaKey key{cell};
    context.SetFinest(x, key, xs);
    context.SetFinest(y, key, ys);
    const TFormulaParser parser("CORR(\"X\", \"Y\".\"Average\") * 2", context, -1);
    const auto coefficient = Evaluate(parser, context, key);
    ASSERT_TRUE(coefficient.has_value());
    EXPECT_NEAR(*coefficient, 2 * NaivePearson(xs, ys), 1e-9) << "cell " << cell;
  }
  const TFormulaParser parser("CORR(\"X\", \"Y\")", context, -1);
  context.SetFinest(x, {-1}, {4});
  context.SetFinest(y, {-1}, {7});
  EXPECT_EQ(Evaluate(parser, context, {-1}), 0);  // one pair
  context.SetFinest(x, {-2}, {3, 3, 3});
  context.SetFinest(y, {-2}, {1, 2, 3});
  EXPECT_EQ(Evaluate(parser, context, {-2}), 0);  // constant side
  EXPECT_EQ(Evaluate(parser, context, {-3}), 0);  // no coefficient at the key
}

}  // namespace
}  // namespace qd
