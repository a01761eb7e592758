// Small builders for cube tests: in-memory tables and cubes over them.
#pragma once

#include <exception>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/data/memory_table.h"
#include "engine/cube/vantra.h"

namespace qd {
inline void PrintTo(TCubeChange code, std::ostream* os) {
  *os << static_cast<int>(code);
}
}  // namespace qd

namespace qd::test {

struct TCol {
  std::string Name;
  TFieldType Type;
};

inline std::unique_ptr<TMemoryTable> MakeTable(const std::string& name,
                                               const std::vector<TCol>& cols,
                                               const std::vector<std::vector<TVariant>>& rows) {
  auto t = std::make_unique<TMemoryTable>(name);
  for (const TCol& c : cols) t->AddColumn(c.Name, c.Type);
  for (const auto& r : rows) t->AppendRow(r);
  return t;
}

inline TVariant I(std::int64_t v) {
  return v;
}
inline TVariant D(double v) {
  return v;
}
inline TVariant S(const char* v) {
  return std::string(v);
}
inline TVariant Null() {
  return {};
}

//! Adds a map item for every field of the table, in field order, and marks
//! `dims` as dimensions and `sums` as summaries without moving them.
inline void DefineMap(TCustomVantra& cube, const std::vector<std::string>& dims,
                      const std::vector<std::string>& sums) {
  cube.RefreshDimensionMap();
  for (const auto& d : dims)
    cube.DimensionMap().FindPlain(d)->DimSumType = TDimSumType::dsDimension;
  for (const auto& s : sums) cube.DimensionMap().FindPlain(s)->DimSumType = TDimSumType::dsSummary;
}

//! The member indexes dimension d stores, record by record.
inline std::vector<std::int32_t> Stored(const TCustomVantra& cube, int d) {
  std::vector<std::int32_t> v;
  const TFactTable* f = cube.FactTable();
  for (std::int32_t r = 0; f && r < f->RecordCount(); ++r) v.push_back(f->Member(r, d));
  return v;
}

inline std::vector<double> Values(const TCustomVantra& cube, int s) {
  std::vector<double> v;
  const TFactTable* f = cube.FactTable();
  for (std::int32_t r = 0; f && r < f->RecordCount(); ++r) v.push_back(f->Value(r, s));
  return v;
}

inline std::vector<std::string> Captions(const TDimension& d) {
  std::vector<std::string> v;
  for (int m = 0; m < d.MemberCount(); ++m) v.push_back(d.Caption(m));
  return v;
}

using enum TCubeChange;

//! Records every CubeChanged code.
struct TCodeLog : TCubeListener {
  std::vector<TCubeChange> Codes;
  void CubeChanged(TCubeChange code) override { Codes.push_back(code); }
};

//! The message of the error that activating the cube raises; "no error" when none.
inline std::string ActivationError(TCustomVantra& cube) {
  try {
    cube.SetActive(true);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace qd::test
