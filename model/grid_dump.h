// A plain-text picture of a pivot: the axes, the column header rows, then one
// line per row line with its cells. Tests compare it with golden files and the
// command-line tool prints it.
#pragma once

#include <string>

namespace qd {

class TGridInfo;

//! Cells are separated by " | "; a label path is joined with " / "; a cell
//! shows its value written with its format mask, and is empty without a value.
std::string DumpGrid(TGridInfo& grid);

//! The label path of a node: the captions from the top of its tree down to it.
struct TLabelNode;
std::string LabelPath(const TGridInfo& grid, const TLabelNode* node);

}  // namespace qd
