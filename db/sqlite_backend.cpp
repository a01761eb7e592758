// SQLite through the sqlite3 library: the embedded default database.
#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "db/db_backend.h"
#include "db/db_error.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_helpers.h"

namespace qd {
namespace {

using Clock = std::chrono::steady_clock;

// The field type of a declared column type, by SQLite's own affinity rules
// refined for the types users write.
TFieldType DeclaredType(const char* decl) {
  using enum TFieldType;
  const std::string d = Upper(decl ? decl : "");
  auto has = [&](const char* s) { return d.find(s) != std::string::npos; };
  if (d.empty()) return ftUnknown;
  if (has("BIGINT") || has("INT8") || has("LONG")) return ftLargeint;
  if (has("SMALLINT") || has("TINYINT") || has("INT2")) return ftSmallint;
  if (has("BOOL") || d == "BIT") return ftBoolean;
  if (has("INT")) return ftInteger;
  if (has("DATETIME") || has("TIMESTAMP")) return ftDateTime;
  if (has("DATE")) return ftDate;
  if (has("TIME")) return ftTime;
  if (has("DEC") || has("NUMERIC") || has("MONEY")) return ftBCD;
  if (has("REAL") || has("FLOA") || has("DOUB")) return ftFloat;
  if (has("BLOB") || has("BINARY")) return ftBlob;
  return ftString;
}

// The field type of an expression column, from the storage class of its first value.
TFieldType StorageType(int sqliteType) {
  switch (sqliteType) {
    case SQLITE_INTEGER:
      return TFieldType::ftLargeint;
    case SQLITE_FLOAT:
      return TFieldType::ftFloat;
    case SQLITE_BLOB:
      return TFieldType::ftBlob;
    default:
      return TFieldType::ftString;
  }
}

// The time-out of a connection's running step, kept by its progress handler.
// A step only counts itself and names its time-out; the handler, called every
// few thousand instructions, starts the step's clock on its first call in it,
// so that quick steps (most rows) never read the clock.
struct TStepWatch {
  int Timeout = 0;         // seconds allowed to the running step; 0: none
  std::uint64_t Step = 0;  // steps begun
  std::uint64_t Seen = 0;  // the step the deadline was set for
  Clock::time_point Deadline = Clock::time_point::max();
  bool Fired = false;  // the handler stopped the running step

  void Begin(int timeout) {
    Timeout = timeout;
    ++Step;
    Fired = false;
  }
  // True when the running step is over its time.
  bool Expired() {
    if (Timeout <= 0) return false;
    const Clock::time_point now = Clock::now();
    if (Seen != Step) {
      Seen = Step;
      Deadline = now + std::chrono::seconds(Timeout);
      return false;
    }
    Fired = now > Deadline;
    return Fired;
  }
};

class TSqliteCursor final : public TDbCursor {
 public:
  TSqliteCursor(sqlite3* db, TStepWatch& watch, const std::string& sql, int timeoutSeconds)
      : FDb(db), FTimeout(timeoutSeconds), FWatch(watch) {
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &FStmt, &tail) !=
        SQLITE_OK)
      throw EDbError(sqlite3_errmsg(db));
    if (!FStmt) throw EDbError(sqlite3_errmsg(db));  // only blanks or comments
    int n = sqlite3_column_count(FStmt);
    // Run to the first row so that expression columns can take the type of their value.
    try {
      FPending = Step();
    } catch (...) {
      sqlite3_finalize(FStmt);
      throw;
    }
    for (int i = 0; i < n; ++i) {
      TDbColumn c;
      c.Name = sqlite3_column_name(FStmt, i);
      c.Type = DeclaredType(sqlite3_column_decltype(FStmt, i));
      if (c.Type == TFieldType::ftUnknown)
        c.Type = FPending ? StorageType(sqlite3_column_type(FStmt, i)) : TFieldType::ftString;
      FColumns.push_back(std::move(c));
    }
  }
  ~TSqliteCursor() override { sqlite3_finalize(FStmt); }

  bool Fetch() override {
    if (FFirstPending) {
      FFirstPending = false;
      return FPending;
    }
    if (!FPending) return false;
    FPending = Step();
    return FPending;
  }

  bool IsNull(int col) const override { return sqlite3_column_type(FStmt, col) == SQLITE_NULL; }

  TVariant Value(int col) const override {
    using enum TFieldType;
    int st = sqlite3_column_type(FStmt, col);
    if (st == SQLITE_NULL) return {};
    TFieldType t = FColumns[col].Type;
    if (IsIntegerFieldType(t)) return Int(col);
    if (IsRealFieldType(t) || IsDateTimeFieldType(t)) return Float(col);
    if (t == ftBoolean) return Int(col) != 0;
    if (st == SQLITE_INTEGER && t != ftString)
      return static_cast<std::int64_t>(sqlite3_column_int64(FStmt, col));
    return Text(col);
  }

  std::string Text(int col) const override {
    TFieldType t = FColumns[col].Type;
    int st = sqlite3_column_type(FStmt, col);
    if (st == SQLITE_NULL) return {};
    if (IsDateTimeFieldType(t)) return DateTimeToText(Float(col), t);
    if (t == TFieldType::ftBoolean) return Int(col) != 0 ? "True" : "False";
    if (st == SQLITE_FLOAT) return FormatGeneral(sqlite3_column_double(FStmt, col));
    auto* p = reinterpret_cast<const char*>(sqlite3_column_text(FStmt, col));
    return std::string(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(FStmt, col)));
  }

  bool TextView(int col, std::string_view& out) const override {
    if (FColumns[col].Type != TFieldType::ftString) return false;
    if (sqlite3_column_type(FStmt, col) != SQLITE_TEXT) return false;
    out = RawText(col);
    return true;
  }

  std::int64_t Int(int col) const override {
    int st = sqlite3_column_type(FStmt, col);
    if (st == SQLITE_INTEGER) return sqlite3_column_int64(FStmt, col);
    if (st == SQLITE_TEXT) return dbtext::ToIntOf(RawText(col), FColumns[col].Type);
    double d = sqlite3_column_double(FStmt, col);
    if (!std::isfinite(d) || std::fabs(d) >= 9.2e18) return 0;
    return std::llround(d);
  }

  double Float(int col) const override {
    if (sqlite3_column_type(FStmt, col) == SQLITE_TEXT)
      return dbtext::ToFloatOf(RawText(col), FColumns[col].Type);
    return sqlite3_column_double(FStmt, col);
  }

  // A column holds whatever was stored in it: a text in a number column is
  // read strictly, a blob is no number; dates and Booleans keep their reading.
  bool Number(int col, double& value) const override {
    const int st = sqlite3_column_type(FStmt, col);
    const TFieldType t = FColumns[col].Type;
    value = 0;
    if (st == SQLITE_BLOB) return false;
    if (st == SQLITE_TEXT && !IsDateTimeFieldType(t) && t != TFieldType::ftBoolean)
      return TextToNumber(RawText(col), value);
    value = Float(col);
    return true;
  }

 private:
  std::string_view RawText(int col) const {
    auto* p = reinterpret_cast<const char*>(sqlite3_column_text(FStmt, col));
    return {p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(FStmt, col))};
  }

  // One step under the command time-out.
  bool Step() {
    FWatch.Begin(FTimeout);
    int rc = sqlite3_step(FStmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    if (rc == SQLITE_INTERRUPT && FTimeout > 0 && FWatch.Fired)
      throw EDbError(Format(Msg(TMsg::SDbTimeout), FTimeout));
    throw EDbError(sqlite3_errmsg(FDb));
  }

  sqlite3* FDb;
  sqlite3_stmt* FStmt = nullptr;
  int FTimeout;
  bool FPending = false;
  bool FFirstPending = true;
  // The connection's watch, checked by its progress handler.
  TStepWatch& FWatch;
};

class TSqliteBackend final : public TDbBackend {
 public:
  explicit TSqliteBackend(const TConnectionTarget& t) {
    // A missing file is an error: opening must never create an empty database.
    // A connection serves one thread: no per-call locking.
    int flags = (t.ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_URI |
                SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(t.Path.c_str(), &FDb, flags, nullptr);
    if (rc != SQLITE_OK) {
      std::string msg = FDb ? sqlite3_errmsg(FDb) : sqlite3_errstr(rc);
      sqlite3_close(FDb);
      throw EDbError(msg + ": " + t.Path);
    }
    sqlite3_busy_timeout(FDb, std::max(1, t.ConnectTimeout) * 1000);
    // Every step of a query with a time-out has its own deadline.
    sqlite3_progress_handler(FDb, 10000, &Progress, this);
  }
  ~TSqliteBackend() override { sqlite3_close_v2(FDb); }

  std::unique_ptr<TDbCursor> OpenCursor(const std::string& sql, int timeoutSeconds) override {
    return std::make_unique<TSqliteCursor>(FDb, FWatch, sql, timeoutSeconds);
  }

  std::int64_t Execute(const std::string& sql, int timeoutSeconds) override {
    std::int64_t before = sqlite3_total_changes64(FDb);
    // Run every statement in order, each under the time-out.
    const char* rest = sql.c_str();
    while (rest && *rest) {
      const char* tail = nullptr;
      sqlite3_stmt* stmt = nullptr;
      if (sqlite3_prepare_v2(FDb, rest, -1, &stmt, &tail) != SQLITE_OK)
        throw EDbError(sqlite3_errmsg(FDb));
      std::string text(rest, static_cast<std::size_t>(tail - rest));
      rest = tail;
      if (!stmt) continue;
      sqlite3_finalize(stmt);
      TSqliteCursor c(FDb, FWatch, text, timeoutSeconds);
      while (c.Fetch()) {
      }
    }
    return sqlite3_total_changes64(FDb) - before;
  }

 private:
  static int Progress(void* self) {
    return static_cast<TSqliteBackend*>(self)->FWatch.Expired() ? 1 : 0;
  }

  sqlite3* FDb = nullptr;
  TStepWatch FWatch;
};

}  // namespace

std::unique_ptr<TDbBackend> OpenSqliteBackend(const TConnectionTarget& target) {
  return std::make_unique<TSqliteBackend>(target);
}

}  // namespace qd
