// Fact counts, low-count marks and explained changes of random pivots,
// checked against the fact records directly.
#include "model/cell_evidence.h"
#include "model/layout_estimate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "grid_test_cube.h"

namespace qd::test {
namespace {

// Sum, Count, Variance, Skewness, Kurtosis, Median.
const std::vector<int> kFunctions = {0, 1, 5, 8, 9, 10};
const std::vector<int> kSubFunctions = {sfValue, sfCompareWithPrevByRow, sfCompareWithPrevByCol};

struct TRandomPivot {
  //! `weighted`: each record stands for one to four equal facts, as a
  //! record of a cube grouped in the database does.
  explicit TRandomPivot(unsigned seed, bool weighted = false) : rng(seed) {
    auto pick = [this](int lo, int hi) { return Pick(lo, hi); };
    AddRandomDims(cube, pick, Pick(2, 4), 5, 2);
    cube.AddSummary("V");
    AddRandomFacts(cube, pick, Pick(0, 40),
                   [&] { return std::vector<double>{Pick(-20, 40) / 4.0}; });
    cube.Activate();
    if (weighted) WeighAsEqualFacts(*cube.Facts(), [this](std::int32_t) { return Pick(1, 4); });
    grid.SetCube(&cube);
    for (int d = 0; d < grid.DimensionStateCount(); ++d) {
      TDimensionState& s = grid.DimensionState(d);
      for (int node = 0; node < s.NodeCount(); ++node)
        if (!s.HasChildren(node) && Pick(0, 6) == 0) s.Node(node).Visible = false;
      s.UpdateFilterActive();
    }
    TSummaryInfo& info = grid.SummarySettings().Items(0);
    for (int f : kFunctions)
      for (int sf : kSubFunctions) info.Function(f).SubFunction(sf).Visible = true;
    grid.Aggregation().DropActive();
    grid.BeginUpdate();
    grid.EndUpdate(ckAxes);
    for (int axis = 0; axis < 2; ++axis)
      for (int d : grid.AxisDims(static_cast<TDimGroup>(axis)))
        if (Pick(0, 1)) grid.ExpandAll(grid.DimensionState(d));
  }
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

  std::int64_t NaiveCount(int row, int column) {
    const TFactTable& facts = *cube.Facts();
    const TMemberKey key = grid.GetCellKey(row, column);
    std::int64_t n = 0;
    for (int r = 0; r < facts.RecordCount(); ++r) n += NaiveRecordInCell(grid, facts, r, key);
    return n;
  }

  std::mt19937 rng;
  TTestCube cube;
  TGridInfo grid;
};

TEST(CellEvidence, CountsAndLowCountMarksFollowTheFacts) {
  for (unsigned seed = 1; seed <= 25; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TRandomPivot p(seed);
    if (!p.grid.IsActive()) continue;
    for (int row = 0; row < p.grid.RowLineCount(); ++row)
      for (int column = 0; column < static_cast<int>(p.grid.DataColumns().size()); ++column) {
        const std::int64_t n = p.NaiveCount(row, column);
        ASSERT_EQ(CellFactCount(p.grid, row, column), n) << row << ' ' << column;
        int s = 0, f = 0, sf = 0;
        ASSERT_TRUE(p.grid.GetColumnSubLevel(column, s, f, sf));
        const int needed = f == 8 ? 3 : f == 9 ? 4 : f >= 5 ? 2 : 1;
        const bool low = sf == sfValue && n > 0 && n < needed;
        EXPECT_EQ(CellLowCount(p.grid, row, column).has_value(), low) << row << ' ' << column;
      }
  }
}

// Also on weighted records, where a record's count is the facts it stands for.
TEST(CellEvidence, ExplainedChangesAddUpToTheComparedCell) {
  int explained = 0;
  for (unsigned seed = 1; seed <= 50; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TRandomPivot p(seed, seed > 25);
    if (!p.grid.IsActive()) continue;
    for (int row = 0; row < p.grid.RowLineCount(); ++row)
      for (int column = 0; column < static_cast<int>(p.grid.DataColumns().size()); ++column) {
        int s = 0, f = 0, sf = 0;
        p.grid.GetColumnSubLevel(column, s, f, sf);
        const int dim = p.Pick(0, p.grid.DimensionStateCount() - 1);
        const auto e = ExplainChange(p.grid, row, column, dim);
        const bool compared = sf != sfValue && f <= 1;
        if (!compared) {
          EXPECT_FALSE(e.has_value());
          continue;
        }
        const TCellValue v = p.grid.GetCellValue(row, column);
        if (!v.HasValue) continue;
        ASSERT_TRUE(e.has_value()) << row << ' ' << column;
        EXPECT_NEAR(e->Delta, v.Value, 1e-9);
        double sum = 0, share = 0;
        for (const TContribution& c : e->Items) {
          sum += c.Change;
          share += c.Share;
          EXPECT_LE(std::fabs(c.Change), std::fabs(e->Items.front().Change));
        }
        EXPECT_NEAR(sum, e->Delta, 1e-9);
        if (e->Delta != 0) {
          EXPECT_NEAR(share, 1, 1e-9);
        }
        ++explained;
      }
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(explained, 50);
}

TEST(LayoutEstimate, BoundsTheCellsOfEveryLayoutFullyExpanded) {
  for (unsigned seed = 1; seed <= 25; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TRandomPivot p(seed);
    if (!p.grid.IsActive()) continue;
    for (int axis = 0; axis < 2; ++axis)
      for (int d : p.grid.AxisDims(static_cast<TDimGroup>(axis)))
        p.grid.ExpandAll(p.grid.DimensionState(d));
    const TLayoutEstimate e = EstimateLayout(p.grid);
    const std::int64_t cells =
        std::int64_t{p.grid.RowLineCount()} * static_cast<std::int64_t>(p.grid.DataColumns().size());
    EXPECT_GE(e.Cells, cells);
    EXPECT_EQ(e.Bytes, e.Cells * kBytesPerCell);
    EXPECT_FALSE(e.Exceeds(TLayoutLimits{}));
    EXPECT_TRUE(e.Exceeds({e.Cells - 1, e.Bytes}));
  }
}

}  // namespace
}  // namespace qd::test
