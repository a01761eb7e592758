#include "model/formula_highlight.h"

namespace qd {
namespace {

struct TStyle {
  std::uint32_t Color = kFormulaTextColor;
  bool Bold = false;
  bool operator==(const TStyle&) const = default;
};

bool IsBlank(char32_t c) {
  return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n';
}

class THighlighter {
 public:
  THighlighter(std::string_view text, const IFormulaSummaries& summaries, int calculatedSummary)
      : FChars(FormulaChars(text)),
        FStyles(FChars.size()),
        FInReference(FChars.size(), false),
        FSummaries(summaries),
        FCalculatedSummary(calculatedSummary) {}

  TFormulaHighlight Run() {
    ScanReferencesAndParentheses();
    MarkFunctionNames();
    TFormulaHighlight result;
    result.HasErrors = FErrors;
    for (std::size_t k = 0; k < FStyles.size(); ++k) {
      if (k > 0 && FStyles[k] == FStyles[k - 1]) {
        ++result.Runs.back().Length;
      } else {
        result.Runs.push_back({static_cast<int>(k), 1, FStyles[k].Color, FStyles[k].Bold});
      }
    }
    return result;
  }

 private:
  int Size() const { return static_cast<int>(FChars.size()); }

  int Find(char32_t c, int from) const {
    for (int k = from; k < Size(); ++k) {
      if (FChars[k] == c) return k;
    }
    return -1;
  }

  int SkipBlanks(int from) const {
    while (from < Size() && IsBlank(FChars[from])) ++from;
    return from;
  }

  // Text between two quotes as the parser sees it: without line breaks.
  std::u32string Quoted(int open, int close) const {
    std::u32string text;
    for (int k = open + 1; k < close; ++k) {
      if (FChars[k] != U'\r' && FChars[k] != U'\n') text += FChars[k];
    }
    return text;
  }

  // A reference starting at the quote `open`; returns its last character.
  int Reference(int open) {
    int last = Size() - 1;
    bool valid = false;
    const int close = Find(U'"', open + 1);
    if (close >= 0) {
      last = close;
      valid = FindFormulaSummary(FSummaries, Quoted(open, close), FCalculatedSummary) >= 0;
      const int dot = SkipBlanks(close + 1);
      if (dot < Size() && FChars[dot] == U'.') {
        const int functionOpen = SkipBlanks(dot + 1);
        if (functionOpen < Size() && FChars[functionOpen] == U'"') {
          const int functionClose = Find(U'"', functionOpen + 1);
          last = functionClose >= 0 ? functionClose : Size() - 1;
          valid = valid && functionClose >= 0 &&
                  FindFormulaFunctionName(Quoted(functionOpen, functionClose)) >= 0;
        } else {
          last = dot;
          valid = false;
        }
      }
    }
    for (int k = open; k <= last; ++k) {
      FStyles[k].Color = valid ? kFormulaReferenceColor : kFormulaErrorColor;
      FInReference[k] = true;
    }
    FErrors = FErrors || !valid;
    return last;
  }

  void ScanReferencesAndParentheses() {
    std::vector<int> open;
    std::vector<int> stray;
    for (int k = 0; k < Size(); ++k) {
      const char32_t c = FChars[k];
      if (c == U'"') {
        k = Reference(k);
      } else if (c == U'(') {
        FStyles[k].Bold = true;
        open.push_back(k);
      } else if (c == U')') {
        FStyles[k].Bold = true;
        if (open.empty()) {
          stray.push_back(k);
        } else {
          open.pop_back();
        }
      }
    }
    stray.insert(stray.end(), open.begin(), open.end());
    for (int k : stray) FStyles[k].Color = kFormulaErrorColor;
    FErrors = FErrors || !stray.empty();
  }

  // Is name written at k (ignoring case, outside references) and followed by "("?
  bool NameBeforeParenthesis(int k, std::string_view name) const {
    const int length = static_cast<int>(name.size());
    if (k + length > Size()) return false;
    for (int i = 0; i < length; ++i) {
      if (FInReference[k + i]) return false;
    }
    const std::u32string wanted(name.begin(), name.end());
    if (!SameFormulaName(std::u32string_view(FChars).substr(k, name.size()), wanted)) return false;
    const int next = SkipBlanks(k + length);
    return next < Size() && FChars[next] == U'(' && !FInReference[next];
  }

  void MarkFunctionNames() {
    for (int k = 0; k < Size(); ++k) {
      for (const TFormulaFunction& function : FormulaFunctions()) {
        if (!NameBeforeParenthesis(k, function.Name)) continue;
        for (std::size_t i = 0; i < function.Name.size(); ++i) {
          FStyles[k + static_cast<int>(i)].Color = kFormulaFunctionColor;
        }
      }
      if (NameBeforeParenthesis(k, "IF")) FStyles[k].Bold = FStyles[k + 1].Bold = true;
    }
  }

  std::u32string FChars;
  std::vector<TStyle> FStyles;
  std::vector<bool> FInReference;
  const IFormulaSummaries& FSummaries;
  int FCalculatedSummary;
  bool FErrors = false;
};

}  // namespace

TFormulaHighlight Highlight(std::string_view text, const IFormulaSummaries& summaries,
                            int calculatedSummary) {
  return THighlighter(text, summaries, calculatedSummary).Run();
}

}  // namespace qd
