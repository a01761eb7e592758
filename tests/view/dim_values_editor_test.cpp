// The check trees' rules and the dimension-members dialog's editing: checks
// that follow parents and children, members moved into groups and back with
// their paths, renames and hidden members written on OK and nothing before,
// and the member search by caption, pinyin and initials.
#include <gtest/gtest.h>

#include "dialog_test_util.h"
#include "model/grid_dump.h"
#include "tests/model/grid_test_cube.h"
#include "view/dim_values_editor.h"

namespace qd::test {
namespace {

using enum TCheckState;

// Fruit > Apple, Pear and Veg > Kale in a tree of the given mode, all checked.
void FillProduce(TCheckTree& tree) {
  auto& fruit = tree.Add(nullptr, std::make_unique<TXPCheckTreeNode>("Fruit"));
  tree.Add(&fruit, std::make_unique<TXPCheckTreeNode>("Apple"));
  tree.Add(&fruit, std::make_unique<TXPCheckTreeNode>("Pear"));
  auto& veg = tree.Add(nullptr, std::make_unique<TXPCheckTreeNode>("Veg"));
  tree.Add(&veg, std::make_unique<TXPCheckTreeNode>("Kale"));
  tree.CheckAll(true);
  tree.Changed();
}

TEST(CheckTree, TreeModeChecksSubtreesAndMarksPartlyCheckedParents) {
  TCheckTree tree;
  FillProduce(tree);
  tree.Toggle(NodeNamed(tree, "Apple"));
  EXPECT_EQ(TreeText(tree), "Fruit~[Apple- Pear+] Veg+[Kale+]");
  tree.Toggle(NodeNamed(tree, "Fruit"));  // partly becomes checked, with its subtree
  EXPECT_EQ(TreeText(tree), "Fruit+[Apple+ Pear+] Veg+[Kale+]");
  tree.Toggle(NodeNamed(tree, "Fruit"));
  tree.Toggle(NodeNamed(tree, "Kale"));
  EXPECT_EQ(TreeText(tree), "Fruit-[Apple- Pear-] Veg-[Kale-]");
  tree.Invert();
  EXPECT_EQ(TreeText(tree), "Fruit+[Apple+ Pear+] Veg+[Kale+]");

  // The handler may change a click's state before it applies.
  tree.OnCheckTreeItem = [](TXPCheckTreeNode& n, TCheckState& s) {
    if (n.Text == "Pear") s = csChecked;
  };
  tree.Toggle(NodeNamed(tree, "Pear"));
  EXPECT_EQ(TreeText(tree), "Fruit+[Apple+ Pear+] Veg+[Kale+]");
}

TEST(CheckTree, SingleModeLeavesEveryNodeAlone) {
  TCheckTree tree;
  tree.CheckMode = TTreeCheckMode::cmSingle;
  FillProduce(tree);
  tree.Toggle(NodeNamed(tree, "Fruit"));
  tree.Toggle(NodeNamed(tree, "Kale"));
  EXPECT_EQ(TreeText(tree), "Fruit-[Apple+ Pear+] Veg+[Kale-]");
}

TEST(CheckTree, WhileFilteredOnlyShownLeavesAreCheckedOrFlipped) {
  TCheckTree tree;
  FillProduce(tree);
  tree.SetFilter([](const TXPCheckTreeNode& n) { return n.Text == "Pear" || n.Text == "Veg"; });
  EXPECT_EQ(ShownText(tree.ShownTop()), "Fruit[Pear] Veg[Kale]");
  tree.CheckAll(false);
  EXPECT_EQ(TreeText(tree), "Fruit~[Apple+ Pear-] Veg-[Kale-]");
  tree.Invert();
  EXPECT_EQ(TreeText(tree), "Fruit+[Apple+ Pear+] Veg+[Kale+]");
  tree.SetFilter(nullptr);
  EXPECT_EQ(ShownText(tree.ShownTop()), "Fruit[Apple Pear] Veg[Kale]");
}

TEST(CheckTree, DeletingALeafTakesAncestorsLeftEmptyButNotTheKeptOne) {
  TCheckTree tree;
  FillProduce(tree);
  tree.Selected = &NodeNamed(tree, "Kale");
  tree.DeleteWithEmptyAncestors(NodeNamed(tree, "Kale"), nullptr);
  EXPECT_EQ(tree.Selected, nullptr);
  tree.DeleteWithEmptyAncestors(NodeNamed(tree, "Apple"), nullptr);
  tree.DeleteWithEmptyAncestors(NodeNamed(tree, "Pear"), &NodeNamed(tree, "Fruit"));
  EXPECT_EQ(TreeText(tree), "Fruit+");
}

// The members dialog over the sample grid's Product dimension.
class DimValuesEditor : public ::testing::Test {
 protected:
  void SetUp() override {
    AddSampleSales(cube);
    cube.Activate();
    grid.SetCube(&cube);
    grid.ProcessNotifications();
    grid.ExpandAll(grid.DimensionState(0));
    grid.ExpandAll(Product());
    grid.ProcessNotifications();
    edit = std::make_unique<TDimValuesEditor>(grid, Product());
    edit->Open();
  }
  TDimensionState& Product() { return grid.DimensionState(1); }
  std::vector<std::string> RowPaths() {
    std::vector<std::string> out;
    for (int r = 0; r < grid.RowLineCount(); ++r)
      if (const TLabelNode* line = grid.GetRowLine(r)) out.push_back(LabelPath(grid, line));
    return out;
  }
  TXPCheckTreeNode& Member(const std::string& text) {
    return NodeNamed(edit->MemberTree(), text);
  }
  TXPCheckTreeNode& GroupNode(const std::string& text) {
    return NodeNamed(edit->GroupTree(), text);
  }

  TTestCube cube;
  TGridInfo grid;
  std::unique_ptr<TDimValuesEditor> edit;
};

TEST_F(DimValuesEditor, OpensWithTheStateAndItsCaption) {
  EXPECT_EQ(TreeText(edit->MemberTree()), "Fruit+[Apple+ Pear+] Veg+[Kale+]");
  EXPECT_EQ(TreeText(edit->GroupTree()), "其它+");
  EXPECT_EQ(edit->Caption(), "维度编辑器  -  Product");
  EXPECT_EQ(edit->Attributes(), std::vector<std::string>{"Default attribute"});
}

TEST_F(DimValuesEditor, SecondLevelMembersMoveIntoGroupsWithTheirPathsAndBack) {
  TXPCheckTreeNode& group = edit->NewGroup();
  EXPECT_EQ(group.Text, "--- 新组 ---");
  EXPECT_EQ(edit->GroupTree().Selected, &group);
  Member("Pear").State = csUnchecked;  // a hidden member stays hidden in the group
  ASSERT_TRUE(edit->MoveToGroup(&Member("Pear"), &group));
  ASSERT_TRUE(edit->MoveToGroup(&Member("Apple"), &group));
  // Both land under one recreated Fruit; the emptied Fruit leaves the member tree.
  EXPECT_EQ(TreeText(edit->MemberTree()), "Veg+[Kale+]");
  EXPECT_EQ(TreeText(edit->GroupTree()), "其它+ --- 新组 ---~[Fruit~[Pear- Apple+]]");

  // Back again: Fruit is recreated in the member tree, the group keeps its other member.
  ASSERT_TRUE(edit->MoveBack(&GroupNode("Pear"), false));
  EXPECT_EQ(TreeText(edit->MemberTree()), "Fruit-[Pear-] Veg+[Kale+]");
  EXPECT_EQ(TreeText(edit->GroupTree()), "其它+ --- 新组 ---+[Fruit+[Apple+]]");

  // A group itself is not dragged back; "删除项目" empties and removes it, but keeps "其它".
  EXPECT_FALSE(edit->MoveBack(&GroupNode("--- 新组 ---"), false));
  edit->GroupTree().Selected = &GroupNode("其它");
  EXPECT_TRUE(edit->DeleteItem());
  edit->GroupTree().Selected = &GroupNode("--- 新组 ---");
  EXPECT_TRUE(edit->DeleteItem());
  EXPECT_EQ(TreeText(edit->GroupTree()), "其它+");
  EXPECT_EQ(TreeText(edit->MemberTree()), "Fruit~[Apple+ Pear-] Veg+[Kale+]");
  // A node from the wrong tree moves nothing.
  EXPECT_FALSE(edit->MoveToGroup(&GroupNode("其它"), &GroupNode("其它")));
  EXPECT_FALSE(edit->MoveBack(&Member("Veg"), true));
}

TEST_F(DimValuesEditor, OkWritesGroupsRenamesAndChecksIntoTheGrid) {
  TXPCheckTreeNode& group = edit->NewGroup();
  group.Text = "Greens";  // F2 in the view edits the caption
  edit->MoveToGroup(&Member("Kale"), &group);
  Member("Apple").Text = "Apples";
  edit->MemberTree().Toggle(Member("Pear"));
  edit->DisplayName = "Goods";
  edit->Ok();
  grid.ProcessNotifications();

  const TDimensionState& s = Product();
  EXPECT_EQ(s.DisplayName, "Goods");
  ASSERT_EQ(s.GroupCount(), 2);
  EXPECT_EQ(s.Groups[0]->Id, kOtherGroupId);
  EXPECT_EQ(s.Groups[1]->Caption, "Greens");
  // Pear is hidden, Apple renamed; Kale moved into the (collapsed) group,
  // which comes first as groups do.
  EXPECT_EQ(RowPaths(), (std::vector<std::string>{
                            "North / Fruit / Apples", "North / Fruit / Total", "North / Total",
                            "南方 / Greens", "南方 / Fruit / Apples", "南方 / Fruit / Total",
                            "南方 / Total", "Total"}));
}

TEST_F(DimValuesEditor, WithoutOkTheGridStaysAsItWas) {
  const std::vector<std::string> before = RowPaths();
  {
    TDimValuesEditor cancelled(grid, Product());
    cancelled.Open();
    cancelled.MemberTree().CheckAll(false);
    cancelled.MoveToGroup(&NodeNamed(cancelled.MemberTree(), "Kale"), &cancelled.NewGroup());
    NodeNamed(cancelled.MemberTree(), "Apple").Text = "Apples";
    cancelled.DisplayName = "Goods";
    cancelled.ChooseOrder(TDimSortType::dsNameDesc);
  }
  grid.ProcessNotifications();
  EXPECT_EQ(RowPaths(), before);
  EXPECT_EQ(Product().DisplayName, "Product");
  EXPECT_EQ(Product().GroupCount(), 1);
  EXPECT_EQ(Product().SortType, TDimSortType::dsDatabase);
}

TEST_F(DimValuesEditor, OrderChoiceSortsEveryLevel) {
  edit->ChooseOrder(TDimSortType::dsNameDesc);
  EXPECT_EQ(TreeText(edit->MemberTree()), "Veg+[Kale+] Fruit+[Pear+ Apple+]");
  edit->ChooseOrder(TDimSortType::dsDatabase);
  EXPECT_EQ(TreeText(edit->MemberTree()), "Fruit+[Apple+ Pear+] Veg+[Kale+]");

  // Members deleted back out of a group come back in alphabetical order.
  TDimValuesEditor regions(grid, grid.DimensionState(0));
  regions.Open();
  EXPECT_EQ(TreeText(regions.MemberTree()), "North+ 南方+ West+");
  TXPCheckTreeNode& group = regions.NewGroup();
  regions.MoveToGroup(&NodeNamed(regions.MemberTree(), "南方"), &group);
  regions.GroupTree().Selected = &group;
  regions.DeleteItem();
  EXPECT_EQ(TreeText(regions.MemberTree()), "North+ West+ 南方+");
}

TEST_F(DimValuesEditor, SearchFiltersByCaptionPinyinAndInitials) {
  TDimValuesEditor regions(grid, grid.DimensionState(0));
  regions.Open();
  const auto shown = [&regions](const std::string& text) {
    regions.SetSearch(text);
    return ShownText(regions.MemberTree().ShownTop());
  };
  EXPECT_EQ(shown("NF"), "南方");
  EXPECT_EQ(shown("nan fang"), "南方");
  EXPECT_EQ(shown("南"), "南方");
  EXPECT_EQ(shown("est"), "West");
  EXPECT_EQ(shown("zz"), "");
  EXPECT_EQ(shown("  "), "North 南方 West");
  // A renamed member is found by its new caption once the editor is told.
  NodeNamed(regions.MemberTree(), "West").Text = "西部";
  regions.CaptionEdited();
  EXPECT_EQ(shown("xb"), "西部");

  // A match keeps its ancestors and shows its descendants.
  edit->SetSearch("pe");
  EXPECT_EQ(ShownText(edit->MemberTree().ShownTop()), "Fruit[Pear]");
  edit->SetSearch("fruit");
  EXPECT_EQ(ShownText(edit->MemberTree().ShownTop()), "Fruit[Apple Pear]");
}

}  // namespace
}  // namespace qd::test
