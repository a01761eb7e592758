#include "model/layout_estimate.h"

#include <algorithm>
#include <limits>

#include "model/grid_info.h"

namespace qd {
namespace {

constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max() / 4;

std::int64_t Times(std::int64_t a, std::int64_t b) {
  if (a == 0 || b == 0) return 0;
  return a > kMost / b ? kMost : a * b;
}

// Data columns of one column line: every visible sub-function of every
// summary (a calculated summary shows one function).
std::int64_t ColumnsPerLine(TGridInfo& grid) {
  std::int64_t n = 0;
  TSummarySettings& settings = grid.SummarySettings();
  for (int s = 0; s < settings.Count(); ++s) {
    TSummaryInfo& info = settings.Items(s);
    for (const TFunctionInfo& f : info.Functions)
      for (int sf = 0; sf < kSubFunctionCount; ++sf) n += f.SubFunction(sf).Visible ? 1 : 0;
  }
  return n > 0 ? n : 1;
}

}  // namespace

TLayoutEstimate EstimateLayout(TGridInfo& grid, const std::vector<int>& active) {
  TLayoutEstimate e;
  std::int64_t cells = ColumnsPerLine(grid);
  int largest = 0;
  for (int d : active) {
    if (d < 0 || d >= grid.DimensionStateCount()) continue;
    const TDimensionState& state = grid.DimensionState(d);
    const int lines =
        state.NodeCount() + (state.TotalAppearance == TTotalAppearance::taInvisible ? 0 : 1);
    cells = Times(cells, std::max(lines, 1));
    if (state.NodeCount() > largest) {
      largest = state.NodeCount();
      e.LargestDim = d;
    }
  }
  e.Cells = cells;
  e.Bytes = Times(cells, kBytesPerCell);
  return e;
}

TLayoutEstimate EstimateLayout(TGridInfo& grid) {
  std::vector<int> active = grid.RowDims();
  active.insert(active.end(), grid.ColDims().begin(), grid.ColDims().end());
  return EstimateLayout(grid, active);
}

TLayoutEstimate EstimateDrop(TGridInfo& grid, int dim, TDimGroup group, int index) {
  std::vector<int> active = grid.RowDims();
  active.insert(active.end(), grid.ColDims().begin(), grid.ColDims().end());
  active.push_back(dim);
  TLayoutEstimate e = EstimateLayout(grid, active);  // for the largest dimension
  std::int64_t lines[2] = {grid.RowLineCount(), grid.ColLineCount()};
  const int axis = group == TDimGroup::dgRow ? 0 : 1;
  if (index <= 0 || grid.AxisDims(group).empty())
    lines[axis] = std::int64_t{grid.DimensionState(dim).NodeCount()} + 1;
  e.Cells = Times(Times(lines[0], lines[1]), ColumnsPerLine(grid));
  e.Bytes = Times(e.Cells, kBytesPerCell);
  return e;
}

}  // namespace qd
