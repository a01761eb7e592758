// Building a cube from its dimension map and fact dataset, and refreshing a
// built cube's fact records from a re-run fact query.
#pragma once

#include <memory>
#include <string>

#include "engine/cube/dimension.h"
#include "engine/cube/fact_table.h"
#include "engine/cube/key_set.h"
#include "engine/cube/lookup_dims.h"
#include "engine/core/progress.h"

namespace qd {

//! Everything an active cube holds.
struct TBuiltCube {
  TDimensions Dimensions;
  TSummaries Summaries;
  std::unique_ptr<TFactTable> FactTable;
  TKeySet KeySet;
  TLookupFields LookupFields;

  //! Drops dimensions and summaries (the fact table and key set stay).
  void DiscardLists() {
    LookupFields.clear();
    Dimensions.clear();
    Summaries.clear();
  }
  void Clear() {
    DiscardLists();
    FactTable.reset();
    KeySet.Clear();
  }
};

//! What a build reads.
struct TBuildSource {
  const TDimSums* Map = nullptr;
  TDataSet* DataSet = nullptr;
  TLookupHasntTheValue LookupHasntTheValue = TLookupHasntTheValue::lvException;
  std::string KeyFields;      //!< "; "-separated key field names
  std::string KeyFieldTypes;  //!< one TFieldType ordinal character per key field
  TProgressSink* Progress = nullptr;
};

//! Builds `out` from scratch. On error `out` may hold a partial cube; the caller
//! discards it. Every lookup dataset is back in its previous open state.
void BuildCube(const TBuildSource& src, TBuiltCube& out);

//! Reads the fact dataset again and replaces the cube's fact records and key
//! rows with its current records, so that an unchanged query leaves every
//! figure as it was. Members keep their indexes; values that are no member
//! yet become new members after them, as the build adds them (composite paths
//! likewise); lookup dimensions recount their used members and range
//! dimensions recompute their ranges over the new values. A value missing
//! from a lookup is handled as in the build. On error the cube is as it was.
void RefreshFacts(const TBuildSource& src, TBuiltCube& cube);

//! The most members a dimension may have.
constexpr int kMaxMembers = 0x40000;

}  // namespace qd
