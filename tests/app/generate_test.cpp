// Cubes built from the demo database by the command-line tool: the unattended
// generation of the built-in cubes with its log, a cube from a definition file
// (plain and encrypted), and a cube straight from a query.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>

#include "app/cfdm_file.h"
#include "app/cli.h"
#include "app/cube_definition.h"
#include "app/data_module.h"
#include "app/generate_commands.h"
#include "app/ini_file.h"
#include "app/realtime_cube.h"
#include "engine/cube/cube_file.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/progress.h"
#include "engine/core/text_codec.h"
#include "temp_folder.h"

namespace qd {
namespace {

class Generate : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("QD_DEMO_DB", QD_DEMO_DB, 1); }
};

std::vector<std::string> LogLines(const std::string& file) {
  std::optional<std::string> bytes = ReadWholeFile(file);
  EXPECT_TRUE(bytes.has_value());
  std::string text = AnsiToUtf8(bytes.value_or(""));
  std::vector<std::string> lines;
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos; text.erase(0, at + 2))
    lines.push_back(text.substr(0, at));
  EXPECT_EQ(text, "") << "every line ends with CR LF";
  return lines;
}

// Dimension and summary names and the fact count of a cube file.
std::string Outline(const std::string& file) {
  TVantra cube;
  std::uint8_t buffer[89] = {};
  TUserBuffer user{buffer, sizeof buffer};
  LoadCubeFromFile(cube, file, &user);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), user.Received), CubeUserData);
  std::string text;
  for (int d = 0; d < cube.DimensionCount(); ++d) text += cube.DimensionDisplayName(d) + "|";
  for (int s = 0; s < cube.SummaryCount(); ++s) text += cube.Summaries()[s]->DisplayName + "|";
  double total = 0;
  for (std::int32_t r = 0; r < cube.FactTable()->RecordCount(); ++r)
    total += cube.FactTable()->Value(r, 0);
  return text + std::to_string(cube.FactTable()->RecordCount()) + "|" + std::to_string(total);
}

// Every built-in cube is saved and logged; one whose query the database
// rejects is logged as failed and the run goes on with the next.
TEST_F(Generate, EveryBuiltinCubeIsSavedAndLoggedAndAFailureDoesNotStopTheRun) {
  testing::TTempFolder out;
  TDataModule1 dm;
  dm.DataModuleCreate();
  dm.BuiltinFact(2).SetSQL("SELECT no_such_column FROM no_such_table");
  int failed = -1;
  std::string folder = out.Folder();
  folder.pop_back();  // no trailing separator: one is added
  EXPECT_EQ(GenerateBuiltinCubes(dm, "  " + folder + " ", failed, [] { return "T0"; }),
            TAutoSaveResult::Done);
  EXPECT_EQ(failed, 1);

  std::vector<std::string> expected;
  std::vector<std::string> names = dm.CatalogNames();
  for (int i = 0; i < 19; ++i) {
    const std::string& name = names[static_cast<std::size_t>(i)];
    expected.push_back("T0；开始生成Cube：" + name + "－－－");
    expected.push_back("　　" + name + (i == 2 ? "，生成失败！" : "，成功生成！"));
    // The database's own reason under the cube that failed.
    if (i == 2) expected.push_back("　　　　原因：没有任何数据库连接：no such table: no_such_table");
    EXPECT_EQ(std::filesystem::exists(out.Path(name + ".vtc")), i != 2) << name;
  }
  EXPECT_EQ(LogLines(out.Path("CubeAutoSave.log")), expected);
  EXPECT_NE(Outline(out.Path(names[0] + ".vtc")).find("|"), std::string::npos);
}

TEST_F(Generate, AMissingFolderWritesNoLogAndFailsOnTheCommandLine) {
  testing::TTempFolder out;
  TDataModule1 dm;
  int failed = 0;
  EXPECT_EQ(GenerateBuiltinCubes(dm, out.Path("missing"), failed), TAutoSaveResult::MissingFolder);
  EXPECT_FALSE(std::filesystem::exists(out.Path("missing")));
  std::ostringstream o, e;
  EXPECT_EQ(RunCli({"generate", out.Path("missing"), "--timing", "--quiet"}, o, e), 1);
  EXPECT_EQ(e.str(), "quarrydesk-cli generate: 文件夹“" + out.Path("missing") + "”不存在！\n");
  EXPECT_TRUE(std::filesystem::is_empty(out.Folder()));
}

// Cancel in the progress of a build ends the whole run: that cube is logged
// as not built and no later cube is tried.
TEST_F(Generate, CancelDuringABuildEndsTheRun) {
  class TCancelSecond : public TProgressSink {
   protected:
    void ProcessInput() override {
      if (Caption() == Msg(TMsg::SReadingFactTable) && ++FBuildsSeen == 1) RequestCancel();
    }
    int FBuildsSeen = 0;
  } progress;
  testing::TTempFolder out;
  TDataModule1 dm;
  dm.DataModuleCreate();
  int failed = 0;
  EXPECT_THROW(GenerateBuiltinCubes(dm, out.Folder(), failed, [] { return "T0"; }, &progress),
               EUserCanceledError);
  const std::vector<std::string> lines = LogLines(out.Path("CubeAutoSave.log"));
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(lines.back().ends_with("，生成失败！")) << lines.back();
  EXPECT_LT(lines.size(), 2u * dm.CatalogNames().size());
}

// A database without the fact tables, or one that cannot be opened at all:
// every cube fails with the database's reason in the log, and the command ends
// with a failure status instead of reporting success.
TEST_F(Generate, CommandLineRunOverAnEmptyOrUnreachableDatabaseLogsEveryCubeWithTheReason) {
  testing::TTempFolder dir;
  std::string empty = dir.Write("empty.db", "");
  const std::pair<std::string, std::string> cases[] = {
      {empty, "no such table: "},
      {dir.Path("missing/none.db"), "unable to open database file"}};
  std::filesystem::create_directories(dir.Path("out"));
  for (const auto& [database, reason] : cases) {
    setenv("QD_DEMO_DB", database.c_str(), 1);
    std::ostringstream out, err;
    int rc = RunCli({"generate", dir.Path("out")}, out, err);
    setenv("QD_DEMO_DB", QD_DEMO_DB, 1);
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(err.str(), "");
    std::vector<std::string> lines = LogLines(dir.Path("out/CubeAutoSave.log"));
    ASSERT_EQ(lines.size(), 57u) << database;
    EXPECT_EQ(lines[55], "　　股份续期保费年度预测分析，生成失败！");
    EXPECT_TRUE(lines[56].starts_with("　　　　原因：没有任何数据库连接：" + reason)) << lines[56];
    EXPECT_NE(out.str().find("　　股份保费分析（按渠道分类），生成失败！\n"), std::string::npos);
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path("out")))
      files.push_back(e.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"CubeAutoSave.log"});
  }
}

std::string WriteDefinition(const testing::TTempFolder& dir, const std::string& cube) {
  dir.Write("conn.txt", std::string("Provider=SQLite;\r\nData Source=") + QD_DEMO_DB + "\r\n");
  dir.Write("query.sql",
            "SELECT mgr_branch, sales_channel, pay_time, SUM(total_amnt) AS amnt, "
            "SUM(total_num) AS num FROM m_premium_sum GROUP BY mgr_branch, sales_channel, "
            "pay_time ORDER BY 1, 2, 3");
  return dir.Write("sales.cfd",
                   "[DB]\r\nConnectString=conn.txt\r\nQueryString=query.sql\r\n"
                   "[Cube]\r\n" +
                       cube);
}

TEST_F(Generate, BuildFromADefinitionAndFromItsEncryptedFormInAnotherFolder) {
  testing::TTempFolder a, b;
  std::string cfd = WriteDefinition(
      a,
      "DgRow1=MGR_BRANCH;机构\r\nDgCol1=sales_channel\r\nDgCol1SortType=NameDesc\r\n"
      "DgSum1=amnt;保费\r\nDgSum2=num\r\n[Other]\r\nOutPutFile=kept.vtc\r\n");
  std::ostringstream out, timing;
  EXPECT_EQ(RunBuild({cfd, "-o", a.Path("plain.vtc")}, out, timing), 0);
  // Both files written, by their absolute names.
  EXPECT_EQ(out.str(), "CUBE生成成功！\n导出文件名：" + a.Path("plain.vtc") + "\n导出文件名：" +
                           a.Path("kept.vtc") + "\n");
  EXPECT_EQ(timing.str(), "");
  std::string plain = Outline(a.Path("plain.vtc"));
  EXPECT_TRUE(plain.starts_with("机构|sales_channel|保费|num|")) << plain;
  EXPECT_EQ(Outline(a.Path("kept.vtc")), plain);

  std::string cfdm = CryptCFD(cfd, "/");
  std::filesystem::rename(cfdm, b.Path("moved.cfdm"));
  std::filesystem::remove_all(a.Folder());
  EXPECT_EQ(RunBuild({b.Path("moved.cfdm"), "--timing"}, out, timing), 0);
  EXPECT_TRUE(
      std::regex_match(timing.str(), std::regex("read: [0-9]+\\.[0-9]{3}\nsave: [0-9.]+\n")))
      << timing.str();
  // The relative output name follows the encrypted file; no temporary file is left.
  EXPECT_EQ(Outline(b.Path("kept.vtc")), plain);
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(b.Folder()))
    left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"kept.vtc", "moved.cfdm"}));
}

// The entry's words reach the working cube's map; the cube is active afterwards.
TEST_F(Generate, DefinitionEntriesSetDisplayNameSortTotalAndKeyFields) {
  testing::TTempFolder a;
  std::string cfd =
      WriteDefinition(a,
                      "DgRow1=mgr_branch\r\nDgRow1Total=INVISIBLE\r\nDgPage1=pay_time;缴费\r\n"
                      "DgPage1SortType=namedesc\r\nDgPage1AsDate=1\r\nDgSum1=amnt\r\n"
                      "DgKeyField=sales_channel;MGR_BRANCH\r\n");
  TStandaloneCube cube;
  BuildDefinitionFile(cfd, "/", cube.Target);
  ASSERT_TRUE(cube.Cube.Active());
  const TDimSums& map = cube.Cube.DimensionMap();
  const TDimSum* row = map.FindPlain("mgr_branch");
  const TDimSum* page = map.FindPlain("pay_time");
  ASSERT_TRUE(row && page);
  EXPECT_EQ(row->DimSumType, TDimSumType::dsDimension);
  EXPECT_EQ(row->TotalAppearance, TTotalAppearance::taInvisible);
  EXPECT_EQ(row->SortType, TDimSortType::dsDatabase);
  EXPECT_EQ(page->DimGroup, TDimGroup::dgPage);
  EXPECT_EQ(page->DisplayName, "缴费");
  EXPECT_EQ(page->SortType, TDimSortType::dsNameDesc);
  EXPECT_EQ(page->TotalAppearance, TTotalAppearance::taLast);
  EXPECT_TRUE(page->DimCollection().Count() == 0 && page->IsPlain());  // no parts on a plain field
  EXPECT_EQ(cube.Cube.KeyFields, "sales_channel; mgr_branch");
  EXPECT_EQ(cube.Cube.DimensionCount(), 2);

  // The generator: a name in no catalog entry builds nothing; nothing built saves nothing.
  TDataModule1 dm;
  TBuiltinCubeGenerator generator(dm);
  EXPECT_TRUE(generator.BuildCube("no such cube"));
  EXPECT_THROW(generator.SaveCube(a.Path("none.vtc")), ECubeError);
}

TEST_F(Generate, BuildReportsAFieldTheQueryDoesNotReturn) {
  testing::TTempFolder a;
  std::string cfd = WriteDefinition(a, "DgRow1=region\r\nDgSum1=amnt\r\n");
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"build", cfd, "-o", a.Path("x.vtc")}, out, err), 1);
  EXPECT_NE(err.str().find("查询结果中没有字段“region”"), std::string::npos) << err.str();
  EXPECT_FALSE(std::filesystem::exists(a.Path("x.vtc")));
}

// A folder holding a definition and the database its connection names
// relatively builds wherever the folder is moved, and a branch dimension read
// from the organisation table gets the table's hierarchy.
TEST_F(Generate, ADefinitionFindsItsDatabaseAndLookupTableBesideIt) {
  namespace fs = std::filesystem;
  testing::TTempFolder a;
  const std::string cube =
      "DgRow1=mgr_branch;机构\r\nDgRow1Lookup=d_org\r\nDgRow1LookupKey=org_code\r\n"
      "DgRow1LookupName=org_name\r\nDgRow1LookupParent=parent_code\r\n"
      "DgRow1LookupAttributes=org_level\r\nDgSum1=amnt\r\n";
  a.Write("x/conn.txt", "Provider=SQLite;Data Source=demo.db\r\n");
  a.Write("x/query.sql", "SELECT mgr_branch, total_amnt AS amnt FROM m_premium_sum");
  a.Write("x/sales.cfd", "[DB]\r\nConnectString=conn.txt\r\nQueryString=query.sql\r\n[Cube]\r\n" + cube);
  fs::create_symlink(QD_DEMO_DB, a.Path("x/demo.db"));
  fs::rename(a.Path("x"), a.Path("moved"));

  TStandaloneCube c;
  ASSERT_NO_THROW(BuildDefinitionFile(a.Path("moved/sales.cfd"), "/", c.Target));
  ASSERT_TRUE(c.Cube.Active());
  const TDimension& org = *c.Cube.Dimensions()[0];
  EXPECT_TRUE(org.HasHierarchy);
  ASSERT_GT(org.MemberCount(), 4);
  int regions = 0;
  for (int m = 0; m < org.MemberCount(); ++m) {
    if (org.Parents[static_cast<std::size_t>(m)] < 0) ++regions;
  }
  EXPECT_EQ(regions, 4);
  EXPECT_EQ(c.Cube.DimensionMap().FindPlain("mgr_branch")->LookupDataSet(),
            &c.Lookups.Table(c.Connection, "d_org"));

  // The members come from the table or from the facts, not both.
  a.Write("moved/both.cfd", "[DB]\r\nConnectString=conn.txt\r\nQueryString=query.sql\r\n"
                            "[Cube]\r\nDgRow1=mgr_branch\r\nDgRow1Lookup=d_org\r\n"
                            "DgRow1Ranges=3\r\nDgSum1=amnt\r\n");
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"build", a.Path("moved/both.cfd"), "-o", a.Path("y.vtc")}, out, err), 1);
  EXPECT_NE(err.str().find("维度“mgr_branch”有查找表"), std::string::npos) << err.str();
  EXPECT_FALSE(fs::exists(a.Path("y.vtc")));
}

// An output file outside the definition's folder is still written, as stored
// definitions may rely on it, but the user hears where; a relative -o is
// printed by its absolute name.
TEST_F(Generate, BuildAndImportNameWhatTheyWroteAndNoteWhatTheUserShouldKnow) {
  testing::TTempFolder a;
  std::filesystem::create_directories(a.Path("defs"));
  std::string cfd = WriteDefinition(a, "DgRow1=mgr_branch\r\nDgSum1=amnt\r\n[Other]\r\n"
                                       "OutPutFile=../elsewhere.vtc\r\n");
  std::filesystem::rename(cfd, a.Path("defs/sales.cfd"));
  for (const char* companion : {"conn.txt", "query.sql"})
    std::filesystem::rename(a.Path(companion), a.Path(std::string("defs/") + companion));
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(a.Folder());
  std::ostringstream out, timing;
  const int rc = RunBuild({"defs/sales.cfd", "-o", "mine.vtc"}, out, timing);
  std::filesystem::current_path(before);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(out.str(), "CUBE生成成功！\n导出文件名：" + a.Path("mine.vtc") + "\n导出文件名：" +
                           a.Path("elsewhere.vtc") + "\n");
  EXPECT_EQ(timing.str(), "quarrydesk-cli build: 注意：输出文件不在Cube定义文件所在的文件夹中：" +
                              a.Path("elsewhere.vtc") + "\n");
  EXPECT_TRUE(std::filesystem::is_regular_file(a.Path("elsewhere.vtc")));

  // The import notes summary values that were not numbers, before its timing.
  a.Write("facts.csv", "k,v\r\nx,1\r\ny,n/a\r\n");
  std::ostringstream imported, notes;
  EXPECT_EQ(RunImport({"--connection", "Provider=CSV;Data Source=" + a.Folder(), "--query",
                       "SELECT * FROM [facts.csv]", "--rows", "k", "--summaries", "v", "-o",
                       a.Path("f.vtc"), "--timing"},
                      imported, notes),
            0);
  EXPECT_TRUE(notes.str().starts_with(
      "quarrydesk-cli import: 注意：v有 1 个值不是数字，已按 0 计算（第一个在第 2 行：“n/a”）\nread: "))
      << notes.str();
}

TEST_F(Generate, ImportBuildsFromAQueryWithDisplayNamesAndTiming) {
  testing::TTempFolder a;
  const std::string conn = std::string("Provider=SQLite;Data Source=") + QD_DEMO_DB;
  const std::string sql =
      "SELECT mgr_branch, sales_channel, pay_time, pol_code, total_amnt, total_num "
      "FROM m_premium_sum";
  std::ostringstream out, timing;
  EXPECT_EQ(RunImport({"--connection", conn, "--query", sql, "--rows", "mgr_branch;机构,pol_code",
                       "--cols", "SALES_CHANNEL", "--page", "pay_time;缴费", "--summaries",
                       "total_amnt;保费,total_num", "-o", a.Path("i.vtc"), "--timing"},
                      out, timing),
            0);
  EXPECT_TRUE(std::regex_match(timing.str(), std::regex("read: [0-9.]+\nsave: [0-9.]+\n")))
      << timing.str();
  std::string outline = Outline(a.Path("i.vtc"));
  // The cube orders its dimensions itself; the names and the summaries' order are ours.
  std::size_t sums = outline.find("保费|total_num|");
  ASSERT_NE(sums, std::string::npos) << outline;
  std::vector<std::string> dims;
  for (std::size_t at = 0, bar; (bar = outline.find('|', at)) < sums; at = bar + 1)
    dims.push_back(outline.substr(at, bar - at));
  std::sort(dims.begin(), dims.end());
  EXPECT_EQ(dims, (std::vector<std::string>{"pol_code", "sales_channel", "机构", "缴费"}));

  TDbConnection check(conn);
  TDbQuery q(&check, "SELECT COUNT(*), SUM(total_amnt) FROM m_premium_sum");
  q.Open();
  EXPECT_EQ(outline.substr(outline.rfind('|', outline.rfind('|') - 1) + 1),
            q.Fields(0).AsString() + "|" + std::to_string(q.Fields(1).AsFloat()));

  std::ostringstream o, e;
  // A field the query does not return is a usage error with a hint.
  EXPECT_EQ(RunCli({"import", "--connection", conn, "--query", sql, "--rows", "pol_cod", "-o",
                    a.Path("j.vtc")},
                   o, e),
            2);
  EXPECT_NE(e.str().find("查询结果中没有字段“pol_cod”，您是不是要找“pol_code”？"),
            std::string::npos)
      << e.str();
  EXPECT_EQ(RunCli({"import", "--query", sql, "-o", a.Path("j.vtc")}, o, e), 2);
  EXPECT_FALSE(std::filesystem::exists(a.Path("j.vtc")));
}

}  // namespace
}  // namespace qd
