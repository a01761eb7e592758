#include "engine/cube/cube_file_blocks.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/arrays/string_array.h"
#include "engine/arrays/typed_arrays.h"

namespace qd::cube_blocks {
namespace {

std::unique_ptr<TIntegerArray> ToIntegerArray(const std::vector<std::int32_t>& v, bool sorted) {
  auto a = std::make_unique<TIntegerArray>();
  a->SetCount(static_cast<std::int32_t>(v.size()));
  if (!v.empty()) std::memcpy(a->Data(), v.data(), v.size() * 4);
  if (sorted) a->SetSorted(true);
  return a;
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
  return std::vector<std::int32_t>(a.Data(), a.Data() + a.Count());
}

// ---- Attribute list ----
// Hand-written: the values follow the names, one raw string-array block per
// name in the stored order, and an attribute without values has no block.

constexpr TTag kAttributes = 0x200;
constexpr TTag kTagAttributeNames = 0x205, kTagAttributeValues = 0x20A;

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
        w.WriteTag(array_form::kBase);
        w.WriteTag(EndTag(array_form::kBase));
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
      if (!NextTagIs(r, array_form::kBase)) continue;
      TStringArray a;
      a.Read(r);
      list.Values(list.IndexOf(n)) = a.ToVector();
    }
    return true;
  });
}

// ---- Field kinds of the dimension block ----

//! A list of member indexes stored as an integer array object; nothing when empty.
template <auto Member, bool Sorted>
constexpr TFieldDecl<TDimension> IntegerList(TTag tag) {
  return Custom<TDimension>(
      tag, TFieldKind::fkObject, [](const TDimension& d) { return !(d.*Member).empty(); },
      [](TTagWriter& w, TTag t, const TDimension& d) {
        w.WriteObjectField(t, ToIntegerArray(d.*Member, Sorted).get());
      },
      [](TTagReader& r, TDimension& d) { d.*Member = ReadIntegers(r); },
      [](TDimension& d) { (d.*Member).clear(); });
}

bool WritesTextKeys(const TDimension& d) {
  return d.TextKey && !d.TextKeys.empty();
}

// Text keys make the member keys the identity over their count.
constexpr auto kTextKeys = Custom<TDimension>(
    0x40F, TFieldKind::fkObject, WritesTextKeys,
    [](TTagWriter& w, TTag t, const TDimension& d) {
      w.WriteObjectField(t, ToStringArray(d.TextKeys, d.TextKeysSorted).get());
    },
    [](TTagReader& r, TDimension& d) {
      TStringArray a;
      r.ReadObject(a);
      d.TextKeys = a.ToVector();
      d.TextKeysSorted = a.Sorted();
      d.MemberKeys.resize(d.TextKeys.size());
      for (std::size_t i = 0; i < d.MemberKeys.size(); ++i)
        d.MemberKeys[i] = static_cast<std::int32_t>(i);
      d.MemberKeysSorted = true;
    },
    [](TDimension& d) {
      d.TextKeys.clear();
      d.TextKeysSorted = false;
    });

// Member keys only when the text keys are not written; they keep their order flag.
constexpr auto kMemberKeys = Custom<TDimension>(
    0x414, TFieldKind::fkObject,
    [](const TDimension& d) { return !WritesTextKeys(d) && !d.MemberKeys.empty(); },
    [](TTagWriter& w, TTag t, const TDimension& d) {
      w.WriteObjectField(t, ToIntegerArray(d.MemberKeys, d.MemberKeysSorted).get());
    },
    [](TTagReader& r, TDimension& d) { d.MemberKeys = ReadIntegers(r, &d.MemberKeysSorted); });

constexpr auto kAttributeList = Custom<TDimension>(
    0x405, TFieldKind::fkObject, [](const TDimension& d) { return d.Attributes.Count() > 0; },
    [](TTagWriter& w, TTag t, const TDimension& d) {
      WriteObjectInPlace(w, t, [&] { WriteAttributes(w, d.Attributes); });
    },
    [](TTagReader& r, TDimension& d) {
      ReadObjectInPlace(r, [&] { ReadAttributes(r, d.Attributes); });
    },
    [](TDimension& d) { d.Attributes.Clear(); });

// clang-format off
constexpr auto kComponent = Block<TDimComponent>(0xE00, {
    Field<&TDimComponent::FieldName>(0xE05),
    Field<&TDimComponent::FormatString>(0xE0A),
});
// clang-format on

constexpr auto kComponents = Custom<TDimension>(
    0x437, TFieldKind::fkObject, [](const TDimension& d) { return !d.Components.empty(); },
    [](TTagWriter& w, TTag t, const TDimension& d) {
      WriteObjectInPlace(w, t, [&] {
        WriteObjectArray(w, d.Components,
                         [&](const TDimComponent& c) { WriteFields(w, kComponent, c); });
      });
    },
    [](TTagReader& r, TDimension& d) {
      std::vector<TDimComponent> read;
      ReadObjectInPlace(
          r, [&] { ReadObjectArray(r, [&] { ReadFields(r, kComponent, read.emplace_back()); }); });
      d.Components = std::move(read);
    },
    [](TDimension& d) { d.Components.clear(); });

// ---- The blocks ----
// clang-format off

constexpr auto kCommon = Block<TDimensionOrSummary>(0x300, {
    Field<&TDimensionOrSummary::MapIndex>(0x305),
    Field<&TDimensionOrSummary::BaseFieldName>(0x30A),
    Field<&TDimensionOrSummary::DisplayName>(0x30F),
    Field<&TDimensionOrSummary::Composite>(0x314),
    Field<&TDimensionOrSummary::ComposedFields>(0x319),
});

constexpr auto kDimension = Block<TDimension>(0x400, {
    kAttributeList,
    IntegerList<&TDimension::Parents, false>(0x40A),
    Field<&TDimension::TextKey>(0x419),
    kTextKeys,
    kMemberKeys,
    Field<&TDimension::LookupLoaded>(0x428),
    Ordinal<&TDimension::Group, TDimGroup::dgNone>(0x423),
    Ordinal<&TDimension::TotalAppearance, TTotalAppearance::taInvisible>(0x432),
    Field<&TDimension::HasHierarchy>(0x41E),
    IntegerList<&TDimension::UsedMembers, true>(0x42D),
    kComponents,
    Retired(0x43C),
    Field<&TDimension::DefaultAttributeName>(0x441),
    IntegerList<&TDimension::DatabaseOrder, false>(0x446),
    Ordinal<&TDimension::SortType, TDimSortType::dsCustom>(0x44B),
    Field<&TDimension::EnableTransformation>(0x450),
    Field<&TDimension::SeriesMemberCount>(0x455),
    Ordinal<&TDimension::TransformMethod, TTransformMethod::tmEqualRange>(0x45A),
});
// clang-format on

static_assert(WellFormed(kCommon) && WellFormed(kDimension) && WellFormed(kComponent));

}  // namespace

void WriteCommon(TTagWriter& w, const TDimensionOrSummary& d) {
  WriteFields(w, kCommon, d);
}

void ReadCommon(TTagReader& r, TDimensionOrSummary& d) {
  ReadFields(r, kCommon, d);
}

void WriteDimension(TTagWriter& w, const TDimension& d) {
  WriteCommon(w, d);
  WriteFields(w, kDimension, d);
}

void ReadDimensionBlock(TTagReader& r, TDimension& d) {
  ReadFields(r, kDimension, d);
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
