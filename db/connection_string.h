// Connection strings as users already have them ("Provider=…;Data Source=…;…"),
// parsed into key/value pairs and resolved into the adapter that reaches the
// database.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qd {

//! The parsed pairs of a connection string, in written order. Keys compare
//! without regard to letter case; a key written twice keeps its last value.
class TConnectionString {
 public:
  //! Pairs are separated by ";" or line breaks; values may be quoted with
  //! "…" or '…' (a doubled quote inside is one quote) or braced with {…}
  //! (a doubled "}" is one brace). Raises EDbError for a pair without "=".
  static TConnectionString Parse(std::string_view text);

  std::optional<std::string> Get(std::string_view key) const;
  //! The first of several alternative keys that is present.
  std::optional<std::string> GetAny(std::initializer_list<std::string_view> keys) const;
  const std::vector<std::pair<std::string, std::string>>& Pairs() const { return FPairs; }
  void Set(const std::string& key, const std::string& value);
  void Remove(std::string_view key);

 private:
  std::vector<std::pair<std::string, std::string>> FPairs;
};

//! Which adapter reaches the database.
enum class TDbProvider : std::uint8_t {
  dpSQLite = 0,
  dpPostgreSQL = 1,
  dpODBC = 2,
  dpCSV = 3,
  dpClickHouse = 4
};

//! Where and how to connect.
struct TConnectionTarget {
  TDbProvider Provider = TDbProvider::dpSQLite;
  //! SQLite file, CSV file or folder.
  std::string Path;
  //! libpq keywords and values (PostgreSQL).
  std::vector<std::pair<std::string, std::string>> PgParams;
  //! The string handed to SQLDriverConnect (ODBC, SQL Server).
  std::string OdbcString;
  //! ClickHouse: the server's HTTP address ("http://host:8123/"), the
  //! database queries run in, and the login sent as HTTP basic authentication.
  std::string HttpUrl, Database, User, Password;
  //! Login time-out in seconds ("Connect Timeout"); 0 = the driver's default.
  int ConnectTimeout = 15;
  //! Time-out of every query in seconds ("Command Timeout" or "Query
  //! Timeout"), overriding the query's own; -1 when the string gives none.
  int CommandTimeout = -1;
  //! True when the database was asked to be opened read-only ("Mode=Read").
  bool ReadOnly = false;
};

//! Resolves a connection string. SQLOLEDB, SQLOLEDB.1, MSOLEDBSQL and SQLNCLI*
//! reach SQL Server through ODBC with the FreeTDS driver (QD_SQLSERVER_ODBC_DRIVER
//! names another driver); SQLite opens the file in Data Source; PostgreSQL and
//! PGSQL use libpq; CSV reads a file or a folder of files; MSDASQL and strings
//! with Driver= or DSN= go to ODBC unchanged; ClickHouse speaks HTTP to the
//! "host:port" of Data Source (port 8123 when none is given). Raises EDbError for an empty
//! string or an unknown provider.
TConnectionTarget ResolveConnectionString(std::string_view text);

//! A value that the parser reads back as it is: quoted ("…" with doubled
//! quotes) when it holds a separator, quote, brace, "=" or outer blanks.
std::string QuoteConnectionValue(std::string_view value);
//! A name quoted for SQL: "…" with doubled quotes inside.
std::string QuoteSqlName(std::string_view name);

//! The connection string and query that read one CSV file, whatever its folder
//! and name hold.
struct TCsvFileSource {
  std::string ConnectionString, Sql;
};
TCsvFileSource CsvFileSource(const std::string& file);

//! Passwords shorter than this are not masked inside messages, where "***"
//! would replace every occurrence of a letter or two.
constexpr std::size_t kMinMaskedSecret = 3;
//! The message with every password ("Password", "Pwd") of the connection
//! string replaced by "***".
std::string MaskSecrets(std::string_view message, std::string_view connectionText);

//! The connection string without its passwords ("Password", "Pwd"), to be
//! kept with what was built from it; empty when it does not parse.
std::string ConnectionWithoutSecrets(std::string_view connectionText);

//! Writes ODBC pairs back as text, bracing values that need it.
std::string OdbcConnectionText(const std::vector<std::pair<std::string, std::string>>& pairs);

}  // namespace qd
