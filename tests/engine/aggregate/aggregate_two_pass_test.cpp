// The second pass over random fact records against plain loops, medians of
// many base cells, and the correlation of two summaries.
#include "engine/aggregate/aggregate_two_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <span>

#include "engine/aggregate/aggregate_correlation.h"
#include "engine/core/errors.h"
#include "engine/cube/fact_table.h"

namespace qd {
namespace {

void ExpectClose(double got, double want, const char* what, std::int64_t key) {
  EXPECT_NEAR(got, want, 1e-9 * std::max(1.0, std::fabs(want))) << what << " at key " << key;
}

// Random facts: two dimensions (5 and 7 members), two summaries with many ties,
// zeros of both signs and negative values.
std::unique_ptr<TFactTable> RandomFacts(std::uint64_t seed, int records) {
  std::mt19937_64 rng(seed);
  auto facts = std::make_unique<TFactTable>(2, 2);
  for (int i = 0; i < records; ++i) {
    std::int32_t r = facts->Append();
    facts->SetMember(r, 0, static_cast<std::int32_t>(rng() % 5));
    facts->SetMember(r, 1, static_cast<std::int32_t>(rng() % 7));
    double tie = static_cast<double>(static_cast<int>(rng() % 9) - 3);
    facts->SetValue(r, 0, tie == 0 && rng() % 2 ? -0.0 : tie);
    facts->SetValue(r, 1, std::ldexp(static_cast<double>(rng() % 100000), -7) - 300);
  }
  return facts;
}

// Base cell (d0, d1) has key d0·8 + d1; the roll-up of d0 into parent d0/2 has
// key (10 + d0/2)·8 + d1. The mask totals dimension 1 (digit 7).
std::int64_t BaseKey(const TFactTable& f, std::int32_t r) {
  return f.Member(r, 0) * 8 + f.Member(r, 1);
}
std::int64_t RollUpKey(const TFactTable& f, std::int32_t r) {
  return (10 + f.Member(r, 0) / 2) * 8 + f.Member(r, 1);
}
std::int64_t Masked(std::int64_t key) {
  return key / 8 * 8 + 7;
}

struct TNaiveCell {
  std::vector<double> values;  // in record order
};

void CheckSecondPass(bool medians, std::uint64_t seed) {
  auto facts = RandomFacts(seed, 3000);
  const std::int32_t n = facts->RecordCount();
  for (int s = 0; s < 2; ++s) {
    // First pass of the mask and the naive cells.
    TSummaryArray first;
    std::map<std::int64_t, TNaiveCell> naive;
    for (std::int32_t r = 0; r < n; ++r) {
      for (std::int64_t key : {Masked(BaseKey(*facts, r)), Masked(RollUpKey(*facts, r))}) {
        first.Add(key, facts->Value(r, s));
        naive[key].values.push_back(facts->Value(r, s));
      }
    }
    auto totals = first.ToTotals(std::make_shared<TKeyList>());
    // Each base cell feeds its own masked cell and that of its roll-up.
    std::vector<std::int64_t> bases;
    for (std::int32_t r = 0; r < n; ++r) bases.push_back(BaseKey(*facts, r));
    std::sort(bases.begin(), bases.end());
    bases.erase(std::unique(bases.begin(), bases.end()), bases.end());
    // A source that names a cell twice still feeds it once.
    TCellTargets targets;
    for (std::int64_t key : bases) {
      std::int64_t rollUp = (10 + key / 8 / 2) * 8 + key % 8;
      const auto own = static_cast<std::int32_t>(totals->IndexOf(Masked(key)));
      std::int32_t cells[] = {own, static_cast<std::int32_t>(totals->IndexOf(Masked(rollUp))),
                              own};
      targets.AddSource(cells);
    }
    std::vector<std::int32_t> recordCells(static_cast<std::size_t>(n));
    for (std::int32_t r = 0; r < n; ++r) {
      recordCells[static_cast<std::size_t>(r)] = static_cast<std::int32_t>(
          std::lower_bound(bases.begin(), bases.end(), BaseKey(*facts, r)) - bases.begin());
    }
    TDPFactData data(*facts, s, recordCells, bases.size());
    TSecondPassOptions options;
    options.Medians = medians;
    RunSecondPass(*totals, data, targets, options);
    EXPECT_TRUE(totals->TwoPassDone);
    EXPECT_EQ(totals->TwoPassMedians, medians);
    EXPECT_TRUE(totals->TwoPassMoments);

    ASSERT_EQ(totals->Size(), naive.size());
    for (auto& [key, cell] : naive) {
      std::vector<double>& v = cell.values;
      const double count = static_cast<double>(v.size());
      double sum = 0;
      for (double x : v) sum += x;
      const double mean = sum / count;
      double ss = 0, sa = 0, s3 = 0, s4 = 0;
      for (double x : v) {
        ss += (x - mean) * (x - mean);
        sa += std::fabs(x - mean);
        s3 += std::pow(x - mean, 3);
        s4 += std::pow(x - mean, 4);
      }
      double var = v.size() > 1 ? ss / (count - 1) : 0;
      std::sort(v.begin(), v.end());
      auto get = [&](TFunction f) { return *FunctionValue(*totals, key, f); };
      EXPECT_EQ(get(TFunction::stCount), count);
      ExpectClose(get(TFunction::stSum), sum, "sum", key);
      EXPECT_EQ(get(TFunction::stMin), v.front());
      EXPECT_EQ(get(TFunction::stMax), v.back());
      // The first pass knew them already.
      const std::size_t at = static_cast<std::size_t>(totals->IndexOf(key));
      EXPECT_EQ(totals->Mins[at], v.front());
      EXPECT_EQ(totals->Maxs[at], v.back());
      ExpectClose(get(TFunction::stVariance), var, "variance", key);
      ExpectClose(get(TFunction::stStdDev), std::sqrt(var), "stddev", key);
      ExpectClose(get(TFunction::stMeanAbsDev), v.size() > 1 ? sa / count : 0, "mad", key);
      if (var > 1e-9) {
        ExpectClose(get(TFunction::stSkewness), s3 / (count * var * std::sqrt(var)), "skew", key);
        ExpectClose(get(TFunction::stKurtosis), s4 / (count * var * var) - 3, "kurt", key);
      }
      std::size_t m = v.size();
      double median = m % 2 ? v[m / 2] : (v[m / 2 - 1] + v[m / 2]) / 2;
      EXPECT_EQ(get(TFunction::stMedian), medians ? median : 0) << key;
    }
  }
}

TEST(SecondPass, MatchesPlainLoopsForEveryFunction) {
  for (std::uint64_t seed : {1u, 2u, 3u}) CheckSecondPass(true, seed);
}

TEST(SecondPass, MomentsAloneLeaveTheMediansOut) {
  CheckSecondPass(false, 4);
}

TEST(SecondPass, GroupsTheValuesByBaseCellInRecordOrder) {
  TFactTable facts(1, 1);
  const double values[] = {5, 6, 7, 8, 9, 10};
  for (double v : values) facts.SetValue(facts.Append(), 0, v);
  // Records without a cell, or with one beyond the count, feed none; the
  // last record has no cell given at all.
  const std::int32_t cells[] = {2, -1, 0, 2, 3};
  TDPFactData data(facts, 0, cells, 3);
  ASSERT_EQ(data.CellCount(), 3u);
  auto list = [&](std::size_t c) {
    auto v = data.CellValues(c);
    return std::vector<double>(v.begin(), v.end());
  };
  EXPECT_EQ(list(0), (std::vector<double>{7}));
  EXPECT_TRUE(list(1).empty());
  EXPECT_EQ(list(2), (std::vector<double>{5, 8}));
}

TEST(SecondPass, CellsFedMoreThanTheFirstPassCountedRaise) {
  auto facts = RandomFacts(9, 10);
  TSummaryArray first;
  first.Add(0, 1.0);  // one record counted, ten fed
  auto totals = first.ToTotals(std::make_shared<TKeyList>());
  const std::vector<std::int32_t> recordCells(10, 0);
  TDPFactData data(*facts, 0, recordCells, 1);
  TCellTargets targets;
  std::int32_t cell[] = {0};
  targets.AddSource(cell);
  EXPECT_THROW(RunSecondPass(*totals, data, targets, {}), EGenericError);
  EXPECT_FALSE(totals->TwoPassDone);
  EXPECT_TRUE(totals->TwoPass.empty());
}

// Mostly repeated values and mostly distinct values, zeros of both signs and
// infinities, split into base cells of random sizes.
class CellMedian : public ::testing::TestWithParam<bool> {};

TEST_P(CellMedian, OfManyBaseCellsEqualsTheMiddleOfASortedCopy) {
  const bool fewDistinct = GetParam();
  std::mt19937_64 rng(11);
  auto draw = [&]() -> double {
    switch (fewDistinct ? rng() % 4 : (rng() % 10 < 7 ? 4 : rng() % 6)) {
      case 0:
        return 0.0;
      case 1:
        return -0.0;
      case 2:
        return static_cast<double>(rng() % 50) - 25;
      case 3:
        return rng() % 2 ? 1e300 : -1e-300;
      case 4:
        return std::ldexp(static_cast<double>(rng()), -60) * (rng() % 2 ? 1 : -1);
      default:
        return std::numeric_limits<double>::infinity() * (rng() % 2 ? 1 : -1);
    }
  };
  TSecondPassOptions options;
  TSecondPassCell cell(options);
  // Cells of up to 9 and 3000 values, then large ones whose median is
  // selected from the middle of a histogram.
  for (int round = 0; round < 212; ++round) {
    std::vector<double> values(1 + rng() % (round < 100 ? 9 : round < 200 ? 3000 : 60000));
    for (double& v : values) v = draw();
    double sum = 0;
    for (double v : values) sum += v;
    cell.Start(sum, static_cast<std::int32_t>(values.size()));
    const std::span<const double> all(values);
    for (std::size_t at = 0; at < values.size();) {
      const std::size_t len = std::min(values.size() - at, 1 + rng() % 40);
      cell.AddRun(all.subspan(at, len));
      at += len;
    }
    TTwoPassRecord r;
    cell.Finish(r);
    std::sort(values.begin(), values.end());
    const std::size_t m = values.size();
    const double median = m % 2 ? values[m / 2] : (values[m / 2 - 1] + values[m / 2]) / 2;
    if (std::isnan(median)) {
      EXPECT_TRUE(std::isnan(r.Median));
    } else {
      ASSERT_EQ(r.Median, median) << "round " << round;
    }
    EXPECT_EQ(r.Minimum, values.front());
    EXPECT_EQ(r.Maximum, values.back());
  }
}

INSTANTIATE_TEST_SUITE_P(Distributions, CellMedian, ::testing::Bool());

TEST(Correlation, MatchesPearsonPerCellAndSkipsDegenerateCells) {
  std::mt19937_64 rng(5);
  TCorrelationInput in;
  const int cells = 4;
  std::vector<double> sumX(cells, 0), sumY(cells, 0);
  std::vector<std::vector<std::pair<double, double>>> naive(cells);
  for (int i = 0; i < 400; ++i) {
    int c = static_cast<int>(rng() % 2);  // cells 0 and 1 get many points
    double x = static_cast<double>(rng() % 1000) / 10;
    double y = c == 0 ? 3 * x + static_cast<double>(rng() % 100) : static_cast<double>(rng() % 77);
    in.Cell.push_back(c);
    in.X.push_back(x);
    in.Y.push_back(y);
    sumX[c] += x;
    sumY[c] += y;
    naive[c].emplace_back(x, y);
  }
  // Cell 2 has one point, cell 3 a constant x.
  for (auto [c, x, y] : {std::tuple{2, 1.0, 2.0}, {3, 5.0, 1.0}, {3, 5.0, 9.0}, {-1, 1.0, 1.0}}) {
    in.Cell.push_back(c);
    in.X.push_back(x);
    in.Y.push_back(y);
    if (c >= 0) {
      sumX[c] += x;
      sumY[c] += y;
    }
  }
  std::vector<double> r = CorrelationCoefficients(in, sumX, sumY);
  ASSERT_EQ(r.size(), 4u);
  for (int c = 0; c < 2; ++c) {
    double mx = 0, my = 0;
    for (auto [x, y] : naive[c]) mx += x, my += y;
    mx /= naive[c].size();
    my /= naive[c].size();
    double sxy = 0, sxx = 0, syy = 0;
    for (auto [x, y] : naive[c]) {
      sxy += (x - mx) * (y - my);
      sxx += (x - mx) * (x - mx);
      syy += (y - my) * (y - my);
    }
    EXPECT_NEAR(r[c], sxy / std::sqrt(sxx * syy), 1e-9);
  }
  EXPECT_GT(r[0], 0.9);
  EXPECT_EQ(r[2], 0);
  EXPECT_EQ(r[3], 0);

  TSummaryHelpers helpers;
  TSummaryHelper* h = helpers.Add(TSummaryHelper::kCorrelation, {1, 0});
  EXPECT_EQ(helpers.Add(TSummaryHelper::kCorrelation, {1, 0}), h);
  EXPECT_NE(helpers.Add(TSummaryHelper::kCorrelation, {0, 1}), h);
  EXPECT_EQ(helpers.Find(1, {1, 0}), nullptr);
  h->SetResults(6, r);
  EXPECT_EQ(*h->Results(6), r);
  EXPECT_EQ(h->Results(5), nullptr);
  helpers.Clear();
  EXPECT_EQ(helpers.Count(), 0u);
}

}  // namespace
}  // namespace qd
