// Building a cube from its dimension map and fact dataset, and appending the
// records of a re-run fact query to a built cube.
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

//! Reads every record of the fact dataset and appends it to the built cube:
//! plain dimensions get no new members, composite paths and range values are
//! added, ranges are recomputed. On error the cube is as it was before.
void AppendFacts(const TBuildSource& src, TBuiltCube& cube);

//! The most members a dimension may have.
constexpr int kMaxMembers = 0x40000;

}  // namespace qd
