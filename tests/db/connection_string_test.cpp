#include "db/connection_string.h"

#include <gtest/gtest.h>

#include "db/db_error.h"

namespace qd {
namespace {

TEST(ConnectionString, ParsesKeysWithoutCaseQuotedValuesAndSeveralLines) {
  auto cs = TConnectionString::Parse(
      "Provider=SQLOLEDB.1;Password=\"a;b\"\"c\";Persist Security Info=True;\r\n"
      "User ID = sa ;Initial Catalog='stat db'\nData Source=srv01;Extended={x=1;y}}z}");
  EXPECT_EQ(cs.Get("provider"), "SQLOLEDB.1");
  EXPECT_EQ(cs.Get("PASSWORD"), "a;b\"c");
  EXPECT_EQ(cs.Get("user id"), "sa");
  EXPECT_EQ(cs.Get("Initial Catalog"), "stat db");
  EXPECT_EQ(cs.Get("data source"), "srv01");
  EXPECT_EQ(cs.Get("Extended"), "x=1;y}z");
  EXPECT_FALSE(cs.Get("Server").has_value());
  EXPECT_EQ(cs.Pairs().size(), 7u);
}

TEST(ConnectionString, LaterValueOfARepeatedKeyWinsAndEmptySegmentsAreSkipped) {
  auto cs = TConnectionString::Parse(";;Data Source=a;;DATA SOURCE=b;\n\n");
  EXPECT_EQ(cs.Get("Data Source"), "b");
  EXPECT_EQ(cs.Pairs().size(), 1u);
}

TEST(ConnectionString, MalformedTextIsRefusedWithTheOffendingPart) {
  for (const char* bad : {"Provider=SQLite;Data Source", "Password=\"open", "=value",
                          "Password=\"x\"y;Provider=SQLite"}) {
    try {
      TConnectionString::Parse(bad);
      ADD_FAILURE() << bad;
    } catch (const EDbError& e) {
      EXPECT_NE(std::string(e.what()).find("连接字符串格式错误"), std::string::npos) << bad;
    }
  }
}

TEST(ConnectionString, SqlServerProvidersGoToOdbcThroughFreeTds) {
  for (const char* provider :
       {"SQLOLEDB", "SQLOLEDB.1", "MSOLEDBSQL", "SQLNCLI11", "sqlncli10.1"}) {
    auto t = ResolveConnectionString(std::string("Provider=") + provider +
                                     ";Password=p{w};User ID=sa;Initial Catalog=Stat;"
                                     "Data Source=10.1.2.3,1499;Connect Timeout=7");
    EXPECT_EQ(t.Provider, TDbProvider::dpODBC) << provider;
    EXPECT_EQ(t.OdbcString,
              "Driver=FreeTDS;Server=10.1.2.3;Port=1499;Database=Stat;UID=sa;PWD={p{w}}};"
              "ClientCharset=UTF-8;TDS_Version=7.4;Connect Timeout=7")
        << provider;
    EXPECT_EQ(t.ConnectTimeout, 7);
  }
  auto t = ResolveConnectionString(
      "Provider=SQLOLEDB.1;Data Source=dbhost\\STAT;Integrated Security=SSPI");
  EXPECT_EQ(t.OdbcString,
            "Driver=FreeTDS;Server=dbhost\\STAT;Port=1433;ClientCharset=UTF-8;TDS_Version=7.4;"
            "Connect Timeout=15");
}

TEST(ConnectionString, ClickHouseSpeaksHttpToTheDataSourcesPort) {
  auto t = ResolveConnectionString(
      "Provider=ClickHouse;Data Source=ch1.example:8124;Initial Catalog=stat;"
      "User ID=ana;Password=\"p;w\"");
  EXPECT_EQ(t.Provider, TDbProvider::dpClickHouse);
  EXPECT_EQ(t.HttpUrl, "http://ch1.example:8124/");
  EXPECT_EQ(t.Database, "stat");
  EXPECT_EQ(t.User, "ana");
  EXPECT_EQ(t.Password, "p;w");
  // The default port and user; an IPv6 address; a whole address as given.
  auto bare = ResolveConnectionString("Provider=clickhouse;Data Source=10.0.0.5");
  EXPECT_EQ(bare.HttpUrl, "http://10.0.0.5:8123/");
  EXPECT_EQ(bare.User, "default");
  EXPECT_EQ(ResolveConnectionString("Provider=ClickHouse;Data Source=::1").HttpUrl,
            "http://[::1]:8123/");
  EXPECT_EQ(ResolveConnectionString("Provider=ClickHouse;Data Source=https://ch.example:8443")
                .HttpUrl,
            "https://ch.example:8443/");
}

TEST(ConnectionString, EmbeddedServerAndFileProviders) {
  auto lite = ResolveConnectionString("Provider=SQLite;Data Source=\"/data/my demo.db\";Mode=Read");
  EXPECT_EQ(lite.Provider, TDbProvider::dpSQLite);
  EXPECT_EQ(lite.Path, "/data/my demo.db");
  EXPECT_TRUE(lite.ReadOnly);

  auto csv = ResolveConnectionString("provider=csv;data source=/data/facts");
  EXPECT_EQ(csv.Provider, TDbProvider::dpCSV);
  EXPECT_EQ(csv.Path, "/data/facts");

  auto pg = ResolveConnectionString(
      "Provider=PGSQL;Data Source=pg.local:5433;Initial Catalog=stat;User ID=ana;Password=x y");
  EXPECT_EQ(pg.Provider, TDbProvider::dpPostgreSQL);
  auto param = [&](const std::string& k) {
    for (auto& [key, v] : pg.PgParams)
      if (key == k) return v;
    return std::string("<none>");
  };
  EXPECT_EQ(param("host"), "pg.local");
  EXPECT_EQ(param("port"), "5433");
  EXPECT_EQ(param("dbname"), "stat");
  EXPECT_EQ(param("user"), "ana");
  EXPECT_EQ(param("password"), "x y");
}

TEST(ConnectionString, OdbcStringsPassThroughAndProblemsAreNamed) {
  auto dsn = ResolveConnectionString("DSN=stat;UID=u;PWD=p");
  EXPECT_EQ(dsn.Provider, TDbProvider::dpODBC);
  EXPECT_EQ(dsn.OdbcString, "DSN=stat;UID=u;PWD=p");
  auto msdasql = ResolveConnectionString("Provider=MSDASQL.1;Driver={SQLite3};Database=/x.db");
  EXPECT_EQ(msdasql.OdbcString, "Driver=SQLite3;Database=/x.db");

  auto message = [](const char* text) {
    try {
      ResolveConnectionString(text);
    } catch (const EDbError& e) {
      return std::string(e.what());
    }
    return std::string("<no error>");
  };
  EXPECT_EQ(message("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb"),
            "不支持的数据库提供程序：Microsoft.Jet.OLEDB.4.0");
  EXPECT_EQ(message(" \r\n "), "连接字符串为空");
  EXPECT_NE(message("Data Source=x").find("Provider"), std::string::npos);
  EXPECT_NE(message("Provider=SQLite").find("Data Source"), std::string::npos);
}

TEST(ConnectionString, PasswordsNeverReachAMessage) {
  auto message = [](std::string_view text) {
    try {
      TConnectionString::Parse(text);
    } catch (const EDbError& e) {
      return std::string(e.what());
    }
    return std::string("<no error>");
  };
  // A ";" inside an unquoted password cuts it: the rest is shown masked.
  EXPECT_EQ(message("Provider=SQLOLEDB;Password=Sec;r3tPW;User ID=sa"), "连接字符串格式错误：“***”");
  EXPECT_EQ(message("Pwd=\"abc;def"), "连接字符串格式错误：“Pwd=***”");
  EXPECT_EQ(message("Password=\"x\"y;Provider=SQLite"), "连接字符串格式错误：“Password=***”");
  EXPECT_EQ(message("Provider=SQLite;Data Source"), "连接字符串格式错误：“Data Source”");

  const std::string cs = "Provider=PostgreSQL;Data Source=h;User ID=u;Password=\"s3cr;et\";PWD=zz";
  EXPECT_EQ(MaskSecrets("login for u with s3cr;et failed (s3cr;et)", cs),
            "login for u with *** failed (***)");
  // Too short to mask inside a message without garbling it.
  EXPECT_EQ(MaskSecrets("zz top", cs), "zz top");
  // What a cube keeps of its connection has no password at all, short or not.
  EXPECT_EQ(ConnectionWithoutSecrets(cs), "Provider=PostgreSQL;Data Source=h;User ID=u");
  EXPECT_EQ(ConnectionWithoutSecrets("Provider=SQLite;Data Source"), "");
}

TEST(ConnectionString, QuotedValuesAndNamesReadBackAsWritten) {
  for (std::string folder : {"/data/d;Provider=SQLite", "/data/it's \"q\"", " /lead", "/plain"}) {
    auto cs = TConnectionString::Parse("Provider=CSV;Data Source=" + QuoteConnectionValue(folder));
    EXPECT_EQ(cs.Get("Provider"), "CSV") << folder;
    EXPECT_EQ(cs.Get("Data Source"), folder);
  }
  EXPECT_EQ(QuoteConnectionValue("/plain"), "/plain");
  EXPECT_EQ(QuoteSqlName("a\"b"), "\"a\"\"b\"");

  const TCsvFileSource source = CsvFileSource("/data/d;Provider=SQLite/a]b \"x\".csv");
  EXPECT_EQ(source.ConnectionString, "Provider=CSV;Data Source=\"/data/d;Provider=SQLite\"");
  EXPECT_EQ(source.Sql, "SELECT * FROM \"a]b \"\"x\"\".csv\"");
  EXPECT_EQ(ResolveConnectionString(source.ConnectionString).Provider, TDbProvider::dpCSV);
}

TEST(ConnectionString, TimeOutsFromTheString) {
  auto t = ResolveConnectionString("Provider=SQLite;Data Source=a.db;Command Timeout=90");
  EXPECT_EQ(t.ConnectTimeout, 15);
  EXPECT_EQ(t.CommandTimeout, 90);
  EXPECT_EQ(ResolveConnectionString("Provider=SQLite;Data Source=a.db").CommandTimeout, -1);
  // The FreeTDS driver also reads its login time-out from the string.
  EXPECT_EQ(ResolveConnectionString("Driver={FreeTDS};Server=h;Connect Timeout=4").OdbcString,
            "Driver=FreeTDS;Server=h;Connect Timeout=4");
  EXPECT_EQ(ResolveConnectionString("Driver=FreeTDS;Server=h").OdbcString,
            "Driver=FreeTDS;Server=h;Connect Timeout=15");
  EXPECT_EQ(ResolveConnectionString("Driver=SQLite3;Database=x").OdbcString,
            "Driver=SQLite3;Database=x");
}

}  // namespace
}  // namespace qd
