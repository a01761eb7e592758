// The shown pivot held against another cube: the other cube is laid out as
// the shown grid is (axes, members, summaries, expanded labels, the labels
// matched by member caption), its cells are aligned with the shown ones by
// key text, and the changed cells are kept by their place in the shown grid.
// Align again after every layout change of the shown grid.
//
// The other cube is the earlier one: a cell's change is the shown value
// minus the other's, as quarrydesk-cli diff OTHER SHOWN prints it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "model/cube_compare.h"
#include "model/grid_info.h"

namespace qd {

//! How a data cell differs from the other cube's.
enum class TCellDifference : std::uint8_t {
  cdNone = 0,     //!< equal, or the other cube has no such cell
  cdHigher = 1,   //!< the shown value is the greater
  cdLower = 2,    //!< the shown value is the smaller
  cdOneSided = 3  //!< only one of the cells has a value
};

class TCubeComparison {
 public:
  //! Compares with `other`, a built cube named `name` (its file) in texts;
  //! the cube must outlive the comparison.
  TCubeComparison(TGridCube& other, std::string name);
  ~TCubeComparison();
  TCubeComparison(const TCubeComparison&) = delete;
  TCubeComparison& operator=(const TCubeComparison&) = delete;

  //! Lays the other cube out as `shown` is and compares every data cell.
  //! An inactive shown grid leaves nothing changed.
  void Align(TGridInfo& shown);

  const std::string& Name() const { return FName; }
  const TCubeDiff& Diff() const { return FDiff; }
  //! The other cube's grid, laid out as of the last Align.
  TGridInfo& OtherGrid() { return FGrid; }
  //! The change of a data cell of the shown grid; nullptr when it has none.
  const TCellChange* ChangeAt(int row, int column) const;
  TCellDifference DifferenceAt(int row, int column) const;
  //! The tooltip of a changed cell: both values in the column's format and
  //! the difference; empty for other cells.
  std::string CellHint(const TGridInfo& shown, int row, int column) const;
  //! One line for the status bar: how many cells differ and how many members
  //! only one of the cubes has, then the dimensions and summaries only one
  //! has by name. Cubes without a dimension (or a summary) in common say so
  //! instead of a count of different cells.
  std::string SummaryText() const;

 private:
  TGridCube& FOther;
  std::string FName;
  TGridInfo FGrid;
  TCubeDiff FDiff;
  std::size_t FShownParts[2] = {0, 0};  // the shown cube's dimensions, summaries
  std::unordered_map<std::int64_t, std::size_t> FByCell;  // row << 32 | column → FDiff.Cells
};

//! The pivot state `state` of a grid on cube `from` made fit for cube `to`:
//! the expanded labels are found in `to` by dimension name and member
//! caption (member numbers differ between builds); ones it lacks are dropped.
void TranslateExpansion(TPivotState& state, const TGridInfo& from, const TGridInfo& to);

}  // namespace qd
