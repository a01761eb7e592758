// What the value of a data cell rests on: the fact records it counts, whether
// its function is sound on so few of them, and, for a change against the
// previous line, how the members of another dimension make up that change.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/aggregate/aggregate.h"

namespace qd {

class TGridInfo;

//! The fewest facts on which a function's value means something: 2 for the
//! variance, standard and average deviation and the median, 3 for the
//! skewness, 4 for the kurtosis, 1 for the rest.
int MinimumFacts(TFunction function);

//! The number of fact records of a data cell's summary; nullopt for a
//! calculated summary or a cell outside the grid.
std::optional<std::int64_t> CellFactCount(TGridInfo& grid, int row, int column);

//! The fact count of a cell that shows its function's own value on fewer
//! facts than MinimumFacts (but at least one); nullopt otherwise.
std::optional<std::int64_t> CellLowCount(TGridInfo& grid, int row, int column);

//! One member's part in a change.
struct TContribution {
  int Member = 0;
  std::string Caption;
  double Change = 0;  //!< its value in the cell minus its value in the previous one
  double Share = 0;   //!< Change / the whole change (0 when that is 0)
};

struct TChangeExplanation {
  double Delta = 0;  //!< the cell's value minus the previous cell's
  int PreviousRow = 0, PreviousColumn = 0;
  std::vector<TContribution> Items;  //!< largest absolute change first
};

//! True for a cell ExplainChange explains: a compare-with-previous cell of
//! a Sum or Count function whose line has a previous one.
bool CanExplainChange(TGridInfo& grid, int row, int column);

//! Explains a compare-with-previous cell of a Sum or Count function by the
//! members of dimension `dim`: each member's value over the cell's facts
//! minus its value over the previous cell's facts. The changes add up to the
//! delta. nullopt for any other cell, or one without a previous line.
std::optional<TChangeExplanation> ExplainChange(TGridInfo& grid, int row, int column, int dim);

}  // namespace qd
