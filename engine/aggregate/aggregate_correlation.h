// Correlation of two summaries per cell, used by calculated summaries.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace qd {

//! The finer cells that feed one mask's cells: for each, the cell of the mask
//! it falls into and the sums of the two summaries there.
struct TCorrelationInput {
  std::vector<std::int32_t> Cell;
  std::vector<double> X;
  std::vector<double> Y;
};

//! Pearson coefficient per cell of a mask. `sumX`/`sumY` are the summaries'
//! Sum at each cell of the mask; cells with fewer than two contributions or
//! without spread get 0.
std::vector<double> CorrelationCoefficients(const TCorrelationInput& input,
                                            std::span<const double> sumX,
                                            std::span<const double> sumY);

//! A derived statistic of a list of summaries; kind 0 (correlation) of two.
class TSummaryHelper {
 public:
  static constexpr std::uint8_t kCorrelation = 0;

  TSummaryHelper(std::uint8_t kind, std::vector<int> summaries)
      : FKind(kind), FSummaries(std::move(summaries)) {}

  std::uint8_t Kind() const { return FKind; }
  //! Summary indexes, x first and y second.
  const std::vector<int>& Summaries() const { return FSummaries; }

  //! Coefficients of a mask aligned with that mask's keys; null when not computed.
  const std::vector<double>* Results(std::uint32_t mask) const;
  void SetResults(std::uint32_t mask, std::vector<double> coefficients);
  void ClearResults();

 private:
  std::uint8_t FKind;
  std::vector<int> FSummaries;
  std::vector<std::uint32_t> FMasks;  // sorted
  std::vector<std::vector<double>> FResults;
};

//! The helpers of one grid model.
class TSummaryHelpers {
 public:
  //! The entry with this kind and the same summaries in the same order, or null.
  TSummaryHelper* Find(std::uint8_t kind, const std::vector<int>& summaries) const;
  //! Finds the entry or appends a new one.
  TSummaryHelper* Add(std::uint8_t kind, const std::vector<int>& summaries);
  void Clear() { FItems.clear(); }
  std::size_t Count() const { return FItems.size(); }

 private:
  std::vector<std::unique_ptr<TSummaryHelper>> FItems;
};

}  // namespace qd
