#include "model/pivot_state.h"

#include <algorithm>

#include "engine/arrays/base_array.h"
#include "engine/cube/cube_file_blocks.h"
#include "engine/cube/dim_map.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"

namespace qd {
namespace {

using cube_blocks::RaiseBadValue;
using cube_blocks::ReadElements;
using cube_blocks::ReadObjectInPlace;
using cube_blocks::WriteObjectInPlace;

// TOpenDimNode.
constexpr TTag kOpenNode = 0x800;
constexpr TTag kTagOpenChildren = 0x805, kTagOpenMember = 0x80A, kTagOpenColumn = 0x80F,
               kTagOpenDim = 0x814, kTagOpenHierarchy = 0x819;
// Expansion deeper than this cannot come from a grid: refused rather than
// followed down the stack.
constexpr int kMaxOpenDepth = 256;

// TSaveMember.
constexpr TTag kTagMemberKey = 0xA05, kTagTextKey = 0xA0A, kTagGroupHeader = 0xA0F,
               kTagGroupCaption = 0xA14, kTagGroupIndex = 0xA19, kTagHidden = 0xA1E,
               kTagInGroup = 0xA23, kTagReserved = 0xA28;
constexpr TTag kTagByText = 0xB05;
// TStreamedDimState.
constexpr TTag kTagDimField = 0xC05, kTagDimDisplay = 0xC0A, kTagDimSort = 0xC0F,
               kTagDimGroup = 0xC14, kTagDimMultiplier = 0xC19, kTagDimTotal = 0xC1E,
               kTagDimAttribute = 0xC23, kTagDimMembers = 0xC28;
// TStreamedSubFunction and TStreamedSumInfo.
constexpr TTag kTagSubVisible = 0x1105, kTagSubFormat = 0x110A, kTagSubAlignment = 0x110F;
constexpr TTag kTagSumCalculated = 0x1005, kTagSumFormula = 0x100A, kTagSumField = 0x100F,
               kTagSumDisplay = 0x1014;
// TPivotState and TPivotStates.
constexpr TTag kTagRowDims = 0x605, kTagColDims = 0x60A, kTagRowOpen = 0x60F, kTagColOpen = 0x614,
               kTagDimStates = 0x619, kTagSummaries = 0x61E;
constexpr TTag kTagStateNames = 0x705;

bool NextTagIs(const TTagReader& r, TTag tag) {
  if (r.Remaining() < 2) return false;
  TTagReader peek(r);
  return peek.ReadTag() == tag;
}

// Elements of any class with Write, in the object-array form.
template <class T, class W>
void WriteArray(TTagWriter& w, const std::vector<T>& items, W&& write) {
  if (items.empty()) return;
  w.WriteTag(TBaseArray::kBaseTag);
  w.WriteIntegerField(TBaseArray::kTagCount, static_cast<std::int32_t>(items.size()));
  w.WriteTag(TBaseArray::kTagItems);
  for (const T& item : items) write(item);
  w.WriteTag(EndTag(TBaseArray::kBaseTag));
}

template <class T>
void WriteArray(TTagWriter& w, const std::vector<T>& items) {
  WriteArray(w, items, [&](const T& item) { item.Write(w); });
}

template <class T>
void ReadArray(TTagReader& r, std::vector<T>& items) {
  std::vector<T> read;
  ReadElements(r, [&] {
    read.emplace_back();
    read.back().Read(r);
  });
  items = std::move(read);
}

// A string list in the string array's stream form (duplicates accepted).
void WriteNames(TTagWriter& w, TTag tag, const std::vector<std::string>& names) {
  if (names.empty()) return;
  WriteObjectInPlace(w, tag, [&] {
    w.WriteTag(TBaseArray::kBaseTag);
    w.WriteByteField(TBaseArray::kTagDuplicates, static_cast<std::uint8_t>(TDuplicates::dupAccept));
    w.WriteIntegerField(TBaseArray::kTagCount, static_cast<std::int32_t>(names.size()));
    w.WriteTag(TBaseArray::kTagItems);
    for (const auto& n : names) w.WriteString(n);
    w.WriteTag(EndTag(TBaseArray::kBaseTag));
  });
}

std::vector<std::string> ReadNames(TTagReader& r) {
  std::vector<std::string> names;
  ReadObjectInPlace(r, [&] {
    std::int32_t count = 0;
    r.ReadBlock(TBaseArray::kBaseTag, [&](TTag tag) {
      if (tag == TBaseArray::kTagCount) {
        count = r.ReadInteger();
        // Every stored string takes at least two bytes.
        if (count < 0 || static_cast<std::size_t>(count) > r.Remaining() / 2) RaiseBadValue();
        return true;
      }
      if (tag != TBaseArray::kTagItems) return false;
      names.clear();
      for (std::int32_t i = 0; i < count; ++i) names.push_back(r.ReadString());
      return true;
    });
  });
  return names;
}

void WriteOpenNode(TTagWriter& w, const TOpenDimNode& n) {
  w.WriteTag(kOpenNode);
  if (n.Member != 0) w.WriteIntegerField(kTagOpenMember, n.Member);
  if (n.HeaderColumn != 0) w.WriteIntegerField(kTagOpenColumn, n.HeaderColumn);
  if (n.DimIndex != 0) w.WriteIntegerField(kTagOpenDim, n.DimIndex);
  if (n.IntoHierarchy) w.WriteBooleanField(kTagOpenHierarchy, true);
  if (!n.Children.empty())
    WriteObjectInPlace(w, kTagOpenChildren, [&] { WriteOpenDimNodes(w, n.Children); });
  w.WriteTag(EndTag(kOpenNode));
}

void ReadOpenNodes(TTagReader& r, TOpenDimNodes& nodes, int depth) {
  if (depth > kMaxOpenDepth) RaiseBadValue();
  TOpenDimNodes read;
  ReadElements(r, [&] {
    TOpenDimNode n;
    n.Member = 0;  // absent fields are 0
    n.DimIndex = 0;
    r.ReadBlock(kOpenNode, [&](TTag tag) {
      switch (tag) {
        case kTagOpenMember:
          n.Member = r.ReadInteger();
          return true;
        case kTagOpenColumn:
          n.HeaderColumn = r.ReadInteger();
          return true;
        case kTagOpenDim:
          n.DimIndex = r.ReadInteger();
          return true;
        case kTagOpenHierarchy:
          n.IntoHierarchy = r.ReadBoolean();
          return true;
        case kTagOpenChildren:
          ReadObjectInPlace(r, [&] { ReadOpenNodes(r, n.Children, depth + 1); });
          return true;
        default:
          return false;
      }
    });
    read.push_back(std::move(n));
  });
  nodes = std::move(read);
}

}  // namespace

void WriteOpenDimNodes(TTagWriter& writer, const TOpenDimNodes& nodes) {
  WriteArray(writer, nodes, [&](const TOpenDimNode& n) { WriteOpenNode(writer, n); });
}

void ReadOpenDimNodes(TTagReader& reader, TOpenDimNodes& nodes) {
  ReadOpenNodes(reader, nodes, 0);
}

std::int32_t TPivotStreamed::Size() const {
  TMemoryStream scratch;
  TTagWriter w(scratch);
  Write(w);
  return static_cast<std::int32_t>(scratch.Size());
}

// ---- TSaveMember, TSaveMembers ----

void TSaveMember::Write(TTagWriter& w) const {
  w.WriteTag(kBaseTag);
  if (MemberKey != 0) w.WriteIntegerField(kTagMemberKey, MemberKey);
  if (!TextKey.empty()) w.WriteStringField(kTagTextKey, TextKey);
  if (IsGroupHeader) w.WriteBooleanField(kTagGroupHeader, true);
  if (!GroupCaption.empty()) w.WriteStringField(kTagGroupCaption, GroupCaption);
  if (GroupIndex != 0) w.WriteIntegerField(kTagGroupIndex, GroupIndex);
  if (Hidden) w.WriteBooleanField(kTagHidden, true);
  if (InGroup) w.WriteBooleanField(kTagInGroup, true);
  if (Reserved != 0) w.WriteIntegerField(kTagReserved, Reserved);
  w.WriteTag(EndTag(kBaseTag));
}

void TSaveMember::Read(TTagReader& r) {
  r.ReadBlock(kBaseTag, [&](TTag tag) {
    switch (tag) {
      case kTagMemberKey:
        MemberKey = r.ReadInteger();
        return true;
      case kTagTextKey:
        TextKey = r.ReadString();
        return true;
      case kTagGroupHeader:
        IsGroupHeader = r.ReadBoolean();
        return true;
      case kTagGroupCaption:
        GroupCaption = r.ReadString();
        return true;
      case kTagGroupIndex:
        GroupIndex = r.ReadInteger();
        return true;
      case kTagHidden:
        Hidden = r.ReadBoolean();
        return true;
      case kTagInGroup:
        InGroup = r.ReadBoolean();
        return true;
      case kTagReserved:
        Reserved = r.ReadInteger();
        return true;
      default:
        return false;
    }
  });
}

void TSaveMembers::Write(TTagWriter& w) const {
  WriteArray(w, Items);
  w.WriteTag(kBaseTag);
  if (IdentifiedByText) w.WriteBooleanField(kTagByText, true);
  w.WriteTag(EndTag(kBaseTag));
}

void TSaveMembers::Read(TTagReader& r) {
  if (NextTagIs(r, TBaseArray::kBaseTag)) ReadArray(r, Items);
  r.ReadBlock(kBaseTag, [&](TTag tag) {
    if (tag != kTagByText) return false;
    IdentifiedByText = r.ReadBoolean();
    return true;
  });
}

// ---- TStreamedDimState ----

void TStreamedDimState::Write(TTagWriter& w) const {
  w.WriteTag(kBaseTag);
  w.WriteStringField(kTagDimField, FieldName);
  w.WriteStringField(kTagDimDisplay, DisplayName);
  if (SortType != 0) w.WriteByteField(kTagDimSort, SortType);
  if (Group != 0) w.WriteByteField(kTagDimGroup, Group);
  if (Multiplier != 0) w.WriteInt64Field(kTagDimMultiplier, Multiplier);
  if (TotalAppearance != 0) w.WriteByteField(kTagDimTotal, TotalAppearance);
  w.WriteStringField(kTagDimAttribute, Attribute);
  if (!Members.Items.empty()) WriteObjectInPlace(w, kTagDimMembers, [&] { Members.Write(w); });
  w.WriteTag(EndTag(kBaseTag));
}

void TStreamedDimState::Read(TTagReader& r) {
  r.ReadBlock(kBaseTag, [&](TTag tag) {
    switch (tag) {
      case kTagDimField:
        FieldName = r.ReadString();
        return true;
      case kTagDimDisplay:
        DisplayName = r.ReadString();
        return true;
      case kTagDimSort:
        SortType = r.ReadByte();
        return true;
      case kTagDimGroup:
        Group = r.ReadByte();
        return true;
      case kTagDimMultiplier:
        Multiplier = r.ReadInt64();
        return true;
      case kTagDimTotal:
        TotalAppearance = r.ReadByte();
        return true;
      case kTagDimAttribute:
        Attribute = r.ReadString();
        return true;
      case kTagDimMembers:
        ReadObjectInPlace(r, [&] { Members.Read(r); });
        return true;
      default:
        return false;
    }
  });
}

// ---- Summary settings ----

void TStreamedSubFunction::Write(TTagWriter& w) const {
  w.WriteTag(kBaseTag);
  if (Visible) w.WriteBooleanField(kTagSubVisible, true);
  if (!FormatString.empty()) w.WriteStringField(kTagSubFormat, FormatString);
  if (Alignment != 0) w.WriteByteField(kTagSubAlignment, Alignment);
  w.WriteTag(EndTag(kBaseTag));
}

void TStreamedSubFunction::Read(TTagReader& r) {
  r.ReadBlock(kBaseTag, [&](TTag tag) {
    switch (tag) {
      case kTagSubVisible:
        Visible = r.ReadBoolean();
        return true;
      case kTagSubFormat:
        FormatString = r.ReadString();
        return true;
      case kTagSubAlignment:
        Alignment = r.ReadByte();
        return true;
      default:
        return false;
    }
  });
}

void TStreamedFunction::Write(TTagWriter& w) const {
  WriteArray(w, SubFunctions);
}

void TStreamedFunction::Read(TTagReader& r) {
  ReadArray(r, SubFunctions);
}

void TStreamedSumInfo::Write(TTagWriter& w) const {
  WriteArray(w, Functions);
  w.WriteTag(kBaseTag);
  if (Calculated) w.WriteBooleanField(kTagSumCalculated, true);
  if (!Formula.empty()) w.WriteStringField(kTagSumFormula, Formula);
  if (!FieldName.empty()) w.WriteStringField(kTagSumField, FieldName);
  if (!DisplayName.empty()) w.WriteStringField(kTagSumDisplay, DisplayName);
  w.WriteTag(EndTag(kBaseTag));
}

void TStreamedSumInfo::Read(TTagReader& r) {
  if (NextTagIs(r, TBaseArray::kBaseTag)) ReadArray(r, Functions);
  r.ReadBlock(kBaseTag, [&](TTag tag) {
    switch (tag) {
      case kTagSumCalculated:
        Calculated = r.ReadBoolean();
        return true;
      case kTagSumFormula:
        Formula = r.ReadString();
        return true;
      case kTagSumField:
        FieldName = r.ReadString();
        return true;
      case kTagSumDisplay:
        DisplayName = r.ReadString();
        return true;
      default:
        return false;
    }
  });
}

void TStreamedSummarySettings::Write(TTagWriter& w) const {
  WriteArray(w, Items);
}

void TStreamedSummarySettings::Read(TTagReader& r) {
  ReadArray(r, Items);
}

// ---- TPivotState ----

void TPivotState::Write(TTagWriter& w) const {
  w.WriteTag(kBaseTag);
  WriteNames(w, kTagRowDims, RowDims);
  WriteNames(w, kTagColDims, ColDims);
  if (!RowExpansion.empty())
    WriteObjectInPlace(w, kTagRowOpen, [&] { WriteOpenDimNodes(w, RowExpansion); });
  if (!ColExpansion.empty())
    WriteObjectInPlace(w, kTagColOpen, [&] { WriteOpenDimNodes(w, ColExpansion); });
  if (!DimStates.empty()) WriteObjectInPlace(w, kTagDimStates, [&] { WriteArray(w, DimStates); });
  if (!Summaries.Items.empty()) WriteObjectInPlace(w, kTagSummaries, [&] { Summaries.Write(w); });
  w.WriteTag(EndTag(kBaseTag));
}

void TPivotState::Read(TTagReader& r) {
  r.ReadBlock(kBaseTag, [&](TTag tag) {
    switch (tag) {
      case kTagRowDims:
        RowDims = ReadNames(r);
        return true;
      case kTagColDims:
        ColDims = ReadNames(r);
        return true;
      case kTagRowOpen:
        ReadObjectInPlace(r, [&] { ReadOpenDimNodes(r, RowExpansion); });
        return true;
      case kTagColOpen:
        ReadObjectInPlace(r, [&] { ReadOpenDimNodes(r, ColExpansion); });
        return true;
      case kTagDimStates:
        ReadObjectInPlace(r, [&] { ReadArray(r, DimStates); });
        return true;
      case kTagSummaries:
        ReadObjectInPlace(r, [&] { Summaries.Read(r); });
        return true;
      default:
        return false;
    }
  });
}

// ---- TPivotStates ----

int TPivotStates::IndexOf(const std::string& name) const {
  for (std::size_t i = 0; i < FNames.size(); ++i)
    if (SameText(FNames[i], name)) return static_cast<int>(i);
  return -1;
}

int TPivotStates::Add(const std::string& name, TPivotState state) {
  FStates.push_back(std::move(state));
  FNames.push_back(name);
  return Count() - 1;
}

void TPivotStates::Delete(int i) {
  FStates.erase(FStates.begin() + i);
  FNames.erase(FNames.begin() + i);
}

void TPivotStates::Clear() {
  FStates.clear();
  FNames.clear();
}

void TPivotStates::Write(TTagWriter& w) const {
  if (FStates.empty()) return;
  WriteArray(w, FStates);
  w.WriteTag(kBaseTag);
  WriteNames(w, kTagStateNames, FNames);
  w.WriteTag(EndTag(kBaseTag));
}

void TPivotStates::Read(TTagReader& r) {
  std::vector<TPivotState> states;
  std::vector<std::string> names;
  if (NextTagIs(r, TBaseArray::kBaseTag)) ReadArray(r, states);
  if (NextTagIs(r, kBaseTag)) {
    r.ReadBlock(kBaseTag, [&](TTag tag) {
      if (tag != kTagStateNames) return false;
      names = ReadNames(r);
      return true;
    });
  }
  // Names and states go by position; a list that lost some of either keeps
  // only the pairs it has, and a state without a name gets an empty one.
  names.resize(states.size());
  FStates = std::move(states);
  FNames = std::move(names);
}

}  // namespace qd
