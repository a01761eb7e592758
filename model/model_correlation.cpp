// Correlations of two summaries for calculated summaries: per mask, the
// coefficient of every cell over the finest cells its totals are made of.
#include "model/model_aggregation.h"

namespace qd {

std::vector<double> TModelAggregation::MaskCorrelations(TSummaryState& x, TSummaryState& y,
                                                        std::uint32_t mask, const TTotals& tx) {
  const TTotals& ty = GetMaskTotals(y, mask);
  TCorrelationInput input;
  // The cells the totals are made of: the base cells whose members are
  // visible and the roll-up cells, without parent members at Total positions;
  // each contributes one (x, y) pair of sums.
  auto add = [&](const TTotals* xs, const TTotals* ys, bool checkVisible) {
    if (!xs) return;
    const TKeyList& keys = xs->Keys();
    for (std::size_t i = 0; i < xs->Size(); ++i) {
      TMemberKey members = DecodeKey(keys[i]);
      if (checkVisible && !IsVisibleKey(members)) continue;
      bool skip = false;
      for (std::size_t p = 0; p < members.size() && !skip; ++p) {
        if (!(mask & (1u << p))) continue;
        const TDimensionState& s = State(static_cast<int>(p));
        skip = members[p] >= 0 && s.LevelCount() > 1 && s.HasChildren(members[p]);
        members[p] = -1;
      }
      if (skip) continue;
      const std::ptrdiff_t cell = tx.IndexOf(EncodeKey(members));
      if (cell < 0) continue;
      const auto yv = ys ? ys->Lookup(keys[i]) : std::nullopt;
      input.Cell.push_back(static_cast<std::int32_t>(cell));
      input.X.push_back(xs->Sums[i]);
      input.Y.push_back(yv ? yv->Sum : 0);
    }
  };
  add(x.FBase.get(), y.FBase.get(), true);
  add(x.FRollUps.get(), y.FRollUps.get(), false);
  std::vector<double> sumY(tx.Size(), 0);
  for (std::size_t c = 0; c < tx.Size(); ++c)
    if (const auto v = ty.Lookup(tx.Keys()[c])) sumY[c] = v->Sum;
  return CorrelationCoefficients(input, tx.Sums, sumY);
}

std::optional<double> TModelAggregation::Correlation(TSummaryState& x, TSummaryState& y,
                                                     const TMemberKey& key) {
  if (!Prepare(x) || !Prepare(y) || key.size() != FActive.size() || !IsVisibleKey(key))
    return std::nullopt;
  const std::uint32_t mask = KeyMask(key);
  if (mask == 0) return std::nullopt;  // a finest cell has a single pair
  const TTotals& tx = GetMaskTotals(x, mask);
  const std::ptrdiff_t at = tx.IndexOf(EncodeKey(key));
  if (at < 0) return std::nullopt;
  TSummaryHelper* helper = FHelpers.Add(TSummaryHelper::kCorrelation, {x.FIndex, y.FIndex});
  const std::vector<double>* results = helper->Results(mask);
  std::weak_ptr<TKeyList>& source = FHelperSources[{helper, mask}];
  if (!results || source.expired() || source.lock() != tx.KeyListPtr()) {
    helper->SetResults(mask, MaskCorrelations(x, y, mask, tx));
    source = tx.KeyListPtr();
    results = helper->Results(mask);
  }
  if (!results || static_cast<std::size_t>(at) >= results->size()) return std::nullopt;
  return (*results)[static_cast<std::size_t>(at)];
}

}  // namespace qd
