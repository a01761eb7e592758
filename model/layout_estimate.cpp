#include "model/layout_estimate.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "engine/core/text_helpers.h"
#include "model/grid_info.h"
#include "model/pivot_state.h"

namespace qd {
namespace {

constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max() / 4;

std::int64_t Times(std::int64_t a, std::int64_t b) {
  if (a == 0 || b == 0) return 0;
  return a > kMost / b ? kMost : a * b;
}

// The lines of an axis from `pos` on, below a parent whose children are
// `nodes` of the dimension at `pos` (its top nodes, or a member's child
// nodes), with the saved expansion `open` of those nodes.
std::int64_t SavedLines(const std::vector<TDimensionState*>& axis, std::size_t pos,
                        const std::vector<int>& nodes, const TOpenDimNodes& open) {
  const TDimensionState& state = *axis[pos];
  // Hidden nodes and empty groups hold no data and show no line.
  std::int64_t lines = std::count_if(nodes.begin(), nodes.end(), [&](int n) {
    return state.IsNodeVisible(n) && !(state.IsGroupNode(n) && !state.HasChildren(n));
  });
  if (state.TotalAppearance != TTotalAppearance::taInvisible) ++lines;
  for (const TOpenDimNode& o : open) {
    // As the trees replay it: an expansion of another dimension, or of a
    // node the state lacks, opens nothing.
    if (o.DimIndex != state.DimIndex() || o.Member < 0 || o.Member >= state.NodeCount()) continue;
    std::int64_t below = 0;
    if (o.IntoHierarchy)
      below = SavedLines(axis, pos, state.Children(o.Member), o.Children);
    else if (pos + 1 < axis.size())
      below = SavedLines(axis, pos + 1, axis[pos + 1]->TopNodes(), o.Children);
    if (below > 0) lines = std::min(kMost, lines + below - 1);  // the node's line gives way
  }
  return lines;
}

}  // namespace

std::int64_t EstimatedColumnsPerLine(TGridInfo& grid) {
  // Every visible sub-function of every summary (a calculated summary
  // shows one function).
  std::int64_t n = 0;
  TSummarySettings& settings = grid.SummarySettings();
  for (int s = 0; s < settings.Count(); ++s) {
    TSummaryInfo& info = settings.Items(s);
    for (const TFunctionInfo& f : info.Functions)
      for (int sf = 0; sf < kSubFunctionCount; ++sf) n += f.SubFunction(sf).Visible ? 1 : 0;
  }
  return n > 0 ? n : 1;
}

TLayoutEstimate EstimateSavedLayout(const TDimensions& dims, const TPivotState& layout,
                                    std::int64_t columnsPerLine) {
  std::int64_t columns = 0;
  for (const TStreamedSumInfo& s : layout.Summaries.Items)
    for (const TStreamedFunction& f : s.Functions)
      for (const TStreamedSubFunction& sf : f.SubFunctions) columns += sf.Visible ? 1 : 0;
  TLayoutEstimate e;
  e.Cells = std::max<std::int64_t>(columns > 0 ? columns : columnsPerLine, 1);
  // The dimension states the layout will make, for the dimensions on its axes.
  std::vector<std::unique_ptr<TDimensionState>> states;
  std::vector<char> placed(dims.size(), 0);
  int largest = -1;
  for (const auto* names : {&layout.RowDims, &layout.ColDims}) {
    std::vector<TDimensionState*> axis;
    for (const std::string& name : *names) {
      std::size_t d = 0;
      while (d < dims.size() && !SameText(dims[d]->BaseFieldName, name)) ++d;
      if (d == dims.size() || placed[d]) continue;
      placed[d] = 1;
      auto& st = states.emplace_back(
          std::make_unique<TDimensionState>(nullptr, static_cast<int>(d), dims[d].get()));
      const auto saved = std::find_if(layout.DimStates.begin(), layout.DimStates.end(),
                                      [&](const auto& s) { return SameText(s.FieldName, name); });
      if (saved != layout.DimStates.end()) {
        ApplySavedDimState(*st, *saved);
      } else {
        st->BuildMembers();
        st->InitGroups();
        st->BuildNodeTables();
      }
      if (st->NodeCount() > largest) {
        largest = st->NodeCount();
        e.LargestDim = static_cast<int>(d);
      }
      axis.push_back(st.get());
    }
    if (axis.empty()) continue;
    const TOpenDimNodes& open =
        names == &layout.RowDims ? layout.RowExpansion : layout.ColExpansion;
    e.Cells =
        Times(e.Cells, std::max<std::int64_t>(SavedLines(axis, 0, axis[0]->TopNodes(), open), 1));
  }
  e.Bytes = Times(e.Cells, kBytesPerCell);
  return e;
}

void LeaveOnPage(TPivotState& layout, const std::string& fieldName) {
  for (auto* names : {&layout.RowDims, &layout.ColDims})
    std::erase_if(*names, [&](const std::string& n) { return SameText(n, fieldName); });
}

TLayoutEstimate EstimateLayout(TGridInfo& grid, const std::vector<int>& active) {
  TLayoutEstimate e;
  std::int64_t cells = EstimatedColumnsPerLine(grid);
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
  e.Cells = Times(Times(lines[0], lines[1]), EstimatedColumnsPerLine(grid));
  e.Bytes = Times(e.Cells, kBytesPerCell);
  return e;
}

}  // namespace qd
