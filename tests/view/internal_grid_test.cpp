// The internal grid: its size from the layout, header geometry when scrolled,
// expanding labels from their buttons, wrapped row heights, the cell grid's
// errors and keyboard navigation.
#include <QKeyEvent>
#include <QMouseEvent>

#include "engine/core/errors.h"
#include "export/grid_layout.h"
#include "model/format_mask.h"
#include "view/text_lines.h"
#include "view_test_grid.h"

namespace qd::test {
namespace {

void ExpectSizedLike(const TInternalGrid& grid, const TGridLayout& layout) {
  EXPECT_EQ(grid.ColCount(), layout.ColCount());
  EXPECT_EQ(grid.RowCount(), layout.RowCount());
  EXPECT_EQ(grid.FixedCols(), layout.R() + layout.RQ());
  EXPECT_EQ(grid.FixedRows(), layout.C() + layout.CS());
}

TEST_F(ViewGrid, GridTakesItsSizeFromTheLayoutForEachArrangement) {
  ASSERT_TRUE(Grid().LayoutValid());
  ExpectSizedLike(Grid(), TGridLayout(Model()));
  EXPECT_EQ(Grid().FixedCols(), 1);
  EXPECT_EQ(Grid().FixedRows(), 4);  // one column-header row and three caption rows

  // Columns only: a spare header column.
  Model().MoveDim(kRegion, TDimGroup::dgCol, 0);
  Model().MoveDim(kProduct, TDimGroup::dgPage, 0);
  Drain();
  EXPECT_EQ(Grid().Layout().RQ(), 1);
  ExpectSizedLike(Grid(), TGridLayout(Model()));

  // Nothing on rows or columns: no spare column, still one data row and column.
  Model().MoveDim(kRegion, TDimGroup::dgPage, 0);
  Model().MoveDim(kYear, TDimGroup::dgPage, 0);
  Drain();
  EXPECT_EQ(Grid().Layout().RQ(), 0);
  EXPECT_EQ(Grid().FixedCols(), 0);
  EXPECT_GE(Grid().RowCount() - Grid().FixedRows(), 1);
  ExpectSizedLike(Grid(), TGridLayout(Model()));

  // An inactive model leaves one empty cell.
  cube.Deactivate();
  Drain();
  EXPECT_FALSE(Grid().LayoutValid());
  EXPECT_EQ(Grid().ColCount(), 1);
  EXPECT_EQ(Grid().RowCount(), 1);
  EXPECT_EQ(Grid().FixedCols(), 0);
  EXPECT_EQ(Grid().FixedRows(), 0);
}

TEST_F(ViewGrid, ExpandedRowLabelCoversTheRowsOfItsLeavesAndStopsBeforeItsChildren) {
  Model().ExpandAll(Model().DimensionState(kRegion));
  Drain();
  ASSERT_EQ(Grid().Layout().R(), 2);
  Grid().ComputeGeometry();
  const TLabelNode* north = RowLabel("North");
  ASSERT_TRUE(north && !north->Children.empty());
  const TLabelNode* first = north->Children.front().get();
  const TLabelNode* last = north->Children.back().get();
  EXPECT_EQ(north->Rect.Top, first->Rect.Top);
  EXPECT_EQ(north->Rect.Bottom, last->Rect.Bottom);
  EXPECT_EQ(north->Rect.Left, 0);
  EXPECT_EQ(north->Rect.Right, Grid().ColLeft(1) - 2) << "column 0 only, less its grid line";
  EXPECT_EQ(first->Rect.Left, Grid().ColLeft(1));
  // A collapsed label reaches the last header column.
  const TLabelNode* total = Model().RowTree().back().get();
  EXPECT_TRUE(total->IsTotal());
  EXPECT_EQ(total->Rect.Left, 0);
  EXPECT_EQ(total->Rect.Right, Grid().FixedWidth() - 2);
}

TEST_F(ViewGrid, RebuildKeepingTheViewShiftsItByTheChangeOfHeaderRows) {
  Grid().SetTopRow(Grid().FixedRows() + 1);
  const int before = Grid().TopRow() - Grid().FixedRows();
  Model().SetLowestSubLevelNode(TSubLevelNodeType::ltSummary);  // two caption rows fewer
  Grid().ModelChanged(TChangeKind::ckWordWrap);                 // a kind that keeps the view
  EXPECT_EQ(Grid().FixedRows(), 2);
  EXPECT_EQ(Grid().TopRow() - Grid().FixedRows(), before);
}

TEST_F(ViewGrid, MergedColumnLabelScrolledPartlyOutStartsLeftOfTheBand) {
  Grid().SetDefaultColWidth(60);
  Grid().ComputeGeometry();
  // The first year label spans the two summary columns under it.
  const TLabelNode& year = *Model().ColTree().front();
  const int firstData = Grid().FixedCols();
  EXPECT_EQ(year.Rect.Left, Grid().ColLeft(firstData));
  EXPECT_EQ(year.Rect.Right, Grid().ColLeft(firstData + 1) + 60 - 1);

  Grid().SetLeftCol(firstData + 1);  // its first column scrolled out
  Grid().ComputeGeometry();
  EXPECT_EQ(year.Rect.Left, Grid().FixedWidth() - 61);
  EXPECT_EQ(year.Rect.Right, Grid().FixedWidth() + 59);

  // A label wholly scrolled out is not placed at all (no hits on it).
  Grid().SetLeftCol(firstData + 2);
  Grid().ComputeGeometry();
  EXPECT_LT(year.Rect.Right, year.Rect.Left);
  EXPECT_EQ(Model().FindLabelNode(Model().ColTree(), Grid().FixedWidth() - 10, 5), nullptr);
}

TEST_F(ViewGrid, PaintingDrawsAMergedLabelAsOneRectangle) {
  control->VisualSettings().SetLabelColor(QColor(200, 220, 255));
  control->show();
  Grid().SetDefaultColWidth(60);
  const QImage img = Grid().viewport()->grab().toImage();
  const TLabelNode& year = *Model().ColTree().front();
  // No grid line between the two columns the label covers: the pixel on the
  // column boundary inside the label has the label's colour.
  const int boundary = Grid().ColLeft(Grid().FixedCols()) + 60;
  EXPECT_EQ(QColor(img.pixel(boundary, (year.Rect.Top + year.Rect.Bottom) / 2)),
            QColor(200, 220, 255));
}

// Sends a left click to the viewport at `pos`.
void Click(TInternalGrid& grid, QPoint pos) {
  QMouseEvent press(QEvent::MouseButtonPress, pos, grid.viewport()->mapToGlobal(pos),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(grid.viewport(), &press);
  QMouseEvent release(QEvent::MouseButtonRelease, pos, grid.viewport()->mapToGlobal(pos),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(grid.viewport(), &release);
}

QPoint Centre(const TGridButton& b) {
  return {(b.Rect.Left + b.Rect.Right) / 2, (b.Rect.Top + b.Rect.Bottom) / 2};
}

TEST_F(ViewGrid, ClickingTheButtonsOfALabelExpandsAndCollapsesIt) {
  Grid().ComputeGeometry();
  TLabelNode* north = RowLabel("North");
  ASSERT_TRUE(north && north->NextDimButton);
  Click(Grid(), Centre(*north->NextDimButton));
  Drain();
  north = RowLabel("North");
  ASSERT_TRUE(north->ExpandedIntoNext);
  ASSERT_FALSE(north->Children.empty());
  EXPECT_EQ(Grid().FixedCols(), 2) << "Product's column appears";

  // The child Fruit shows a children button that opens its hierarchy.
  Grid().ComputeGeometry();
  TLabelNode* fruit = north->Children.front().get();
  ASSERT_TRUE(fruit->HierarchyButton);
  Click(Grid(), Centre(*fruit->HierarchyButton));
  Drain();
  north = RowLabel("North");
  fruit = north->Children.front().get();
  EXPECT_TRUE(fruit->ExpandedIntoHierarchy);

  Grid().ComputeGeometry();
  Click(Grid(), Centre(*fruit->HierarchyButton));
  Drain();
  EXPECT_FALSE(RowLabel("North")->Children.front()->ExpandedIntoHierarchy);

  Grid().ComputeGeometry();
  north = RowLabel("North");
  Click(Grid(), Centre(*north->NextDimButton));
  Drain();
  EXPECT_FALSE(RowLabel("North")->IsExpanded());
  EXPECT_EQ(Grid().FixedCols(), 1);
}

TEST_F(ViewGrid, AClickBesideTheButtonsChangesNothing) {
  Grid().ComputeGeometry();
  TLabelNode* north = RowLabel("North");
  Click(Grid(), QPoint(north->Rect.Right - 3, north->Rect.Bottom - 2));
  EXPECT_EQ(Model().PendingNotifications(), 0u);
  EXPECT_FALSE(RowLabel("North")->IsExpanded());
}

TEST_F(ViewGrid, MouseEventsReachTheControlsHandlersAndTheirErrorsTheMessageBox) {
  TShownMessages shown;
  std::vector<std::string> seen;
  control->OnInternalGridMouseDown = [&](TCustomVantraGrid& sender, Qt::MouseButton,
                                         Qt::KeyboardModifiers, int x, int y) {
    EXPECT_EQ(&sender, control.get());
    seen.push_back(std::to_string(x) + "," + std::to_string(y));
    throw ECubeError("handler failed");
  };
  Click(Grid(), QPoint(300, 300));
  EXPECT_EQ(seen, (std::vector<std::string>{"300,300"}));
  EXPECT_EQ(shown.Messages, (std::vector<std::string>{"handler failed"}));
}

TEST_F(ViewGrid, WordWrapGrowsRowsWhoseLabelNeedsMoreLines) {
  control->VisualSettings().SetWordWrap(true);
  Drain();
  // Labels are one column of 64 pixels less 17 for the button: "南方" fits.
  const int first = Grid().FixedRows();
  for (int r = first; r < Grid().RowCount(); ++r)
    EXPECT_EQ(Grid().RowHeight(r), Grid().DefaultRowHeight());

  control->SetDefaultColWidth(30);  // now every caption needs several lines
  Grid().RebuildLayout();
  const QFontMetrics fm(control->VisualSettings().LabelFont());
  const auto lines = WrapWords("North", 30 - 17 - 2, [&fm](const std::string& s) {
    return fm.horizontalAdvance(QString::fromStdString(s));
  });
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(Grid().RowHeight(first), WrappedRowHeight(static_cast<int>(lines.size()), fm.height(),
                                                      Grid().DefaultRowHeight()));
  control->VisualSettings().SetWordWrap(false);
  Drain();
  EXPECT_EQ(Grid().RowHeight(first), Grid().DefaultRowHeight());
}

TEST_F(ViewGrid, DataCellsUseTheFormatMaskAndFormatNullsOnlyWhenAsked) {
  for (int d : {kRegion, kProduct}) Model().ExpandAll(Model().DimensionState(d));
  Drain();
  int row = -1, col = -1;
  for (int r = 0; r < Model().RowLineCount() && row < 0; ++r)
    for (int c = 0; c < Model().DataColumnCount(); ++c)
      if (!Model().GetCellValue(r, c).HasValue) {
        row = r;
        col = c;
        break;
      }
  ASSERT_GE(row, 0) << "the expanded pivot has empty cells";
  EXPECT_EQ(Grid().CellText(col, row), "");
  control->VisualSettings().SetFormatNulls(true);
  EXPECT_EQ(Grid().CellText(col, row), "0.00");
  const TCellValue v = Model().GetCellValue(0, 0);
  ASSERT_TRUE(v.HasValue);
  EXPECT_EQ(Grid().CellText(0, 0), TFormatMask("0.00").Format(v.Value));
}

TEST_F(ViewGrid, ColourHintPaintsTheComparableCellsFromBlueToRed) {
  control->VisualSettings().SetDataColor(QColor(255, 255, 225));
  Model().BuildColoredCells(0, 0);
  const TColoredCells& set = Model().ColoredCells();
  ASSERT_FALSE(set.Empty());
  const TColoredCell cell = set.Cells.front();
  const QRect r = Grid().CellRect(Grid().FixedCols() + cell.Column, Grid().FixedRows() + cell.Row);
  const QPoint probe(r.left() + 1, r.bottom() - 1);                   // off the text
  Grid().SetCurrent(Grid().FixedCols() + 5, Grid().FixedRows() + 1);  // away from the probe
  EXPECT_EQ(QColor(Grid().viewport()->grab().toImage().pixel(probe)), QColor(255, 255, 225))
      << "no hint until it is shown";
  Grid().SetColorHintActive(true);
  const TCellValue v = Model().GetCellValue(cell.Row, cell.Column);
  ASSERT_TRUE(v.HasValue);
  EXPECT_EQ(QColor(Grid().viewport()->grab().toImage().pixel(probe)),
            ColorHintColor(v.Value, set.Minimum, set.Maximum, TvtcColorSchema::vtcHighestIsHot));
  control->VisualSettings().SetShowColorHint(false);
  EXPECT_EQ(QColor(Grid().viewport()->grab().toImage().pixel(probe)), QColor(255, 255, 225));
}

TEST_F(ViewGrid, DraggingAColumnBoundaryInTheHeaderSizesTheColumn) {
  const int col = Grid().FixedCols();
  const int boundary = Grid().ColLeft(col) + Grid().ColWidth(col);
  const QPoint from(boundary, 5), to(boundary + 40, 5);
  QMouseEvent press(QEvent::MouseButtonPress, from, Grid().viewport()->mapToGlobal(from),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Grid().viewport(), &press);
  QMouseEvent move(QEvent::MouseMove, to, Grid().viewport()->mapToGlobal(to), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Grid().viewport(), &move);
  QMouseEvent release(QEvent::MouseButtonRelease, to, Grid().viewport()->mapToGlobal(to),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(Grid().viewport(), &release);
  EXPECT_EQ(Grid().ColWidth(col), control->DefaultColWidth() + 40);
  EXPECT_EQ(Grid().ColWidth(col + 1), control->DefaultColWidth());
}

TEST(CellGrid, RaisesTheGridErrorsAndShrinksFixedCountsWithTheGrid) {
  TestApp();
  TVantraGrid control;
  TInternalGrid& g = control.InternalGrid();
  g.SetColCount(5);
  g.SetRowCount(4);
  auto message = [](auto&& f) {
    try {
      f();
    } catch (const EInvalidGridOperation& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message([&] { g.SetFixedRows(4); }), "Fixed row count must be less than row count");
  EXPECT_EQ(message([&] { g.SetFixedCols(5); }),
            "Fixed column count must be less than column count");
  EXPECT_EQ(message([&] { g.SetFixedCols(-1); }), "Grid index out of range");
  EXPECT_EQ(message([&] { (void)g.ColWidth(5); }), "Grid index out of range");
  g.SetFixedCols(3);
  g.SetColCount(0);
  EXPECT_EQ(g.ColCount(), 1);
  EXPECT_EQ(g.FixedCols(), 0);
  g.SetColCount(4);
  g.SetColWidth(2, 33);
  EXPECT_EQ(g.ColWidth(2), 33);
  g.SetDefaultColWidth(50);
  EXPECT_EQ(g.ColWidth(2), 50) << "a new default drops individual widths";
}

void Key(TInternalGrid& g, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent e(QEvent::KeyPress, key, mods);
  QApplication::sendEvent(&g, &e);
}

TEST(CellGrid, KeyboardMovesTheCurrentCellAndShiftExtendsTheSelection) {
  TestApp();
  TVantraGrid control;
  TInternalGrid& g = control.InternalGrid();
  g.SetColCount(6);
  g.SetRowCount(6);
  g.SetFixedCols(1);
  g.SetFixedRows(1);
  g.SetCurrent(1, 1);
  Key(g, Qt::Key_Right);
  Key(g, Qt::Key_Down);
  EXPECT_EQ(g.Current(), (TGridCoord{2, 2}));
  Key(g, Qt::Key_Right, Qt::ShiftModifier);
  Key(g, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(g.Selection(), QRect(QPoint(2, 2), QPoint(3, 3)));
  Key(g, Qt::Key_End);
  EXPECT_EQ(g.Current(), (TGridCoord{5, 3}));
  EXPECT_EQ(g.Selection(), QRect(QPoint(5, 3), QPoint(5, 3)))
      << "moving without Shift moves the anchor";
  Key(g, Qt::Key_Tab);
  EXPECT_EQ(g.Current(), (TGridCoord{1, 4})) << "Tab wraps to the next row";
  Key(g, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(g.Current(), (TGridCoord{1, 1}));
  Key(g, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(g.Current(), (TGridCoord{5, 5})) << "Shift+Tab wraps from the first cell to the last";
  Key(g, Qt::Key_Up);
  Key(g, Qt::Key_Left);
  EXPECT_EQ(g.Current(), (TGridCoord{4, 4}));
}

TEST(CellGrid, ControlArrowsScrollAndPageKeysMoveByAScreenLessOne) {
  TestApp();
  TVantraGrid control;
  TInternalGrid& g = control.InternalGrid();
  control.resize(400, 300);
  control.show();  // lays the grid out (offscreen)
  g.SetColCount(40);
  g.SetRowCount(40);
  g.SetFixedCols(1);
  g.SetFixedRows(1);
  g.SetCurrent(1, 1);
  const int rows = g.VisibleRowCount() - 1, cols = g.VisibleColCount() - 1;
  ASSERT_GT(rows, 0);
  ASSERT_GT(cols, 0);
  Key(g, Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(g.TopRow(), 2);
  EXPECT_EQ(g.Current(), (TGridCoord{1, 1})) << "Ctrl+Down scrolls without moving";
  Key(g, Qt::Key_Up, Qt::ControlModifier);
  EXPECT_EQ(g.TopRow(), 1);
  Key(g, Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(g.LeftCol(), 1 + cols);
  EXPECT_EQ(g.Current(), (TGridCoord{1 + cols, 1}));
  Key(g, Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(g.Current(), (TGridCoord{1, 1}));
  Key(g, Qt::Key_PageDown);
  EXPECT_EQ(g.Current(), (TGridCoord{1, 1 + rows}));
  const int top = g.TopRow();
  Key(g, Qt::Key_PageDown, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(g.Current().Y, top + rows) << "Ctrl+PageDown goes a screen below the top row";
  EXPECT_EQ(g.Selection().top(), 1 + rows) << "Shift keeps the anchor";
  Key(g, Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(g.Current().Y, g.TopRow());
  Key(g, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(g.Current(), (TGridCoord{39, 39}));
}

}  // namespace
}  // namespace qd::test

namespace qd::test {
namespace {

TEST(CellGrid, InPlaceEditorCommitsItsTextWhenItClosesOrTheCurrentCellMoves) {
  TestApp();
  TVantraGrid control;
  control.resize(600, 400);
  control.show();
  TInternalGrid& g = control.InternalGrid();
  g.SetColCount(5);
  g.SetRowCount(5);
  g.SetFixedCols(1);
  g.SetFixedRows(1);
  std::vector<std::string> commits;
  g.OnEditorCommit = [&](int col, int row, const std::string& text) {
    commits.push_back(std::to_string(col) + "," + std::to_string(row) + "=" + text);
  };
  g.SetCurrent(1, 1);
  Key(g, Qt::Key_F2);
  EXPECT_FALSE(g.EditorMode()) << "no editor without hgEditing";
  TVantraGridOptions options = g.Options();
  options.Set(TVantraGridOption::hgEditing, true);
  g.SetOptions(options);
  Key(g, Qt::Key_F2);
  ASSERT_TRUE(g.EditorMode());
  EXPECT_EQ(g.Editor()->geometry(), g.CellRect(1, 1));
  g.Editor()->insertPlainText("12.5");
  // Esc and Tab stay in the editor; Enter selects all of the text.
  for (int key : {Qt::Key_Escape, Qt::Key_Tab, Qt::Key_Return}) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(g.Editor(), &e);
  }
  EXPECT_TRUE(g.EditorMode());
  EXPECT_EQ(g.Editor()->toPlainText().toStdString(), "12.5");
  EXPECT_EQ(g.Editor()->textCursor().selectedText().toStdString(), "12.5");
  g.SetCurrent(2, 1);  // the editor follows the current cell
  EXPECT_TRUE(g.EditorMode());
  EXPECT_TRUE(g.Editor()->toPlainText().isEmpty());
  g.Editor()->insertPlainText("x");
  g.HideEditor();
  EXPECT_FALSE(g.EditorMode());
  EXPECT_EQ(commits, (std::vector<std::string>{"1,1=12.5", "2,1=x"}));
}

}  // namespace
}  // namespace qd::test
