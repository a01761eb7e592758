// Per-dimension member resolution during a fact read: each reader turns the
// current fact record into the member index of its dimension, adding members
// as the dimension's kind allows. Used by the cube build and the fact refresh.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/cube/dimension.h"
#include "engine/cube/fact_table.h"
#include "engine/cube/lookup_dims.h"

namespace qd {

class TMemberReader {
 public:
  virtual ~TMemberReader() = default;
  //! The member of the dataset's current record, stored as fact record `record`;
  //! -1 when the value is not a member and none may be added.
  virtual std::int32_t Read(std::int32_t record) = 0;
  //! The record Read last saw is dropped again.
  virtual void Undo() {}
  //! Every record was read: completes the dimension's lists.
  virtual void Finish() {}
  //! The message for a value Read did not find.
  virtual std::string MissingValueMessage() const { return {}; }
};

//! Which kind of reader a built dimension needs; prepares the dimension for a
//! build, or for a refresh (`Refresh`), where the members found so far keep
//! their indexes and new ones follow them. `Facts` is the table being filled.
struct TReaderContext {
  TDimension* Dim = nullptr;
  int DimIndex = 0;
  TDataSet* DataSet = nullptr;
  TFactTable* Facts = nullptr;
  const TLookupFields* LookupFields = nullptr;
  bool Refresh = false;
};
std::unique_ptr<TMemberReader> MakeMemberReader(const TReaderContext& ctx);

}  // namespace qd
