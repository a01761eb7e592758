// The grid's dialogs as the user meets them: opened from the tool strip and the
// dimension panels with real clicks, driven with keys and clicks, closed with
// Enter or Esc.
#include <QApplication>
#include <QDropEvent>
#include <QComboBox>
#include <QDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "view/aggregates_form.h"
#include "view/check_tree_view.h"
#include "view/dim_map_form.h"
#include "view/dim_values_form.h"
#include "view/formula_form.h"
#include "view/icons_form.h"
#include "view/pivot_panels.h"
#include "tests/engine/cube_test_util.h"
#include "dialog_test_util.h"
#include "view_test_grid.h"

namespace qd::test {
namespace {

using enum TDimGroup;

//! Runs `step` on the next modal dialog other than `outer` once it shows, from
//! inside that dialog's event loop. A dialog left open is rejected after a
//! while so that a failing test does not hang.
template <class TDialogType>
void OnNextModal(std::function<void(TDialogType&)> step, QWidget* outer = nullptr) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  auto waited = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, step, outer, waited] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || dialog == outer || !dialog->isVisible()) {
      if (++*waited > 500) timer->deleteLater();
      return;
    }
    timer->stop();
    timer->deleteLater();
    auto* typed = dynamic_cast<TDialogType*>(dialog);
    if (!typed) {
      ADD_FAILURE() << "unexpected dialog " << dialog->windowTitle().toStdString();
      dialog->reject();
      return;
    }
    step(*typed);
    // A step that failed before closing its dialog must not block the test.
    QTimer::singleShot(5000, dialog, [dialog] {
      if (dialog->isVisible()) dialog->reject();
    });
  });
  timer->start();
}

std::vector<std::string> Names(const TPivotPanel& area) {
  std::vector<std::string> out;
  for (const TDimPivotPanel* p : area.Panels()) out.push_back(p->DisplayName());
  return out;
}

// A bound cube: Region and Product on rows, Year on columns, two summaries.
class DialogWidgets : public ::testing::Test {
 protected:
  void SetUp() override {
    table = MakeTable("qrSales",
                      {{"Region", TFieldType::ftString},
                       {"Product", TFieldType::ftString},
                       {"Year", TFieldType::ftInteger},
                       {"Amount", TFieldType::ftFloat},
                       {"Qty", TFieldType::ftFloat}},
                      {{S("North"), S("Apple"), I(2024), D(10), D(1)},
                       {S("North"), S("Pear"), I(2025), D(20.5), D(2)},
                       {S("南方"), S("Apple"), I(2024), D(5), D(1)},
                       {S("南方"), S("Kale"), I(2025), D(7), D(3)}});
    cube.SetDataSet(table.get());
    DefineMap(cube, {"Region", "Product", "Year"}, {"Amount", "Qty"});
    cube.DimensionMap().FindPlain("Year")->DimGroup = dgCol;
    cube.Options().ShowProgressBar = false;
    control.resize(900, 600);
    control.show();
    control.SetVantra(&cube);
    cube.SetActive(true);
    Drain();
  }
  void Drain() {
    QApplication::processEvents();
    control.ProcessModelNotifications();
  }
  TGridInfo& Model() { return control.Model(); }
  TInternalGrid& Grid() { return control.InternalGrid(); }
  TDimPivotPanel& Panel(TDimGroup area, int i) { return *control.Area(area).Panels().at(i); }
  void Click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }
  int Dim(const std::string& name) {
    for (int d = 0; d < Model().DimensionStateCount(); ++d)
      if (Model().GetDimName(d) == name) return d;
    return -1;
  }

  QApplication& app = TestApp();
  std::unique_ptr<TMemoryTable> table;
  TVantra cube;
  TVantraGrid control;
};

TEST_F(DialogWidgets, MembersButtonOpensTheMembersDialogWhoseEnterApplies) {
  bool ran = false;
  OnNextModal<TDimValuesFRM>([&](TDimValuesFRM& form) {
    ran = true;
    EXPECT_EQ(form.windowTitle().toStdString(), "维度编辑器  -  Product");
    QLineEdit& name = form.NameEdit();
    name.selectAll();
    QTest::keyClicks(&name, "Goods");
    EXPECT_EQ(form.windowTitle().toStdString(), "维度编辑器  -  Goods");
    // The search filters the member view as one types.
    QTest::keyClicks(&form.SearchEdit(), "pe");
    const TXPCheckTreeModel& rows = form.MemberView().Model();
    ASSERT_EQ(rows.rowCount(), 1);
    EXPECT_EQ(rows.index(0, 0).data().toString().toStdString(), "Pear");
    QTest::keyClick(&form.SearchEdit(), Qt::Key_Return);
  });
  Click(Panel(dgRow, 1).Button());
  ASSERT_TRUE(ran);
  Drain();
  EXPECT_EQ(Model().DimensionState(Dim("Product")).DisplayName, "Goods");
  EXPECT_EQ(Names(control.Area(dgRow)), (std::vector<std::string>{"Region", "Goods"}));
}

TEST_F(DialogWidgets, SpaceUnchecksAMemberAndEscLeavesTheGridAsItWas) {
  const int rows = Grid().RowCount();
  for (bool ok : {false, true}) {
    OnNextModal<TDimValuesFRM>([ok](TDimValuesFRM& form) {
      TXPCheckTreeView& view = form.MemberView();
      view.setCurrentIndex(view.Model().index(0, 0));  // North
      QTest::keyClick(&view, Qt::Key_Space);
      EXPECT_EQ(form.Editor().MemberTree().Top()[0]->State, TCheckState::csUnchecked);
      QTest::keyClick(&view, ok ? Qt::Key_Return : Qt::Key_Escape);
    });
    Click(Panel(dgRow, 0).Button());
    Drain();
    const TDimensionState& region = Model().DimensionState(Dim("Region"));
    EXPECT_EQ(region.IsNodeVisible(region.NodeOfMember(0)), !ok);
    if (!ok) {
      EXPECT_EQ(Grid().RowCount(), rows);
    }
  }
  EXPECT_LT(Grid().RowCount(), rows);
}

TEST_F(DialogWidgets, SummariesButtonAddsACalculatedSummaryThroughTheFormulaEditor) {
  TShownMessages shown;
  bool reachedFormula = false;
  OnNextModal<TfmAggregates>([&](TfmAggregates& form) {
    EXPECT_EQ(form.windowTitle().toStdString(), "合计项设定");
    OnNextModal<QInputDialog>(
        [](QInputDialog& ask) {
          EXPECT_EQ(ask.labelText().toStdString(), "新的合计项名称：");
          EXPECT_EQ(ask.textValue().toStdString(), "Unnamed");
          ask.setTextValue("Margin");
          QTest::keyClick(&ask, Qt::Key_Return);
        },
        &form);
    Click(form.Button(0));
    ASSERT_EQ(form.PropertyPanels().currentWidget(), &form.FormulaPanel());

    OnNextModal<TfmFormula>(
        [&](TfmFormula& editor) {
          reachedFormula = true;
          EXPECT_EQ(editor.windowTitle().toStdString(), "公式编辑器");
          QTextEdit& text = editor.TextBox();
          text.selectAll();
          QTest::keyClicks(&text, "2 * \"Nothing\"");
          QTest::keyClick(&text, Qt::Key_Return);
          EXPECT_TRUE(editor.isVisible()) << "a bad formula keeps the editor open";
          EXPECT_EQ(editor.Caret(), 4);
          text.selectAll();
          QTest::keyClicks(&text, "\"Amount\" * 2");
          QTest::keyClick(&text, Qt::Key_Return);
        },
        &form);
    Click(&form.EditFormulaButton());
    EXPECT_EQ(form.Editor().FormulaText(), "\"Amount\" * 2");
    QTest::keyClick(&form, Qt::Key_Return);
  });
  Click(control.ToolStrip().SummariesButton());
  EXPECT_TRUE(reachedFormula);
  EXPECT_EQ(shown.Messages.size(), 1u);
  Drain();
  ASSERT_EQ(Model().SummarySettings().Count(), 3);
  EXPECT_EQ(Model().SummarySettings().Items(2).DisplayName, "Margin");
  EXPECT_EQ(Model().SummarySettings().Items(2).Formula(), "\"Amount\" * 2");
}

TEST_F(DialogWidgets, DimensionMapButtonOpensTheLayoutWhoseOkWaitsForASelection) {
  OnNextModal<TfmDimMap>([this](TfmDimMap& form) {
    EXPECT_EQ(form.windowTitle().toStdString(), "维度地图编辑器");
    TDimMapTree& tree = form.Tree();
    ASSERT_EQ(tree.topLevelItemCount(), 3);
    EXPECT_EQ(tree.topLevelItem(0)->text(0).toStdString(), "行轴维度");
    EXPECT_EQ(tree.topLevelItem(1)->text(0).toStdString(), "列轴维度");
    EXPECT_EQ(tree.topLevelItem(2)->text(0).toStdString(), "页轴维度");
    Click(&form.OkButton());
    EXPECT_TRUE(form.isVisible()) << "OK before any selection does nothing";
    // Year chosen with the mouse shows its properties.
    QTreeWidgetItem* year = tree.topLevelItem(1)->child(0);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(year).center());
    EXPECT_EQ(form.PropertyPanels().currentWidget(), &form.PropertyPanel());
    QTest::keyClick(&form.TotalList(), Qt::Key_Home);  // "first"

    QTest::keyClick(&tree, Qt::Key_Return);
    EXPECT_FALSE(form.isVisible());
    (void)this;
  });
  Click(control.ToolStrip().DimensionMapButton());
  Drain();
  EXPECT_EQ(Model().DimensionState(Dim("Year")).TotalAppearance, TTotalAppearance::taFirst);
  EXPECT_EQ(Names(control.Area(dgCol)), (std::vector<std::string>{"Year"}));
}

TEST_F(DialogWidgets, StatesButtonDropsDownTheSavedStates) {
  Click(control.ToolStrip().StatesButton());
  TfmIcons* menu = nullptr;
  for (QObject* child : control.children())
    if (auto* found = dynamic_cast<TfmIcons*>(child)) menu = found;
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->isVisible());
  menu->AskName = [] { return std::string("Mine"); };
  Click(&menu->SaveButton());
  EXPECT_EQ(Model().PivotStates().Count(), 1);
  EXPECT_EQ(menu->NameList().currentText().toStdString(), "Mine");
  Click(&menu->DeleteButton());
  EXPECT_EQ(Model().PivotStates().Count(), 0);
  EXPECT_EQ(menu->NameList().currentIndex(), -1);
  QTest::keyClick(menu, Qt::Key_Escape);
  EXPECT_FALSE(menu->isVisible());
}

TEST_F(DialogWidgets, KeysOpenTheDialogsWithoutTheMouse) {
  control.activateWindow();
  Grid().setFocus();
  bool ran = false;
  OnNextModal<TfmAggregates>([&ran](TfmAggregates& form) {
    ran = true;
    QTest::keyClick(&form, Qt::Key_Escape);
  });
  QTest::keyClick(&Grid(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(ran);
}

// Ctrl+Shift+M drops down the grid's dimensions, rows first, and the one
// chosen with the keys opens its members dialog.
TEST_F(DialogWidgets, CtrlShiftMChoosesADimensionWhoseMembersDialogOpens) {
  control.activateWindow();
  Grid().setFocus();
  std::vector<std::string> offered;
  QTimer::singleShot(50, [&offered] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* a : menu->actions())
      offered.push_back(a->isSeparator() ? "-" : a->text().toStdString());
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  std::string title;
  OnNextModal<TDimValuesFRM>([&title](TDimValuesFRM& form) {
    title = form.windowTitle().toStdString();
    QTest::keyClick(&form, Qt::Key_Escape);
  });
  QTest::keyClick(&Grid(), Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(offered, (std::vector<std::string>{"Region", "Product", "-", "Year"}));
  EXPECT_EQ(title, "维度编辑器  -  Product");
}

// A double click on a dimension of the map opens its members; what OK there
// changed shows in the map at once, on the node then selected.
TEST_F(DialogWidgets, DoubleClickInTheMapOpensTheMembersOfThatDimension) {
  std::string caption, selected;
  bool opened = false;
  OnNextModal<TfmDimMap>([&](TfmDimMap& form) {
    OnNextModal<TDimValuesFRM>(
        [&opened](TDimValuesFRM& members) {
          opened = true;
          QLineEdit& name = members.NameEdit();
          name.selectAll();
          QTest::keyClicks(&name, "Goods");
          QTest::keyClick(&name, Qt::Key_Return);
        },
        &form);
    TDimMapTree& tree = form.Tree();
    QTreeWidgetItem* product = tree.topLevelItem(0)->child(1);
    // As the window system delivers it: a click, then the second press as a
    // double click.
    const QPoint at = tree.visualItemRect(product).center();
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(opened);
    caption = tree.topLevelItem(0)->child(1)->text(0).toStdString();
    const QList<QTreeWidgetItem*> chosen = tree.selectedItems();
    selected = chosen.isEmpty() ? "" : chosen.front()->text(0).toStdString();
    EXPECT_EQ(form.PropertyPanels().currentWidget(), &form.PropertyPanel());
    QTest::keyClick(&form, Qt::Key_Escape);
  });
  Click(control.ToolStrip().DimensionMapButton());
  EXPECT_EQ(caption, "Goods");
  EXPECT_EQ(selected, "Goods");
  Drain();
  EXPECT_EQ(Model().DimensionState(Dim("Product")).DisplayName, "Goods");
}

// The tool strip opens the summaries without the function page; a grid in
// design mode offers it too, and OK there changes the function catalogue.
TEST_F(DialogWidgets, DesignModeSummariesOfferTheFunctionPage) {
  for (bool design : {false, true}) {
    control.DesignMode = design;
    bool ran = false;
    OnNextModal<TfmAggregates>([&ran, design](TfmAggregates& form) {
      ran = true;
      QTabBar* tabs = form.Pages().tabBar();
      EXPECT_EQ(tabs->isVisible(), design);
      if (!design) {
        QTest::keyClick(&form, Qt::Key_Escape);
        return;
      }
      EXPECT_EQ(tabs->tabText(1).toStdString(), "函数设置");
      QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
      ASSERT_EQ(form.Pages().currentIndex(), 1);
      QListWidget& functions = form.FunctionList();
      ASSERT_EQ(functions.count(), 11);
      functions.setFocus();
      functions.setCurrentRow(1);  // Count
      QTest::keyClick(&functions, Qt::Key_Space);
      EXPECT_EQ(functions.item(1)->checkState(), Qt::Unchecked);
      QTest::keyClick(&form, Qt::Key_Return);
    });
    Click(control.ToolStrip().SummariesButton());
    EXPECT_TRUE(ran);
    Drain();
  }
  EXPECT_TRUE(Model().FunctionDefs().Items(0).UserAllowed);
  EXPECT_FALSE(Model().FunctionDefs().Items(1).UserAllowed);
}

// Delivers a drag carrying `mime` to a view's viewport and drops it at `at`,
// as Qt delivers a drag: enter, move, drop.
void DropOn(QAbstractItemView& view, const QMimeData& mime, QPoint at) {
  const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
  QDragEnterEvent enter(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view.viewport(), &enter);
  QDragMoveEvent move(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view.viewport(), &move);
  QDropEvent drop(QPointF(at), actions, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view.viewport(), &drop);
}

TEST_F(DialogWidgets, MembersAreDraggedIntoAGroupRenamedWithF2AndApplied) {
  OnNextModal<TDimValuesFRM>([this](TDimValuesFRM& form) {
    TXPCheckTreeView& members = form.MemberView();
    TXPCheckTreeView& groups = form.GroupView();
    TCheckTree& memberTree = form.Editor().MemberTree();
    std::unique_ptr<QMimeData> north(members.DragMimeData(*memberTree.Top()[0]));
    // A tree refuses its own drags.
    DropOn(members, *north, members.visualRect(members.Model().index(1, 0)).center());
    EXPECT_EQ(TreeText(memberTree), "North+ 南方+");
    // The new group button adds a group and opens its caption for editing.
    Click(form.Button(6));
    auto* editor = groups.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "Mine");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();  // the delegate commits from the event loop
    DropOn(groups, *north, groups.visualRect(groups.Model().index(1, 0)).center());
    EXPECT_EQ(TreeText(form.Editor().GroupTree()), "其它+ Mine+[North+]");
    EXPECT_EQ(TreeText(memberTree), "南方+");
    // F2 renames the member left in the member tree.
    members.setFocus();
    members.setCurrentIndex(members.Model().index(0, 0));
    QTest::keyClick(&members, Qt::Key_F2);
    editor = members.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "South");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(TreeText(memberTree), "South+");
    QTest::keyClick(&members, Qt::Key_Return);
  });
  Click(Panel(dgRow, 0).Button());
  Drain();
  const TDimensionState& region = Model().DimensionState(Dim("Region"));
  ASSERT_EQ(region.GroupCount(), 2);
  EXPECT_EQ(region.Groups[1]->Caption, "Mine");
  EXPECT_TRUE(region.IsInGroup(region.NodeOfMember(0)));
  EXPECT_EQ(region.Node(region.NodeOfMember(1)).Caption, "South");
}

TEST_F(DialogWidgets, DimensionsAreDraggedBetweenTheAxesOfTheMap) {
  OnNextModal<TfmDimMap>([this](TfmDimMap& form) {
    TDimMapTree& tree = form.Tree();
    QTreeWidgetItem* product = tree.topLevelItem(0)->child(1);
    std::unique_ptr<QMimeData> mime(tree.DragMimeData(TDimMapTree::NodeOf(product)));
    DropOn(tree, *mime, tree.visualItemRect(tree.topLevelItem(2)).center());
    ASSERT_EQ(tree.topLevelItem(2)->childCount(), 1);
    EXPECT_EQ(tree.topLevelItem(2)->child(0)->text(0).toStdString(), "Product");
    // A dimension node dropped on another goes before it.
    QTreeWidgetItem* year = tree.topLevelItem(1)->child(0);
    mime.reset(tree.DragMimeData(TDimMapTree::NodeOf(year)));
    DropOn(tree, *mime, tree.visualItemRect(tree.topLevelItem(0)->child(0)).center());
    EXPECT_EQ(tree.topLevelItem(0)->child(0)->text(0).toStdString(), "Year");
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                      tree.visualItemRect(tree.topLevelItem(0)->child(0)).center());
    QTest::keyClick(&tree, Qt::Key_Return);
    (void)this;
  });
  Click(control.ToolStrip().DimensionMapButton());
  Drain();
  EXPECT_EQ(Names(control.Area(dgRow)), (std::vector<std::string>{"Year", "Region"}));
  EXPECT_TRUE(Names(control.Area(dgCol)).empty());
  EXPECT_EQ(Names(control.Area(dgPage)), (std::vector<std::string>{"Product"}));
}

// Each dialog laid out at its own size with its parts filled; with
// QD_SCREENSHOT_DIR set, each is saved there as a PNG to look at.
TEST_F(DialogWidgets, EachDialogRendersFilled) {
  const char* dir = std::getenv("QD_SCREENSHOT_DIR");
  const auto shoot = [dir](QWidget& w, const char* name) {
    w.show();
    QApplication::processEvents();
    const QPixmap shot = w.grab();
    EXPECT_GT(shot.width(), 100) << name;
    EXPECT_GT(shot.height(), 15) << name;
    if (dir) {
      EXPECT_TRUE(shot.save(QString(dir) + "/" + name + ".png")) << name;
    }
    w.close();
  };
  TDimValuesFRM members(Model(), Model().DimensionState(Dim("Region")));
  members.Editor().NewGroup().Text = "南北";
  members.Editor().GroupTree().Changed();
  shoot(members, "dim_values");

  TfmAggregates summaries(Model(), true);
  TXPCheckTreeNode& amount = *summaries.Editor().Tree().Top()[0];
  summaries.TreeView().SelectNode(amount.Children().front()->Children().front().get());
  shoot(summaries, "aggregates");
  summaries.ShowPage(true);
  shoot(summaries, "aggregates_functions");

  TAggregatesEditor work(Model());
  TSummaryInfo& margin = *work.AddCalculated("Margin")->Summary;
  margin.SetFormula("(\"Amount\" - \"Qty\") / \"Amount\".\"Count\"");
  TfmFormula formula(work.Settings(), margin);
  shoot(formula, "formula");

  TfmDimMap map(Model());
  map.Tree().setCurrentItem(map.Tree().topLevelItem(0)->child(0));
  shoot(map, "dim_map");

  Model().SavePivotState("By region");
  TfmIcons states(Model());
  states.Popup(QPoint(0, 0));
  shoot(states, "pivot_states");
}

}  // namespace
}  // namespace qd::test
