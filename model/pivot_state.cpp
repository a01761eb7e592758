#include "model/pivot_state.h"

#include <algorithm>

#include "engine/arrays/base_array.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/cube/dim_map.h"
#include "engine/io/saved_fields.h"

namespace qd {

// The block of the named states' names; a friend, for the private lists.
struct TPivotStatesFields;

namespace {

// ---- Field kinds of the layout classes ----

// A string list in the string array's stream form (duplicates accepted).
void WriteNames(TTagWriter& w, TTag tag, const std::vector<std::string>& names) {
  WriteObjectInPlace(w, tag, [&] {
    w.WriteTag(array_form::kBase);
    w.WriteByteField(array_form::kTagDuplicates, static_cast<std::uint8_t>(TDuplicates::dupAccept));
    w.WriteIntegerField(array_form::kTagCount, static_cast<std::int32_t>(names.size()));
    w.WriteTag(array_form::kTagItems);
    for (const auto& n : names) w.WriteString(n);
    w.WriteTag(EndTag(array_form::kBase));
  });
}

std::vector<std::string> ReadNames(TTagReader& r) {
  std::vector<std::string> names;
  ReadObjectInPlace(r, [&] {
    std::int32_t count = 0;
    r.ReadBlock(array_form::kBase, [&](TTag tag) {
      if (tag == array_form::kTagCount) {
        count = r.ReadInteger();
        // Every stored string takes at least two bytes.
        if (count < 0 || static_cast<std::size_t>(count) > r.Remaining() / 2) RaiseBadValue();
        return true;
      }
      if (tag != array_form::kTagItems) return false;
      names.clear();
      for (std::int32_t i = 0; i < count; ++i) names.push_back(r.ReadString());
      return true;
    });
  });
  return names;
}

//! A list of names, nested as a string array; nothing when empty.
template <auto Member>
constexpr TFieldDecl<TOwnerOf<Member>> Names(TTag tag) {
  using C = TOwnerOf<Member>;
  return Custom<C>(
      tag, TFieldKind::fkObject, [](const C& o) { return !(o.*Member).empty(); },
      [](TTagWriter& w, TTag t, const C& o) { WriteNames(w, t, o.*Member); },
      [](TTagReader& r, C& o) { o.*Member = ReadNames(r); }, [](C& o) { (o.*Member).clear(); });
}

//! An expansion list, nested as an array of open nodes; nothing when empty.
template <auto Member>
constexpr TFieldDecl<TOwnerOf<Member>> Expansion(TTag tag) {
  using C = TOwnerOf<Member>;
  return Custom<C>(
      tag, TFieldKind::fkObject, [](const C& o) { return !(o.*Member).empty(); },
      [](TTagWriter& w, TTag t, const C& o) {
        WriteObjectInPlace(w, t, [&] { WriteOpenDimNodes(w, o.*Member); });
      },
      [](TTagReader& r, C& o) { ReadObjectInPlace(r, [&] { ReadOpenDimNodes(r, o.*Member); }); },
      [](C& o) { (o.*Member).clear(); });
}

// An object array of elements that write and read themselves.
template <class T>
void WriteArray(TTagWriter& w, const std::vector<T>& items) {
  WriteObjectArray(w, items, [&](const T& item) { item.Write(w); });
}

template <class T>
void ReadArray(TTagReader& r, std::vector<T>& items) {
  std::vector<T> read;
  ReadObjectArray(r, [&] { read.emplace_back().Read(r); });
  items = std::move(read);
}

// A class derived from an object array: the array's block, then its own.
template <class T>
void ReadArrayPart(TTagReader& r, std::vector<T>& items) {
  if (NextTagIs(r, array_form::kBase)) ReadArray(r, items);
}

// ---- The blocks ----
// clang-format off

// Absent member and dimension read as 0, not as the -1 of a fresh node.
constexpr auto kOpenNode = Block<TOpenDimNode>(0x800, {
    Field<&TOpenDimNode::Member>(0x80A),
    Field<&TOpenDimNode::HeaderColumn>(0x80F),
    Field<&TOpenDimNode::DimIndex>(0x814),
    Field<&TOpenDimNode::IntoHierarchy>(0x819),
    Expansion<&TOpenDimNode::Children>(0x805),
});

constexpr auto kSaveMember = Block<TSaveMember>(TSaveMember::kBaseTag, {
    Field<&TSaveMember::MemberKey>(0xA05),
    Field<&TSaveMember::TextKey>(0xA0A),
    Field<&TSaveMember::IsGroupHeader>(0xA0F),
    Field<&TSaveMember::GroupCaption>(0xA14),
    Field<&TSaveMember::GroupIndex>(0xA19),
    Field<&TSaveMember::Hidden>(0xA1E),
    Field<&TSaveMember::InGroup>(0xA23),
    Field<&TSaveMember::Reserved>(0xA28),
});

constexpr auto kSaveMembers = Block<TSaveMembers>(TSaveMembers::kBaseTag, {
    Field<&TSaveMembers::IdentifiedByText>(0xB05),
});

constexpr auto kDimState = Block<TStreamedDimState>(TStreamedDimState::kBaseTag, {
    Always<&TStreamedDimState::FieldName>(0xC05),
    Always<&TStreamedDimState::DisplayName>(0xC0A),
    Field<&TStreamedDimState::SortType>(0xC0F),
    Field<&TStreamedDimState::Group>(0xC14),
    Field<&TStreamedDimState::Multiplier>(0xC19),
    Field<&TStreamedDimState::TotalAppearance>(0xC1E),
    Always<&TStreamedDimState::Attribute>(0xC23),
    Nested<&TStreamedDimState::Members>(
        0xC28, [](const TStreamedDimState& s) { return !s.Members.Items.empty(); }),
});

constexpr auto kSubFunction = Block<TStreamedSubFunction>(TStreamedSubFunction::kBaseTag, {
    Field<&TStreamedSubFunction::Visible>(0x1105),
    Field<&TStreamedSubFunction::FormatString>(0x110A),
    Field<&TStreamedSubFunction::Alignment>(0x110F),
});

constexpr auto kSumInfo = Block<TStreamedSumInfo>(TStreamedSumInfo::kBaseTag, {
    Field<&TStreamedSumInfo::Calculated>(0x1005),
    Field<&TStreamedSumInfo::Formula>(0x100A),
    Field<&TStreamedSumInfo::FieldName>(0x100F),
    Field<&TStreamedSumInfo::DisplayName>(0x1014),
});

constexpr auto kPivotState = Block<TPivotState>(TPivotState::kBaseTag, {
    Names<&TPivotState::RowDims>(0x605),
    Names<&TPivotState::ColDims>(0x60A),
    Expansion<&TPivotState::RowExpansion>(0x60F),
    Expansion<&TPivotState::ColExpansion>(0x614),
    NestedArray<&TPivotState::DimStates>(0x619),
    Nested<&TPivotState::Summaries>(
        0x61E, [](const TPivotState& s) { return !s.Summaries.Items.empty(); }),
});
// clang-format on

static_assert(WellFormed(kOpenNode) && WellFormed(kSaveMember) && WellFormed(kSaveMembers) &&
              WellFormed(kDimState) && WellFormed(kSubFunction) && WellFormed(kSumInfo) &&
              WellFormed(kPivotState));

}  // namespace

struct TPivotStatesFields {
  static constexpr auto kBlock =
      Block<TPivotStates>(TPivotStates::kBaseTag, {Names<&TPivotStates::FNames>(0x705)});
  static_assert(WellFormed(kBlock));
};

void WriteOpenDimNodes(TTagWriter& writer, const TOpenDimNodes& nodes) {
  WriteObjectArray(writer, nodes,
                   [&](const TOpenDimNode& n) { WriteFields(writer, kOpenNode, n); });
}

// Expansion nested deeper than a grid can show is refused by the reader's
// nesting limit, one level per list of children.
void ReadOpenDimNodes(TTagReader& reader, TOpenDimNodes& nodes) {
  TOpenDimNodes read;
  ReadObjectArray(reader, [&] { ReadFields(reader, kOpenNode, read.emplace_back()); });
  nodes = std::move(read);
}

std::int32_t TPivotStreamed::Size() const {
  TMemoryStream scratch;
  TTagWriter w(scratch);
  Write(w);
  return static_cast<std::int32_t>(scratch.Size());
}

void TSaveMember::Write(TTagWriter& w) const {
  WriteFields(w, kSaveMember, *this);
}

void TSaveMember::Read(TTagReader& r) {
  ReadFields(r, kSaveMember, *this);
}

void TSaveMembers::Write(TTagWriter& w) const {
  WriteArray(w, Items);
  WriteFields(w, kSaveMembers, *this);
}

void TSaveMembers::Read(TTagReader& r) {
  ReadArrayPart(r, Items);
  ReadFields(r, kSaveMembers, *this);
}

void TStreamedDimState::Write(TTagWriter& w) const {
  WriteFields(w, kDimState, *this);
}

void TStreamedDimState::Read(TTagReader& r) {
  ReadFields(r, kDimState, *this);
}

void TStreamedSubFunction::Write(TTagWriter& w) const {
  WriteFields(w, kSubFunction, *this);
}

void TStreamedSubFunction::Read(TTagReader& r) {
  ReadFields(r, kSubFunction, *this);
}

void TStreamedFunction::Write(TTagWriter& w) const {
  WriteArray(w, SubFunctions);
}

void TStreamedFunction::Read(TTagReader& r) {
  ReadArray(r, SubFunctions);
}

void TStreamedSumInfo::Write(TTagWriter& w) const {
  WriteArray(w, Functions);
  WriteFields(w, kSumInfo, *this);
}

void TStreamedSumInfo::Read(TTagReader& r) {
  ReadArrayPart(r, Functions);
  ReadFields(r, kSumInfo, *this);
}

void TStreamedSummarySettings::Write(TTagWriter& w) const {
  WriteArray(w, Items);
}

void TStreamedSummarySettings::Read(TTagReader& r) {
  ReadArray(r, Items);
}

void TPivotState::Write(TTagWriter& w) const {
  WriteFields(w, kPivotState, *this);
}

void TPivotState::Read(TTagReader& r) {
  ReadFields(r, kPivotState, *this);
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

// The names' block follows the states only when there are states.
void TPivotStates::Write(TTagWriter& w) const {
  if (FStates.empty()) return;
  WriteArray(w, FStates);
  WriteFields(w, TPivotStatesFields::kBlock, *this);
}

void TPivotStates::Read(TTagReader& r) {
  TPivotStates read;
  ReadArrayPart(r, read.FStates);
  if (NextTagIs(r, kBaseTag)) ReadFields(r, TPivotStatesFields::kBlock, read);
  // Names and states go by position; a list that lost some of either keeps
  // only the pairs it has, and a state without a name gets an empty one.
  read.FNames.resize(read.FStates.size());
  *this = std::move(read);
}

}  // namespace qd
