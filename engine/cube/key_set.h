// The key set: the values of the cube's key fields per fact record (row r
// belongs to fact record r), for the record-level views.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/data/dataset.h"

namespace qd {

//! How a key column stores its values.
enum class TKeyTypeCode : std::uint8_t {
  kcString = 1,    //!< text; 4 bytes (index into the string pool)
  kcInteger = 3,   //!< signed 32-bit
  kcBoolean = 5,   //!< one byte 0/1 in a 4-byte slot
  kcFloat = 6,     //!< double
  kcCurrency = 7,  //!< 64-bit fixed point, four decimals
  kcDateTime = 11  //!< double date-time
};

//! The storage code of a field type.
TKeyTypeCode KeyTypeCodeOf(TFieldType t);
//! Bytes a code takes in a row.
int KeyTypeSize(TKeyTypeCode c);

class TKeySet {
 public:
  int ColumnCount() const { return static_cast<int>(FColumns.size()); }
  const std::string& ColumnName(int i) const {
    return FColumns.at(static_cast<std::size_t>(i)).Name;
  }
  TFieldType ColumnFieldType(int i) const { return FColumns.at(static_cast<std::size_t>(i)).Type; }
  TKeyTypeCode ColumnTypeCode(int i) const { return FColumns.at(static_cast<std::size_t>(i)).Code; }
  int ColumnOffset(int i) const { return FColumns.at(static_cast<std::size_t>(i)).Offset; }
  int RecordSize() const { return FRecordSize; }

  //! Adds a column; call Layout() once all are added.
  void AddColumn(const std::string& name, TFieldType type);
  //! Computes offsets and the record size.
  void Layout();
  //! Drops rows, strings and columns.
  void Clear();

  std::int32_t RowCount() const { return FRowCount; }
  //! Appends a zeroed row and selects it.
  void AppendRow();
  //! Stores the current value of `field` into column i of the selected row.
  void StoreField(int i, const TField& field);
  //! Drops every row from r on.
  void Truncate(std::int32_t r);

  //! Selects row r; a number outside the rows leaves the current row unchanged.
  void SelectRow(std::int32_t r);
  std::int32_t CurrentRow() const { return FCurrent; }
  //! Column i of the selected row, converted as asked.
  std::string AsText(int i) const;
  std::int32_t AsInteger(int i) const;
  std::uint8_t AsByte(int i) const;
  double AsFloat(int i) const;
  std::int64_t AsInt64(int i) const;  //!< currency columns give the raw fixed-point value

 private:
  struct TColumn {
    std::string Name;
    TFieldType Type;
    TKeyTypeCode Code;
    int Offset;
  };
  const std::uint8_t* Slot(int i) const;

  std::vector<TColumn> FColumns;
  int FRecordSize = 0;
  std::vector<std::uint8_t> FRows;
  std::vector<std::string> FStrings;
  std::int32_t FRowCount = 0;
  std::int32_t FCurrent = -1;
};

}  // namespace qd
