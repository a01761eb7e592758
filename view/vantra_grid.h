// The pivot grid control: the model of one bound cube, the pivot areas where
// dimensions are dragged between rows, columns and pages, the tool strip, and
// the internal grid that shows the cells.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "model/grid_info.h"
#include "model/layout_estimate.h"
#include "view/custom_internal_grid.h"
#include "view/visual_settings.h"

class QToolButton;

namespace qd {

class TInternalGrid;
class TPivotPanel;
class TAggPanel;
class TDimPivotPanel;
struct TDimDragData;
class TCustomVantraGrid;
struct TGridExportStructure;
struct TGridFileContent;

//! Draw states of a data cell.
struct TGridDrawState {
  bool Selected = false;
  bool Focused = false;
};

//! The font a cell is drawn with, with its text colour.
struct TCellFont {
  QFont Font;
  QColor Color;
};

//! The draw events may change a cell's text, font and background colour.
using TDrawDataCellEvent =
    std::function<void(TCustomVantraGrid& sender, int col, int row, std::string& value,
                       TCellFont& font, QColor& color, TGridDrawState state)>;
using TDrawLabelCellEvent =
    std::function<void(TCustomVantraGrid& sender, std::string& value, TCellFont& font,
                       QColor& color, const TLabelNode& labelNode)>;
using TDrawCaptionCellEvent =
    std::function<void(TCustomVantraGrid& sender, std::string& value, TCellFont& font,
                       QColor& color, TDimensionState& dimState)>;
using TGridMouseEvent = std::function<void(TCustomVantraGrid& sender, Qt::MouseButton button,
                                           Qt::KeyboardModifiers shift, int x, int y)>;
using TGridMouseMoveEvent =
    std::function<void(TCustomVantraGrid& sender, Qt::KeyboardModifiers shift, int x, int y)>;
using TVantraBeforeMoveDimEvent = std::function<void(TCustomVantraGrid& sender, int dimId,
                                                     TDimGroup group, int index, bool& allowMove)>;
using TVantraAfterMoveDimEvent =
    std::function<void(TCustomVantraGrid& sender, int dimId, TDimGroup group, int index)>;
using TVantraOnExpandDimValueEvent =
    std::function<void(TCustomVantraGrid& sender, int dimId, int valueIndex, bool expanded)>;
using TOnEditFactTableEvent =
    std::function<void(TCustomVantraGrid& sender, TDataSet& modifiedRecords, bool& accept)>;
//! In-place editing of a data cell: the cell's fact records, its summary and
//! the edited text; setting `recalculate` writes the records back.
using TSetEditTextEvent =
    std::function<void(TInternalGrid& sender, int col, int row, TDataSet& dataset,
                       TSummaryInfo& sumInfo, const std::string& value, bool& recalculate)>;
//! Marks a data cell apart from its value (a comparison with another cube):
//! true with the colour to paint it with and, when `hint` is given, the
//! lines its tooltip adds.
using TMarkDataCellEvent =
    std::function<bool(int col, int row, QColor& color, std::string* hint)>;
//! The question before a layout above the size limits; `largest` names the
//! dimension that the first choice leaves on the page axis.
using TAskLargeLayoutEvent =
    std::function<TLargeLayoutChoice(const TLayoutEstimate& estimate, const std::string& largest)>;
//! A tool or panel action whose dialog lives elsewhere.
using TGridAction = std::function<void(TCustomVantraGrid& sender)>;
using TDimPanelAction =
    std::function<void(TCustomVantraGrid& sender, TDimensionState& state, QPoint screenPos)>;

class TCustomVantraGrid : public QWidget, public TGridListener {
 public:
  explicit TCustomVantraGrid(QWidget* parent = nullptr);
  ~TCustomVantraGrid() override;

  // ---- Binding ----
  TCustomVantra* Vantra() const { return FCube; }
  //! Binds a cube (nullptr unbinds and empties the areas).
  void SetVantra(TCustomVantra* cube);

  TGridInfo& Model() { return *FModel; }
  TInternalGrid& InternalGrid() const { return *FGrid; }
  TVisualSettings& VisualSettings() { return *FVisual; }
  TSummarySettings& SummarySettings() { return FModel->SummarySettings(); }
  TFunctionDefs& FunctionDefs() { return FModel->FunctionDefs(); }
  void SetFunctionDefs(const TFunctionDefs& defs) { FModel->FunctionDefs().Assign(defs); }

  TVantraGridOptions Options() const;
  void SetOptions(TVantraGridOptions value);
  bool Editable = false;
  bool DefaultDrawing = true;
  //! The grid is being set up rather than used: its summaries dialog also
  //! offers the page of the function catalogue.
  bool DesignMode = false;
  int DefaultColWidth() const { return FDefaultColWidth; }
  void SetDefaultColWidth(int value);

  // ---- Events ----
  TDrawDataCellEvent OnDrawDataCell;
  TDrawLabelCellEvent OnDrawLabelCell;
  TDrawCaptionCellEvent OnDrawCaptionCell;
  //! Asked after OnDrawDataCell; a selected cell keeps the selection colour.
  TMarkDataCellEvent OnMarkDataCell;
  TGridMouseEvent OnInternalGridMouseDown, OnInternalGridMouseUp;
  TGridMouseMoveEvent OnInternalGridMouseMove;
  TVantraBeforeMoveDimEvent BeforeMoveDim;
  TVantraAfterMoveDimEvent AfterMoveDim;
  TVantraOnExpandDimValueEvent OnExpandDimValue;
  TDimensionState::TCompare OnCompareDimensionMembers;
  TOnEditFactTableEvent OnEditFactTable;
  TSetEditTextEvent OnSetEditText;
  //! The tool strip's dialogs and the dimension panels' members dialog: the
  //! dialogs of grid_dialogs.h unless replaced; an unassigned one says that
  //! the dialog is not available.
  TGridAction OnDimensionMapDialog, OnSummariesDialog, OnPivotStatesMenu;
  TDimPanelAction OnDimensionMembersDialog;
  //! A message box with the three choices unless replaced (tests do).
  TAskLargeLayoutEvent AskLargeLayout;

  // ---- Operations ----
  //! Moves the dimension at (sourceGroup, sourceIndex) to (targetGroup, targetIndex).
  void MoveDimension(TDimGroup sourceGroup, TDimGroup targetGroup, int targetIndex,
                     int sourceIndex);
  //! The size guard: is the estimated layout within
  //! VisualSettings().LayoutLimits, or does the user agree? False on cancel;
  //! `pageDim` is the dimension to leave on the page axis first, or -1.
  bool ConfirmLayout(const TLayoutEstimate& e, int& pageDim);
  //! Expands every label of the dimension after the size guard.
  void ExpandAllGuarded(TDimensionState& state);
  //! A dimension panel dropped on an area at `pos` (the area's inner coordinates).
  void DropDimension(const TPivotPanel& target, const TDimDragData& dragged, QPoint pos);
  //! The cells of the current layout for the exporters; nullptr while the
  //! model is not active.
  std::unique_ptr<TGridExportStructure> ExportStructure();
  //! Opens a grid file after the size guard: the layout it will show is
  //! estimated before anything changes, and cancelling the question leaves
  //! cube and layout as they were (false). `cube`, when given, is bound
  //! first and takes the cube the file brings.
  bool LoadGridFile(const std::string& fileName, TCustomVantra* cube = nullptr);
  //! Grid files, forwarded to the model (content flags: 7 data, 6 state).
  void SaveGridFile(const std::string& fileName, int parts) { FModel->SaveToFile(fileName, parts); }
  //! The name of the current pivot state, empty when none.
  const std::string& PivotStateName() const { return FModel->CurrentPivotState(); }
  //! Grid cell to data cell: negative for header cells.
  TGridCoord GridCellToDataCell(int col, int row) const;
  //! Delivers the model's queued notifications now (normally a queued call does).
  void ProcessModelNotifications();
  //! Empties the pivot areas and refills them from the model's axes.
  void RefreshPivotAreas();

  // ---- Parts ----
  TPivotPanel& Area(TDimGroup group) const;
  TAggPanel& ToolStrip() const { return *FToolStrip; }
  QWidget& TopStrip() const { return *FTopStrip; }
  QToolButton& PivotToggle() const { return *FToggle; }
  int DimPanelHeight() const { return FDimPanelHeight; }
  //! Enables or disables every dimension panel of the three areas (a drag).
  void SetDimPanelsEnabled(bool enabled);
  //! A panel drag runs between these: the panels are disabled and the areas
  //! are not rebuilt until it ends, so the dragged panel outlives the drag.
  void BeginDimDrag();
  void EndDimDrag();
  bool DimDragging() const { return FDimDragging; }

  // ---- For TVisualSettings ----
  void ApplyLook();
  void ApplyPivotVisible();
  void ApplyPivotWidth();
  void ApplyDimPanels();
  void RecomputeDimPanelHeight();
  void ApplyToolButtons();
  void ApplyToggleButton();

  void GridInfoChanged(TGridInfo& model, TChangeKind kind) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Relayout();
  void WireModelEvents();
  //! The question when the estimate is above the limits; lcGoOn when not.
  TLargeLayoutChoice AskIfLarge(const TLayoutEstimate& e, const std::string& largest);
  //! The size guard for a grid file's layout on the cube it will have;
  //! `pageDim` gets the field name to leave on the page axis, if any.
  bool ConfirmGridFile(const TGridFileContent& content, TCustomVantra* cube, std::string& pageDim);

  std::unique_ptr<TGridInfo> FModel;
  std::unique_ptr<TVisualSettings> FVisual;
  TCustomVantra* FCube = nullptr;
  QWidget* FTopStrip;
  TAggPanel* FToolStrip;
  TPivotPanel* FRowArea;
  TPivotPanel* FColArea;
  TPivotPanel* FPageArea;
  TInternalGrid* FGrid;
  QToolButton* FToggle;
  int FDimPanelHeight = 43;
  int FDefaultColWidth = 64;
  bool FDrainQueued = false;
  bool FDimDragging = false;
  bool FAreasStale = false;  // a rebuild of the areas waits for the drag's end
};

//! The published control.
class TVantraGrid : public TCustomVantraGrid {
 public:
  using TCustomVantraGrid::TCustomVantraGrid;
};

}  // namespace qd
