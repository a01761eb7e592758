// Evaluation of parsed formulas at a cell key, against the values the grid model
// provides through IFormulaContext.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "model/formula_parser.h"

namespace qd {

//! A cell key: one member index per active dimension, -1 standing for Total.
using TFormulaKey = std::vector<int>;

//! What evaluating a formula reads from the grid model.
class IFormulaContext : public IFormulaSummaries {
 public:
  //! The aggregate of a non-calculated summary with the given function ordinal at
  //! the key; nullopt when the key holds no data for it.
  virtual std::optional<double> AggregateValue(int summary, int function,
                                               const TFormulaKey& key) = 0;
  //! The correlation coefficient of two non-calculated summaries over the finest
  //! cells inside the key's cell; nullopt when there is none.
  virtual std::optional<double> CorrelationValue(int x, int y, const TFormulaKey& key) = 0;
};

//! The formula's value at the key, or nullopt ("no value"). Never raises.
//! - A reference reads its function's aggregate, 0 where the key has none.
//! - A reference to a calculated summary evaluates that summary's formula at the
//!   same key; when it has no value (including a formula that no longer parses or
//!   a cycle of references) the whole formula has no value.
//! - CORR reads the correlation of its two summaries, 0 where there is none.
//! - Division by zero, IF(c, x) with c other than 1, and any result that is not a
//!   finite number give no value; IF(c, x, y) is x when c is 1, else y.
std::optional<double> Evaluate(const TFormulaParser& parser, IFormulaContext& context,
                               const TFormulaKey& key);

//! The value of a calculated summary at the key: its formula is parsed afresh
//! (raising EParseError when it does not parse) and evaluated.
std::optional<double> CalculatedSummaryValue(IFormulaContext& context, int summary,
                                             const TFormulaKey& key,
                                             const TFormulaOptions& options = {});

//! The Pearson coefficient of paired values, as the correlation of a cell over its
//! finest cells is computed: 0 for fewer than two pairs or when either side is
//! constant. x and y must have the same size.
double CorrelationCoefficient(std::span<const double> x, std::span<const double> y);

//! x rounded to the nearest integer, halves to the even neighbour.
double RoundHalfEven(double x);

}  // namespace qd
