// A grid model stand-in for formula tests: summaries with aggregates per key and
// function, and finest-level sums per key for correlations.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "model/formula_eval.h"

namespace qd {

class TFakeFormulaContext : public IFormulaContext {
 public:
  struct TSummary {
    std::string Name;
    bool Calculated = false;
    std::string Formula;
    std::map<std::pair<TFormulaKey, int>, double> Aggregates;  // (key, function) → value
    std::map<TFormulaKey, std::vector<double>> Finest;         // key → sums of finest cells
  };

  int Add(const std::string& name) {
    FSummaries.push_back({name, false, "", {}, {}});
    return SummaryCount() - 1;
  }
  int AddCalculated(const std::string& name, const std::string& formula) {
    FSummaries.push_back({name, true, formula, {}, {}});
    return SummaryCount() - 1;
  }
  void Set(int summary, const TFormulaKey& key, double value, int function = 0) {
    FSummaries[summary].Aggregates[{key, function}] = value;
  }
  void SetFinest(int summary, const TFormulaKey& key, std::vector<double> sums) {
    FSummaries[summary].Finest[key] = std::move(sums);
  }

  int SummaryCount() const override { return static_cast<int>(FSummaries.size()); }
  std::string SummaryDisplayName(int summary) const override { return FSummaries[summary].Name; }
  bool IsCalculatedSummary(int summary) const override { return FSummaries[summary].Calculated; }
  std::string SummaryFormula(int summary) const override { return FSummaries[summary].Formula; }

  std::optional<double> AggregateValue(int summary, int function, const TFormulaKey& key) override {
    ++AggregateReads;
    const auto& values = FSummaries[summary].Aggregates;
    const auto found = values.find({key, function});
    if (found == values.end()) return std::nullopt;
    return found->second;
  }

  std::optional<double> CorrelationValue(int x, int y, const TFormulaKey& key) override {
    const auto xs = FSummaries[x].Finest.find(key);
    const auto ys = FSummaries[y].Finest.find(key);
    if (xs == FSummaries[x].Finest.end() || ys == FSummaries[y].Finest.end()) return std::nullopt;
    return CorrelationCoefficient(xs->second, ys->second);
  }

  int AggregateReads = 0;

 private:
  std::vector<TSummary> FSummaries;
};

}  // namespace qd
