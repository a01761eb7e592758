// The dimension map of a cube: one item per field of the fact dataset saying
// whether it is a dimension, a summary or unused, and how a dimension gets its
// members (lookup table, attributes, hierarchy, composite parts, value ranges).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/arrays/string_array.h"
#include "engine/core/text_helpers.h"  // SameText and the name lists
#include "engine/data/dataset.h"

namespace qd {

enum class TDimSumType : std::uint8_t { dsUnknown = 0, dsDimension = 1, dsSummary = 2 };
enum class TDimGroup : std::uint8_t { dgRow = 0, dgCol = 1, dgPage = 2, dgNone = 3 };
enum class TTotalAppearance : std::uint8_t { taFirst = 0, taLast = 1, taInvisible = 2 };
enum class TDimSortType : std::uint8_t {
  dsDatabase = 0,
  dsNameAsc = 1,
  dsNameDesc = 2,
  dsCustom = 3
};
enum class TTransformMethod : std::uint8_t { tmEqualDensity = 0, tmEqualRange = 1 };
enum class TLookupHasntTheValue : std::uint8_t { lvIgnoreSumValue = 0, lvException = 1 };

//! Captions of the sort types and total appearances shown by editors and grids.
const std::string& DimSortTypeText(TDimSortType t);
const std::string& TotalAppearanceText(TTotalAppearance t);

//! Member texts are ordered and identified by CompareText (string_array.h), the
//! collation of every sorted text list, so that stored sorted lists stay searchable.
struct TTextLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return CompareText(a, b) < 0; }
};

//! Told when an item starts referring to a dataset, so that its owner can watch
//! for the dataset's destruction.
class TDataSetWatcher {
 public:
  virtual ~TDataSetWatcher() = default;
  virtual void WatchDataSet(TDataSet* ds) = 0;
};

// ---- Composite parts ----

class TDimCollectionItem {
 public:
  explicit TDimCollectionItem(TDataSetWatcher* watcher = nullptr) : FWatcher(watcher) {}

  TDataSet* LookupDataSet() const { return FLookupDataSet; }
  //! None also clears ID_Field and Name_Field; a dataset is watched by the cube.
  void SetLookupDataSet(TDataSet* ds);

  std::string ID_Field;
  std::string Name_Field;
  std::string FormatString;  //!< carried into the built cube; no effect on the build
  std::string FieldName;     //!< the part's fact field

 private:
  TDataSetWatcher* FWatcher;
  TDataSet* FLookupDataSet = nullptr;
};

class TDimCollection {
 public:
  explicit TDimCollection(TDataSetWatcher* watcher = nullptr) : FWatcher(watcher) {}
  int Count() const { return static_cast<int>(FItems.size()); }
  TDimCollectionItem& Items(int i) const { return *FItems.at(static_cast<std::size_t>(i)); }
  TDimCollectionItem& Add();
  void Delete(int i);
  void Clear() { FItems.clear(); }
  //! Copies every part (datasets through their setter).
  void Assign(const TDimCollection& other);

 private:
  TDataSetWatcher* FWatcher;
  std::vector<std::unique_ptr<TDimCollectionItem>> FItems;
};

// ---- Map items ----

class TDimSums;

class TDimSum {
 public:
  explicit TDimSum(TDimSums* collection = nullptr);

  std::string BaseFieldName;  //!< fact field; for a composite item equal to ComposedFields
  TFieldType BaseFieldType = TFieldType::ftUnknown;
  std::string DisplayName;
  TDimSumType DimSumType = TDimSumType::dsUnknown;
  std::string ID_Field;        //!< lookup key field, compared with the fact field
  std::string ParentID_Field;  //!< lookup field of the parent's key
  TDimGroup DimGroup = TDimGroup::dgRow;
  TTotalAppearance TotalAppearance = TTotalAppearance::taLast;
  bool Composite = false;
  std::string ComposedFields;  //!< part field names joined with "; "
  std::string Attributes;      //!< lookup fields that become member attributes, "; " separated
  TDimSortType SortType = TDimSortType::dsDatabase;
  bool EnableTransformation = false;  //!< cut a numeric field into value ranges
  int SeriesMemberCount = 0;          //!< number of ranges
  TTransformMethod TransformMethod = TTransformMethod::tmEqualDensity;

  TDataSet* LookupDataSet() const { return FLookupDataSet; }
  //! None also clears ID_Field, ParentID_Field, DefaultAttribute and Attributes.
  void SetLookupDataSet(TDataSet* ds);

  const std::string& DefaultAttribute() const { return FDefaultAttribute; }
  //! Stores the name and, when Attributes lacks it, puts it in front of Attributes.
  void SetDefaultAttribute(const std::string& name);
  //! The same value as DefaultAttribute.
  const std::string& Name_Field() const { return FDefaultAttribute; }
  void SetName_Field(const std::string& name) { SetDefaultAttribute(name); }

  TDimCollection& DimCollection() { return FDimCollection; }
  const TDimCollection& DimCollection() const { return FDimCollection; }

  //! Neither Composite nor EnableTransformation.
  bool IsPlain() const { return !Composite && !EnableTransformation; }
  //! Copies name, type, display name, kind, lookup (dataset, ID, name, parent),
  //! group and total appearance; the other properties keep their values.
  void Assign(const TDimSum& other);
  //! Position in the map; -1 when not in a map.
  int Index() const;
  TDimSums* Collection() const { return FCollection; }

 private:
  friend class TDimSums;
  TDimSums* FCollection;
  TDataSet* FLookupDataSet = nullptr;
  std::string FDefaultAttribute;
  TDimCollection FDimCollection;
};

class TDimSums {
 public:
  explicit TDimSums(TDataSetWatcher* owner = nullptr) : FOwner(owner) {}
  TDimSums(const TDimSums&) = delete;
  TDimSums& operator=(const TDimSums&) = delete;

  int Count() const { return static_cast<int>(FItems.size()); }
  TDimSum& Items(int i) const { return *FItems.at(static_cast<std::size_t>(i)); }
  TDimSum& operator[](int i) const { return Items(i); }
  //! Appends an item with the constructor defaults.
  TDimSum& Add();
  void Delete(int i);
  void Clear() { FItems.clear(); }
  //! Moves item `from` to position `to` (remove, then insert).
  void Move(int from, int to);
  int IndexOf(const TDimSum* item) const;
  //! Replaces the items by copies of another map's items (every property).
  void Assign(const TDimSums& other);

  int DimensionCount() const;
  int SummaryCount() const;
  //! First item with dsUnknown, -1 when none.
  int FirstUnusedIndex() const;
  //! Item with this name (case-insensitive) and exactly this type, -1 when none.
  int IndexOfField(std::string_view name, TFieldType type) const;
  //! First plain item with this name (case-insensitive).
  TDimSum* FindPlain(std::string_view name) const;
  //! First summary item with this name (case-insensitive).
  TDimSum* FindSummary(std::string_view name) const;

  //! Every item and composite part referring to ds forgets it.
  void ForgetDataSet(TDataSet* ds);
  TDataSetWatcher* Owner() const { return FOwner; }

 private:
  TDataSetWatcher* FOwner;
  std::vector<std::unique_ptr<TDimSum>> FItems;
};

}  // namespace qd
