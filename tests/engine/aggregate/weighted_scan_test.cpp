// Weighted fact records through the fact scan and the second pass: facts
// grouped by every dimension (as the database groups them) must give the same
// cells, counts, sums, extremes and moments as the facts themselves, also when
// a cell is made of several groups and the scan runs in two halves.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <tuple>

#include "engine/aggregate/aggregate_scan.h"
#include "engine/aggregate/aggregate_two_pass.h"
#include "engine/core/errors.h"

namespace qd {
namespace {

constexpr int kMembers[3] = {5, 7, 4};

std::unique_ptr<TFactTable> RandomFacts(std::uint64_t seed, int records) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> amount(4000, 2500);
  auto facts = std::make_unique<TFactTable>(3, 1);
  for (int i = 0; i < records; ++i) {
    const std::int32_t r = facts->Append();
    for (int d = 0; d < 3; ++d)
      facts->SetMember(r, d, static_cast<std::int32_t>(rng() % kMembers[d]));
    // Cents, skewed by a square.
    const double x = amount(rng);
    facts->SetValue(r, 0, std::round((x + x * x * 1e-4) * 100) / 100);
  }
  return facts;
}

// One weighted record per combination of all three members, in key order.
std::unique_ptr<TFactTable> Grouped(const TFactTable& facts) {
  std::map<std::tuple<int, int, int>, std::vector<double>> groups;
  for (std::int32_t r = 0; r < facts.RecordCount(); ++r)
    groups[{facts.Member(r, 0), facts.Member(r, 1), facts.Member(r, 2)}].push_back(
        facts.Value(r, 0));
  auto out = std::make_unique<TFactTable>(3, 1);
  out->SetWeights(std::make_unique<TFactWeights>(1));
  for (const auto& [members, values] : groups) {
    const std::int32_t r = out->Append();
    out->SetMember(r, 0, std::get<0>(members));
    out->SetMember(r, 1, std::get<1>(members));
    out->SetMember(r, 2, std::get<2>(members));
    double s1 = 0, s2 = 0, s3 = 0, s4 = 0, mn = values[0], mx = values[0];
    for (double x : values) {
      s1 += x;
      s2 += x * x;
      s3 += x * x * x;
      s4 += x * x * x * x;
      mn = std::min(mn, x);
      mx = std::max(mx, x);
    }
    out->SetValue(r, 0, s1);
    out->Weights()->Resize(r + 1);
    double* row = out->Weights()->Row(r);
    row[0] = static_cast<double>(values.size());
    const double parts[] = {s2, s3, s4, mn, mx};
    std::copy(std::begin(parts), std::end(parts), row + 1);
  }
  return out;
}

// Cells of the first two dimensions; the third is rolled up into them.
TScanRequest Request(bool keepCells) {
  TScanRequest request;
  std::uint64_t multiplier = 1;
  for (int d = 0; d < 2; ++d) {
    TScanDim dim;
    dim.DimIndex = d;
    dim.Multiplier = multiplier;
    for (int m = 0; m < kMembers[d]; ++m) dim.MemberDigit.push_back(m);
    request.Dims.push_back(dim);
    multiplier *= static_cast<std::uint64_t>(kMembers[d]);
  }
  request.Summaries = {0};
  request.KeepRecordCells = keepCells;
  return request;
}

void SecondPass(const TFactTable& facts, TBaseScan& scan) {
  TTotals& totals = *scan.Totals[0];
  TCellTargets targets;
  for (std::size_t c = 0; c < totals.Size(); ++c) {
    const std::int32_t self = static_cast<std::int32_t>(c);
    targets.AddSource({&self, 1});
  }
  TDPFactData data(facts, 0, scan.RecordCell, totals.Size());
  TSecondPassOptions options;
  options.Medians = false;
  RunSecondPass(totals, data, targets, options);
}

void ExpectClose(double got, double want, const char* what, std::size_t cell) {
  EXPECT_LE(std::fabs(got - want), 1e-9 * std::max(1.0, std::fabs(want)))
      << what << " of cell " << cell << ": " << got << " vs " << want;
}

void CheckScan(int records) {
  const auto facts = RandomFacts(static_cast<std::uint64_t>(records), records);
  const auto grouped = Grouped(*facts);
  ASSERT_LT(grouped->RecordCount(), 5 * 7 * 4 + 1);
  TBaseScan want = ScanFacts(*facts, Request(true));
  TBaseScan got = ScanFacts(*grouped, Request(true));
  ASSERT_EQ(*got.Keys, *want.Keys);
  const TTotals &w = *want.Totals[0], &g = *got.Totals[0];
  for (std::size_t c = 0; c < w.Size(); ++c) {
    EXPECT_EQ(g.Counts[c], w.Counts[c]) << c;
    ExpectClose(g.Sums[c], w.Sums[c], "sum", c);
    EXPECT_EQ(g.Mins[c], w.Mins[c]) << c;
    EXPECT_EQ(g.Maxs[c], w.Maxs[c]) << c;
  }
  SecondPass(*facts, want);
  SecondPass(*grouped, got);
  for (std::size_t c = 0; c < w.Size(); ++c) {
    const TTwoPassRecord &a = w.TwoPass[c], &b = g.TwoPass[c];
    EXPECT_EQ(b.Minimum, a.Minimum) << c;
    EXPECT_EQ(b.Maximum, a.Maximum) << c;
    ExpectClose(b.Variance, a.Variance, "variance", c);
    ExpectClose(b.Skewness, a.Skewness, "skewness", c);
    ExpectClose(b.Kurtosis, a.Kurtosis, "kurtosis", c);
  }
}

TEST(WeightedScan, GroupedFactsGiveTheCellsOfEveryFact) {
  CheckScan(5000);
}

TEST(WeightedScan, TwoHalvesGiveWhatOneScanGives) {
  SetScanRangeRecords(16);
  CheckScan(20000);
  SetScanRangeRecords(0);
}

TEST(WeightedScan, WeightsThatDoNotFitTheRecordsAreRefused) {
  const auto grouped = Grouped(*RandomFacts(1, 200));
  grouped->Weights()->Resize(grouped->RecordCount() - 1);
  EXPECT_THROW(ScanFacts(*grouped, Request(false)), Exception);
}

}  // namespace
}  // namespace qd
