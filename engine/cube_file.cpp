#include "engine/cube_file.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>

#include "engine/errors.h"
#include "engine/lzss.h"
#include "engine/messages.h"
#include "engine/progress.h"
#include "engine/string_array.h"
#include "engine/typed_arrays.h"

namespace qd {
namespace {

// Container.
constexpr TTag kContainer = 0x1200;
constexpr TTag kTagCube = 0x1205;
constexpr TTag kTagUserData = 0x1214;
// Cube stream.
constexpr TTag kCubeStream = 0x500;
constexpr TTag kTagVersion = 0x505;
constexpr TTag kTagFactTable = 0x514;
constexpr TTag kTagDimensions = 0x519;
constexpr TTag kTagSummaries = 0x51E;
// Common block.
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
// Fact table's own block.
constexpr TTag kFacts = 0xF00;
constexpr TTag kTagFactDims = 0xF05, kTagFactSums = 0xF0A;

[[noreturn]] void RaiseBadValue() {
  throw EStreamError(Msg(TMsg::SInvalidPropertyValue));
}

void RequireActive(const TCustomVantra& cube) {
  if (!cube.Active()) throw ECubeError(Msg(TMsg::SCannotSaveInactiveCube));
}

// An object field whose block is written in place: tag, code 19, a size that is
// filled in once the block is complete. Nothing remains when the block is empty.
template <typename F>
void WriteObjectInPlace(TTagWriter& w, TTag tag, F&& block) {
  TMemoryStream& s = w.Stream();
  const std::size_t start = s.Position();
  w.WriteTag(tag);
  const std::uint8_t code = static_cast<std::uint8_t>(TValueCode::vcObject);
  w.WriteBytes(&code, 1);
  const std::size_t sizePos = s.Position();
  const std::uint32_t zero = 0;
  w.WriteBytes(&zero, 4);
  block();
  const std::size_t end = s.Position();
  const std::size_t size = end - sizePos - 4;
  if (size == 0) {
    s.SetSize(start);
    return;
  }
  if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw EStreamError(Msg(TMsg::SInvalidPropertyValue));
  const std::uint32_t size32 = static_cast<std::uint32_t>(size);
  s.Seek(sizePos);
  s.Write(&size32, 4);
  s.Seek(end);
}

// Reads an object value's code and size, then the block with `read`; the block
// must end exactly where the size says.
template <typename F>
void ReadObjectInPlace(TTagReader& r, F&& read) {
  const auto head = r.ReadBytes(1);
  if (head[0] != static_cast<std::uint8_t>(TValueCode::vcObject)) RaiseBadValue();
  const auto sizeBytes = r.ReadBytes(4);
  std::uint32_t size;
  std::memcpy(&size, sizeBytes.data(), 4);
  r.Require(size);
  const std::size_t end = r.Position() + size;
  read();
  if (r.Position() != end) RaiseBadValue();
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
    w.WriteTag(kTagAttributeValues);
    for (int i = 0; i < list.Count(); ++i) {
      auto values = ToStringArray(list.Values(i), false);
      values->Write(w);  // an empty list writes nothing
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
template <typename F>
void ReadElements(TTagReader& r, F&& element) {
  std::int32_t count = 0;
  r.ReadBlock(TBaseArray::kBaseTag, [&](TTag tag) {
    if (tag == TBaseArray::kTagCount) {
      count = r.ReadInteger();
      return true;
    }
    if (tag != TBaseArray::kTagItems) return false;
    // Every element takes at least a begin and an end tag.
    if (count < 0 || static_cast<std::size_t>(count) > r.Remaining() / (2 * kTagSize))
      RaiseBadValue();
    for (std::int32_t i = 0; i < count; ++i) element();
    return true;
  });
}

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

// ---- Fact table ----

void WriteFacts(TTagWriter& w, const TFactTable& f) {
  if (f.RecordCount() > 0) {
    w.WriteTag(TBaseArray::kBaseTag);
    w.WriteIntegerField(TBaseArray::kTagItemSize, f.RecordSize());
    w.WriteByteField(TBaseArray::kTagDuplicates, static_cast<std::uint8_t>(TDuplicates::dupAccept));
    w.WriteIntegerField(TBaseArray::kTagCount, f.RecordCount());
    w.WriteTag(TBaseArray::kTagItems);
    w.WriteBinary(f.Data(), static_cast<std::size_t>(f.RecordCount()) * f.RecordSize());
    w.WriteTag(EndTag(TBaseArray::kBaseTag));
  }
  w.WriteTag(kFacts);
  if (f.DimCount() != 0) w.WriteIntegerField(kTagFactDims, f.DimCount());
  if (f.SumCount() != 0) w.WriteIntegerField(kTagFactSums, f.SumCount());
  w.WriteTag(EndTag(kFacts));
}

std::unique_ptr<TFactTable> ReadFacts(TTagReader& r) {
  std::int32_t recordSize = 0, count = 0;
  std::span<const std::uint8_t> records;
  const std::size_t at = r.Position();
  const bool generic = r.ReadTag() == TBaseArray::kBaseTag;
  r.Seek(at);
  if (generic) {
    r.ReadBlock(TBaseArray::kBaseTag, [&](TTag tag) {
      switch (tag) {
        case TBaseArray::kTagItemSize:
          recordSize = r.ReadInteger();
          return true;
        case TBaseArray::kTagCount:
          count = r.ReadInteger();
          return true;
        case TBaseArray::kTagItems:
          records = r.ReadBinary();
          return true;
        default:
          return false;
      }
    });
  }
  std::int32_t dims = 0, sums = 0;
  r.ReadBlock(kFacts, [&](TTag tag) {
    if (tag == kTagFactDims)
      dims = r.ReadInteger();
    else if (tag == kTagFactSums)
      sums = r.ReadInteger();
    else
      return false;
    return true;
  });
  if (dims < 0 || sums < 0 || dims > 0xFFFF || sums > 0xFFFF || count < 0) RaiseBadValue();
  auto facts = std::make_unique<TFactTable>(dims, sums);
  if (count > 0 || !records.empty()) {
    if (recordSize != facts->RecordSize() || recordSize <= 0 ||
        records.size() != static_cast<std::size_t>(count) * static_cast<std::size_t>(recordSize))
      RaiseBadValue();
    facts->Assign(records.data(), count);
  }
  return facts;
}

void CheckFacts(const TBuiltCube& b) {
  const TFactTable& f = *b.FactTable;
  if (f.DimCount() != static_cast<int>(b.Dimensions.size()) ||
      f.SumCount() != static_cast<int>(b.Summaries.size()))
    RaiseBadValue();
  std::vector<std::int32_t> counts;
  for (const auto& d : b.Dimensions) counts.push_back(d->MemberCount());
  for (std::int32_t r = 0; r < f.RecordCount(); ++r)
    for (int d = 0; d < f.DimCount(); ++d) {
      const std::int32_t m = f.Member(r, d);
      if (m < 0 || m >= counts[static_cast<std::size_t>(d)]) RaiseBadValue();
    }
}

}  // namespace

void WriteCubeStream(const TCustomVantra& cube, TTagWriter& w) {
  RequireActive(cube);
  w.WriteTag(kCubeStream);
  w.WriteIntegerField(kTagVersion, kCubeStreamVersion);
  const TDimensions& dims = cube.Dimensions();
  if (!dims.empty())
    WriteObjectInPlace(w, kTagDimensions, [&] {
      w.WriteTag(TBaseArray::kBaseTag);
      w.WriteIntegerField(TBaseArray::kTagCount, static_cast<std::int32_t>(dims.size()));
      w.WriteTag(TBaseArray::kTagItems);
      for (const auto& d : dims) WriteDimension(w, *d);
      w.WriteTag(EndTag(TBaseArray::kBaseTag));
    });
  const TSummaries& sums = cube.Summaries();
  if (!sums.empty())
    WriteObjectInPlace(w, kTagSummaries, [&] {
      w.WriteTag(TBaseArray::kBaseTag);
      w.WriteIntegerField(TBaseArray::kTagCount, static_cast<std::int32_t>(sums.size()));
      w.WriteTag(TBaseArray::kTagItems);
      for (const auto& s : sums) WriteCommon(w, *s);
      w.WriteTag(EndTag(TBaseArray::kBaseTag));
    });
  if (const TFactTable* f = cube.FactTable())
    WriteObjectInPlace(w, kTagFactTable, [&] { WriteFacts(w, *f); });
  w.WriteTag(EndTag(kCubeStream));
}

void ReadCubeStream(TCustomVantra& cube, TTagReader& r) {
  TBuiltCube& b = cube.Built();
  r.ReadBlock(kCubeStream, [&](TTag tag) {
    switch (tag) {
      case kTagVersion: {
        const std::int32_t v = r.ReadInteger();
        if (v < kFirstAcceptedCubeVersion || v > kCubeStreamVersion)
          throw ECubeError(Msg(TMsg::SEarlyStreamVersion));
        return true;
      }
      case kTagDimensions: {
        TDimensions dims;
        ReadObjectInPlace(r, [&] {
          ReadElements(r, [&] {
            auto d = std::make_unique<TDimension>();
            ReadCommon(r, *d);
            ReadDimensionBlock(r, *d);
            CheckDimension(*d);
            dims.push_back(std::move(d));
          });
        });
        b.Dimensions = std::move(dims);
        return true;
      }
      case kTagSummaries: {
        TSummaries sums;
        ReadObjectInPlace(r, [&] {
          ReadElements(r, [&] {
            auto s = std::make_unique<TSummary>();
            ReadCommon(r, *s);
            sums.push_back(std::move(s));
          });
        });
        b.Summaries = std::move(sums);
        return true;
      }
      case kTagFactTable: {
        std::unique_ptr<TFactTable> facts;
        ReadObjectInPlace(r, [&] { facts = ReadFacts(r); });
        b.FactTable = std::move(facts);
        return true;
      }
      default:
        return false;
    }
  });
  // A cube stream without a fact table still loads as a cube without records.
  if (!b.FactTable)
    b.FactTable = std::make_unique<TFactTable>(static_cast<int>(b.Dimensions.size()),
                                               static_cast<int>(b.Summaries.size()));
  CheckFacts(b);
}

void SaveCubeToStream(const TCustomVantra& cube, TMemoryStream& stream,
                      std::span<const std::uint8_t> user) {
  RequireActive(cube);
  TTagWriter w(stream);
  w.WriteTag(kContainer);
  WriteObjectInPlace(w, kTagCube, [&] { WriteCubeStream(cube, w); });
  if (!user.empty()) {
    w.WriteTag(kTagUserData);
    w.WriteBinary(user.data(), user.size());
  }
  w.WriteTag(EndTag(kContainer));
}

void LoadCubeFromStream(TCustomVantra& cube, TMemoryStream& stream, TUserBuffer* user) {
  TTagReader r(stream);
  bool read = false;
  if (user) user->Received = 0;
  try {
    r.ReadBlock(kContainer, [&](TTag tag) {
      if (tag == kTagCube) {
        ReadObjectInPlace(r, [&] {
          if (cube.Active()) cube.SetActive(false);
          cube.DoBeforeOpen();
          TBuiltCube& b = cube.Built();
          b.KeySet.Clear();
          b.LookupFields.clear();
          try {
            ReadCubeStream(cube, r);
          } catch (...) {
            cube.SetActiveFlag(false);
            b.DiscardLists();
            b.FactTable.reset();
            throw;
          }
          read = true;
        });
        return true;
      }
      if (tag == kTagUserData) {
        if (!user || !user->Data) return false;
        const auto bytes = r.ReadBinary();
        const std::size_t n = std::min(bytes.size(), user->Size);
        if (n > 0) std::memcpy(user->Data, bytes.data(), n);
        user->Received = n;
        return true;
      }
      return false;
    });
  } catch (...) {
    stream.Seek(r.Position());
    // A cube already read is not left half-announced: a container that breaks
    // after it leaves the cube inactive, as any other malformed stream does.
    if (read) {
      cube.SetActiveFlag(false);
      cube.Built().DiscardLists();
      cube.Built().FactTable.reset();
    }
    throw;
  }
  stream.Seek(r.Position());
  if (read) {
    cube.SetActiveFlag(true);
    cube.DoAfterOpen();
    cube.NotifyGridModels(ccLoaded);
  }
}

void SaveCubeToFile(const TCustomVantra& cube, const std::string& path,
                    std::span<const std::uint8_t> user) {
  RequireActive(cube);
  TBusyCursorScope cursor(TBusyCursor::crHourGlass);
  TMemoryStream s;
  SaveCubeToStream(cube, s, user);
  const std::vector<std::uint8_t> code = CompressBytes(s.Bytes());
  s.Clear();
  // Write beside the target, then replace it in one step.
  const std::filesystem::path target(path);
  const std::string temp = (target.parent_path() / ("." + target.filename().string() + ".tmp" +
                                                    std::to_string(static_cast<long>(::getpid()))))
                               .string();
  try {
    WriteFileBytes(temp, code);
  } catch (...) {
    std::remove(temp.c_str());
    throw;
  }
  std::error_code ec;
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    std::remove(temp.c_str());
    throw EStreamError(ec.message() + ": " + path);
  }
}

void LoadCubeFromFile(TCustomVantra& cube, const std::string& path, TUserBuffer* user) {
  TBusyCursorScope cursor(TBusyCursor::crHourGlass);
  const std::vector<std::uint8_t> code = ReadFileBytes(path);
  // Containers are limited to 2 GB once decoded; a match decodes to at most
  // nine times its code bytes, so larger files cannot be valid.
  constexpr std::size_t kMax = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
  if (code.size() > kMax) RaiseBadValue();
  TMemoryStream s(DecompressBytes(code));
  if (s.Size() > kMax) RaiseBadValue();
  LoadCubeFromStream(cube, s, user);
}

}  // namespace qd
