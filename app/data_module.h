// The data module: the program's database connections, the working cube
// Vantra1 with its fact query qrFact, the nineteen built-in cubes with their
// fact queries, and the catalog names of those cubes (DBCubes).
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/lookup_tables.h"
#include "db/db_connection.h"
#include "engine/cube/vantra.h"

namespace qd {

//! One catalog entry; only the first string, the catalog name, is used.
struct DBCubeRec {
  std::string Name, Reserved1, Reserved2;
};
constexpr int kDBCubeCount = 100;

class TDataModule1 {
 public:
  //! Creates every component with its design-time settings; every connection
  //! points at the demo database. Nothing is opened yet.
  TDataModule1();
  TDataModule1(const TDataModule1&) = delete;
  TDataModule1& operator=(const TDataModule1&) = delete;

  TDbConnection ADOConnection, StatADOConnection, BaseDBConnection;
  //! The lookup tables of Vantra1's dimensions; outlives the cube.
  TLookupTables Lookups;
  TDbQuery qrFact;
  TVantra Vantra1;
  std::array<DBCubeRec, kDBCubeCount> DBCubes;

  //! Clears DBCubes, names entries 1 to 19 and opens the three connections
  //! (they are stored as connected); a connection that cannot be opened
  //! raises its error.
  void DataModuleCreate();

  //! The built-in cubes and fact queries, in catalog order (0 = entry 1).
  int BuiltinCount() const { return static_cast<int>(FBuiltins.size()); }
  TVantra& BuiltinCube(int i) { return FBuiltins.at(static_cast<std::size_t>(i))->Cube; }
  TDbQuery& BuiltinFact(int i) { return FBuiltins.at(static_cast<std::size_t>(i))->Fact; }
  //! By component name ("GRecCube"), without regard to case; nullptr when absent.
  TVantra* FindCube(std::string_view cubeName);
  //! The cube of a DBCubes catalog name; nullptr when none has it.
  TVantra* CubeOfCatalogName(std::string_view catalogName);
  //! The catalog names of DBCubes in table order, empty entries included.
  std::vector<std::string> CatalogNames() const;

  //! Fills the calculated texts Year ("2004年"), Quarter ("第1季度") and Month
  //! ("03月") from the record's group_date; an empty date counts as day zero.
  static void GRecFactCalcFields(TDataSet& dataSet);

 private:
  struct TBuiltin {
    TDbQuery Fact;
    TVantra Cube;
  };
  std::vector<std::unique_ptr<TBuiltin>> FBuiltins;
};

//! Start-up: when "CubeConnection.ini" exists in the program folder, closes the
//! connection, takes the file's whole text (line breaks kept) as its connection
//! string unless the text is blank, and opens the connection (also when blank).
//! True when the file existed. Raises the connection's error when it cannot open.
bool ApplyCubeConnectionIni(TDbConnection& connection, const std::string& programFolder);

}  // namespace qd
