// The summaries dialog ("合计项设定") over TAggregatesEditor: the summary tree
// with its check buttons, the formula or format panel of the selected node,
// calculated summaries, and in design mode the page of the function catalogue.
#pragma once

#include <QDialog>

#include "view/aggregates_editor.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QStackedWidget;
class QTabWidget;
class QTextEdit;
class QToolButton;

namespace qd {

class TXPCheckTreeView;

class TfmAggregates : public QDialog {
 public:
  TfmAggregates(TGridInfo& model, bool designMode, QWidget* parent = nullptr);

  TAggregatesEditor& Editor() { return FEditor; }
  TXPCheckTreeView& TreeView() const { return *FTreeView; }
  QTabWidget& Pages() const { return *FPages; }
  //! Add, remove, then select all, none and invert.
  QToolButton* Button(int i) const { return FButtons.at(static_cast<std::size_t>(i)); }
  QStackedWidget& PropertyPanels() const { return *FPanels; }
  QWidget& FormulaPanel() const { return *FFormulaPanel; }
  QWidget& FormatPanel() const { return *FFormatPanel; }
  QWidget& EmptyPanel() const { return *FEmptyPanel; }
  QTextEdit& FormulaBox() const { return *FFormula; }
  QLabel& FormulaWarning() const { return *FWarning; }
  QPushButton& EditFormulaButton() const { return *FEditFormula; }
  QComboBox& FormatList() const { return *FFormat; }
  QLabel& ExampleLabel() const { return *FExample; }
  QListWidget& FunctionList() const { return *FFunctions; }
  QPushButton& OkButton() const { return *FOk; }
  QPushButton& CancelButton() const { return *FCancel; }
  //! Shows the summary or the function page (the function page only in
  //! design mode); both are filled anew.
  void ShowPage(bool functions);

 private:
  QWidget* SummaryPage();
  QWidget* PropertySide();
  QWidget* FunctionPage();
  void ShowProperties();
  void FillFunctions();
  void SelectFunction(int row);
  void AddCalculated();
  void EditFormula();
  void Accept();

  TAggregatesEditor FEditor;
  bool FDesign;
  QTabWidget* FPages;
  TXPCheckTreeView* FTreeView;
  std::vector<QToolButton*> FButtons;
  QStackedWidget* FPanels;
  QWidget *FFormulaPanel, *FFormatPanel, *FEmptyPanel;
  QTextEdit* FFormula;
  QLabel* FWarning;
  QPushButton* FEditFormula;
  QComboBox* FFormat;
  QLabel* FExample;
  QListWidget* FFunctions;
  QLineEdit* FFunctionName;
  QLabel* FFunctionType;
  QToolButton* FDeleteFunction;
  QPushButton* FOk;
  QPushButton* FCancel;
  bool FFillingFunctions = false;
};

//! Runs the dialog for a model: true when it closed with OK. The function
//! page is reachable only in design mode.
bool RunAggregatesDialog(TGridInfo& model, bool functionPage, bool designMode = false,
                         QWidget* parent = nullptr);

//! The system's currency form for the format drop-down (the program's
//! Chinese locale).
TCurrencyFormat SystemCurrencyFormat();

}  // namespace qd
