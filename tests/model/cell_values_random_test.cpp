// Random cubes in random layouts with hierarchies, hidden members and every
// total appearance: each data cell of several functions and all nine
// sub-functions equals a computation straight from the fact records, with the
// siblings of a line taken pairwise from the label nodes.
#include <algorithm>
#include <cmath>
#include <optional>
#include <random>

#include <gtest/gtest.h>

#include "grid_test_cube.h"

namespace qd::test {
namespace {

using TNaive = std::optional<double>;

const std::vector<int> kFunctions = {0, 1, 2, 3, 4, 10};  // Sum Count Average Min Max Median

TNaive Aggregate(std::vector<double> v, int function) {
  if (v.empty()) return std::nullopt;
  std::sort(v.begin(), v.end());
  double sum = 0;
  for (double x : v) sum += x;
  const std::size_t h = v.size() / 2;
  switch (function) {
    case 0:
      return sum;
    case 1:
      return static_cast<double>(v.size());
    case 2:
      return sum / static_cast<double>(v.size());
    case 3:
      return v.front();
    case 4:
      return v.back();
    default:
      return v.size() % 2 ? v[h] : (v[h - 1] + v[h]) / 2;
  }
}

// The member a line stands for among its siblings; nullptr for none.
const TLabelNode* Standing(const TLabelNode* line) {
  return line && line->IsTotal() ? line->Parent : line;
}

// Siblings as the user sees them: lines whose members share a parent; a Total
// line counts as the member it totals. Without lines (no dimensions on the
// axis) the single pseudo line is its own sibling.
bool Siblings(const TLabelNode* a, const TLabelNode* b, bool noAxis) {
  if (noAxis) return true;
  const TLabelNode *sa = Standing(a), *sb = Standing(b);
  return sa && sb && sa->Parent == sb->Parent;
}

struct TRandomValues {
  explicit TRandomValues(unsigned seed) : rng(seed) {
    auto pick = [this](int lo, int hi) { return Pick(lo, hi); };
    const int dims = Pick(2, 4);
    AddRandomDims(cube, pick, dims, 5, 2);
    cube.AddSummary("V");
    // Halves keep sums exact, so that ties in ranks are ties on both sides;
    // negative values make zero totals happen.
    AddRandomFacts(cube, pick, Pick(0, 50),
                   [&] { return std::vector<double>{Pick(-6, 12) / 2.0}; });
    cube.Activate();
    grid.SetCube(&cube);
    for (int d = 0; d < grid.DimensionStateCount(); ++d) {
      TDimensionState& s = grid.DimensionState(d);
      s.TotalAppearance = static_cast<TTotalAppearance>(Pick(0, 2));
      for (int node = 0; node < s.NodeCount(); ++node)
        if (!s.HasChildren(node) && Pick(0, 6) == 0) s.Node(node).Visible = false;
      s.UpdateFilterActive();
    }
    TSummaryInfo& info = grid.SummarySettings().Items(0);
    for (int f : kFunctions)
      for (int sf = 0; sf < kSubFunctionCount; ++sf)
        info.Function(f).SubFunction(sf).Visible = true;
    grid.Aggregation().DropActive();
    grid.BeginUpdate();
    grid.EndUpdate(ckAxes);
    for (int axis = 0; axis < 2; ++axis)
      for (int d : grid.AxisDims(static_cast<TDimGroup>(axis)))
        if (Pick(0, 1)) grid.ExpandAll(grid.DimensionState(d));
  }
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

  // The aggregate of the facts the model aggregates under the member list.
  TNaive Naive(const TMemberKey& key, int function) {
    std::vector<double> values;
    const TFactTable& facts = *cube.Facts();
    for (int r = 0; r < facts.RecordCount(); ++r) {
      if (NaiveRecordInCell(grid, facts, r, key)) values.push_back(facts.Value(r, 0));
    }
    return Aggregate(values, function);
  }

  const TLabelNode* Line(int axis, int i) const {
    return axis == 0                ? grid.GetRowLine(i)
           : grid.ColDims().empty() ? nullptr
                                    : grid.GetColumnLine(i * grid.DataColumnsPerLine());
  }

  // The naive value of sub-function sf of function f at (column line c, row line r).
  TNaive Expected(const std::vector<std::vector<TNaive>>& v, int c, int r, int sf,
                  const std::vector<TNaive>& rowTotals, const std::vector<TNaive>& colTotals) {
    const TNaive& own = v[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
    if (sf == 0) return own;
    if (sf == 3 || sf == 4) {
      if (!own) return std::nullopt;
      const TNaive& t =
          sf == 3 ? rowTotals[static_cast<std::size_t>(r)] : colTotals[static_cast<std::size_t>(c)];
      return !t || *t == 0 ? 0 : *own * 100 / *t;
    }
    const bool byRow = sf % 2 == 1;
    const int axis = byRow ? 1 : 0;
    const int self = byRow ? c : r;
    const int count = byRow ? grid.ColLineCount() : grid.RowLineCount();
    const bool noAxis = grid.AxisDims(static_cast<TDimGroup>(axis)).empty();
    auto at = [&](int i) -> const TNaive& {
      return byRow ? v[static_cast<std::size_t>(r)][static_cast<std::size_t>(i)]
                   : v[static_cast<std::size_t>(i)][static_cast<std::size_t>(c)];
    };
    const TLabelNode* line = Line(axis, self);
    auto sibling = [&](int i) { return Siblings(line, Line(axis, i), noAxis); };
    if (!sibling(self)) return std::nullopt;
    if (sf <= 2) {
      if (!own) return std::nullopt;
      int rank = 1;
      for (int i = 0; i < count; ++i)
        if (i != self && sibling(i) && at(i) && *at(i) > *own) ++rank;
      return rank;
    }
    if (sf <= 6) {
      int prev = self - 1;
      while (prev >= 0 && !sibling(prev)) --prev;
      if (!own || prev < 0 || !at(prev)) return std::nullopt;
      return *own - *at(prev);
    }
    TNaive sum;
    for (int i = 0; i <= self; ++i)
      if (sibling(i) && at(i)) sum = sum.value_or(0) + *at(i);
    return sum;
  }

  void Check() {
    const int rows = grid.RowLineCount(), columns = grid.ColLineCount();
    const int n = grid.DataColumnsPerLine();
    ASSERT_EQ(n, static_cast<int>(kFunctions.size()) * kSubFunctionCount);
    for (std::size_t fi = 0; fi < kFunctions.size(); ++fi) {
      const int f = kFunctions[fi];
      std::vector<std::vector<TNaive>> v(static_cast<std::size_t>(rows));
      std::vector<TNaive> rowTotals, colTotals;
      for (int r = 0; r < rows; ++r) {
        rowTotals.push_back(Naive(grid.GetNodesKey(Line(0, r), nullptr), f));
        for (int c = 0; c < columns; ++c)
          v[static_cast<std::size_t>(r)].push_back(
              Naive(grid.GetNodesKey(Line(0, r), Line(1, c)), f));
      }
      for (int c = 0; c < columns; ++c)
        colTotals.push_back(Naive(grid.GetNodesKey(nullptr, Line(1, c)), f));
      for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
          for (int sf = 0; sf < kSubFunctionCount; ++sf) {
            const int column = c * n + static_cast<int>(fi) * kSubFunctionCount + sf;
            const TNaive expected = Expected(v, c, r, sf, rowTotals, colTotals);
            const TCellValue got = grid.GetCellValue(r, column);
            ASSERT_EQ(got.HasValue, expected.has_value())
                << "row " << r << " column line " << c << " function " << f << " sub " << sf;
            if (expected) {
              ASSERT_NEAR(got.Value, *expected, 1e-9 * std::max(1.0, std::fabs(*expected)))
                  << "row " << r << " column line " << c << " function " << f << " sub " << sf;
            }
          }
    }
  }

  std::mt19937 rng;
  TTestCube cube;
  TGridInfo grid;
};

TEST(CellValuesRandom, EveryFunctionAndSubFunctionMatchesTheFacts) {
  for (unsigned seed = 1; seed <= 30; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TRandomValues p(seed);
    if (!p.grid.IsActive()) continue;
    p.Check();
    // Another layout: values follow the move.
    p.grid.MoveDim(p.Pick(0, p.grid.DimensionStateCount() - 1),
                   static_cast<TDimGroup>(p.Pick(0, 1)), p.Pick(0, 2));
    p.Check();
    if (::testing::Test::HasFailure()) break;
  }
}

}  // namespace
}  // namespace qd::test
