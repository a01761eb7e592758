#include "engine/cube/vantra.h"

#include <algorithm>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"

namespace qd {

int TSourceFields::IndexOf(std::string_view name, TFieldType type) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].DataType == type && SameText(FItems[i].FieldName, name))
      return static_cast<int>(i);
  return -1;
}

void TVantraOptions::SetLookupHasntTheValue(TLookupHasntTheValue v) {
  if (FOwner && FOwner->Active()) return;
  FLookup = v;
}

void TVantraOptions::Assign(const TVantraOptions& other) {
  if (&other == this) return;
  ShowProgressBar = other.ShowProgressBar;
  SetLookupHasntTheValue(other.FLookup);
}

TCustomVantra::TCustomVantra() : FMap(this), FOptions(this) {}

TCustomVantra::~TCustomVantra() {
  FDestroying = true;
  if (FActive) Deactivate();
  if (FDataSet) {
    try {
      FDataSet->Close();
    } catch (...) {
      // A dataset that fails to close must not stop the cube's destruction.
    }
  }
  for (auto& [ds, id] : FWatched) ds->RemoveDestroyListener(id);
}

void TCustomVantra::WatchDataSet(TDataSet* ds) {
  if (!ds || FWatched.count(ds)) return;
  FWatched[ds] = ds->AddDestroyListener([this](TDataSet* gone) { DataSetDestroyed(gone); });
}

void TCustomVantra::DataSetDestroyed(TDataSet* ds) {
  FWatched.erase(ds);
  if (ds == FDataSet) SetDataSet(nullptr);
  FMap.ForgetDataSet(ds);
  for (auto& dim : FBuilt.Dimensions)
    for (TDimComponent& part : dim->Components)
      if (part.LookupDataSet == ds) part.LookupDataSet = nullptr;
}

void TCustomVantra::SetDataSet(TDataSet* ds) {
  if (ds == FDataSet) return;
  WatchDataSet(ds);
  FDataSet = ds;
  SetActive(false);
  NotifyGridModels(TCubeChange::ccActiveChanged);
}

const std::string& TCustomVantra::KeyFieldTypesForStore() {
  if (KeyFieldTypes.empty()) UpdateKeyFieldTypes();
  return KeyFieldTypes;
}

void TCustomVantra::EndLoading() {
  FLoading = false;
  if (FStreamedActive) {
    FStreamedActive = false;
    SetActive(true);
  }
}

void TCustomVantra::SetActive(bool value) {
  if (FLoading) {
    FStreamedActive = value;
    return;
  }
  if (value == FActive) return;
  if (value)
    Activate();
  else
    Deactivate();
}

TBuildSource TCustomVantra::MakeSource(TProgressSink* progress) const {
  TBuildSource src;
  src.Map = &FMap;
  src.DataSet = FDataSet;
  src.LookupHasntTheValue = FOptions.LookupHasntTheValue();
  src.KeyFields = KeyFields;
  src.KeyFieldTypes = KeyFieldTypes;
  src.Progress = progress;
  src.Mode = BuildMode;
  return src;
}

void TCustomVantra::BuildUnderProgress(const TBuildSource& src) {
  TProgressSink idle;
  TProgressSink& sink = ProgressSink ? *ProgressSink : idle;
  sink.ClearCancel();
  sink.Reset();
  sink.Begin(Msg(TMsg::SBuildingCube));
  sink.SetCaption(Msg(TMsg::SBuildingCube));
  TBuildSource withSink = src;
  withSink.Progress = &sink;
  try {
    BuildCube(withSink, FBuilt);
  } catch (const ECubeError&) {
    sink.End();
    throw;  // as raised, with the reason it may carry
  } catch (const std::exception& e) {
    sink.End();
    throw ECubeError(e.what());
  }
  sink.End();
}

void TCustomVantra::Activate() {
  DoBeforeOpen();
  try {
    if (FOptions.ShowProgressBar) {
      BuildUnderProgress(MakeSource(nullptr));
    } else {
      TBusyCursorScope cursor(TBusyCursor::crHourGlass);
      BuildCube(MakeSource(nullptr), FBuilt);
    }
  } catch (...) {
    FActive = false;
    FBuilt.Clear();
    throw;
  }
  FActive = true;
  FBuiltFromData = true;
  DoAfterOpen();
  NotifyGridModels(TCubeChange::ccActiveChanged);
}

void TCustomVantra::Deactivate() {
  if (!FDestroying && BeforeClose) BeforeClose(*this);
  FActive = false;
  FBuilt.DiscardLists();
  if (!FDestroying && AfterClose) AfterClose(*this);
  NotifyGridModels(TCubeChange::ccActiveChanged);
}

void TCustomVantra::DoBeforeOpen() {
  FBuiltFromData = false;
  if (BeforeOpen) BeforeOpen(*this);
}

void TCustomVantra::DoAfterOpen() {
  if (AfterOpen) AfterOpen(*this);
}

// ---- Map operations ----

void TCustomVantra::OpenFactDataSet() {
  if (!FDataSet) throw ECubeError(Msg(TMsg::SNoCubeData));
  if (!FDataSet->Active()) {
    try {
      FDataSet->Open();
    } catch (const std::exception& e) {
      throw ECubeError(Msg(TMsg::SDataSourceOpenError) + e.what());
    }
  }
  if (!FDataSet->Active()) throw ECubeError(Msg(TMsg::SCannotConnect));
}

bool TCustomVantra::ReadSourceFields() {
  if (!FDataSet) throw ECubeError(Msg(TMsg::SNoCubeData));
  TBusyCursorScope cursor(TBusyCursor::crSQLWait);
  TOpenStateGuard guard(*FDataSet);
  OpenFactDataSet();
  FSourceFields.Clear();
  for (int i = 0; i < FDataSet->FieldCount(); ++i) {
    const TField& f = FDataSet->Fields(i);
    FSourceFields.Add({f.FieldName(), f.DisplayLabel(), f.DataType()});
  }
  return true;
}

bool TCustomVantra::RefreshDimensionMap() {
  if (!FDataSet) throw EGenericError(Msg(TMsg::SNoCubeData));
  ReadSourceFields();
  for (int i = 0; i < FMap.Count();) {
    const TDimSum& item = FMap[i];
    if (!item.Composite && FSourceFields.IndexOf(item.BaseFieldName, item.BaseFieldType) < 0)
      FMap.Delete(i);
    else
      ++i;
  }
  for (int i = 0; i < FSourceFields.Count(); ++i) {
    const TSourceField& f = FSourceFields.Items(i);
    if (FMap.IndexOfField(f.FieldName, f.DataType) >= 0) continue;
    TDimSum& item = FMap.Add();
    item.BaseFieldName = f.FieldName;
    item.DisplayName = f.DisplayName;
    item.BaseFieldType = f.DataType;
  }
  for (int i = 0; i < FMap.Count(); ++i) {
    TDimSum& item = FMap[i];
    if (!item.Composite || SplitNames(item.ComposedFields).empty()) continue;
    std::vector<std::string> kept;
    for (const std::string& part : SplitNames(item.ComposedFields, TEmptyName::enStop))
      if (FMap.FindPlain(part)) kept.push_back(part);
    item.ComposedFields = JoinNames(kept);
    item.BaseFieldName = item.ComposedFields;
    // The part definitions follow the surviving part names.
    TDimCollection& parts = item.DimCollection();
    for (int p = parts.Count() - 1; p >= 0; --p) {
      const std::string& name = parts.Items(p).FieldName;
      if (std::none_of(kept.begin(), kept.end(),
                       [&](const std::string& k) { return SameText(k, name); }))
        parts.Delete(p);
    }
  }
  return true;
}

namespace {

// Defined items move in front of the unused ones, in the order of definition.
void MoveToFirstUnused(TDimSums& map, TDimSum& item) {
  int target = map.FirstUnusedIndex();
  if (target < 0) target = map.Count() - 1;
  map.Move(map.IndexOf(&item), target);
}

}  // namespace

TDimSum* TCustomVantra::PlaceAsDimension(std::string_view fieldName, TDimGroup group) {
  TDimSum* item = FMap.FindPlain(fieldName);
  if (!item) return nullptr;
  item->DimSumType = TDimSumType::dsDimension;
  item->DimGroup = group;
  item->TotalAppearance = TTotalAppearance::taLast;
  MoveToFirstUnused(FMap, *item);
  return item;
}

TDimSum& TCustomVantra::PlaceAsComposite(const std::vector<std::string>& fields,
                                         TDimGroup group) {
  TDimSum& item = FMap.Add();
  item.Composite = true;
  item.DimSumType = TDimSumType::dsDimension;
  item.DimGroup = group;
  item.TotalAppearance = TTotalAppearance::taLast;
  for (const std::string& f : fields) AddCompositePart(item, f);
  MoveToFirstUnused(FMap, item);
  return item;
}

TDimSum* TCustomVantra::MarkAsSummary(std::string_view fieldName) {
  TDimSum* item = FMap.FindPlain(fieldName);
  if (!item) return nullptr;
  item->DimSumType = TDimSumType::dsSummary;
  MoveToFirstUnused(FMap, *item);
  return item;
}

TDimCollectionItem* TCustomVantra::AddCompositePart(TDimSum& item, const std::string& fieldName,
                                                    const std::string& nameField,
                                                    const std::string& idField, TDataSet* lookup) {
  if (!item.Composite) return nullptr;
  item.ComposedFields =
      item.ComposedFields.empty() ? fieldName : item.ComposedFields + "; " + fieldName;
  item.BaseFieldName = item.ComposedFields;
  TDimCollectionItem& part = item.DimCollection().Add();
  part.FieldName = fieldName;
  part.SetLookupDataSet(lookup);
  part.ID_Field = idField;
  part.Name_Field = nameField;
  return &part;
}

void TCustomVantra::SetKeyFields(const std::vector<std::string>& names) {
  KeyFields = JoinNames(names);
  UpdateKeyFieldTypes();
}

void TCustomVantra::UpdateKeyFieldTypes() {
  std::string types;
  for (const std::string& name : SplitNames(KeyFields, TEmptyName::enStop)) {
    const TDimSum* item = FMap.FindPlain(name);
    types += item ? static_cast<char>(item->BaseFieldType) : ' ';
  }
  KeyFieldTypes = types;
}

// ---- Grid models ----

void TCustomVantra::RegisterGridModel(TCubeListener* model) {
  if (!model) return;
  FModels.push_back(model);
  model->CubeChanged(TCubeChange::ccActiveChanged);
}

void TCustomVantra::UnregisterGridModel(TCubeListener* model) {
  std::erase(FModels, model);
}

void TCustomVantra::NotifyGridModels(TCubeChange code) {
  if (FDestroying) return;
  std::vector<TCubeListener*> models = FModels;  // a model may unregister while told
  for (TCubeListener* m : models)
    if (std::find(FModels.begin(), FModels.end(), m) != FModels.end()) m->CubeChanged(code);
}

// ---- Built cube ----

const TDimensions& TCustomVantra::Dimensions() const {
  static const TDimensions none;
  return FActive ? FBuilt.Dimensions : none;
}

const TSummaries& TCustomVantra::Summaries() const {
  static const TSummaries none;
  return FActive ? FBuilt.Summaries : none;
}

std::string TCustomVantra::DimensionFieldName(int d) const {
  const TDimensions& dims = Dimensions();
  return d >= 0 && d < static_cast<int>(dims.size())
             ? dims[static_cast<std::size_t>(d)]->BaseFieldName
             : "";
}

std::string TCustomVantra::DimensionDisplayName(int d) const {
  const TDimensions& dims = Dimensions();
  return d >= 0 && d < static_cast<int>(dims.size())
             ? dims[static_cast<std::size_t>(d)]->DisplayName
             : "";
}

void TCustomVantra::RefreshFactTable() {
  if (!FActive || !FBuilt.FactTable) return;
  // Stored cubes lack the range values and key layout a refresh needs.
  if (!FBuiltFromData) throw ECubeError(Msg(TMsg::SCannotRefreshStoredCube));
  {
    TBusyCursorScope cursor(TBusyCursor::crHourGlass);
    RefreshFacts(MakeSource(nullptr), FBuilt);
  }
  NotifyGridModels(TCubeChange::ccFactsRefreshed);
}

}  // namespace qd
