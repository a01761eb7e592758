// The lookup tables of a cube's dimensions: the tables and views of a
// connection, each read through "SELECT * FROM" the table. A cube keeps only a
// pointer to its lookup datasets and reads them again at every rebuild, so the
// queries live as long as this store, which lives beside the cube.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>

namespace qd {

class TDataSet;
class TDbConnection;
class TDbQuery;

class TLookupTables {
 public:
  TLookupTables();
  ~TLookupTables();
  TLookupTables(const TLookupTables&) = delete;
  TLookupTables& operator=(const TLookupTables&) = delete;

  //! The query over `table` of `connection`, named after the table; the same
  //! object for the same connection and name.
  TDbQuery& Table(TDbConnection& connection, const std::string& table);
  //! The table name of one of this store's queries; empty for another dataset.
  std::string NameOf(const TDataSet* ds) const;

 private:
  std::map<std::pair<TDbConnection*, std::string>, std::unique_ptr<TDbQuery>> FTables;
};

}  // namespace qd
