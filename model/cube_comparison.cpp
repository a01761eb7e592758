#include "model/cube_comparison.h"

#include <cmath>
#include <unordered_map>

#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "model/format_mask.h"

namespace qd {
namespace {

std::int64_t CellId(int row, int column) {
  return (static_cast<std::int64_t>(row) << 32) | static_cast<std::uint32_t>(column);
}

int DimByName(const TGridInfo& grid, const std::string& name) {
  for (int d = 0; d < grid.DimensionStateCount(); ++d)
    if (grid.GetDimName(d) == name) return d;
  return -1;
}

// Member numbers of `from`'s dimensions mapped onto `to`'s by caption.
class TMemberMap {
 public:
  TMemberMap(const TGridInfo& from, const TGridInfo& to) : FFrom(from), FTo(to) {}

  void Translate(TOpenDimNodes& nodes) {
    TOpenDimNodes kept;
    for (TOpenDimNode& n : nodes) {
      const int dim = DimByName(FTo, FFrom.GetDimName(n.DimIndex));
      if (dim < 0) continue;
      const TDimension* d = FFrom.DimensionState(n.DimIndex).Dimension();
      if (d && n.Member >= 0 && n.Member < d->MemberCount()) {
        const auto& captions = Captions(dim);
        const auto it = captions.find(d->Caption(n.Member));
        if (it == captions.end()) continue;
        n.Member = it->second;
      }
      n.DimIndex = dim;
      Translate(n.Children);
      kept.push_back(std::move(n));
    }
    nodes = std::move(kept);
  }

 private:
  const std::unordered_map<std::string, int>& Captions(int dim) {
    auto [it, added] = FCaptions.try_emplace(dim);
    const TDimension* d = FTo.DimensionState(dim).Dimension();
    if (added && d)
      for (int m = 0; m < d->MemberCount(); ++m) it->second.emplace(d->Caption(m), m);
    return it->second;
  }

  const TGridInfo& FFrom;
  const TGridInfo& FTo;
  std::unordered_map<int, std::unordered_map<std::string, int>> FCaptions;
};

}  // namespace

void TranslateExpansion(TPivotState& state, const TGridInfo& from, const TGridInfo& to) {
  TMemberMap map(from, to);
  map.Translate(state.RowExpansion);
  map.Translate(state.ColExpansion);
}

TCubeComparison::TCubeComparison(TGridCube& other, std::string name)
    : FOther(other), FName(std::move(name)) {
  FGrid.SetCube(&FOther);
  FGrid.ProcessNotifications();
}

TCubeComparison::~TCubeComparison() {
  FGrid.SetCube(nullptr);
}

void TCubeComparison::Align(TGridInfo& shown) {
  FDiff = {};
  FByCell.clear();
  FShownParts[0] = FShownParts[1] = 0;
  if (!shown.IsActive() || !FGrid.IsActive() || !shown.Cube()) return;
  TPivotState state = shown.CaptureState();
  TranslateExpansion(state, shown, FGrid);
  FGrid.FunctionDefs().Assign(shown.FunctionDefs());
  // Custom functions are worked out alike on both sides.
  FGrid.OnCalcAggregateFunction = shown.OnCalcAggregateFunction;
  FGrid.ApplyState(state);
  FGrid.ProcessNotifications();
  FDiff = CompareCubes(*shown.Cube(), shown, FOther, FGrid);
  FShownParts[0] = shown.Cube()->Dimensions().size();
  FShownParts[1] = shown.Cube()->Summaries().size();
  for (std::size_t i = 0; i < FDiff.Cells.size(); ++i)
    FByCell.emplace(CellId(FDiff.Cells[i].Row, FDiff.Cells[i].Column), i);
}

const TCellChange* TCubeComparison::ChangeAt(int row, int column) const {
  const auto it = FByCell.find(CellId(row, column));
  return it == FByCell.end() ? nullptr : &FDiff.Cells[it->second];
}

TCellDifference TCubeComparison::DifferenceAt(int row, int column) const {
  const TCellChange* c = ChangeAt(row, column);
  if (!c) return TCellDifference::cdNone;
  // Old is the shown cell, New the other cube's.
  const std::optional<double> d = Delta(c->New, c->Old);
  if (!d) return TCellDifference::cdOneSided;
  return *d > 0 || std::isnan(*d) ? TCellDifference::cdHigher : TCellDifference::cdLower;
}

std::string TCubeComparison::CellHint(const TGridInfo& shown, int row, int column) const {
  const TCellChange* c = ChangeAt(row, column);
  if (!c) return {};
  const std::string mask = shown.DescribeDataColumn(column).FormatString;
  auto text = [&](const std::optional<double>& v) {
    return v ? FormatFloat(mask, *v) : Msg(TMsg::SCompareNoValue);
  };
  auto known = [](const TCellValue& v) {
    return v.HasValue ? std::optional<double>(v.Value) : std::nullopt;
  };
  return Format(Msg(TMsg::SCompareCellHint), FName, text(known(c->New)), text(known(c->Old)),
                text(Delta(c->New, c->Old)));
}

std::string TCubeComparison::SummaryText() const {
  std::size_t onlyShown = 0, onlyOther = 0;
  for (const TMemberChange& m : FDiff.Members) ++(m.InFirst ? onlyShown : onlyOther);
  // The dimensions and summaries only one cube has, by side.
  std::string parts[2][2];  // [only shown, only other][dimensions, summaries]
  std::size_t shownOnly[2] = {0, 0};
  for (const TPartChange& p : FDiff.Parts) {
    std::string& list = parts[p.InFirst ? 0 : 1][p.IsSummary ? 1 : 0];
    list += (list.empty() ? "" : "、") + p.Name;
    if (p.InFirst) ++shownOnly[p.IsSummary ? 1 : 0];
  }
  const TMsg kinds[2] = {TMsg::SCompareDimensions, TMsg::SCompareSummaries};
  std::string text;
  // Without a dimension or a summary in common no cell can match: a count
  // of different cells would read as if the cubes were equal.
  for (int k = 0; k < 2 && text.empty(); ++k)
    if (FShownParts[k] > 0 && shownOnly[k] == FShownParts[k])
      text = Format(Msg(TMsg::SCompareNothingInCommon), FName, Msg(kinds[k]));
  if (text.empty())
    text = Format(Msg(TMsg::SCompareSummary), FName, std::to_string(FDiff.Cells.size()),
                  std::to_string(onlyShown), std::to_string(onlyOther));
  const TMsg sides[2] = {TMsg::SCompareOnlyShown, TMsg::SCompareOnlyOther};
  for (int k = 0; k < 2; ++k)
    for (int side = 0; side < 2; ++side)
      if (!parts[side][k].empty()) text += Format(Msg(sides[side]), Msg(kinds[k]), parts[side][k]);
  return text;
}

}  // namespace qd
