// A scrolling grid of cells with fixed leading columns and rows, per-column
// widths and per-row heights, a current cell with a selected range, column
// sizing with the mouse and keyboard navigation. It paints nothing itself:
// the pivot's internal grid draws the cells.
#pragma once

#include <QAbstractScrollArea>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/errors.h"
#include "view/grid_axis.h"

namespace qd {

//! An invalid operation on the cell grid.
class EInvalidGridOperation : public Exception {
 public:
  using Exception::Exception;
};

enum class TVantraGridOption : std::uint8_t {
  hgRangeSelect = 0,
  hgColSizing = 1,
  hgThumbTracking = 2,
  hgRowMoving = 3,
  hgColMoving = 4,
  hgAlwaysShowEditor = 5,
  hgEditing = 6
};

//! The grid's options, one bit per TVantraGridOption.
class TVantraGridOptions {
 public:
  constexpr TVantraGridOptions() = default;
  constexpr TVantraGridOptions(std::initializer_list<TVantraGridOption> items) {
    for (auto o : items) FBits |= Bit(o);
  }
  constexpr bool Has(TVantraGridOption o) const { return (FBits & Bit(o)) != 0; }
  constexpr void Set(TVantraGridOption o, bool on) {
    FBits = on ? FBits | Bit(o) : FBits & ~Bit(o);
  }
  constexpr std::uint8_t Bits() const { return FBits; }
  friend constexpr bool operator==(TVantraGridOptions, TVantraGridOptions) = default;

 private:
  static constexpr std::uint8_t Bit(TVantraGridOption o) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(o));
  }
  std::uint8_t FBits = 0;
};

struct TGridCoord {
  int X = 0, Y = 0;  //!< column, row
  friend bool operator==(TGridCoord, TGridCoord) = default;
};

//! Mouse hook (button, modifiers, x, y) raised before the grid's own handling.
using TGridMouseHook = std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int, int)>;

class TCustomInternalGrid : public QAbstractScrollArea {
 public:
  explicit TCustomInternalGrid(QWidget* parent = nullptr);

  // ---- Size of the grid ----
  int ColCount() const { return FCols.Count(); }
  int RowCount() const { return FRows.Count(); }
  //! Counts below 1 become 1; fixed counts that no longer fit shrink.
  void SetColCount(int value);
  void SetRowCount(int value);
  int FixedCols() const { return FFixedCols; }
  int FixedRows() const { return FFixedRows; }
  //! Raise EInvalidGridOperation below 0 or when not less than the count.
  void SetFixedCols(int value);
  void SetFixedRows(int value);

  int DefaultColWidth() const { return FCols.DefaultSize(); }
  //! Drops every individual column width.
  void SetDefaultColWidth(int value);
  int DefaultRowHeight() const { return FRows.DefaultSize(); }
  void SetDefaultRowHeight(int value);
  int ColWidth(int col) const;
  int RowHeight(int row) const;
  void SetColWidth(int col, int width);
  void SetRowHeight(int row, int height);
  int GridLineWidth() const { return FCols.LineWidth(); }
  void SetGridLineWidth(int value);
  TVantraGridOptions Options() const { return FOptions; }
  void SetOptions(TVantraGridOptions value);

  // ---- Current cell, selection, scrolling ----
  TGridCoord Current() const { return FCurrent; }
  void SetCurrent(int col, int row, bool extendSelection = false);
  //! The selected range, normalised (left-top, right-bottom).
  QRect Selection() const;
  //! Selects from `anchor` to `current` without scrolling.
  void SetSelection(TGridCoord anchor, TGridCoord current);
  int LeftCol() const { return FLeftCol; }
  int TopRow() const { return FTopRow; }
  void SetLeftCol(int col);
  void SetTopRow(int row);
  //! Columns and rows wholly or partly visible right of / below the fixed ones.
  int VisibleColCount() const;
  int VisibleRowCount() const;

  // ---- Geometry ----
  //! Left pixel of a column in the viewport (columns scrolled out to the left
  //! get negative positions, measured backwards from the first visible one).
  int ColLeft(int col) const;
  int RowTop(int row) const;
  //! The cell's rectangle without its grid lines.
  QRect CellRect(int col, int row) const;
  //! The cell under a viewport point; X = -1 outside the cells.
  TGridCoord MouseCoord(int x, int y) const;
  //! Extent of the fixed columns and rows, grid lines included.
  int FixedWidth() const;
  int FixedHeight() const;

  // ---- In-place editor (with hgEditing) ----
  //! Opens the editor, with empty text, on the current cell.
  void ShowEditor();
  //! Closes the editor, committing its text to the cell it edited.
  void HideEditor();
  bool EditorMode() const { return FEditorMode; }
  QPlainTextEdit* Editor() const { return FEditor; }
  //! Receives the text of a closed editor and the grid cell it edited.
  std::function<void(int col, int row, const std::string& text)> OnEditorCommit;

  TGridMouseHook OnMouseDownHook, OnMouseUpHook;
  std::function<void(Qt::KeyboardModifiers, int, int)> OnMouseMoveHook;

 protected:
  //! Paints the cells inside `clip` (viewport coordinates).
  virtual void PaintCells(QPainter& painter, const QRect& clip) = 0;
  //! After the grid's own handling of a press (not while sizing).
  virtual void CellMouseDown(QMouseEvent* event) { (void)event; }
  virtual void SizeChanged() {}
  void InvalidateGrid() { viewport()->update(); }
  bool Sizing() const { return FDrag == TDrag::ColSizing; }
  bool Selecting() const { return FDrag == TDrag::Selecting; }
  //! Ends a selection or sizing the mouse began (before a modal window).
  void CancelMouseMode() {
    FDrag = TDrag::Normal;
    FScrollTimer.stop();
  }

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  //! Tab and Shift+Tab move the current cell instead of the focus.
  bool focusNextPrevChild(bool) override { return false; }
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class TDrag : std::uint8_t { Normal, Selecting, ColSizing };
  void CheckIndex(int index, int count) const;
  void UpdateScrollBars();
  void ScrollToCurrent();
  void MoveCurrentBy(int dx, int dy, bool shift);
  //! Keyboard navigation; the first two return false for a key they do not handle.
  bool ArrowKey(int key, bool shift, bool ctrl);
  bool PageKey(int key, bool shift, bool ctrl);
  void TabKey(bool back);
  int SizingBoundary(int x, int y) const;
  void AutoScroll();
  //! The first section of `axis` from `first` on that starts `offset` pixels
  //! or more after `first` (the sections an extent covers, found by halving).
  static int SectionAfter(const TGridAxis& axis, int first, std::int64_t offset);

  TGridCoord FAnchor{}, FCurrent{};
  TVantraGridOptions FOptions{TVantraGridOption::hgRangeSelect, TVantraGridOption::hgColSizing,
                              TVantraGridOption::hgThumbTracking};
  int FFixedCols = 0, FFixedRows = 0;
  int FLeftCol = 0, FTopRow = 0;
  // Counts, sizes and cached starts of the columns and the rows.
  TGridAxis FCols, FRows;
  TDrag FDrag = TDrag::Normal;
  int FSizingIndex = -1, FSizingPos = 0, FSizingOffset = 0;
  QPoint FLastMouse;
  QTimer FScrollTimer;
  bool FUpdatingScroll = false;
  std::string FPaintError;  // a paint failed; its message is on the way
  QPlainTextEdit* FEditor = nullptr;
  TGridCoord FEditCell{-1, -1};
  bool FEditorMode = false;
  void PlaceEditor();
  bool EditorKey(QKeyEvent* event);
};

}  // namespace qd
