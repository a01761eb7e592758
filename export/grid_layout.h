// Where the header items and data cells of a pivot grid lie, in cell terms.
// The exporters' snapshot and the on-screen grid both place their cells from
// this one computation, so a document shows the cells the grid shows.
#pragma once

#include <cstdint>
#include <vector>

namespace qd {

class TGridInfo;
struct TLabelNode;
struct TCaptionNode;
struct TSubLevelNode;

//! What a grid cell holds; the numbers are those of the export snapshot.
enum class TExportCellKind : std::uint8_t {
  ekEmpty = 0,
  ekData = 1,
  ekLabel = 2,        //!< member label (row or column)
  ekDimCaption = 3,   //!< dimension title
  ekFunction = 4,     //!< function header (caption level 1)
  ekSubFunction = 5,  //!< sub-function header (caption level 2)
  ekSummary = 6,      //!< summary header (caption level 0)
};

//! One header item and the cell rectangle it covers; Col and Row are its
//! top-left grid cell. Exactly one of the node pointers is set.
struct TGridLayoutItem {
  TExportCellKind Kind = TExportCellKind::ekEmpty;
  int Col = 0, Row = 0;
  int ColSpan = 1, RowSpan = 1;
  const TLabelNode* Label = nullptr;
  const TCaptionNode* Caption = nullptr;
  const TSubLevelNode* SubLevel = nullptr;
};

//! The cell layout of a grid model. Grid columns are R + RQ header columns and
//! then the data columns; grid rows are C + CS header rows and then the data
//! rows. Built from the model's current trees; rebuild after every change.
class TGridLayout {
 public:
  //! An invalid layout (no model activity): one cell, nothing fixed.
  TGridLayout() = default;
  explicit TGridLayout(const TGridInfo& grid);

  //! False while the model is not active.
  bool Valid() const { return FValid; }

  //! Row-header columns: the header width of the row axis.
  int R() const { return FR; }
  //! Column-header rows: the header width of the column axis.
  int C() const { return FC; }
  //! 1 when R = 0 and C > 0 (a corner column for the column labels), else 0.
  int RQ() const { return FRQ; }
  //! Caption rows: the model's lowest sub-level + 1.
  int CS() const { return FCS; }

  int ColCount() const { return FColCount; }
  int RowCount() const { return FRowCount; }
  int FixedCols() const { return FR + FRQ; }
  int FixedRows() const { return FC + FCS; }
  //! Data rows and columns; at least 1 each while valid.
  int DataRowCount() const { return FRowCount - FixedRows(); }
  int DataColCount() const { return FColCount - FixedCols(); }

  int DataCol(int gridCol) const { return gridCol - FixedCols(); }
  int DataRow(int gridRow) const { return gridRow - FixedRows(); }
  int GridCol(int dataCol) const { return dataCol + FixedCols(); }
  int GridRow(int dataRow) const { return dataRow + FixedRows(); }

  //! Every header item, in this order: column-dimension titles, row-dimension
  //! titles, row labels, caption nodes, column labels (trees depth first).
  const std::vector<TGridLayoutItem>& HeaderItems() const { return FItems; }

 private:
  void PlaceTitles(const TGridInfo& grid);
  void PlaceRowLabels(const TGridInfo& grid);
  void PlaceCaptionNodes(const TGridInfo& grid);
  void PlaceColumnLabels(const TGridInfo& grid);

  bool FValid = false;
  int FR = 0, FC = 0, FRQ = 0, FCS = 0;
  int FColCount = 1, FRowCount = 1;
  int FColumnsPerLine = 0;
  std::vector<TGridLayoutItem> FItems;
};

}  // namespace qd
