#include <gtest/gtest.h>

#include <filesystem>

#include "db/db_connection.h"
#include "db/db_error.h"
#include "db_test_util.h"

namespace qd {
namespace {

using test::ErrorOf;

class SqliteQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    // Create the file; the adapter itself never creates a missing database.
    std::ofstream(Dir.File("t.db")).flush();
    Conn.SetConnectionString("Provider=SQLite;Data Source=" + Dir.File("t.db"));
    Conn.Execute(
        "CREATE TABLE t (name VARCHAR(20), n INTEGER, big BIGINT, amt NUMERIC(12,2), "
        "ratio REAL, d DATE, ts DATETIME, ok BOOLEAN, note TEXT);"
        "INSERT INTO t VALUES ('上海', 7, 9000000000, 12.34, 0.5, '2004-03-15', "
        "'2004-11-02 13:45:10', 1, NULL);"
        "INSERT INTO t VALUES (NULL, -3, NULL, 0.1, NULL, NULL, NULL, 0, 'x');");
  }
  test::TScratchDir Dir;
  TDbConnection Conn;
};

TEST_F(SqliteQuery, MapsDeclaredAndExpressionTypesToFieldTypes) {
  TDbQuery q(&Conn, "SELECT t.*, n * 2 AS twice, amt + 1 AS amt1, name || '!' AS shout FROM t");
  q.Open();
  using enum TFieldType;
  std::vector<TFieldType> want = {ftString,   ftInteger, ftLargeint, ftBCD,      ftFloat, ftDate,
                                  ftDateTime, ftBoolean, ftString,   ftLargeint, ftFloat, ftString};
  ASSERT_EQ(q.FieldCount(), static_cast<int>(want.size()));
  for (int i = 0; i < q.FieldCount(); ++i)
    EXPECT_EQ(q.Fields(i).DataType(), want[i]) << q.Fields(i).FieldName();
}

TEST_F(SqliteQuery, ReadsEveryKindOfValueAndNull) {
  TDbQuery q(&Conn, "SELECT * FROM t ORDER BY n DESC");
  q.Open();
  ASSERT_FALSE(q.Eof());
  EXPECT_EQ(q.FieldByName("NAME").AsString(), "上海");
  EXPECT_EQ(q.FieldByName("n").AsInteger(), 7);
  EXPECT_EQ(q.FieldByName("big").AsLargeInt(), 9000000000LL);
  EXPECT_EQ(q.FieldByName("amt").AsCurrency(), 123400);
  EXPECT_DOUBLE_EQ(q.FieldByName("ratio").AsFloat(), 0.5);
  EXPECT_EQ(q.FieldByName("d").AsDateTime(), EncodeDate(2004, 3, 15));
  EXPECT_EQ(q.FieldByName("d").AsString(), "2004-03-15");
  EXPECT_NEAR(q.FieldByName("ts").AsDateTime(), EncodeDateTime(2004, 11, 2, 13, 45, 10), 1e-9);
  EXPECT_EQ(q.FieldByName("ts").AsString(), "2004-11-02 13:45:10");
  EXPECT_TRUE(q.FieldByName("ok").AsBoolean());
  EXPECT_TRUE(q.FieldByName("note").IsNull());
  EXPECT_FALSE(q.FieldByName("amt").IsNull());
  q.Next();
  EXPECT_TRUE(q.FieldByName("name").IsNull());
  EXPECT_EQ(q.FieldByName("name").AsString(), "");
  EXPECT_EQ(q.FieldByName("n").AsInteger(), -3);
  EXPECT_TRUE(q.FieldByName("d").IsNull());
  EXPECT_EQ(q.FieldByName("d").AsDateTime(), 0);
  EXPECT_FALSE(q.FieldByName("ok").AsBoolean());
  EXPECT_EQ(q.FieldByName("amt").AsString(), "0.1");
  q.Next();
  EXPECT_TRUE(q.Eof());
  EXPECT_TRUE(q.FieldByName("n").IsNull());  // past the end reads as null
}

// Texts are lent only where the stored text is the display text: text
// columns (a number put into one is kept as text), never dates, numbers or
// nulls.
TEST_F(SqliteQuery, LendsTheTextsOfTextColumns) {
  Conn.Execute("INSERT INTO t (name, n) VALUES (42, 5)");
  TDbQuery q(&Conn, "SELECT name, n, d, note, name || '!' AS shout FROM t ORDER BY n");
  q.Open();
  EXPECT_EQ(test::CheckTextViews(q), 5);  // name twice, note once, shout twice
}

TEST_F(SqliteQuery, FirstRunsTheQueryAgainAndCalculatedFieldsAreFilled) {
  TDbQuery q(&Conn, "SELECT n FROM t ORDER BY n");
  q.AddCalculatedField("twice", TFieldType::ftInteger);
  q.OnCalcFields = [](TDataSet& ds) {
    ds.FieldByName("twice").SetValue(std::int64_t{2} * ds.FieldByName("n").AsLargeInt());
  };
  q.Open();
  EXPECT_EQ(test::AllRows(q), (std::vector<std::string>{"-3|-6", "7|14"}));
  Conn.Execute("INSERT INTO t (n) VALUES (100)");
  EXPECT_EQ(test::AllRows(q).size(), 3u);
}

TEST_F(SqliteQuery, TextColumnsReadAsNumbersOrDatesOnlyWhenTheWholeTextIsOne) {
  TDbQuery q(&Conn, "SELECT '2004-03-15' AS d, ' 12.5 ' AS x, '12abc' AS y");
  q.Open();
  EXPECT_EQ(q.FieldByName("d").DataType(), TFieldType::ftString);
  EXPECT_EQ(q.FieldByName("d").AsDateTime(), EncodeDate(2004, 3, 15));
  EXPECT_EQ(q.FieldByName("x").AsFloat(), 12.5);
  EXPECT_EQ(q.FieldByName("y").AsFloat(), 0);
}

TEST_F(SqliteQuery, RepeatedColumnNamesAreNumbered) {
  TDbQuery q(&Conn, "SELECT n, name, n, n AS N FROM t ORDER BY n");
  q.Open();
  EXPECT_EQ(q.Fields(2).FieldName(), "n_1");
  EXPECT_EQ(q.Fields(3).FieldName(), "N_2");
  EXPECT_EQ(q.FieldByName("n_1").AsInteger(), -3);
}

TEST_F(SqliteQuery, ErrorsCarryTheDatabaseMessage) {
  TDbQuery q(&Conn, "SELECT * FROM no_such_table");
  q.Name = "qrFact";
  EXPECT_EQ(ErrorOf([&] { q.Open(); }), "no such table: no_such_table");
  EXPECT_FALSE(q.Active());
  q.SetSQL("  ");
  EXPECT_EQ(ErrorOf([&] { q.Open(); }), "qrFact：查询语句为空");
  TDbQuery orphan;
  orphan.SetSQL("SELECT 1");
  orphan.Name = "q2";
  EXPECT_EQ(ErrorOf([&] { orphan.Open(); }), "q2：未指定数据库连接");
}

TEST_F(SqliteQuery, MissingFileIsAnErrorAndIsNotCreated) {
  TDbConnection c("Provider=SQLite;Data Source=" + Dir.File("absent.db"));
  EXPECT_NE(ErrorOf([&] { c.Open(); }).find("unable to open database file"), std::string::npos);
  EXPECT_FALSE(c.Connected());
  EXPECT_FALSE(std::filesystem::exists(Dir.File("absent.db")));
}

TEST_F(SqliteQuery, CommandTimeoutStopsARunawayQuery) {
  TDbQuery q(&Conn,
             "WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM r) "
             "SELECT max(i) FROM r");
  q.CommandTimeout = 1;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] { q.Open(); }), "查询超时（1 秒）");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(SqliteQuery, ClosingTheConnectionClosesItsQueriesAndTheStringIsLockedWhileOpen) {
  TDbQuery q(&Conn, "SELECT * FROM t");
  q.Open();
  EXPECT_TRUE(Conn.Connected());
  EXPECT_EQ(ErrorOf([&] { Conn.SetConnectionString("Provider=SQLite;Data Source=x"); }),
            "连接已打开，不能修改连接字符串");
  Conn.Close();
  EXPECT_FALSE(q.Active());
  q.Open();  // reopens the connection
  EXPECT_TRUE(Conn.Connected());
  {
    TDbConnection shortLived("Provider=SQLite;Data Source=" + Dir.File("t.db"));
    q.SetConnection(&shortLived);
    q.Open();
  }
  EXPECT_FALSE(q.Active());
  EXPECT_EQ(q.Connection(), nullptr);
}

}  // namespace
}  // namespace qd
