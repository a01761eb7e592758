#include "model/cube_compare.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "model/pivot_cells.h"
#include "engine/cube/cube_integrity.h"

namespace qd {
namespace {

bool SameValue(const TCellValue& a, const TCellValue& b) {
  if (a.HasValue != b.HasValue) return false;
  if (!a.HasValue) return true;
  if (std::isnan(a.Value) && std::isnan(b.Value)) return true;
  return std::bit_cast<std::uint64_t>(a.Value) == std::bit_cast<std::uint64_t>(b.Value);
}

const TDimension* MatchingDimension(const TGridCube& cube, const TDimension& d) {
  for (const auto& other : cube.Dimensions())
    if (other->BaseFieldName == d.BaseFieldName) return other.get();
  return nullptr;
}

// Members of each dimension of `from` that its namesake in `to` lacks.
void MembersOnlyIn(const TGridCube& from, const TGridCube& to, bool first,
                   std::vector<TMemberChange>& out) {
  for (const auto& d : from.Dimensions()) {
    const TDimension* other = MatchingDimension(to, *d);
    if (!other) continue;
    std::unordered_set<std::string> present;
    for (int m = 0; m < other->MemberCount(); ++m) present.insert(other->Caption(m));
    for (int m = 0; m < d->MemberCount(); ++m)
      if (!present.contains(d->Caption(m))) out.push_back({first, d->DisplayName, d->Caption(m)});
  }
}

// Dimensions and summaries of `from` without a namesake in `to`.
void PartsOnlyIn(const TGridCube& from, const TGridCube& to, bool first,
                 std::vector<TPartChange>& out) {
  for (const auto& d : from.Dimensions())
    if (!MatchingDimension(to, *d)) out.push_back({first, false, d->DisplayName});
  for (const auto& s : from.Summaries()) {
    bool found = false;
    for (const auto& o : to.Summaries()) found = found || o->BaseFieldName == s->BaseFieldName;
    if (!found) out.push_back({first, true, s->DisplayName});
  }
}

void TotalsThatChanged(const TGridCube& ca, const TGridCube& cb,
                       std::vector<TTotalChange>& out) {
  if (!ca.FactTable() || !cb.FactTable()) return;
  const std::vector<TGrandTotal> ta = GrandTotals(*ca.FactTable());
  const std::vector<TGrandTotal> tb = GrandTotals(*cb.FactTable());
  for (std::size_t s = 0; s < ta.size(); ++s) {
    const TSummary& summary = *ca.Summaries()[s];
    for (std::size_t o = 0; o < tb.size(); ++o) {
      if (cb.Summaries()[o]->BaseFieldName != summary.BaseFieldName) continue;
      if (std::bit_cast<std::uint64_t>(ta[s].Sum) != std::bit_cast<std::uint64_t>(tb[o].Sum))
        out.push_back({summary.DisplayName, false, ta[s].Sum, tb[o].Sum});
      if (ta[s].Count != tb[o].Count)
        out.push_back({summary.DisplayName, true, static_cast<double>(ta[s].Count),
                       static_cast<double>(tb[o].Count)});
      break;
    }
  }
}

}  // namespace

TCubeDiff CompareCubes(const TGridCube& ca, TGridInfo& a, const TGridCube& cb, TGridInfo& b) {
  TCubeDiff diff;
  const std::vector<std::string> keysB = CellKeys(b);
  const std::vector<TCellValue> valuesB = CellValues(b);
  std::unordered_map<std::string, std::size_t> indexB;
  indexB.reserve(keysB.size());
  for (std::size_t i = 0; i < keysB.size(); ++i) indexB.emplace(keysB[i], i);
  const std::vector<std::string> keysA = CellKeys(a);
  const std::vector<TCellValue> valuesA = CellValues(a);
  const int columns = static_cast<int>(a.DataColumns().size());
  for (std::size_t i = 0; i < keysA.size(); ++i) {
    const auto it = indexB.find(keysA[i]);
    if (it == indexB.end() || SameValue(valuesA[i], valuesB[it->second])) continue;
    const int row = static_cast<int>(i) / columns, column = static_cast<int>(i) % columns;
    diff.Cells.push_back({row, column, keysA[i], valuesA[i], valuesB[it->second]});
  }
  MembersOnlyIn(ca, cb, true, diff.Members);
  MembersOnlyIn(cb, ca, false, diff.Members);
  PartsOnlyIn(ca, cb, true, diff.Parts);
  PartsOnlyIn(cb, ca, false, diff.Parts);
  TotalsThatChanged(ca, cb, diff.Totals);
  return diff;
}

std::optional<double> Delta(const TCellValue& old, const TCellValue& now) {
  if (!old.HasValue || !now.HasValue) return std::nullopt;
  return now.Value - old.Value;
}

std::optional<double> RelativeChange(const TCellValue& old, const TCellValue& now) {
  const std::optional<double> d = Delta(old, now);
  if (!d || old.Value == 0) return std::nullopt;
  return *d / std::fabs(old.Value);
}

}  // namespace qd
