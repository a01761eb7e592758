// Any text is a formula: parsing either succeeds or raises EParseError with a
// position inside the text (or just past it); evaluation and highlighting never
// fail, and the highlighting runs cover the text exactly.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/errors.h"
#include "model/formula_eval.h"
#include "model/formula_highlight.h"

namespace {

// Two plain summaries and two calculated ones: "Self" is the formula under test and
// "Loop" refers back to it, so references between calculated summaries and their
// cycles are exercised too.
class TFuzzContext : public qd::IFormulaContext {
 public:
  explicit TFuzzContext(std::string formula) : FFormula(std::move(formula)) {}

  int SummaryCount() const override { return 4; }
  std::string SummaryDisplayName(int s) const override {
    static const char* const names[] = {"Sales", "成本", "Self", "Loop"};
    return names[s];
  }
  bool IsCalculatedSummary(int s) const override { return s >= 2; }
  std::string SummaryFormula(int s) const override {
    return s == 2 ? FFormula : "\"Self\" * 2 + \"Sales\".\"Median\"";
  }
  std::optional<double> AggregateValue(int s, int function, const qd::TFormulaKey&) override {
    if (function == 3) return std::nullopt;
    return s * 10.0 + function;
  }
  std::optional<double> CorrelationValue(int x, int y, const qd::TFormulaKey&) override {
    return x == y ? 1.0 : -0.5;
  }

 private:
  std::string FFormula;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TFuzzContext context(text);
  const int characters = static_cast<int>(qd::FormulaChars(text).size());

  for (const char32_t separator : {U'.', U','}) {
    qd::TFormulaOptions options;
    options.DecimalSeparator = separator;
    try {
      const qd::TFormulaParser parser(text, context, 2, options);
      if (parser.Root() != static_cast<int>(parser.Tokens().size()) - 1) std::abort();
      (void)qd::Evaluate(parser, context, {0, -1});
      (void)qd::CalculatedSummaryValue(context, 3, {1}, options);
    } catch (const qd::EParseError& e) {
      if (e.Position < 1 || e.Position > characters + 1) std::abort();
    }
  }

  const qd::TFormulaHighlight highlight = qd::Highlight(text, context, 2);
  int next = 0;
  for (const qd::THighlightRun& run : highlight.Runs) {
    if (run.Start != next || run.Length <= 0) std::abort();
    next += run.Length;
  }
  if (next != characters) std::abort();
  return 0;
}
