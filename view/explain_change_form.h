// "解释变化…" of a data cell's menu: a compare-with-previous cell's change
// against the previous line, split by the members of a dimension the user
// chooses, largest first, with each member's change and its share of the
// whole (model/cell_evidence.h). The numbers are those quarrydesk-cli explain
// prints. The choice and the rows live in a plain class; the form shows them
// and recomputes when the dimension or the count changes.
#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "model/cell_evidence.h"

class QComboBox;
class QLabel;
class QSpinBox;
class QTableWidget;

namespace qd {

class TCustomVantraGrid;
class TGridInfo;

//! One member's line of the explanation as shown.
struct TExplainRow {
  std::string Member, Change, Share;
};

class TExplainChangeChoice {
 public:
  //! The cell in data coordinates.
  TExplainChangeChoice(TGridInfo& grid, int row, int column);

  //! The dimensions offered, by display name, in the grid's order.
  const std::vector<std::string>& DimensionNames() const { return FNames; }
  //! The chosen entry of DimensionNames; starts at the first page dimension.
  int Dimension = 0;
  //! How many members to list, largest change first.
  int Top = 10;

  //! The explanation by the chosen dimension; nullopt when the cell has none.
  std::optional<TChangeExplanation> Explain() const;
  //! The first Top members: change as the shortest text that reads back to
  //! the same number, share in percent with two decimals (empty when the
  //! whole change is 0).
  std::vector<TExplainRow> Rows(const TChangeExplanation& e) const;

 private:
  TGridInfo& FGrid;
  int FRow, FColumn;
  std::vector<int> FDims;
  std::vector<std::string> FNames;
};

//! The shortest decimal text that reads back to exactly `v`.
std::string ShortestNumber(double v);

class TExplainChangeForm : public QDialog {
 public:
  TExplainChangeForm(TGridInfo& grid, int row, int column, QWidget* parent = nullptr);

  TExplainChangeChoice& Choice() { return FChoice; }
  QComboBox& DimensionBox() const { return *FDims; }
  QSpinBox& TopBox() const { return *FTop; }
  QTableWidget& Table() const { return *FTable; }
  QLabel& DeltaLabel() const { return *FDelta; }
  //! Shows the explanation of the current choice.
  void Refresh();

 private:
  TExplainChangeChoice FChoice;
  QComboBox* FDims;
  QSpinBox* FTop;
  QLabel* FDelta;
  QTableWidget* FTable;
};

//! Opens the form for a data cell of the grid (it closes by itself).
TExplainChangeForm* OpenExplainChangeForm(TCustomVantraGrid& grid, int row, int column);

}  // namespace qd
