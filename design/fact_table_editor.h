// The fact-table editor: the fact records behind one data cell, in a table
// with a record navigator, closed with OK or Cancel. Fields that are not
// read-only may be edited; the grid writes the changes back after OK.
#pragma once

#include <QDialog>
#include <array>

#include "model/cell_facts.h"

class QTableView;
class QToolButton;
class QPushButton;

namespace qd {

class TDataSet;
class TDataSetTableModel;

class TFactTableEditor : public QDialog, public IFactTableEditor {
 public:
  //! The navigator's buttons, in its order.
  enum TNavButton : int {
    nbFirst = 0, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh
  };
  explicit TFactTableEditor(QWidget* parent = nullptr);
  ~TFactTableEditor() override;

  //! The dataset shown (not owned); nullptr shows none.
  void SetDataSet(TDataSet* dataset);
  TDataSet* DataSet() const { return FDataSet; }
  //! Shows the records modally; true when closed with OK.
  bool Execute(TvtMemoDataSet& records) override;

  //! The navigator button, nullptr for the ones not shown (insert, delete,
  //! edit, post, cancel).
  QToolButton* NavButton(TNavButton b) const { return FNav[static_cast<std::size_t>(b)]; }
  QTableView& Table() const { return *FTable; }
  QPushButton& OkButton() const { return *FOk; }
  QPushButton& CancelButton() const { return *FCancel; }
  //! The record the table's current row shows (1-based), 0 when none.
  int CurrentRecNo() const;

  void accept() override;
  void reject() override;

 private:
  void Navigate(TNavButton b);
  TDataSet* FDataSet = nullptr;
  TDataSetTableModel* FModel;
  QTableView* FTable;
  std::array<QToolButton*, 10> FNav{};
  QPushButton* FOk;
  QPushButton* FCancel;
};

}  // namespace qd
