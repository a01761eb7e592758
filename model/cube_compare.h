// Two cubes told apart: the data cells of two pivots laid out alike, aligned
// by their key texts (row path, column path, summary, function,
// sub-function), the members each cube has that the other lacks, and the
// grand totals that changed. Used by quarrydesk-cli diff and by the window's
// comparison with another cube.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/grid_cube.h"
#include "model/grid_info.h"

namespace qd {

//! A cell both pivots have, whose value differs.
struct TCellChange {
  int Row = 0, Column = 0;  //!< data row line and column of the first pivot
  std::string Key;          //!< row path⇥column path⇥summary⇥function⇥sub-function
  TCellValue Old, New;
};

//! A member only one of the cubes has.
struct TMemberChange {
  bool InFirst = true;  //!< only in the first cube, else only in the second
  std::string Dimension, Member;
};

//! A dimension or summary (matched by field name) only one of the cubes has:
//! the cells that rest on it cannot be compared.
struct TPartChange {
  bool InFirst = true;  //!< only in the first cube, else only in the second
  bool IsSummary = false;
  std::string Name;     //!< its display name
};

//! A summary's grand sum or count over all fact records that changed.
struct TTotalChange {
  std::string Summary;
  bool IsCount = false;
  double Old = 0, New = 0;
};

struct TCubeDiff {
  std::vector<TCellChange> Cells;
  std::vector<TMemberChange> Members;
  std::vector<TTotalChange> Totals;
  std::vector<TPartChange> Parts;
  bool Empty() const {
    return Cells.empty() && Members.empty() && Totals.empty() && Parts.empty();
  }
};

//! Compares pivot `b` (of cube `cb`) with pivot `a` (of cube `ca`). Cells
//! only one pivot has are not listed: the member lines tell why. Values are
//! equal when both are missing or both hold the same number to the bit.
TCubeDiff CompareCubes(const TGridCube& ca, TGridInfo& a, const TGridCube& cb, TGridInfo& b);

//! new − old when both cells hold a value.
std::optional<double> Delta(const TCellValue& old, const TCellValue& now);
//! The delta relative to |old|, when old is a value other than 0.
std::optional<double> RelativeChange(const TCellValue& old, const TCellValue& now);

}  // namespace qd
