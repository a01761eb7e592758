// Helpers of the data-access tests: scratch folders and reading a whole query.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>
#include <vector>

#include "db/db_connection.h"

namespace qd::test {

//! A fresh folder under the system's temporary folder, removed at the end.
class TScratchDir {
 public:
  TScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qd_db_XXXXXX").string();
    Path = mkdtemp(tmpl.data());
  }
  ~TScratchDir() { std::filesystem::remove_all(Path); }
  std::string File(const std::string& name) const { return (Path / name).string(); }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(File(name), std::ios::binary) << bytes;
    return File(name);
  }
  std::filesystem::path Path;
};

//! Every record of an open dataset as display texts, "|"-separated.
inline std::vector<std::string> AllRows(TDataSet& ds) {
  std::vector<std::string> rows;
  for (ds.First(); !ds.Eof(); ds.Next()) {
    std::string row;
    for (int i = 0; i < ds.FieldCount(); ++i) {
      if (i) row += '|';
      row += ds.Fields(i).IsNull() ? "<null>" : ds.Fields(i).AsString();
    }
    rows.push_back(row);
  }
  return rows;
}

//! Walks an open dataset: every text a field lends equals its display text,
//! and null fields lend none. Returns how many texts were lent.
inline int CheckTextViews(TDataSet& ds) {
  int lent = 0;
  for (ds.First(); !ds.Eof(); ds.Next())
    for (int i = 0; i < ds.FieldCount(); ++i) {
      const TField& f = ds.Fields(i);
      std::string_view v;
      if (!f.TextView(v)) continue;
      EXPECT_FALSE(f.IsNull()) << f.FieldName();
      EXPECT_EQ(std::string(v), f.AsString()) << f.FieldName();
      ++lent;
    }
  return lent;
}

//! The message of the error the call raises, or "<no error>".
template <typename F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "<no error>";
}

}  // namespace qd::test
