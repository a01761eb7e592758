// What the dimension-members dialog edits, without its widgets: the member
// tree and the group tree of one dimension as check trees over copies of its
// members, the display name, the caption attribute and the member order, the
// moves of members into and out of groups, the member search, and OK writing
// everything back into the dimension state. Nothing reaches the state before OK.
#pragma once

#include <future>
#include <string>
#include <vector>

#include "engine/cube/dim_map.h"
#include "model/dim_members.h"
#include "model/member_search.h"
#include "view/check_tree.h"

namespace qd {

class TGridInfo;
class TDimensionState;

//! A node of the member or group tree: a copy of the member it stands for
//! (without its tree links).
class TMemberNode : public TXPCheckTreeNode {
 public:
  TDimMember Member;
};

class TDimValuesEditor {
 public:
  TDimValuesEditor(TGridInfo& model, TDimensionState& state);

  //! Fills both trees, the name, the attribute list and the order from the
  //! dimension state, and puts the member tree in that order. The search
  //! index is then built on a thread of its own, so that the first keystroke
  //! need not wait for it.
  void Open();
  TCheckTree& MemberTree() { return FMembers; }
  TCheckTree& GroupTree() { return FGroups; }
  TDimensionState& State() const { return FState; }

  std::string DisplayName;
  //! "维度编辑器  -  " and the display name.
  std::string Caption() const;

  //! The dimension's attributes, or the single "Default attribute".
  const std::vector<std::string>& Attributes() const { return FAttributes; }
  int AttributeIndex() const { return FAttribute; }
  //! Recaptions the member tree's members with the attribute's values (when
  //! the dimension has attributes); the group tree keeps its captions.
  void ChooseAttribute(int index);

  TDimSortType SortType() const { return FSortType; }
  //! Stores the order and puts the member tree (all levels) in it.
  void ChooseOrder(TDimSortType type);

  //! A new top-level group "--- 新组 ---", checked and selected.
  TMemberNode& NewGroup();
  //! Moves the members under `dragged` (a member-tree node) into the group of
  //! `target` (a group-tree node), recreating their paths; false when nothing
  //! moved.
  bool MoveToGroup(TXPCheckTreeNode* dragged, TXPCheckTreeNode* target);
  //! Moves the members under a group-tree node back into the member tree,
  //! which is then in alphabetical order (all levels). A
  //! dragged top-level group is refused; with `deleteItem` ("删除项目") the
  //! group itself goes too, unless it is "其它".
  bool MoveBack(TXPCheckTreeNode* node, bool deleteItem);
  //! "删除项目" on the group tree's selected node.
  bool DeleteItem() { return MoveBack(FGroups.Selected, true); }

  //! Shows only the members whose caption, pinyin or initials contain the
  //! text, with their ancestors and descendants; an empty text shows all.
  void SetSearch(const std::string& text);
  //! A caption was edited in a tree: the search reads captions anew.
  void CaptionEdited() { StartSearchIndex(); }
  //! The search index is built (a search now only filters).
  bool SearchIndexReady() const;

  //! Writes the trees, name, attribute and order into the dimension state and
  //! has the model apply it.
  void Ok();

 private:
  void FillTree(TCheckTree& tree, const TDimMembers& list);
  std::unique_ptr<TMemberNode> CopyNode(const TXPCheckTreeNode& node) const;
  TXPCheckTreeNode& PathInto(TCheckTree& tree, TXPCheckTreeNode* root,
                             const std::vector<TXPCheckTreeNode*>& chain);
  bool LessInOrder(const TXPCheckTreeNode& a, const TXPCheckTreeNode& b) const;
  void ApplyOrder();
  // Reads the captions (each cube member once, the member tree before the
  // group tree) and builds their index in the background.
  void StartSearchIndex();
  TDimMembers ToMembers(const TCheckTree::TNodes& nodes) const;

  TGridInfo& FModel;
  TDimensionState& FState;
  TCheckTree FMembers, FGroups;
  std::vector<std::string> FAttributes;
  int FAttribute = 0;
  bool FHasAttributes = false;
  TDimSortType FSortType;
  TMemberSearch FSearch;
  std::future<TMemberSearch> FSearchIndex;  // valid while an index is on its way
  std::string FSearchText;
  std::vector<char> FFound;  // per cube member: its caption matches the search
};

//! How a group's top-level node shows: image 0 collapsed, 1 expanded.
constexpr int kGroupClosedImage = 0, kGroupOpenImage = 1;

}  // namespace qd
