// First pass, totals and function values of one cell.
#include "engine/aggregate/aggregate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <span>

#include "engine/aggregate/aggregate_two_pass.h"
#include "engine/core/errors.h"

namespace qd {
namespace {

// The second-pass results of one cell made of two base cells that split
// `values`.
TTwoPassRecord OneCell(const std::vector<double>& values,
                       const TSecondPassOptions* options = nullptr) {
  static const TSecondPassOptions kPlain;
  TSecondPassCell cell(options ? *options : kPlain);
  double sum = 0;
  for (double v : values) sum += v;
  cell.Start(sum, static_cast<std::int32_t>(values.size()));
  const std::span<const double> all(values);
  cell.AddRun(all.first(values.size() / 2));
  cell.AddRun(all.subspan(values.size() / 2));
  TTwoPassRecord r;
  cell.Finish(r);
  return r;
}

TEST(TwoPassCell, OneToFourGivesTheTextbookMoments) {
  TTwoPassRecord r = OneCell({1, 2, 3, 4});
  EXPECT_DOUBLE_EQ(r.Median, 2.5);
  EXPECT_NEAR(r.Variance, 1.6667, 1e-4);
  EXPECT_DOUBLE_EQ(r.MeanAbsDev, 1);
  EXPECT_DOUBLE_EQ(r.Skewness, 0);
  EXPECT_NEAR(r.Kurtosis, 10.25 / (4 * (5.0 / 3) * (5.0 / 3)) - 3, 1e-12);
  EXPECT_NEAR(r.Kurtosis, -2.0775, 1e-4);
  EXPECT_EQ(r.Minimum, 1);
  EXPECT_EQ(r.Maximum, 4);
}

TEST(TwoPassCell, OneValueAndConstantValuesHaveNoSpread) {
  TTwoPassRecord one = OneCell({7.5});
  EXPECT_EQ(one.Minimum, 7.5);
  EXPECT_EQ(one.Maximum, 7.5);
  EXPECT_EQ(one.Median, 7.5);
  EXPECT_EQ(one.Variance, 0);
  EXPECT_EQ(one.MeanAbsDev, 0);
  EXPECT_EQ(one.Skewness, 0);
  EXPECT_EQ(one.Kurtosis, 0);

  TTwoPassRecord five = OneCell({5, 5, 5});
  EXPECT_EQ(five.Variance, 0);
  EXPECT_EQ(five.Skewness, 0);
  EXPECT_EQ(five.Kurtosis, 0);
  // Constant values whose mean does not round-trip keep a spread of 0.
  for (double v : {0.1, 0.7, 1e-3, 123.456789, 1e15 + 0.3}) {
    TTwoPassRecord r = OneCell(std::vector<double>(7, v));
    EXPECT_GE(r.Variance, 0) << v;
    EXPECT_FALSE(std::isnan(r.Skewness)) << v;
    EXPECT_FALSE(std::isnan(r.Kurtosis)) << v;
  }
}

TEST(TwoPassCell, AMismatchedCountRaisesAndLeavesTheResultsAlone) {
  TSecondPassOptions options;
  TSecondPassCell cell(options);
  cell.Start(6, 3);
  const double two[] = {1, 3};
  cell.AddRun(two);
  TTwoPassRecord unchanged;
  try {
    cell.Finish(unchanged);
    FAIL() << "no error";
  } catch (const EGenericError& e) {
    EXPECT_STREQ(e.what(), "出现内部计算错误");
  }
  EXPECT_EQ(unchanged.Minimum, 0);
  // The same object serves the next cell.
  cell.Start(4, 2);
  cell.AddRun(two);
  TTwoPassRecord r;
  cell.Finish(r);
  EXPECT_EQ(r.Median, 2);
  EXPECT_EQ(r.Maximum, 3);
}

TEST(TwoPassCell, OnlyTheAskedResultsAreComputed) {
  TSecondPassOptions medians;
  medians.Moments = false;
  TTwoPassRecord m = OneCell({4, 1, 9}, &medians);
  EXPECT_EQ(m.Median, 4);
  EXPECT_EQ(m.Variance, 0);
  TSecondPassOptions moments;
  moments.Medians = false;
  TTwoPassRecord v = OneCell({4, 1, 10}, &moments);
  EXPECT_EQ(v.Median, 0);
  EXPECT_EQ(v.Variance, 21);
  EXPECT_EQ(v.Minimum, 1);
  EXPECT_EQ(v.Maximum, 10);
}

TEST(TwoPassCell, CustomFunctionsSeeTheCellValuesInAscendingOrder) {
  std::vector<std::vector<double>> seen;
  std::vector<TFunction> kinds;
  TSecondPassOptions options;
  int sender = 0;
  options.Sender = &sender;
  options.CustomCount = 2;
  options.OnCalcAggregateFunction = [&](void* s, TFunction f, const std::vector<double>& values,
                                        bool& empty, double& value) {
    EXPECT_EQ(s, &sender);
    EXPECT_FALSE(empty);
    EXPECT_EQ(value, 0);
    seen.push_back(values);
    kinds.push_back(f);
    value = values.back() * (f == TFunction::stCustom1 ? 10 : 100);
  };
  TTwoPassRecord r = OneCell({3, 1, 2}, &options);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(kinds, (std::vector<TFunction>{TFunction::stCustom1, TFunction::stCustom2}));
  EXPECT_EQ(r.Custom[0], 30);
  EXPECT_EQ(r.Custom[1], 300);
  EXPECT_EQ(r.Custom[2], 0);

  // Without a handler every custom function stays 0.
  TSecondPassOptions none;
  none.CustomCount = 5;
  TTwoPassRecord plain = OneCell({3, 1, 2}, &none);
  for (double c : plain.Custom) EXPECT_EQ(c, 0);

  options.OnCalcAggregateFunction = [](void*, TFunction, const std::vector<double>&, bool&,
                                       double&) { throw ECubeError("handler failed"); };
  EXPECT_THROW(OneCell({1}, &options), ECubeError);
}

TEST(SummaryArray, MatchesAMapOnRandomAdditionsAndFillsTheSharedKeys) {
  std::mt19937_64 rng(7);
  TSummaryArray a, b;
  std::map<std::int64_t, std::pair<double, std::int32_t>> reference;
  std::uniform_int_distribution<std::int64_t> key(-5000, 5000);
  for (int i = 0; i < 60000; ++i) {
    // Runs of the same key exercise the shortcut to the last node.
    std::int64_t k = i % 3 ? key(rng) : (i % 5 ? -7 : std::numeric_limits<std::int64_t>::min());
    double v = static_cast<double>(rng() % 1000) / 8;
    a.Add(k, v, 1);
    b.Add(k, -v, 2);
    reference[k].first += v;
    reference[k].second += 1;
  }
  auto keys = std::make_shared<TKeyList>();
  auto ta = a.ToTotals(keys);
  auto tb = b.ToTotals(keys);
  ASSERT_EQ(keys->size(), reference.size());
  std::size_t i = 0;
  for (const auto& [k, sc] : reference) {
    EXPECT_EQ((*keys)[i], k);
    EXPECT_DOUBLE_EQ(ta->Sums[i], sc.first);
    EXPECT_EQ(ta->Counts[i], sc.second);
    EXPECT_DOUBLE_EQ(tb->Sums[i], -sc.first);
    EXPECT_EQ(tb->Counts[i], 2 * sc.second);
    ++i;
  }
  EXPECT_EQ(a.Additions(-7), reference[-7].second);
  EXPECT_EQ(a.Additions(999999), 0);
}

TEST(SummaryArray, AlignsWithAFilledKeyListAndRefusesForeignKeys) {
  auto keys = std::make_shared<TKeyList>(TKeyList{1, 5, 9});
  TSummaryArray a;
  a.Add(9, 2);
  a.Add(1, 3);
  auto t = a.ToTotals(keys);
  EXPECT_EQ(t->Sums, (std::vector<double>{3, 0, 2}));
  EXPECT_EQ(t->Counts, (std::vector<std::int32_t>{1, 0, 1}));
  a.Add(4, 1);
  EXPECT_THROW(a.ToTotals(keys), EGenericError);
  EXPECT_EQ(keys->size(), 3u);

  // Coarser cells from finer ones keep their extremes; sums with counts
  // above 1 alone cannot tell them.
  TSummaryArray cells;
  cells.AddCell(3, 10, 4, -2, 7);
  cells.AddCell(3, 1, 1, 1, 1);
  cells.AddCell(3, 5, 2, 0, 9);
  auto merged = cells.ToTotals(std::make_shared<TKeyList>());
  EXPECT_EQ(merged->Mins, (std::vector<double>{-2}));
  EXPECT_EQ(merged->Maxs, (std::vector<double>{9}));
  TSummaryArray sums;
  sums.Add(3, 10, 4);
  EXPECT_TRUE(sums.ToTotals(std::make_shared<TKeyList>())->Mins.empty());

  TSummaryArray empty;
  auto none = empty.ToTotals(std::make_shared<TKeyList>());
  EXPECT_EQ(none->Size(), 0u);
}

TEST(Totals, FunctionValuesAndMissingKeys) {
  auto keys = std::make_shared<TKeyList>();
  TSummaryArray a;
  for (double v : {1, 2, 3, 4}) a.Add(10, v);
  a.Add(20, 0);
  a.Add(20, 0);
  auto t = a.ToTotals(keys);
  EXPECT_EQ(*FunctionValue(*t, 10, TFunction::stSum), 10);
  EXPECT_EQ(*FunctionValue(*t, 10, TFunction::stCount), 4);
  EXPECT_EQ(*FunctionValue(*t, 10, TFunction::stAverage), 2.5);
  EXPECT_EQ(*FunctionValue(*t, 20, TFunction::stAverage), 0);
  // Before the second pass Min and Max come from the first pass, the other
  // second-pass functions read 0.
  EXPECT_EQ(*FunctionValue(*t, 10, TFunction::stMin), 1);
  EXPECT_EQ(*FunctionValue(*t, 10, TFunction::stMax), 4);
  EXPECT_EQ(*FunctionValue(*t, 10, TFunction::stMedian), 0);
  for (int f = 0; f < kFunctionCount; ++f) {
    EXPECT_FALSE(FunctionValue(*t, 15, static_cast<TFunction>(f)).has_value()) << f;
  }
  t->TwoPass.assign(2, {});
  t->TwoPass[0].Variance = 6.25;
  t->TwoPass[0].Custom[4] = 42;
  EXPECT_EQ(*FunctionValue(*t, 10, TFunction::stStdDev), 2.5);
  EXPECT_EQ(*FunctionValue(*t, 10, TFunction::stCustom5), 42);

  TTotalLines lines;
  TTotals* stored = lines.Add(3, std::move(t));
  lines.Add(1, std::make_unique<TTotals>(keys));
  EXPECT_EQ(lines.Find(3), stored);
  EXPECT_EQ(lines.Mask(0), 1u);
  EXPECT_EQ(lines.Find(2), nullptr);
  // Clearing totals also empties the key list they share.
  stored->Clear();
  EXPECT_TRUE(keys->empty());
  lines.Clear();
  EXPECT_EQ(lines.Count(), 0u);
}

}  // namespace
}  // namespace qd
