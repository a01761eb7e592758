// The pivot areas of the grid control: a panel with bevels and the XP
// gradient, the dimension panels that are dragged between the row, column and
// page areas, the areas themselves and the tool strip.
#pragma once

#include <QFrame>
#include <QToolButton>
#include <optional>
#include <string>

#include "engine/cube/dim_map.h"
#include "view/text_lines.h"

class QDrag;
class QMimeData;
class QScrollArea;

namespace qd {

class TCustomVantraGrid;
class TDimensionState;

//! What a dragged dimension panel carries: the MIME data of the drag names
//! the grid it belongs to, so that a drop never depends on the drag's source
//! object (which a drop may already have replaced).
struct TDimDragData {
  int DimId = -1;
  TDimGroup Area = TDimGroup::dgNone;
  QPoint Pos;  //!< the panel's place inside its area
};

//! The MIME type of a dimension drag.
inline constexpr const char* kDimensionMimeType = "application/x-quarrydesk-dimension";
//! The drag's MIME data for a panel of `grid`.
QMimeData* DimDragMimeData(const TCustomVantraGrid& grid, const TDimDragData& data);
//! The drag data when `mime` is a dimension drag of `grid`.
std::optional<TDimDragData> ReadDimDragMimeData(const TCustomVantraGrid& grid,
                                                const QMimeData& mime);

//! A panel with raised outer and lowered inner bevel, filled plainly or with
//! the XP gradient.
class TvtPanel : public QWidget {
 public:
  explicit TvtPanel(QWidget* parent = nullptr);
  bool XPStyle() const { return FXPStyle; }
  void SetXPStyle(bool on);
  QColor Color() const { return FColor; }
  void SetColor(const QColor& c);
  bool OuterRaised = true;
  bool InnerBevel = true;

 protected:
  void paintEvent(QPaintEvent* event) override;
  //! The background after the bevels; the rectangle inside them.
  void PaintBackground(QPainter& p, const QRect& inner);

 private:
  bool FXPStyle = false;
  QColor FColor;
};

//! The dimension panel text: the first line centred right of the button, then
//! up to DimPanelLines - 1 further lines from x = 2.
struct TDimPanelText {
  std::string FirstLine;
  bool FirstLineWhole = false;  //!< one line that does not fit: drawn left-aligned, clipped
  std::vector<std::string> MoreLines;
};
TDimPanelText SplitDimPanelText(const std::string& name, int panelWidth, int lines,
                                const TTextWidth& measure);

//! One dimension on an axis.
class TDimPivotPanel : public TvtPanel {
 public:
  TDimPivotPanel(TCustomVantraGrid& grid, int dimId, TDimensionState* state, TDimGroup area,
                 QWidget* parent);
  int DimId() const { return FDimId; }
  TDimensionState* State() const { return FState; }
  TDimGroup Area() const { return FArea; }
  const std::string& DisplayName() const { return FName; }
  QToolButton* Button() const { return FButton; }
  TDimDragData DragData() const { return {FDimId, FArea, pos()}; }
  //! The drag a move past the threshold starts (not yet run).
  QDrag* CreateDrag();
  //! Re-reads the glyph (some members hidden or not) and the name.
  void Reload();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  TCustomVantraGrid& FGrid;
  int FDimId;
  TDimensionState* FState;
  TDimGroup FArea;
  std::string FName;
  QToolButton* FButton;
  QPoint FPressPos;
  bool FPressed = false;
};

//! The row, column or page area.
class TPivotPanel : public TvtPanel {
 public:
  TPivotPanel(TCustomVantraGrid& grid, TDimGroup group, QWidget* parent);
  TDimGroup Group() const { return FGroup; }
  //! The widget holding the dimension panels (scrolled by the area).
  QWidget* Inner() const { return FInner; }
  void Clear();
  //! Adds a panel after the existing ones (axis order).
  TDimPivotPanel* AddPanel(int dimId, TDimensionState* state);
  std::vector<TDimPivotPanel*> Panels() const;
  //! Re-places the panels and resizes the inner widget.
  void Arrange();
  QColor PanelColor;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  TCustomVantraGrid& FGrid;
  TDimGroup FGroup;
  QScrollArea* FScroller;
  QWidget* FInner;
  std::vector<TDimPivotPanel*> FPanels;
};

//! The tool strip: dimension map, summaries and saved states.
class TAggPanel : public TvtPanel {
 public:
  TAggPanel(TCustomVantraGrid& grid, QWidget* parent);
  QToolButton* DimensionMapButton() const { return FMap; }
  QToolButton* SummariesButton() const { return FSums; }
  QToolButton* StatesButton() const { return FStates; }
  //! Lays the visible buttons from the left.
  void ArrangeButtons();

 private:
  QToolButton* FMap;
  QToolButton* FSums;
  QToolButton* FStates;
};

}  // namespace qd
