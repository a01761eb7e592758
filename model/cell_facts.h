// The fact records behind a data cell: which records make it, the dataset the
// cell details show, and the editing of their values through the fact-table
// editor or the cell details.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace qd {

class TGridInfo;
class TFactTable;
class TvtMemoDataSet;

//! The fact-table editor window as the model uses it.
class IFactTableEditor {
 public:
  virtual ~IFactTableEditor() = default;
  //! Shows the records modally; true when the window was closed with OK.
  virtual bool Execute(TvtMemoDataSet& records) = 0;
};

//! The grid model's part that reads and writes the fact records of its cells;
//! it asks the grid for the editor, the acceptance event and the updates.
class TCellFacts {
 public:
  explicit TCellFacts(TGridInfo& grid) : FGrid(grid) {}

  //! The fact records the cell is made of, in table order.
  std::vector<std::int32_t> Records(int row, int column) const;
  //! The cell's fact records as a dataset (value, then one caption per
  //! dimension, then, on a cube grouped in the database, the number of facts
  //! each record stands for); nullptr for a calculated summary, a cell
  //! outside the grid or a cell without records.
  std::unique_ptr<TvtMemoDataSet> DataSet(int row, int column) const;
  //! Shows the cell's records in the fact-table editor and writes the changes
  //! the grid's OnEditFactTable accepts into the fact table. A cube grouped in
  //! the database has no single facts to change: its records are only shown.
  void Edit(int row, int column);
  //! Writes the values of a cell-details dataset (first field) into the fact
  //! records in the records' tags for the column's summary; nothing on a cube
  //! grouped in the database.
  void Write(int column, TvtMemoDataSet& details);

 private:
  //! Runs `write` on the fact table inside an update, then aggregates again.
  void Rewrite(const std::function<void(TFactTable&)>& write);

  TGridInfo& FGrid;
};

}  // namespace qd
