// Any ODBC driver through unixODBC; SQL Server is reached this way with FreeTDS.
#include <sql.h>
#include <sqlext.h>

#include <cstring>
#include <string>
#include <vector>

#include "db/db_backend.h"
#include "db/db_error.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"

namespace qd {
namespace {

std::string Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
  std::string out;
  SQLCHAR state[8], text[1024];
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  for (SQLSMALLINT i = 1;
       SQLGetDiagRec(handleType, handle, i, state, &native, text, sizeof text, &len) == SQL_SUCCESS;
       ++i) {
    if (!out.empty()) out += '\n';
    out += reinterpret_cast<const char*>(text);
  }
  return out.empty() ? "ODBC error" : out;
}

void Check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle) {
  if (SQL_SUCCEEDED(rc)) return;
  throw EDbError(Diagnostics(handleType, handle));
}

TFieldType OdbcType(SQLSMALLINT t) {
  using enum TFieldType;
  switch (t) {
    case SQL_CHAR:
    case SQL_WCHAR:
      return ftFixedChar;
    case SQL_VARCHAR:
    case SQL_WVARCHAR:
      return ftString;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
      return ftMemo;
    case SQL_TINYINT:
    case SQL_SMALLINT:
      return ftSmallint;
    case SQL_INTEGER:
      return ftInteger;
    case SQL_BIGINT:
      return ftLargeint;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return ftBCD;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return ftFloat;
    case SQL_BIT:
      return ftBoolean;
    case SQL_TYPE_DATE:
    case SQL_DATE:
      return ftDate;
    case SQL_TYPE_TIME:
    case SQL_TIME:
      return ftTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
      return ftDateTime;
    case SQL_BINARY:
    case SQL_VARBINARY:
      return ftBytes;
    case SQL_LONGVARBINARY:
      return ftBlob;
    case SQL_GUID:
      return ftGuid;
    default:
      return ftString;
  }
}

class TOdbcCursor final : public TDbCursor {
 public:
  TOdbcCursor(SQLHDBC dbc, const std::string& sql, int timeoutSeconds) {
    Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &FStmt), SQL_HANDLE_DBC, dbc);
    try {
      SQLSetStmtAttr(FStmt, SQL_ATTR_QUERY_TIMEOUT,
                     reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeoutSeconds)), 0);
      SQLSetStmtAttr(FStmt, SQL_ATTR_CURSOR_TYPE,
                     reinterpret_cast<SQLPOINTER>(SQL_CURSOR_FORWARD_ONLY), 0);
      SQLRETURN rc =
          SQLExecDirect(FStmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())),
                        static_cast<SQLINTEGER>(sql.size()));
      if (rc != SQL_NO_DATA) Check(rc, SQL_HANDLE_STMT, FStmt);
      SQLSMALLINT n = 0;
      Check(SQLNumResultCols(FStmt, &n), SQL_HANDLE_STMT, FStmt);
      for (SQLSMALLINT i = 1; i <= n; ++i) {
        SQLCHAR name[256];
        SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        Check(
            SQLDescribeCol(FStmt, i, name, sizeof name, &nameLen, &type, &size, &digits, &nullable),
            SQL_HANDLE_STMT, FStmt);
        TDbColumn c;
        c.Name = reinterpret_cast<const char*>(name);
        c.Type = OdbcType(type);
        if (IsTextFieldType(c.Type) && size < 1u << 20) c.Size = static_cast<int>(size);
        FColumns.push_back(std::move(c));
      }
    } catch (...) {
      SQLFreeHandle(SQL_HANDLE_STMT, FStmt);
      throw;
    }
    FValues.resize(FColumns.size());
    FNull.resize(FColumns.size());
  }
  ~TOdbcCursor() override {
    SQLCloseCursor(FStmt);
    SQLFreeHandle(SQL_HANDLE_STMT, FStmt);
  }

  bool Fetch() override {
    if (FColumns.empty()) return false;
    SQLRETURN rc = SQLFetch(FStmt);
    if (rc == SQL_NO_DATA) return false;
    Check(rc, SQL_HANDLE_STMT, FStmt);
    for (std::size_t i = 0; i < FColumns.size(); ++i) ReadColumn(static_cast<SQLUSMALLINT>(i + 1));
    return true;
  }

  bool IsNull(int col) const override { return FNull[col]; }
  TVariant Value(int col) const override {
    if (FNull[col]) return {};
    return dbtext::ToValue(FValues[col], FColumns[col].Type);
  }
  std::string Text(int col) const override {
    return dbtext::ToDisplay(FValues[col], FColumns[col].Type);
  }
  bool TextView(int col, std::string_view& out) const override {
    if (FColumns[col].Type != TFieldType::ftString || FNull[col]) return false;
    out = FValues[col];
    return true;
  }
  std::int64_t Int(int col) const override {
    return dbtext::ToIntOf(FValues[col], FColumns[col].Type);
  }
  double Float(int col) const override {
    return dbtext::ToFloatOf(FValues[col], FColumns[col].Type);
  }

 private:
  // Reads one column of the current row as text, in as many pieces as it takes.
  void ReadColumn(SQLUSMALLINT col) {
    std::string& out = FValues[col - 1];
    out.clear();
    char buf[4096];
    for (;;) {
      SQLLEN ind = 0;
      SQLRETURN rc = SQLGetData(FStmt, col, SQL_C_CHAR, buf, sizeof buf, &ind);
      if (rc == SQL_NO_DATA) break;
      Check(rc, SQL_HANDLE_STMT, FStmt);
      if (ind == SQL_NULL_DATA) {
        FNull[col - 1] = true;
        return;
      }
      std::size_t got = (ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof buf))
                            ? sizeof buf - 1
                            : static_cast<std::size_t>(ind);
      out.append(buf, got);
      if (rc == SQL_SUCCESS) break;  // SQL_SUCCESS_WITH_INFO: more to come
    }
    FNull[col - 1] = false;
  }

  SQLHSTMT FStmt = SQL_NULL_HSTMT;
  std::vector<std::string> FValues;
  std::vector<bool> FNull;
};

class TOdbcBackend final : public TDbBackend {
 public:
  explicit TOdbcBackend(const TConnectionTarget& t) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &FEnv)))
      throw EDbError("ODBC: cannot allocate an environment");
    SQLSetEnvAttr(FEnv, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, FEnv, &FDbc))) {
      SQLFreeHandle(SQL_HANDLE_ENV, FEnv);
      throw EDbError("ODBC: cannot allocate a connection");
    }
    // The login time-out only: the connection time-out would bound every
    // later request, a long fact query too. FreeTDS reads its login time-out
    // from the string ("Connect Timeout", added by ResolveConnectionString).
    if (t.ConnectTimeout > 0)
      SQLSetConnectAttr(FDbc, SQL_ATTR_LOGIN_TIMEOUT,
                        reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(t.ConnectTimeout)), 0);
    SQLCHAR out[1024];
    SQLSMALLINT outLen = 0;
    SQLRETURN rc = SQLDriverConnect(
        FDbc, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(t.OdbcString.c_str())), SQL_NTS,
        out, sizeof out, &outLen, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
      std::string msg = Diagnostics(SQL_HANDLE_DBC, FDbc);
      SQLFreeHandle(SQL_HANDLE_DBC, FDbc);
      SQLFreeHandle(SQL_HANDLE_ENV, FEnv);
      throw EDbError(msg);
    }
  }
  ~TOdbcBackend() override {
    SQLDisconnect(FDbc);
    SQLFreeHandle(SQL_HANDLE_DBC, FDbc);
    SQLFreeHandle(SQL_HANDLE_ENV, FEnv);
  }

  std::unique_ptr<TDbCursor> OpenCursor(const std::string& sql, int timeoutSeconds) override {
    return std::make_unique<TOdbcCursor>(FDbc, sql, timeoutSeconds);
  }

  std::int64_t Execute(const std::string& sql, int timeoutSeconds) override {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    Check(SQLAllocHandle(SQL_HANDLE_STMT, FDbc, &stmt), SQL_HANDLE_DBC, FDbc);
    SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeoutSeconds)), 0);
    SQLRETURN rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())),
                                 static_cast<SQLINTEGER>(sql.size()));
    SQLLEN rows = 0;
    std::string msg;
    if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc))
      msg = Diagnostics(SQL_HANDLE_STMT, stmt);
    else
      SQLRowCount(stmt, &rows);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    if (!msg.empty()) throw EDbError(msg);
    return rows < 0 ? 0 : rows;
  }

 private:
  SQLHENV FEnv = SQL_NULL_HENV;
  SQLHDBC FDbc = SQL_NULL_HDBC;
};

}  // namespace

std::unique_ptr<TDbBackend> OpenOdbcBackend(const TConnectionTarget& target) {
  return std::make_unique<TOdbcBackend>(target);
}

}  // namespace qd
