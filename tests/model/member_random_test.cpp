// Random cubes with members hidden and grouped on the page, row and column
// axes, checked against a naive scan of the facts: every cell equals the sum
// of the visible facts under it, and no line shows a hidden member.
#include <random>

#include <gtest/gtest.h>

#include "grid_test_cube.h"

namespace qd::test {
namespace {

struct TFilteredPivot {
  explicit TFilteredPivot(unsigned seed) : rng(seed) {
    auto pick = [this](int lo, int hi) { return Pick(lo, hi); };
    const int dims = Pick(2, 4);
    AddRandomDims(cube, pick, dims, 6, 2);
    cube.AddSummary("V");
    AddRandomFacts(cube, pick, Pick(0, 40),
                   [&] { return std::vector<double>{static_cast<double>(Pick(1, 9))}; });
    cube.Activate();
    grid.SetCube(&cube);
  }
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

  void ExpandEverything() {
    for (int axis = 0; axis < 2; ++axis)
      for (int d : grid.AxisDims(static_cast<TDimGroup>(axis)))
        grid.ExpandAll(grid.DimensionState(d));
  }

  // A random label of the row or column tree, walking down expanded nodes.
  TLabelNode* RandomLabel(int axis) {
    const TLabelNodes* list = &grid.Tree(axis);
    TLabelNode* picked = nullptr;
    while (!list->empty()) {
      picked =
          list->at(static_cast<std::size_t>(Pick(0, static_cast<int>(list->size()) - 1))).get();
      if (picked->Children.empty() || Pick(0, 1) == 0) break;
      list = &picked->Children;
    }
    return picked;
  }

  // One random change of visibility or groups.
  void Disturb() {
    const int d = Pick(0, grid.DimensionStateCount() - 1);
    TDimensionState& s = grid.DimensionState(d);
    switch (Pick(0, 5)) {
      case 0:
      case 1: {  // any node, page dimensions included
        if (s.NodeCount() == 0) return;
        s.Node(Pick(0, s.NodeCount() - 1)).Visible = false;
        grid.ApplyFilter(s);
        return;
      }
      case 2: {
        const int axis = Pick(0, 1);
        if (TLabelNode* n = RandomLabel(axis)) grid.HideFollowingMembers(*n, axis);
        return;
      }
      case 3:
        if (TLabelNode* n = RandomLabel(0)) grid.HideOtherMembers(*n, 0);
        return;
      case 4:
        if (TLabelNode* n = RandomLabel(Pick(0, 1))) grid.MoveMemberToGroup(*n, 0);
        return;
      default:
        s.ShowAllMembers();
        grid.ApplyFilter(s);
    }
  }

  // Count and sum of the visible facts under a member list.
  std::pair<int, double> Naive(const TMemberKey& key) {
    const TFactTable& facts = *cube.Facts();
    const auto& active = grid.Aggregation().ActiveDims();
    int count = 0;
    double sum = 0;
    for (int r = 0; r < facts.RecordCount(); ++r) {
      bool in = true;
      for (int d = 0; d < grid.DimensionStateCount() && in; ++d) {
        const TDimensionState& s = grid.DimensionState(d);
        const int node = s.NodeOfMember(facts.Member(r, d));
        const auto it = std::find(active.begin(), active.end(), d);
        if (it != active.end()) {
          in = node >= 0 && !s.HasChildren(node) && s.IsNodeVisible(node);
          const int want = key[static_cast<std::size_t>(it - active.begin())];
          in = in && (want < 0 || CoversNode(s, want, node));
        } else if (s.Group == TDimGroup::dgPage && s.FilterActive) {
          in = node >= 0 && s.IsNodeVisible(node);
        }
      }
      if (in) {
        ++count;
        sum += facts.Value(r, 0);
      }
    }
    return {count, sum};
  }

  bool KeyVisible(const TMemberKey& key) const {
    const auto& active = grid.Aggregation().ActiveDims();
    for (std::size_t p = 0; p < key.size(); ++p)
      if (key[p] >= 0 && !grid.DimensionState(active[p]).IsNodeVisible(key[p])) return false;
    return true;
  }

  void Check() {
    for (int r = 0; r < grid.RowLineCount(); ++r) {
      for (int c = 0; c < grid.DataColumnCount(); ++c) {
        const TMemberKey key = grid.GetCellKey(r, c);
        ASSERT_TRUE(KeyVisible(key)) << "cell " << r << "," << c << " shows a hidden member";
        const auto [n, sum] = Naive(key);
        const TCellValue v = grid.GetCellValue(r, c);
        EXPECT_EQ(v.HasValue, n > 0) << "cell " << r << "," << c;
        if (v.HasValue && n > 0) {
          EXPECT_DOUBLE_EQ(v.Value, sum) << "cell " << r << "," << c;
        }
      }
    }
  }

  std::mt19937 rng;
  TTestCube cube;
  TGridInfo grid;
};

TEST(MemberFiltersRandom, TotalsAfterHidingAndGroupingMatchANaiveScan) {
  for (unsigned seed = 1; seed <= 80; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TFilteredPivot p(seed);
    for (int step = 0; step < 6; ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      p.Disturb();
      p.Check();
      p.ExpandEverything();
      p.Check();
      if (::testing::Test::HasFailure()) return;
    }
  }
}

}  // namespace
}  // namespace qd::test
