// Dimensions whose members do not come from the plain distinct values of their
// fact field: lookup dimensions (members = the rows of a lookup table), the
// lookups that caption the parts of composite dimensions, and range dimensions
// (a numeric field cut into value ranges).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cube/dim_map.h"
#include "engine/cube/dimension.h"
#include "engine/cube/fact_table.h"
#include "engine/core/progress.h"

namespace qd {

//! Opens a dataset when closed and puts it back in its previous state when the
//! guard ends, also when an error leaves the scope.
class TOpenStateGuard {
 public:
  explicit TOpenStateGuard(TDataSet& ds) : FDataSet(ds), FWasOpen(ds.Active()) {}
  ~TOpenStateGuard();
  TOpenStateGuard(const TOpenStateGuard&) = delete;
  TOpenStateGuard& operator=(const TOpenStateGuard&) = delete;
  bool WasOpen() const { return FWasOpen; }

 private:
  TDataSet& FDataSet;
  bool FWasOpen;
};

//! Reads the lookup table of a map item into its built dimension: members are
//! the table's keys (first row of each key) in ascending key order, with their
//! attributes, parents and row numbers. Nothing when the item has no lookup.
void ReadLookupTable(TDimension& dim, const TDimSum& item, TProgressSink& progress);

//! The names that caption one composite part's values: either its own lookup
//! table (IDs sorted case-insensitively, names parallel) or a built lookup
//! dimension whose captions it shares.
struct TLookupField {
  std::vector<std::string> IDs;
  std::vector<std::string> Names;
  const TDimension* Dimension = nullptr;
  //! The name of a part value; nothing when the value has none.
  std::optional<std::string> NameOf(std::string_view value) const;
};

//! Part field name (case-insensitive) → its lookup.
using TLookupFields = std::map<std::string, TLookupField, TTextLess>;

//! Builds the lookup fields of every composite dimension's parts.
void BuildLookupFields(const TDimensions& dims, TLookupFields& out, TProgressSink& progress);

//! Cuts the range work data of dimension `dimIndex` into SeriesMemberCount ranges:
//! sets members and captions and stores each fact record's range index.
void ComputeRanges(TDimension& dim, int dimIndex, TFactTable& facts);

//! Orders range work data: value ascending, equal values latest record first.
void SortRangeWorkData(TDimension& dim);

}  // namespace qd
