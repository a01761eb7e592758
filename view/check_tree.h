// The content of a check tree: nodes with a caption, a check state and an
// image, the rules by which checking a node checks its subtree and its
// ancestors, and a filter that shows only some nodes. The dialogs edit their
// trees here; TXPCheckTreeView (check_tree_view.h) shows one and turns clicks
// into these operations.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qd {

//! 0 unchecked, 1 checked, 2 partly checked (some children checked).
enum class TCheckState : std::uint8_t { csUnchecked = 0, csChecked = 1, csPartly = 2 };

//! cmTree: a node's state goes to its subtree and its ancestors follow their
//! children; cmSingle: every node stands alone.
enum class TTreeCheckMode : std::uint8_t { cmSingle = 0, cmTree = 1 };

class TCheckTree;

//! One node; dialogs derive their own nodes to carry what a node stands for.
class TXPCheckTreeNode {
 public:
  using TNodes = std::vector<std::unique_ptr<TXPCheckTreeNode>>;

  TXPCheckTreeNode() = default;
  explicit TXPCheckTreeNode(std::string text) : Text(std::move(text)) {}
  virtual ~TXPCheckTreeNode() = default;
  TXPCheckTreeNode(const TXPCheckTreeNode&) = delete;
  TXPCheckTreeNode& operator=(const TXPCheckTreeNode&) = delete;

  std::string Text;
  TCheckState State = TCheckState::csUnchecked;
  //! Image shown before the caption (-1 none); ExpandedImage while expanded.
  int Image = -1;
  int ExpandedImage = -1;
  bool Editable = true;
  //! Kept by the view while it shows the node.
  bool Expanded = false;

  TXPCheckTreeNode* Parent() const { return FParent; }
  const TNodes& Children() const { return FChildren; }
  bool HasChildren() const { return !FChildren.empty(); }
  //! 0 for a top-level node.
  int Level() const;
  //! A number that names the node for as long as the tree holds it.
  std::uint64_t Serial() const { return FSerial; }
  bool Checked() const { return State != TCheckState::csUnchecked; }

  //! The node passes the tree's filter (itself, an ancestor or a descendant
  //! matches); ShownChildren are its children that pass, in order, and
  //! ShownRow its place among its parent's.
  bool Shown() const { return FShown; }
  const std::vector<TXPCheckTreeNode*>& ShownChildren() const { return FShownChildren; }
  int ShownRow() const { return FShownRow; }

 private:
  friend class TCheckTree;
  TXPCheckTreeNode* FParent = nullptr;
  TNodes FChildren;
  std::uint64_t FSerial = 0;
  bool FShown = true;
  std::vector<TXPCheckTreeNode*> FShownChildren;
  int FShownRow = 0;
};

class TCheckTree {
 public:
  using TNodes = TXPCheckTreeNode::TNodes;

  TTreeCheckMode CheckMode = TTreeCheckMode::cmTree;
  //! Asked before a click's new state is applied; may change it.
  std::function<void(TXPCheckTreeNode& item, TCheckState& state)> OnCheckTreeItem;
  //! After a click changed a node's state.
  std::function<void(TXPCheckTreeNode& item)> OnChecked;
  //! The nodes or their order changed (OnStructure), or only check states
  //! and captions (OnRepaint): the view follows.
  std::function<void()> OnStructure, OnRepaint;
  //! The node the view shows selected; nullptr for none.
  TXPCheckTreeNode* Selected = nullptr;

  const TNodes& Top() const { return FTop; }
  bool Empty() const { return FTop.empty(); }
  //! Appends a node under `parent` (nullptr: top level) or inserts it at `index`.
  TXPCheckTreeNode& Add(TXPCheckTreeNode* parent, std::unique_ptr<TXPCheckTreeNode> node);
  TXPCheckTreeNode& Insert(TXPCheckTreeNode* parent, int index,
                           std::unique_ptr<TXPCheckTreeNode> node);
  //! Deletes the node with its subtree (the selection goes with it).
  void Delete(TXPCheckTreeNode& node);
  //! Deletes the node, then every ancestor left without children; `keep`
  //! (may be nullptr) stops the climb and stays.
  void DeleteWithEmptyAncestors(TXPCheckTreeNode& node, const TXPCheckTreeNode* keep);
  void Clear();
  //! The node of a serial, nullptr when the tree holds none.
  TXPCheckTreeNode* Find(std::uint64_t serial) const;
  //! Every node, parents before children, in order.
  void ForEach(const std::function<void(TXPCheckTreeNode&)>& f) const;
  //! The leaves under a node (the node itself when it is one), in order.
  static std::vector<TXPCheckTreeNode*> Leaves(TXPCheckTreeNode& node);
  //! The top-level ancestor of a node (the node itself at the top).
  static TXPCheckTreeNode& TopOf(TXPCheckTreeNode& node);

  // ---- Check states ----
  //! Sets a node's state by the check mode's rules.
  void SetState(TXPCheckTreeNode& node, TCheckState state);
  //! A click on the node's check box: checked becomes unchecked, anything
  //! else checked; OnCheckTreeItem may change that first, OnChecked follows.
  void Toggle(TXPCheckTreeNode& node);
  //! Checks or unchecks every node; while a filter is on, only the leaves it
  //! shows (their parents follow).
  void CheckAll(bool checked);
  //! Flips every leaf (shown leaves while a filter is on) and recomputes the
  //! parents.
  void Invert();
  //! In cmTree mode every parent takes its children's common state, or partly.
  void RecomputeParents();

  // ---- Order and filter ----
  //! Sorts every sibling list by `less`, keeping the order of equal nodes.
  void Sort(const std::function<bool(const TXPCheckTreeNode&, const TXPCheckTreeNode&)>& less);
  //! Shows only the nodes `match` accepts, with their ancestors and
  //! descendants; nullptr shows every node.
  void SetFilter(std::function<bool(const TXPCheckTreeNode&)> match);
  bool Filtered() const { return static_cast<bool>(FFilter); }
  //! The top-level nodes the filter shows.
  const std::vector<TXPCheckTreeNode*>& ShownTop() const { return FShownTop; }
  //! Applies the filter to the nodes again (after nodes were added or moved)
  //! and tells the view.
  void Changed();

 private:
  void Attach(TXPCheckTreeNode* parent, TXPCheckTreeNode& node);
  void RecomputeAncestors(TXPCheckTreeNode& node);
  static TCheckState Common(const TXPCheckTreeNode& node);
  bool Filter(TXPCheckTreeNode& node, bool ancestorMatched);
  void Repaint() const {
    if (OnRepaint) OnRepaint();
  }

  TNodes FTop;
  std::vector<TXPCheckTreeNode*> FShownTop;
  std::function<bool(const TXPCheckTreeNode&)> FFilter;
  std::uint64_t FNextSerial = 1;
};

}  // namespace qd
