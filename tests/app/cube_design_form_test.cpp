// The main window without a display: the catalog of a program folder, the
// start-up sequence, opening a cube from each branch with its error message,
// and the commands of the Cube menu.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>

#include "app/cube_design_form.h"
#include "app/data_module.h"
#include "app/workbench.h"
#include "temp_folder.h"
#include "tests/view/qt_test_app.h"
#include "view/internal_grid.h"
#include "view/pivot_panels.h"
#include "view/vantra_grid.h"

namespace qd::test {
namespace {

using qd::testing::TTempFolder;
using Strings = std::vector<std::string>;

Strings Children(const QTreeWidgetItem* item) {
  Strings out;
  for (int i = 0; i < item->childCount(); ++i) out.push_back(item->child(i)->text(0).toStdString());
  return out;
}

int Image(const QTreeWidgetItem* item) {
  return item->data(0, Qt::UserRole + 1).toInt();
}

class MainWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("QD_DEMO_DB", QD_DEMO_DB, 1); }
  void SetUp() override { TestApp(); }

  std::unique_ptr<TWorkbench> Start() {
    auto wb = std::make_unique<TWorkbench>(folder.Folder());
    wb->Form->FormActivate();
    return wb;
  }
  void Select(TCubeDesignForm& form, const Strings& path) {
    QTreeWidgetItem* node = form.FindNode(path);
    ASSERT_NE(node, nullptr);
    form.MainTreeView().setCurrentItem(node);
    QApplication::processEvents();
  }
  std::string FirstInternalName(TWorkbench& wb) { return wb.DataModule->DBCubes[0].Name; }

  TTempFolder folder;
  TShownMessages shown;
};

TEST_F(MainWindow, CatalogListsSubfolderCubesDefinitionsAndInternalCubesInNameOrder) {
  folder.Write("LocaleCube/top.vtc", "x");  // directly in LocaleCube: not listed
  folder.Write("LocaleCube/B/y.vtc", "x");
  folder.Write("LocaleCube/B/x.vtc", "x");
  folder.Write("LocaleCube/B/notes.txt", "x");
  folder.Write("LocaleCube/A/z.vtc", "x");
  folder.Write("LocaleCube/A/deep/w.vtc", "x");  // deeper: not listed
  folder.Write("r2.cfd", "");
  folder.Write("r1.cfd", "");
  folder.Write("readme.txt", "");
  auto wb = Start();
  TCubeDesignForm& form = *wb->Form;
  QTreeWidget& tree = form.MainTreeView();
  ASSERT_EQ(tree.topLevelItemCount(), 3);
  EXPECT_EQ(tree.topLevelItem(0)->text(0).toStdString(), "本地Cube");
  EXPECT_EQ(Children(tree.topLevelItem(0)), (Strings{"A", "B"}));
  EXPECT_EQ(Children(tree.topLevelItem(0)->child(0)), (Strings{"z"}));
  EXPECT_EQ(Children(tree.topLevelItem(0)->child(1)), (Strings{"x", "y"}));
  EXPECT_EQ(tree.topLevelItem(1)->text(0).toStdString(), "实时Cube");
  EXPECT_EQ(Children(tree.topLevelItem(1)), (Strings{"r1", "r2"}));
  EXPECT_EQ(tree.topLevelItem(2)->text(0).toStdString(), "内部Cube");
  EXPECT_EQ(tree.topLevelItem(2)->childCount(), wb->DataModule->BuiltinCount());
  EXPECT_EQ(Image(tree.topLevelItem(0)), 0);
  EXPECT_EQ(Image(tree.topLevelItem(0)->child(1)), 1);
  EXPECT_EQ(Image(tree.topLevelItem(0)->child(1)->child(0)), 2);
  EXPECT_EQ(Image(tree.topLevelItem(2)->child(0)), 2);

  EXPECT_EQ(form.windowTitle().toStdString(), "Quarrydesk（For 高级分析人员）");
  EXPECT_EQ(form.StatusPanel(0).text().toStdString(), "请选择Cube体");
  EXPECT_EQ(form.StatusPanel(2).text().toStdString(), "Version 2.00");
  EXPECT_FALSE(form.FirstActivation());

  // A later activation does not rebuild the catalog.
  folder.Write("r3.cfd", "");
  form.FormActivate();
  EXPECT_EQ(Children(tree.topLevelItem(1)), (Strings{"r1", "r2"}));

  // Selecting a folder or a branch root changes nothing.
  Select(form, {"本地Cube", "A"});
  Select(form, {"内部Cube"});
  EXPECT_EQ(form.StatusPanel(0).text().toStdString(), "请选择Cube体");
  EXPECT_EQ(form.RptEdit().text().toStdString(), "显示报表名称");
  EXPECT_EQ(form.Grid().Vantra(), nullptr);
  EXPECT_TRUE(shown.Messages.empty());
}

TEST_F(MainWindow, InternalCubeOpensAndSavesToALocalCubeThatTheCatalogOpensAgain) {
  {
    auto wb = Start();
    TCubeDesignForm& form = *wb->Form;
    const std::string name = FirstInternalName(*wb);
    Select(form, {"内部Cube", name});
    ASSERT_TRUE(shown.Messages.empty()) << shown.Messages.front();
    ASSERT_NE(form.Grid().Vantra(), nullptr);
    EXPECT_EQ(form.Grid().Vantra(), &wb->DataModule->BuiltinCube(0));
    EXPECT_TRUE(form.Grid().Vantra()->Active());
    EXPECT_EQ(form.RptEdit().text().toStdString(), name);
    EXPECT_EQ(form.StatusPanel(0).text().toStdString(), name);
    QApplication::processEvents();
    EXPECT_TRUE(form.Grid().InternalGrid().LayoutValid());
    EXPECT_FALSE(form.Grid().Area(TDimGroup::dgRow).Panels().empty());

    std::filesystem::create_directories(folder.Path("LocaleCube/B"));
    form.SaveLocalCube(folder.Path("LocaleCube/B/saved.vtc"));
    EXPECT_EQ(form.CurrentCubeFile(), folder.Path("LocaleCube/B/saved.vtc"));
    form.CloseCubeClick();
    EXPECT_FALSE(wb->DataModule->BuiltinCube(0).Active());
    form.OpenCubeMenuClick();
    EXPECT_TRUE(wb->DataModule->BuiltinCube(0).Active());
  }
  folder.Write("LocaleCube/B/broken.vtc", "not a cube");
  auto wb = Start();
  TCubeDesignForm& form = *wb->Form;
  Select(form, {"本地Cube", "B", "saved"});
  EXPECT_TRUE(shown.Messages.empty());
  EXPECT_EQ(form.Grid().Vantra(), &wb->DataModule->Vantra1);
  EXPECT_TRUE(wb->DataModule->Vantra1.Active());

  // A file that does not load: the message, and the grid still on the working cube.
  Select(form, {"本地Cube", "B", "broken"});
  ASSERT_EQ(shown.Messages.size(), 1u);
  EXPECT_EQ(shown.Messages[0].rfind("Cube打开错误！出错信息：\r", 0), 0u) << shown.Messages[0];
  EXPECT_EQ(form.Grid().Vantra(), &wb->DataModule->Vantra1);
}

TEST_F(MainWindow, FailedActivationShowsTheErrorOnceAndLeavesTheCubeBoundButInactive) {
  auto wb = Start();
  TCubeDesignForm& form = *wb->Form;
  wb->DataModule->BuiltinFact(1).SetSQL("select no_such_column from no_such_table");
  const std::string name = wb->DataModule->DBCubes[1].Name;
  Select(form, {"内部Cube", name});
  ASSERT_EQ(shown.Messages.size(), 1u);
  EXPECT_EQ(shown.Messages[0].rfind("Cube打开错误！出错信息：\r", 0), 0u);
  EXPECT_EQ(form.Grid().Vantra(), &wb->DataModule->BuiltinCube(1));
  EXPECT_FALSE(wb->DataModule->BuiltinCube(1).Active());
  // Unattended, the same failure shows nothing.
  EXPECT_FALSE(form.RealTimeCube(name, true));
  EXPECT_EQ(shown.Messages.size(), 1u);
  EXPECT_TRUE(form.RealTimeCube("no such cube", false));
}

TEST_F(MainWindow, DefinitionWithoutItsFilesReportsWhyItWasNotBuilt) {
  folder.Write("broken.cfd", "[Cube]\n");
  auto wb = Start();
  Select(*wb->Form, {"实时Cube", "broken"});
  EXPECT_EQ(shown.Messages.size(), 1u);
  EXPECT_FALSE(wb->DataModule->Vantra1.Active());
}

// The check box of the status bar, clicked, makes the next definition build
// send its first aggregation to the database: one weighted record per
// combination of members, and no median on offer; clicked again, every row.
TEST_F(MainWindow, InDatabaseBoxBuildsDefinitionsFromGroupedRows) {
  folder.Write("conn.txt", std::string("Provider=SQLite;Data Source=") + QD_DEMO_DB + ";Mode=Read");
  folder.Write("query.sql", "SELECT mgr_branch, channel_code, amnt FROM f_premium");
  folder.Write("grouped.cfd",
               "[DB]\nConnectString=conn.txt\nQueryString=query.sql\n"
               "[Cube]\nDgRow1=mgr_branch\nDgCol1=channel_code\nDgSum1=amnt\n");
  auto wb = Start();
  TCubeDesignForm& form = *wb->Form;
  form.show();
  QCheckBox& box = form.InDatabaseBox();
  EXPECT_EQ(box.text().toStdString(), "在数据库中汇总");
  EXPECT_FALSE(box.isChecked());
  QTest::mouseClick(&box, Qt::LeftButton, {}, box.rect().center());
  ASSERT_TRUE(box.isChecked());
  Select(form, {"实时Cube", "grouped"});
  ASSERT_TRUE(shown.Messages.empty()) << shown.Messages.front();
  const TVantra& cube = wb->DataModule->Vantra1;
  ASSERT_TRUE(cube.Active());
  ASSERT_NE(cube.FactTable()->Weights(), nullptr);
  const std::int32_t groups = cube.FactTable()->RecordCount();
  EXPECT_FALSE(form.Grid().Model().FunctionOffered(static_cast<int>(TFunction::stMedian)));
  EXPECT_TRUE(form.Grid().Model().FunctionOffered(static_cast<int>(TFunction::stKurtosis)));

  QTest::mouseClick(&box, Qt::LeftButton, {}, box.rect().center());
  ASSERT_FALSE(box.isChecked());
  ASSERT_TRUE(form.MakeCFD(folder.Path("grouped.cfd")));
  ASSERT_TRUE(cube.Active());
  EXPECT_EQ(cube.FactTable()->Weights(), nullptr);
  EXPECT_GT(cube.FactTable()->RecordCount(), 10 * groups);
  EXPECT_TRUE(form.Grid().Model().FunctionOffered(static_cast<int>(TFunction::stMedian)));
}

TEST_F(MainWindow, ShowingTheWindowRunsTheStartUpSequenceOnce) {
  folder.Write("CubeConnection.ini", "no-such-driver://nowhere");
  TWorkbench wb(folder.Folder());
  TCubeDesignForm& form = *wb.Form;
  form.show();
  QApplication::processEvents();
  // The connection of CubeConnection.ini does not open: one message, and the
  // sequence stays due for the next activation.
  EXPECT_EQ(shown.Messages.size(), 1u);
  EXPECT_TRUE(form.FirstActivation());
  EXPECT_EQ(form.MainTreeView().topLevelItemCount(), 0);
  std::filesystem::remove(folder.Path("CubeConnection.ini"));
  form.hide();
  form.show();
  QApplication::processEvents();
  EXPECT_FALSE(form.FirstActivation());
  EXPECT_EQ(form.MainTreeView().topLevelItemCount(), 3);
  EXPECT_EQ(shown.Messages.size(), 1u);
}

// Unattended, a CubeConnection.ini that does not open stops nothing: every
// built-in cube is tried (failing fast here) and the log is written.
TEST_F(MainWindow, UnattendedGenerationGoesOnPastACubeConnectionIniThatFails) {
  folder.Write("CubeConnection.ini", "no-such-driver://nowhere");
  std::filesystem::create_directories(folder.Path("out"));
  TWorkbench wb(folder.Folder());
  for (int i = 0; i < wb.DataModule->BuiltinCount(); ++i)
    wb.DataModule->BuiltinFact(i).SetSQL("SELECT no_such_column FROM no_such_table");
  wb.Form->AutoSaveArgument = folder.Path("out");
  wb.Form->FormActivate();
  EXPECT_TRUE(shown.Messages.empty());
  EXPECT_FALSE(wb.Form->FirstActivation());
  EXPECT_TRUE(std::filesystem::exists(folder.Path("out/CubeAutoSave.log")));
}

TEST_F(MainWindow, HideTreeTogglesTheCatalogAndItsCaption) {
  auto wb = Start();
  TCubeDesignForm& form = *wb->Form;
  form.show();
  QAction& hide = form.HideTreeAction();
  EXPECT_EQ(hide.shortcut(), QKeySequence(Qt::Key_F4));
  hide.trigger();
  EXPECT_TRUE(form.MainTreeView().isHidden());
  EXPECT_EQ(hide.text().toStdString(), "显示Cube树");
  hide.trigger();
  EXPECT_FALSE(form.MainTreeView().isHidden());
  EXPECT_EQ(hide.text().toStdString(), "隐藏Cube树");
}

TEST_F(MainWindow, MenusHoldEveryCommandAndDisableThoseNotAvailableYet) {
  auto wb = Start();
  TCubeDesignForm& form = *wb->Form;
  for (const char* on : {"打开本地Cube...", "保存为本地Cube...", "打开当前Cube", "关闭当前Cube",
                         "更新事实表", "设计Cube", "打开Cube定义文件", "加密Cube定义文件", "退出",
                         "关于"}) {
    QAction* a = form.FindAction(on);
    ASSERT_NE(a, nullptr) << on;
    EXPECT_TRUE(a->isEnabled()) << on;
  }
  // Without an open cube the exports and prints are off.
  for (const char* off : {"XLS文件", "简单HTML报表", "XML for Analysis", "RTF",
                          "直接打印"}) {
    QAction* a = form.FindAction(off);
    ASSERT_NE(a, nullptr) << off;
    EXPECT_FALSE(a->isEnabled()) << off;
  }
  EXPECT_FALSE(form.FindAction("Metafile (WMF)")->isVisible());
  EXPECT_FALSE(form.FindAction("测试")->isVisible());
  EXPECT_EQ(form.FindAction("打开当前Cube")->shortcut(), QKeySequence("Ctrl+O"));
  // A command's error reaches the message box instead of escaping the slot.
  form.ChooseOpenFile = [this] { return folder.Write("bad.vtc", "garbage"); };
  form.FindAction("打开本地Cube...")->trigger();
  ASSERT_EQ(shown.Messages.size(), 1u);
  EXPECT_EQ(form.Grid().Vantra(), nullptr) << "a failed load leaves the grid as it was";
}

}  // namespace
}  // namespace qd::test
