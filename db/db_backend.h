// The seam between a connection and the library that reaches its database:
// a backend runs SQL and hands back a forward cursor over the result.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection_string.h"
#include "engine/data/dataset.h"

namespace qd {

struct TDbColumn {
  std::string Name;
  TFieldType Type = TFieldType::ftString;
  int Size = 0;
};

//! A forward cursor over one result. Fetch moves to the next row (the first
//! call to the first row); the value accessors read the current row.
class TDbCursor {
 public:
  virtual ~TDbCursor() = default;
  const std::vector<TDbColumn>& Columns() const { return FColumns; }
  //! False at the end of the result.
  virtual bool Fetch() = 0;
  virtual bool IsNull(int col) const = 0;
  virtual TVariant Value(int col) const = 0;
  virtual std::string Text(int col) const = 0;
  //! Lends the current row's text of a column when it is its display text
  //! as stored (text columns), valid until the next Fetch; false otherwise.
  virtual bool TextView(int col, std::string_view& out) const {
    (void)col;
    (void)out;
    return false;
  }
  virtual std::int64_t Int(int col) const = 0;
  virtual double Float(int col) const = 0;
  //! The value as a number; false, with `value` 0, when a text is not one
  //! number. The default reads text columns strictly and the others by Float.
  virtual bool Number(int col, double& value) const;
  //! Bytes of the result received from the server so far; -1 when the
  //! backend does not know.
  virtual std::int64_t BytesReceived() const { return -1; }

 protected:
  std::vector<TDbColumn> FColumns;
};

//! One open database connection.
class TDbBackend {
 public:
  virtual ~TDbBackend() = default;
  //! Runs a query; timeoutSeconds 0 means no limit. Raises EDbError with the
  //! database's message.
  virtual std::unique_ptr<TDbCursor> OpenCursor(const std::string& sql, int timeoutSeconds) = 0;
  //! Runs a statement that returns no rows; the count of rows it touched.
  virtual std::int64_t Execute(const std::string& sql, int timeoutSeconds) = 0;
};

//! Opens the backend for a resolved connection string.
std::unique_ptr<TDbBackend> OpenBackend(const TConnectionTarget& target);

std::unique_ptr<TDbBackend> OpenSqliteBackend(const TConnectionTarget& target);
std::unique_ptr<TDbBackend> OpenPgBackend(const TConnectionTarget& target);
std::unique_ptr<TDbBackend> OpenOdbcBackend(const TConnectionTarget& target);
std::unique_ptr<TDbBackend> OpenCsvBackend(const TConnectionTarget& target);
std::unique_ptr<TDbBackend> OpenClickHouseBackend(const TConnectionTarget& target);

// Conversions of a value that a database delivers as text, by field type.
// Shared by the backends that read text (PostgreSQL, ODBC, CSV).
namespace dbtext {
std::int64_t ToInt(std::string_view text);
double ToFloat(std::string_view text);
//! Date-time value of "yyyy-mm-dd[ hh:nn:ss[.fff]][tz]"; 0 when not a date.
double ToDateTime(std::string_view text);
bool ToBool(std::string_view text);
TVariant ToValue(std::string_view text, TFieldType type);
double ToFloatOf(std::string_view text, TFieldType type);
std::int64_t ToIntOf(std::string_view text, TFieldType type);
//! Display text: dates in the program's own form, everything else as given.
std::string ToDisplay(std::string_view text, TFieldType type);
//! True when the SQL text begins with SELECT, WITH, VALUES or TABLE (after
//! blanks, comments and opening parentheses).
bool IsRowQuery(std::string_view sql);
}  // namespace dbtext

}  // namespace qd
