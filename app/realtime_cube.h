// The working cube as the definition-file build sees it, and the built-in
// cubes as the unattended generation sees them.
#pragma once

#include <string>
#include <vector>

#include "app/auto_save.h"
#include "app/lookup_tables.h"
#include "app/make_cfd.h"
#include "db/db_connection.h"
#include "engine/cube/vantra.h"

namespace qd {

class TDataModule1;

//! A real-time cube build over a cube, the query it reads and that query's
//! connection (the data module's Vantra1, qrFact and ADOConnection, or a
//! standalone set), with the store of the cube's lookup tables. Keeps the
//! time spent saving for callers that report it.
class TVantraCubeTarget : public TRealTimeCubeTarget {
 public:
  TVantraCubeTarget(TDbConnection& connection, TDbQuery& query, TVantra& cube,
                    TLookupTables& lookups)
      : FConnection(connection), FQuery(query), FCube(cube), FLookups(lookups) {}

  void OpenConnection(const std::string& connectionString) override;
  void SetFactQuery(const std::string& sql) override;
  std::vector<std::string> RefillDimensionMap() override;
  void PlaceDimension(const std::string& fieldName, const TCfdDimension& entry) override;
  void MarkSummary(const std::string& fieldName,
                   const std::optional<std::string>& displayName) override;
  void SetKeyFields(const std::vector<std::string>& fieldNames) override;
  void SetAggregateInDatabase(bool on) override { FAggregateInDatabase = on; }
  bool AggregateInDatabase() const { return FAggregateInDatabase; }
  //! Builds the cube; in the database mode from the fact query wrapped into
  //! the grouped query (AggregateInDatabaseSql) in the connection's dialect.
  void Activate() override;
  bool Active() const override { return FCube.Active(); }
  void SaveToFile(const std::string& fileName) override;

  TVantra& Cube() { return FCube; }
  //! Seconds spent in SaveToFile since construction.
  double SaveSeconds() const { return FSaveSeconds; }

 private:
  TDbConnection& FConnection;
  TDbQuery& FQuery;
  TVantra& FCube;
  TLookupTables& FLookups;
  double FSaveSeconds = 0;
  bool FAggregateInDatabase = false;
  std::string FFactSql;  // the fact query as set, before any wrapping
};

//! The fact fields a cube's dimensions read (composite parts each), and its
//! summary fields, in map order: what the grouped query groups by and totals.
std::vector<std::string> GroupedFields(const TDimSums& map);
std::vector<std::string> TotalledFields(const TDimSums& map);

//! A cube of its own with its query and connection, for the command-line tool.
struct TStandaloneCube {
  TStandaloneCube();
  TDbConnection Connection;
  TLookupTables Lookups;  // outlives the cube that points at its tables
  TDbQuery Query;
  TVantra Cube;
  TVantraCubeTarget Target{Connection, Query, Cube, Lookups};
};

//! Saves a built cube to a local cube file with CubeUserData as its user data.
void SaveCubeWithUserData(const TCustomVantra& cube, const std::string& fileName);

//! The built-in cubes of a data module, looked up by catalog name.
class TBuiltinCubeGenerator : public TCubeGenerator {
 public:
  explicit TBuiltinCubeGenerator(TDataModule1& dm) : FDm(dm) {}
  //! The last catalog entry of that exact name; a name in no entry builds
  //! nothing and gives true. Activation errors give false, without a message.
  bool BuildCube(const std::string& name) override;
  //! Throws when no cube is built.
  void SaveCube(const std::string& fileName) override;
  //! Where the builds report their progress (and take Cancel); none shows nothing.
  TProgressSink* Progress = nullptr;
  //! The activation error of the last BuildCube, passwords masked.
  std::string FailureReason() const override { return FFailure; }
  //! The values of the cube just built that were not numbers.
  std::vector<std::string> BuildNotes() const override;

 private:
  TDataModule1& FDm;
  TVantra* FCurrent = nullptr;
  std::string FFailure;
};

}  // namespace qd
