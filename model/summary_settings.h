// Which summaries a grid shows, with which aggregate functions and which derived
// sub-functions of each, and how every resulting number is formatted.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/aggregate/aggregate.h"
#include "model/cell_values.h"
#include "model/grid_cube.h"

namespace qd {

class TGridInfo;
class TSummaryState;
class TFormulaParser;

//! Horizontal alignment of a cell's text; the ordinals are stored in grid files.
enum class TAlignment : std::uint8_t { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

//! Number of sub-functions of a function: value, ranks, percentages, compares,
//! cumulative sums, each by row and by column.
constexpr int kSubFunctionCount = 9;

//! Display name of sub-function 0..8 ("Agg. value", "Row rank", ...).
const std::string& SubFunctionDisplayName(int subFunction);

class TSubFunctionInfo {
 public:
  bool Visible = false;
  std::string FormatString = "0.00";
  TAlignment Alignment = TAlignment::taRightJustify;

  void Assign(const TSubFunctionInfo& other) { *this = other; }
};

class TFunctionInfo {
 public:
  std::array<TSubFunctionInfo, kSubFunctionCount> SubFunctions;

  TSubFunctionInfo& SubFunction(int i) { return SubFunctions.at(static_cast<std::size_t>(i)); }
  const TSubFunctionInfo& SubFunction(int i) const {
    return SubFunctions.at(static_cast<std::size_t>(i));
  }
  //! True when any sub-function is visible.
  bool Visible() const;
  //! True shows sub-function 0; false hides all nine.
  void SetVisible(bool value);
  void Assign(const TFunctionInfo& other) { SubFunctions = other.SubFunctions; }
};

//! Marks a calculated summary in DimensionMapIndex and an item added since the
//! last numbering in Id.
constexpr int kNoIndex = -9999;

class TSummaryInfo {
 public:
  std::string DisplayName;
  std::string FieldName;
  int DimensionMapIndex = kNoIndex;
  std::array<TFunctionInfo, kFunctionCount> Functions;

  // Not published.
  TGridInfo* Owner = nullptr;
  TSummaryState* State = nullptr;
  int Id = kNoIndex;
  std::shared_ptr<TFormulaParser> ParsedFormula;

  TFunctionInfo& Function(int f) { return Functions.at(static_cast<std::size_t>(f)); }
  const TFunctionInfo& Function(int f) const { return Functions.at(static_cast<std::size_t>(f)); }

  const std::string& Formula() const { return FFormula; }
  //! Stores the trimmed text when it differs.
  void SetFormula(const std::string& value);

  //! True when any function is visible.
  bool Visible() const;
  //! True shows exactly Sum's value; false hides every sub-function.
  void SetVisible(bool value);
  bool IsCalculated() const { return DimensionMapIndex == kNoIndex; }
  //! Integer masks for Count and ranks, percentage masks for percentages,
  //! "0.00" elsewhere; only Sum's value visible.
  void ApplyDefaultFormats();
  //! Copies every property, the link, the id and the alignment.
  void Assign(const TSummaryInfo& other);
  //! The aggregate at a key (one node index per active dimension, -1 = Total)
  //! with a function ordinal. A calculated summary evaluates its formula, parsed
  //! afresh (no value when it no longer parses), and ignores the function. No
  //! value at a hidden member or where the key holds no data.
  TCellValue GetValue(const std::vector<int>& key, int function);

 private:
  std::string FFormula;
};

class TSummarySettings {
 public:
  explicit TSummarySettings(TGridInfo* owner = nullptr) : FOwner(owner) {}
  TSummarySettings(const TSummarySettings&) = delete;
  TSummarySettings& operator=(const TSummarySettings&) = delete;

  TGridInfo* Owner() const { return FOwner; }
  int Count() const { return static_cast<int>(FItems.size()); }
  TSummaryInfo& Items(int i) const { return *FItems.at(static_cast<std::size_t>(i)); }
  int IndexOf(const TSummaryInfo* item) const;

  //! A new item whose owner model is the collection's model.
  TSummaryInfo& Add();
  void Delete(int i);
  void Clear() { FItems.clear(); }

  //! First item with this field name (case-insensitive); nullptr when none.
  TSummaryInfo* FindByFieldName(const std::string& name) const;
  TSummaryInfo* FindById(int id) const;

  //! Deep copy: same item count, then per item the formula, names, link, id,
  //! parsed formula, map index, owner model and every sub-function's visibility
  //! and format (not the alignment).
  void Assign(const TSummarySettings& source);
  //! Writes a dialog's copy back into `target`; true when items were added or
  //! removed (the target is then renumbered).
  bool MergeInto(TSummarySettings& target) const;
  //! Id := position for every item.
  void Renumber();

  //! Follows the dimension map's summary entries: renames matched items, adds
  //! missing ones, drops non-calculated items no longer in the map, renumbers.
  void SyncWithDimensionMap(const std::vector<TSummarySource>& entries);
  //! Replaces the items by one per cube summary, with default formats.
  void RebuildFromSummaries(const TSummaries& summaries);

 private:
  TGridInfo* FOwner;
  std::vector<std::unique_ptr<TSummaryInfo>> FItems;
};

}  // namespace qd
