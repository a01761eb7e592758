// The row and column label trees of a grid model: built from each axis's first
// dimension over the keys that hold data, expanded into the next dimension or
// into a member's hierarchy, their expansion kept across rebuilds, sibling
// order, and the lines and header columns derived from them. The trees read
// the grid's axes, dimension states and aggregation; the grid brackets every
// change with its updates and notifications.
#pragma once

#include <vector>

#include "model/label_node.h"
#include "model/model_aggregation.h"

namespace qd {

class TGridInfo;
class TDimensionState;

class TLabelTrees {
 public:
  explicit TLabelTrees(TGridInfo& grid) : FGrid(grid) {}
  TLabelTrees(const TLabelTrees&) = delete;
  TLabelTrees& operator=(const TLabelTrees&) = delete;

  //! Axis 0 rows, 1 columns.
  const TLabelNodes& Tree(int axis) const { return FTrees[axis]; }
  TLabelNodes& Tree(int axis) { return FTrees[axis]; }
  //! The leaves of a tree in display order (an expanded node without
  //! children counts as a leaf).
  const std::vector<TLabelNode*>& Lines(int axis) const { return FLines[axis]; }
  //! One caption per header dimension of the axis.
  const std::vector<TCaptionNode>& Captions(int axis) const { return FCaptions[axis]; }
  //! Header columns of an axis: the sum of its header dimensions' widths.
  int HeaderWidth(int axis) const;

  //! Drops both trees with their lines and captions.
  void Clear();
  //! Rebuilds both trees while the grid is active, then replays the expansion:
  //! with `keepExpansion` the current one, or the pending one when the trees
  //! are empty. The pending expansion is used up either way.
  void Build(bool keepExpansion);
  //! Keeps the current expansion for the next Build (while the cube stays
  //! active), before the dimension states the trees point into go.
  void KeepExpansionPending();
  //! Drops the trees; the next Build replays these expansions.
  void Restart(TOpenDimNodes rows, TOpenDimNodes columns);
  //! The expanded nodes of an axis's tree (for a pivot state).
  TOpenDimNodes SaveExpansion(int axis) const { return SaveExpansion(FTrees[axis]); }

  //! True when the node is collapsed and has the button of that expansion.
  static bool CanExpand(const TLabelNode& node, bool intoHierarchy);
  //! Gives the node its children; nothing unless CanExpand.
  void Expand(TLabelNode& node, int axis, bool intoHierarchy);
  //! Frees the node's children and gives it its buttons again.
  void Collapse(TLabelNode& node, int axis);
  //! Expands every node of the dimension on its axis, into the hierarchy
  //! first; collapses every expanded node of it.
  void ExpandAll(const TDimensionState& state);
  void CollapseAll(const TDimensionState& state);
  //! Dimension after `dimIndex` on the axis, -1 when it is the last.
  int NextDimOnAxis(int axis, int dimIndex) const;

  //! Orders every sibling list by the members' display positions, Totals
  //! first when their dimension shows them first.
  void SortSiblings();
  //! Lines, header widths, captions and every node's header column.
  void Layout();
  //! Sets the key's position of every dimension on the node's path.
  void FillKey(const TLabelNode* node, TMemberKey& key) const;
  //! The sibling list a label lies in.
  TLabelNodes& SiblingsOf(TLabelNode& node, int axis);
  //! Gives every label of the dimension state its new node index: `map[old]`,
  //! or `lost` for a node index beyond the map.
  void RemapMembers(const TDimensionState& state, const std::vector<int>& map, int lost);
  //! The node whose rectangle holds the point, searching expanded nodes'
  //! children, and the button there (the next-dimension button first).
  static TLabelNode* FindNode(const TLabelNodes& list, int x, int y, TGridButton** button);

 private:
  void BuildTree(int axis);
  void AddDimChildren(TLabelNodes& list, TLabelNode* parent, int axis, int dimIndex,
                      TMemberKey& key);
  void GiveButtons(TLabelNode& node, int axis) const;
  TOpenDimNodes SaveExpansion(const TLabelNodes& list) const;
  void ReplayExpansion(TLabelNodes& list, const TOpenDimNodes& saved, int axis);
  void LayoutAxis(int axis);

  TGridInfo& FGrid;
  TLabelNodes FTrees[2];
  //! Expansion kept while the dimension states are rebuilt under an active cube.
  TOpenDimNodes FPendingExpansion[2];
  std::vector<TLabelNode*> FLines[2];
  std::vector<TCaptionNode> FCaptions[2];
};

}  // namespace qd
