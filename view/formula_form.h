// The formula editor window ("公式编辑器") over TFormulaEditor: the coloured
// formula, the tree of summaries and functions that insert references at the
// caret, and OK that closes only on a formula that parses.
#pragma once

#include <QDialog>
#include <memory>

#include "view/formula_editor.h"

class QTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace qd {

//! Colours a text box by a formula's highlight runs (positions in characters).
void ApplyFormulaHighlight(QTextEdit& box, const TFormulaHighlight& highlight);

class TfmFormula : public QDialog {
 public:
  TfmFormula(const TSummarySettings& settings, const TSummaryInfo& item, QWidget* parent = nullptr);

  TFormulaEditor& Editor() { return FEditor; }
  QTextEdit& TextBox() const { return *FText; }
  QTreeWidget& SummaryTree() const { return *FTree; }
  QPushButton& OkButton() const { return *FOk; }
  QPushButton& CancelButton() const { return *FCancel; }
  //! The caret's place in characters.
  int Caret() const;
  void SetCaret(int caret);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void TextChanged();
  void InsertItem(QTreeWidgetItem* item);
  void Accept();

  TFormulaEditor FEditor;
  QTextEdit* FText;
  QTreeWidget* FTree;
  QPushButton* FOk;
  QPushButton* FCancel;
  bool FColouring = false;
};

//! Runs the editor for a summary of `settings`: the parsed formula, with its
//! text in `text`, when it closed with OK; nullptr otherwise.
std::shared_ptr<TFormulaParser> EditFormula(const TSummarySettings& settings,
                                            const TSummaryInfo& item, std::string& text,
                                            QWidget* parent = nullptr);

}  // namespace qd
