// The fixed-size record layout of the memory dataset: where each field lies in
// a record and how its value is encoded in those bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/data/dataset.h"

namespace qd {

//! Definition of one data field of a memory dataset.
struct TFieldDef {
  std::string Name;
  TFieldType DataType = TFieldType::ftUnknown;
  //! Characters of text fields, bytes of byte fields; 0 gives text fields 20.
  int Size = 0;
  //! Shown instead of the name when not empty.
  std::string DisplayLabel;
};

//! Where a field lies: a null-flag byte (1 = has a value) at Offset, then
//! DataBytes bytes of data.
struct TFieldSlot {
  TFieldType Type = TFieldType::ftUnknown;
  int Size = 0;
  std::size_t Offset = 0;
  std::size_t DataBytes = 0;
  //! Index into a record's list of variant values for ftVariant fields, else -1.
  int VariantSlot = -1;
};

//! The layout of a record and the encoding of every supported field type.
//! Text fields hold GB18030 bytes with a terminator, wide strings UTF-16.
class TMemoLayout {
 public:
  //! Data bytes of a field of that type and size; -1 for unsupported types.
  static std::int64_t DataBytesOf(TFieldType type, int size);
  //! Declared size used for a definition (text fields without a size get 20).
  static int EffectiveSize(const TFieldDef& def);

  //! Lays out the fields in order; raises "Field '%s' is of an unknown type".
  void Build(const std::vector<TFieldDef>& defs);
  void Clear();

  std::size_t RecordSize() const { return FRecordSize; }
  int FieldCount() const { return static_cast<int>(FSlots.size()); }
  int VariantCount() const { return FVariantCount; }
  const TFieldSlot& Slot(int field) const { return FSlots[field]; }

  //! Null test as a reader sees it (a zero-length text is null).
  bool IsNull(const std::uint8_t* rec, int field) const;
  //! The value of a field; variants come from the record's variant list.
  TVariant Read(const std::uint8_t* rec, const std::vector<TVariant>& variants, int field) const;
  //! Stores a value; a null clears the data bytes and the flag. Values that do
  //! not fit the field's type or range raise EGenericError (name for messages).
  void Write(std::uint8_t* rec, std::vector<TVariant>& variants, int field, const TVariant& v,
             const std::string& name) const;

 private:
  std::vector<TFieldSlot> FSlots;
  std::size_t FRecordSize = 0;
  int FVariantCount = 0;
};

}  // namespace qd
