// Colouring of formula text for the formula editors: which characters show as
// references, functions and errors, and whether the text has errors.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "model/formula_parser.h"

namespace qd {

//! Colours as colour values 0x00BBGGRR.
constexpr std::uint32_t kFormulaTextColor = 0x000000;
constexpr std::uint32_t kFormulaReferenceColor = 0x800080;  // purple: a valid reference
constexpr std::uint32_t kFormulaErrorColor = 0x0000FF;  // red: invalid reference, stray parenthesis
constexpr std::uint32_t kFormulaFunctionColor = 0xFF0000;  // blue: a function name before "("

//! Characters [Start, Start + Length) share one colour and weight. Positions count
//! characters (code points) of the text from 0.
struct THighlightRun {
  int Start = 0;
  int Length = 0;
  std::uint32_t Color = kFormulaTextColor;
  bool Bold = false;
  bool operator==(const THighlightRun&) const = default;
};

struct TFormulaHighlight {
  //! Consecutive runs covering the whole text; empty for an empty text.
  std::vector<THighlightRun> Runs;
  //! A reference is invalid or a parenthesis has no partner.
  bool HasErrors = false;
};

//! The runs of a formula text. References are checked against the summaries'
//! display names; calculatedSummary (the summary the formula belongs to, -1 for
//! none) is not a valid reference, as in the parser.
TFormulaHighlight Highlight(std::string_view text, const IFormulaSummaries& summaries,
                            int calculatedSummary = -1);

}  // namespace qd
