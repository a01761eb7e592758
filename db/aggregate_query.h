// The first aggregation sent to the database: the fact query wrapped so that
// the database returns one row per combination of dimension values, with the
// record count and per summary the sum, the sums of the second, third and
// fourth powers, the minimum and the maximum. Statistics that only need these
// (sum, count, average, minimum, maximum, variance, standard deviation,
// skewness, kurtosis) stay exact; a fact table of hundreds of millions of rows
// arrives as a few thousand.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/connection_string.h"
#include "engine/cube/fact_weights.h"

namespace qd {

//! How a database quotes names and turns a value into a double.
enum class TSqlDialect : std::uint8_t {
  sdStandard = 0,   //!< "name", CAST(x AS DOUBLE PRECISION): PostgreSQL, SQLite, ODBC
  sdSqlServer = 1,  //!< [name], CAST(x AS FLOAT)
  sdClickHouse = 2  //!< `name`, toFloat64(x)
};

//! The dialect of the database a connection string reaches.
TSqlDialect DialectOf(const TConnectionTarget& target);

//! A name quoted for the dialect.
std::string QuoteName(std::string_view name, TSqlDialect dialect);

//! SELECT dims…, COUNT(*), per summary SUM(x), SUM(x·x), SUM(x·x·x), SUM(x·x·x·x),
//! MIN(x), MAX(x) FROM (factSql) GROUP BY dims…, each x a double with NULL
//! taken as 0 as the cube build takes it. A closing ";" of the fact query goes.
std::string AggregateInDatabaseSql(std::string_view factSql,
                                   const std::vector<std::string>& dimensionFields,
                                   const std::vector<std::string>& summaryFields,
                                   TSqlDialect dialect);

//! The fact query wrapped to return its fields without any row.
std::string NoRowsSql(std::string_view factSql);

}  // namespace qd
