// The fact-table editor: its records and headers, the navigator, editing the
// fields that allow it through the table, and how OK and Cancel treat an edit
// in progress.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include "design/fact_table_editor.h"
#include "engine/data/memo_dataset.h"
#include "qt_test_app.h"

namespace qd::test {
namespace {

// A cell's records: the value first, then a read-only member caption.
std::unique_ptr<TvtMemoDataSet> CellRecords() {
  auto ds = std::make_unique<TvtMemoDataSet>();
  ds->AddFieldDef("amnt", TFieldType::ftFloat, 0, "保费收入");
  ds->AddFieldDef("city", TFieldType::ftString, 12, "市级机构");
  ds->SetCapacity(3);
  ds->Open();
  const std::pair<double, const char*> rows[] = {{1.5, "杭州"}, {2.25, "湖州"}, {-3, "嘉兴"}};
  for (const auto& [v, city] : rows) {
    ds->Append();
    ds->Fields(0).SetValue(v);
    ds->Fields(1).SetValue(std::string(city));
    ds->Post();
  }
  ds->Fields(1).SetReadOnly(true);
  ds->First();
  return ds;
}

std::string Text(const QAbstractItemModel& m, int row, int col) {
  return m.data(m.index(row, col)).toString().toStdString();
}

double Value(TvtMemoDataSet& ds, int recNo) {
  ds.SetRecNo(recNo);
  return ds.Fields(0).AsFloat();
}

TEST(FactTableEditor, ShowsTheRecordsUnderTheFieldLabelsWithABrowsingNavigator) {
  TestApp();
  auto ds = CellRecords();
  TFactTableEditor editor;
  EXPECT_EQ(editor.windowTitle().toStdString(), "事实表编辑器");
  EXPECT_EQ(editor.OkButton().text().toStdString(), "确定(&O)");
  EXPECT_EQ(editor.CancelButton().text().toStdString(), "取消(&C)");
  editor.SetDataSet(ds.get());
  const QAbstractItemModel& m = *editor.Table().model();
  ASSERT_EQ(m.rowCount(), 3);
  EXPECT_EQ(m.headerData(0, Qt::Horizontal).toString().toStdString(), "保费收入");
  EXPECT_EQ(Text(m, 1, 0), "2.25");
  EXPECT_EQ(Text(m, 2, 1), "嘉兴");

  using B = TFactTableEditor;
  const std::pair<B::TNavButton, const char*> shown[] = {
      {B::nbFirst, "首记录"}, {B::nbPrior, "上一记录"}, {B::nbNext, "下一记录"},
      {B::nbLast, "末记录"}, {B::nbRefresh, "刷新"}};
  for (const auto& [b, hint] : shown) {
    ASSERT_TRUE(editor.NavButton(b));
    EXPECT_EQ(editor.NavButton(b)->toolTip().toStdString(), hint);
  }
  for (B::TNavButton b : {B::nbInsert, B::nbDelete, B::nbEdit, B::nbPost, B::nbCancel})
    EXPECT_EQ(editor.NavButton(b), nullptr) << "no editing buttons";

  EXPECT_EQ(editor.CurrentRecNo(), 1);
  editor.NavButton(B::nbNext)->click();
  editor.NavButton(B::nbNext)->click();
  editor.NavButton(B::nbNext)->click();
  EXPECT_EQ(editor.CurrentRecNo(), 3) << "stops at the last";
  editor.NavButton(B::nbPrior)->click();
  EXPECT_EQ(editor.CurrentRecNo(), 2);
  editor.NavButton(B::nbFirst)->click();
  EXPECT_EQ(editor.CurrentRecNo(), 1);
  editor.NavButton(B::nbLast)->click();
  EXPECT_EQ(editor.CurrentRecNo(), 3);
}

TEST(FactTableEditor, EditsTheFieldsThatAllowItThroughTheTable) {
  TestApp();
  auto ds = CellRecords();
  TFactTableEditor editor;
  editor.SetDataSet(ds.get());
  editor.show();
  QTableView& table = editor.Table();
  QAbstractItemModel& m = *table.model();
  EXPECT_FALSE(m.flags(m.index(0, 1)) & Qt::ItemIsEditable) << "read-only caption";
  ASSERT_TRUE(m.flags(m.index(1, 0)) & Qt::ItemIsEditable);

  // Typing into the cell and pressing Enter, as a user does.
  table.setCurrentIndex(m.index(1, 0));
  table.edit(m.index(1, 0));
  auto* line = table.findChild<QLineEdit*>();
  ASSERT_TRUE(line);
  EXPECT_EQ(line->text().toStdString(), "2.25") << "every digit, as text";
  line->setText("8.75");
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(line, &enter);
  QApplication::processEvents();  // the delegate commits on a queued call
  EXPECT_EQ(Value(*ds, 2), 8.75);
  EXPECT_EQ(Text(m, 1, 0), "8.75");
  // Text that is no number is refused and the value stays.
  EXPECT_FALSE(m.setData(m.index(1, 0), "abc"));
  EXPECT_EQ(Value(*ds, 2), 8.75);
  // Every field read-only: nothing is editable.
  ds->Fields(0).SetReadOnly(true);
  EXPECT_FALSE(m.flags(m.index(1, 0)) & Qt::ItemIsEditable);
}

TEST(FactTableEditor, OkPostsAnEditInProgressAndCancelDropsIt) {
  TestApp();
  auto ds = CellRecords();
  {
    TFactTableEditor editor;
    editor.SetDataSet(ds.get());
    editor.OkButton().click();  // nothing in progress: just OK
    EXPECT_EQ(editor.result(), QDialog::Accepted);
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
  }
  ds->SetRecNo(1);
  ds->Edit();
  ds->Fields(0).SetValue(4.0);
  {
    TFactTableEditor editor;
    editor.SetDataSet(ds.get());
    editor.OkButton().click();
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
  }
  EXPECT_EQ(Value(*ds, 1), 4);
  ds->SetRecNo(1);
  ds->Edit();
  ds->Fields(0).SetValue(5.0);
  {
    TFactTableEditor editor;
    editor.SetDataSet(ds.get());
    editor.CancelButton().click();
    EXPECT_EQ(editor.result(), QDialog::Rejected);
  }
  EXPECT_EQ(Value(*ds, 1), 4);
}

TEST(FactTableEditor, ExecuteRunsModallyAndTellsWhetherOkClosedIt) {
  TestApp();
  auto ds = CellRecords();
  TFactTableEditor editor;
  QTimer::singleShot(0, &editor, [&] { editor.OkButton().click(); });
  EXPECT_TRUE(editor.Execute(*ds));
  EXPECT_EQ(editor.DataSet(), nullptr) << "the dataset is let go";
  QTimer::singleShot(0, &editor, [&] { editor.CancelButton().click(); });
  EXPECT_FALSE(editor.Execute(*ds));
}

}  // namespace
}  // namespace qd::test
