// The dimension-map editor's window driven through real events: drops that
// carry the drag's own MIME data, F2 and Del on the tree, the context menu,
// the panels following the selection, and the accept button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QSpinBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include "cube_test_util.h"
#include "design/dimension_map_form.h"
#include "qt_test_app.h"
#include "view/quick_menu.h"

namespace qd::test {
namespace {

using enum TMapRoot;

class DimensionMapForm : public ::testing::Test {
 protected:
  void SetUp() override {
    Facts = MakeTable("qrFact",
                      {{"region", TFieldType::ftString},
                       {"year", TFieldType::ftInteger},
                       {"amnt", TFieldType::ftFloat}},
                      {{S("N"), I(2021), D(1.5)}, {S("S"), I(2022), D(2.5)}});
    Cube.SetDataSet(Facts.get());
    Cube.RefreshDimensionMap();
    Cube.PlaceAsDimension("region", TDimGroup::dgRow);
    Cube.MarkAsSummary("amnt");
    ASSERT_TRUE(Form.Prepare(nullptr, Cube));
    Form.AddDataSetName("qrFact");
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
  }
  QTreeWidgetItem* Item(TMapRoot r, int child = -1) {
    TMapNode& root = Form.Editor().Root(r);
    return Form.ItemOf(child < 0 ? &root : &root.Child(child));
  }
  QTreeWidgetItem* Fact(const std::string& field) {
    TMapNode& root = Form.Editor().Root(mrFacts);
    for (int i = 0; i < root.Count(); ++i)
      if (root.Child(i).Field()->BaseFieldName == field) return Form.ItemOf(&root.Child(i));
    return nullptr;
  }
  //! The open in-place editor (closed ones wait for their deletion).
  QLineEdit* InPlaceEditor() {
    for (QLineEdit* e : Form.Tree().viewport()->findChildren<QLineEdit*>())
      if (e->isVisible()) return e;
    return nullptr;
  }
  QPoint Center(QTreeWidgetItem* item) {
    Form.Tree().scrollToItem(item);
    return Form.Tree().visualItemRect(item).center();
  }
  //! Drags `from` onto `to` the way the tree's own drag would.
  void Drop(QTreeWidgetItem* from, QTreeWidgetItem* to) {
    Form.Tree().setCurrentItem(from);
    const QModelIndex index = Form.Tree().currentIndex();
    std::unique_ptr<QMimeData> mime(Form.Tree().model()->mimeData({index}));
    ASSERT_NE(mime, nullptr);
    const QPoint at = Center(to);
    QDragEnterEvent enter(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Form.Tree().viewport(), &enter);
    QDragMoveEvent move(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Form.Tree().viewport(), &move);
    EXPECT_TRUE(move.isAccepted());
    QDropEvent drop(QPointF(at), Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Form.Tree().viewport(), &drop);
  }

  QApplication& App = TestApp();  // before any widget
  std::unique_ptr<TMemoryTable> Facts;
  TVantra Cube;
  TDimensionMapForm Form;
};

TEST_F(DimensionMapForm, DropsCarryTheNodeAndThePanelsFollowTheSelection) {
  Item(mrFacts)->setExpanded(true);
  Drop(Fact("year"), Item(mrCols));
  ASSERT_EQ(Form.Editor().Root(mrCols).Count(), 1);
  QTreeWidgetItem* year = Item(mrCols, 0);
  EXPECT_EQ(year->text(0).toStdString(), "year {Field: \"year\"; Integer}");
  EXPECT_EQ(Form.Tree().currentItem(), year);
  EXPECT_EQ(Form.ShownPanel()->objectName(), "DimensionPanel");
  EXPECT_EQ(Form.ItemHeader().text().toStdString(), "Dimension");
  EXPECT_FALSE(Form.TransformGroupBox->isHidden()) << "an integer field offers ranges";

  // A drop on a placed dimension inserts before it; the region row moves.
  Drop(Item(mrRows, 0), year);
  EXPECT_EQ(Form.Editor().Root(mrRows).Count(), 0);
  EXPECT_EQ(Item(mrCols, 0)->text(0).toStdString(), "region {Field: \"region\"; String}");
  EXPECT_TRUE(Form.TransformGroupBox->isHidden());

  QTest::mouseClick(Form.Tree().viewport(), Qt::LeftButton, {}, Center(Item(mrSummaries, 0)));
  EXPECT_EQ(Form.ShownPanel()->objectName(), "NoPropPanel");
  EXPECT_EQ(Form.ItemHeader().text().toStdString(), "Summary");
}

TEST_F(DimensionMapForm, F2RenamesInPlaceAndDelRemoves) {
  QTreeWidgetItem* region = Item(mrRows, 0);
  QTest::mouseClick(Form.Tree().viewport(), Qt::LeftButton, {}, Center(region));
  QTest::keyClick(&Form.Tree(), Qt::Key_F2);
  auto* edit = InPlaceEditor();
  ASSERT_NE(edit, nullptr) << "F2 opens the in-place editor";
  EXPECT_EQ(edit->text().toStdString(), "region");
  edit->selectAll();
  QTest::keyClicks(edit, "Area");
  QTest::keyClick(edit, Qt::Key_Return);
  QApplication::processEvents();  // the delegate commits after the key
  EXPECT_EQ(Item(mrRows, 0)->text(0).toStdString(), "Area {Field: \"region\"; String}");

  // An empty name keeps the old one.
  QTest::keyClick(&Form.Tree(), Qt::Key_F2);
  edit = InPlaceEditor();
  ASSERT_NE(edit, nullptr);
  edit->clear();
  QTest::keyClick(edit, Qt::Key_Return);
  QApplication::processEvents();  // the delegate commits after the key
  EXPECT_EQ(Item(mrRows, 0)->text(0).toStdString(), "Area {Field: \"region\"; String}");

  QTest::keyClick(&Form.Tree(), Qt::Key_Delete);
  EXPECT_EQ(Form.Editor().Root(mrRows).Count(), 0);
  // Roots stay.
  QTest::mouseClick(Form.Tree().viewport(), Qt::LeftButton, {}, Center(Item(mrRows)));
  QTest::keyClick(&Form.Tree(), Qt::Key_Delete);
  EXPECT_NE(Item(mrRows), nullptr);
}

TEST_F(DimensionMapForm, TheContextMenuCreatesACompositeThatTakesPartsByDrops) {
  QTreeWidgetItem* pages = Item(mrPages);
  const QPoint at = Center(pages);
  QContextMenuEvent menu(QContextMenuEvent::Mouse, at, Form.Tree().viewport()->mapToGlobal(at));
  QApplication::sendEvent(Form.Tree().viewport(), &menu);
  TQuickMenu& quick = Form.QuickMenu();
  ASSERT_TRUE(quick.isVisible());
  ASSERT_EQ(quick.Items().size(), 1u);
  EXPECT_EQ(quick.Items()[0]->text().toStdString(), "创建一个复合维度");
  quick.Items()[0]->trigger();
  quick.hide();

  // The new composite is being renamed: finish it.
  auto* edit = InPlaceEditor();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->text().toStdString(), "--- 新的复合维度 ---");
  edit->setText("Place");
  QTest::keyClick(edit, Qt::Key_Return);
  QApplication::processEvents();  // the delegate commits after the key

  Item(mrFacts)->setExpanded(true);
  Drop(Fact("region"), Item(mrPages, 0));
  Drop(Fact("year"), Item(mrPages, 0));
  TMapNode& place = Form.Editor().Root(mrPages).Child(0);
  EXPECT_EQ(place.Field()->ComposedFields, "region; year");
  EXPECT_EQ(Form.ShownPanel()->objectName(), "DimComponentPanel");

  Form.AcceptButton().click();
  EXPECT_EQ(Form.result(), QDialog::Accepted);
  const TDimSum* stored = nullptr;
  for (int i = 0; i < Cube.DimensionMap().Count(); ++i)
    if (Cube.DimensionMap()[i].Composite) stored = &Cube.DimensionMap()[i];
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->DisplayName, "Place");
  EXPECT_EQ(stored->DimGroup, TDimGroup::dgPage);
  EXPECT_EQ(stored->DimCollection().Count(), 2);
  Cube.SetActive(true);
  EXPECT_EQ(Cube.DimensionCount(), 2);
}

TEST_F(DimensionMapForm, ThePreviewButtonShowsTheFirstRowsAndTheMemberCounts) {
  TMapPreview shown;
  Form.ShowPreview = [&](const TMapPreview& p) { shown = p; };
  QTest::mouseClick(&Form.PreviewButton(), Qt::LeftButton);
  EXPECT_EQ(shown.Rows.size(), 2u);
  ASSERT_EQ(shown.Dimensions.size(), 1u);
  EXPECT_EQ(shown.Dimensions[0].Members, 2);
}

TEST_F(DimensionMapForm, AMemberCountErrorIsReportedAndTheWindowClosesWithTheMapUnchanged) {
  Item(mrFacts)->setExpanded(true);
  Drop(Fact("year"), Item(mrRows));
  Form.EnableTransformationCB->click();
  EXPECT_TRUE(Form.scMemberCountEdit->isEnabled());
  EXPECT_FALSE(Form.DataSetCombo->isEnabled());
  // The spin box refuses 0; a value still failing the check comes from the
  // editor's own values.
  Form.Editor().DimPanel.MemberCount = "0";
  const int before = Cube.DimensionMap().Count();
  TShownMessages shown;
  Form.AcceptButton().click();
  EXPECT_EQ(shown.Messages, std::vector<std::string>{"成员数目一定是一个合法的且大于0的值"});
  EXPECT_EQ(Form.result(), QDialog::Accepted);
  EXPECT_EQ(Cube.DimensionMap().Count(), before);
  EXPECT_EQ(Cube.DimensionMap().FindPlain("year")->DimSumType, TDimSumType::dsUnknown);
}

}  // namespace
}  // namespace qd::test
