// Saved layouts of a grid: which dimensions lie on rows and columns, every
// dimension's settings with its hidden and grouped members, the summary
// settings and the expanded header nodes. Named layouts live in the model
// (TPivotStates) and travel in grid files (model/grid_file.h).
//
// Every class writes itself in the tagged format, its block's fields declared
// once (engine/io/saved_fields.h). Object arrays use the typed-array form:
// 0x100, 0x114 count, 0x119 and the elements' blocks one after another, 0x1FF;
// nothing at all when empty. A class that extends an array writes its own
// block after the array's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/io/streamed_object.h"
#include "engine/io/tagged_stream.h"
#include "model/label_node.h"

namespace qd {

//! Writes an expansion list (TOpenDimNode blocks 0x800 … 0x8FF, children nested
//! under 0x805) in array form; nothing when the list is empty.
void WriteOpenDimNodes(TTagWriter& writer, const TOpenDimNodes& nodes);
//! Reads what WriteOpenDimNodes wrote, replacing `nodes`.
void ReadOpenDimNodes(TTagReader& reader, TOpenDimNodes& nodes);

class TDimensionState;
class TStreamedDimState;
//! Gives a dimension state the saved settings: axis, order, totals, caption
//! attribute, and its members rebuilt with the saved ones hidden and grouped.
void ApplySavedDimState(TDimensionState& state, const TStreamedDimState& saved);

//! Base of the state classes: Size() is the length of what Write appends.
class TPivotStreamed : public TStreamedObject {
 public:
  std::int32_t Size() const override;
  //! Holds no fields: lets the classes below compare field by field.
  bool operator==(const TPivotStreamed&) const { return true; }
};

//! One saved member: a group header, a member inside a group, or a hidden member.
class TSaveMember : public TPivotStreamed {
 public:
  static constexpr TTag kBaseTag = 0xA00;

  std::int32_t MemberKey = 0;
  std::string TextKey;
  bool IsGroupHeader = false;
  std::string GroupCaption;
  std::int32_t GroupIndex = 0;
  bool Hidden = false;
  bool InGroup = false;
  std::int32_t Reserved = 0;  //!< always 0; kept so that it is written back as read

  void Write(TTagWriter& writer) const override;
  void Read(TTagReader& reader) override;
  bool operator==(const TSaveMember&) const = default;
};

//! The saved members of a dimension; members are identified by their text key
//! when IdentifiedByText, else by their integer key.
class TSaveMembers : public TPivotStreamed {
 public:
  static constexpr TTag kBaseTag = 0xB00;

  std::vector<TSaveMember> Items;
  bool IdentifiedByText = false;

  void Write(TTagWriter& writer) const override;
  void Read(TTagReader& reader) override;
  bool operator==(const TSaveMembers&) const = default;
};

//! The settings of one dimension, matched to the cube by its field name.
class TStreamedDimState : public TPivotStreamed {
 public:
  static constexpr TTag kBaseTag = 0xC00;

  std::string FieldName;
  std::string DisplayName;
  std::uint8_t SortType = 0;  //!< TDimSortType ordinal
  std::uint8_t Group = 0;     //!< TDimGroup ordinal
  std::int64_t Multiplier = 0;
  std::uint8_t TotalAppearance = 0;  //!< TTotalAppearance ordinal
  std::string Attribute;
  TSaveMembers Members;

  void Write(TTagWriter& writer) const override;
  void Read(TTagReader& reader) override;
  bool operator==(const TStreamedDimState&) const = default;
};

class TStreamedSubFunction : public TPivotStreamed {
 public:
  static constexpr TTag kBaseTag = 0x1100;

  bool Visible = false;
  std::string FormatString;
  std::uint8_t Alignment = 0;  //!< TAlignment ordinal

  void Write(TTagWriter& writer) const override;
  void Read(TTagReader& reader) override;
  bool operator==(const TStreamedSubFunction&) const = default;
};

//! The nine sub-functions of a function, in sub-function order.
class TStreamedFunction : public TPivotStreamed {
 public:
  std::vector<TStreamedSubFunction> SubFunctions;

  void Write(TTagWriter& writer) const override;
  void Read(TTagReader& reader) override;
  bool operator==(const TStreamedFunction&) const = default;
};

//! One summary item: sixteen functions in TFunction order, then its own block.
class TStreamedSumInfo : public TPivotStreamed {
 public:
  static constexpr TTag kBaseTag = 0x1000;

  std::vector<TStreamedFunction> Functions;
  bool Calculated = false;
  std::string Formula;
  std::string FieldName;
  std::string DisplayName;

  void Write(TTagWriter& writer) const override;
  void Read(TTagReader& reader) override;
  bool operator==(const TStreamedSumInfo&) const = default;
};

class TStreamedSummarySettings : public TPivotStreamed {
 public:
  std::vector<TStreamedSumInfo> Items;

  void Write(TTagWriter& writer) const override;
  void Read(TTagReader& reader) override;
  bool operator==(const TStreamedSummarySettings&) const = default;
};

//! A whole layout. Every part may be absent (empty).
class TPivotState : public TPivotStreamed {
 public:
  static constexpr TTag kBaseTag = 0x600;

  std::vector<std::string> RowDims;  //!< field names, outermost first
  std::vector<std::string> ColDims;
  TOpenDimNodes RowExpansion;
  TOpenDimNodes ColExpansion;
  std::vector<TStreamedDimState> DimStates;  //!< one per cube dimension, in dimension order
  TStreamedSummarySettings Summaries;

  void Write(TTagWriter& writer) const override;
  void Read(TTagReader& reader) override;
  bool operator==(const TPivotState&) const = default;
};

//! The named layouts of a model; names are compared without regard to case and
//! kept in the spelling they were first saved with.
class TPivotStates : public TPivotStreamed {
 public:
  static constexpr TTag kBaseTag = 0x700;

  int Count() const { return static_cast<int>(FStates.size()); }
  TPivotState& State(int i) { return FStates.at(static_cast<std::size_t>(i)); }
  const TPivotState& State(int i) const { return FStates.at(static_cast<std::size_t>(i)); }
  const std::string& Name(int i) const { return FNames.at(static_cast<std::size_t>(i)); }
  //! Position of the name, -1 when absent.
  int IndexOf(const std::string& name) const;
  //! Appends a state; returns its position.
  int Add(const std::string& name, TPivotState state);
  void Delete(int i);
  void Clear();

  void Write(TTagWriter& writer) const override;
  void Read(TTagReader& reader) override;
  bool operator==(const TPivotStates&) const = default;

 private:
  friend struct TPivotStatesFields;
  std::vector<TPivotState> FStates;
  std::vector<std::string> FNames;
};

}  // namespace qd
