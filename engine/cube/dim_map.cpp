#include "engine/cube/dim_map.h"

#include <algorithm>

#include "engine/core/messages.h"

namespace qd {
namespace {

// Every property, for whole-map copies (editors work on copies).
void CopyAll(TDimSum& to, const TDimSum& from) {
  to.Assign(from);
  to.Composite = from.Composite;
  to.ComposedFields = from.ComposedFields;
  to.Attributes = from.Attributes;
  to.SetDefaultAttribute(from.DefaultAttribute());
  to.Attributes = from.Attributes;
  to.SortType = from.SortType;
  to.EnableTransformation = from.EnableTransformation;
  to.SeriesMemberCount = from.SeriesMemberCount;
  to.TransformMethod = from.TransformMethod;
  to.DimCollection().Assign(from.DimCollection());
}

}  // namespace

const std::string& DimSortTypeText(TDimSortType t) {
  switch (t) {
    case TDimSortType::dsNameAsc:
      return Msg(TMsg::SSortByName);
    case TDimSortType::dsNameDesc:
      return Msg(TMsg::SSortByNameDesc);
    case TDimSortType::dsCustom:
      return Msg(TMsg::SSortCustom);
    default:
      return Msg(TMsg::SSortByDatabase);
  }
}

const std::string& TotalAppearanceText(TTotalAppearance t) {
  switch (t) {
    case TTotalAppearance::taFirst:
      return Msg(TMsg::STotalFirst);
    case TTotalAppearance::taInvisible:
      return Msg(TMsg::STotalInvisible);
    default:
      return Msg(TMsg::STotalLast);
  }
}

// ---- TDimCollectionItem / TDimCollection ----

void TDimCollectionItem::SetLookupDataSet(TDataSet* ds) {
  if (ds == FLookupDataSet) return;
  FLookupDataSet = ds;
  if (!ds) {
    ID_Field.clear();
    Name_Field.clear();
  } else if (FWatcher) {
    FWatcher->WatchDataSet(ds);
  }
}

TDimCollectionItem& TDimCollection::Add() {
  FItems.push_back(std::make_unique<TDimCollectionItem>(FWatcher));
  return *FItems.back();
}

void TDimCollection::Delete(int i) {
  FItems.erase(FItems.begin() + i);
}

void TDimCollection::Assign(const TDimCollection& other) {
  if (&other == this) return;
  FItems.clear();
  for (const auto& src : other.FItems) {
    TDimCollectionItem& d = Add();
    d.SetLookupDataSet(src->LookupDataSet());
    d.ID_Field = src->ID_Field;
    d.Name_Field = src->Name_Field;
    d.FormatString = src->FormatString;
    d.FieldName = src->FieldName;
  }
}

// ---- TDimSum ----

TDimSum::TDimSum(TDimSums* collection)
    : FCollection(collection), FDimCollection(collection ? collection->Owner() : nullptr) {}

void TDimSum::SetLookupDataSet(TDataSet* ds) {
  if (ds == FLookupDataSet) return;
  FLookupDataSet = ds;
  if (!ds) {
    ID_Field.clear();
    ParentID_Field.clear();
    FDefaultAttribute.clear();
    Attributes.clear();
  } else if (FCollection && FCollection->Owner()) {
    FCollection->Owner()->WatchDataSet(ds);
  }
}

void TDimSum::SetDefaultAttribute(const std::string& name) {
  if (name == FDefaultAttribute) return;
  FDefaultAttribute = name;
  // An empty name is no attribute: it would only add an empty list item.
  if (name.empty()) return;
  std::vector<std::string> attrs = SplitNames(Attributes);
  if (std::find(attrs.begin(), attrs.end(), name) != attrs.end()) return;
  Attributes = Attributes.empty() ? name : name + "; " + Attributes;
}

void TDimSum::Assign(const TDimSum& other) {
  if (&other == this) return;
  BaseFieldName = other.BaseFieldName;
  BaseFieldType = other.BaseFieldType;
  DisplayName = other.DisplayName;
  DimSumType = other.DimSumType;
  SetLookupDataSet(other.LookupDataSet());
  ID_Field = other.ID_Field;
  SetName_Field(other.Name_Field());
  ParentID_Field = other.ParentID_Field;
  DimGroup = other.DimGroup;
  TotalAppearance = other.TotalAppearance;
}

int TDimSum::Index() const {
  return FCollection ? FCollection->IndexOf(this) : -1;
}

// ---- TDimSums ----

TDimSum& TDimSums::Add() {
  FItems.push_back(std::make_unique<TDimSum>(this));
  return *FItems.back();
}

void TDimSums::Delete(int i) {
  FItems.erase(FItems.begin() + i);
}

void TDimSums::Move(int from, int to) {
  if (from == to || from < 0 || from >= Count()) return;
  auto item = std::move(FItems[static_cast<std::size_t>(from)]);
  FItems.erase(FItems.begin() + from);
  to = std::clamp(to, 0, Count());
  FItems.insert(FItems.begin() + to, std::move(item));
}

int TDimSums::IndexOf(const TDimSum* item) const {
  for (int i = 0; i < Count(); ++i)
    if (FItems[static_cast<std::size_t>(i)].get() == item) return i;
  return -1;
}

void TDimSums::Assign(const TDimSums& other) {
  if (&other == this) return;
  FItems.clear();
  for (const auto& src : other.FItems) CopyAll(Add(), *src);
}

int TDimSums::DimensionCount() const {
  return static_cast<int>(std::count_if(FItems.begin(), FItems.end(), [](const auto& i) {
    return i->DimSumType == TDimSumType::dsDimension;
  }));
}

int TDimSums::SummaryCount() const {
  return static_cast<int>(std::count_if(FItems.begin(), FItems.end(), [](const auto& i) {
    return i->DimSumType == TDimSumType::dsSummary;
  }));
}

int TDimSums::FirstUnusedIndex() const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i).DimSumType == TDimSumType::dsUnknown) return i;
  return -1;
}

int TDimSums::IndexOfField(std::string_view name, TFieldType type) const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i).BaseFieldType == type && SameText(Items(i).BaseFieldName, name)) return i;
  return -1;
}

TDimSum* TDimSums::FindPlain(std::string_view name) const {
  for (const auto& i : FItems)
    if (i->IsPlain() && SameText(i->BaseFieldName, name)) return i.get();
  return nullptr;
}

TDimSum* TDimSums::FindSummary(std::string_view name) const {
  for (const auto& i : FItems)
    if (i->DimSumType == TDimSumType::dsSummary && SameText(i->BaseFieldName, name)) return i.get();
  return nullptr;
}

void TDimSums::ForgetDataSet(TDataSet* ds) {
  for (const auto& i : FItems) {
    if (i->LookupDataSet() == ds) i->SetLookupDataSet(nullptr);
    TDimCollection& parts = i->DimCollection();
    for (int p = 0; p < parts.Count(); ++p)
      if (parts.Items(p).LookupDataSet() == ds) parts.Items(p).SetLookupDataSet(nullptr);
  }
}

}  // namespace qd
