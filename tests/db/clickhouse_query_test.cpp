// ClickHouse tests run against the private two-shard cluster that
// scripts/test starts; QD_TEST_CH holds the connection string of its first
// server. Without it they are skipped.
#include <gtest/gtest.h>

#include <cstdlib>

#include "db/db_connection.h"
#include "db_test_util.h"

namespace qd {
namespace {

using test::ErrorOf;

class ChQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* cs = std::getenv("QD_TEST_CH");
    if (!cs || !*cs) GTEST_SKIP() << "QD_TEST_CH is not set (scripts/test starts a cluster)";
    Text = cs;
    Conn.SetConnectionString(Text);
    Conn.Open();
  }
  std::string Text;
  TDbConnection Conn;
};

TEST_F(ChQuery, MapsColumnTypesAndUndoesTheTextEscapes) {
  TDbQuery q(&Conn,
             "SELECT '杭州\\t西湖\\n\\\\x''' AS name, toInt32(7) AS n, toInt64(9000000000) AS big, "
             "toUInt8(3) AS small, toDecimal64(12.34, 2) AS amt, 0.5 AS ratio, "
             "toDate('2004-03-15') AS d, toDateTime('2004-11-02 13:45:10') AS ts, "
             "CAST(NULL AS Nullable(String)) AS note, CAST('ab' AS FixedString(4)) AS code, "
             "toLowCardinality('低') AS lc, sum(number) AS total FROM numbers(3) -- no FORMAT here");
  q.Open();
  using enum TFieldType;
  std::vector<TFieldType> want = {ftString, ftInteger,  ftLargeint, ftSmallint,  ftBCD,    ftFloat,
                                  ftDate,   ftDateTime, ftString,   ftFixedChar, ftString, ftLargeint};
  ASSERT_EQ(q.FieldCount(), static_cast<int>(want.size()));
  for (int i = 0; i < q.FieldCount(); ++i)
    EXPECT_EQ(q.Fields(i).DataType(), want[i]) << q.Fields(i).FieldName();
  EXPECT_EQ(q.FieldByName("name").AsString(), "杭州\t西湖\n\\x'");
  EXPECT_EQ(q.FieldByName("big").AsLargeInt(), 9000000000LL);
  EXPECT_EQ(q.FieldByName("amt").AsCurrency(), 123400);
  EXPECT_EQ(q.FieldByName("d").AsDateTime(), EncodeDate(2004, 3, 15));
  EXPECT_EQ(q.FieldByName("ts").AsString(), "2004-11-02 13:45:10");
  EXPECT_TRUE(q.FieldByName("note").IsNull());
  EXPECT_EQ(q.FieldByName("code").AsString(), "ab");
  EXPECT_EQ(q.FieldByName("total").AsInteger(), 3);
  EXPECT_EQ(test::CheckTextViews(q), 2);  // the name and the low-cardinality text
}

TEST_F(ChQuery, StreamsLargeResultsAndKeepsTwoQueriesApart) {
  TDbQuery big(&Conn, "SELECT number + 1 AS g FROM numbers(300001);");
  TDbQuery small(&Conn, "SELECT number AS g FROM numbers(3)");
  big.Open();
  small.Open();
  std::int64_t sum = 0, count = 0;
  for (; !big.Eof(); big.Next()) {
    sum += big.Fields(0).AsLargeInt();
    if (++count == 100000) {
      EXPECT_EQ(test::AllRows(small).size(), 3u);
    }
  }
  EXPECT_EQ(count, 300001);
  EXPECT_EQ(sum, 300001LL * 300002 / 2);
  EXPECT_GT(big.BytesReceived(), 300001 * 2);  // a line per number
  big.First();  // runs again
  EXPECT_EQ(big.Fields(0).AsInteger(), 1);
}

TEST_F(ChQuery, ServerErrorsAndSilenceComeInChineseBeforeAndAfterTheFirstRows) {
  TDbQuery q(&Conn, "SELECT * FROM no_such_table");
  EXPECT_EQ(ErrorOf([&] { q.Open(); }),
            "ClickHouse服务器错误（代码 60）：Table quarrydesk_test.no_such_table doesn't exist.");
  // An error met once rows were on their way must not read as the result's end.
  q.SetSQL("SELECT number, throwIf(number = 250000) AS t FROM numbers(400000)");
  std::int64_t rows = 0;
  const std::string midway = ErrorOf([&] {
    for (q.Open(); !q.Eof(); q.Next()) ++rows;
  });
  EXPECT_NE(midway.find("ClickHouse服务器错误（代码 395）"), std::string::npos) << midway;
  EXPECT_LT(rows, 400000);
  // A server silent for longer than the query's time-out.
  q.SetSQL("SELECT sleep(2.5) AS s");
  q.CommandTimeout = 1;
  EXPECT_EQ(ErrorOf([&] { q.Open(); }), "查询超时（1 秒）");
  q.SetSQL("SELECT 1 AS one");
  q.Open();
  EXPECT_EQ(q.Fields(0).AsInteger(), 1);
}

TEST_F(ChQuery, AWrongPasswordIsRefusedWithoutShowingIt) {
  TDbConnection wrong(Text + ";Password=Wr0ng-Pass");
  const std::string message = ErrorOf([&] { wrong.Open(); });
  EXPECT_NE(message.find("代码 193"), std::string::npos) << message;
  EXPECT_EQ(message.find("Wr0ng-Pass"), std::string::npos) << message;
}

TEST_F(ChQuery, TheDistributedTableAnswersFromBothShards) {
  TDbConnection demo("Provider=SQLite;Data Source=" + std::string(QD_DEMO_DB) + ";Mode=Read");
  TDbQuery local(&demo, "SELECT COUNT(*), SUM(total_num) FROM f_premium");
  TDbQuery shard(&Conn, "SELECT count(), sum(total_num) FROM facts");
  TDbQuery all(&Conn, "SELECT count(), sum(total_num) FROM facts_all");
  local.Open();
  shard.Open();
  all.Open();
  EXPECT_EQ(all.Fields(0).AsLargeInt(), local.Fields(0).AsLargeInt());
  EXPECT_EQ(all.Fields(1).AsLargeInt(), local.Fields(1).AsLargeInt());
  EXPECT_LT(shard.Fields(0).AsLargeInt(), all.Fields(0).AsLargeInt());
}

}  // namespace
}  // namespace qd
