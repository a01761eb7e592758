// The header cells' interactions, driven by the events a user produces: the
// region under the mouse, the context menus of titles, labels, summary and
// function headers, the menu key, and the value sort from header clicks.
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>

#include "model/pivot_cells.h"
#include "view/explain_change_form.h"
#include "view/quick_menu.h"
#include "view_test_grid.h"

namespace qd::test {
namespace {

using Strings = std::vector<std::string>;

QPoint Centre(const TGridRect& r) {
  return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
}

class GridMenus : public ViewGrid {
 protected:
  void SetUp() override {
    ViewGrid::SetUp();
    control->FunctionDefs().EnsureStandard();
    for (int f = 0; f < control->FunctionDefs().Count(); ++f)
      control->FunctionDefs().Items(f).DisplayName = FunctionDisplayName(f);
    Grid().ComputeGeometry();
  }
  void TearDown() override {
    Grid().QuickMenu().hide();
    if (Grid().KeyboardMenu()) Grid().KeyboardMenu()->hide();
  }
  //! A right click at a viewport point; the menu it showed, or nullptr.
  TQuickMenu* RightClick(QPoint pos) {
    Grid().ComputeGeometry();
    QContextMenuEvent e(QContextMenuEvent::Mouse, pos, Grid().viewport()->mapToGlobal(pos));
    QApplication::sendEvent(Grid().viewport(), &e);
    return Grid().QuickMenu().isVisible() ? &Grid().QuickMenu() : nullptr;
  }
  QPoint CellCentre(int col, int row) { return Grid().CellRect(col, row).center(); }
  //! Where the top-level row label of a caption lies.
  QPoint LabelCentre(const std::string& caption) {
    Grid().ComputeGeometry();
    const TLabelNode* label = RowLabel(caption);
    EXPECT_TRUE(label) << caption;
    return label ? Centre(label->Rect) : QPoint(-1, -1);
  }
  //! Chooses the item with this id, as a click on it would.
  void Choose(TQuickMenu& menu, int id) {
    TQuickMenuItem* item = menu.FindItem(id);
    ASSERT_TRUE(item) << "no item " << id;
    item->trigger();
    menu.hide();
    Drain();
  }
  void LeftClick(QPoint pos) {
    QMouseEvent press(QEvent::MouseButtonPress, pos, Grid().viewport()->mapToGlobal(pos),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Grid().viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, pos, Grid().viewport()->mapToGlobal(pos),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Grid().viewport(), &release);
    Drain();
  }
};

//! Top-level captions, "-" for separators, "[x]" before checked items.
Strings Captions(const QMenu& menu) {
  Strings out;
  for (QAction* a : menu.actions())
    out.push_back(a->isSeparator() ? "-"
                                   : (a->isChecked() ? "[x]" : "") + a->text().toStdString());
  return out;
}

TEST_F(GridMenus, RegionsFollowTheLayoutNumbers) {
  // One row-header column (R = 1), one column-header row (C = 1), three caption rows.
  ASSERT_EQ(Grid().Layout().R(), 1);
  ASSERT_EQ(Grid().Layout().C(), 1);
  ASSERT_EQ(Grid().Layout().CS(), 3);
  const struct {
    int Col, Row;
    TGridRegion Region;
  } cases[] = {{0, 0, TGridRegion::grColTitle}, {0, 1, TGridRegion::grRowTitle},
               {0, 3, TGridRegion::grRowTitle}, {0, 4, TGridRegion::grRowLabel},
               {1, 0, TGridRegion::grColLabel}, {1, 1, TGridRegion::grSummary},
               {2, 2, TGridRegion::grFunction}, {3, 3, TGridRegion::grSubFunction},
               {1, 4, TGridRegion::grData},     {4, 5, TGridRegion::grData}};
  for (const auto& c : cases)
    EXPECT_EQ(Grid().RegionAt(CellCentre(c.Col, c.Row)), c.Region) << c.Col << "," << c.Row;
  const int right = Grid().ColLeft(Grid().ColCount() - 1) + Grid().ColWidth(Grid().ColCount() - 1);
  if (right + 5 < Grid().viewport()->width()) {
    EXPECT_EQ(Grid().RegionAt(QPoint(right + 5, 5)), TGridRegion::grNone);
  }
}

TEST_F(GridMenus, DimensionTitleMenuSetsTheTotalsAndExpandsTheDimension) {
  // Region is not the last row dimension: the expand items follow the totals.
  TQuickMenu* menu = RightClick(CellCentre(0, 2));
  ASSERT_TRUE(menu);
  EXPECT_EQ(Captions(*menu), (Strings{"在第一条记录中显示合计(&F)", "[x]在最后一条记录中显示合计(&L)",
                                      "不显示合计(&N)", "-", "扩展所有节点", "收缩所有节点"}));
  EXPECT_EQ(menu->FindItem(700001)->actionGroup() != nullptr, true) << "a radio item";
  Choose(*menu, 700000);
  EXPECT_EQ(Model().DimensionState(kRegion).TotalAppearance, TTotalAppearance::taFirst);
  EXPECT_TRUE(Model().RowTree().front()->IsTotal());

  menu = RightClick(CellCentre(0, 2));
  ASSERT_TRUE(menu);
  Choose(*menu, quick_id::kExpandAll);
  EXPECT_EQ(Grid().FixedCols(), 2) << "Product's labels appear";
  menu = RightClick(CellCentre(0, 2));
  ASSERT_TRUE(menu);
  Choose(*menu, quick_id::kCollapseAll);
  EXPECT_EQ(Grid().FixedCols(), 1);

  // Year is the only column dimension and flat: the totals items only.
  menu = RightClick(CellCentre(0, 0));
  ASSERT_TRUE(menu);
  EXPECT_EQ(Captions(*menu).size(), 3u);
  Choose(*menu, 700002);
  EXPECT_EQ(Model().DimensionState(kYear).TotalAppearance, TTotalAppearance::taInvisible);
}

TEST_F(GridMenus, LabelMenuExpandsAndHidesAndShowsMembersAgain) {
  TQuickMenu* menu = RightClick(LabelCentre("North"));
  ASSERT_TRUE(menu);
  EXPECT_EQ(Captions(*menu), (Strings{"扩展节点", "-", "隐藏下面的所有维度成员",
                                      "隐藏该维度外的所有维度成员"}));
  Choose(*menu, quick_id::kHideFollowing);
  EXPECT_EQ(Model().RowLineCount(), 2) << "North and the total";
  EXPECT_TRUE(Model().DimensionState(kRegion).FilterActive);

  menu = RightClick(LabelCentre("North"));
  ASSERT_TRUE(menu);
  EXPECT_EQ(Captions(*menu).back(), "显示所有维度成员");
  Choose(*menu, quick_id::kShowAllMembers);
  EXPECT_EQ(Model().RowLineCount(), 3) << "West has no facts and no row";

  menu = RightClick(LabelCentre("南方"));
  ASSERT_TRUE(menu);
  Choose(*menu, quick_id::kHideOthers);
  EXPECT_EQ(Model().RowLineCount(), 2);
  EXPECT_TRUE(RowLabel("南方"));

  // Expanding from the menu, then collapsing.
  menu = RightClick(LabelCentre("南方"));
  ASSERT_TRUE(menu);
  Choose(*menu, quick_id::kExpandNode);
  ASSERT_TRUE(RowLabel("南方")->ExpandedIntoNext);
  menu = RightClick(LabelCentre("南方"));
  ASSERT_TRUE(menu);
  EXPECT_EQ(Captions(*menu).front(), "收缩节点");
  Choose(*menu, quick_id::kCollapseNode);
  EXPECT_FALSE(RowLabel("南方")->IsExpanded());

  // The grand total stands for no member: no menu at all.
  Grid().ComputeGeometry();
  EXPECT_EQ(RightClick(Centre(Model().RowTree().back()->Rect)), nullptr);
}

TEST_F(GridMenus, GroupSubmenusAppearOnceTheDimensionHasGroupsAndMoveMembers) {
  TDimensionState& region = Model().DimensionState(kRegion);
  region.AddGroup("东部");
  TQuickMenu* menu = RightClick(LabelCentre("南方"));
  ASSERT_TRUE(menu);
  EXPECT_EQ(Captions(*menu), (Strings{"扩展节点", "移动到组", "对以下所有成员进行分组", "-",
                                      "隐藏下面的所有维度成员", "隐藏该维度外的所有维度成员"}));
  EXPECT_EQ(Captions(*menu->actions()[1]->menu()), (Strings{"其它", "东部"}));
  EXPECT_EQ(Captions(*menu->actions()[2]->menu()), (Strings{"其它", "东部"}));
  EXPECT_EQ(menu->FindItem(600001)->text().toStdString(), "东部");
  Choose(*menu, 500001);
  ASSERT_EQ(region.Groups[1]->Children.size(), 1u);
  EXPECT_EQ(region.Groups[1]->Children.front()->Caption, "南方");

  // The members after North join the group; West, without facts, has no label.
  menu = RightClick(LabelCentre("North"));
  ASSERT_TRUE(menu);
  Choose(*menu, 600001);
  EXPECT_EQ(region.Groups[1]->Children.size(), 1u);
  // A group label is not offered the groups again.
  menu = RightClick(LabelCentre("东部"));
  ASSERT_TRUE(menu);
  EXPECT_FALSE(menu->FindItem(500000));
}

TEST_F(GridMenus, SummaryAndFunctionHeaderMenusToggleWhatTheColumnsShow) {
  const int columns = Model().DataColumnCount();
  TQuickMenu* menu = RightClick(CellCentre(1, 1));  // the Amount header
  ASSERT_TRUE(menu);
  Strings expected;
  for (int f = 0; f < kStandardFunctionCount; ++f)
    expected.push_back((f == 0 ? "[x]" : "") + FunctionDisplayName(f));
  EXPECT_EQ(Captions(*menu), expected);
  Choose(*menu, quick_id::kFunction + 1);  // Count
  EXPECT_TRUE(Model().SummarySettings().Items(0).Function(1).Visible());
  EXPECT_EQ(Model().DataColumnCount(), columns + 3) << "Count under 2024, 2025 and the total";

  // Hiding the only function of Qty is undone: a summary keeps one.
  const int qtyCol = Grid().FixedCols() + 2;
  menu = RightClick(CellCentre(qtyCol, 1));
  ASSERT_TRUE(menu);
  Choose(*menu, quick_id::kFunction + 0);
  EXPECT_TRUE(Model().SummarySettings().Items(1).Function(0).Visible());

  menu = RightClick(CellCentre(1, 2));  // Amount's Sum header
  ASSERT_TRUE(menu);
  ASSERT_EQ(Captions(*menu).size(), 9u);
  EXPECT_EQ(Captions(*menu)[0], "[x]Agg. value");
  EXPECT_EQ(Captions(*menu)[1], "Row rank");
  Choose(*menu, quick_id::kSubFunction + 1);
  EXPECT_TRUE(Model().SummarySettings().Items(0).Function(0).SubFunction(1).Visible);
}

// Weighted records (a cube aggregated in the database) hold no single facts:
// the function menu leaves out what needs them and says why in greyed lines.
TEST_F(GridMenus, FunctionMenuOfAGroupedCubeLeavesOutWhatNeedsSingleFacts) {
  WeighAsEqualFacts(*cube.Facts(), [](std::int32_t) { return 1.0; });
  cube.Notify(TCubeChange::ccActiveChanged);
  Drain();
  TQuickMenu* menu = RightClick(CellCentre(1, 1));  // the Amount header
  ASSERT_TRUE(menu);
  Strings expected;
  for (int f = 0; f < kStandardFunctionCount; ++f)
    if (f != static_cast<int>(TFunction::stMedian) && f != static_cast<int>(TFunction::stMeanAbsDev))
      expected.push_back((f == 0 ? "[x]" : "") + FunctionDisplayName(f));
  expected.insert(expected.end(), {"-", "在数据库中汇总的Cube不含单条记录，无法计算平均偏差",
                                   "在数据库中汇总的Cube不含单条记录，无法计算中位数"});
  EXPECT_EQ(Captions(*menu), expected);
  const QList<QAction*> items = menu->actions();
  EXPECT_FALSE(items.back()->isEnabled());
  EXPECT_TRUE(items.front()->isEnabled());
}

TEST_F(GridMenus, HeadersBelowTheLowestLevelShownHaveNoMenu) {
  Model().SetLowestSubLevelNode(TSubLevelNodeType::ltFunction);
  Drain();
  EXPECT_TRUE(RightClick(CellCentre(1, 1)));
  Grid().QuickMenu().hide();
  EXPECT_FALSE(RightClick(CellCentre(1, 2))) << "function header without sub-functions";
  Model().SetLowestSubLevelNode(TSubLevelNodeType::ltSummary);
  Drain();
  EXPECT_FALSE(RightClick(CellCentre(1, 1)));
  // And none at all without popups.
  Model().SetLowestSubLevelNode(TSubLevelNodeType::ltSubFunction);
  control->VisualSettings().SetShowPopups(false);
  Drain();
  EXPECT_FALSE(RightClick(LabelCentre("North")));
}

TEST_F(GridMenus, ClicksOnASubFunctionHeaderCycleTheValueSort) {
  const QPoint amount = CellCentre(1, 3), qty = CellCentre(2, 3);
  std::vector<int> states;
  for (int i = 0; i < 4; ++i) {
    LeftClick(amount);
    states.push_back(Model().ValueSortData().State);
  }
  EXPECT_EQ(states, (std::vector<int>{0, 1, 2, 0}));
  EXPECT_EQ(Model().ValueSortData().SummaryIndex, 0);
  LeftClick(qty);
  EXPECT_EQ(Model().ValueSortData().State, 0);
  EXPECT_EQ(Model().ValueSortData().SummaryIndex, 1);
  // The member rows follow: empty cells first, then ascending by 2024's Qty.
  std::vector<double> order;
  for (int r = 0; r + 1 < Model().RowLineCount(); ++r) {
    const TCellValue v = Model().GetCellValue(r, 1);
    order.push_back(v.HasValue ? v.Value : -1);
  }
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
  EXPECT_EQ(order.size(), 2u);
}

TEST_F(GridMenus, MenuKeyOffersTheHeadersOfTheCurrentCellAndOpensTheirMenus) {
  Grid().setFocus();
  Grid().SetCurrent(Grid().FixedCols(), Grid().FixedRows());
  QKeyEvent menuKey(QEvent::KeyPress, Qt::Key_Menu, Qt::NoModifier);
  QApplication::sendEvent(&Grid(), &menuKey);
  ASSERT_TRUE(Grid().KeyboardMenu() && Grid().KeyboardMenu()->isVisible());
  EXPECT_EQ(Captions(*Grid().KeyboardMenu()),
            (Strings{"North", "2024", "Sum", "Amount", "Region", "Year"}))
      << "labels and headers from the cell outwards, then the titles";
  Grid().KeyboardMenu()->actions()[1]->trigger();
  Grid().KeyboardMenu()->hide();
  QApplication::processEvents();
  ASSERT_TRUE(Grid().QuickMenu().isVisible());
  EXPECT_TRUE(Grid().QuickMenu().ColumnAxis);
  EXPECT_EQ(Captions(Grid().QuickMenu()).back(), "隐藏该维度外的所有维度成员");
  Grid().QuickMenu().hide();

  // Shift+F10 does the same.
  QKeyEvent shiftF10(QEvent::KeyPress, Qt::Key_F10, Qt::ShiftModifier);
  QApplication::sendEvent(&Grid(), &shiftF10);
  EXPECT_TRUE(Grid().KeyboardMenu()->isVisible());
}

// Amount's Sum with its change against the previous year. North: 10 in 2024
// (shop), 20.5 in 2025 (web).
class CellMenu : public GridMenus {
 protected:
  void SetUp() override {
    GridMenus::SetUp();
    Model().SummarySettings().Items(0).Function(0).SubFunction(sfCompareWithPrevByRow).Visible =
        true;
    Model().BeginUpdate();
    Model().EndUpdate(TChangeKind::ckDataColumns);
    Drain();
    Grid().ComputeGeometry();
  }
  //! The grid cell of a row line and a column line's data column.
  QPoint Cell(const std::string& row, const std::string& column, int subFunction) {
    for (int r = 0; r < Model().RowLineCount(); ++r) {
      if (PathText(Model(), Model().GetRowLine(r)) != row) continue;
      for (int c = 0; c < static_cast<int>(Model().DataColumns().size()); ++c) {
        const TDataColumnInfo info = Model().DescribeDataColumn(c);
        if (info.Summary == 0 && info.SubFunction == subFunction &&
            PathText(Model(), Model().GetColumnLine(c)) == column)
          return CellCentre(c + Grid().FixedCols(), r + Grid().FixedRows());
      }
    }
    ADD_FAILURE() << row << " / " << column;
    return {};
  }
  static std::vector<Strings> TableRows(const QTableWidget& table) {
    std::vector<Strings> rows;
    for (int r = 0; r < table.rowCount(); ++r) {
      Strings row;
      for (int c = 0; c < table.columnCount(); ++c)
        row.push_back(table.item(r, c)->text().toStdString());
      rows.push_back(row);
    }
    return rows;
  }
};

TEST_F(CellMenu, ExplainChangeRanksTheMembersOfTheChosenDimension) {
  // Only a change against a previous year can be explained.
  for (QPoint at : {Cell("North", "2025", sfValue), Cell("North", "2024", sfCompareWithPrevByRow)}) {
    TQuickMenu* menu = RightClick(at);
    ASSERT_TRUE(menu);
    EXPECT_EQ(Captions(*menu), (Strings{"解释变化…"}));
    EXPECT_FALSE(menu->FindItem(quick_id::kExplainChange)->isEnabled());
    menu->hide();
  }
  TQuickMenu* menu = RightClick(Cell("North", "2025", sfCompareWithPrevByRow));
  ASSERT_TRUE(menu);
  ASSERT_TRUE(menu->FindItem(quick_id::kExplainChange)->isEnabled());
  Choose(*menu, quick_id::kExplainChange);
  auto* form = control->findChild<TExplainChangeForm*>();
  ASSERT_TRUE(form);
  EXPECT_TRUE(form->isVisible());
  // The page dimension is offered first: web +20.5, shop −10 of a change of 10.5.
  EXPECT_EQ(form->DimensionBox().currentText().toStdString(), "Channel");
  EXPECT_NE(form->DeltaLabel().text().toStdString().find("10.5"), std::string::npos);
  EXPECT_EQ(TableRows(form->Table()),
            (std::vector<Strings>{{"Web", "20.5", "195.24%"}, {"Shop", "-10", "-95.24%"}}));
  form->DimensionBox().setCurrentText("Product");
  EXPECT_EQ(TableRows(form->Table()),
            (std::vector<Strings>{{"Pear", "20.5", "195.24%"}, {"Apple", "-10", "-95.24%"}}));
  form->TopBox().setValue(1);
  EXPECT_EQ(form->Table().rowCount(), 1);
  form->close();
}

// The menu key offers it too, before the cell's headers, where it applies.
TEST_F(CellMenu, MenuKeyOffersExplainChangeOnACellThatHasOne) {
  auto pressMenuKey = [this](QPoint at) {
    const TGridCoord cell = Grid().MouseCoord(at.x(), at.y());
    Grid().setFocus();
    Grid().SetCurrent(cell.X, cell.Y);
    QKeyEvent menuKey(QEvent::KeyPress, Qt::Key_Menu, Qt::NoModifier);
    QApplication::sendEvent(&Grid(), &menuKey);
    EXPECT_TRUE(Grid().KeyboardMenu() && Grid().KeyboardMenu()->isVisible());
    return Grid().KeyboardMenu() ? Captions(*Grid().KeyboardMenu()) : Strings{};
  };
  EXPECT_EQ(pressMenuKey(Cell("North", "2025", sfValue)).front(), "North");
  Grid().KeyboardMenu()->hide();
  ASSERT_EQ(pressMenuKey(Cell("North", "2025", sfCompareWithPrevByRow)).front(), "解释变化…");
  Grid().KeyboardMenu()->actions().front()->trigger();
  Grid().KeyboardMenu()->hide();
  QApplication::processEvents();
  ASSERT_TRUE(Grid().QuickMenu().isVisible());
  EXPECT_TRUE(Grid().QuickMenu().FindItem(quick_id::kExplainChange)->isEnabled());
  Grid().QuickMenu().hide();
}

TEST_F(GridMenus, ExpandAllAsksFirstAboveTheSizeLimits) {
  control->VisualSettings().LayoutLimits.Cells = 10;
  std::vector<std::string> asked;
  TLargeLayoutChoice answer = TLargeLayoutChoice::lcCancel;
  control->AskLargeLayout = [&](const TLayoutEstimate& e, const std::string& largest) {
    asked.push_back(largest + " " + std::to_string(e.Cells));
    return answer;
  };
  TQuickMenu* menu = RightClick(CellCentre(0, 2));  // Region's title
  ASSERT_TRUE(menu);
  Choose(*menu, quick_id::kExpandAll);
  // Every node and total line of Region, Product and Year, for Amount and Qty.
  EXPECT_EQ(asked, (Strings{"Product 280"}));
  EXPECT_EQ(Grid().FixedCols(), 1) << "cancelled: nothing expanded";
  EXPECT_EQ(Model().PendingNotifications(), 0u);

  answer = TLargeLayoutChoice::lcGoOn;
  menu = RightClick(CellCentre(0, 2));
  Choose(*menu, quick_id::kExpandAll);
  EXPECT_EQ(Grid().FixedCols(), 2) << "Product's labels appear";
}

}  // namespace
}  // namespace qd::test
