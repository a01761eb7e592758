// The fact queries of the built-in cubes, written to run unchanged on SQLite
// and PostgreSQL against the tables of the demo database (scripts/gen_demo_db.py).
#pragma once

#include <span>
#include <string_view>

namespace qd {

struct TBuiltinFactQuery {
  const char* QueryName;       //!< component name, "GRecFact"
  const char* CubeName;        //!< the cube that reads it, "GRecCube"
  const char* ConnectionName;  //!< "StatADOConnection" or "BaseDBConnection"
  int CommandTimeout;          //!< seconds
  //! The query delivers group_date and gets the calculated texts Year, Quarter, Month.
  bool DateFields;
  const char* Sql;
};

//! The nineteen queries in catalog order (entry 1 first).
std::span<const TBuiltinFactQuery> BuiltinFactQueries();
//! By query name, without regard to case; nullptr when absent.
const TBuiltinFactQuery* FindBuiltinFactQuery(std::string_view queryName);

}  // namespace qd
