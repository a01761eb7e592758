// A database connection set up from a connection string, and the query that
// reads through it.
#pragma once

#include <memory>
#include <set>
#include <string>

#include "db/db_backend.h"
#include "engine/data/dataset.h"

namespace qd {

class TDbQuery;

//! A connection to one database. The connection string is text of one or more
//! lines; Open resolves it and connects, Close closes every query open on it.
class TDbConnection {
 public:
  TDbConnection() = default;
  explicit TDbConnection(std::string connectionString);
  ~TDbConnection();
  TDbConnection(const TDbConnection&) = delete;
  TDbConnection& operator=(const TDbConnection&) = delete;

  //! Component name, shown in messages.
  std::string Name;
  //! Time-out in seconds for statements run with Execute (0 = none).
  int CommandTimeout = 30;
  //! Never prompts: the connection string must carry the login.
  bool LoginPrompt = false;

  const std::string& ConnectionString() const { return FConnectionString; }
  //! Raises EDbError while the connection is open.
  void SetConnectionString(std::string text);

  bool Connected() const { return FBackend != nullptr; }
  void SetConnected(bool value) { value ? Open() : Close(); }
  //! Raises EDbError with the database's message when the database cannot be
  //! reached; passwords of the connection string in it read "***".
  void Open();
  //! The time-out a query runs with: the connection string's "Command Timeout"
  //! when it gives one, else the query's own.
  int QueryTimeout(int queryTimeout) const;
  void Close();

  //! Runs a statement that returns no rows; the count of rows it touched.
  std::int64_t Execute(const std::string& sql);

  //! The open backend; opens the connection first when it is closed.
  TDbBackend& Backend();

 private:
  friend class TDbQuery;
  std::string FConnectionString;
  std::unique_ptr<TDbBackend> FBackend;
  std::set<TDbQuery*> FQueries;
  int FQueryTimeout = -1;
};

//! A read-only query on a connection, read forward once. Opening runs the SQL
//! text (opening the connection when needed); CommandTimeout bounds the
//! database's work. A second First re-runs the query.
class TDbQuery : public TDataSet {
 public:
  TDbQuery() = default;
  explicit TDbQuery(TDbConnection* connection, std::string sql = {});
  ~TDbQuery() override;

  TDbConnection* Connection() const { return FConnection; }
  void SetConnection(TDbConnection* connection);
  const std::string& SQL() const { return FSql; }
  //! Replaces the SQL text as a whole; closes the query first.
  void SetSQL(std::string sql);
  //! Bytes the last run of the query received from the server (while it is
  //! open: so far); -1 when the backend does not count them.
  std::int64_t BytesReceived() const { return FCursor ? FCursor->BytesReceived() : FBytesReceived; }
  //! The connection string without passwords and the SQL text.
  TDataOrigin Origin() const override;

 protected:
  void DoOpen() override;
  void DoClose() override;
  bool DoFirst() override;
  bool DoNext() override;
  bool DataIsNull(int field) const override;
  TVariant DataValue(int field) const override;
  std::string DataText(int field) const override;
  bool DataTextView(int field, std::string_view& out) const override;
  std::int64_t DataInt(int field) const override;
  double DataFloat(int field) const override;
  bool DataNumber(int field, double& value) const override;

 private:
  friend class TDbConnection;
  std::unique_ptr<TDbCursor> OpenCursor();

  TDbConnection* FConnection = nullptr;
  std::string FSql;
  std::unique_ptr<TDbCursor> FCursor;
  bool FFetched = false;  // the cursor has moved past its first row
  std::int64_t FBytesReceived = -1;  // of the last cursor closed
};

}  // namespace qd
