// The model behind one pivot grid: the axes, the dimension and summary states,
// the data columns and values, and the change notifications the views follow.
// It owns its parts (the aggregation, the label trees, the pivot-state store,
// the value sort and the cell facts) and brackets their changes with its
// updates. Views and exporters read it; they never touch the cube.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/cell_facts.h"
#include "model/cell_values.h"
#include "model/change_kind.h"
#include "model/dimension_state.h"
#include "model/function_defs.h"
#include "model/grid_cube.h"
#include "model/label_node.h"
#include "model/label_trees.h"
#include "model/model_aggregation.h"
#include "model/pivot_state.h"
#include "model/pivot_state_store.h"
#include "model/summary_settings.h"
#include "model/value_sort.h"

namespace qd {

class TGridInfo;
class TDataSet;
class TvtMemoDataSet;
class TGridFormulaContext;
struct TUserBuffer;
struct TGridFileContent;

//! Receives the model's posted change notifications (the owner grid, charts).
class TGridListener {
 public:
  virtual ~TGridListener() = default;
  virtual void GridInfoChanged(TGridInfo& model, TChangeKind kind) = 0;
};

class TGridInfo : public TCubeListener {
 public:
  //! `owner` is the grid control: it receives every notification and is the
  //! Sender of every event.
  explicit TGridInfo(TGridListener* owner = nullptr);
  ~TGridInfo() override;
  TGridInfo(const TGridInfo&) = delete;
  TGridInfo& operator=(const TGridInfo&) = delete;

  // ---- Binding and notification ----
  //! Binds another cube (registering with it); unless `loading`, posts ckCubeBound.
  void SetCube(TGridCube* cube, bool loading = false);
  TGridCube* Cube() const { return FCube; }
  //! The grid control that receives every notification and sends every event.
  TGridListener* Owner() const { return FOwner; }
  bool IsActive() const;
  //! Binds a cube component (nullptr unbinds); the model keeps the adapter.
  void SetVantra(TCustomVantra* cube, bool loading = false);
  //! Called by the cube; rebuilds what the code says and ends with ckCube.
  void CubeChanged(TCubeChange code) override;
  //! Registers a listener and posts ckCube to it.
  void AddListener(TGridListener* listener);
  void RemoveListener(TGridListener* listener);
  void BeginUpdate();
  //! The outermost call rebuilds for the change kind (kModelRebuilds) and posts it.
  void EndUpdate(TChangeKind kind);
  //! Ends an update whose change failed: nothing is rebuilt or posted; the
  //! outermost one reports the end of the busy state.
  void CancelUpdate();
  int UpdateCount() const { return FUpdateCount; }
  //! Delivers the posted notifications in arrival order; returns how many.
  int ProcessNotifications();
  std::size_t PendingNotifications() const { return FPosted.size(); }
  //! Called while busy state changes (the hourglass of a view).
  std::function<void(bool busy)> OnBusyChanged;
  //! Called after a notification was queued; a view schedules
  //! ProcessNotifications on its event loop from here.
  std::function<void()> OnPosted;

  // ---- Settings ----
  TSummarySettings& SummarySettings() { return FSummarySettings; }
  TFunctionDefs& FunctionDefs() { return FFunctionDefs; }
  TSubLevelNodeType LowestSubLevelNode() const { return FLowestSubLevel; }
  void SetLowestSubLevelNode(TSubLevelNodeType value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool value);
  //! False for a function the bound cube cannot compute: one that needs every
  //! single fact (NeedsEveryFact) when the cube was aggregated in the database.
  bool FunctionOffered(int function) const;
  int DefaultFunction() const { return FDefaultFunction; }
  int DefaultSubFunction() const { return FDefaultSubFunction; }

  // ---- Axes and dimensions ----
  int DimensionStateCount() const { return static_cast<int>(FStates.size()); }
  TDimensionState& DimensionState(int dimIndex) const {
    return *FStates.at(static_cast<std::size_t>(dimIndex));
  }
  //! Dimension indexes of an axis, outermost first (dgRow, dgCol, dgPage).
  const std::vector<int>& AxisDims(TDimGroup group) const;
  const std::vector<int>& RowDims() const { return FAxes[0]; }
  const std::vector<int>& ColDims() const { return FAxes[1]; }
  const std::vector<int>& PageDims() const { return FAxes[2]; }
  //! The dimension's field name; empty when inactive or out of range.
  std::string GetDimName(int dimIndex) const;
  //! Dimension at a position of group 0..2, or -9999.
  int GetDimAt(int group, int position) const;
  void MoveDim(int dimIndex, TDimGroup group, int position);
  void MoveDimAt(int sourceGroup, int sourcePosition, int targetGroup, int targetPosition);
  void CheckCapacity(const std::vector<int>& dimIndexes) const {
    FAggregation.CheckCapacity(dimIndexes);
  }
  void SetTotalAppearance(TDimensionState& state, TTotalAppearance value);
  //! Cell keys, the active dimensions and the aggregated values.
  TModelAggregation& Aggregation() { return FAggregation; }
  const TModelAggregation& Aggregation() const { return FAggregation; }

  // ---- Label trees (axis 0 rows, 1 columns) ----
  const TLabelNodes& RowTree() const { return FTrees.Tree(0); }
  const TLabelNodes& ColTree() const { return FTrees.Tree(1); }
  const TLabelNodes& Tree(int axis) const { return FTrees.Tree(axis); }
  void ExpandNode(TLabelNode& node, int axis, bool intoHierarchy);
  void CollapseNode(TLabelNode& node, int axis);
  void ExpandAll(TDimensionState& state);
  void CollapseAll(TDimensionState& state);
  //! Node whose rectangle holds the point, and the button there (the
  //! next-dimension button is tested first).
  TLabelNode* FindLabelNode(const TLabelNodes& tree, int x, int y,
                            TGridButton** button = nullptr) const {
    if (button) *button = nullptr;
    return TLabelTrees::FindNode(tree, x, y, button);
  }
  const TCaptionNode* FindCaptionNode(const std::vector<TCaptionNode>& nodes, int x, int y) const;
  TSubLevelNode* FindSubLevelNode(const TSubLevelNodes& nodes, int x, int y) const;
  std::string GetNodeCaption(const TLabelNode& node) const;
  static bool IsTotal(const TLabelNode& node) { return node.IsTotal(); }
  static bool IsExpanded(const TLabelNode& node) { return node.IsExpanded(); }
  static bool HasButton(const TLabelNode& node) { return node.HasButton(); }
  bool IsInGroup(const TLabelNode& node) const;
  //! Attribute names and the member's value of each; false (lists empty) for
  //! dimensions with fewer than two attributes.
  bool GetAttributeValues(const TLabelNode& node, std::vector<std::string>& names,
                          std::vector<std::string>& values) const;

  // ---- Sizes and lookup for the views ----
  int RowLineCount() const { return std::max<int>(1, static_cast<int>(FTrees.Lines(0).size())); }
  int ColLineCount() const { return std::max<int>(1, static_cast<int>(FTrees.Lines(1).size())); }
  int DataColumnCount() const { return std::max<int>(1, static_cast<int>(FDataColumns.size())); }
  int RowHeaderWidth() const { return FTrees.HeaderWidth(0); }
  int ColHeaderHeight() const { return FTrees.HeaderWidth(1); }
  const std::vector<TCaptionNode>& CaptionNodes(int axis) const { return FTrees.Captions(axis); }
  const TSubLevelNodes& SubLevelNodes() const { return FSubLevels; }
  //! Lowest sub-level nodes, one per data column.
  const std::vector<TSubLevelNode*>& DataColumns() const { return FDataColumns; }
  int DataColumnsPerLine() const { return FColumnsPerLine; }
  TLabelNode* GetRowLine(int row) const;
  TLabelNode* GetColumnLine(int column) const;
  bool GetColumnSubLevel(int column, int& summary, int& function, int& subFunction) const;
  //! The value of a data cell with its sub-function; no value outside the grid.
  TCellValue GetCellValue(int row, int column) const;
  //! One entry per active position, -1 = Total; empty while inactive.
  TMemberKey GetCellKey(int row, int column) const;
  TMemberKey GetNodesKey(const TLabelNode* rowNode, const TLabelNode* columnNode) const;

  // ---- Pivot states (pivot_state_store.h; grid_info_states.cpp) ----
  TPivotStates& PivotStates() { return FStateStore.States(); }
  const TPivotStates& PivotStates() const { return FStateStore.States(); }
  //! Name of the current pivot state, empty when none.
  const std::string& CurrentPivotState() const { return FStateStore.Current(); }
  int PivotStateIndex(const std::string& name) const { return FStateStore.IndexOf(name); }
  void SavePivotState(const std::string& name) { FStateStore.Save(name); }
  void DeletePivotState(const std::string& name) { FStateStore.Delete(name); }
  void RestorePivotState(const std::string& name) { FStateStore.Restore(name); }
  TPivotState CaptureState() const;
  //! Lays the grid out as saved: names and members the cube no longer has are
  //! skipped, dimensions on neither rows nor columns go to the page axis.
  void ApplyState(const TPivotState& state);
  //! Fired after a state was saved or deleted; the Sender is the model.
  std::function<void(TGridInfo* sender, const std::string& name)> OnPivotStateSaved;
  std::function<void(TGridInfo* sender, const std::string& name)> OnPivotStateDeleted;

  // ---- Grid files (grid_file.cpp) ----
  //! Writes a grid file with the parts gfCube, gfPivotStates, gfCurrentState
  //! (model/grid_file.h) combined as bits.
  void SaveToFile(const std::string& path, int parts, std::span<const std::uint8_t> user = {});
  void LoadFromFile(const std::string& path, TUserBuffer* user = nullptr);
  //! Loads a grid file read by ReadGridFile; `adjust` may change its current
  //! layout before it is applied. The content is spent: its cube's fact table
  //! keeps the decoded records where they are.
  void LoadContent(TGridFileContent content, TUserBuffer* user = nullptr,
                   const std::function<void(TPivotState&)>& adjust = {});
  //! Reads a grid file's content once decompressed.
  void LoadFromContainer(std::span<const std::uint8_t> container, TUserBuffer* user = nullptr,
                         const std::function<void(TPivotState&)>& adjust = {});

  // ---- Member order, filters and groups (member_order.cpp, grid_members.cpp) ----
  //! Stores the sort type and recomputes the state's order; with `apply` the
  //! grid re-sorts (ckRowOrder on rows, ckColOrder on columns).
  void SetSortType(TDimensionState& state, TDimSortType type, bool apply);
  //! Stores the caption attribute; with `relabel` recaptions the members and
  //! re-sorts the grid (ckLabels).
  void SetAttribute(TDimensionState& state, const std::string& name, bool relabel);
  //! Hide the members of the later (or of all other) siblings of a label with
  //! their subtrees, then ApplyFilter. A Total stands for its parent.
  void HideFollowingMembers(TLabelNode& node, int axis);
  void HideOtherMembers(TLabelNode& node, int axis);
  //! Moves the label's member into group `group` of its dimension, then
  //! ApplyDimensionState; ignored for bad groups, a Total without parent and
  //! members already in a group.
  void MoveMemberToGroup(TLabelNode& node, int group);
  //! Moves the members of the later siblings into the group, rebuilding once.
  void GroupFollowingMembers(TLabelNode& node, int axis, int group);
  //! Re-aggregates and rebuilds the trees after members, groups or filters of
  //! the state changed (ckMembers).
  void ApplyDimensionState(TDimensionState& state);
  //! Rebuild after a visibility change: a page dimension re-aggregates,
  //! others recompute roll-ups and drop cached totals (ckAxes).
  void ApplyFilter(TDimensionState& state);

  // ---- Edits the dialogs commit (grid_edits.cpp) ----
  //! Replaces the state's member tree and group list by edited ones (the
  //! group list starting with "其它"; one is made when it is missing), keeps
  //! the labels on their members, then ApplyDimensionState.
  void ReplaceMembers(TDimensionState& state, TDimMembers members, TDimMembers groups);
  //! Merges a dialog's copy of the summary settings into the model's: when
  //! summaries were added or removed the summary states are linked anew and
  //! everything is rebuilt (ckCube), otherwise the layout (ckAxes).
  void ApplySummarySettings(const TSummarySettings& edited);
  //! One dimension of a whole new layout.
  struct TDimLayout {
    int DimIndex = -1;
    TDimGroup Group = TDimGroup::dgRow;
    TTotalAppearance TotalAppearance = TTotalAppearance::taLast;
    TDimSortType SortType = TDimSortType::dsDatabase;
    std::string Attribute;
  };
  //! Lays the dimensions out anew, in list order on each axis, with their
  //! totals, member order and caption attribute (members relabelled when
  //! it changes); a
  //! dimension on an axis that the list leaves out stays on it, after the
  //! listed ones. The row and column dimensions are checked against the
  //! capacity first, so a refused layout changes nothing. Rebuilds fully
  //! (ckAxes).
  void ApplyLayout(const std::vector<TDimLayout>& layout);

  // ---- Value sort of the rows (value_sort.h) ----
  const TValueSortData& ValueSortData() const { return FValueSort.Data(); }
  //! Stores the data and re-sorts the rows (ckRowOrder).
  void SetValueSort(const TValueSortData& data);
  //! A click on a data column's header: the same column advances the state
  //! 0 → 1 → 2 → 0, another column starts ascending; then re-sorts.
  void ToggleValueSort(int dataColumn);
  void SetValueSortColumn(const TLabelNode* columnLine) { FValueSort.SetColumn(columnLine); }
  bool MatchesValueSortColumn(const TLabelNode* columnLine) const {
    return FValueSort.MatchesColumn(columnLine);
  }
  int FindValueSortColumn() const { return FValueSort.FindColumn(); }

  // ---- Cell values (grid_info_values.cpp) ----
  //! Recomputes the value matrices of every visible summary, function and
  //! sub-function of the layout (run by every relayout).
  void ComputeValues();
  const TGridSummaryArray& SummaryArray() const { return FSummaryArray; }
  //! One message per visible calculated summary of the layout whose formula
  //! does not parse, naming the summary and the position; its cells have no value.
  const std::vector<std::string>& FormulaErrors() const { return FFormulaErrors; }
  //! The cell's value written with its sub-function's format mask; empty
  //! without a value.
  std::string GetCellText(int row, int column) const;
  //! Summary, function and sub-function of a data column with their display
  //! names; Summary is -1 outside the grid.
  TDataColumnInfo DescribeDataColumn(int column) const;
  //! Replaces the coloured-cell set by the cells comparable with this one.
  void BuildColoredCells(int row, int column);
  const TColoredCells& ColoredCells() const { return FColoredCells; }

  // ---- Fact records of a cell (cell_facts.h) ----
  std::vector<std::int32_t> GetCellFactRecords(int row, int column) const {
    return FCellFacts.Records(row, column);
  }
  std::unique_ptr<TvtMemoDataSet> GetCellFacts(int row, int column) const;
  void EditCellFacts(int row, int column) { FCellFacts.Edit(row, column); }
  //! Writes a cell-details dataset back and re-aggregates (ckMembers); in-place
  //! editing ends here. Nothing for a calculated summary.
  void WriteCellFacts(int column, TvtMemoDataSet& details) { FCellFacts.Write(column, details); }
  //! The window EditCellFacts shows; nothing is edited while none is set.
  IFactTableEditor* FactTableEditor = nullptr;

  // ---- Events (Sender is the owner grid) ----
  std::function<void(TGridListener* sender, int dimId, TDimGroup group, int index, bool& allowMove)>
      BeforeMoveDim;
  std::function<void(TGridListener* sender, int dimId, TDimGroup group, int index)> AfterMoveDim;
  std::function<void(TGridListener* sender, int dimId, int valueIndex, bool expanded)>
      OnExpandDimValue;
  TDimensionState::TCompare OnCompareDimensionMembers;
  //! Supplies the custom functions of the second pass (Sender: the owner grid).
  TCalcAggregateFunctionEvent OnCalcAggregateFunction;
  //! Asked whether edited fact values may be written back (accept starts false).
  std::function<void(TGridListener* sender, TDataSet& modifiedRecords, bool& accept)>
      OnEditFactTable;

 private:
  void Post(TChangeKind kind, TGridListener* only = nullptr);
  void Rebuild(TChangeKind kind);
  void BuildDimensionStates();
  void ClearBuilt();
  void LinkSummaryStates();
  void RebuildMemberTrees();
  //! The label trees again, re-sorted and laid out.
  void BuildTrees(bool keepExpansion);
  //! Both trees in member order, the rows by value when a value sort is set.
  void SortTrees();
  //! Lines and header columns, data columns, values.
  void Relayout();
  // Data columns and values (grid_info_values.cpp).
  void BuildDataColumns();
  void FindDefaultSubLevels();
  struct TLineKeys;
  void ComputeSummaryValues(int summary, const TLineKeys& lines, TGridFormulaContext& context);
  // Members (grid_members.cpp).
  TLabelNode* StandIn(TLabelNode& node) const;
  using TNodeIdentities = std::vector<std::pair<const TDimMember*, int>>;
  static TNodeIdentities NodeIdentities(const TDimensionState& state);
  void RebuildAfterGrouping(TDimensionState& state, const TNodeIdentities& before);

  TGridListener* FOwner;
  TGridCube* FCube = nullptr;
  std::unique_ptr<TVantraGridCube> FVantraCube;
  std::vector<TGridListener*> FListeners;
  struct TPosted {
    TChangeKind Kind;
    TGridListener* Only;
  };
  std::deque<TPosted> FPosted;
  int FUpdateCount = 0;
  bool FDestroying = false;

  TPivotStateStore FStateStore{*this};
  TSummarySettings FSummarySettings{this};
  TFunctionDefs FFunctionDefs;
  TSubLevelNodeType FLowestSubLevel = TSubLevelNodeType::ltSubFunction;
  int FDefaultFunction = 0, FDefaultSubFunction = 0;
  bool FWordWrap = false;

  std::vector<int> FAxes[3];
  std::vector<std::unique_ptr<TDimensionState>> FStates;
  TModelAggregation FAggregation{*this};

  TLabelTrees FTrees{*this};
  TSubLevelNodes FSubLevels;
  std::vector<TSubLevelNode*> FDataColumns;
  int FColumnsPerLine = 0;
  TGridSummaryArray FSummaryArray;
  TColoredCells FColoredCells;
  TValueSorter FValueSort{*this};
  TCellFacts FCellFacts{*this};
  std::vector<std::string> FFormulaErrors;
};

}  // namespace qd
