// The fact query wrapped to aggregate in the database, on SQLite (the demo
// database), PostgreSQL (QD_TEST_PG) and the two-shard ClickHouse table
// (QD_TEST_CH): one row per combination of dimension values, and every
// count, power sum, minimum and maximum equal to a naive reading of every row.
#include "db/aggregate_query.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <map>

#include "db/db_connection.h"

namespace qd {
namespace {

TEST(AggregateQuery, QuotesNamesPerDialectAndKeepsTheFactQueryWhole) {
  const std::string sql = AggregateInDatabaseSql("SELECT * FROM t -- all rows;\n;",
                                                 {"城市", "a\"b"}, {"amt]"}, TSqlDialect::sdStandard);
  EXPECT_EQ(sql,
            "SELECT \"城市\", \"a\"\"b\", COUNT(*) AS \"#count\",\n"
            "  SUM(COALESCE(CAST(\"amt]\" AS DOUBLE PRECISION), 0)) AS \"amt]#1\", "
            "SUM(COALESCE(CAST(\"amt]\" AS DOUBLE PRECISION), 0) * "
            "COALESCE(CAST(\"amt]\" AS DOUBLE PRECISION), 0)) AS \"amt]#2\", "
            "SUM(COALESCE(CAST(\"amt]\" AS DOUBLE PRECISION), 0) * "
            "COALESCE(CAST(\"amt]\" AS DOUBLE PRECISION), 0) * "
            "COALESCE(CAST(\"amt]\" AS DOUBLE PRECISION), 0)) AS \"amt]#3\", "
            "SUM(COALESCE(CAST(\"amt]\" AS DOUBLE PRECISION), 0) * "
            "COALESCE(CAST(\"amt]\" AS DOUBLE PRECISION), 0) * "
            "COALESCE(CAST(\"amt]\" AS DOUBLE PRECISION), 0) * "
            "COALESCE(CAST(\"amt]\" AS DOUBLE PRECISION), 0)) AS \"amt]#4\", "
            "MIN(COALESCE(CAST(\"amt]\" AS DOUBLE PRECISION), 0)) AS \"amt]#min\", "
            "MAX(COALESCE(CAST(\"amt]\" AS DOUBLE PRECISION), 0)) AS \"amt]#max\"\n"
            "FROM (\nSELECT * FROM t -- all rows\n) qd_facts\nGROUP BY \"城市\", \"a\"\"b\"");
  EXPECT_EQ(QuoteName("amt]", TSqlDialect::sdSqlServer), "[amt]]]");
  EXPECT_EQ(QuoteName("a`b", TSqlDialect::sdClickHouse), "`a``b`");
  // Without dimensions the whole query is one group.
  const std::string one = AggregateInDatabaseSql("SELECT x FROM t", {}, {"x"},
                                                 TSqlDialect::sdClickHouse);
  EXPECT_EQ(one.find("GROUP BY"), std::string::npos);
  EXPECT_NE(one.find("SUM(COALESCE(toFloat64(`x`), 0)) AS `x#1`"), std::string::npos);
  EXPECT_EQ(DialectOf(ResolveConnectionString("Provider=SQLOLEDB;Data Source=h")),
            TSqlDialect::sdSqlServer);
  EXPECT_EQ(DialectOf(ResolveConnectionString("Provider=ClickHouse;Data Source=h")),
            TSqlDialect::sdClickHouse);
  EXPECT_EQ(DialectOf(ResolveConnectionString("Provider=PostgreSQL;Data Source=h")),
            TSqlDialect::sdStandard);
}

// Count, then per summary the sums of the first to fourth powers, minimum, maximum.
using TGroup = std::array<double, 1 + 2 * 6>;

bool Close(double a, double b) {
  return std::fabs(a - b) <= 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

void ExpectSameGroups(const std::string& connection, const std::string& table, TSqlDialect dialect) {
  TDbConnection conn(connection);
  const std::string facts = "SELECT mgr_branch, channel_code, amnt, total_num FROM " + table;
  std::map<std::string, TGroup> want;
  std::size_t factsRead = 0;
  TDbQuery every(&conn, facts);
  for (every.Open(); !every.Eof(); every.Next(), ++factsRead) {
    TGroup& g = want[every.Fields(0).AsString() + "|" + every.Fields(1).AsString()];
    const bool first = g[0] == 0;
    g[0] += 1;
    for (int s = 0; s < 2; ++s) {
      const double x = every.Fields(2 + s).AsFloat();
      double* p = &g[1 + 6 * s];
      p[0] += x;
      p[1] += x * x;
      p[2] += x * x * x;
      p[3] += x * x * x * x;
      p[4] = first ? x : std::min(p[4], x);
      p[5] = first ? x : std::max(p[5], x);
    }
  }
  TDbQuery grouped(&conn, AggregateInDatabaseSql(facts, {"mgr_branch", "channel_code"},
                                                 {"amnt", "total_num"}, dialect));
  std::size_t rows = 0;
  for (grouped.Open(); !grouped.Eof(); grouped.Next(), ++rows) {
    ASSERT_EQ(grouped.FieldCount(), 2 + 1 + 12);
    EXPECT_EQ(grouped.Fields(3).FieldName(), "amnt#1");
    const std::string key = grouped.Fields(0).AsString() + "|" + grouped.Fields(1).AsString();
    ASSERT_TRUE(want.count(key)) << key;
    const TGroup& g = want[key];
    for (int i = 0; i < 13; ++i)
      EXPECT_TRUE(Close(grouped.Fields(2 + i).AsFloat(), g[i]))
          << key << " column " << grouped.Fields(2 + i).FieldName() << ": "
          << grouped.Fields(2 + i).AsFloat() << " vs " << g[i];
  }
  EXPECT_EQ(rows, want.size());  // one row per combination, far fewer than the facts
  EXPECT_LT(rows * 20, factsRead);
}

TEST(AggregateQuery, SqliteGroupsEqualEveryRowRead) {
  ExpectSameGroups(std::string("Provider=SQLite;Data Source=") + QD_DEMO_DB + ";Mode=Read",
                   "f_premium", TSqlDialect::sdStandard);
}

TEST(AggregateQuery, PostgreSqlGroupsEqualEveryRowRead) {
  const char* cs = std::getenv("QD_TEST_PG");
  if (!cs || !*cs) GTEST_SKIP() << "QD_TEST_PG is not set (scripts/test starts a server)";
  ExpectSameGroups(cs, "f_premium", TSqlDialect::sdStandard);
}

TEST(AggregateQuery, ClickHouseClusterGroupsEqualEveryRowRead) {
  const char* cs = std::getenv("QD_TEST_CH");
  if (!cs || !*cs) GTEST_SKIP() << "QD_TEST_CH is not set (scripts/test starts a cluster)";
  ExpectSameGroups(cs, "facts_all", TSqlDialect::sdClickHouse);
}

}  // namespace
}  // namespace qd
