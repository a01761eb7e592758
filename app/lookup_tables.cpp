#include "app/lookup_tables.h"

#include "db/connection_string.h"
#include "db/db_connection.h"

namespace qd {

TLookupTables::TLookupTables() = default;
TLookupTables::~TLookupTables() = default;

TDbQuery& TLookupTables::Table(TDbConnection& connection, const std::string& table) {
  auto& slot = FTables[{&connection, table}];
  if (!slot) {
    slot = std::make_unique<TDbQuery>(&connection, "SELECT * FROM " + QuoteSqlName(table));
    slot->Name = table;
  }
  return *slot;
}

std::string TLookupTables::NameOf(const TDataSet* ds) const {
  if (!ds) return {};
  for (const auto& [key, query] : FTables)
    if (query.get() == ds) return key.second;
  return {};
}

}  // namespace qd
