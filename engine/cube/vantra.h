// The cube component: a fact dataset, its dimension map and build options.
// Activating it builds the cube (dimensions, summaries, fact table, key set);
// registered grid models are told of every change.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/cube/cube_build.h"
#include "engine/cube/dim_map.h"

namespace qd {

//! What a cube tells its models through TCubeListener::CubeChanged.
enum class TCubeChange : std::uint8_t {
  ccMapEdited = 1,       //!< the dimension map was edited
  ccActiveChanged = 2,   //!< (de)activated, dataset changed, or the model just registered
  ccLoaded = 3,          //!< loaded from a stream
  ccFactsRefreshed = 4,  //!< the fact table was refreshed
};

//! A grid model bound to a cube. The cube does not own it.
class TCubeListener {
 public:
  virtual ~TCubeListener() = default;
  virtual void CubeChanged(TCubeChange code) = 0;
};

struct TSourceField {
  std::string FieldName;
  std::string DisplayName;  //!< the field's display label, or its name
  TFieldType DataType = TFieldType::ftUnknown;
};

//! The fact dataset's fields as last read.
class TSourceFields {
 public:
  int Count() const { return static_cast<int>(FItems.size()); }
  const TSourceField& Items(int i) const { return FItems.at(static_cast<std::size_t>(i)); }
  void Clear() { FItems.clear(); }
  void Add(TSourceField f) { FItems.push_back(std::move(f)); }
  //! Name compared without regard to case, type exactly; -1 when absent.
  int IndexOf(std::string_view name, TFieldType type) const;

 private:
  std::vector<TSourceField> FItems;
};

class TCustomVantra;

class TVantraOptions {
 public:
  explicit TVantraOptions(TCustomVantra* owner = nullptr) : FOwner(owner) {}
  //! Build under the progress sink, which offers Cancel; errors then arrive as ECubeError.
  bool ShowProgressBar = true;
  TLookupHasntTheValue LookupHasntTheValue() const { return FLookup; }
  //! Ignored while the owning cube is active.
  void SetLookupHasntTheValue(TLookupHasntTheValue v);
  void Assign(const TVantraOptions& other);

 private:
  TCustomVantra* FOwner;
  TLookupHasntTheValue FLookup = TLookupHasntTheValue::lvException;
};

using TCubeNotifyEvent = std::function<void(TCustomVantra& sender)>;

class TCustomVantra : public TDataSetWatcher {
 public:
  TCustomVantra();
  ~TCustomVantra() override;
  TCustomVantra(const TCustomVantra&) = delete;
  TCustomVantra& operator=(const TCustomVantra&) = delete;

  std::string Name;  //!< component name

  TDataSet* DataSet() const { return FDataSet; }
  //! Watches the new dataset, deactivates and notifies models with ccActiveChanged.
  void SetDataSet(TDataSet* ds);
  TDimSums& DimensionMap() { return FMap; }
  const TDimSums& DimensionMap() const { return FMap; }
  TVantraOptions& Options() { return FOptions; }
  void SetOptions(const TVantraOptions& o) { FOptions.Assign(o); }
  bool Active() const { return FActive; }
  //! True builds the cube, False discards it (see the events below).
  void SetActive(bool value);

  TCubeNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;

  //! Key fields stored per fact record, joined with "; ".
  std::string KeyFields;
  //! One character per key field: its TFieldType ordinal (" " for a name that
  //! is no plain map item, which counts as text).
  std::string KeyFieldTypes;
  //! KeyFieldTypes as it is stored: computed first when empty.
  const std::string& KeyFieldTypesForStore();

  //! How the next build reads the dataset: bmAggregatedInDatabase takes it
  //! as the grouped fact query (see TBuildSource::Mode).
  TBuildMode BuildMode = TBuildMode::bmEveryRow;

  //! A stored cube whose checksum does not match its stream is refused on
  //! loading; false loads it anyway, so that what differs can be shown.
  bool RefuseDamagedStreams = true;

  //! Where a build with ShowProgressBar reports; nullptr shows nothing.
  TProgressSink* ProgressSink = nullptr;

  // ---- Loading the component's stored properties ----
  //! While loading, Active := True is only remembered; EndLoading builds.
  void BeginLoading() { FLoading = true; }
  void EndLoading();
  bool Loading() const { return FLoading; }

  // ---- Map operations ----
  void OpenFactDataSet();
  bool ReadSourceFields();
  const TSourceFields& SourceFields() const { return FSourceFields; }
  //! Brings the map in line with the dataset's fields.
  bool RefreshDimensionMap();
  TDimSum* PlaceAsDimension(std::string_view fieldName, TDimGroup group);
  TDimSum* MarkAsSummary(std::string_view fieldName);
  //! A new composite dimension of `group` whose parts are `fields`, outermost
  //! first, placed after the defined items; its total line last.
  TDimSum& PlaceAsComposite(const std::vector<std::string>& fields, TDimGroup group);
  TDimCollectionItem* AddCompositePart(TDimSum& item, const std::string& fieldName,
                                       const std::string& nameField = {},
                                       const std::string& idField = {}, TDataSet* lookup = nullptr);
  void SetKeyFields(const std::vector<std::string>& names);
  void UpdateKeyFieldTypes();

  // ---- Grid models ----
  //! Appends the model (twice registered, twice told) and tells it ccActiveChanged at once.
  void RegisterGridModel(TCubeListener* model);
  //! Removes every registration of the model (call it before the model dies).
  void UnregisterGridModel(TCubeListener* model);
  void NotifyGridModels(TCubeChange code);

  // ---- The built cube (empty while inactive) ----
  const TDimensions& Dimensions() const;
  const TSummaries& Summaries() const;
  int DimensionCount() const { return static_cast<int>(Dimensions().size()); }
  int SummaryCount() const { return static_cast<int>(Summaries().size()); }
  //! nullptr while inactive.
  TFactTable* FactTable() const { return FActive ? FBuilt.FactTable.get() : nullptr; }
  const TKeySet* KeySet() const { return FActive ? &FBuilt.KeySet : nullptr; }
  TKeySet* KeySet() { return FActive ? &FBuilt.KeySet : nullptr; }
  const TLookupFields& LookupFields() const { return FBuilt.LookupFields; }
  //! BaseFieldName / DisplayName of built dimension d; empty outside the list.
  std::string DimensionFieldName(int d) const;
  std::string DimensionDisplayName(int d) const;

  //! Replaces the fact records by those of the re-run fact dataset, keeping the
  //! members (RefreshFacts); models get ccFactsRefreshed. Nothing while
  //! inactive; a cube loaded from a stream cannot be refreshed (ECubeError).
  void RefreshFactTable();

  // ---- For readers of stored cubes, which replace the built cube directly ----
  TBuiltCube& Built() { return FBuilt; }
  const TBuiltCube& Built() const { return FBuilt; }
  //! Marks the cube (in)active without building, events or notifications.
  void SetActiveFlag(bool value) { FActive = value; }
  void DoBeforeOpen();
  void DoAfterOpen();

 protected:
  void WatchDataSet(TDataSet* ds) override;

 private:
  void Activate();
  void Deactivate();
  void BuildUnderProgress(const TBuildSource& src);
  void DataSetDestroyed(TDataSet* ds);
  TBuildSource MakeSource(TProgressSink* progress) const;

  TDataSet* FDataSet = nullptr;
  TDimSums FMap;
  TVantraOptions FOptions;
  TSourceFields FSourceFields;
  TBuiltCube FBuilt;
  std::vector<TCubeListener*> FModels;
  std::map<TDataSet*, int> FWatched;  // dataset → destroy-listener id
  bool FActive = false;
  bool FLoading = false;
  bool FStreamedActive = false;
  bool FDestroying = false;
  bool FBuiltFromData = false;  // built from the dataset (not loaded from a stream)
};

//! The published cube component.
class TVantra : public TCustomVantra {};

}  // namespace qd
