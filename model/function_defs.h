// The function catalogue of a grid: one entry per aggregate function the grid
// offers (the eleven standard ones, then up to five custom functions).
#pragma once

#include <string>
#include <vector>

#include "engine/aggregate/aggregate.h"

namespace qd {

class TFunctionDef {
 public:
  explicit TFunctionDef(int index);

  std::string DisplayName;
  //! The user may switch this function on in the summaries dialog.
  bool UserAllowed = true;
  //! Equal to the entry's position.
  TFunction FunctionType() const { return FType; }

  //! Copies DisplayName and UserAllowed.
  void Assign(const TFunctionDef& other);

 private:
  TFunction FType;
};

//! Default display name of a function ordinal ("Sum", ..., "自定义合计函数").
const std::string& FunctionDisplayName(int function);

class TFunctionDefs {
 public:
  TFunctionDefs() = default;
  TFunctionDefs(const TFunctionDefs& other) { Assign(other); }
  TFunctionDefs& operator=(const TFunctionDefs& other) {
    Assign(other);
    return *this;
  }

  int Count() const { return static_cast<int>(FItems.size()); }
  TFunctionDef& Items(int i) { return FItems.at(static_cast<std::size_t>(i)); }
  const TFunctionDef& Items(int i) const { return FItems.at(static_cast<std::size_t>(i)); }
  //! Appends the next function; raises EGenericError beyond the sixteenth.
  TFunctionDef& Add();
  //! Removes a custom function (beyond the standard eleven); the ones after
  //! it move up and take their new positions as function types.
  void Delete(int i);
  //! Adds entries until the eleven standard functions exist.
  void EnsureStandard();
  //! Trims to the source's count, then copies item by item, adding as needed.
  void Assign(const TFunctionDefs& source);
  //! Number of custom functions (entries beyond the standard eleven).
  int CustomCount() const {
    return Count() > kStandardFunctionCount ? Count() - kStandardFunctionCount : 0;
  }

 private:
  std::vector<TFunctionDef> FItems;
};

}  // namespace qd
