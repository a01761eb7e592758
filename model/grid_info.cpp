#include "model/grid_info.h"

#include <algorithm>

#include "engine/core/messages.h"

namespace qd {

TGridInfo::TGridInfo(TGridListener* owner) : FOwner(owner) {
  FFunctionDefs.EnsureStandard();
}

TGridInfo::~TGridInfo() {
  FDestroying = true;
  FPosted.clear();
  if (FCube) FCube->UnregisterGridModel(this);
}

// ---- Binding and notification ----

void TGridInfo::SetCube(TGridCube* cube, bool loading) {
  if (cube == FCube) return;
  if (FCube) FCube->UnregisterGridModel(this);
  FCube = cube;
  if (FCube) {
    FCube->RegisterGridModel(this);  // notifies ccActiveChanged at once
  } else {
    BeginUpdate();
    ClearBuilt();
    EndUpdate(TChangeKind::ckCube);
  }
  if (!loading) Post(TChangeKind::ckCubeBound);
}

void TGridInfo::SetVantra(TCustomVantra* cube, bool loading) {
  if (FVantraCube && &FVantraCube->Vantra() == cube) return;
  auto adapter = cube ? std::make_unique<TVantraGridCube>(*cube) : nullptr;
  SetCube(adapter.get(), loading);
  FVantraCube = std::move(adapter);  // the old adapter goes after the cube let go of the model
}

bool TGridInfo::IsActive() const {
  return FCube && FCube->IsActive();
}

bool TGridInfo::FunctionOffered(int function) const {
  if (function < 0 || function >= kFunctionCount) return false;
  const TFactTable* facts = FCube ? FCube->FactTable() : nullptr;
  return !(facts && facts->Weights() && NeedsEveryFact(static_cast<TFunction>(function)));
}

void TGridInfo::CubeChanged(TCubeChange code) {
  if (!FCube) return;
  BeginUpdate();
  try {
    switch (code) {
      case TCubeChange::ccLoaded:
        FSummarySettings.RebuildFromSummaries(FCube->Summaries());
        BuildDimensionStates();
        break;
      case TCubeChange::ccFactsRefreshed:
        FAggregation.DropActive();
        FAggregation.ResetSummaries();
        RebuildMemberTrees();
        break;
      case TCubeChange::ccMapEdited:
      case TCubeChange::ccActiveChanged:
        FSummarySettings.SyncWithDimensionMap(FCube->MapSummaries());
        BuildDimensionStates();
        break;
    }
  } catch (...) {
    FUpdateCount = std::max(0, FUpdateCount - 1);
    throw;
  }
  EndUpdate(TChangeKind::ckCube);
}

void TGridInfo::AddListener(TGridListener* listener) {
  if (!listener || std::find(FListeners.begin(), FListeners.end(), listener) != FListeners.end())
    return;
  FListeners.push_back(listener);
  Post(TChangeKind::ckCube, listener);
}

void TGridInfo::RemoveListener(TGridListener* listener) {
  std::erase(FListeners, listener);
  std::erase_if(FPosted, [listener](const TPosted& p) { return p.Only == listener; });
}

void TGridInfo::BeginUpdate() {
  if (++FUpdateCount == 1 && OnBusyChanged) OnBusyChanged(true);
}

void TGridInfo::EndUpdate(TChangeKind kind) {
  if (FUpdateCount > 1) {
    --FUpdateCount;
    return;
  }
  try {
    Rebuild(kind);
  } catch (...) {
    FUpdateCount = 0;
    if (OnBusyChanged) OnBusyChanged(false);
    throw;
  }
  FUpdateCount = 0;
  if (OnBusyChanged) OnBusyChanged(false);
  Post(kind);
}

void TGridInfo::CancelUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0 && OnBusyChanged) OnBusyChanged(false);
}

void TGridInfo::Post(TChangeKind kind, TGridListener* only) {
  if (FDestroying) return;
  FPosted.push_back({kind, only});
  if (OnPosted) OnPosted();
}

int TGridInfo::ProcessNotifications() {
  int delivered = 0;
  while (!FPosted.empty()) {
    const TPosted p = FPosted.front();
    FPosted.pop_front();
    ++delivered;
    if (p.Only) {
      p.Only->GridInfoChanged(*this, p.Kind);
      continue;
    }
    if (FOwner) FOwner->GridInfoChanged(*this, p.Kind);
    const auto listeners = FListeners;  // a listener may unregister itself
    for (TGridListener* l : listeners)
      if (std::find(FListeners.begin(), FListeners.end(), l) != FListeners.end())
        l->GridInfoChanged(*this, p.Kind);
  }
  return delivered;
}

void TGridInfo::Rebuild(TChangeKind kind) {
  switch (ModelRebuildFor(kind)) {
    case TModelRebuild::mrFull:
      FAggregation.UpdateActiveDimensions();
      BuildTrees(true);
      break;
    case TModelRebuild::mrTrees:
      // The active list is dropped when members or groups changed.
      if (!FAggregation.HasActive()) FAggregation.UpdateActiveDimensions();
      BuildTrees(true);
      break;
    case TModelRebuild::mrResort:
      SortTrees();
      Relayout();
      break;
    case TModelRebuild::mrRelayout:
      Relayout();
      break;
    case TModelRebuild::mrValues:
      BuildDataColumns();
      ComputeValues();
      break;
    case TModelRebuild::mrNone:
      break;
  }
}

// ---- Dimension states ----

void TGridInfo::ClearBuilt() {
  FTrees.Clear();
  FSubLevels.clear();
  FDataColumns.clear();
  FColumnsPerLine = 0;
  FAggregation.DropActive();
  FAggregation.ClearSummaries();
  for (auto& a : FAxes) a.clear();
  FStates.clear();
  for (int i = 0; i < FSummarySettings.Count(); ++i) FSummarySettings.Items(i).State = nullptr;
}

void TGridInfo::BuildDimensionStates() {
  // The trees go with the old states; their expansion is replayed by the
  // rebuild that follows, as long as the cube stays active.
  FTrees.KeepExpansionPending();
  ClearBuilt();
  if (!IsActive()) FStateStore.Clear();
  if (!IsActive() || FCube->DimensionCount() == 0 || FCube->SummaryCount() == 0) return;
  const TDimensions& dims = FCube->Dimensions();
  for (int d = 0; d < static_cast<int>(dims.size()); ++d) {
    auto state =
        std::make_unique<TDimensionState>(this, d, dims[static_cast<std::size_t>(d)].get());
    state->BuildMembers();
    state->InitGroups();
    state->BuildNodeTables(false);
    if (state->Group != TDimGroup::dgNone) FAxes[static_cast<int>(state->Group)].push_back(d);
    FStates.push_back(std::move(state));
  }
  for (auto& axis : FAxes)
    std::stable_sort(axis.begin(), axis.end(), [&dims](int a, int b) {
      return dims[static_cast<std::size_t>(a)]->MapIndex <
             dims[static_cast<std::size_t>(b)]->MapIndex;
    });
  LinkSummaryStates();
}

void TGridInfo::LinkSummaryStates() {
  FAggregation.ClearSummaries();
  for (int i = 0; i < FSummarySettings.Count(); ++i) FSummarySettings.Items(i).State = nullptr;
  const TSummaries& sums = FCube->Summaries();
  for (int s = 0; s < static_cast<int>(sums.size()); ++s) {
    const TSummary& summary = *sums[static_cast<std::size_t>(s)];
    TSummaryInfo* info = FSummarySettings.FindByFieldName(summary.BaseFieldName);
    if (!info) {
      int nextId = 0;
      for (int i = 0; i < FSummarySettings.Count(); ++i)
        nextId = std::max(nextId, FSummarySettings.Items(i).Id + 1);
      info = &FSummarySettings.Add();
      info->FieldName = summary.BaseFieldName;
      info->DisplayName = summary.DisplayName;
      info->ApplyDefaultFormats();
      info->Id = nextId;
    }
    info->State = &FAggregation.AddSummary(info);
    info->DimensionMapIndex = summary.MapIndex;
  }
  for (int i = FSummarySettings.Count() - 1; i >= 0; --i) {
    const TSummaryInfo& info = FSummarySettings.Items(i);
    if (!info.IsCalculated() && !info.State) FSummarySettings.Delete(i);
  }
}

void TGridInfo::RebuildMemberTrees() {
  for (auto& s : FStates) {
    s->BuildMembers();
    s->BuildNodeTables(false);
  }
}

// ---- Axes ----

const std::vector<int>& TGridInfo::AxisDims(TDimGroup group) const {
  static const std::vector<int> kNone;
  const int g = static_cast<int>(group);
  return g >= 0 && g < 3 ? FAxes[g] : kNone;
}

std::string TGridInfo::GetDimName(int dimIndex) const {
  if (!IsActive() || dimIndex < 0 || dimIndex >= FCube->DimensionCount()) return {};
  return FCube->Dimensions()[static_cast<std::size_t>(dimIndex)]->BaseFieldName;
}

int TGridInfo::GetDimAt(int group, int position) const {
  if (group < 0 || group > 2 || position < 0 || position >= static_cast<int>(FAxes[group].size()))
    return -9999;
  return FAxes[group][static_cast<std::size_t>(position)];
}

void TGridInfo::MoveDim(int dimIndex, TDimGroup group, int position) {
  if (dimIndex < 0 || dimIndex >= DimensionStateCount() || group == TDimGroup::dgNone) return;
  position = std::max(0, position);
  TDimensionState& state = DimensionState(dimIndex);
  const TDimGroup from = state.Group;
  const std::vector<int>& source = AxisDims(from);
  const auto it = std::find(source.begin(), source.end(), dimIndex);
  const int oldPos = it == source.end() ? -1 : static_cast<int>(it - source.begin());
  if (from == group && oldPos == position) return;

  bool allow = true;
  if (BeforeMoveDim) BeforeMoveDim(FOwner, dimIndex, group, position, allow);
  if (!allow) return;
  const bool wasActive = from == TDimGroup::dgRow || from == TDimGroup::dgCol;
  const bool becomesActive = group == TDimGroup::dgRow || group == TDimGroup::dgCol;
  // Checked before anything changes, so that a refused move leaves no trace.
  if (becomesActive && !wasActive) FAggregation.CheckAddDimension(dimIndex);

  BeginUpdate();
  std::vector<int>& target = FAxes[static_cast<int>(group)];
  const int insertAt = std::min(position, static_cast<int>(target.size()));
  if (from == group) {
    target.insert(target.begin() + insertAt, dimIndex);
    target.erase(target.begin() + (oldPos >= insertAt ? oldPos + 1 : oldPos));
  } else {
    target.insert(target.begin() + insertAt, dimIndex);
    if (oldPos >= 0) {
      auto& src = FAxes[static_cast<int>(from)];
      src.erase(src.begin() + oldPos);
    }
    state.Group = group;
  }
  EndUpdate(TChangeKind::ckAxes);
  if (AfterMoveDim) AfterMoveDim(FOwner, dimIndex, group, position);
}

void TGridInfo::MoveDimAt(int sourceGroup, int sourcePosition, int targetGroup,
                          int targetPosition) {
  const int d = GetDimAt(sourceGroup, sourcePosition);
  if (d == -9999 || targetGroup < 0 || targetGroup > 2) return;
  MoveDim(d, static_cast<TDimGroup>(targetGroup), targetPosition);
}

void TGridInfo::SetTotalAppearance(TDimensionState& state, TTotalAppearance value) {
  if (state.TotalAppearance == value) return;
  BeginUpdate();
  state.TotalAppearance = value;
  EndUpdate(TChangeKind::ckTotals);
}

void TGridInfo::SetLowestSubLevelNode(TSubLevelNodeType value) {
  if (FLowestSubLevel == value) return;
  BeginUpdate();
  FLowestSubLevel = value;
  EndUpdate(TChangeKind::ckDataColumns);
}

void TGridInfo::SetWordWrap(bool value) {
  if (FWordWrap == value) return;
  BeginUpdate();
  FWordWrap = value;
  EndUpdate(TChangeKind::ckWordWrap);
}

}  // namespace qd
