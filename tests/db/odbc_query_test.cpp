#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "db/db_connection.h"
#include "db_test_util.h"

namespace qd {
namespace {

using test::ErrorOf;

bool OdbcDriverInstalled(const char* name) {
  std::FILE* f = std::fopen("/etc/odbcinst.ini", "r");
  if (!f) return false;
  char line[512];
  bool found = false;
  std::string want = std::string("[") + name + "]";
  while (std::fgets(line, sizeof line, f))
    if (std::string(line).rfind(want, 0) == 0) found = true;
  std::fclose(f);
  return found;
}

// Any ODBC driver: here the SQLite one, which needs no server.
TEST(OdbcQuery, ReadsTypesValuesAndNullsThroughADriver) {
  if (!OdbcDriverInstalled("SQLite3")) GTEST_SKIP() << "the SQLite3 ODBC driver is not installed";
  test::TScratchDir dir;
  std::ofstream(dir.File("o.db")).flush();
  TDbConnection conn("Driver={SQLite3};Database=" + dir.File("o.db"));
  conn.Execute("CREATE TABLE t (name VARCHAR(20), n INTEGER, amt NUMERIC(12,2), r DOUBLE, d DATE)");
  conn.Execute("INSERT INTO t VALUES ('嘉兴', 42, 1.25, 0.5, '2004-03-15')");
  conn.Execute("INSERT INTO t VALUES (NULL, NULL, NULL, NULL, NULL)");
  TDbQuery q(&conn, "SELECT name, n, amt, r, d FROM t ORDER BY n DESC");
  q.Open();
  using enum TFieldType;
  EXPECT_EQ(q.FieldByName("name").DataType(), ftString);
  EXPECT_EQ(q.FieldByName("n").DataType(), ftInteger);
  EXPECT_EQ(q.FieldByName("r").DataType(), ftFloat);
  EXPECT_EQ(q.FieldByName("d").DataType(), ftDate);
  EXPECT_EQ(q.FieldByName("name").AsString(), "嘉兴");
  EXPECT_EQ(q.FieldByName("n").AsInteger(), 42);
  EXPECT_EQ(q.FieldByName("amt").AsCurrency(), 12500);
  EXPECT_EQ(q.FieldByName("d").AsDateTime(), EncodeDate(2004, 3, 15));
  q.Next();
  EXPECT_TRUE(q.FieldByName("name").IsNull());
  EXPECT_TRUE(q.FieldByName("d").IsNull());
  q.Next();
  EXPECT_TRUE(q.Eof());
  EXPECT_EQ(test::CheckTextViews(q), 1);  // the name of the first row
  q.SetSQL("SELECT * FROM missing_table");
  EXPECT_NE(ErrorOf([&] { q.Open(); }).find("no such table"), std::string::npos);
}

TEST(OdbcQuery, UnreachableSqlServerGivesTheDriverMessage) {
  if (!OdbcDriverInstalled("FreeTDS")) GTEST_SKIP() << "the FreeTDS ODBC driver is not installed";
  // Port 1 on the loopback is closed: the driver answers at once.
  TDbConnection conn(
      "Provider=SQLOLEDB.1;Password=x;User ID=sa;Initial Catalog=Stat;Data Source=127.0.0.1,1;"
      "Connect Timeout=3");
  auto start = std::chrono::steady_clock::now();
  std::string msg = ErrorOf([&] { conn.Open(); });
  EXPECT_NE(msg, "<no error>");
  EXPECT_FALSE(msg.empty());
  EXPECT_FALSE(conn.Connected());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
}  // namespace qd
