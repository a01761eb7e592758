// The data module over the demo database: catalog entries, the date texts of
// the fact queries, CubeConnection.ini, and every built-in cube built and
// checked against aggregates the database computes; with the private
// PostgreSQL server (QD_TEST_PG) several cubes are rebuilt there and compared.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "app/builtin_cubes.h"
#include "app/data_module.h"
#include "db/builtin_fact_queries.h"
#include "db/db_error.h"

namespace qd {
namespace {

class BuiltinCubes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("QD_DEMO_DB", QD_DEMO_DB, 1); }
  void SetUp() override {
    Dir = std::filesystem::temp_directory_path() / ("qd_builtin_" + std::to_string(getpid()));
    std::filesystem::create_directories(Dir);
  }
  void TearDown() override { std::filesystem::remove_all(Dir); }
  std::filesystem::path Dir;
};

TEST_F(BuiltinCubes, CreationNamesNineteenCatalogEntriesAndOpensTheConnections) {
  TDataModule1 dm;
  dm.DBCubes[50].Reserved1 = "stale";
  dm.DataModuleCreate();
  EXPECT_EQ(dm.DBCubes[0].Name, "股份保费分析（按渠道分类）");
  EXPECT_EQ(dm.DBCubes[18].Name, "股份续期保费年度预测分析");
  for (int i = 19; i < kDBCubeCount; ++i) {
    EXPECT_TRUE(dm.DBCubes[i].Name.empty());
    EXPECT_TRUE(dm.DBCubes[i].Reserved1.empty());
  }
  EXPECT_EQ(dm.CubeOfCatalogName("长期性寿险撤单分析"), dm.FindCube("gcdcube"));
  EXPECT_EQ(dm.CubeOfCatalogName(""), nullptr);
  EXPECT_TRUE(dm.ADOConnection.Connected());
  EXPECT_TRUE(dm.StatADOConnection.Connected());
  EXPECT_TRUE(dm.BaseDBConnection.Connected());
  EXPECT_EQ(dm.BuiltinFact(11).CommandTimeout, 400);
  EXPECT_EQ(dm.BuiltinFact(11).Connection(), &dm.BaseDBConnection);
  EXPECT_EQ(dm.qrFact.CommandTimeout, 500);
  // The working cube's initial query names group_flag twice; the second is group_flag_1,
  // as the working cube's map expects.
  dm.qrFact.Open();
  for (int i = 0; i < dm.Vantra1.DimensionMap().Count(); ++i)
    EXPECT_NE(dm.qrFact.FindField(dm.Vantra1.DimensionMap()[i].BaseFieldName), nullptr)
        << dm.Vantra1.DimensionMap()[i].BaseFieldName;
}

TEST_F(BuiltinCubes, CalculatedDateTextsIncludingTheEmptyDate) {
  std::string db = (Dir / "d.db").string();
  std::ofstream(db).flush();
  TDbConnection conn("Provider=SQLite;Data Source=" + db);
  conn.Execute(
      "CREATE TABLE t (n INTEGER, group_date DATE);"
      "INSERT INTO t VALUES (1, '2004-03-15'), (2, '2004-11-02'), (3, NULL), (4, '2010-07-01')");
  TDbQuery q(&conn, "SELECT n, group_date FROM t ORDER BY n");
  for (const char* f : {"Year", "Quarter", "Month"}) q.AddCalculatedField(f, TFieldType::ftString);
  q.OnCalcFields = &TDataModule1::GRecFactCalcFields;
  q.Open();
  std::vector<std::string> got;
  for (; !q.Eof(); q.Next())
    got.push_back(q.FieldByName("Year").AsString() + " " + q.FieldByName("Quarter").AsString() +
                  " " + q.FieldByName("Month").AsString());
  EXPECT_EQ(got, (std::vector<std::string>{"2004年 第1季度 03月", "2004年 第4季度 11月",
                                           "1899年 第4季度 12月", "2010年 第3季度 07月"}));
}

TEST_F(BuiltinCubes, CubeConnectionIniReplacesTheMainConnectionString) {
  TDataModule1 dm;
  std::string folder = Dir.string();
  EXPECT_FALSE(ApplyCubeConnectionIni(dm.ADOConnection, folder));
  const std::string original = dm.ADOConnection.ConnectionString();
  std::ofstream(Dir / "CubeConnection.ini") << "  \r\n\t\r\n";
  EXPECT_TRUE(ApplyCubeConnectionIni(dm.ADOConnection, folder));
  EXPECT_EQ(dm.ADOConnection.ConnectionString(), original);
  EXPECT_TRUE(dm.ADOConnection.Connected());

  std::string twoLines = std::string("Provider=SQLite;\r\nData Source=") + QD_DEMO_DB + "\r\n";
  std::ofstream(Dir / "CubeConnection.ini", std::ios::trunc | std::ios::binary) << twoLines;
  EXPECT_TRUE(ApplyCubeConnectionIni(dm.ADOConnection, folder));
  EXPECT_EQ(dm.ADOConnection.ConnectionString(), twoLines);
  EXPECT_TRUE(dm.ADOConnection.Connected());

  std::ofstream(Dir / "CubeConnection.ini", std::ios::trunc) << "Provider=Jet;Data Source=x";
  EXPECT_THROW(ApplyCubeConnectionIni(dm.ADOConnection, folder), EDbError);
  EXPECT_FALSE(dm.ADOConnection.Connected());
}

// Members and totals of every built-in cube against the database's own aggregates.
TEST_F(BuiltinCubes, EveryCubeBuildsAndAgreesWithTheDatabase) {
  TDataModule1 dm;
  dm.DataModuleCreate();
  TDbConnection check(dm.StatADOConnection.ConnectionString());
  ASSERT_EQ(dm.BuiltinCount(), 19);
  for (int i = 0; i < dm.BuiltinCount(); ++i) {
    TVantra& cube = dm.BuiltinCube(i);
    SCOPED_TRACE(cube.Name);
    cube.Options().ShowProgressBar = false;
    ASSERT_NO_THROW(cube.SetActive(true));
    ASSERT_TRUE(cube.Active());
    const std::string sql = dm.BuiltinFact(i).SQL();
    const TFactTable& facts = *cube.FactTable();
    for (int s = 0; s < cube.SummaryCount(); ++s) {
      double total = 0;
      for (std::int32_t r = 0; r < facts.RecordCount(); ++r) total += facts.Value(r, s);
      TDbQuery q(&check,
                 "SELECT SUM(" + cube.Summaries()[s]->BaseFieldName + ") FROM (" + sql + ") t");
      q.Open();
      EXPECT_NEAR(total, q.Fields(0).AsFloat(), 1e-6 + std::fabs(total) * 1e-9)
          << cube.Summaries()[s]->DisplayName;
    }
    for (int d = 0; d < cube.DimensionCount(); ++d) {
      const TDimension& dim = *cube.Dimensions()[d];
      if (!dm.BuiltinFact(i).FindField(dim.BaseFieldName)) continue;
      std::set<std::string> captions;
      for (int m = 0; m < dim.MemberCount(); ++m) captions.insert(dim.Caption(m));
      if (dim.BaseFieldName == "Year" || dim.BaseFieldName == "Quarter" ||
          dim.BaseFieldName == "Month") {
        EXPECT_LE(captions.size(), 12u);
        continue;
      }
      TDbQuery q(&check, "SELECT DISTINCT " + dim.BaseFieldName + " FROM (" + sql + ") t");
      q.Open();
      std::set<std::string> values;
      for (; !q.Eof(); q.Next()) values.insert(q.Fields(0).AsString());
      EXPECT_EQ(captions, values) << dim.DisplayName;
    }
    cube.SetActive(false);
  }
}

// Each fact record as its member captions and values, sorted.
std::vector<std::string> FactRecords(TVantra& cube) {
  std::vector<std::string> rows;
  const TFactTable& f = *cube.FactTable();
  for (std::int32_t r = 0; r < f.RecordCount(); ++r) {
    std::string row;
    for (int d = 0; d < cube.DimensionCount(); ++d)
      row += cube.Dimensions()[d]->Caption(f.Member(r, d)) + "|";
    for (int s = 0; s < cube.SummaryCount(); ++s) {
      char v[32];
      std::snprintf(v, sizeof v, "%.4f|", f.Value(r, s));
      row += v;
    }
    rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

TEST_F(BuiltinCubes, CubesBuiltOnPostgreSqlEqualTheSqliteBuilds) {
  const char* pg = std::getenv("QD_TEST_PG");
  if (!pg || !*pg) GTEST_SKIP() << "QD_TEST_PG is not set (scripts/test starts a server)";
  TDataModule1 lite, server;
  for (TDbConnection* c :
       {&server.ADOConnection, &server.StatADOConnection, &server.BaseDBConnection})
    c->SetConnectionString(pg);
  lite.DataModuleCreate();
  server.DataModuleCreate();
  for (const char* name : {"GRecCube", "GCustCube", "GPsn_2Cube", "JB04Cube"}) {
    SCOPED_TRACE(name);
    TVantra& a = *lite.FindCube(name);
    TVantra& b = *server.FindCube(name);
    a.Options().ShowProgressBar = b.Options().ShowProgressBar = false;
    a.SetActive(true);
    b.SetActive(true);
    ASSERT_EQ(a.DimensionCount(), b.DimensionCount());
    // Members arrive in each database's row order; the sets must agree.
    for (int d = 0; d < a.DimensionCount(); ++d) {
      const TDimension &x = *a.Dimensions()[d], &y = *b.Dimensions()[d];
      std::set<std::string> xs, ys;
      for (int m = 0; m < x.MemberCount(); ++m) xs.insert(x.Caption(m));
      for (int m = 0; m < y.MemberCount(); ++m) ys.insert(y.Caption(m));
      EXPECT_EQ(xs, ys) << x.DisplayName;
    }
    EXPECT_EQ(FactRecords(a), FactRecords(b));
  }
}

}  // namespace
}  // namespace qd
