#include "db/aggregate_query.h"

#include "engine/core/text_helpers.h"

namespace qd {
namespace {

std::string AsDouble(const std::string& quoted, TSqlDialect dialect) {
  switch (dialect) {
    case TSqlDialect::sdClickHouse:
      return "toFloat64(" + quoted + ")";
    case TSqlDialect::sdSqlServer:
      return "CAST(" + quoted + " AS FLOAT)";
    case TSqlDialect::sdStandard:
      break;
  }
  return "CAST(" + quoted + " AS DOUBLE PRECISION)";
}

}  // namespace

TSqlDialect DialectOf(const TConnectionTarget& target) {
  if (target.Provider == TDbProvider::dpClickHouse) return TSqlDialect::sdClickHouse;
  if (target.Provider == TDbProvider::dpODBC) {
    const std::string odbc = Lower(target.OdbcString);
    if (odbc.find("freetds") != std::string::npos || odbc.find("sql server") != std::string::npos)
      return TSqlDialect::sdSqlServer;
  }
  return TSqlDialect::sdStandard;
}

std::string QuoteName(std::string_view name, TSqlDialect dialect) {
  const char open = dialect == TSqlDialect::sdSqlServer    ? '['
                    : dialect == TSqlDialect::sdClickHouse ? '`'
                                                           : '"';
  const char close = open == '[' ? ']' : open;
  std::string out(1, open);
  for (char c : name) {
    if (c == close) out += close;  // doubled inside the quotes
    out += c;
  }
  return out + close;
}

std::string AggregateInDatabaseSql(std::string_view factSql,
                                   const std::vector<std::string>& dimensionFields,
                                   const std::vector<std::string>& summaryFields,
                                   TSqlDialect dialect) {
  auto q = [&](std::string_view name) { return QuoteName(name, dialect); };
  std::string dims;
  for (const std::string& d : dimensionFields) dims += (dims.empty() ? "" : ", ") + q(d);
  std::string sql = "SELECT ";
  if (!dims.empty()) sql += dims + ", ";
  sql += "COUNT(*) AS " + q(kAggregateCountColumn);
  for (const std::string& s : summaryFields) {
    const std::string x = "COALESCE(" + AsDouble(q(s), dialect) + ", 0)";
    const TAggregateColumnNames n = AggregateColumnNames(s);
    sql += ",\n  SUM(" + x + ") AS " + q(n.Sum);
    sql += ", SUM(" + x + " * " + x + ") AS " + q(n.Sum2);
    sql += ", SUM(" + x + " * " + x + " * " + x + ") AS " + q(n.Sum3);
    sql += ", SUM(" + x + " * " + x + " * " + x + " * " + x + ") AS " + q(n.Sum4);
    sql += ", MIN(" + x + ") AS " + q(n.Min) + ", MAX(" + x + ") AS " + q(n.Max);
  }
  // The fact query on lines of its own: a closing "--" comment ends there.
  sql += "\nFROM (\n" + std::string(TrimRight(factSql, " \t\r\n;")) + "\n) qd_facts";
  if (!dims.empty()) sql += "\nGROUP BY " + dims;
  return sql;
}

std::string NoRowsSql(std::string_view factSql) {
  return "SELECT * FROM (\n" + std::string(TrimRight(factSql, " \t\r\n;")) +
         "\n) qd_facts WHERE 1 = 0";
}

}  // namespace qd
