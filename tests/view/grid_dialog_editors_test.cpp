// The summaries dialog, the formula editor, the dimension map and the saved
// states without their widgets: checks reaching the settings, the format
// example, calculated summaries added and removed and merged on OK, formula
// references and errors, layouts applied or refused, states chosen and deleted.
#include <gtest/gtest.h>

#include "dialog_test_util.h"
#include "engine/core/errors.h"
#include "model/formula_parser.h"
#include "tests/model/grid_test_cube.h"
#include "view/aggregates_editor.h"
#include "view/dim_map_editor.h"
#include "view/dim_values_editor.h"
#include "view/formula_editor.h"
#include "view/icons_form.h"

namespace qd::test {
namespace {

using enum TDimGroup;

class GridDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    AddSampleSales(cube);
    cube.Activate();
    grid.SetCube(&cube);
    grid.ProcessNotifications();
  }
  std::vector<std::string> SummaryNames() {
    std::vector<std::string> out;
    for (int i = 0; i < grid.SummarySettings().Count(); ++i)
      out.push_back(grid.SummarySettings().Items(i).DisplayName);
    return out;
  }

  TTestCube cube;
  TGridInfo grid;
};

TEST_F(GridDialogs, SummaryChecksReachTheCopyAndOnlyOkTheModel) {
  TAggregatesEditor editor(grid);
  TCheckTree& tree = editor.Tree();
  ASSERT_EQ(tree.Top().size(), 2u);
  TXPCheckTreeNode& qty = *tree.Top()[1];
  // A summary node holds its allowed functions, each with nine sub-functions.
  ASSERT_FALSE(qty.Children().empty());
  EXPECT_EQ(qty.Children().front()->Children().size(), static_cast<std::size_t>(kSubFunctionCount));

  tree.Toggle(qty);  // shown by default: hidden now
  EXPECT_FALSE(editor.Settings().Items(1).Visible());
  EXPECT_EQ(qty.State, TCheckState::csUnchecked);
  EXPECT_TRUE(grid.SummarySettings().Items(1).Visible()) << "the model waits for OK";
  // Checking a sub-function shows its function and summary in the tree.
  tree.Toggle(*qty.Children().front()->Children()[1]);
  EXPECT_TRUE(editor.Settings().Items(1).Function(0).SubFunction(1).Visible);
  EXPECT_EQ(qty.State, TCheckState::csChecked);

  editor.CheckAll(false);
  EXPECT_EQ(TreeText(tree).find('+'), std::string::npos);
  editor.Ok();
  EXPECT_FALSE(grid.SummarySettings().Items(0).Visible());
  EXPECT_FALSE(grid.SummarySettings().Items(1).Visible());
}

TEST_F(GridDialogs, FormatChoicesAndTheExampleFollowTheSelectedSubFunction) {
  TAggregatesEditor editor(grid, TCurrencyFormat{"¥", 0});
  TXPCheckTreeNode& sum = *editor.Tree().Top()[0]->Children().front();
  editor.Select(&sum);
  EXPECT_EQ(editor.Panel(), TAggregatesEditor::TPanel::paNone);
  editor.Select(sum.Children().front().get());
  ASSERT_EQ(editor.Panel(), TAggregatesEditor::TPanel::paFormat);
  const auto& choices = editor.FormatChoices();
  ASSERT_GE(choices.size(), 5u);
  EXPECT_EQ(choices[0], editor.FormatText());
  EXPECT_EQ(choices[3], "¥#,##0.00");
  editor.SetFormatText("#,##0.00");
  EXPECT_EQ(editor.Example(), "1,234,567.09");
  editor.SetFormatText(choices[4]);
  EXPECT_EQ(editor.Example(), "¥1,234,567");
  EXPECT_EQ((TCurrencyFormat{"€", 3}.Apply("0.0")), "0.0 €");
  EXPECT_EQ(grid.SummarySettings().Items(0).Function(0).SubFunction(0).FormatString,
            TAggregatesEditor(grid).Settings().Items(0).Function(0).SubFunction(0).FormatString);
  editor.Ok();
  EXPECT_EQ(grid.SummarySettings().Items(0).Function(0).SubFunction(0).FormatString, "¥#,##0");
}

TEST_F(GridDialogs, CalculatedSummariesAreAddedWithAFormulaAndRemoved) {
  TAggregatesEditor editor(grid);
  EXPECT_EQ(editor.AddCalculated("  "), nullptr);
  EXPECT_EQ(editor.AddCalculated("Unnamed"), nullptr);
  TSummaryNode* node = editor.AddCalculated("Margin");
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->Image, kCalculatedImage);
  EXPECT_EQ(editor.Panel(), TAggregatesEditor::TPanel::paFormula);
  EXPECT_TRUE(editor.CanRemove());
  EXPECT_TRUE(editor.Settings().Items(2).Function(0).SubFunction(0).Visible);

  TFormulaEditor formula(editor.Settings(), *editor.CurrentSummary());
  formula.Text = "\"Amount\" - \"Qty\"";
  ASSERT_TRUE(formula.Accept());
  editor.FormulaEdited(formula.Text, formula.Parser);
  EXPECT_EQ(editor.FormulaText(), "\"Amount\" - \"Qty\"");
  editor.Ok();
  grid.ProcessNotifications();
  EXPECT_EQ(SummaryNames(), (std::vector<std::string>{"Amount", "Qty", "Margin"}));
  // Amount 42.5 less Qty 7 in the grand total of the new summary.
  const int row = grid.RowLineCount() - 1, col = grid.DataColumnCount() - 1;
  EXPECT_DOUBLE_EQ(grid.GetCellValue(row, col).Value, 42.5 - 7);

  // A stored summary cannot be removed; the calculated one can.
  TAggregatesEditor again(grid);
  again.Select(again.Tree().Top()[0].get());
  EXPECT_FALSE(again.CanRemove());
  again.Select(again.Tree().Top()[2].get());
  again.RemoveCurrent();
  EXPECT_EQ(again.Tree().Top().size(), 2u);
  again.Ok();
  grid.ProcessNotifications();
  EXPECT_EQ(SummaryNames(), (std::vector<std::string>{"Amount", "Qty"}));
}

TEST_F(GridDialogs, FormulaEditorInsertsReferencesAndPlacesTheCaretAtAnError) {
  TAggregatesEditor editor(grid);
  TSummaryInfo& margin = *editor.AddCalculated("Margin")->Summary;
  TFormulaEditor formula(editor.Settings(), margin);
  EXPECT_EQ(formula.Summaries(), (std::vector<std::string>{"Amount", "Qty"}));
  formula.Text = "1 + \n";
  const int caret = formula.Insert(4, 1, -1);
  EXPECT_EQ(formula.Text, "1 + \"Qty\"");
  EXPECT_EQ(caret, 9);
  formula.Insert(0, 0, 0);
  EXPECT_EQ(formula.Text.rfind("\"Amount\".\"", 0), 0u) << formula.Text;

  // An unknown summary: the caret goes to its reference.
  formula.Text = "2 * \"Nothing\"";
  EXPECT_FALSE(formula.Accept());
  EXPECT_EQ(formula.Parser, nullptr);
  EXPECT_FALSE(formula.ErrorMessage.empty());
  EXPECT_EQ(formula.ErrorCaret, 4);
  // A missing operand: the caret stops at the operator, not at the end.
  formula.Text = "\"Amount\" + * 2";
  EXPECT_FALSE(formula.Accept());
  EXPECT_GE(formula.ErrorCaret, 9);
  EXPECT_LE(formula.ErrorCaret, 11);
}

TEST_F(GridDialogs, DimensionMapAppliesTheLayoutOnlyAfterASelection) {
  TDimMapEditor editor(grid);
  editor.Open();
  ASSERT_EQ(editor.Axis(0).size(), 2u);
  const TDimMapNode region{0, editor.Axis(0)[0].State};
  const TDimMapNode columns{1, nullptr};
  ASSERT_TRUE(editor.Move(region, columns));
  EXPECT_FALSE(editor.Ok()) << "nothing selected yet";
  EXPECT_EQ(grid.RowDims(), (std::vector<int>{0, 1}));

  const TDimMapNode moved{1, region.Dim};
  editor.Select(moved);
  ASSERT_TRUE(editor.PropertiesShown());
  editor.ShownTotal = TTotalAppearance::taFirst;
  editor.ShownSort = TDimSortType::dsNameDesc;
  editor.Select({2, nullptr});  // the axis node: the shown values are stored first
  EXPECT_FALSE(editor.PropertiesShown());
  // Channel from the page axis before Year on the columns.
  ASSERT_TRUE(editor.Move({2, editor.Axis(2)[0].State}, {1, editor.Axis(1)[0].State}));
  ASSERT_TRUE(editor.Ok());
  grid.ProcessNotifications();
  EXPECT_EQ(grid.RowDims(), (std::vector<int>{1}));
  EXPECT_EQ(grid.ColDims(), (std::vector<int>{3, 2, 0}));
  EXPECT_TRUE(grid.PageDims().empty());
  EXPECT_EQ(grid.DimensionState(0).TotalAppearance, TTotalAppearance::taFirst);
  EXPECT_EQ(grid.DimensionState(0).SortType, TDimSortType::dsNameDesc);
}

TEST_F(GridDialogs, DimensionMapKeepsRenamedMembersUnlessTheAttributeChanges) {
  TDimValuesEditor members(grid, grid.DimensionState(0));
  members.Open();
  NodeNamed(members.MemberTree(), "North").Text = "Norden";
  members.Ok();
  TDimMapEditor editor(grid);
  editor.Open();
  editor.Select({0, editor.Axis(0)[0].State});
  editor.ShownTotal = TTotalAppearance::taFirst;
  ASSERT_TRUE(editor.Ok());
  grid.ProcessNotifications();
  const TDimensionState& region = grid.DimensionState(0);
  EXPECT_EQ(region.Node(region.NodeOfMember(0)).Caption, "Norden");
  EXPECT_EQ(region.TotalAppearance, TTotalAppearance::taFirst);
}

TEST(DimMapCapacity, APageDimensionThatWouldOverflowTheCellKeysIsRefused) {
  // Seven row dimensions of 300 members fit a 64-bit key; an eighth does not.
  TTestCube cube;
  std::vector<std::string> members;
  for (int m = 0; m < 300; ++m) members.push_back("m" + std::to_string(m));
  for (int d = 0; d < 8; ++d)
    cube.AddDim("D" + std::to_string(d), members, d < 7 ? dgRow : dgPage);
  cube.AddSummary("Amount");
  cube.AddFact(std::vector<int>(8, 0), {1});
  cube.Activate();
  TGridInfo grid;
  grid.SetCube(&cube);
  grid.ProcessNotifications();

  TDimMapEditor editor(grid);
  editor.Open();
  const TDimMapNode page{2, editor.Axis(2)[0].State};
  editor.Select(page);
  EXPECT_THROW(editor.Move(page, {0, nullptr}), ECubeError);
  EXPECT_EQ(editor.Axis(2).size(), 1u);
  EXPECT_EQ(editor.Axis(0).size(), 7u);
  // Within the page axis, or from rows to pages, nothing is checked.
  EXPECT_TRUE(editor.Move({0, editor.Axis(0)[0].State}, {2, nullptr}));
  EXPECT_TRUE(editor.Ok());
  grid.ProcessNotifications();
  EXPECT_EQ(grid.PageDims().size(), 2u);
}

TEST_F(GridDialogs, SavedStatesAreChosenSavedAndDeleted) {
  TPivotStatesList list(grid);
  list.Save(" ");
  EXPECT_TRUE(list.Names().empty());
  list.Save("By region");
  grid.MoveDim(0, dgCol, 0);
  grid.ProcessNotifications();
  list.Save("By year");
  EXPECT_EQ(list.Names(), (std::vector<std::string>{"By region", "By year"}));
  EXPECT_EQ(list.Selected(), 1);

  list.Choose(0);
  grid.ProcessNotifications();
  EXPECT_EQ(grid.RowDims(), (std::vector<int>{0, 1}));
  EXPECT_EQ(grid.CurrentPivotState(), "By region");
  list.Delete();
  EXPECT_EQ(list.Names(), std::vector<std::string>{"By year"});
  EXPECT_EQ(list.Selected(), -1);
  EXPECT_TRUE(grid.CurrentPivotState().empty());
  list.Delete();  // nothing chosen: nothing goes
  EXPECT_EQ(list.Names().size(), 1u);
}

}  // namespace
}  // namespace qd::test
