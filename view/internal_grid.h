// The cell area of the pivot grid control: sizes the grid from the model's
// layout, places every header item in pixels, paints merged headers and
// formatted data cells, and expands or collapses labels from their buttons.
#pragma once

#include <QColor>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "export/grid_layout.h"
#include "model/change_kind.h"
#include "view/custom_internal_grid.h"
#include "view/visual_settings.h"

namespace qd {

//! The corner mark of a value resting on too few facts.
inline const QColor kLowCountMarkColor{230, 120, 0};

class TCustomVantraGrid;
class TGridInfo;
class TQuickMenu;
class TAttributeWindow;
struct TGridButton;
struct TGridExportCell;

//! Where a point of the grid lies (0 nothing, 1 data cell, 2 row-dimension
//! title, 3 column-dimension title, 4 row label, 5 column label, 6 summary
//! header, 7 function header, 8 sub-function header).
enum class TGridRegion : int {
  grNone = 0,
  grData = 1,
  grRowTitle = 2,
  grColTitle = 3,
  grRowLabel = 4,
  grColLabel = 5,
  grSummary = 6,
  grFunction = 7,
  grSubFunction = 8
};

//! Command ids of the header menus.
namespace quick_id {
constexpr int kExpandNode = 1, kShowChildren = 2, kCollapseNode = 3, kHideFollowing = 4;
constexpr int kExpandAll = 5, kCollapseAll = 6, kHideOthers = 7, kShowAllMembers = 8;
constexpr int kExplainChange = 9;
constexpr int kFunction = 100000, kSubFunction = 200000, kMoveToGroup = 500000;
constexpr int kGroupFollowing = 600000, kTotalAppearance = 700000;
}  // namespace quick_id

//! The colour-hint colour of a value between `minimum` and `maximum`: red when
//! they are equal, else blue (low) to red (high), reversed under vtcHighestIsCold.
QColor ColorHintColor(double value, double minimum, double maximum, TvtcColorSchema schema);

//! Height of a word-wrapped row: the default height without lines, else
//! pad + lines x (h + pad) with pad = (default - h) / 2.
int WrappedRowHeight(int lines, int textHeight, int defaultRowHeight);

class TInternalGrid : public TCustomInternalGrid {
 public:
  TInternalGrid(TCustomVantraGrid& control, TGridInfo& model, QWidget* parent);
  ~TInternalGrid() override;

  //! Rebuilds the layout from the model (empties it while the model is not
  //! active); with `keepView` the view keeps its place when headers change size.
  void RebuildLayout(bool keepView = false);
  //! A model change notification: reacts as kViewReactions says.
  void ModelChanged(TChangeKind kind);
  //! The bound cube changed; nullptr empties the layout at once.
  void CubeChanged(bool bound);

  bool LayoutValid() const { return FValid; }
  //! The model changed and its notification has not arrived yet: the layout
  //! still points at the model's old header nodes and must not be used.
  bool LayoutStale() const;
  //! Delivers the model's pending notifications now, so that the layout is
  //! current (called by the input handlers before they look at headers).
  void SyncWithModel();
  //! The owner delivered the model's notifications; a paint skipped while
  //! they were pending is made up.
  void NotificationsDelivered();
  const TGridLayout& Layout() const { return FLayout; }

  //! The paint settings; call LookChanged after changing them.
  TGridLook& Look() { return FLook; }
  void LookChanged();

  //! Places every header item and button in pixels (viewport coordinates);
  //! painting does it too.
  void ComputeGeometry();
  //! The pixel rectangle of a header item.
  QRect ItemRect(const TGridLayoutItem& item) const;
  //! The part of an item's rectangle `r` inside its header band: where a
  //! label scrolled partly out shows its buttons and text.
  QRect ShownPart(const TGridLayoutItem& item, const QRect& r) const;
  //! The text of a data cell as painted (before OnDrawDataCell).
  std::string CellText(int dataCol, int dataRow) const;

  //! The hover colour hint is showing: data cells of the model's coloured
  //! set take their hint colour while ShowColorHint is on.
  bool ColorHintActive() const { return FColorHintActive; }
  void SetColorHintActive(bool on);

  //! Clicks the button of a label: expands or collapses it. True when the
  //! point was on a button.
  bool ClickButtonAt(QPoint pos);

  // ---- Regions and header menus (internal_grid_menus.cpp) ----
  //! The region of a viewport point.
  TGridRegion RegionAt(QPoint pos) const;
  //! Fills the context menu for the header item at `pos`; false when the
  //! menu has no items (it is then not shown).
  bool BuildQuickMenu(QPoint pos);
  //! The context menu of the last right click or menu key.
  TQuickMenu& QuickMenu() const { return *FQuickMenu; }
  //! Carries out a menu command on the menu's header item.
  void QuickMenuClick(int id);
  //! The chooser the menu key opens on a data cell: one entry per header of
  //! the current cell that has a menu; choosing one opens that menu.
  QMenu* KeyboardMenu() const { return FKeyboardMenu; }

  // ---- Hover (internal_grid_hover.cpp) ----
  //! The rest before the colour hint or the attribute window shows (ms).
  void SetHoverDelay(int ms) { FHoverTimer.setInterval(ms); }
  //! The member-attribute window; nullptr before it was first shown.
  TAttributeWindow* AttributeWindow() const { return FAttributeWindow.get(); }
  //! The timer's tick: colour hint over a data cell, attributes over a label.
  void HoverTick();

  // ---- Fact records, clipboard (internal_grid_edit.cpp) ----
  //! Drill-through of a data cell (data coordinates): its fact records in the
  //! fact-table editor, editable when the control is Editable.
  void ShowCellFacts(int dataCol, int dataRow);
  //! The selected cells, or the whole grid when nothing was selected, as
  //! tab-separated text and as an HTML table.
  std::string SelectionText() const;
  std::string SelectionHtml() const;
  void CopyToClipboard() const;
  //! Selects every data cell.
  void SelectAllCells();
  //! True once the user chose cells (click, keys, Ctrl+A) since the layout
  //! was built.
  bool HasUserSelection() const { return FUserSelection; }

 protected:
  void PaintCells(QPainter& painter, const QRect& clip) override;
  void CellMouseDown(QMouseEvent* event) override;
  void SizeChanged() override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void ComputeRowHeights();
  void PaintItem(QPainter& p, const TGridLayoutItem& item, const QRect& r);
  void PaintLabel(QPainter& p, const TLabelNode& node, const QRect& r, const QRect& shown);
  void PaintTitle(QPainter& p, const TCaptionNode& node, const QRect& r, bool columnTitle);
  void PaintSubLevel(QPainter& p, const TSubLevelNode& node, const QRect& r);
  void PaintHeaderBackground(QPainter& p, const QRect& r, const QColor& c);
  void PaintButton(QPainter& p, const TGridButton& b, int glyph, bool on);
  void PaintData(QPainter& p, const QRect& clip);
  void PaintLowCountMark(QPainter& p, const QRect& cell);
  bool ItemVisible(const TGridLayoutItem& item) const;
  // Menus.
  void BuildTitleMenu(const TCaptionNode& title);
  void BuildLabelMenu(TLabelNode& label, bool columnAxis);
  void BuildFunctionMenu(const TSubLevelNode& node);
  void BuildSubFunctionMenu(const TSubLevelNode& node);
  void BuildDataCellMenu(const TGridCoord& cell);
  bool BuildMenuFor(TGridRegion region, QPoint pos);
  void PopupMenuAt(QPoint viewportPos);
  void OpenKeyboardMenu();
  void ClickSubFunctionHeader(QPoint pos);
  void RunLabelCommand(int id);
  void ToggleFunction(const TSubLevelNode& node, int function);
  void ToggleSubFunction(const TSubLevelNode& node, int subFunction);
  // Hover.
  void HoverMove(QPoint pos);
  void HideHover();
  //! The tooltip of a data cell: how few facts its value rests on, and the
  //! control's mark hint.
  void ShowCellTip(const TGridCoord& cell);
  void ShowAttributeWindow(const TLabelNode& label, QPoint pos);
  // Editing.
  void CommitEditorText(int col, int row, const std::string& text);
  QRect SelectedRange() const;
  std::string CopiedText(const TGridExportCell& cell, int col, int row) const;

  TCustomVantraGrid& FControl;
  TGridInfo& FModel;
  TGridLayout FLayout;
  bool FValid = false;
  TGridLook FLook;
  const TGridButton* FHotButton = nullptr;
  bool FColorHintActive = false;
  int FVisibleCols = 0, FVisibleRows = 0;  // as of the last ComputeGeometry
  std::unordered_map<const TLabelNode*, std::size_t> FLabelItems;
  std::unique_ptr<TQuickMenu> FQuickMenu;
  QMenu* FKeyboardMenu = nullptr;
  // Hover state.
  QTimer FHoverTimer;
  QPoint FHoverPos{-1, -1};
  TGridCoord FHoverCell{-1, -1};
  TGridRegion FHoverRegion = TGridRegion::grNone;
  const TLabelNode* FHoverLabel = nullptr;
  TGridCoord FHintCell{-9, -9};
  std::unique_ptr<TAttributeWindow> FAttributeWindow;
  bool FUserSelection = false;
  bool FPaintSkipped = false;
};

}  // namespace qd
