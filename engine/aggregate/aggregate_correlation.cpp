#include "engine/aggregate/aggregate_correlation.h"

#include <algorithm>
#include <cmath>

namespace qd {

std::vector<double> CorrelationCoefficients(const TCorrelationInput& input,
                                            std::span<const double> sumX,
                                            std::span<const double> sumY) {
  const std::size_t cells = std::min(sumX.size(), sumY.size());
  std::vector<long double> n(cells, 0), sxy(cells, 0), meanX(cells, 0), meanY(cells, 0),
      sxx(cells, 0), syy(cells, 0);
  const std::size_t inputs = std::min({input.Cell.size(), input.X.size(), input.Y.size()});
  auto cellOf = [&](std::size_t i) -> std::ptrdiff_t {
    std::int32_t c = input.Cell[i];
    return c >= 0 && static_cast<std::size_t>(c) < cells ? c : -1;
  };
  for (std::size_t i = 0; i < inputs; ++i) {
    std::ptrdiff_t c = cellOf(i);
    if (c < 0) continue;
    sxy[c] += static_cast<long double>(input.X[i]) * input.Y[i];
    n[c] += 1;
  }
  for (std::size_t c = 0; c < cells; ++c) {
    if (n[c] > 0) {
      meanX[c] = sumX[c] / n[c];
      meanY[c] = sumY[c] / n[c];
    }
  }
  for (std::size_t i = 0; i < inputs; ++i) {
    std::ptrdiff_t c = cellOf(i);
    if (c < 0) continue;
    long double dx = input.X[i] - meanX[c];
    long double dy = input.Y[i] - meanY[c];
    sxx[c] += dx * dx;
    syy[c] += dy * dy;
  }
  std::vector<double> result(cells, 0.0);
  for (std::size_t c = 0; c < cells; ++c) {
    if (n[c] <= 1 || sxx[c] * syy[c] == 0) continue;
    long double sigma = std::sqrt(sxx[c] / n[c]) * std::sqrt(syy[c] / n[c]);
    result[c] = static_cast<double>((sxy[c] - sumX[c] * sumY[c] / n[c]) / n[c] / sigma);
  }
  return result;
}

const std::vector<double>* TSummaryHelper::Results(std::uint32_t mask) const {
  auto it = std::lower_bound(FMasks.begin(), FMasks.end(), mask);
  if (it == FMasks.end() || *it != mask) return nullptr;
  return &FResults[it - FMasks.begin()];
}

void TSummaryHelper::SetResults(std::uint32_t mask, std::vector<double> coefficients) {
  auto it = std::lower_bound(FMasks.begin(), FMasks.end(), mask);
  auto i = it - FMasks.begin();
  if (it != FMasks.end() && *it == mask) {
    FResults[i] = std::move(coefficients);
  } else {
    FMasks.insert(it, mask);
    FResults.insert(FResults.begin() + i, std::move(coefficients));
  }
}

void TSummaryHelper::ClearResults() {
  FMasks.clear();
  FResults.clear();
}

TSummaryHelper* TSummaryHelpers::Find(std::uint8_t kind, const std::vector<int>& summaries) const {
  for (const auto& item : FItems) {
    if (item->Kind() == kind && item->Summaries() == summaries) return item.get();
  }
  return nullptr;
}

TSummaryHelper* TSummaryHelpers::Add(std::uint8_t kind, const std::vector<int>& summaries) {
  if (TSummaryHelper* found = Find(kind, summaries)) return found;
  FItems.push_back(std::make_unique<TSummaryHelper>(kind, summaries));
  return FItems.back().get();
}

}  // namespace qd
