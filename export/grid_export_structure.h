// The snapshot of a pivot grid that every exporter walks: the grid's cells row
// after row, each with its kind, its spans and its value or model node.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "export/grid_layout.h"
#include "model/summary_settings.h"

namespace qd {

class TGridInfo;

//! One snapshot cell. An item that covers several cells is stored in its
//! top-left cell only; the other cells of its rectangle stay empty. Spans are
//! full integers, so items wider or taller than 255 cells keep their size.
struct TGridExportCell {
  TExportCellKind Kind = TExportCellKind::ekEmpty;
  int ColSpan = 0;                          //!< columns covered from here (1 for data cells)
  int RowSpan = 0;                          //!< rows covered from here
  double Value = 0;                         //!< data cells
  const TLabelNode* Label = nullptr;        //!< ekLabel
  const TCaptionNode* Caption = nullptr;    //!< ekDimCaption
  const TSubLevelNode* SubLevel = nullptr;  //!< summary, function and sub-function headers
  bool Empty = false;                       //!< data cells: the model has no value
  std::string FormatString;                 //!< data cells: at most 50 characters
  TAlignment Alignment = TAlignment::taLeftJustify;  //!< data cells
  //! Data cells whose function's value rests on fewer facts than it needs:
  //! their fact count; 0 otherwise.
  std::int64_t LowCount = 0;
};

//! Longest format string a snapshot cell keeps.
constexpr std::size_t kExportFormatLength = 50;

struct TGridExportStructure {
  TGridExportStructure(int colCount, int rowCount, int fixedCols, int fixedRows);

  int ColCount, RowCount, FixedCols, FixedRows;
  //! Cell (c, r) is element c + r × ColCount.
  std::vector<TGridExportCell> Cells;

  TGridExportCell& Cell(int col, int row) {
    return Cells[static_cast<std::size_t>(col + row * ColCount)];
  }
  const TGridExportCell& Cell(int col, int row) const {
    return Cells[static_cast<std::size_t>(col + row * ColCount)];
  }
};

//! The snapshot of the model's current layout; nullptr when the model is not
//! active. Data cells get the model's values with their sub-functions applied.
std::unique_ptr<TGridExportStructure> BuildGridExportStructure(TGridInfo& grid);

//! The text an exporter writes for a cell before any event changes it: the
//! formatted value, a member caption or "Total", a dimension's display name,
//! a summary, function or sub-function name; empty for empty cells.
std::string ExportCellText(const TGridInfo& grid, const TGridExportCell& cell);

//! The caption of a data-column header: the summary's, the function's or the
//! sub-function's display name.
std::string SubLevelCaption(const TGridInfo& grid, const TSubLevelNode& node);

}  // namespace qd

namespace qd {

//! The snapshot as text: one line per grid row, cells separated by tabs, each
//! cell its ExportCellText (cells covered by a spanning item are empty).
std::string ExportGridText(const TGridInfo& grid, const TGridExportStructure& snapshot);

}  // namespace qd
