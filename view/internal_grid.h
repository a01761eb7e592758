// The cell area of the pivot grid control: sizes the grid from the model's
// layout, places every header item in pixels, paints merged headers and
// formatted data cells, and expands or collapses labels from their buttons.
#pragma once

#include <QColor>
#include <cstdint>
#include <unordered_map>

#include "export/grid_layout.h"
#include "model/change_kind.h"
#include "view/custom_internal_grid.h"
#include "view/visual_settings.h"

namespace qd {

class TCustomVantraGrid;
class TGridInfo;
struct TGridButton;

//! The colour-hint colour of a value between `minimum` and `maximum`: red when
//! they are equal, else blue (low) to red (high), reversed under vtcHighestIsCold.
QColor ColorHintColor(double value, double minimum, double maximum, TvtcColorSchema schema);

//! Height of a word-wrapped row: the default height without lines, else
//! pad + lines x (h + pad) with pad = (default - h) / 2.
int WrappedRowHeight(int lines, int textHeight, int defaultRowHeight);

class TInternalGrid : public TCustomInternalGrid {
 public:
  TInternalGrid(TCustomVantraGrid& control, TGridInfo& model, QWidget* parent);

  //! Rebuilds the layout from the model (empties it while the model is not
  //! active); with `keepView` the view keeps its place when headers change size.
  void RebuildLayout(bool keepView = false);
  //! A model change notification: reacts as kViewReactions says.
  void ModelChanged(TChangeKind kind);
  //! The bound cube changed; nullptr empties the layout at once.
  void CubeChanged(bool bound);

  bool LayoutValid() const { return FValid; }
  const TGridLayout& Layout() const { return FLayout; }

  //! The paint settings; call LookChanged after changing them.
  TGridLook& Look() { return FLook; }
  void LookChanged();

  //! Places every header item and button in pixels (viewport coordinates);
  //! painting does it too.
  void ComputeGeometry();
  //! The pixel rectangle of a header item.
  QRect ItemRect(const TGridLayoutItem& item) const;
  //! The text of a data cell as painted (before OnDrawDataCell).
  std::string CellText(int dataCol, int dataRow);

  //! The hover colour hint is showing: data cells of the model's coloured
  //! set take their hint colour while ShowColorHint is on.
  bool ColorHintActive() const { return FColorHintActive; }
  void SetColorHintActive(bool on);

  //! Clicks the button of a label: expands or collapses it. True when the
  //! point was on a button.
  bool ClickButtonAt(QPoint pos);

 protected:
  void PaintCells(QPainter& painter, const QRect& clip) override;
  void CellMouseDown(QMouseEvent* event) override;
  void SizeChanged() override;

 private:
  void ComputeRowHeights();
  void PaintItem(QPainter& p, const TGridLayoutItem& item, const QRect& r);
  void PaintLabel(QPainter& p, const TLabelNode& node, const QRect& r);
  void PaintTitle(QPainter& p, const TCaptionNode& node, const QRect& r, bool columnTitle);
  void PaintSubLevel(QPainter& p, const TSubLevelNode& node, const QRect& r);
  void PaintHeaderBackground(QPainter& p, const QRect& r, const QColor& c);
  void PaintButton(QPainter& p, const TGridButton& b, int glyph, bool on);
  void PaintData(QPainter& p, const QRect& clip);
  bool ItemVisible(const TGridLayoutItem& item) const;

  TCustomVantraGrid& FControl;
  TGridInfo& FModel;
  TGridLayout FLayout;
  bool FValid = false;
  TGridLook FLook;
  const TGridButton* FHotButton = nullptr;
  bool FColorHintActive = false;
  int FVisibleCols = 0, FVisibleRows = 0;  // as of the last ComputeGeometry
  std::unordered_map<const TLabelNode*, std::size_t> FLabelItems;
};

}  // namespace qd
