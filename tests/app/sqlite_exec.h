// Runs SQL on a SQLite file, for tests that make their own source database.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

namespace qd::testing {

inline void Execute(const std::string& db, const std::string& sql) {
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &handle), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(handle);
  sqlite3_close(handle);
}

}  // namespace qd::testing
