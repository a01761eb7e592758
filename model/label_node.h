// The header cells of a pivot grid: label nodes of the row and column trees with
// their expand buttons, the caption of each header dimension, and the data-column
// headers (summary, function, sub-function).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace qd {

class TDimensionState;
class TSummaryInfo;

//! A rectangle in grid cell coordinates, edges inclusive; the view fills it.
struct TGridRect {
  int Left = -1, Top = -1, Right = -2, Bottom = -2;
  bool Contains(int x, int y) const { return x >= Left && x <= Right && y >= Top && y <= Bottom; }
};

struct TLabelNode;
using TLabelNodes = std::vector<std::unique_ptr<TLabelNode>>;

struct TGridButton {
  explicit TGridButton(TLabelNode* node) : Node(node) {}
  TLabelNode* Node;
  TGridRect Rect;
};

//! One row or column header cell.
struct TLabelNode {
  int Member = -1;  //!< node index in the dimension state; -1 = Total
  int DimIndex = -1;
  TDimensionState* State = nullptr;
  TLabelNode* Parent = nullptr;
  TLabelNodes Children;
  bool ExpandedIntoNext = false;       //!< children are members of the next dimension
  bool ExpandedIntoHierarchy = false;  //!< children are the member's child members
  int Level = 1;                       //!< hierarchy level of the member, 1-based
  int HeaderColumn = 0;                //!< 0-based header column on its axis
  std::unique_ptr<TGridButton> HierarchyButton;
  std::unique_ptr<TGridButton> NextDimButton;
  int LineIndex = -1;  //!< position among the lines of its axis; -1 when not a line
  TGridRect Rect;

  bool IsTotal() const { return Member == -1; }
  bool IsExpanded() const { return ExpandedIntoNext || ExpandedIntoHierarchy; }
  bool HasButton() const { return HierarchyButton || NextDimButton; }
};

//! The caption of one header dimension.
struct TCaptionNode {
  int DimIndex = -1;
  TDimensionState* State = nullptr;
  int Width = 1;        //!< header columns
  int FirstColumn = 0;  //!< first header column
  TGridRect Rect;
};

enum class TSubLevelNodeType : std::uint8_t { ltSummary = 0, ltFunction = 1, ltSubFunction = 2 };

struct TSubLevelNode;
using TSubLevelNodes = std::vector<std::unique_ptr<TSubLevelNode>>;

//! A data-column header: a summary, one of its functions or one sub-function.
struct TSubLevelNode {
  TSubLevelNode* Parent = nullptr;
  TSubLevelNodes Children;
  TLabelNode* ColumnLine = nullptr;  //!< the column line it lies under, or none
  TSubLevelNodeType Type = TSubLevelNodeType::ltSummary;
  int SummaryIndex = 0;  //!< position in the summary settings
  TSummaryInfo* Summary = nullptr;
  std::uint8_t FunctionIndex = 0;
  std::uint8_t SubFunctionIndex = 0;
  TGridRect Rect;
};

//! An expanded node remembered across a rebuild of the trees.
struct TOpenDimNode {
  int Member = -1;
  int HeaderColumn = 0;  //!< header column + 1
  int DimIndex = -1;
  bool IntoHierarchy = false;
  std::vector<TOpenDimNode> Children;
  bool operator==(const TOpenDimNode&) const = default;
};
using TOpenDimNodes = std::vector<TOpenDimNode>;

}  // namespace qd
