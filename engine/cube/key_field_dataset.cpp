#include "engine/cube/key_field_dataset.h"

#include <algorithm>

#include "engine/core/text_codec.h"

namespace qd {

namespace {

using enum TFieldType;

// The field type a key column gets: its own when the memory dataset stores it
// as a plain value, else the plain type of its storage code. Auto-increment
// columns become integers, so that posting keeps the stored keys.
TFieldType KeyFieldType(const TKeySet& keys, int column) {
  const TFieldType t = keys.ColumnFieldType(column);
  switch (t) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftBoolean:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftLargeint:
      if (KeyTypeCodeOf(t) == keys.ColumnTypeCode(column)) return t;
      break;
    default:
      break;
  }
  switch (keys.ColumnTypeCode(column)) {
    case TKeyTypeCode::kcInteger:
      return ftInteger;
    case TKeyTypeCode::kcBoolean:
      return ftBoolean;
    case TKeyTypeCode::kcFloat:
      return ftFloat;
    case TKeyTypeCode::kcCurrency:
      return ftCurrency;
    case TKeyTypeCode::kcDateTime:
      return ftDateTime;
    default:
      return ftString;
  }
}

TVariant KeyValue(const TKeySet& keys, int column) {
  switch (keys.ColumnTypeCode(column)) {
    case TKeyTypeCode::kcString:
      return keys.AsText(column);
    case TKeyTypeCode::kcInteger:
      return std::int64_t{keys.AsInteger(column)};
    case TKeyTypeCode::kcBoolean:
      return keys.AsByte(column) != 0;
    case TKeyTypeCode::kcCurrency:
      return static_cast<double>(keys.AsInt64(column)) / 10000.0;
    default:
      return keys.AsFloat(column);
  }
}

// The fact record of each listed position, -1 where the position or its tag
// names none.
std::vector<std::int32_t> FactRecordsAt(const TKeySet& keys, TvtMemoDataSet& source,
                                        const std::vector<int>& positions) {
  std::vector<std::int32_t> out;
  for (int p : positions) {
    const bool inside = p >= 0 && p < source.Count();
    const int tag = inside ? source.Records(p).Tag : -1;
    // Without key columns the key set has no rows to check the tag against.
    const bool known = keys.ColumnCount() == 0 || tag < keys.RowCount();
    out.push_back(tag >= 0 && known ? tag : -1);
  }
  return out;
}

}  // namespace

int StoredTextSize(std::string_view text) {
  return static_cast<int>(Utf8ToAnsi(text).size());
}

std::unique_ptr<TvtMemoDataSet> BuildKeyFieldDataSet(TKeySet& keys, TvtMemoDataSet& source,
                                                     const std::vector<int>* positions) {
  if (!positions || !source.Active() || source.Count() == 0 || source.FieldCount() == 0)
    return nullptr;
  const std::vector<std::int32_t> records = FactRecordsAt(keys, source, *positions);
  const std::int32_t savedRow = keys.CurrentRow();

  auto out = std::make_unique<TvtMemoDataSet>();
  for (int c = 0; c < keys.ColumnCount(); ++c) {
    const TFieldType type = KeyFieldType(keys, c);
    int size = 0;
    if (type == ftString || type == ftFixedChar || type == ftWideString) {
      // Wide enough for every text shown, in the bytes the dataset stores.
      size = 1;
      for (std::int32_t r : records) {
        if (r < 0) continue;
        keys.SelectRow(r);
        size = std::max(size, StoredTextSize(keys.AsText(c)));
      }
    }
    out->AddFieldDef(keys.ColumnName(c), type, size);
  }
  const std::string valueName = source.Fields(0).FieldName();
  out->AddFieldDef(valueName, ftFloat);
  out->SetIncCapacity(1);
  out->SetCapacity(static_cast<int>(source.RecordCount()));
  out->Open();

  const std::int64_t savedRecNo = source.RecNo();
  for (std::size_t i = 0; i < positions->size(); ++i) {
    const std::int32_t fact = records[i];
    if (fact < 0) continue;
    source.SetRecNo((*positions)[i] + 1);
    if (keys.ColumnCount() > 0) keys.SelectRow(fact);
    out->Append();
    for (int c = 0; c < keys.ColumnCount(); ++c) out->Fields(c).SetValue(KeyValue(keys, c));
    if (!source.Fields(0).IsNull())
      out->Fields(keys.ColumnCount()).SetValue(source.Fields(0).AsFloat());
    out->Post();
    out->CurrentRecord()->Tag = fact;
  }
  for (int c = 0; c < keys.ColumnCount(); ++c) out->Fields(c).SetReadOnly(true);
  if (savedRecNo >= 1 && savedRecNo <= source.RecordCount()) source.SetRecNo(savedRecNo);
  if (savedRow >= 0) keys.SelectRow(savedRow);
  out->First();
  return out;
}

void WriteBackFactValues(TFactTable& facts, TvtMemoDataSet& edited, int summary) {
  if (!edited.Active() || summary < 0 || summary >= facts.SumCount() || edited.FieldCount() == 0)
    return;
  const TField& value = edited.Fields(edited.FieldCount() - 1);
  for (edited.First(); !edited.Eof(); edited.Next()) {
    const TvtRecord* record = edited.CurrentRecord();
    if (!record || record->Tag < 0 || record->Tag >= facts.RecordCount()) continue;
    facts.SetValue(record->Tag, summary, value.AsFloat());
  }
}

}  // namespace qd
