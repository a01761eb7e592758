// The grid's view of one cube dimension: its axis, its members as a tree with
// groups, the flat node tables derived from them, and the display order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/cube/dimension.h"
#include "model/dim_members.h"

namespace qd {

class TGridInfo;

class TDimensionState {
 public:
  TDimensionState(TGridInfo* owner, int dimIndex, const TDimension* dimension);

  TGridInfo* Owner() const { return FOwner; }
  int DimIndex() const { return FDimIndex; }
  const TDimension* Dimension() const { return FDimension; }

  TDimGroup Group = TDimGroup::dgRow;
  //! Header columns the dimension occupies (deepest level shown, at least 1).
  int HeaderWidth = 1;
  //! Weight of the dimension in the cell key; meaningful while active.
  std::uint64_t Multiplier = 0;
  TTotalAppearance TotalAppearance = TTotalAppearance::taLast;
  std::string DisplayName;
  //! The attribute whose values caption the members.
  std::string Attribute;
  TDimSortType SortType = TDimSortType::dsDatabase;
  //! True when at least one node is hidden.
  bool FilterActive = false;

  //! The member tree and the group list (entry 0 is always "其它").
  TDimMembers Members;
  TDimMembers Groups;

  //! Rebuilds the member tree from the cube dimension with the current attribute;
  //! every member becomes visible.
  void BuildMembers();
  //! Empties the group list to the single group "其它".
  void InitGroups();
  //! Rebuilds the flat node list and every table derived from it; with
  //! `restoring` the nodes are first ordered by database position.
  void BuildNodeTables(bool restoring = false);

  // ---- Member tree edits (member_groups.cpp); the node tables are left as
  // they are until the caller rebuilds them ----
  //! Stores the caption attribute; with `relabel` every member node of both
  //! roots (group nodes excepted) takes its caption from the new source.
  void SetAttribute(const std::string& name, bool relabel);
  //! Makes every node of both roots visible.
  void ShowAllMembers();
  //! Hides the node and its whole subtree.
  static void HideSubtree(TDimMember& member);
  //! The member-tree node of a cube member (the group list is not searched).
  TDimMember* FindMember(int cubeMember) const;
  int GroupCount() const { return static_cast<int>(Groups.size()); }
  //! Appends a user group (id -1, group flag set) to the group list.
  TDimMember& AddGroup(const std::string& caption);
  //! Moves every leaf under `member` (the member itself when a leaf) into
  //! top-level group `group`, recreating its path from the top level inside
  //! the group, then removes the leaves and the ancestors they leave without
  //! children from the member tree. False, with nothing changed, when `group`
  //! is no group index or `member` is not a member-tree node.
  bool MoveToGroup(TDimMember& member, int group);

  // ---- Node tables ----
  int NodeCount() const { return static_cast<int>(FNodes.size()); }
  TDimMember& Node(int node) const { return *FNodes.at(static_cast<std::size_t>(node)); }
  int Level(int node) const { return FLevels.at(static_cast<std::size_t>(node)); }
  int DescendantCount(int node) const { return FDescendants.at(static_cast<std::size_t>(node)); }
  //! Node indexes of level 1, in node order.
  const std::vector<int>& TopNodes() const { return FTopNodes; }
  const std::vector<int>& Children(int node) const {
    return FChildren.at(static_cast<std::size_t>(node));
  }
  bool HasChildren(int node) const { return !Children(node).empty(); }
  int LevelCount() const { return FLevelCount; }
  //! The cube's member index of a node, -1 for group nodes.
  int CubeMember(int node) const { return FCubeMembers.at(static_cast<std::size_t>(node)); }
  int ParentNode(int node) const { return FParents.at(static_cast<std::size_t>(node)); }
  //! The node of a cube member, -1 when the member has none.
  int NodeOfMember(int member) const;
  bool IsGroupNode(int node) const { return Node(node).Group; }
  bool IsNodeVisible(int node) const { return Node(node).Visible; }
  //! True when the node or one of its ancestors is a group node.
  bool IsInGroup(int node) const;

  // ---- Display order ----
  //! Node indexes in display order, and the display position of each node.
  const std::vector<int>& SortedOrder() const { return FSortedOrder; }
  int Position(int node) const { return FPositions.at(static_cast<std::size_t>(node)); }
  //! Comparison of two nodes for dsCustom: negative, 0 or positive.
  using TCompare = std::function<int(const TDimensionState&, int, int)>;
  //! Recomputes the display order for the sort type; dsCustom uses `custom`
  //! (node order when none). Members that compare equal keep node order
  //! (member_order.cpp).
  void SortMembers(const TCompare& custom = nullptr);
  //! Recomputes FilterActive from the nodes' visibility.
  void UpdateFilterActive();

 private:
  std::string MemberCaption(int member) const;

  TGridInfo* FOwner;
  int FDimIndex;
  const TDimension* FDimension;

  std::vector<TDimMember*> FNodes;
  std::vector<int> FLevels, FDescendants, FTopNodes, FCubeMembers, FParents, FMemberNodes;
  std::vector<std::vector<int>> FChildren;
  int FLevelCount = 1;
  std::vector<int> FSortedOrder, FPositions;
};

}  // namespace qd
