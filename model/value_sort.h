// The value sort of the row tree: the data column whose values order the rows,
// identified by its column line's path and its summary, function and
// sub-function, and the direction.
#pragma once

#include <cstdint>
#include <vector>

namespace qd {

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

}  // namespace qd
