#include "model/formula_eval.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <set>

namespace qd {
namespace {

using TValue = std::optional<double>;
using enum TFormulaOp;

TValue Finite(long double value) {
  const double result = static_cast<double>(value);
  if (!std::isfinite(result)) return std::nullopt;
  return result;
}

bool IsUnary(TFormulaOp op) {
  return op == foSin || op == foCos || op == foExp;
}

TValue Unary(TFormulaOp op, long double x) {
  switch (op) {
    case foSin:
      return Finite(std::sin(x));
    case foCos:
      return Finite(std::cos(x));
    case foExp:
      return Finite(std::exp(x));
    default:
      return std::nullopt;
  }
}

// The value of an operator of two operands; none where it is undefined
// (division by zero, the logarithm of a non-positive number, ...).
TValue Binary(TFormulaOp op, long double x, long double y) {
  switch (op) {
    case foMultiply:
      return Finite(x * y);
    case foDivide:
      return y == 0 ? std::nullopt : Finite(x / y);
    case foAdd:
      return Finite(x + y);
    case foSubtract:
      return Finite(x - y);
    case foLog:
      if (x <= 0 || y <= 0 || y == 1) return std::nullopt;
      return Finite(std::log(x) / std::log(y));
    case foRound:
      if (y == 0) return std::nullopt;
      return Finite(y * RoundHalfEven(static_cast<double>(x / y)));
    case foTrunc:
      if (y == 0) return std::nullopt;
      return Finite(y * std::trunc(x / y));
    case foPower:
      return Finite(std::pow(x, y));
    case foLess:
      return x < y ? 1 : 0;
    case foGreater:
      return x > y ? 1 : 0;
    case foEqual:
      return x == y ? 1 : 0;
    case foLessEqual:
      return x <= y ? 1 : 0;
    case foGreaterEqual:
      return x >= y ? 1 : 0;
    case foNotEqual:
      return x != y ? 1 : 0;
    default:
      return std::nullopt;
  }
}

// One evaluation at one key, with the calculated summaries it has entered (to stop
// cycles) and the values of those it has finished (each is computed once).
class TEvaluator {
 public:
  TEvaluator(IFormulaContext& context, const TFormulaKey& key, const TFormulaOptions& options)
      : FContext(context), FKey(key), FOptions(options) {}

  TValue Run(const TFormulaParser& parser) {
    const std::vector<TToken>& tokens = parser.Tokens();
    if (tokens.empty() || parser.Root() < 0) return std::nullopt;
    const int self = parser.CalculatedSummary();
    if (self >= 0) FEntered.insert(self);
    // Operands precede the tokens that use them, so one forward walk computes the tree.
    std::vector<TValue> values(tokens.size());
    for (std::size_t i = 0; i < tokens.size(); ++i) values[i] = Compute(tokens, i, values);
    if (self >= 0) FEntered.erase(self);
    return values[static_cast<std::size_t>(parser.Root())];
  }

 private:
  TValue Calculated(int summary) {
    if (FEntered.contains(summary)) return std::nullopt;  // a cycle of references
    if (const auto done = FDone.find(summary); done != FDone.end()) return done->second;
    TValue value;
    try {
      const TFormulaParser parser(FContext.SummaryFormula(summary), FContext, summary, FOptions);
      value = Run(parser);
    } catch (const std::exception&) {
      value = std::nullopt;
    }
    FEntered.erase(summary);
    FDone[summary] = value;
    return value;
  }

  TValue Reference(const TToken& token) {
    if (token.Summary < 0 || token.Summary >= FContext.SummaryCount()) return std::nullopt;
    if (FContext.IsCalculatedSummary(token.Summary)) return Calculated(token.Summary);
    return Finite(FContext.AggregateValue(token.Summary, token.Function, FKey).value_or(0));
  }

  TValue Correlation(const TToken& x, const TToken& y) {
    if (x.Opcode != foReference || y.Opcode != foReference) return std::nullopt;
    return Finite(FContext.CorrelationValue(x.Summary, y.Summary, FKey).value_or(0));
  }

  TValue Compute(const std::vector<TToken>& tokens, std::size_t index,
                 const std::vector<TValue>& values);

  IFormulaContext& FContext;
  const TFormulaKey& FKey;
  TFormulaOptions FOptions;
  std::set<int> FEntered;
  std::map<int, TValue> FDone;
};

TValue TEvaluator::Compute(const std::vector<TToken>& tokens, std::size_t index,
                           const std::vector<TValue>& values) {
  const TToken& token = tokens[index];
  const auto operand = [&](int k) -> TValue {
    if (k < 0 || static_cast<std::size_t>(k) >= index) return std::nullopt;
    return values[static_cast<std::size_t>(k)];
  };
  switch (token.Opcode) {
    case foNumber:
      return Finite(token.Value);
    case foReference:
      return Reference(token);
    case foCorr:
      if (token.Operand1 < 0 || token.Operand2 < 0) return std::nullopt;
      return Correlation(tokens[static_cast<std::size_t>(token.Operand1)],
                         tokens[static_cast<std::size_t>(token.Operand2)]);
    case foParenthesis:
      return operand(token.Operand1);
    case foIf: {
      const TValue c = operand(token.Operand3);
      if (!c || *c != 1) return std::nullopt;
      return operand(token.Operand1);
    }
    case foIfElse: {
      const TValue c = operand(token.Operand3);
      if (!c) return std::nullopt;
      return *c == 1 ? operand(token.Operand1) : operand(token.Operand2);
    }
    default:
      break;
  }
  const TValue a = operand(token.Operand1);
  if (!a) return std::nullopt;
  if (IsUnary(token.Opcode)) return Unary(token.Opcode, *a);
  const TValue b = operand(token.Operand2);
  if (!b) return std::nullopt;
  return Binary(token.Opcode, *a, *b);
}

}  // namespace

std::optional<double> Evaluate(const TFormulaParser& parser, IFormulaContext& context,
                               const TFormulaKey& key) {
  try {
    TEvaluator evaluator(context, key, parser.Options());
    return evaluator.Run(parser);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<double> CalculatedSummaryValue(IFormulaContext& context, int summary,
                                             const TFormulaKey& key,
                                             const TFormulaOptions& options) {
  const TFormulaParser parser(context.SummaryFormula(summary), context, summary, options);
  return Evaluate(parser, context, key);
}

double CorrelationCoefficient(std::span<const double> x, std::span<const double> y) {
  const std::size_t n = std::min(x.size(), y.size());
  if (n < 2) return 0;
  long double sumX = 0, sumY = 0, sumXY = 0;
  for (std::size_t i = 0; i < n; ++i) {
    sumX += x[i];
    sumY += y[i];
    sumXY += static_cast<long double>(x[i]) * y[i];
  }
  const long double count = static_cast<long double>(n);
  const long double meanX = sumX / count, meanY = sumY / count;
  long double sxx = 0, syy = 0;
  for (std::size_t i = 0; i < n; ++i) {
    sxx += (x[i] - meanX) * (x[i] - meanX);
    syy += (y[i] - meanY) * (y[i] - meanY);
  }
  if (sxx * syy == 0) return 0;
  const long double sigma = std::sqrt(sxx / count) * std::sqrt(syy / count);
  return static_cast<double>((sumXY - sumX * sumY / count) / count / sigma);
}

double RoundHalfEven(double x) {
  const double floor = std::floor(x);
  const double fraction = x - floor;
  if (fraction < 0.5) return floor;
  if (fraction > 0.5) return floor + 1;
  return std::fmod(floor, 2) == 0 ? floor : floor + 1;
}

}  // namespace qd
