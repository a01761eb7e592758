// The value of a summary at a key: looked up in the model's aggregation for a
// summary of the cube, evaluated from its formula for a calculated summary.
#include "model/calc_summary.h"

#include "engine/core/errors.h"
#include "model/grid_info.h"

namespace qd {

int TGridFormulaContext::SummaryCount() const {
  return FGrid.SummarySettings().Count();
}

std::string TGridFormulaContext::SummaryDisplayName(int summary) const {
  return FGrid.SummarySettings().Items(summary).DisplayName;
}

bool TGridFormulaContext::IsCalculatedSummary(int summary) const {
  return FGrid.SummarySettings().Items(summary).IsCalculated();
}

std::string TGridFormulaContext::SummaryFormula(int summary) const {
  return FGrid.SummarySettings().Items(summary).Formula();
}

std::optional<double> TGridFormulaContext::AggregateValue(int summary, int function,
                                                          const TFormulaKey& key) {
  TSummaryInfo& info = FGrid.SummarySettings().Items(summary);
  if (info.IsCalculated()) return std::nullopt;
  const TCellValue v = info.GetValue(key, function);
  if (!v.HasValue) return std::nullopt;
  return v.Value;
}

std::optional<double> TGridFormulaContext::CorrelationValue(int x, int y, const TFormulaKey& key) {
  TSummaryState* sx = FGrid.SummarySettings().Items(x).State;
  TSummaryState* sy = FGrid.SummarySettings().Items(y).State;
  if (!sx || !sy) return std::nullopt;
  return FGrid.Aggregation().Correlation(*sx, *sy, key);
}

TCellValue TSummaryInfo::GetValue(const std::vector<int>& key, int function) {
  if (!Owner || !Owner->IsActive()) return {};
  if (IsCalculated()) {
    const int self = Owner->SummarySettings().IndexOf(this);
    if (self < 0) return {};
    TGridFormulaContext context(*Owner);
    // A formula that does not parse gives no value; the layout reports it.
    try {
      ParsedFormula = std::make_shared<TFormulaParser>(Formula(), context, self);
    } catch (const EParseError&) {
      ParsedFormula.reset();
      return {};
    }
    const auto v = Evaluate(*ParsedFormula, context, key);
    return v ? TCellValue{*v, true} : TCellValue{};
  }
  if (!State || function < 0 || function >= kFunctionCount) return {};
  TModelAggregation& agg = Owner->Aggregation();
  const auto cell = agg.Lookup(*State, key);
  if (!cell || cell->Count == 0) return {};
  switch (static_cast<TFunction>(function)) {
    case TFunction::stSum:
      return {cell->Sum, true};
    case TFunction::stCount:
      return {static_cast<double>(cell->Count), true};
    case TFunction::stAverage:
      return {cell->Sum / cell->Count, true};
    default:
      break;
  }
  // The second pass computes at once what the summary shows, so that it does
  // not run again for the next function.
  TSecondPassNeeds needs;
  needs.Medians = Function(static_cast<int>(TFunction::stMedian)).Visible();
  for (int f = static_cast<int>(TFunction::stVariance); f <= static_cast<int>(TFunction::stKurtosis);
       ++f)
    needs.Moments = needs.Moments || Function(f).Visible();
  const auto v = agg.FunctionValue(*State, key, static_cast<TFunction>(function), needs);
  return v ? TCellValue{*v, true} : TCellValue{};
}

}  // namespace qd
