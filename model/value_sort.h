// The value sort of the row tree: the data column whose values order the rows,
// identified by its column line's path and its summary, function and
// sub-function, and the direction; and the grid model's part that keeps it and
// orders the rows by it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "model/label_node.h"

namespace qd {

class TGridInfo;

//! Entry of a column path at a header column no node of the line occupies.
constexpr int kNoPathMember = -2;

struct TValueSortData {
  //! Per header column of the column axis, the member (node index, -1 =
  //! Total) of the sorted column's line at that column; kNoPathMember where
  //! the line has no node. Empty when the grid has no column line.
  std::vector<int> ColumnPath;
  int SummaryIndex = 0;  //!< position in the summary settings
  std::uint8_t SubFunction = 0;
  std::uint8_t Function = 0;  //!< TFunction ordinal
  std::uint8_t State = 2;     //!< 0 ascending, 1 descending, 2 off

  bool Active() const { return State < 2; }
};

//! The grid model's value sort: the stored data, the data column it names and
//! the order it gives the rows. The grid brackets changes with its updates.
class TValueSorter {
 public:
  explicit TValueSorter(TGridInfo& grid) : FGrid(grid) {}

  const TValueSortData& Data() const { return FData; }
  void SetData(const TValueSortData& data) { FData = data; }
  //! Stores the path of a column line (nullptr: no column line).
  void SetColumn(const TLabelNode* columnLine) { FData.ColumnPath = ColumnPath(columnLine); }
  bool MatchesColumn(const TLabelNode* columnLine) const;
  //! The data column of the stored path, summary, function and sub-function,
  //! or -1.
  int FindColumn() const;
  //! The data a click on a data column's header stores: the same column
  //! advances the state 0 → 1 → 2 → 0, another column starts ascending.
  //! nullopt outside the grid.
  std::optional<TValueSortData> Toggled(int dataColumn) const;
  //! Orders every sibling list of the row tree by the values of the sorted
  //! column, children before parents; the grid's lines and values must be
  //! laid out.
  void SortRows(TLabelNodes& rows) const;

 private:
  //! Per header column of the column axis, the member of the line's node
  //! there; empty without a column line.
  std::vector<int> ColumnPath(const TLabelNode* columnLine) const;

  TGridInfo& FGrid;
  TValueSortData FData;
};

}  // namespace qd
