// What the formula editor window edits, without its widgets: the formula
// text with its colouring, the summaries and functions a click inserts as a
// reference, and OK parsing the text (an error gives the caret its place).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/formula_highlight.h"
#include "view/aggregates_editor.h"

namespace qd {

class TFormulaEditor {
 public:
  //! Edits the formula of `item`, a summary of `settings` (or about to be).
  TFormulaEditor(const TSummarySettings& settings, const TSummaryInfo& item);

  std::string Text;
  TFormulaHighlight Highlight() const;

  //! The summaries a reference may name in the tree: every summary that is
  //! not calculated and is not the one edited, in settings order.
  const std::vector<std::string>& Summaries() const { return FNames; }
  //! The function names a reference may carry, by function ordinal.
  static const std::string& FunctionName(int function);

  //! Inserts `"Summary"` (function -1) or `"Summary"."Function"` at the caret
  //! (a character position), after dropping a line break that ends the text;
  //! returns the caret behind the insertion.
  int Insert(int caret, int summary, int function);

  //! Parses the text: true with Parser set, or false with the error's
  //! message and the caret at its place.
  bool Accept();
  std::shared_ptr<TFormulaParser> Parser;
  std::string ErrorMessage;
  int ErrorCaret = -1;

 private:
  TSettingsFormulaSummaries FSummaries;
  int FItem;
  std::vector<std::string> FNames;
};

}  // namespace qd
