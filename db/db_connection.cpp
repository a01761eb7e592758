#include "db/db_connection.h"

#include "db/connection_string.h"
#include "db/db_error.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_helpers.h"

namespace qd {

// ---- TDbConnection ---------------------------------------------------------

TDbConnection::TDbConnection(std::string connectionString)
    : FConnectionString(std::move(connectionString)) {}

TDbConnection::~TDbConnection() {
  Close();
  for (TDbQuery* q : FQueries) q->FConnection = nullptr;
}

void TDbConnection::SetConnectionString(std::string text) {
  if (Connected()) throw EDbError(Msg(TMsg::SDbConnectionOpen));
  FConnectionString = std::move(text);
}

void TDbConnection::Open() {
  if (Connected()) return;
  try {
    const TConnectionTarget target = ResolveConnectionString(FConnectionString);
    FBackend = OpenBackend(target);
    FQueryTimeout = target.CommandTimeout;
  } catch (const EDbError& e) {
    // Drivers may quote the string they were given.
    throw EDbError(MaskSecrets(e.what(), FConnectionString));
  }
}

int TDbConnection::QueryTimeout(int queryTimeout) const {
  return FQueryTimeout >= 0 ? FQueryTimeout : queryTimeout;
}

void TDbConnection::Close() {
  if (!Connected()) return;
  // Copy first: closing a query may unregister it.
  auto queries = FQueries;
  for (TDbQuery* q : queries) q->Close();
  FBackend.reset();
}

std::int64_t TDbConnection::Execute(const std::string& sql) {
  return Backend().Execute(sql, QueryTimeout(CommandTimeout));
}

TDbBackend& TDbConnection::Backend() {
  Open();
  return *FBackend;
}

// ---- TDbQuery --------------------------------------------------------------

TDbQuery::TDbQuery(TDbConnection* connection, std::string sql) : FSql(std::move(sql)) {
  SetConnection(connection);
}

TDbQuery::~TDbQuery() {
  FCursor.reset();
  if (FConnection) FConnection->FQueries.erase(this);
}

void TDbQuery::SetConnection(TDbConnection* connection) {
  if (connection == FConnection) return;
  Close();
  if (FConnection) FConnection->FQueries.erase(this);
  FConnection = connection;
  if (FConnection) FConnection->FQueries.insert(this);
}

void TDbQuery::SetSQL(std::string sql) {
  Close();
  FSql = std::move(sql);
}

TDataOrigin TDbQuery::Origin() const {
  return {FConnection ? ConnectionWithoutSecrets(FConnection->ConnectionString()) : std::string(),
          FSql};
}

std::unique_ptr<TDbCursor> TDbQuery::OpenCursor() {
  if (!FConnection) throw EDbError(Format(Msg(TMsg::SDbNoConnection), Name));
  if (IsBlank(FSql)) throw EDbError(Format(Msg(TMsg::SDbNoSqlText), Name));
  TDbBackend& backend = FConnection->Backend();
  try {
    return backend.OpenCursor(FSql, FConnection->QueryTimeout(CommandTimeout));
  } catch (const EDbError& e) {
    throw EDbError(MaskSecrets(e.what(), FConnection->ConnectionString()));
  }
}

void TDbQuery::DoOpen() {
  FCursor = OpenCursor();
  FFetched = false;
  // A repeated column name gets "_1", "_2", … so that every column can be found by name.
  for (const TDbColumn& c : FCursor->Columns()) {
    std::string name = c.Name;
    for (int n = 1; FindField(name); ++n) name = c.Name + "_" + std::to_string(n);
    AddDataField(name, c.Type, c.Size);
  }
}

void TDbQuery::DoClose() {
  if (FCursor) FBytesReceived = FCursor->BytesReceived();
  FCursor.reset();
  FFetched = false;
}

bool TDbQuery::DoFirst() {
  if (FFetched) {
    // Forward-only: going back to the start runs the query again.
    FCursor.reset();
    FCursor = OpenCursor();
  }
  if (!FCursor) return false;
  FFetched = true;
  return FCursor->Fetch();
}

bool TDbQuery::DoNext() {
  return FCursor && FCursor->Fetch();
}

// A query past its last record, or whose re-run failed, reads as nulls.
bool TDbQuery::DataIsNull(int field) const {
  return !FCursor || Eof() || FCursor->IsNull(field);
}
TVariant TDbQuery::DataValue(int field) const {
  return DataIsNull(field) ? TVariant{} : FCursor->Value(field);
}
std::string TDbQuery::DataText(int field) const {
  return DataIsNull(field) ? std::string() : FCursor->Text(field);
}
bool TDbQuery::DataTextView(int field, std::string_view& out) const {
  return !DataIsNull(field) && FCursor->TextView(field, out);
}
std::int64_t TDbQuery::DataInt(int field) const {
  return DataIsNull(field) ? 0 : FCursor->Int(field);
}
double TDbQuery::DataFloat(int field) const {
  return DataIsNull(field) ? 0 : FCursor->Float(field);
}
bool TDbQuery::DataNumber(int field, double& value) const {
  value = 0;
  return DataIsNull(field) || FCursor->Number(field, value);
}

}  // namespace qd
