#include "db/connection_string.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "db/db_error.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_helpers.h"

namespace qd {
namespace {

// Keys and values of a connection string are trimmed of any white space.
std::string_view TrimSpace(std::string_view s) {
  return Trim(s, kWhiteSpace);
}

bool IsPairEnd(char c) {
  return c == ';' || c == '\n' || c == '\r';
}

bool IsSecretKey(std::string_view key) {
  const std::string k = Lower(TrimSpace(key));
  return k == "password" || k == "pwd";
}

// A part of the text for an error message: the value of a password, and a part
// that follows one (the rest of a password with a ";" in it), become "***".
std::string Shown(std::string_view part, bool afterSecret) {
  part = TrimSpace(part);
  if (afterSecret) return "***";
  const std::size_t eq = part.find('=');
  if (eq != std::string_view::npos && IsSecretKey(part.substr(0, eq)))
    return std::string(TrimSpace(part.substr(0, eq + 1))) + "***";
  return std::string(part);
}

[[noreturn]] void RaiseBadPair(std::string_view part, bool afterSecret) {
  throw EDbError(Format(Msg(TMsg::SDbBadConnectionPair), Shown(part, afterSecret)));
}

// Reads a quoted or braced value starting at text[i] (the opening character);
// returns the value and leaves i after the closing character.
std::string ReadEnclosed(std::string_view text, std::size_t& i, std::string_view whole) {
  char open = text[i], close = open == '{' ? '}' : open;
  std::string value;
  for (++i; i < text.size(); ++i) {
    if (text[i] == close) {
      if (i + 1 < text.size() && text[i + 1] == close) {
        value += close;
        ++i;
        continue;
      }
      ++i;
      return value;
    }
    value += text[i];
  }
  RaiseBadPair(whole, false);
}

int ToSeconds(const std::optional<std::string>& text, int fallback) {
  if (!text) return fallback;
  char* end = nullptr;
  long v = std::strtol(text->c_str(), &end, 10);
  if (end == text->c_str() || v < 0 || v > 86400) return fallback;
  return static_cast<int>(v);
}

// "host,port", "host:port" or "tcp:host,port" split into host and port.
void SplitHostPort(std::string hostText, std::string& host, std::string& port) {
  if (StartsWithNoCase(hostText, "tcp:")) hostText.erase(0, 4);
  std::size_t p = hostText.find_last_of(",:");
  // A lone IPv6 address keeps its colons.
  if (p != std::string::npos && hostText.find(':') != hostText.rfind(':')) p = hostText.find(',');
  if (p == std::string::npos) {
    host = hostText;
    port.clear();
  } else {
    host = std::string(TrimSpace(std::string_view(hostText).substr(0, p)));
    port = std::string(TrimSpace(std::string_view(hostText).substr(p + 1)));
  }
}

// The protocol of SQL Server 2012 and later; earlier servers answer with theirs.
constexpr const char* kSqlServerTds = "7.4";

bool IsFreeTds(std::string_view driver) {
  const std::string d = Lower(driver);
  return d.find("freetds") != std::string::npos || d.find("tdsodbc") != std::string::npos;
}

bool IsSqlServerProvider(const std::string& p) {
  return p == "sqloledb" || p.rfind("sqloledb.", 0) == 0 || p == "msoledbsql" ||
         p.rfind("msoledbsql.", 0) == 0 || p.rfind("sqlncli", 0) == 0;
}

std::string DataSource(const TConnectionString& cs) {
  auto ds = cs.GetAny({"Data Source", "Server", "Address", "Addr", "Network Address", "Host"});
  if (!ds || TrimSpace(*ds).empty()) throw EDbError(Msg(TMsg::SDbNoDataSource));
  return std::string(TrimSpace(*ds));
}

TConnectionTarget SqlServerTarget(const TConnectionString& cs, TConnectionTarget t) {
  std::string host, port;
  SplitHostPort(DataSource(cs), host, port);
  const char* envDriver = std::getenv("QD_SQLSERVER_ODBC_DRIVER");
  const std::string driver = envDriver && *envDriver ? envDriver : "FreeTDS";
  std::vector<std::pair<std::string, std::string>> odbc;
  odbc.emplace_back("Driver", driver);
  odbc.emplace_back("Server", host);
  odbc.emplace_back("Port", port.empty() ? "1433" : port);
  if (auto db = cs.GetAny({"Initial Catalog", "Database"})) odbc.emplace_back("Database", *db);
  if (auto uid = cs.GetAny({"User ID", "UID", "User"})) odbc.emplace_back("UID", *uid);
  if (auto pwd = cs.GetAny({"Password", "PWD"})) odbc.emplace_back("PWD", *pwd);
  if (auto app = cs.GetAny({"Application Name", "APP"})) odbc.emplace_back("APP", *app);
  // Text arrives as UTF-8 whatever the server's collation.
  odbc.emplace_back("ClientCharset", "UTF-8");
  if (IsFreeTds(driver)) {
    // A fixed protocol: after a login timed out, FreeTDS's automatic choice
    // tries the Sybase protocol next and waits for a silent server for ever.
    odbc.emplace_back("TDS_Version",
                      cs.GetAny({"TDS_Version", "TDS Version"}).value_or(kSqlServerTds));
    if (t.ConnectTimeout > 0)
      odbc.emplace_back("Connect Timeout", std::to_string(t.ConnectTimeout));
  }
  t.Provider = TDbProvider::dpODBC;
  t.OdbcString = OdbcConnectionText(odbc);
  return t;
}

TConnectionTarget PostgresTarget(const TConnectionString& cs, TConnectionTarget t) {
  std::string host, port;
  SplitHostPort(DataSource(cs), host, port);
  if (auto p = cs.Get("Port")) port = *p;
  t.Provider = TDbProvider::dpPostgreSQL;
  t.PgParams.emplace_back("host", host);
  if (!port.empty()) t.PgParams.emplace_back("port", port);
  if (auto db = cs.GetAny({"Initial Catalog", "Database", "dbname"}))
    t.PgParams.emplace_back("dbname", *db);
  if (auto uid = cs.GetAny({"User ID", "UID", "User", "Username"}))
    t.PgParams.emplace_back("user", *uid);
  if (auto pwd = cs.GetAny({"Password", "PWD"})) t.PgParams.emplace_back("password", *pwd);
  if (auto ssl = cs.GetAny({"SSL Mode", "SslMode", "sslmode"}))
    t.PgParams.emplace_back("sslmode", Lower(*ssl));
  if (t.ConnectTimeout > 0)
    t.PgParams.emplace_back("connect_timeout", std::to_string(std::max(2, t.ConnectTimeout)));
  t.PgParams.emplace_back("client_encoding", "UTF8");
  t.PgParams.emplace_back("application_name", "Quarrydesk");
  return t;
}

// ClickHouse's HTTP interface: "host", "host:port", "host,port" or a whole
// "http(s)://…" address.
TConnectionTarget ClickHouseTarget(const TConnectionString& cs, TConnectionTarget t) {
  const std::string ds = DataSource(cs);
  t.Provider = TDbProvider::dpClickHouse;
  if (StartsWithNoCase(ds, "http://") || StartsWithNoCase(ds, "https://")) {
    t.HttpUrl = ds.back() == '/' ? ds : ds + '/';
  } else {
    std::string host, port;
    SplitHostPort(ds, host, port);
    if (auto p = cs.Get("Port")) port = *p;
    // An IPv6 address goes in brackets inside a URL.
    if (host.find(':') != std::string::npos && host.front() != '[') host = '[' + host + ']';
    t.HttpUrl = "http://" + host + ':' + (port.empty() ? "8123" : port) + '/';
  }
  t.Database = cs.GetAny({"Initial Catalog", "Database"}).value_or("");
  t.User = cs.GetAny({"User ID", "UID", "User", "Username"}).value_or("default");
  t.Password = cs.GetAny({"Password", "PWD"}).value_or("");
  return t;
}

}  // namespace

TConnectionString TConnectionString::Parse(std::string_view text) {
  TConnectionString cs;
  std::size_t i = 0;
  bool afterSecret = false;  // the previous pair was a password
  while (i < text.size()) {
    // Key: up to "=" (a doubled "==" is a literal "=" inside the key).
    std::size_t start = i;
    std::string key;
    while (i < text.size() && !IsPairEnd(text[i])) {
      if (text[i] == '=') {
        if (i + 1 < text.size() && text[i + 1] == '=') {
          key += '=';
          i += 2;
          continue;
        }
        break;
      }
      key += text[i++];
    }
    std::string_view keyView = TrimSpace(key);
    if (i >= text.size() || text[i] != '=') {
      if (!keyView.empty()) RaiseBadPair(keyView, afterSecret);
      ++i;  // empty segment
      continue;
    }
    ++i;  // "="
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::string value;
    if (i < text.size() && (text[i] == '"' || text[i] == '\'' || text[i] == '{')) {
      value =
          ReadEnclosed(text, i, text.substr(start, std::min(text.size() - start, i - start + 1)));
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
      if (i < text.size() && !IsPairEnd(text[i]))
        RaiseBadPair(text.substr(start, i - start + 1), afterSecret);
    } else {
      std::size_t vs = i;
      while (i < text.size() && !IsPairEnd(text[i])) ++i;
      value = std::string(TrimSpace(text.substr(vs, i - vs)));
    }
    if (keyView.empty()) RaiseBadPair(text.substr(start, i - start), afterSecret);
    afterSecret = IsSecretKey(keyView);
    cs.Set(std::string(keyView), value);
    if (i < text.size()) ++i;  // separator
  }
  return cs;
}

std::optional<std::string> TConnectionString::Get(std::string_view key) const {
  for (const auto& [name, value] : FPairs)
    if (SameText(name, key)) return value;
  return std::nullopt;
}

std::optional<std::string> TConnectionString::GetAny(
    std::initializer_list<std::string_view> keys) const {
  for (std::string_view k : keys)
    if (auto v = Get(k)) return v;
  return std::nullopt;
}

void TConnectionString::Set(const std::string& key, const std::string& value) {
  for (auto& [name, v] : FPairs)
    if (SameText(name, key)) {
      v = value;
      return;
    }
  FPairs.emplace_back(key, value);
}

void TConnectionString::Remove(std::string_view key) {
  std::erase_if(FPairs, [&](const auto& p) { return SameText(p.first, key); });
}

std::string OdbcConnectionText(const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::string out;
  for (const auto& [key, value] : pairs) {
    if (!out.empty()) out += ';';
    out += key;
    out += '=';
    bool brace = value.find_first_of(";{}=") != std::string::npos ||
                 (!value.empty() && (std::isspace(static_cast<unsigned char>(value.front())) ||
                                     std::isspace(static_cast<unsigned char>(value.back()))));
    if (!brace) {
      out += value;
      continue;
    }
    out += '{';
    for (char c : value) {
      out += c;
      if (c == '}') out += '}';
    }
    out += '}';
  }
  return out;
}

TConnectionTarget ResolveConnectionString(std::string_view text) {
  if (TrimSpace(text).empty()) throw EDbError(Msg(TMsg::SDbEmptyConnectionString));
  TConnectionString cs = TConnectionString::Parse(text);
  TConnectionTarget t;
  t.ConnectTimeout = ToSeconds(cs.GetAny({"Connect Timeout", "Connection Timeout", "Timeout"}), 15);
  t.CommandTimeout =
      ToSeconds(cs.GetAny({"Command Timeout", "CommandTimeout", "Query Timeout"}), -1);
  if (auto mode = cs.Get("Mode")) t.ReadOnly = Lower(TrimSpace(*mode)) == "read";

  auto provider = cs.Get("Provider");
  std::string p = provider ? Lower(TrimSpace(*provider)) : std::string();
  if (p.empty() || p == "msdasql" || p.rfind("msdasql.", 0) == 0) {
    if (!cs.GetAny({"Driver", "DSN", "FileDSN"})) throw EDbError(Msg(TMsg::SDbNoProvider));
    TConnectionString odbc = cs;
    odbc.Remove("Provider");
    if (IsFreeTds(odbc.Get("Driver").value_or("")) && t.ConnectTimeout > 0 &&
        !cs.GetAny({"Connect Timeout", "Connection Timeout"}))
      odbc.Set("Connect Timeout", std::to_string(t.ConnectTimeout));
    t.Provider = TDbProvider::dpODBC;
    t.OdbcString = OdbcConnectionText(odbc.Pairs());
    return t;
  }
  if (IsSqlServerProvider(p)) return SqlServerTarget(cs, t);
  if (p == "postgresql" || p == "pgsql" || p == "postgres") return PostgresTarget(cs, t);
  if (p == "clickhouse") return ClickHouseTarget(cs, t);
  if (p == "sqlite" || p == "sqlite3" || p == "csv") {
    auto ds = cs.GetAny({"Data Source", "Database", "DataSource"});
    if (!ds || TrimSpace(*ds).empty()) throw EDbError(Msg(TMsg::SDbNoDataSource));
    t.Provider = p == "csv" ? TDbProvider::dpCSV : TDbProvider::dpSQLite;
    t.Path = std::string(TrimSpace(*ds));
    return t;
  }
  throw EDbError(Format(Msg(TMsg::SDbUnknownProvider), TrimSpace(*provider)));
}

std::string QuoteConnectionValue(std::string_view value) {
  const bool plain =
      value.find_first_of(";\"'{}=\r\n") == std::string_view::npos &&
      (value.empty() || (!std::isspace(static_cast<unsigned char>(value.front())) &&
                         !std::isspace(static_cast<unsigned char>(value.back()))));
  if (plain) return std::string(value);
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

std::string QuoteSqlName(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

TCsvFileSource CsvFileSource(const std::string& file) {
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(file, ec);
  if (ec) path = file;
  return {"Provider=CSV;Data Source=" + QuoteConnectionValue(path.parent_path().string()),
          "SELECT * FROM " + QuoteSqlName(path.filename().string())};
}

std::string MaskSecrets(std::string_view message, std::string_view connectionText) {
  std::string out(message);
  std::vector<std::string> secrets;
  try {
    const TConnectionString cs = TConnectionString::Parse(connectionText);
    for (const auto& [key, value] : cs.Pairs())
      if (IsSecretKey(key) && value.size() >= kMinMaskedSecret) secrets.push_back(value);
  } catch (const EDbError&) {
    // A string that does not parse gave its error already, masked.
  }
  for (const std::string& secret : secrets)
    for (std::size_t at = out.find(secret); at != std::string::npos;
         at = out.find(secret, at + 3))
      out.replace(at, secret.size(), "***");
  return out;
}

std::string ConnectionWithoutSecrets(std::string_view connectionText) {
  std::string out;
  try {
    const TConnectionString parsed = TConnectionString::Parse(connectionText);
    for (const auto& [key, value] : parsed.Pairs()) {
      if (IsSecretKey(key)) continue;
      if (!out.empty()) out += ';';
      out += key + '=' + QuoteConnectionValue(value);
    }
  } catch (const EDbError&) {
    return {};
  }
  return out;
}

}  // namespace qd
