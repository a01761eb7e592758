// PostgreSQL tests run against the private server that scripts/test starts;
// QD_TEST_PG holds its connection string. Without it they are skipped.
#include <gtest/gtest.h>

#include <cstdlib>

#include "db/db_connection.h"
#include "db_test_util.h"

namespace qd {
namespace {

using test::ErrorOf;

class PgQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* cs = std::getenv("QD_TEST_PG");
    if (!cs || !*cs) GTEST_SKIP() << "QD_TEST_PG is not set (scripts/test starts a server)";
    Conn.SetConnectionString(cs);
    Conn.Open();
  }
  TDbConnection Conn;
};

TEST_F(PgQuery, MapsColumnTypesAndReadsValues) {
  TDbQuery q(&Conn,
             "SELECT '杭州'::varchar(10) AS name, 7::int4 AS n, 9000000000::int8 AS big, "
             "3::int2 AS small, 12.34::numeric(12,2) AS amt, 0.5::float8 AS ratio, "
             "DATE '2004-03-15' AS d, TIMESTAMP '2004-11-02 13:45:10' AS ts, true AS ok, "
             "NULL::text AS note, SUM(x) AS total FROM (VALUES (1), (2)) v(x)");
  q.Open();
  using enum TFieldType;
  std::vector<TFieldType> want = {ftString, ftInteger,  ftLargeint, ftSmallint, ftBCD,     ftFloat,
                                  ftDate,   ftDateTime, ftBoolean,  ftString,   ftLargeint};
  ASSERT_EQ(q.FieldCount(), static_cast<int>(want.size()));
  for (int i = 0; i < q.FieldCount(); ++i)
    EXPECT_EQ(q.Fields(i).DataType(), want[i]) << q.Fields(i).FieldName();
  EXPECT_EQ(q.FieldByName("name").AsString(), "杭州");
  EXPECT_EQ(q.FieldByName("big").AsLargeInt(), 9000000000LL);
  EXPECT_EQ(q.FieldByName("amt").AsCurrency(), 123400);
  EXPECT_EQ(q.FieldByName("d").AsDateTime(), EncodeDate(2004, 3, 15));
  EXPECT_EQ(q.FieldByName("ts").AsString(), "2004-11-02 13:45:10");
  EXPECT_TRUE(q.FieldByName("ok").AsBoolean());
  EXPECT_TRUE(q.FieldByName("note").IsNull());
  EXPECT_EQ(q.FieldByName("total").AsInteger(), 3);
  EXPECT_EQ(test::CheckTextViews(q), 1);  // the name only
}

TEST_F(PgQuery, StreamsLargeResultsAcrossBatchesAndKeepsTwoCursorsApart) {
  TDbQuery big(&Conn, "SELECT g FROM generate_series(1, 70001) g");
  TDbQuery small(&Conn, "SELECT g FROM generate_series(1, 3) g");
  big.Open();
  small.Open();
  std::int64_t sum = 0, count = 0;
  for (; !big.Eof(); big.Next()) {
    sum += big.Fields(0).AsLargeInt();
    if (++count == 30000) {
      EXPECT_EQ(test::AllRows(small).size(), 3u);
    }
  }
  EXPECT_EQ(count, 70001);
  EXPECT_EQ(sum, 70001LL * 70002 / 2);
  big.First();  // runs again
  EXPECT_EQ(big.Fields(0).AsInteger(), 1);
}

TEST_F(PgQuery, ErrorsCarryTheServerMessageAndTheConnectionStaysUsable) {
  TDbQuery q(&Conn, "SELECT * FROM no_such_table");
  EXPECT_EQ(ErrorOf([&] { q.Open(); }), "relation \"no_such_table\" does not exist");
  q.SetSQL("SELECT pg_sleep(5)");
  q.CommandTimeout = 1;
  EXPECT_EQ(ErrorOf([&] { q.Open(); }), "canceling statement due to statement timeout");
  q.SetSQL("SELECT 1 AS one");
  q.Open();
  EXPECT_EQ(q.Fields(0).AsInteger(), 1);
}

TEST(PgConnection, UnreachableServerGivesTheLibraryMessage) {
  TDbConnection conn("Provider=PostgreSQL;Data Source=127.0.0.1,1;Initial Catalog=x;User ID=u");
  std::string msg = ErrorOf([&] { conn.Open(); });
  EXPECT_NE(msg.find("Connection refused"), std::string::npos) << msg;
  EXPECT_FALSE(conn.Connected());
}

}  // namespace
}  // namespace qd
