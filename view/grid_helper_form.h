// The cell-details window: a small tool window above the others that shows,
// while the mouse moves over the grid's data cells, the members, summary,
// function, sub-function and value of the cell under it.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

class QPlainTextEdit;

namespace qd {

class TGridInfo;

//! The details of data cell (column, row): one "dimension: member" line per
//! dimension on the axes ("SubTotal" where the cell sums over it), a blank
//! line, then the summary, function, sub-function and value.
std::vector<std::string> CellDetailLines(TGridInfo& grid, int column, int row);

//! Replaces the lines that differ from the new ones and appends missing ones;
//! lines beyond the new list stay, so the text does not flicker. Returns true
//! when something changed.
bool MergeDetailLines(std::vector<std::string>& shown, const std::vector<std::string>& fresh);

class TfmGridHelper : public QWidget {
 public:
  explicit TfmGridHelper(QWidget* parent = nullptr);
  //! Shows the details of a data cell.
  void ShowCell(TGridInfo& grid, int column, int row);
  QPlainTextEdit& Memo() const { return *FMemo; }
  std::vector<std::string> Lines() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  QPlainTextEdit* FMemo;
};

}  // namespace qd
