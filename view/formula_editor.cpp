#include "view/formula_editor.h"

#include <algorithm>

#include "engine/core/errors.h"
#include "model/formula_parser.h"
#include "model/formula_text.h"

namespace qd {

TFormulaEditor::TFormulaEditor(const TSummarySettings& settings, const TSummaryInfo& item)
    : Text(item.Formula()), FSummaries(settings), FItem(settings.IndexOf(&item)) {
  for (int i = 0; i < settings.Count(); ++i) {
    const TSummaryInfo& s = settings.Items(i);
    if (&s != &item && !s.IsCalculated()) FNames.push_back(s.DisplayName);
  }
}

TFormulaHighlight TFormulaEditor::Highlight() const {
  return qd::Highlight(Text, FSummaries, FItem);
}

const std::string& TFormulaEditor::FunctionName(int function) {
  return FormulaFunctionName(function);
}

int TFormulaEditor::Insert(int caret, int summary, int function) {
  if (summary < 0 || summary >= static_cast<int>(FNames.size())) return caret;
  std::u32string chars = FormulaChars(Text);
  if (!chars.empty() && chars.back() == U'\n') chars.pop_back();
  if (!chars.empty() && chars.back() == U'\r') chars.pop_back();
  std::string reference = "\"" + FNames[static_cast<std::size_t>(summary)] + "\"";
  if (function >= 0 && function < kFormulaFunctionNames)
    reference += ".\"" + FunctionName(function) + "\"";
  const std::u32string inserted = FormulaChars(reference);
  const auto at = static_cast<std::size_t>(std::clamp(caret, 0, static_cast<int>(chars.size())));
  chars.insert(at, inserted);
  Text = FormulaUtf8(chars);
  return static_cast<int>(at + inserted.size());
}

bool TFormulaEditor::Accept() {
  Parser.reset();
  ErrorMessage.clear();
  ErrorCaret = -1;
  try {
    Parser = std::make_shared<TFormulaParser>(Text, FSummaries, FItem);
    return true;
  } catch (const EParseError& e) {
    ErrorMessage = e.what();
    ErrorCaret = std::max(0, e.Position - 1);
    return false;
  }
}

}  // namespace qd
