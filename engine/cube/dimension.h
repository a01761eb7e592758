// Built dimensions and summaries of an active cube. The members of a dimension
// are positions 0..MemberCount()-1; fact records store these member indexes.
// Every list is a plain vector so that the cube file can write it as one array.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cube/dim_map.h"

namespace qd {

//! Fields shared by built dimensions and summaries.
class TDimensionOrSummary {
 public:
  virtual ~TDimensionOrSummary() = default;
  int MapIndex = 0;  //!< position of the originating item in the dimension map
  std::string BaseFieldName;
  std::string DisplayName;
  bool Composite = false;
  std::string ComposedFields;
};

class TSummary : public TDimensionOrSummary {};

//! Attribute name → one value per member. Names are kept sorted (case-insensitive,
//! duplicates ignored); value lists are in member-index order.
class TAttributeList {
 public:
  int Count() const { return static_cast<int>(FItems.size()); }
  const std::string& Name(int i) const { return FItems.at(static_cast<std::size_t>(i)).Name; }
  std::vector<std::string>& Values(int i) { return FItems.at(static_cast<std::size_t>(i)).Values; }
  const std::vector<std::string>& Values(int i) const {
    return FItems.at(static_cast<std::size_t>(i)).Values;
  }
  //! Position of the name (case-insensitive), -1 when absent.
  int IndexOf(std::string_view name) const;
  //! Adds the name at its sorted position (or finds it); returns its position.
  int Add(const std::string& name);
  void Clear() { FItems.clear(); }

 private:
  struct TItem {
    std::string Name;
    std::vector<std::string> Values;
  };
  std::vector<TItem> FItems;
};

//! A part of a composite dimension, as the map defined it.
struct TDimComponent {
  std::string ID_Field;
  std::string Name_Field;
  TDataSet* LookupDataSet = nullptr;  //!< not stored; cleared when the dataset is destroyed
  std::string FormatString;
  std::string FieldName;
};

class TDimension : public TDimensionOrSummary {
 public:
  //! Text keys when text-keyed and present, else member keys.
  int MemberCount() const;
  //! The caption of member m: its default attribute value; the key as text when
  //! the dimension has no default attribute values. Empty for a bad index.
  std::string Caption(int m) const;
  //! The member captions, or nullptr when the default attribute is not an attribute.
  const std::vector<std::string>* DefaultAttributeValues() const;
  std::vector<std::string>* MutableDefaultAttributeValues();
  //! Looks the default attribute name up in the attribute list again (after loading).
  void BindDefaultAttribute();
  //! Member with this text key (case-insensitive, text-keyed lookup dimensions) or
  //! this integer key; -1 when absent.
  int FindMemberByText(std::string_view key) const;
  int FindMemberByKey(std::int32_t key) const;

  TAttributeList Attributes;          //!< empty = none
  std::vector<std::int32_t> Parents;  //!< per member, the parent's index or -1; empty = none
  bool TextKey = false;
  std::vector<std::string> TextKeys;     //!< lookup text keys, or composite paths
  bool TextKeysSorted = false;           //!< sorted case-insensitively (lookup dimensions)
  std::vector<std::int32_t> MemberKeys;  //!< integer keys, or the identity 0..n-1
  bool MemberKeysSorted = true;          //!< false for plain integer dimensions (creation order)
  bool LookupLoaded = false;
  TDimGroup Group = TDimGroup::dgRow;
  TTotalAppearance TotalAppearance = TTotalAppearance::taLast;
  bool HasHierarchy = false;
  std::vector<std::int32_t> UsedMembers;  //!< lookup dimensions: sorted member indexes in facts
  std::vector<TDimComponent> Components;  //!< composite parts
  std::string DefaultAttributeName;
  std::vector<std::int32_t> DatabaseOrder;  //!< per member, its row in the source
  TDimSortType SortType = TDimSortType::dsDatabase;
  bool EnableTransformation = false;
  int SeriesMemberCount = 0;
  TTransformMethod TransformMethod = TTransformMethod::tmEqualDensity;

  //! Range dimensions of a cube built from its dataset: every fact value in
  //! ascending order (equal values latest record first) and the fact record of
  //! each. Not stored; needed by the fact-table refresh.
  std::vector<double> RangeValues;
  std::vector<std::int32_t> RangeRecords;

 private:
  int FDefaultIndex = -1;
};

using TDimensions = std::vector<std::unique_ptr<TDimension>>;
using TSummaries = std::vector<std::unique_ptr<TSummary>>;

//! The text form of a field type's member keys: ftString, ftMemo, ftFmtMemo,
//! ftFixedChar and ftWideString make a text-keyed dimension.
bool IsTextKeyType(TFieldType t);

}  // namespace qd
