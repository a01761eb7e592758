#include "model/model_aggregation.h"

#include <algorithm>
#include <limits>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "model/grid_info.h"

namespace qd {

namespace {

bool MulOverflows(std::uint64_t a, std::uint64_t b, std::uint64_t& out) {
  return __builtin_mul_overflow(a, b, &out);
}

[[noreturn]] void RaiseTooManyDims() {
  throw ECubeError(Msg(TMsg::SGridTooManyActiveDims));
}
[[noreturn]] void RaiseCapacity() {
  throw ECubeError(Msg(TMsg::SGridActiveCapacityTooLarge));
}

// Adds cell i of `t` under `key`, carrying its minimum and maximum along.
void AddTotalsCell(TSummaryArray& acc, std::int64_t key, const TTotals& t, std::size_t i) {
  if (t.Mins.size() != t.Size() || t.Maxs.size() != t.Size()) {
    acc.Add(key, t.Sums[i], t.Counts[i]);
  } else if (t.Counts[i] == 0) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    acc.AddCell(key, t.Sums[i], 0, inf, -inf);
  } else {
    acc.AddCell(key, t.Sums[i], t.Counts[i], t.Mins[i], t.Maxs[i]);
  }
}

// The dimension's name in the fact scan's error.
std::string DimensionName(const TDimensionState& state) {
  const TDimension* d = state.Dimension();
  if (!d) return {};
  return d->DisplayName.empty() ? d->BaseFieldName : d->DisplayName;
}

}  // namespace

void TSummaryState::Reset() {
  FMaskTotals.Clear();
  FBase.reset();
  FRollUps.reset();
  FFactData.reset();
  FReady = false;
}

int TModelAggregation::ActivePosition(int dimIndex) const {
  if (dimIndex < 0 || static_cast<std::size_t>(dimIndex) >= FInverse.size()) return -1;
  return FInverse[static_cast<std::size_t>(dimIndex)];
}

TDimensionState& TModelAggregation::State(int activePos) const {
  return FGrid.DimensionState(FActive[static_cast<std::size_t>(activePos)]);
}

void TModelAggregation::DropActive() {
  FActive.clear();
  FInverse.clear();
  FMultipliers.clear();
  FNodeCounts.clear();
  FCapacity = 1;
  FHasActive = false;
  FBaseKeys.reset();
  FHelpers.Clear();
  FHelperSources.clear();
}

void TModelAggregation::ClearSummaries() {
  FStates.clear();
  FHelpers.Clear();
  FHelperSources.clear();
}

TSummaryState& TModelAggregation::AddSummary(TSummaryInfo* info) {
  FStates.push_back(std::make_unique<TSummaryState>(static_cast<int>(FStates.size()), info));
  return *FStates.back();
}

void TModelAggregation::ResetSummaries() {
  for (auto& s : FStates) s->Reset();
}

void TModelAggregation::VisibilityChanged() {
  for (auto& s : FStates) {
    if (s->FReady) ComputeRollUps(*s);
    s->FMaskTotals.Clear();
    s->FFactData.reset();
  }
}

bool TModelAggregation::UpdateActiveDimensions() {
  if (!FGrid.IsActive()) {
    const bool changed = FHasActive;
    DropActive();
    return changed;
  }
  std::vector<int> candidate = FGrid.RowDims();
  candidate.insert(candidate.end(), FGrid.ColDims().begin(), FGrid.ColDims().end());
  std::stable_sort(candidate.begin(), candidate.end(), [this](int a, int b) {
    return FGrid.DimensionState(a).NodeCount() > FGrid.DimensionState(b).NodeCount();
  });
  if (FHasActive && candidate == FActive) return false;

  DropActive();
  if (candidate.size() > kMaxActiveDims) RaiseTooManyDims();
  const std::size_t n = candidate.size();
  std::vector<std::uint64_t> multipliers(n, 1);
  std::vector<int> counts(n);
  for (std::size_t i = 0; i < n; ++i) counts[i] = FGrid.DimensionState(candidate[i]).NodeCount();
  std::uint64_t capacity = 1;
  for (std::size_t i = n; i-- > 0;) {
    multipliers[i] = capacity;
    if (MulOverflows(capacity, static_cast<std::uint64_t>(counts[i]) + 1, capacity))
      RaiseCapacity();
  }
  FActive = std::move(candidate);
  FMultipliers = std::move(multipliers);
  FNodeCounts = std::move(counts);
  FCapacity = capacity;
  FInverse.assign(static_cast<std::size_t>(FGrid.DimensionStateCount()), -1);
  for (std::size_t i = 0; i < n; ++i) {
    FInverse[static_cast<std::size_t>(FActive[i])] = static_cast<int>(i);
    State(static_cast<int>(i)).Multiplier = FMultipliers[i];
  }
  FHasActive = true;
  Aggregate();
  return true;
}

bool TModelAggregation::HasHierarchy() const {
  for (int p = 0; p < ActiveCount(); ++p)
    if (State(p).LevelCount() > 1) return true;
  return false;
}

TScanRequest TModelAggregation::ScanRequest() const {
  TScanRequest request;
  for (int p = 0; p < ActiveCount(); ++p) {
    const TDimensionState& s = State(p);
    TScanDim& dim = request.Dims.emplace_back();
    dim.DimIndex = s.DimIndex();
    dim.Multiplier = FMultipliers[static_cast<std::size_t>(p)];
    dim.Name = DimensionName(s);
    const int members = s.Dimension() ? s.Dimension()->MemberCount() : 0;
    dim.MemberDigit.resize(static_cast<std::size_t>(std::max(0, members)));
    // Facts are aggregated at leaf members; parents get roll-ups.
    for (int m = 0; m < members; ++m) {
      const int node = s.NodeOfMember(m);
      dim.MemberDigit[static_cast<std::size_t>(m)] = node < 0 || s.HasChildren(node) ? -1 : node;
    }
  }
  for (int d : FGrid.PageDims()) {
    const TDimensionState& s = FGrid.DimensionState(d);
    if (!s.FilterActive) continue;
    TScanFilter& filter = request.Filters.emplace_back();
    filter.DimIndex = d;
    filter.Name = DimensionName(s);
    const int members = s.Dimension() ? s.Dimension()->MemberCount() : 0;
    filter.MemberAccepted.resize(static_cast<std::size_t>(std::max(0, members)));
    for (int m = 0; m < members; ++m) {
      const int node = s.NodeOfMember(m);
      filter.MemberAccepted[static_cast<std::size_t>(m)] = node >= 0 && s.IsNodeVisible(node);
    }
  }
  for (const auto& state : FStates) request.Summaries.push_back(state->FIndex);
  return request;
}

std::vector<TSummaryState*> TModelAggregation::ShownSummaries() const {
  std::vector<TSummaryState*> shown;
  bool calculated = false;
  for (const auto& state : FStates)
    if (state->FInfo && state->FInfo->Visible()) shown.push_back(state.get());
  // A calculated summary may read any other: then every one is scanned at once.
  for (int i = 0; i < FGrid.SummarySettings().Count(); ++i) {
    const TSummaryInfo& info = FGrid.SummarySettings().Items(i);
    calculated |= info.IsCalculated() && info.Visible();
  }
  if (calculated || shown.empty()) {
    // Without any shown summary the first still gives the cells their counts.
    const std::size_t all = calculated ? FStates.size() : std::min<std::size_t>(FStates.size(), 1);
    shown.resize(all);
    for (std::size_t i = 0; i < all; ++i) shown[i] = FStates[i].get();
  }
  return shown;
}

void TModelAggregation::Aggregate() {
  for (auto& s : FStates) s->Reset();
  FHelpers.Clear();
  FHelperSources.clear();
  FBaseKeys.reset();
  AggregateSummaries(ShownSummaries());
}

bool TModelAggregation::Prepare(TSummaryState& state) {
  if (state.FReady) return true;
  if (!FHasActive) return false;
  std::vector<TSummaryState*> states = ShownSummaries();
  std::erase_if(states, [&state](const TSummaryState* s) { return s == &state || s->FReady; });
  states.insert(states.begin(), &state);
  AggregateSummaries(states);
  return state.FReady;
}

void TModelAggregation::AggregateSummaries(const std::vector<TSummaryState*>& states) {
  try {
    TBaseScan scan;
    if (const TFactTable* facts = FGrid.Cube()->FactTable()) {
      const int dims = FGrid.DimensionStateCount(), sums = static_cast<int>(FStates.size());
      if (facts->DimCount() != dims || facts->SumCount() < sums)
        throw ECubeError(Format(Msg(TMsg::SFactTableMismatch), facts->DimCount(),
                                facts->SumCount(), dims, sums));
      TScanRequest request = ScanRequest();
      request.Summaries.clear();
      for (const TSummaryState* s : states) request.Summaries.push_back(s->FIndex);
      scan = ScanFacts(*facts, request);
      if (FBaseKeys && *scan.Keys != *FBaseKeys) throw EGenericError(Msg(TMsg::SInternalCalcError));
    }
    const bool empty = scan.Keys->empty();
    if (!empty && !FBaseKeys) FBaseKeys = scan.Keys;
    for (std::size_t i = 0; i < states.size(); ++i) {
      states[i]->FBase = empty ? std::make_unique<TTotals>() : std::move(scan.Totals[i]);
      // Every summary's base totals share one key list.
      if (!empty && FBaseKeys != scan.Keys) states[i]->FBase->ShareKeys(FBaseKeys);
      ComputeRollUps(*states[i]);
    }
  } catch (...) {
    for (auto& s : FStates) s->Reset();
    if (FGrid.Cube()) FGrid.Cube()->Deactivate();
    throw;
  }
}

void TModelAggregation::ComputeRollUps(TSummaryState& state) {
  state.FRollUps = std::make_unique<TTotals>();
  if (!state.FBase || !HasHierarchy()) {
    state.FReady = true;
    return;
  }
  TSummaryArray acc;
  const TKeyList& keys = state.FBase->Keys();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    TMemberKey members = DecodeKey(keys[i]);
    if (!IsVisibleKey(members)) continue;
    ForEachRollUp(std::move(members), [&](const TMemberKey& m, bool isBase) {
      if (!isBase) AddTotalsCell(acc, EncodeKey(m), *state.FBase, i);
    });
  }
  if (acc.NodeCount()) state.FRollUps = acc.ToTotals(std::make_shared<TKeyList>());
  state.FReady = true;
}

std::int64_t TModelAggregation::EncodeKey(const TMemberKey& members) const {
  std::uint64_t key = 0;
  for (std::size_t p = 0; p < FMultipliers.size() && p < members.size(); ++p) {
    const int digit = members[p] < 0 ? FNodeCounts[p] : members[p];
    key += static_cast<std::uint64_t>(digit) * FMultipliers[p];
  }
  return static_cast<std::int64_t>(key);
}

TMemberKey TModelAggregation::DecodeKey(std::int64_t key) const {
  std::uint64_t rest = static_cast<std::uint64_t>(key);
  TMemberKey members(FMultipliers.size());
  for (std::size_t p = 0; p < FMultipliers.size(); ++p) {
    const int digit = static_cast<int>(rest / FMultipliers[p]);
    rest %= FMultipliers[p];
    members[p] = digit == FNodeCounts[p] ? -1 : digit;
  }
  return members;
}

std::uint32_t TModelAggregation::KeyMask(const TMemberKey& members) {
  std::uint32_t mask = 0;
  for (std::size_t p = 0; p < members.size() && p < kMaxActiveDims; ++p)
    if (members[p] < 0) mask |= 1u << p;
  return mask;
}

bool TModelAggregation::IsVisibleKey(const TMemberKey& members) const {
  for (std::size_t p = 0; p < members.size() && p < FActive.size(); ++p)
    if (members[p] >= 0 && !State(static_cast<int>(p)).IsNodeVisible(members[p])) return false;
  return true;
}

std::unique_ptr<TTotals> TModelAggregation::DeriveMask(TSummaryState& state, std::uint32_t mask) {
  const TTotals* source = nullptr;
  for (std::size_t i = 0; i < state.FMaskTotals.Count(); ++i) {
    const std::uint32_t b = state.FMaskTotals.Mask(i);
    const TTotals* t = state.FMaskTotals.Item(i);
    if (b != mask && (b & ~mask) == 0 && (!source || t->Size() < source->Size())) source = t;
  }
  TSummaryArray acc;
  auto addFrom = [&](const TTotals& totals, bool checkVisible) {
    const TKeyList& keys = totals.Keys();
    for (std::size_t i = 0; i < totals.Size(); ++i) {
      TMemberKey members = DecodeKey(keys[i]);
      if (checkVisible && !IsVisibleKey(members)) continue;
      bool skip = false;
      for (int p = 0; p < ActiveCount() && !skip; ++p) {
        if (!(mask & (1u << p))) continue;
        const int node = members[static_cast<std::size_t>(p)];
        skip = node >= 0 && State(p).LevelCount() > 1 && State(p).HasChildren(node);
        members[static_cast<std::size_t>(p)] = -1;
      }
      if (!skip) AddTotalsCell(acc, EncodeKey(members), totals, i);
    }
  };
  if (source) {
    addFrom(*source, false);
  } else {
    if (state.FRollUps) addFrom(*state.FRollUps, false);
    if (state.FBase) addFrom(*state.FBase, true);
  }
  if (!acc.NodeCount()) return std::make_unique<TTotals>(std::make_shared<TKeyList>());
  return acc.ToTotals(std::make_shared<TKeyList>());
}

const TTotals& TModelAggregation::GetMaskTotals(TSummaryState& state, std::uint32_t mask) {
  if (TTotals* found = state.FMaskTotals.Find(mask)) return *found;
  return *state.FMaskTotals.Add(mask, DeriveMask(state, mask));
}

std::optional<TTotals::TLookup> TModelAggregation::Lookup(TSummaryState& state,
                                                          const TMemberKey& members) {
  if (!Prepare(state) || members.size() != FActive.size() || !IsVisibleKey(members))
    return std::nullopt;
  const std::uint32_t mask = KeyMask(members);
  const std::int64_t key = EncodeKey(members);
  if (mask != 0) return GetMaskTotals(state, mask).Lookup(key);
  if (state.FBase)
    if (auto r = state.FBase->Lookup(key)) return r;
  if (state.FRollUps) return state.FRollUps->Lookup(key);
  return std::nullopt;
}

bool TModelAggregation::IsNonEmpty(const TMemberKey& members) {
  // Every summary counts the same records; one aggregated summary is enough.
  const bool anyReady = std::any_of(FStates.begin(), FStates.end(),
                                    [](const auto& s) { return s->FReady; });
  if (!anyReady && !FStates.empty()) Prepare(*FStates.front());
  for (auto& s : FStates) {
    if (!s->FReady) continue;
    if (auto r = Lookup(*s, members); r && r->Count > 0) return true;
  }
  return false;
}

void TModelAggregation::PrepareTreeMasks(const std::vector<int>& rowDims,
                                         const std::vector<int>& colDims) {
  if (!FHasActive) return;
  const std::uint32_t all = ActiveCount() >= 32 ? ~0u : (1u << ActiveCount()) - 1;
  auto bit = [this](const std::vector<int>& dims, std::size_t i) -> std::uint32_t {
    return i < dims.size() ? 1u << ActivePosition(dims[i]) : 0u;
  };
  const std::uint32_t r0 = bit(rowDims, 0), r1 = bit(rowDims, 1), c0 = bit(colDims, 0),
                      c1 = bit(colDims, 1);
  std::vector<std::uint32_t> masks = {all};
  if (r0) masks.push_back(all & ~r0);
  if (r1) masks.push_back(all & ~r1);
  if (c0) masks.push_back(all & ~c0);
  if (c1) masks.push_back(all & ~c1);
  if (r0 && c0) masks.push_back(all & ~(r0 | c0));
  if (r0 && r1 && c0 && c1) masks.push_back(all & ~(r0 | r1 | c0 | c1));
  for (auto& s : FStates) {
    if (!s->FReady || !s->FInfo || !s->FInfo->Visible()) continue;
    for (std::uint32_t m : masks)
      if (m != 0) GetMaskTotals(*s, m);
  }
}

void TModelAggregation::CheckCapacity(const std::vector<int>& dimIndexes) const {
  if (dimIndexes.size() > kMaxActiveDims) RaiseTooManyDims();
  std::uint64_t capacity = 1;
  for (int d : dimIndexes)
    if (MulOverflows(capacity, static_cast<std::uint64_t>(FGrid.DimensionState(d).NodeCount()) + 1,
                     capacity))
      RaiseCapacity();
}

void TModelAggregation::CheckAddDimension(int dimIndex) const {
  std::vector<int> active = FGrid.RowDims();
  active.insert(active.end(), FGrid.ColDims().begin(), FGrid.ColDims().end());
  std::uint64_t capacity = 1;
  for (int d : active)
    if (MulOverflows(capacity, static_cast<std::uint64_t>(FGrid.DimensionState(d).NodeCount()) + 1,
                     capacity))
      RaiseCapacity();
  if (MulOverflows(capacity,
                   static_cast<std::uint64_t>(FGrid.DimensionState(dimIndex).NodeCount()) + 1,
                   capacity))
    RaiseCapacity();
  if (active.size() >= kMaxActiveDims) RaiseTooManyDims();
}

}  // namespace qd
