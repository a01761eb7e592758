// Every aggregate function at every mask of random cubes with hierarchies and
// hidden members, checked against plain loops over the fact records.
#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <random>

#include <gtest/gtest.h>

#include "engine/aggregate/aggregate_scan.h"
#include "engine/core/worker_threads.h"
#include "grid_test_cube.h"

namespace qd::test {
namespace {

struct TReference {
  int Count = 0;
  double Values[kFunctionCount] = {};
};

// Order-independent custom functions: sum of squares and values above 5.
void CalcCustom(void*, TFunction f, const std::vector<double>& values, bool&, double& value) {
  value = 0;
  for (double v : values) value += f == TFunction::stCustom1 ? v * v : (v > 5 ? 1 : 0);
}

TReference Reference(std::vector<double> v) {
  TReference r;
  r.Count = static_cast<int>(v.size());
  if (v.empty()) return r;
  const double n = static_cast<double>(v.size());
  double sum = 0, squares = 0, above = 0;
  for (double x : v) {
    sum += x;
    squares += x * x;
    above += x > 5 ? 1 : 0;
  }
  const double mean = sum / n;
  double s1 = 0, s2 = 0, s3 = 0, s4 = 0, sa = 0;
  for (double x : v) {
    const double d = x - mean;
    s1 += d;
    s2 += d * d;
    s3 += d * d * d;
    s4 += d * d * d * d;
    sa += std::fabs(d);
  }
  std::sort(v.begin(), v.end());
  double* out = r.Values;
  out[0] = sum;
  out[1] = n;
  out[2] = mean;
  out[3] = v.front();
  out[4] = v.back();
  if (v.size() >= 2) {
    const double var = std::max(0.0, (s2 - s1 * s1 / n) / (n - 1));
    out[5] = var;
    out[6] = std::sqrt(var);
    out[7] = sa / n;
    if (var != 0) {
      out[8] = s3 / (n * var * std::sqrt(var));
      out[9] = s4 / (n * var * var) - 3;
    }
  }
  const std::size_t h = v.size() / 2;
  out[10] = v.size() % 2 ? v[h] : (v[h - 1] + v[h]) / 2;
  out[11] = squares;
  out[12] = above;
  return r;
}

struct TRandomCube {
  explicit TRandomCube(unsigned seed) : rng(seed) {
    auto pick = [this](int lo, int hi) { return Pick(lo, hi); };
    const int dims = Pick(2, 4);
    AddRandomDims(cube, pick, dims, 6, 1);
    cube.AddSummary("V");
    cube.AddSummary("W");
    // Halves keep the sums exact; repeated values exercise the median.
    AddRandomFacts(cube, pick, Pick(0, 60), [&] {
      return std::vector<double>{Pick(1, 18) / 2.0, static_cast<double>(Pick(-3, 3))};
    });
    cube.Activate();
    grid.SetCube(&cube);
    grid.FunctionDefs().EnsureStandard();
    grid.FunctionDefs().Add();
    grid.FunctionDefs().Add();
    grid.OnCalcAggregateFunction = CalcCustom;
    // Hide a leaf member here and there, on page and active dimensions alike.
    for (int d = 0; d < grid.DimensionStateCount(); ++d) {
      TDimensionState& s = grid.DimensionState(d);
      for (int node = 0; node < s.NodeCount(); ++node)
        if (!s.HasChildren(node) && Pick(0, 5) == 0) s.Node(node).Visible = false;
      s.UpdateFilterActive();
    }
    grid.Aggregation().DropActive();
    grid.BeginUpdate();
    grid.EndUpdate(ckAxes);
  }
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

  // Values of summary `sum` that the cell at `key` aggregates, in record order.
  std::vector<double> NaiveValues(const TMemberKey& key, int sum) {
    std::vector<double> out;
    const TFactTable& facts = *cube.Facts();
    for (int r = 0; r < facts.RecordCount(); ++r) {
      if (NaiveRecordInCell(grid, facts, r, key)) out.push_back(facts.Value(r, sum));
    }
    return out;
  }

  // Every member list of the active positions, Total included, each visible.
  std::vector<TMemberKey> AllKeys() const {
    std::vector<TMemberKey> out;
    const auto& active = grid.Aggregation().ActiveDims();
    TMemberKey key(active.size(), -1);
    std::function<void(std::size_t)> walk = [&](std::size_t p) {
      if (p == active.size()) {
        out.push_back(key);
        return;
      }
      const TDimensionState& s = grid.DimensionState(active[p]);
      for (int node = -1; node < s.NodeCount(); ++node) {
        if (node >= 0 && !s.IsNodeVisible(node)) continue;
        key[p] = node;
        walk(p + 1);
      }
    };
    walk(0);
    return out;
  }

  std::mt19937 rng;
  TTestCube cube;
  TGridInfo grid;
};

void ExpectCell(TRandomCube& c, TSummaryState& state, const TMemberKey& key, TFunction f) {
  const TReference ref = Reference(c.NaiveValues(key, state.Index()));
  const auto value = c.grid.Aggregation().FunctionValue(state, key, f);
  const auto cell = c.grid.Aggregation().Lookup(state, key);
  const int fi = static_cast<int>(f);
  ASSERT_EQ(value.has_value() && cell && cell->Count > 0, ref.Count > 0)
      << "function " << fi << " mask " << TModelAggregation::KeyMask(key);
  if (!value || ref.Count == 0) return;
  const double expected = fi < 13 ? ref.Values[fi] : 0.0;
  EXPECT_NEAR(*value, expected, 1e-9 * std::max(1.0, std::fabs(expected)))
      << "function " << fi << " mask " << TModelAggregation::KeyMask(key) << " summary "
      << state.Index() << " count " << ref.Count;
}

// Scans these small tables in two record ranges, on one thread or two, and
// sets the defaults back at the end.
struct TSplitScan {
  explicit TSplitScan(int threads) {
    SetScanRangeRecords(8);
    SetWorkerThreads(threads);
  }
  ~TSplitScan() {
    SetScanRangeRecords(0);
    SetWorkerThreads(0);
  }
};

TEST(GridTwoPass, EveryFunctionAtEveryMaskMatchesPlainLoops) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    // Seeds alternate between one scan, and two ranges on one thread or two.
    std::optional<TSplitScan> split;
    if (seed % 3) split.emplace(static_cast<int>(seed % 3));
    TRandomCube c(seed);
    if (!c.grid.IsActive()) continue;
    const auto keys = c.AllKeys();
    // Ask in a random function order, so that a median sometimes follows a
    // pass already run in record order and must be computed again.
    std::vector<int> order(kFunctionCount);
    for (int f = 0; f < kFunctionCount; ++f) order[static_cast<std::size_t>(f)] = f;
    std::shuffle(order.begin(), order.end(), c.rng);
    TModelAggregation& agg = c.grid.Aggregation();
    for (int s = 0; s < agg.SummaryCount(); ++s)
      for (int f : order)
        for (const TMemberKey& key : keys)
          ExpectCell(c, agg.Summary(s), key, static_cast<TFunction>(f));
    if (::testing::Test::HasFailure()) break;
  }
}

// Every function at every cell has the same bits on one thread and two.
TEST(GridTwoPass, OneThreadAndTwoGiveTheSameBits) {
  for (unsigned seed = 41; seed <= 52; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::vector<std::vector<double>> values(2);
    for (int threads : {1, 2}) {
      TSplitScan split(threads);
      TRandomCube c(seed);
      if (!c.grid.IsActive()) break;
      TModelAggregation& agg = c.grid.Aggregation();
      for (int s = 0; s < agg.SummaryCount(); ++s)
        for (int f = 0; f < kFunctionCount; ++f)
          for (const TMemberKey& key : c.AllKeys()) {
            const auto v = agg.FunctionValue(agg.Summary(s), key, static_cast<TFunction>(f));
            values[static_cast<std::size_t>(threads - 1)].push_back(v ? *v : -1e300);
          }
    }
    ASSERT_EQ(values[0].size(), values[1].size());
    for (std::size_t i = 0; i < values[0].size(); ++i) {
      if (std::isnan(values[0][i]) && std::isnan(values[1][i])) continue;
      ASSERT_EQ(values[0][i], values[1][i]) << i;
    }
  }
}

// Only the shown summaries are scanned with the layout; a hidden one is
// scanned when first read and then gives what the facts hold.
TEST(GridTwoPass, AHiddenSummaryIsScannedWhenFirstRead) {
  for (unsigned seed = 60; seed <= 70; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TRandomCube c(seed);
    if (!c.grid.IsActive()) continue;
    c.grid.SummarySettings().Items(0).SetVisible(true);
    c.grid.SummarySettings().Items(1).SetVisible(false);
    c.grid.Aggregation().DropActive();
    c.grid.BeginUpdate();
    c.grid.EndUpdate(ckAxes);
    TModelAggregation& agg = c.grid.Aggregation();
    EXPECT_TRUE(agg.Summary(0).Ready());
    EXPECT_FALSE(agg.Summary(1).Ready());
    for (const TMemberKey& key : c.AllKeys())
      for (TFunction f : {TFunction::stSum, TFunction::stMin, TFunction::stMedian})
        ExpectCell(c, agg.Summary(1), key, f);
    EXPECT_TRUE(agg.Summary(1).Ready());
  }
}

// The pass runs for every mask of a summary in one walk; each cell must still
// get exactly what a pivot that only ever read that cell gets, first without
// medians, then once medians are shown.
TEST(GridTwoPass, AWalkSharedByTheMasksGivesEachCellItsOwnValues) {
  const TFunction functions[] = {TFunction::stVariance, TFunction::stSkewness,
                                 TFunction::stKurtosis, TFunction::stMeanAbsDev};
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TRandomCube c(seed);
    if (!c.grid.IsActive()) continue;
    TModelAggregation& agg = c.grid.Aggregation();
    auto keys = c.AllKeys();
    std::shuffle(keys.begin(), keys.end(), c.rng);
    keys.resize(std::min<std::size_t>(keys.size(), 24));
    for (int s = 0; s < agg.SummaryCount(); ++s) {
      TSummaryState& state = agg.Summary(s);
      for (const TMemberKey& key : keys) agg.Lookup(state, key);
      // One cell's request runs the pass for the cells of every other mask.
      for (const TMemberKey& key : keys)
        if (agg.FunctionValue(state, key, TFunction::stVariance)) break;
      for (const TMemberKey& key : keys) {
        const auto cell = agg.Lookup(state, key);
        EXPECT_TRUE(!cell || cell->TwoPass) << "mask " << TModelAggregation::KeyMask(key);
      }
    }
    for (bool valueOrder : {false, true}) {
      for (const TMemberKey& key : keys) {
        TRandomCube alone(seed);
        for (int s = 0; s < agg.SummaryCount(); ++s) {
          for (TFunction f : functions) {
            const TSecondPassNeeds needs{valueOrder, false};
            const auto got = agg.FunctionValue(agg.Summary(s), key, f, needs);
            const auto own = alone.grid.Aggregation().FunctionValue(
                alone.grid.Aggregation().Summary(s), key, f, needs);
            ASSERT_EQ(got.has_value(), own.has_value());
            if (got) {
              EXPECT_EQ(*got, *own)
                  << "function " << static_cast<int>(f) << " mask "
                  << TModelAggregation::KeyMask(key) << " value order " << valueOrder;
            }
          }
        }
      }
    }
    if (::testing::Test::HasFailure()) break;
  }
}

TEST(GridTwoPass, ParentFactsStayOutAndTheOwnerComputesCustomFunctions) {
  TTestCube cube;
  cube.AddDim("Region", {"All", "North", "South"}, TDimGroup::dgRow, {-1, 0, 0});
  cube.AddSummary("V");
  for (auto [member, value] : {std::pair{1, 1.0}, {2, 2.0}, {1, 3.0}, {2, 4.0}, {0, 100.0}})
    cube.AddFact({member}, {value});
  cube.Activate();
  TRecorder owner;
  TGridInfo grid(&owner);
  grid.SetCube(&cube);
  grid.FunctionDefs().Add();
  std::vector<void*> senders;
  grid.OnCalcAggregateFunction = [&](void* sender, TFunction, const auto& values,
                                                   bool&, double& value) {
    senders.push_back(sender);
    value = static_cast<double>(values.size());
  };
  TModelAggregation& agg = grid.Aggregation();
  TSummaryState& state = agg.Summary(0);
  auto at = [&](int node, TFunction f) { return agg.FunctionValue(state, {node}, f).value(); };
  // The total and the parent's roll-up see the four leaf facts, not the
  // fact booked on the parent itself.
  for (int node : {-1, 0}) {
    EXPECT_DOUBLE_EQ(at(node, TFunction::stVariance), 5.0 / 3);
    EXPECT_DOUBLE_EQ(at(node, TFunction::stMedian), 2.5);
    EXPECT_DOUBLE_EQ(at(node, TFunction::stMeanAbsDev), 1);
    EXPECT_NEAR(at(node, TFunction::stSkewness), 0, 1e-12);
    EXPECT_NEAR(at(node, TFunction::stKurtosis), -2.0775, 1e-12);
    EXPECT_DOUBLE_EQ(at(node, TFunction::stCustom1), 4);
    EXPECT_DOUBLE_EQ(at(node, TFunction::stMax), 4);
  }
  EXPECT_DOUBLE_EQ(at(1, TFunction::stMedian), 2);
  EXPECT_DOUBLE_EQ(at(2, TFunction::stStdDev), std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(at(1, TFunction::stCustom2), 0);  // only one custom function defined
  ASSERT_FALSE(senders.empty());
  for (void* s : senders) EXPECT_EQ(s, static_cast<void*>(&owner));
}

}  // namespace
}  // namespace qd::test
