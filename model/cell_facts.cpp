// The fact records of a data cell (cell details and fact editing).
#include "model/cell_facts.h"

#include <algorithm>
#include <cmath>

#include "engine/core/messages.h"
#include "engine/cube/key_field_dataset.h"
#include "engine/data/memo_dataset.h"
#include "model/grid_info.h"

namespace qd {

namespace {

// What a record must satisfy on one dimension: a visible node when the
// dimension filters, and a node at or below `member` when the cell names one.
struct TDimCheck {
  int Dim;
  const TDimensionState* State;
  bool Filter;
  int Member;
};

bool Passes(const TDimCheck& check, std::int32_t cubeMember) {
  const int node = check.State->NodeOfMember(cubeMember);
  if (check.Filter && (node < 0 || !check.State->IsNodeVisible(node))) return false;
  if (check.Member < 0) return true;
  for (int n = node; n >= 0; n = check.State->ParentNode(n))
    if (n == check.Member) return true;
  return false;
}

std::string Caption(const TDimensionState& state, const TDimension& dim, std::int32_t member) {
  const int node = state.NodeOfMember(member);
  return node >= 0 ? state.Node(node).Caption : dim.Caption(member);
}

}  // namespace

std::vector<std::int32_t> TCellFacts::Records(int row, int column) const {
  std::vector<std::int32_t> out;
  int s = 0, f = 0, sf = 0;
  if (!FGrid.IsActive() || row < 0 || row >= FGrid.RowLineCount() ||
      !FGrid.GetColumnSubLevel(column, s, f, sf))
    return out;
  const TFactTable* facts = FGrid.Cube()->FactTable();
  if (!facts || facts->DimCount() != FGrid.DimensionStateCount()) return out;
  const TMemberKey key = FGrid.GetCellKey(row, column);
  std::vector<TDimCheck> checks;
  for (int d = 0; d < FGrid.DimensionStateCount(); ++d) {
    const TDimensionState& state = FGrid.DimensionState(d);
    int member = -1;
    if (state.Group == TDimGroup::dgRow || state.Group == TDimGroup::dgCol) {
      const int p = FGrid.Aggregation().ActivePosition(d);
      if (p >= 0 && static_cast<std::size_t>(p) < key.size())
        member = key[static_cast<std::size_t>(p)];
    }
    if (state.FilterActive || member >= 0)
      checks.push_back({d, &state, state.FilterActive, member});
  }
  for (std::int32_t r = 0; r < facts->RecordCount(); ++r)
    if (std::all_of(checks.begin(), checks.end(),
                    [&](const TDimCheck& c) { return Passes(c, facts->Member(r, c.Dim)); }))
      out.push_back(r);
  return out;
}

std::unique_ptr<TvtMemoDataSet> TCellFacts::DataSet(int row, int column) const {
  int s = 0, f = 0, sf = 0;
  if (!FGrid.IsActive() || !FGrid.GetColumnSubLevel(column, s, f, sf)) return nullptr;
  const TSummaryInfo& info = FGrid.SummarySettings().Items(s);
  if (info.IsCalculated() || !info.State) return nullptr;
  const std::vector<std::int32_t> records = Records(row, column);
  if (records.empty()) return nullptr;
  const TFactTable& facts = *FGrid.Cube()->FactTable();
  const int summary = info.State->Index();

  auto out = std::make_unique<TvtMemoDataSet>();
  out->AddFieldDef(info.FieldName, TFieldType::ftFloat, 0, info.DisplayName);
  // One text field per dimension that shows members of its own.
  std::vector<int> dims;
  for (int d = 0; d < FGrid.DimensionStateCount(); ++d) {
    const TDimensionState& state = FGrid.DimensionState(d);
    const TDimension* dim = state.Dimension();
    if (!dim || dim->Composite || dim->EnableTransformation) continue;
    int size = 1;
    for (std::int32_t r : records)
      size = std::max(size, StoredTextSize(Caption(state, *dim, facts.Member(r, d))));
    out->AddFieldDef(dim->BaseFieldName, TFieldType::ftString, size, dim->DisplayName);
    dims.push_back(d);
  }
  const TFactWeights* weights = facts.Weights();
  if (weights)
    out->AddFieldDef(std::string(kAggregateCountColumn), TFieldType::ftLargeint, 0,
                     Msg(TMsg::SFactCountCaption));
  out->SetCapacity(static_cast<int>(records.size()));
  out->Open();
  for (std::int32_t r : records) {
    out->Append();
    out->Fields(0).SetValue(facts.Value(r, summary));
    for (std::size_t i = 0; i < dims.size(); ++i) {
      const TDimensionState& state = FGrid.DimensionState(dims[i]);
      out->Fields(static_cast<int>(i) + 1)
          .SetValue(Caption(state, *state.Dimension(), facts.Member(r, dims[i])));
    }
    if (weights)
      out->Fields(static_cast<int>(dims.size()) + 1)
          .SetValue(static_cast<std::int64_t>(std::llround(weights->Count(r))));
    out->Post();
    out->CurrentRecord()->Tag = r;
  }
  for (int i = 1; i < out->FieldCount(); ++i) out->Fields(i).SetReadOnly(true);
  out->First();
  return out;
}

void TCellFacts::Edit(int row, int column) {
  int s = 0, f = 0, sf = 0;
  if (!FGrid.IsActive() || !FGrid.GetColumnSubLevel(column, s, f, sf)) return;
  const TSummaryInfo& info = FGrid.SummarySettings().Items(s);
  const TSummaryState* state = info.State;
  if (info.IsCalculated() || !state) return;
  std::unique_ptr<TvtMemoDataSet> records = DataSet(row, column);
  if (!records || records->Count() == 0 || !FGrid.FactTableEditor) return;
  // A record of a grouped cube holds a group's sum beside its power sums and
  // extremes; a new sum alone would leave those wrong.
  if (FGrid.Cube()->FactTable()->Weights()) {
    for (int i = 0; i < records->FieldCount(); ++i) records->Fields(i).SetReadOnly(true);
    FGrid.FactTableEditor->Execute(*records);
    return;
  }
  if (!FGrid.FactTableEditor->Execute(*records)) return;

  // The records whose value now differs from the fact table's.
  TFactTable* table = FGrid.Cube()->WritableFactTable();
  TKeySet* keys = FGrid.Cube()->KeySet();
  if (!table || !keys) return;
  if (records->State() != TDataSetState::dsBrowse) records->Post();
  std::vector<int> modified;
  for (int i = 0; i < records->Count(); ++i) {
    records->SetRecNo(i + 1);
    const int fact = records->Records(i).Tag;
    if (fact < 0 || fact >= table->RecordCount()) continue;
    if (records->Fields(0).AsFloat() != table->Value(fact, state->Index())) modified.push_back(i);
  }
  std::unique_ptr<TvtMemoDataSet> changed = BuildKeyFieldDataSet(*keys, *records, &modified);
  if (!changed) return;
  bool accept = false;
  if (FGrid.OnEditFactTable) FGrid.OnEditFactTable(FGrid.Owner(), *changed, accept);
  if (!accept) return;

  const int summary = state->Index();
  Rewrite([&](TFactTable& facts) { WriteBackFactValues(facts, *changed, summary); });
}

void TCellFacts::Write(int column, TvtMemoDataSet& details) {
  int s = 0, f = 0, sf = 0;
  if (!FGrid.IsActive() || !FGrid.GetColumnSubLevel(column, s, f, sf)) return;
  const TSummaryInfo& info = FGrid.SummarySettings().Items(s);
  if (info.IsCalculated() || !info.State || !details.Active() || details.FieldCount() == 0) return;
  if (const TFactTable* facts = FGrid.Cube()->FactTable(); !facts || facts->Weights()) return;
  const int summary = info.State->Index();
  Rewrite([&](TFactTable& facts) {
    if (summary >= facts.SumCount()) return;
    for (details.First(); !details.Eof(); details.Next()) {
      const TvtRecord* record = details.CurrentRecord();
      if (record && record->Tag >= 0 && record->Tag < facts.RecordCount())
        facts.SetValue(record->Tag, summary, details.Fields(0).AsFloat());
    }
  });
}

std::unique_ptr<TvtMemoDataSet> TGridInfo::GetCellFacts(int row, int column) const {
  return FCellFacts.DataSet(row, column);
}

void TCellFacts::Rewrite(const std::function<void(TFactTable&)>& write) {
  TFactTable* table = FGrid.Cube()->WritableFactTable();
  if (!table) return;
  FGrid.BeginUpdate();
  try {
    write(*table);
    FGrid.Aggregation().DropActive();
    FGrid.Aggregation().UpdateActiveDimensions();
  } catch (...) {
    FGrid.CancelUpdate();
    throw;
  }
  FGrid.EndUpdate(TChangeKind::ckMembers);
}

}  // namespace qd
