// Random cubes in random layouts, checked against a naive scan of the facts:
// every non-empty combination of leaf members is exactly one line, no line is
// empty, and every cell holds the naive sum of its facts.
#include <map>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "grid_test_cube.h"

namespace qd::test {
namespace {

struct TRandomPivot {
  explicit TRandomPivot(unsigned seed) : rng(seed) {
    auto pick = [this](int lo, int hi) { return Pick(lo, hi); };
    const int dims = Pick(2, 5);
    AddRandomDims(cube, pick, dims, 6, 2);
    cube.AddSummary("V");
    AddRandomFacts(cube, pick, Pick(0, 40),
                   [&] { return std::vector<double>{static_cast<double>(Pick(1, 9))}; });
    cube.Activate();
    grid.SetCube(&cube);
    for (int d = 0; d < dims; ++d)
      grid.SetTotalAppearance(grid.DimensionState(d), static_cast<TTotalAppearance>(Pick(0, 2)));
  }
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

  void ExpandEverything() {
    for (int axis = 0; axis < 2; ++axis)
      for (int d : grid.AxisDims(static_cast<TDimGroup>(axis)))
        grid.ExpandAll(grid.DimensionState(d));
  }

  // Facts that the model aggregates: no parent member on an active dimension.
  std::vector<int> AggregatedFacts() const {
    std::vector<int> out;
    const TFactTable& facts = *const_cast<TTestCube&>(cube).Facts();
    for (int r = 0; r < facts.RecordCount(); ++r) {
      bool leaf = true;
      for (int d : grid.Aggregation().ActiveDims()) {
        const TDimensionState& s = grid.DimensionState(d);
        leaf = leaf && !s.HasChildren(s.NodeOfMember(facts.Member(r, d)));
      }
      if (leaf) out.push_back(r);
    }
    return out;
  }

  // Naive count and sum of the facts under a member list.
  std::pair<int, double> Naive(const TMemberKey& key) const {
    const TFactTable& facts = *const_cast<TTestCube&>(cube).Facts();
    int count = 0;
    double sum = 0;
    for (int r : AggregatedFacts()) {
      bool match = true;
      for (std::size_t p = 0; p < key.size() && match; ++p) {
        if (key[p] < 0) continue;
        const int d = grid.Aggregation().ActiveDims()[p];
        const TDimensionState& s = grid.DimensionState(d);
        match = CoversNode(s, key[p], s.NodeOfMember(facts.Member(r, d)));
      }
      if (match) {
        ++count;
        sum += facts.Value(r, 0);
      }
    }
    return {count, sum};
  }

  // The leaf combinations of an axis that have facts, from the facts alone.
  std::set<std::vector<int>> NaiveLeafLines(int axis) const {
    std::set<std::vector<int>> out;
    const TFactTable& facts = *const_cast<TTestCube&>(cube).Facts();
    const auto& dims = grid.AxisDims(static_cast<TDimGroup>(axis));
    if (dims.empty()) return out;
    for (int r : AggregatedFacts()) {
      std::vector<int> line;
      for (int d : dims) line.push_back(grid.DimensionState(d).NodeOfMember(facts.Member(r, d)));
      out.insert(line);
    }
    return out;
  }

  std::vector<int> AxisPart(const TMemberKey& key, int axis) const {
    std::vector<int> out;
    for (int d : grid.AxisDims(static_cast<TDimGroup>(axis)))
      out.push_back(key[static_cast<std::size_t>(grid.Aggregation().ActivePosition(d))]);
    return out;
  }

  void CheckLinesAndCells(bool complete) {
    for (int axis = 0; axis < 2; ++axis) {
      std::set<std::vector<int>> seen, leaves;
      const int count = axis == 0 ? grid.RowLineCount() : grid.ColLineCount();
      for (int i = 0; i < count; ++i) {
        const TLabelNode* line = axis == 0 ? grid.GetRowLine(i) : nullptr;
        if (axis == 1) {
          const auto& tree = grid.ColTree();
          if (tree.empty()) break;
          line = grid.GetColumnLine(i * grid.DataColumnsPerLine());
        }
        if (!line) {
          EXPECT_TRUE(grid.AxisDims(static_cast<TDimGroup>(axis)).empty() ||
                      NaiveLeafLines(axis).empty());
          continue;
        }
        const TMemberKey key =
            axis == 0 ? grid.GetNodesKey(line, nullptr) : grid.GetNodesKey(nullptr, line);
        const auto part = AxisPart(key, axis);
        EXPECT_TRUE(seen.insert(part).second) << "line " << i << " of axis " << axis << " repeats";
        EXPECT_GT(Naive(key).first, 0) << "line " << i << " of axis " << axis << " is empty";
        if (!line->IsTotal()) leaves.insert(part);
      }
      if (complete) {
        EXPECT_EQ(leaves, NaiveLeafLines(axis)) << "axis " << axis;
      }
    }
    for (int r = 0; r < grid.RowLineCount(); ++r)
      for (int c = 0; c < grid.DataColumnCount(); ++c) {
        const auto [n, sum] = Naive(grid.GetCellKey(r, c));
        const TCellValue v = grid.GetCellValue(r, c);
        EXPECT_EQ(v.HasValue, n > 0) << "cell " << r << "," << c;
        if (v.HasValue) {
          EXPECT_DOUBLE_EQ(v.Value, sum) << "cell " << r << "," << c;
        }
      }
  }

  std::mt19937 rng;
  TTestCube cube;
  TGridInfo grid;
};

TEST(GridRandomLayouts, EveryNonEmptyCombinationIsExactlyOneLine) {
  for (unsigned seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TRandomPivot p(seed);
    p.CheckLinesAndCells(false);  // collapsed
    p.ExpandEverything();
    p.CheckLinesAndCells(true);
    // Move a random dimension somewhere else: expansions are replayed, the
    // lines stay distinct and non-empty, the cells right.
    const int d = p.Pick(0, p.grid.DimensionStateCount() - 1);
    p.grid.MoveDim(d, static_cast<TDimGroup>(p.Pick(0, 2)), p.Pick(0, 3));
    p.CheckLinesAndCells(false);
    p.ExpandEverything();
    p.CheckLinesAndCells(true);
    if (::testing::Test::HasFailure()) break;
  }
}

}  // namespace
}  // namespace qd::test
