// The main window's grid as the user meets it on a built-in cube: total and
// label colours, drill-through into the fact-table editor, the fact-table
// refresh that keeps figures, Qt's dialogs in Chinese and errors with the
// critical icon.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QAction>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "app/cube_design_form.h"
#include "app/data_module.h"
#include "app/grid_handlers.h"
#include "app/workbench.h"
#include "design/fact_table_editor.h"
#include "export/grid_export_structure.h"
#include "temp_folder.h"
#include "tests/app/workbench_fixture.h"
#include "tests/view/qt_test_app.h"
#include "view/internal_grid.h"
#include "view/vantra_grid.h"

namespace qd::test {
namespace {

using qd::testing::TTempFolder;

class WorkbenchGrid : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    // A copy of the demo database, which the refresh test changes.
    std::filesystem::copy_file(QD_DEMO_DB, folder.Path("demo.db"));
    setenv("QD_DEMO_DB", folder.Path("demo.db").c_str(), 1);
    wb = std::make_unique<TWorkbench>(folder.Folder());
    ASSERT_TRUE(ShowFirstBuiltinCube(*wb));
    ASSERT_TRUE(Cells().LayoutValid());
  }
  void TearDown() override {
    wb.reset();
    unsetenv("QD_DEMO_DB");
  }
  TVantraGrid& Grid() { return wb->Form->Grid(); }
  TInternalGrid& Cells() { return Grid().InternalGrid(); }
  TGridInfo& Model() { return Grid().Model(); }
  //! The grand total of the first summary's Sum.
  double GrandTotal() {
    const int row = Model().RowLineCount() - 1;
    for (int c = 0; c < Model().DataColumnCount(); ++c) {
      const TLabelNode* column = Model().GetColumnLine(c);
      const TDataColumnInfo info = Model().DescribeDataColumn(c);
      if ((!column || column->IsTotal()) && info.Summary == 0 && info.Function == 0 &&
          info.SubFunction == 0)
        return Model().GetCellValue(row, c).Value;
    }
    ADD_FAILURE() << "no grand total column";
    return 0;
  }
  std::string GridText() {
    auto snapshot = BuildGridExportStructure(Model());
    return snapshot ? ExportGridText(Model(), *snapshot) : std::string();
  }
  void Refresh() {
    QAction* refresh = wb->Form->FindAction("更新事实表");
    ASSERT_TRUE(refresh);
    refresh->trigger();
    Grid().ProcessModelNotifications();
  }
  void Sql(const std::string& statement) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(folder.Path("demo.db").c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
  }

  TTempFolder folder;
  TShownMessages shown;
  std::unique_ptr<TWorkbench> wb;
};

TEST_F(WorkbenchGrid, TotalsArePaleYellowAndLabelsBlueOrPurple) {
  TInternalGrid& cells = Cells();
  cells.ComputeGeometry();
  const QImage img = cells.viewport()->grab().toImage();
  // The last row is the grand total: its cells are pale yellow (probed off the text).
  const int totalRow = cells.FixedRows() + Model().RowLineCount() - 1;
  const QRect total = cells.CellRect(cells.FixedCols(), totalRow);
  ASSERT_LT(total.bottom(), img.height()) << "the total row is on screen";
  EXPECT_EQ(QColor(img.pixel(total.left() + 1, total.bottom() - 1)), kTotalCellColor);
  const QRect plain = cells.CellRect(cells.FixedCols() + 1, cells.FixedRows());
  EXPECT_NE(QColor(img.pixel(plain.left() + 1, plain.bottom() - 1)), kTotalCellColor);

  // Label text: purple on the total label, blue on an expandable one. The
  // glyphs are left out, and smoothed text is judged by its hue.
  enum TInk { inkOther, inkBlue, inkPurple };
  auto inkOf = [&](const TLabelNode& label) {
    int blue = 0, purple = 0;
    const int glyphs = (label.NextDimButton ? 1 : 0) + (label.HierarchyButton ? 1 : 0);
    for (int x = label.Rect.Left + 2 + 17 * glyphs; x < label.Rect.Right - 2; ++x)
      for (int y = label.Rect.Top + 2; y < label.Rect.Bottom - 2; ++y) {
        const QColor c = img.pixel(x, y);
        if (c.blue() > c.red() + 80 && c.blue() > c.green() + 80) ++blue;
        if (c.red() > c.green() + 50 && c.blue() > c.green() + 50 &&
            std::abs(c.red() - c.blue()) < 60)
          ++purple;
      }
    return blue > 3 && purple == 0 ? inkBlue : purple > 3 && blue == 0 ? inkPurple : inkOther;
  };
  const TLabelNode& first = *Model().RowTree().front();
  ASSERT_TRUE(first.HasButton());
  EXPECT_EQ(inkOf(first), inkBlue);
  EXPECT_EQ(inkOf(*Model().RowTree().back()), inkPurple);
}

// Scrolled with the keys so that the first branch's first rows are out of
// view, its merged label is drawn clipped at the top of the rows, caption
// included, and stays so while the window goes on with its events.
TEST_F(WorkbenchGrid, ALabelScrolledPartlyOutIsDrawnClippedWithItsCaption) {
  Model().ExpandAll(Model().DimensionState(Model().RowDims().front()));
  Grid().ProcessModelNotifications();
  TInternalGrid& cells = Cells();
  const TLabelNode* first = Model().RowTree().front().get();
  ASSERT_GE(first->Children.size(), 4u);
  cells.setFocus();
  for (int i = 0; i < 3; ++i) QTest::keyClick(&cells, Qt::Key_Down, Qt::ControlModifier);
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  Grid().ProcessModelNotifications();
  ASSERT_EQ(cells.TopRow(), cells.FixedRows() + 3);
  cells.ComputeGeometry();
  first = Model().RowTree().front().get();
  EXPECT_LT(first->Rect.Top, cells.FixedHeight()) << "the merged cell starts above the rows";
  EXPECT_GT(first->Rect.Bottom, cells.FixedHeight());
  const QImage img = cells.viewport()->grab().toImage();
  int blue = 0;
  const int glyphs = (first->NextDimButton ? 1 : 0) + (first->HierarchyButton ? 1 : 0);
  for (int x = first->Rect.Left + 2 + 17 * glyphs; x < first->Rect.Right - 2; ++x)
    for (int y = cells.FixedHeight() + 2; y < cells.FixedHeight() + 18; ++y) {
      const QColor c = img.pixel(x, y);
      if (c.blue() > c.red() + 80 && c.blue() > c.green() + 80) ++blue;
    }
  EXPECT_GT(blue, 3) << "the branch's caption is drawn in the part still in view";
}

TEST_F(WorkbenchGrid, DoubleClickOpensTheFactEditorAndAnAcceptedEditChangesTheFigure) {
  TInternalGrid& cells = Cells();
  const double before = GrandTotal();
  const double firstValue = Model().GetCellValue(0, 0).Value;
  std::string title;
  int rows = 0;
  QTimer::singleShot(0, [&] {
    auto* editor = dynamic_cast<TFactTableEditor*>(QApplication::activeModalWidget());
    if (!editor) return;
    title = editor->windowTitle().toStdString();
    QAbstractItemModel& m = *editor->Table().model();
    rows = m.rowCount();
    const double old = m.data(m.index(0, 0), Qt::EditRole).toDouble();
    m.setData(m.index(0, 0), QString::number(old + 100, 'f', 2));
    editor->OkButton().click();
  });
  const QPoint at = cells.CellRect(cells.FixedCols(), cells.FixedRows()).center();
  for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                         QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
    QMouseEvent e(t, at, cells.viewport()->mapToGlobal(at), Qt::LeftButton,
                  t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(cells.viewport(), &e);
  }
  Grid().ProcessModelNotifications();
  EXPECT_EQ(title, "事实表编辑器");
  EXPECT_GT(rows, 0);
  EXPECT_NEAR(Model().GetCellValue(0, 0).Value, firstValue + 100, 1e-6);
  EXPECT_NEAR(GrandTotal(), before + 100, 1e-6);
  EXPECT_TRUE(shown.Messages.empty());
}

TEST_F(WorkbenchGrid, RefreshKeepsEveryFigureAndShowsNewRowsOnce) {
  const std::string grid = GridText();
  const double total = GrandTotal();
  Refresh();
  Refresh();
  EXPECT_EQ(GridText(), grid) << "an unchanged database gives unchanged figures";
  ASSERT_TRUE(shown.Messages.empty()) << shown.Messages.front();

  // A row of a year the cube has not seen: a new member, counted once.
  Sql("INSERT INTO f_premium SELECT corp_flag, mgr_branch, '2025-02-01', channel_code, pol_code, "
      "moneyin_itrvl, pay_time, stat_type, 1000.25, total_num FROM f_premium "
      "WHERE corp_flag = 'G' LIMIT 1");
  Refresh();
  Refresh();
  EXPECT_NEAR(GrandTotal(), total + 1000.25, 1e-6);
  EXPECT_NE(GridText().find("2025年"), std::string::npos);
}

TEST_F(WorkbenchGrid, QtDialogsSpeakChineseAndErrorsShowTheCriticalIcon) {
  EXPECT_TRUE(InstallChineseTranslations());
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK").toStdString(), "确定");
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "取消");

  // Without a handler an error comes up in a box with the critical icon.
  const TShowMessage previous = SetMessageHandler(nullptr);
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      icon = box->icon();
      box->accept();
    }
  });
  Guard([] { throw std::runtime_error("失败"); });
  SetMessageHandler(previous);
  EXPECT_EQ(icon, QMessageBox::Critical);
}

}  // namespace
}  // namespace qd::test
