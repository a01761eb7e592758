// The data cells of a laid-out pivot as the command line names them: a row
// path, a column path (the captions of the line's labels joined by " | "),
// then summary, function and sub-function.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "model/grid_info.h"

namespace qd {

struct TLabelNode;

//! The captions of a line's labels, outermost first, joined by " | ".
std::string PathText(const TGridInfo& grid, const TLabelNode* node);
//! Summary, function and sub-function names of a data column.
std::vector<std::string> ColumnNames(TGridInfo& grid, int column);
//! Every data cell's value, row by row.
std::vector<TCellValue> CellValues(TGridInfo& grid);
//! Every data cell's "row path⇥column path⇥summary⇥function⇥sub-function", in
//! the order of CellValues.
std::vector<std::string> CellKeys(TGridInfo& grid);
//! The same keys one at a time, with each cell's index in CellValues; only
//! one row's keys are made at once.
void ForEachCellKey(TGridInfo& grid,
                    const std::function<void(std::size_t, const std::string&)>& visit);

}  // namespace qd
