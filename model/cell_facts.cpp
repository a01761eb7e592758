// The fact records of a data cell (cell details and fact editing).
#include "model/cell_facts.h"

#include <algorithm>

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

std::vector<std::int32_t> TGridInfo::GetCellFactRecords(int row, int column) const {
  std::vector<std::int32_t> out;
  int s = 0, f = 0, sf = 0;
  if (!IsActive() || row < 0 || row >= RowLineCount() || !GetColumnSubLevel(column, s, f, sf))
    return out;
  const TFactTable* facts = FCube->FactTable();
  if (!facts || facts->DimCount() != DimensionStateCount()) return out;
  const TMemberKey key = GetCellKey(row, column);
  std::vector<TDimCheck> checks;
  for (int d = 0; d < DimensionStateCount(); ++d) {
    const TDimensionState& state = DimensionState(d);
    int member = -1;
    if (state.Group == TDimGroup::dgRow || state.Group == TDimGroup::dgCol) {
      const int p = FAggregation.ActivePosition(d);
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

std::unique_ptr<TvtMemoDataSet> TGridInfo::GetCellFacts(int row, int column) const {
  int s = 0, f = 0, sf = 0;
  if (!IsActive() || !GetColumnSubLevel(column, s, f, sf)) return nullptr;
  const TSummaryInfo& info = FSummarySettings.Items(s);
  if (info.IsCalculated() || !info.State) return nullptr;
  const std::vector<std::int32_t> records = GetCellFactRecords(row, column);
  if (records.empty()) return nullptr;
  const TFactTable& facts = *FCube->FactTable();
  const int summary = info.State->Index();

  auto out = std::make_unique<TvtMemoDataSet>();
  out->AddFieldDef(info.FieldName, TFieldType::ftFloat, 0, info.DisplayName);
  // One text field per dimension that shows members of its own.
  std::vector<int> dims;
  for (int d = 0; d < DimensionStateCount(); ++d) {
    const TDimension* dim = DimensionState(d).Dimension();
    if (!dim || dim->Composite || dim->EnableTransformation) continue;
    int size = 1;
    for (std::int32_t r : records)
      size = std::max(size, StoredTextSize(Caption(DimensionState(d), *dim, facts.Member(r, d))));
    out->AddFieldDef(dim->BaseFieldName, TFieldType::ftString, size, dim->DisplayName);
    dims.push_back(d);
  }
  out->SetCapacity(static_cast<int>(records.size()));
  out->Open();
  for (std::int32_t r : records) {
    out->Append();
    out->Fields(0).SetValue(facts.Value(r, summary));
    for (std::size_t i = 0; i < dims.size(); ++i) {
      const int d = dims[i];
      out->Fields(static_cast<int>(i) + 1)
          .SetValue(Caption(DimensionState(d), *DimensionState(d).Dimension(), facts.Member(r, d)));
    }
    out->Post();
    out->CurrentRecord()->Tag = r;
  }
  for (int i = 1; i < out->FieldCount(); ++i) out->Fields(i).SetReadOnly(true);
  out->First();
  return out;
}

void TGridInfo::EditCellFacts(int row, int column) {
  int s = 0, f = 0, sf = 0;
  if (!IsActive() || !GetColumnSubLevel(column, s, f, sf)) return;
  TSummaryState* state = FSummarySettings.Items(s).State;
  if (FSummarySettings.Items(s).IsCalculated() || !state) return;
  std::unique_ptr<TvtMemoDataSet> records = GetCellFacts(row, column);
  if (!records || records->Count() == 0 || !FactTableEditor) return;
  if (!FactTableEditor->Execute(*records)) return;

  // The records whose value now differs from the fact table's.
  TFactTable* table = FCube->WritableFactTable();
  TKeySet* keys = FCube->KeySet();
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
  if (OnEditFactTable) OnEditFactTable(FOwner, *changed, accept);
  if (!accept) return;

  const int summary = state->Index();
  RewriteFacts([&](TFactTable& facts) { WriteBackFactValues(facts, *changed, summary); });
}

void TGridInfo::WriteCellFacts(int column, TvtMemoDataSet& details) {
  int s = 0, f = 0, sf = 0;
  if (!IsActive() || !GetColumnSubLevel(column, s, f, sf)) return;
  const TSummaryState* state = FSummarySettings.Items(s).State;
  if (FSummarySettings.Items(s).IsCalculated() || !state || !details.Active() ||
      details.FieldCount() == 0)
    return;
  const int summary = state->Index();
  RewriteFacts([&](TFactTable& facts) {
    if (summary >= facts.SumCount()) return;
    for (details.First(); !details.Eof(); details.Next()) {
      const TvtRecord* record = details.CurrentRecord();
      if (record && record->Tag >= 0 && record->Tag < facts.RecordCount())
        facts.SetValue(record->Tag, summary, details.Fields(0).AsFloat());
    }
  });
}

void TGridInfo::RewriteFacts(const std::function<void(TFactTable&)>& write) {
  TFactTable* table = FCube->WritableFactTable();
  if (!table) return;
  BeginUpdate();
  try {
    write(*table);
    FAggregation.DropActive();
    FAggregation.UpdateActiveDimensions();
  } catch (...) {
    if (--FUpdateCount <= 0) {
      FUpdateCount = 0;
      if (OnBusyChanged) OnBusyChanged(false);
    }
    throw;
  }
  EndUpdate(TChangeKind::ckMembers);
}

}  // namespace qd
