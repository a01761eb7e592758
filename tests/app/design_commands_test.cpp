// The Cube menu's design commands in the main window: "设计Cube" opens the
// dimension-map editor on the grid's cube and rebuilds it from the accepted
// map; "加密Cube定义文件" and "打开Cube定义文件" pack a definition and build the
// working cube from the packed file.
#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QTreeWidget>
#include <cstdlib>

#include "app/cube_design_form.h"
#include "app/data_module.h"
#include "app/design_commands.h"
#include "app/workbench.h"
#include "design/dimension_map_form.h"
#include "temp_folder.h"
#include "tests/view/qt_test_app.h"
#include "view/vantra_grid.h"

namespace qd::test {
namespace {

using qd::testing::TTempFolder;
using Strings = std::vector<std::string>;

class DesignCommands : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("QD_DEMO_DB", QD_DEMO_DB, 1); }
  void SetUp() override {
    TestApp();
    wb = std::make_unique<TWorkbench>(folder.Folder());
    wb->Form->FormActivate();
  }
  TCubeDesignForm& Form() { return *wb->Form; }
  //! A definition over the demo database's sales channels.
  std::string WriteChannels() {
    folder.Write("conn.txt", std::string("Provider=SQLite;Data Source=") + QD_DEMO_DB);
    folder.Write("query.sql", "SELECT channel_name, 1 AS n, channel_code FROM d_channel");
    return folder.Write("channels.cfd",
                        "[DB]\r\nConnectString=conn.txt\r\nQueryString=query.sql\r\n"
                        "[Cube]\r\nDgRow1=channel_name;渠道\r\nDgSum1=n;件数\r\n");
  }
  void Trigger(const std::string& item) {
    QAction* a = Form().FindAction(item);
    ASSERT_NE(a, nullptr) << item;
    ASSERT_TRUE(a->isEnabled()) << item;
    a->trigger();
  }

  TTempFolder folder;
  TShownMessages shown;
  std::unique_ptr<TWorkbench> wb;
};

TEST_F(DesignCommands, DesignCubeEditsTheOpenCubesMapAndRebuildsIt) {
  Trigger("设计Cube");
  EXPECT_EQ(shown.Messages, Strings{"未指定任何Cube！"});

  ASSERT_TRUE(Form().DesignCommands().OpenDefinition(WriteChannels()));
  TCustomVantra* cube = Form().Grid().Vantra();
  ASSERT_TRUE(cube && cube->Active());
  Strings tables;
  Form().DesignCommands().ExecEditor = [&](TDimensionMapForm& form) {
    TDimensionMapEditor& e = form.Editor();
    tables = e.DataSetNames();
    e.DragDrop(&e.Root(TMapRoot::mrRows).Child(0), &e.Root(TMapRoot::mrPages));
    TMapNode& facts = e.Root(TMapRoot::mrFacts);
    for (int i = 0; i < facts.Count(); ++i)
      if (facts.Child(i).Field()->BaseFieldName == "channel_code")
        e.DragDrop(&facts.Child(i), &e.Root(TMapRoot::mrRows));
    form.AcceptButton().click();
    return form.result() == QDialog::Accepted;
  };
  Trigger("设计Cube");
  // The editor offers the demo database's tables and the fact query.
  EXPECT_NE(std::find(tables.begin(), tables.end(), "d_channel"), tables.end());
  EXPECT_EQ(tables.back(), "qrFact");
  ASSERT_TRUE(cube->Active()) << shown.Messages.back();
  ASSERT_EQ(cube->DimensionCount(), 2);
  EXPECT_EQ(cube->DimensionMap().FindPlain("channel_name")->DimGroup, TDimGroup::dgPage);
  EXPECT_EQ(cube->DimensionMap().FindPlain("channel_code")->DimGroup, TDimGroup::dgRow);
  EXPECT_EQ(Form().Grid().Model().RowDims().size(), 1u);
  EXPECT_EQ(Form().Grid().Model().PageDims().size(), 1u);
}

// A dimension whose members a definition reads from a table shows that table
// in the editor, and accepting the map keeps it.
TEST_F(DesignCommands, TheEditorKeepsTheLookupTableADefinitionNamed) {
  folder.Write("conn.txt", std::string("Provider=SQLite;Data Source=") + QD_DEMO_DB);
  folder.Write("query.sql", "SELECT mgr_branch, total_amnt FROM m_premium_sum");
  const std::string cfd = folder.Write(
      "org.cfd", "[DB]\r\nConnectString=conn.txt\r\nQueryString=query.sql\r\n[Cube]\r\n"
                 "DgRow1=mgr_branch;机构\r\nDgRow1Lookup=d_org\r\nDgRow1LookupKey=org_code\r\n"
                 "DgRow1LookupName=org_name\r\nDgRow1LookupParent=parent_code\r\n"
                 "DgSum1=total_amnt\r\n");
  ASSERT_TRUE(Form().DesignCommands().OpenDefinition(cfd));
  TCustomVantra* cube = Form().Grid().Vantra();
  ASSERT_TRUE(cube && cube->Active());
  const TDataSet* lookup = cube->DimensionMap().FindPlain("mgr_branch")->LookupDataSet();
  ASSERT_NE(lookup, nullptr);
  TDimensionPanel shownPanel;
  Form().DesignCommands().ExecEditor = [&](TDimensionMapForm& form) {
    TDimensionMapEditor& e = form.Editor();
    e.Select(&e.Root(TMapRoot::mrRows).Child(0));
    shownPanel = e.DimPanel;
    form.AcceptButton().click();
    return form.result() == QDialog::Accepted;
  };
  Trigger("设计Cube");
  EXPECT_EQ(shownPanel.DataSet, "d_org");
  EXPECT_EQ(shownPanel.IDField, "org_code");
  EXPECT_EQ(shownPanel.ParentIDField, "parent_code");
  ASSERT_TRUE(cube->Active());
  EXPECT_EQ(cube->DimensionMap().FindPlain("mgr_branch")->LookupDataSet(), lookup);
  EXPECT_TRUE(cube->Dimensions()[0]->HasHierarchy);
}

TEST_F(DesignCommands, AnEncryptedDefinitionBuildsTheWorkingCubeFromTheWindow) {
  const std::string cfd = WriteChannels();
  Form().DesignCommands().ChooseCfdFile = [&] { return cfd; };
  Trigger("加密Cube定义文件");
  const std::string cfdm = folder.Path("channels.cfdm");
  EXPECT_EQ(shown.Messages, Strings{"Cube定义文件加密成功！\r导出文件名：" + cfdm});

  std::filesystem::remove(folder.Path("conn.txt"));  // the packed file carries it
  Form().DesignCommands().ChooseDefinitionFile = [&] { return cfdm; };
  Trigger("打开Cube定义文件");
  ASSERT_EQ(shown.Messages.size(), 2u);
  EXPECT_EQ(shown.Messages[1].rfind("CUBE生成成功！", 0), 0u) << shown.Messages[1];
  TCustomVantra* cube = Form().Grid().Vantra();
  ASSERT_EQ(cube, &wb->DataModule->Vantra1);
  ASSERT_TRUE(cube->Active());
  EXPECT_EQ(cube->DimensionDisplayName(0), "渠道");

  // A missing companion is said, and nothing is written.
  std::filesystem::remove(cfdm);
  Trigger("加密Cube定义文件");
  EXPECT_EQ(shown.Messages.back(), "无法找到数据库连接文件，Cube定义文件加密失败！");
  EXPECT_FALSE(std::filesystem::exists(cfdm));
}

}  // namespace
}  // namespace qd::test
