// How large a layout's grid would be, told before it is computed: its data
// cells from the node counts of the dimensions on the row and column axes and
// the sub-functions shown, and the memory they would take.
#pragma once

#include <cstdint>

namespace qd {

class TGridInfo;

//! Above either limit a layout is too large to compute without asking.
struct TLayoutLimits {
  std::int64_t Cells = 5'000'000;
  std::int64_t Bytes = std::int64_t{1} << 30;
};

struct TLayoutEstimate {
  std::int64_t Cells = 0;  //!< data cells with every node expanded, totals included
  std::int64_t Bytes = 0;  //!< what their values and totals would take
  int LargestDim = -1;     //!< the row or column dimension with the most nodes
  bool Exceeds(const TLayoutLimits& limits) const {
    return Cells > limits.Cells || Bytes > limits.Bytes;
  }
};

//! Bytes a data cell takes in the model: its value in the function's matrix
//! and its share of the aggregation's keys, sums and counts.
constexpr std::int64_t kBytesPerCell = 64;

//! The estimate for the grid's current axes and shown sub-functions, read
//! from its settings without aggregating. Saturates instead of overflowing.
TLayoutEstimate EstimateLayout(TGridInfo& grid);

}  // namespace qd
