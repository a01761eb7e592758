// PostgreSQL through libpq. Row queries are read through a server-side cursor
// in batches, so a large fact query is never held in memory as a whole.
#include <libpq-fe.h>

#include <string>

#include "db/db_backend.h"
#include "db/db_error.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_helpers.h"

namespace qd {
namespace {

constexpr int kFetchRows = 20000;

// libpq's messages end with a line break.
std::string TrimMessage(const char* text) {
  return std::string(TrimRight(text ? text : "", " \n"));
}

std::string ResultMessage(PGconn* conn, const PGresult* res) {
  if (res) {
    if (const char* primary = PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY)) return primary;
    std::string m = TrimMessage(PQresultErrorMessage(res));
    if (!m.empty()) return m;
  }
  return TrimMessage(PQerrorMessage(conn));
}

TFieldType PgType(Oid oid) {
  using enum TFieldType;
  switch (oid) {
    case 16:
      return ftBoolean;
    case 17:
      return ftBytes;
    case 18:
    case 1042:
      return ftFixedChar;
    case 20:
      return ftLargeint;
    case 21:
      return ftSmallint;
    case 23:
      return ftInteger;
    case 26:
      return ftLargeint;
    case 700:
    case 701:
      return ftFloat;
    case 1082:
      return ftDate;
    case 1083:
    case 1266:
      return ftTime;
    case 1114:
    case 1184:
      return ftDateTime;
    case 1700:
      return ftBCD;
    case 2950:
      return ftGuid;
    default:
      return ftString;
  }
}

class TPgResult {
 public:
  TPgResult() = default;
  explicit TPgResult(PGresult* r) : FRes(r) {}
  ~TPgResult() { PQclear(FRes); }
  TPgResult(TPgResult&& o) noexcept : FRes(o.FRes) { o.FRes = nullptr; }
  TPgResult& operator=(TPgResult&& o) noexcept {
    std::swap(FRes, o.FRes);
    return *this;
  }
  PGresult* get() const { return FRes; }

 private:
  PGresult* FRes = nullptr;
};

class TPgBackend;

class TPgCursor final : public TDbCursor {
 public:
  TPgCursor(TPgBackend& owner, const std::string& sql, int timeoutSeconds);
  ~TPgCursor() override;

  bool Fetch() override;
  bool IsNull(int col) const override { return PQgetisnull(FRes.get(), FRow, col) != 0; }
  TVariant Value(int col) const override {
    if (IsNull(col)) return {};
    return dbtext::ToValue(Raw(col), FColumns[col].Type);
  }
  std::string Text(int col) const override {
    return dbtext::ToDisplay(Raw(col), FColumns[col].Type);
  }
  bool TextView(int col, std::string_view& out) const override {
    if (FColumns[col].Type != TFieldType::ftString || IsNull(col)) return false;
    out = Raw(col);
    return true;
  }
  std::int64_t Int(int col) const override { return dbtext::ToIntOf(Raw(col), FColumns[col].Type); }
  double Float(int col) const override { return dbtext::ToFloatOf(Raw(col), FColumns[col].Type); }

 private:
  std::string_view Raw(int col) const {
    return {PQgetvalue(FRes.get(), FRow, col),
            static_cast<std::size_t>(PQgetlength(FRes.get(), FRow, col))};
  }
  void FetchBatch();

  TPgBackend& FOwner;
  int FTimeout;
  std::string FName;         // server cursor name; empty for a one-shot result
  unsigned FGeneration = 0;  // transaction the cursor lives in
  TPgResult FRes;
  int FRow = -1;
  bool FLast = false;  // the current batch is the last one
};

class TPgBackend final : public TDbBackend {
 public:
  explicit TPgBackend(const TConnectionTarget& t) {
    std::vector<const char*> keys, values;
    for (const auto& [k, v] : t.PgParams) {
      keys.push_back(k.c_str());
      values.push_back(v.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    FConn = PQconnectdbParams(keys.data(), values.data(), 0);
    if (!FConn || PQstatus(FConn) != CONNECTION_OK) {
      std::string msg = FConn ? TrimMessage(PQerrorMessage(FConn)) : "out of memory";
      PQfinish(FConn);
      throw EDbError(msg);
    }
  }
  ~TPgBackend() override { PQfinish(FConn); }

  std::unique_ptr<TDbCursor> OpenCursor(const std::string& sql, int timeoutSeconds) override {
    return std::make_unique<TPgCursor>(*this, sql, timeoutSeconds);
  }

  std::int64_t Execute(const std::string& sql, int timeoutSeconds) override {
    SetTimeout(timeoutSeconds);
    TPgResult r = Run(sql.c_str(), PGRES_COMMAND_OK, PGRES_TUPLES_OK);
    const char* n = PQcmdTuples(r.get());
    return n && *n ? std::stoll(n) : 0;
  }

  // Runs a command expecting one of two statuses; on failure rolls back any
  // open transaction (which ends every cursor in it) and raises the server's message.
  TPgResult Run(const char* sql, ExecStatusType ok1, ExecStatusType ok2 = PGRES_COMMAND_OK) {
    TPgResult r(PQexec(FConn, sql));
    ExecStatusType st = PQresultStatus(r.get());
    if (r.get() && (st == ok1 || st == ok2)) return r;
    std::string msg = ResultMessage(FConn, r.get());
    if (FOpenCursors > 0 && PQtransactionStatus(FConn) != PQTRANS_IDLE) {
      TPgResult rb(PQexec(FConn, "ROLLBACK"));
      ++FGeneration;
      FOpenCursors = 0;
    }
    FTimeout = -1;
    throw EDbError(msg);
  }

  void SetTimeout(int seconds) {
    if (seconds == FTimeout) return;
    std::string cmd = "SET statement_timeout = " + std::to_string(seconds * 1000);
    Run(cmd.c_str(), PGRES_COMMAND_OK);
    FTimeout = seconds;
  }

  // Cursors live inside one transaction, begun by the first and ended by the last.
  unsigned BeginCursor() {
    if (FOpenCursors == 0) Run("BEGIN", PGRES_COMMAND_OK);
    ++FOpenCursors;
    return FGeneration;
  }
  void EndCursor(unsigned generation, const std::string& name) {
    if (generation != FGeneration || PQstatus(FConn) != CONNECTION_OK) return;
    try {
      Run(("CLOSE " + name).c_str(), PGRES_COMMAND_OK);
      if (--FOpenCursors == 0) {
        Run("COMMIT", PGRES_COMMAND_OK);
        FTimeout = -1;  // the transaction's settings may have been undone
      }
    } catch (const EDbError&) {
      // Closing never fails visibly; Run has already rolled back.
    }
  }
  bool Alive(unsigned generation) const { return generation == FGeneration; }
  PGconn* Conn() const { return FConn; }
  std::string NextCursorName() { return "qd_cursor_" + std::to_string(++FCursorSeq); }

 private:
  PGconn* FConn = nullptr;
  int FOpenCursors = 0;
  unsigned FGeneration = 0;
  unsigned FCursorSeq = 0;
  int FTimeout = -1;  // statement_timeout in force, -1 when unknown
};

TPgCursor::TPgCursor(TPgBackend& owner, const std::string& sql, int timeoutSeconds)
    : FOwner(owner), FTimeout(timeoutSeconds) {
  if (dbtext::IsRowQuery(sql)) {
    FGeneration = FOwner.BeginCursor();
    FName = FOwner.NextCursorName();
    try {
      FOwner.SetTimeout(FTimeout);
      std::string declare = "DECLARE " + FName + " NO SCROLL CURSOR FOR " + sql;
      FOwner.Run(declare.c_str(), PGRES_COMMAND_OK);
      FetchBatch();
    } catch (...) {
      FOwner.EndCursor(FGeneration, FName);
      throw;
    }
  } else {
    FOwner.SetTimeout(FTimeout);
    FRes = FOwner.Run(sql.c_str(), PGRES_TUPLES_OK, PGRES_TUPLES_OK);
    FLast = true;
  }
  int n = PQnfields(FRes.get());
  for (int i = 0; i < n; ++i) {
    TDbColumn c;
    c.Name = PQfname(FRes.get(), i);
    c.Type = PgType(PQftype(FRes.get(), i));
    int mod = PQfmod(FRes.get(), i);
    if (c.Type == TFieldType::ftString || c.Type == TFieldType::ftFixedChar)
      c.Size = mod > 4 ? mod - 4 : 0;
    FColumns.push_back(std::move(c));
  }
}

TPgCursor::~TPgCursor() {
  if (!FName.empty()) FOwner.EndCursor(FGeneration, FName);
}

void TPgCursor::FetchBatch() {
  if (!FOwner.Alive(FGeneration)) throw EDbError(Msg(TMsg::SDbCursorLost));
  FOwner.SetTimeout(FTimeout);
  std::string cmd = "FETCH FORWARD " + std::to_string(kFetchRows) + " FROM " + FName;
  FRes = TPgResult();  // release the previous batch before the next arrives
  FRes = FOwner.Run(cmd.c_str(), PGRES_TUPLES_OK, PGRES_TUPLES_OK);
  FLast = PQntuples(FRes.get()) < kFetchRows;
  FRow = -1;
}

bool TPgCursor::Fetch() {
  if (++FRow < PQntuples(FRes.get())) return true;
  if (FLast) {
    FRow = PQntuples(FRes.get());
    return false;
  }
  FetchBatch();
  return ++FRow < PQntuples(FRes.get());
}

}  // namespace

std::unique_ptr<TDbBackend> OpenPgBackend(const TConnectionTarget& target) {
  return std::make_unique<TPgBackend>(target);
}

}  // namespace qd
