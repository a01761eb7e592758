// How large a layout's grid would be, told before it is computed: its data
// cells from the node counts of the dimensions on the row and column axes and
// the sub-functions shown, and the memory they would take.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/cube/dimension.h"
#include "model/dimension_state.h"

namespace qd {

class TGridInfo;
class TPivotState;

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
//! The estimate with the dimensions `active` on the row and column axes.
TLayoutEstimate EstimateLayout(TGridInfo& grid, const std::vector<int>& active);
//! The grid as it will show once page dimension `dim` is dropped at place
//! `index` of the row or column axis: the labels it gets are collapsed, so
//! it adds lines only as the outermost dimension of its axis (one per node
//! and the total), and otherwise the lines stay as they are.
TLayoutEstimate EstimateDrop(TGridInfo& grid, int dim, TDimGroup group, int index);

//! The grid a saved layout will show once laid out on a cube with the
//! dimensions `dims`: the dimensions it puts on rows and columns with their
//! saved members (hidden and grouped as saved) and its expanded labels, each
//! node counted as holding data. The data columns are the visible
//! sub-functions of the layout's summaries, `columnsPerLine` when it has none.
//! LargestDim is an index into `dims`.
TLayoutEstimate EstimateSavedLayout(const TDimensions& dims, const TPivotState& layout,
                                    std::int64_t columnsPerLine);
//! Data columns of one column line of the grid's current summary settings.
std::int64_t EstimatedColumnsPerLine(TGridInfo& grid);
//! Takes the dimension named `fieldName` off the layout's rows and columns,
//! so that it lies on the page axis once the layout is applied.
void LeaveOnPage(TPivotState& layout, const std::string& fieldName);

//! What the user chose for a layout above the limits.
enum class TLargeLayoutChoice : std::uint8_t {
  lcPageLargest = 0,  //!< go on with the largest dimension left on the page axis
  lcGoOn = 1,         //!< compute it anyway
  lcCancel = 2,       //!< change nothing
};

}  // namespace qd
