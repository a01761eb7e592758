// The value of a summary at a key: looked up in the model's aggregation for a
// summary of the cube, evaluated from its formula for a calculated summary.
#include "model/calc_summary.h"

#include "model/grid_info.h"

namespace qd {

namespace {

// The correlation of x and y for every cell of a mask, aligned with x's totals
// of that mask: the cells the totals are made of (the base cells whose members
// are visible and the roll-up cells, without parent members at Total
// positions) each contribute one (x, y) pair of sums.
std::vector<double> MaskCorrelations(TGridInfo& grid, TSummaryState& x, TSummaryState& y,
                                     std::uint32_t mask, const TTotals& tx) {
  TModelAggregation& agg = grid.Aggregation();
  const TTotals& ty = agg.GetMaskTotals(y, mask);
  const std::vector<int>& active = agg.ActiveDims();
  TCorrelationInput input;
  auto add = [&](const TTotals* xs, const TTotals* ys, bool checkVisible) {
    if (!xs) return;
    const TKeyList& keys = xs->Keys();
    for (std::size_t i = 0; i < xs->Size(); ++i) {
      TMemberKey members = agg.DecodeKey(keys[i]);
      if (checkVisible && !agg.IsVisibleKey(members)) continue;
      bool skip = false;
      for (std::size_t p = 0; p < members.size() && !skip; ++p) {
        if (!(mask & (1u << p))) continue;
        const TDimensionState& s = grid.DimensionState(active[p]);
        skip = members[p] >= 0 && s.LevelCount() > 1 && s.HasChildren(members[p]);
        members[p] = -1;
      }
      if (skip) continue;
      const std::ptrdiff_t cell = tx.IndexOf(agg.EncodeKey(members));
      if (cell < 0) continue;
      const auto yv = ys ? ys->Lookup(keys[i]) : std::nullopt;
      input.Cell.push_back(static_cast<std::int32_t>(cell));
      input.X.push_back(xs->Sums[i]);
      input.Y.push_back(yv ? yv->Sum : 0);
    }
  };
  add(x.Base.get(), y.Base.get(), true);
  add(x.RollUps.get(), y.RollUps.get(), false);
  std::vector<double> sumY(tx.Size(), 0);
  for (std::size_t c = 0; c < tx.Size(); ++c)
    if (const auto v = ty.Lookup(tx.Keys()[c])) sumY[c] = v->Sum;
  return CorrelationCoefficients(input, tx.Sums, sumY);
}

}  // namespace

std::optional<double> CorrelationAt(TGridInfo& grid, TSummaryState& x, TSummaryState& y,
                                    const TMemberKey& key) {
  TModelAggregation& agg = grid.Aggregation();
  if (!x.Ready || !y.Ready || key.size() != agg.ActiveDims().size() || !agg.IsVisibleKey(key))
    return std::nullopt;
  const std::uint32_t mask = TModelAggregation::KeyMask(key);
  if (mask == 0) return std::nullopt;  // a finest cell has a single pair
  const TTotals& tx = agg.GetMaskTotals(x, mask);
  const std::ptrdiff_t at = tx.IndexOf(agg.EncodeKey(key));
  if (at < 0) return std::nullopt;
  TSummaryHelper* helper = agg.Helpers.Add(TSummaryHelper::kCorrelation, {x.Index, y.Index});
  const std::vector<double>* results = helper->Results(mask);
  std::weak_ptr<TKeyList>& source = agg.HelperSources[{helper, mask}];
  if (!results || source.expired() || source.lock() != tx.KeyListPtr()) {
    helper->SetResults(mask, MaskCorrelations(grid, x, y, mask, tx));
    source = tx.KeyListPtr();
    results = helper->Results(mask);
  }
  if (!results || static_cast<std::size_t>(at) >= results->size()) return std::nullopt;
  return (*results)[static_cast<std::size_t>(at)];
}

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
  return CorrelationAt(FGrid, *sx, *sy, key);
}

TCellValue TSummaryInfo::GetValue(const std::vector<int>& key, int function) {
  if (!Owner || !Owner->IsActive()) return {};
  if (IsCalculated()) {
    const int self = Owner->SummarySettings().IndexOf(this);
    if (self < 0) return {};
    TGridFormulaContext context(*Owner);
    ParsedFormula = std::make_shared<TFormulaParser>(Formula(), context, self);
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
  // Medians need the values in order; when the summary shows them, the second
  // pass runs in value order at once.
  const bool valueOrder = Function(static_cast<int>(TFunction::stMedian)).Visible();
  const auto v = agg.FunctionValue(*State, key, static_cast<TFunction>(function), valueOrder);
  return v ? TCellValue{*v, true} : TCellValue{};
}

}  // namespace qd
