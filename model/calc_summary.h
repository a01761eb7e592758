// The grid model as the formulas of calculated summaries see it: the summaries
// they may name, the aggregates those summaries hold at a key, and the
// correlation of two summaries over the finest cells inside a key's cell.
#pragma once

#include <optional>

#include "model/formula_eval.h"
#include "model/model_aggregation.h"

namespace qd {

class TGridInfo;

class TGridFormulaContext : public IFormulaContext {
 public:
  explicit TGridFormulaContext(TGridInfo& grid) : FGrid(grid) {}

  int SummaryCount() const override;
  std::string SummaryDisplayName(int summary) const override;
  bool IsCalculatedSummary(int summary) const override;
  std::string SummaryFormula(int summary) const override;
  std::optional<double> AggregateValue(int summary, int function, const TFormulaKey& key) override;
  std::optional<double> CorrelationValue(int x, int y, const TFormulaKey& key) override;

 private:
  TGridInfo& FGrid;
};

}  // namespace qd
