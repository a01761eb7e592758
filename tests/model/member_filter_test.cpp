// Hiding and grouping members from header labels, applying dimension states,
// and the value sort of the rows.
#include <stdexcept>

#include <gtest/gtest.h>

#include "grid_test_cube.h"
#include "model/grid_dump.h"

namespace qd::test {
namespace {

using enum TDimGroup;

constexpr int kRegion = 0, kProduct = 1, kYear = 2, kChannel = 3;

std::vector<std::string> RowPaths(TGridInfo& grid) {
  std::vector<std::string> out;
  for (int r = 0; r < grid.RowLineCount(); ++r)
    if (const TLabelNode* line = grid.GetRowLine(r)) out.push_back(LabelPath(grid, line));
  return out;
}

// The value of the last data column (the grand total column) of a row.
double RowTotal(TGridInfo& grid, int row) {
  const TCellValue v = grid.GetCellValue(row, grid.DataColumnCount() - 1);
  return v.HasValue ? v.Value : -1;
}

double GrandTotal(TGridInfo& grid) {
  return RowTotal(grid, grid.RowLineCount() - 1);
}

// Product (Fruit > Apple, Pear; Veg > Kale, Leek) on rows, Region and Year
// on the page axis and columns.
class MemberFilter : public ::testing::Test {
 protected:
  void SetUp() override {
    cube.AddDim("Region", {"North", "South", "West"}, dgPage);
    cube.AddDim("Product", {"Fruit", "Apple", "Pear", "Veg", "Kale", "Leek"}, dgRow,
                {-1, 0, 0, -1, 3, 3});
    cube.AddDim("Year", {"2024", "2025"}, dgCol);
    cube.AddDim("Channel", {"Shop", "Web"}, dgPage);
    cube.AddSummary("Amount");
    cube.AddFact({0, 1, 0, 0}, {10});
    cube.AddFact({1, 2, 1, 1}, {20});
    cube.AddFact({2, 4, 0, 0}, {40});
    cube.AddFact({0, 5, 1, 1}, {80});
    cube.Activate();
    grid.SetCube(&cube);
    grid.ProcessNotifications();
    owner.Kinds.clear();
  }
  TDimensionState& State(int d) { return grid.DimensionState(d); }
  // The label with this caption among the row tree's top level, or among the
  // children of `parent`.
  TLabelNode& Row(const std::string& caption, TLabelNode* parent = nullptr) {
    const TLabelNodes& list = parent ? parent->Children : grid.RowTree();
    for (const auto& n : list)
      if (grid.GetNodeCaption(*n) == caption) return *n;
    throw std::runtime_error("no label " + caption);
  }
  int Node(int dim, const std::string& caption) {
    TDimensionState& s = State(dim);
    for (int n = 0; n < s.NodeCount(); ++n)
      if (s.Node(n).Caption == caption) return n;
    return -1;
  }

  TTestCube cube;
  TRecorder owner;
  TGridInfo grid{&owner};
};

TEST_F(MemberFilter, MovingASecondLevelMemberCopiesItsPathIntoTheGroup) {
  grid.ExpandAll(State(kProduct));
  grid.ProcessNotifications();
  owner.Kinds.clear();
  grid.MoveMemberToGroup(Row("Pear", &Row("Fruit")), 0);
  TDimensionState& s = State(kProduct);
  ASSERT_EQ(s.Groups.size(), 1u);
  const TDimMember& other = *s.Groups[0];
  ASSERT_EQ(other.Children.size(), 1u);
  EXPECT_EQ(other.Children[0]->Caption, "Fruit");
  ASSERT_EQ(other.Children[0]->Children.size(), 1u);
  EXPECT_EQ(other.Children[0]->Children[0]->Caption, "Pear");
  ASSERT_EQ(s.Members.size(), 2u);
  EXPECT_EQ(s.Members[0]->Children.size(), 1u);  // Fruit keeps Apple
  EXPECT_TRUE(s.IsInGroup(s.NodeOfMember(2)));
  EXPECT_EQ(grid.ProcessNotifications(), 1);
  EXPECT_EQ(owner.Kinds, (std::vector<TChangeKind>{ckMembers}));
  // Moving Apple too removes Fruit from the member tree; the group reuses its
  // copy of Fruit.
  grid.MoveMemberToGroup(Row("Apple", &Row("Fruit")), 0);
  ASSERT_EQ(s.Members.size(), 1u);
  EXPECT_EQ(s.Members[0]->Caption, "Veg");
  ASSERT_EQ(other.Children.size(), 1u);
  EXPECT_EQ(other.Children[0]->Children.size(), 2u);
  // Totals do not change and the group carries what was moved (groups have
  // no database sort key, so they come first); the expansion of Veg survived
  // the renumbering of the nodes.
  EXPECT_EQ(GrandTotal(grid), 150);
  EXPECT_EQ(RowPaths(grid),
            (std::vector<std::string>{"其它", "Veg / Kale", "Veg / Leek", "Veg / Total", "Total"}));
  EXPECT_EQ(RowTotal(grid, 0), 30);
}

TEST_F(MemberFilter, MembersInGroupsAndBadGroupsAreIgnored) {
  grid.MoveMemberToGroup(Row("Veg"), 0);  // with Kale and Leek
  ASSERT_EQ(grid.ProcessNotifications(), 1);
  const int nodes = State(kProduct).NodeCount();
  grid.ExpandAll(State(kProduct));
  grid.ProcessNotifications();
  TLabelNode& group = Row("其它");
  TLabelNode& veg = Row("Veg", &group);
  EXPECT_TRUE(grid.IsInGroup(veg));
  grid.MoveMemberToGroup(veg, 0);           // already in a group
  grid.MoveMemberToGroup(group, 0);         // a group itself
  grid.MoveMemberToGroup(Row("Fruit"), 1);  // no group 1
  grid.MoveMemberToGroup(Row("Fruit"), -1);
  grid.MoveMemberToGroup(*grid.RowTree().back(), 0);  // a Total without parent
  EXPECT_EQ(grid.ProcessNotifications(), 0);
  EXPECT_EQ(State(kProduct).NodeCount(), nodes);
}

TEST_F(MemberFilter, GroupingFollowingMembersMovesEachLaterSiblingOnce) {
  TDimensionState& s = State(kProduct);
  s.AddGroup("Mine");
  grid.ApplyDimensionState(s);
  grid.ExpandAll(s);
  grid.ProcessNotifications();
  // Under Fruit: Apple, Pear, Total. Grouping after Apple moves Pear only.
  grid.GroupFollowingMembers(Row("Apple", &Row("Fruit")), 0, 1);
  EXPECT_EQ(grid.ProcessNotifications(), 1);
  ASSERT_EQ(s.Groups[1]->Children.size(), 1u);
  EXPECT_EQ(s.Groups[1]->Children[0]->Children.size(), 1u);
  // Fruit's Total child stands for Fruit, whose later sibling is Veg.
  grid.GroupFollowingMembers(Row("Total", &Row("Fruit")), 0, 1);
  ASSERT_EQ(s.Members.size(), 1u);  // Fruit with Apple stays
  EXPECT_EQ(s.Members[0]->Caption, "Fruit");
  EXPECT_EQ(s.Groups[1]->Children.size(), 2u);
  EXPECT_EQ(GrandTotal(grid), 150);
  // Nothing groupable follows Fruit any more: no rebuild.
  grid.ProcessNotifications();
  grid.GroupFollowingMembers(Row("Fruit"), 0, 1);
  EXPECT_EQ(grid.ProcessNotifications(), 0);
}

TEST_F(MemberFilter, RestoringOrdersNodesByDatabasePositionWithGroupsLast) {
  grid.MoveMemberToGroup(Row("Fruit"), 0);
  TDimensionState& s = State(kProduct);
  auto captions = [&s] {
    std::vector<std::string> out;
    for (int n = 0; n < s.NodeCount(); ++n) out.push_back(s.Node(n).Caption);
    return out;
  };
  EXPECT_EQ(captions(),
            (std::vector<std::string>{"Veg", "Kale", "Leek", "其它", "Fruit", "Apple", "Pear"}));
  s.BuildNodeTables(true);
  EXPECT_EQ(captions(),
            (std::vector<std::string>{"Fruit", "Apple", "Pear", "Veg", "Kale", "Leek", "其它"}));
  EXPECT_EQ(s.TopNodes(), (std::vector<int>{3, 6}));
  EXPECT_EQ(s.ParentNode(1), 0);
  EXPECT_EQ(s.ParentNode(0), 6);
  EXPECT_EQ(s.Level(2), 3);
  EXPECT_EQ(s.DescendantCount(6), 3);
  EXPECT_EQ(s.NodeOfMember(4), 4);
  EXPECT_EQ(s.SortedOrder(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(MemberFilter, SortTypeChangesReSortTheAxisTheyLieOn) {
  grid.SetSortType(State(kProduct), TDimSortType::dsNameDesc, true);
  EXPECT_EQ(grid.GetNodeCaption(*grid.RowTree().front()), "Veg");
  grid.SetSortType(State(kYear), TDimSortType::dsNameDesc, true);
  grid.SetSortType(State(kRegion), TDimSortType::dsNameDesc, true);  // page: nothing to re-sort
  grid.SetSortType(State(kYear), TDimSortType::dsNameAsc, false);
  EXPECT_EQ(State(kYear).SortType, TDimSortType::dsNameAsc);
  grid.ProcessNotifications();
  EXPECT_EQ(owner.Kinds, (std::vector<TChangeKind>{ckRowOrder, ckColOrder}));
}

TEST_F(MemberFilter, HidingRowMembersRemovesTheirRowsAndLowersTotals) {
  grid.ExpandAll(State(kProduct));
  grid.ProcessNotifications();
  owner.Kinds.clear();
  // After Apple: Pear (the Total child is no member).
  grid.HideFollowingMembers(Row("Apple", &Row("Fruit")), 0);
  EXPECT_FALSE(State(kProduct).Node(Node(kProduct, "Pear")).Visible);
  EXPECT_TRUE(State(kProduct).FilterActive);
  EXPECT_EQ(RowPaths(grid),
            (std::vector<std::string>{"Fruit / Apple", "Fruit / Total", "Veg / Kale", "Veg / Leek",
                                      "Veg / Total", "Total"}));
  EXPECT_EQ(RowTotal(grid, 1), 10);
  EXPECT_EQ(GrandTotal(grid), 130);
  // A Total stands for its parent: everything but Veg goes, with subtrees.
  grid.HideOtherMembers(Row("Total", &Row("Veg")), 0);
  EXPECT_FALSE(State(kProduct).Node(Node(kProduct, "Apple")).Visible);
  EXPECT_EQ(GrandTotal(grid), 120);
  // The last sibling: nothing to hide, still rebuilt.
  grid.HideFollowingMembers(Row("Veg"), 0);
  EXPECT_EQ(owner.Kinds.size(), 0u);
  grid.ProcessNotifications();
  EXPECT_EQ(owner.Kinds, (std::vector<TChangeKind>{ckAxes, ckAxes, ckAxes}));
  State(kProduct).ShowAllMembers();
  grid.ApplyFilter(State(kProduct));
  EXPECT_FALSE(State(kProduct).FilterActive);
  EXPECT_EQ(GrandTotal(grid), 150);
}

TEST_F(MemberFilter, HidingPageMembersRemovesTheirFactsEverywhere) {
  TDimensionState& region = State(kRegion);
  region.Node(Node(kRegion, "West")).Visible = false;
  grid.ApplyFilter(region);
  EXPECT_EQ(GrandTotal(grid), 110);
  EXPECT_EQ(RowPaths(grid), (std::vector<std::string>{"Fruit", "Veg", "Total"}));
  EXPECT_EQ(RowTotal(grid, 1), 80);
  grid.ProcessNotifications();
  EXPECT_EQ(owner.Kinds, (std::vector<TChangeKind>{ckMembers}));
  // Moving the filtered dimension to rows keeps the member hidden.
  grid.MoveDim(kRegion, dgRow, 0);
  EXPECT_EQ(GrandTotal(grid), 110);
}

// Region on rows, Year on columns: South has no 2024 value.
class ValueSort : public ::testing::Test {
 protected:
  void SetUp() override {
    cube.AddDim("Region", {"North", "South", "East", "West"}, dgRow);
    cube.AddDim("Year", {"2024", "2025"}, dgCol);
    cube.AddSummary("Amount");
    cube.AddFact({0, 0}, {5});
    cube.AddFact({1, 1}, {7});
    cube.AddFact({2, 0}, {1});
    cube.AddFact({3, 0}, {3});
    cube.AddFact({3, 1}, {9});
    cube.Activate();
    grid.SetCube(&cube);
  }
  std::vector<std::string> Rows() { return RowPaths(grid); }

  TTestCube cube;
  TGridInfo grid;
};

TEST_F(ValueSort, SortsBothWaysWithValuelessRowsAtTheLowEnd) {
  ASSERT_EQ(LabelPath(grid, grid.GetColumnLine(0)), "2024");
  grid.ToggleValueSort(0);
  EXPECT_EQ(grid.ValueSortData().State, 0);
  EXPECT_EQ(grid.FindValueSortColumn(), 0);
  EXPECT_TRUE(grid.MatchesValueSortColumn(grid.GetColumnLine(0)));
  EXPECT_FALSE(grid.MatchesValueSortColumn(grid.GetColumnLine(1)));
  EXPECT_EQ(Rows(), (std::vector<std::string>{"South", "East", "West", "North", "Total"}));
  grid.ToggleValueSort(0);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"North", "West", "East", "South", "Total"}));
  grid.ToggleValueSort(0);  // off: member order
  EXPECT_EQ(grid.ValueSortData().State, 2);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"North", "South", "East", "West", "Total"}));
  grid.ToggleValueSort(0);
  EXPECT_EQ(grid.ValueSortData().State, 0);
  // Another column starts ascending; the grand total column has an empty path
  // end and is a column of its own.
  grid.ToggleValueSort(1);
  EXPECT_EQ(grid.ValueSortData().State, 0);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"North", "East", "South", "West", "Total"}));
  grid.ToggleValueSort(2);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"East", "North", "South", "West", "Total"}));
  // Totals first under taFirst.
  grid.SetTotalAppearance(grid.DimensionState(0), TTotalAppearance::taFirst);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"Total", "East", "North", "South", "West"}));
}

TEST_F(ValueSort, AColumnThatNoLongerExistsLeavesMemberOrder) {
  grid.ToggleValueSort(1);  // 2025 ascending
  grid.ToggleValueSort(1);  // descending
  EXPECT_EQ(Rows(), (std::vector<std::string>{"West", "South", "North", "East", "Total"}));
  TDimensionState& year = grid.DimensionState(1);
  year.Node(1).Visible = false;
  grid.ApplyFilter(year);
  EXPECT_EQ(grid.FindValueSortColumn(), -1);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"North", "East", "West", "Total"}));
}

// Expanded rows compare by their own totals: through the Total child, or
// without one (invisible totals) by the member's aggregate, not by the value
// of its last child.
class HierarchyValueSort : public ::testing::TestWithParam<TTotalAppearance> {};

TEST_P(HierarchyValueSort, ExpandedRowsCompareByTheirTotals) {
  TTestCube cube;
  TGridInfo grid;
  cube.AddDim("Product", {"Fruit", "Apple", "Pear", "Veg", "Kale", "Leek"}, dgRow,
              {-1, 0, 0, -1, 3, 3});
  cube.AddSummary("Amount");
  cube.AddFact({1}, {10});
  cube.AddFact({2}, {5});  // Fruit 15
  cube.AddFact({4}, {12});
  cube.AddFact({5}, {2});  // Veg 14
  cube.Activate();
  grid.SetCube(&cube);
  grid.SetTotalAppearance(grid.DimensionState(0), GetParam());
  grid.ExpandAll(grid.DimensionState(0));
  grid.ToggleValueSort(0);  // no column dimension: the path is empty
  ASSERT_EQ(grid.FindValueSortColumn(), 0);
  std::vector<std::string> expected;
  switch (GetParam()) {
    case TTotalAppearance::taFirst:
      expected = {"Total",         "Veg / Total",  "Veg / Leek",   "Veg / Kale",
                  "Fruit / Total", "Fruit / Pear", "Fruit / Apple"};
      break;
    case TTotalAppearance::taLast:
      expected = {"Veg / Leek",    "Veg / Kale",    "Veg / Total", "Fruit / Pear",
                  "Fruit / Apple", "Fruit / Total", "Total"};
      break;
    case TTotalAppearance::taInvisible:
      expected = {"Veg / Leek", "Veg / Kale", "Fruit / Pear", "Fruit / Apple"};
      break;
  }
  EXPECT_EQ(RowPaths(grid), expected);
}

INSTANTIATE_TEST_SUITE_P(EachAppearance, HierarchyValueSort,
                         ::testing::Values(TTotalAppearance::taFirst, TTotalAppearance::taLast,
                                           TTotalAppearance::taInvisible));

}  // namespace
}  // namespace qd::test
