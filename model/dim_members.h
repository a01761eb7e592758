// The members of one dimension as the grid shows them: a tree (hierarchy by
// parent), and the user's groups beside it.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace qd {

struct TDimMember;
//! Owns its members.
using TDimMembers = std::vector<std::unique_ptr<TDimMember>>;

//! Id of the built-in group "其它"; user groups have id -1.
constexpr int kOtherGroupId = -2;

struct TDimMember {
  int Id = -1;  //!< the cube's member index; -2 for "其它", -1 for a user group
  TDimMembers Children;
  TDimMember* Parent = nullptr;
  std::string Caption;
  bool Visible = true;
  int DatabasePosition = -1;  //!< position in the order read from the cube
  int Index = -1;             //!< node index (position in the flat node list)
  bool Group = false;
  int DatabaseSortKey = -1;  //!< the dimension's database order of the member

  //! Appends a child and sets its parent.
  TDimMember& AddChild(std::unique_ptr<TDimMember> child);
  //! A copy of everything but the tree links (children, parent, node index).
  TDimMember Detached() const;
};

}  // namespace qd
