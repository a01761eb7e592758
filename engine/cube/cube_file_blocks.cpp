#include "engine/cube/cube_file_blocks.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/arrays/string_array.h"
#include "engine/arrays/typed_arrays.h"

namespace qd::cube_blocks {
namespace {

// Common block of dimensions and summaries.
constexpr TTag kCommon = 0x300;
constexpr TTag kTagMapIndex = 0x305, kTagBaseField = 0x30A, kTagDisplayName = 0x30F,
               kTagComposite = 0x314, kTagComposedFields = 0x319;
// Dimension block.
constexpr TTag kDimension = 0x400;
constexpr TTag kTagAttributes = 0x405, kTagParents = 0x40A, kTagTextKeys = 0x40F,
               kTagMemberKeys = 0x414, kTagTextKey = 0x419, kTagHasHierarchy = 0x41E,
               kTagGroup = 0x423, kTagLookupLoaded = 0x428, kTagUsedMembers = 0x42D,
               kTagTotalAppearance = 0x432, kTagComponents = 0x437, kTagDefaultAttribute = 0x441,
               kTagDatabaseOrder = 0x446, kTagSortType = 0x44B, kTagTransformation = 0x450,
               kTagSeriesCount = 0x455, kTagTransformMethod = 0x45A;
// Attribute list.
constexpr TTag kAttributes = 0x200;
constexpr TTag kTagAttributeNames = 0x205, kTagAttributeValues = 0x20A;
// Components.
constexpr TTag kComponent = 0xE00;
constexpr TTag kTagComponentField = 0xE05, kTagComponentFormat = 0xE0A;

}  // namespace

void RaiseBadValue() {
  throw EStreamError(Msg(TMsg::SInvalidPropertyValue));
}

std::unique_ptr<TIntegerArray> ToIntegerArray(const std::vector<std::int32_t>& v, bool sorted) {
  auto a = std::make_unique<TIntegerArray>();
  a->SetCount(static_cast<std::int32_t>(v.size()));
  if (!v.empty()) std::memcpy(a->Data(), v.data(), v.size() * 4);
  if (sorted) a->SetSorted(true);
  return a;
}

std::vector<std::int32_t> FromIntegerArray(const TIntegerArray& a) {
  return std::vector<std::int32_t>(a.Data(), a.Data() + a.Count());
}

std::unique_ptr<TStringArray> ToStringArray(const std::vector<std::string>& v, bool sorted) {
  auto a = std::make_unique<TStringArray>();
  for (const std::string& s : v) a->Insert(a->Count(), s);
  if (sorted) a->SetSorted(true);  // already in order: no reordering
  return a;
}

std::vector<std::int32_t> ReadIntegers(TTagReader& r, bool* sorted = nullptr) {
  TIntegerArray a;
  r.ReadObject(a);
  if (sorted) *sorted = a.Sorted();
  return FromIntegerArray(a);
}

// ---- Common block ----

void WriteCommon(TTagWriter& w, const TDimensionOrSummary& d) {
  w.WriteTag(kCommon);
  if (d.MapIndex != 0) w.WriteIntegerField(kTagMapIndex, d.MapIndex);
  if (!d.BaseFieldName.empty()) w.WriteStringField(kTagBaseField, d.BaseFieldName);
  if (!d.DisplayName.empty()) w.WriteStringField(kTagDisplayName, d.DisplayName);
  if (d.Composite) w.WriteBooleanField(kTagComposite, true);
  if (!d.ComposedFields.empty()) w.WriteStringField(kTagComposedFields, d.ComposedFields);
  w.WriteTag(EndTag(kCommon));
}

void ReadCommon(TTagReader& r, TDimensionOrSummary& d) {
  r.ReadBlock(kCommon, [&](TTag tag) {
    switch (tag) {
      case kTagMapIndex:
        d.MapIndex = r.ReadInteger();
        return true;
      case kTagBaseField:
        d.BaseFieldName = r.ReadString();
        return true;
      case kTagDisplayName:
        d.DisplayName = r.ReadString();
        return true;
      case kTagComposite:
        d.Composite = r.ReadBoolean();
        return true;
      case kTagComposedFields:
        d.ComposedFields = r.ReadString();
        return true;
      default:
        return false;
    }
  });
}

// ---- Attribute list and components ----

void WriteAttributes(TTagWriter& w, const TAttributeList& list) {
  w.WriteTag(kAttributes);
  if (list.Count() > 0) {
    std::vector<std::string> names;
    for (int i = 0; i < list.Count(); ++i) names.push_back(list.Name(i));
    auto nameArray = ToStringArray(names, false);
    w.WriteRawBlock(kTagAttributeNames, nameArray.get());
    // A reader gives each name the next array block. An attribute without
    // values writes no block, unless a later attribute has values: then an
    // empty block (begin and end tag) keeps those values with their own name.
    int last = list.Count() - 1;
    while (last >= 0 && list.Values(last).empty()) --last;
    w.WriteTag(kTagAttributeValues);
    for (int i = 0; i < list.Count(); ++i) {
      if (!list.Values(i).empty()) {
        ToStringArray(list.Values(i), false)->Write(w);
      } else if (i < last) {
        w.WriteTag(TBaseArray::kBaseTag);
        w.WriteTag(EndTag(TBaseArray::kBaseTag));
      }
    }
  }
  w.WriteTag(EndTag(kAttributes));
}

void ReadAttributes(TTagReader& r, TAttributeList& list) {
  list.Clear();
  std::vector<std::string> names;
  r.ReadBlock(kAttributes, [&](TTag tag) {
    if (tag == kTagAttributeNames) {
      TStringArray a;
      a.Read(r);
      names = a.ToVector();
      for (const std::string& n : names) list.Add(n);
      return true;
    }
    if (tag != kTagAttributeValues) return false;
    for (const std::string& n : names) {
      const std::size_t at = r.Position();
      const bool hasBlock = r.ReadTag() == TBaseArray::kBaseTag;
      r.Seek(at);
      if (!hasBlock) continue;
      TStringArray a;
      a.Read(r);
      list.Values(list.IndexOf(n)) = a.ToVector();
    }
    return true;
  });
}

void WriteComponents(TTagWriter& w, const std::vector<TDimComponent>& list) {
  w.WriteTag(TBaseArray::kBaseTag);
  w.WriteIntegerField(TBaseArray::kTagCount, static_cast<std::int32_t>(list.size()));
  w.WriteTag(TBaseArray::kTagItems);
  for (const TDimComponent& c : list) {
    w.WriteTag(kComponent);
    if (!c.FieldName.empty()) w.WriteStringField(kTagComponentField, c.FieldName);
    if (!c.FormatString.empty()) w.WriteStringField(kTagComponentFormat, c.FormatString);
    w.WriteTag(EndTag(kComponent));
  }
  w.WriteTag(EndTag(TBaseArray::kBaseTag));
}

// Reads an object array whose elements are raw blocks, each by `element`.
void ReadComponents(TTagReader& r, std::vector<TDimComponent>& list) {
  list.clear();
  ReadElements(r, [&] {
    TDimComponent c;
    r.ReadBlock(kComponent, [&](TTag tag) {
      if (tag == kTagComponentField)
        c.FieldName = r.ReadString();
      else if (tag == kTagComponentFormat)
        c.FormatString = r.ReadString();
      else
        return false;
      return true;
    });
    list.push_back(std::move(c));
  });
}

// ---- Dimension block ----

void WriteDimension(TTagWriter& w, const TDimension& d) {
  WriteCommon(w, d);
  w.WriteTag(kDimension);
  if (d.Attributes.Count() > 0)
    WriteObjectInPlace(w, kTagAttributes, [&] { WriteAttributes(w, d.Attributes); });
  if (!d.Parents.empty()) {
    auto a = ToIntegerArray(d.Parents, false);
    w.WriteObjectField(kTagParents, a.get());
  }
  if (d.TextKey) w.WriteBooleanField(kTagTextKey, true);
  const bool textKeys = d.TextKey && !d.TextKeys.empty();
  if (textKeys) {
    auto a = ToStringArray(d.TextKeys, d.TextKeysSorted);
    w.WriteObjectField(kTagTextKeys, a.get());
  } else if (!d.MemberKeys.empty()) {
    auto a = ToIntegerArray(d.MemberKeys, d.MemberKeysSorted);
    w.WriteObjectField(kTagMemberKeys, a.get());
  }
  if (d.LookupLoaded) w.WriteBooleanField(kTagLookupLoaded, true);
  if (d.Group != TDimGroup::dgRow) w.WriteByteField(kTagGroup, static_cast<std::uint8_t>(d.Group));
  if (static_cast<std::uint8_t>(d.TotalAppearance) != 0)
    w.WriteByteField(kTagTotalAppearance, static_cast<std::uint8_t>(d.TotalAppearance));
  if (d.HasHierarchy) w.WriteBooleanField(kTagHasHierarchy, true);
  if (!d.UsedMembers.empty()) {
    auto a = ToIntegerArray(d.UsedMembers, true);
    w.WriteObjectField(kTagUsedMembers, a.get());
  }
  if (!d.Components.empty())
    WriteObjectInPlace(w, kTagComponents, [&] { WriteComponents(w, d.Components); });
  if (!d.DefaultAttributeName.empty())
    w.WriteStringField(kTagDefaultAttribute, d.DefaultAttributeName);
  if (!d.DatabaseOrder.empty()) {
    auto a = ToIntegerArray(d.DatabaseOrder, false);
    w.WriteObjectField(kTagDatabaseOrder, a.get());
  }
  if (d.SortType != TDimSortType::dsDatabase)
    w.WriteByteField(kTagSortType, static_cast<std::uint8_t>(d.SortType));
  if (d.EnableTransformation) w.WriteBooleanField(kTagTransformation, true);
  if (d.SeriesMemberCount != 0) w.WriteIntegerField(kTagSeriesCount, d.SeriesMemberCount);
  if (d.TransformMethod != TTransformMethod::tmEqualDensity)
    w.WriteByteField(kTagTransformMethod, static_cast<std::uint8_t>(d.TransformMethod));
  w.WriteTag(EndTag(kDimension));
}

// An enumeration stored as its ordinal; ordinals beyond `last` are refused.
template <typename E>
E ReadOrdinal(TTagReader& r, E last) {
  const std::uint8_t v = r.ReadByte();
  if (v > static_cast<std::uint8_t>(last)) RaiseBadValue();
  return static_cast<E>(v);
}

void ReadDimensionBlock(TTagReader& r, TDimension& d) {
  // Absent fields mean ordinal 0 / false, whatever the constructor chose.
  d.TotalAppearance = static_cast<TTotalAppearance>(0);
  r.ReadBlock(kDimension, [&](TTag tag) {
    switch (tag) {
      case kTagAttributes:
        ReadObjectInPlace(r, [&] { ReadAttributes(r, d.Attributes); });
        return true;
      case kTagParents:
        d.Parents = ReadIntegers(r);
        return true;
      case kTagTextKey:
        d.TextKey = r.ReadBoolean();
        return true;
      case kTagTextKeys: {
        TStringArray a;
        r.ReadObject(a);
        d.TextKeys = a.ToVector();
        d.TextKeysSorted = a.Sorted();
        d.MemberKeys.resize(d.TextKeys.size());
        for (std::size_t i = 0; i < d.MemberKeys.size(); ++i)
          d.MemberKeys[i] = static_cast<std::int32_t>(i);
        d.MemberKeysSorted = true;
        return true;
      }
      case kTagMemberKeys:
        d.MemberKeys = ReadIntegers(r, &d.MemberKeysSorted);
        return true;
      case kTagLookupLoaded:
        d.LookupLoaded = r.ReadBoolean();
        return true;
      case kTagGroup:
        d.Group = ReadOrdinal(r, TDimGroup::dgNone);
        return true;
      case kTagTotalAppearance:
        d.TotalAppearance = ReadOrdinal(r, TTotalAppearance::taInvisible);
        return true;
      case kTagHasHierarchy:
        d.HasHierarchy = r.ReadBoolean();
        return true;
      case kTagUsedMembers:
        d.UsedMembers = ReadIntegers(r);
        return true;
      case kTagComponents:
        ReadObjectInPlace(r, [&] { ReadComponents(r, d.Components); });
        return true;
      case kTagDefaultAttribute:
        d.DefaultAttributeName = r.ReadString();
        return true;
      case kTagDatabaseOrder:
        d.DatabaseOrder = ReadIntegers(r);
        return true;
      case kTagSortType:
        d.SortType = ReadOrdinal(r, TDimSortType::dsCustom);
        return true;
      case kTagTransformation:
        d.EnableTransformation = r.ReadBoolean();
        return true;
      case kTagSeriesCount:
        d.SeriesMemberCount = r.ReadInteger();
        return true;
      case kTagTransformMethod:
        d.TransformMethod = ReadOrdinal(r, TTransformMethod::tmEqualRange);
        return true;
      default:
        return false;
    }
  });
  d.BindDefaultAttribute();
}

// Lists that index members must stay inside the member range, or later readers
// of the loaded cube would index past their arrays.
void CheckDimension(const TDimension& d) {
  const auto n = static_cast<std::int32_t>(d.MemberCount());
  for (std::int32_t p : d.Parents)
    if (p < -1 || p >= n) RaiseBadValue();
  if (!d.Parents.empty() && static_cast<std::int32_t>(d.Parents.size()) != n) RaiseBadValue();
  for (std::int32_t m : d.UsedMembers)
    if (m < 0 || m >= n) RaiseBadValue();
}

}  // namespace qd::cube_blocks
