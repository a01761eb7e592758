// Building a cube from its dimension map and fact dataset, and refreshing a
// built cube's fact records from a re-run fact query.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/cube/dimension.h"
#include "engine/cube/fact_table.h"
#include "engine/cube/key_set.h"
#include "engine/cube/lookup_dims.h"
#include "engine/core/progress.h"

namespace qd {

//! The values of one summary that were not numbers when the facts were read;
//! each was taken as 0.
struct TNonNumberValues {
  int Summary = 0;            //!< summary index
  std::int64_t Count = 0;
  std::int64_t FirstRow = 0;  //!< 1-based record of the fact query
  std::string FirstText;      //!< the first such value as the query gave it
};

//! A grand total kept in a cube file: the sum of a summary's values over all
//! fact records, in record order, and how many of them are numbers.
struct TGrandTotal {
  double Sum = 0;
  std::int64_t Count = 0;
};

//! Where a cube came from and what its file held to check it by. The first
//! five are set by the build and kept through saving and loading; the rest
//! are filled when a file is read.
struct TCubeIntegrity {
  std::string Connection;        //!< the fact query's connection, passwords left out
  std::string Query;             //!< the fact query's SQL
  std::string BuildTime;         //!< UTC, "2026-12-10T03:22:00Z"
  std::int64_t SourceRows = 0;   //!< records the fact query returned
  std::string ProgramVersion;    //!< the program that built the cube
  bool Stored = false;           //!< the loaded file held the record
  std::int64_t Crc = 0;          //!< the checksum the file held (32 bits)
  std::int64_t ComputedCrc = 0;  //!< the checksum of the stream as read
  std::vector<TGrandTotal> Totals;  //!< as the file held them, in summary order
};

//! Everything an active cube holds.
struct TBuiltCube {
  TDimensions Dimensions;
  TSummaries Summaries;
  std::unique_ptr<TFactTable> FactTable;
  TKeySet KeySet;
  TLookupFields LookupFields;
  //! Of the last read of the facts, in summary order.
  std::vector<TNonNumberValues> NonNumbers;
  TCubeIntegrity Integrity;
  //! The build mode a loaded file named (bmEveryRow when it named none).
  TBuildMode StoredMode = TBuildMode::bmEveryRow;

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
    NonNumbers.clear();
    Integrity = {};
    StoredMode = TBuildMode::bmEveryRow;
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
  //! bmAggregatedInDatabase: the dataset is the grouped fact query (one row per
  //! combination of dimension values with the columns AggregateColumnNames and
  //! kAggregateCountColumn name); the records are weighted and carry no keys.
  TBuildMode Mode = TBuildMode::bmEveryRow;
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

//! One message per summary with values that were not numbers: "保费有 3 个值不是
//! 数字，已按 0 计算（第一个在第 17 行：“abc”）".
std::vector<std::string> NonNumberMessages(const TBuiltCube& cube);

//! The most members a dimension may have.
constexpr int kMaxMembers = 0x40000;

}  // namespace qd
