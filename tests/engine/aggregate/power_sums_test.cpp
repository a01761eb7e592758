// Weighted records against the second pass over every fact: cells made of
// groups (count, raw power sums, minimum, maximum) must give the moments that
// feeding each value gives.
#include "engine/aggregate/power_sums.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "engine/aggregate/aggregate_two_pass.h"

namespace qd {
namespace {

// The raw sums a database returns for one group, added in the group's order.
TPowerSums GroupOf(const std::vector<double>& values) {
  double s1 = 0, s2 = 0, s3 = 0, s4 = 0;
  for (double x : values) {
    s1 += x;
    s2 += x * x;
    s3 += x * x * x;
    s4 += x * x * x * x;
  }
  return TPowerSums::FromRaw(static_cast<double>(values.size()), s1, s2, s3, s4,
                             *std::min_element(values.begin(), values.end()),
                             *std::max_element(values.begin(), values.end()));
}

TTwoPassRecord SecondPass(const std::vector<double>& all) {
  double sum = 0;
  for (double x : all) sum += x;
  TSecondPassOptions options;
  options.Medians = false;
  TSecondPassCell cell(options);
  cell.Start(sum, static_cast<std::int32_t>(all.size()));
  cell.AddRun(all);
  TTwoPassRecord r;
  cell.Finish(r);
  return r;
}

// The moments by their definition, in long double.
TTwoPassRecord Exact(const std::vector<double>& all) {
  long double sum = 0, m2 = 0, m3 = 0, m4 = 0;
  for (double x : all) sum += x;
  const long double n = static_cast<long double>(all.size()), mean = sum / n;
  for (double x : all) {
    const long double d = x - mean;
    m2 += d * d;
    m3 += d * d * d;
    m4 += d * d * d * d;
  }
  TTwoPassRecord r;
  r.Minimum = *std::min_element(all.begin(), all.end());
  r.Maximum = *std::max_element(all.begin(), all.end());
  const long double variance = m2 / (n - 1);
  if (all.size() < 2 || variance == 0) return r;
  r.Variance = static_cast<double>(variance);
  r.Skewness = static_cast<double>(m3 / (n * variance * std::sqrt(variance)));
  r.Kurtosis = static_cast<double>(m4 / (n * variance * variance) - 3);
  return r;
}

void ExpectClose(double got, double want, const char* what) {
  EXPECT_LE(std::fabs(got - want), 1e-9 * std::max(1.0, std::fabs(want)))
      << what << ": " << got << " vs " << want;
}

// Cells of random groups, the groups merged in a shuffled order.
void CheckCells(double mean, double spread, int maxGroupSize, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> value(mean, spread);
  std::uniform_int_distribution<int> size(1, maxGroupSize);
  for (int cell = 0; cell < 40; ++cell) {
    std::vector<std::vector<double>> groups(static_cast<std::size_t>(1 + cell % 9));
    std::vector<double> all;
    for (auto& g : groups) {
      g.resize(static_cast<std::size_t>(size(rng)));
      // Cents, as money is stored, skewed by a square.
      for (double& x : g) {
        const double d = value(rng) - mean;
        x = std::round((mean + d + 0.001 * d * d) * 100) / 100;
      }
      all.insert(all.end(), g.begin(), g.end());
    }
    std::shuffle(groups.begin(), groups.end(), rng);
    TPowerSums p;
    for (const auto& g : groups) p.Merge(GroupOf(g));
    TTwoPassRecord got, want = Exact(all);
    p.Finish(got);
    // What a cube of every fact shows, where that is itself this exact.
    if (std::fabs(mean) < 1e5) ExpectClose(got.Kurtosis, SecondPass(all).Kurtosis, "second pass");
    EXPECT_EQ(p.N, static_cast<double>(all.size()));
    EXPECT_EQ(got.Minimum, want.Minimum);
    EXPECT_EQ(got.Maximum, want.Maximum);
    ExpectClose(got.Variance, want.Variance, "variance");
    ExpectClose(got.Skewness, want.Skewness, "skewness");
    ExpectClose(got.Kurtosis, want.Kurtosis, "kurtosis");
  }
}

TEST(PowerSums, GroupsOfFactsGiveTheSecondPassMoments) {
  CheckCells(5000, 4000, 300, 1);  // amounts whose spread is like their size
  CheckCells(-20, 300, 50, 2);
}

TEST(PowerSums, MergingSingleFactsStaysExactFarFromZero) {
  // Single facts convert without loss; raw sums over the whole cell would
  // lose every digit of a variance of 1 around a mean of a million.
  CheckCells(1e6, 1, 1, 3);
}

TEST(PowerSums, EmptyAndSingleCells) {
  TTwoPassRecord r;
  TPowerSums().Finish(r);
  EXPECT_EQ(r.Variance, 0);
  TPowerSums one = GroupOf({7.5});
  one.Merge(TPowerSums());
  one.Finish(r);
  EXPECT_EQ(r.Minimum, 7.5);
  EXPECT_EQ(r.Maximum, 7.5);
  EXPECT_EQ(r.Variance, 0);
  EXPECT_EQ(one.Sum(), 7.5);
  // Equal values: no spread, and no skewness or kurtosis from rounding.
  TPowerSums same = GroupOf({3.1, 3.1, 3.1});
  same.Merge(GroupOf({3.1, 3.1}));
  TTwoPassRecord s;
  same.Finish(s);
  EXPECT_NEAR(s.Variance, 0, 1e-12);
}

}  // namespace
}  // namespace qd
