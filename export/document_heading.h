// The lines every exported document opens with: the cube's caption, then one
// line per page dimension naming the members it selects ("险种分类：分红险"),
// so that a reader of the document knows which slice of the cube it shows.
#pragma once

#include <string>
#include <vector>

namespace qd {

class TGridInfo;
class TDimensionState;

//! Names listed on a page line before the rest are counted instead.
constexpr int kHeadingMembersListed = 10;

//! The members a page dimension selects: "全部" when none is hidden, else the
//! visible members (a member whose whole subtree is visible stands for it),
//! joined with "、"; past kHeadingMembersListed names, "…等N项".
std::string SelectedMembersText(const TDimensionState& state);

//! The caption line (when not empty) and one line per page dimension of the
//! model, in page order.
std::vector<std::string> DocumentHeading(const TGridInfo& grid, const std::string& caption);

}  // namespace qd
