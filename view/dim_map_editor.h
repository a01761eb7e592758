// What the dimension-map dialog edits, without its widgets: the layout of the
// grid as three axis lists of dimensions, each with its total appearance,
// member order and caption attribute, dimensions moved between and within the
// axes, and OK laying the grid out anew in one rebuild. Nothing reaches the
// model before OK.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/cube/dim_map.h"

namespace qd {

class TGridInfo;
class TDimensionState;

//! One dimension node of the layout tree.
struct TDimStateData {
  TDimSortType SortType = TDimSortType::dsDatabase;
  TTotalAppearance TotalAppearance = TTotalAppearance::taLast;
  std::string Attribute;
  TDimensionState* State = nullptr;
  //! The node's caption (F2 changes it in the tree only).
  std::string Caption;
  //! Takes sort type, totals, attribute and caption from the state.
  void ReadFrom(const TDimensionState& state);
};

//! A node of the layout tree: an axis node (Dim nullptr) or a dimension node.
struct TDimMapNode {
  int Axis = -1;  //!< 0 rows, 1 columns, 2 pages
  TDimensionState* Dim = nullptr;
  bool operator==(const TDimMapNode&) const = default;
  bool Valid() const { return Axis >= 0 && Axis < 3; }
};

class TDimMapEditor {
 public:
  explicit TDimMapEditor(TGridInfo& model);

  //! Fills the three axes from the model's row, column and page lists.
  void Open();
  const std::vector<TDimStateData>& Axis(int axis) const {
    return FAxes.at(static_cast<std::size_t>(axis));
  }
  //! The node's place on its axis, -1 for an axis node or a dimension not found.
  int IndexOf(const TDimMapNode& node) const;
  TDimStateData* Data(const TDimMapNode& node);

  // ---- Selection and the property panel ----
  //! Stores the shown properties into the previously selected dimension, then
  //! shows the new node's (none for an axis node).
  void Select(const TDimMapNode& node);
  const TDimMapNode& Selected() const { return FSelected; }
  bool PropertiesShown() const { return FSelected.Dim != nullptr; }
  //! The values the property panel shows and edits.
  TTotalAppearance ShownTotal = TTotalAppearance::taLast;
  TDimSortType ShownSort = TDimSortType::dsDatabase;
  int ShownAttribute = 0;
  //! The attribute choices of the selected dimension ("Default attribute" when
  //! it has none).
  const std::vector<std::string>& AttributeChoices() const { return FAttributes; }

  // ---- Edits ----
  //! Moves a dimension node onto `target`: onto an axis node as its last
  //! dimension, onto a dimension node before it. A page dimension that would
  //! join rows or columns is checked against the model's capacity first (its
  //! error is raised and nothing moves). False when nothing moved.
  bool Move(const TDimMapNode& dragged, const TDimMapNode& target);
  //! A dimension node's caption (the tree only).
  void Rename(const TDimMapNode& node, const std::string& caption);
  //! The members dialog changed the dimension: its node is read again,
  //! captioned with the display name, and selected.
  void MembersChanged(const TDimMapNode& node);

  //! Lays the grid out as the tree says; false (nothing done) while no node
  //! was ever selected.
  bool Ok();

 private:
  void StoreShown();
  void ShowOf(const TDimStateData& data);

  TGridInfo& FModel;
  std::array<std::vector<TDimStateData>, 3> FAxes;
  TDimMapNode FSelected;
  bool FEverSelected = false;
  std::vector<std::string> FAttributes;
};

}  // namespace qd
