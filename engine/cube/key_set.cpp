#include "engine/cube/key_set.h"

#include <cmath>

#include "engine/core/bytes.h"
#include "engine/core/format.h"

namespace qd {

TKeyTypeCode KeyTypeCodeOf(TFieldType t) {
  using enum TFieldType;
  switch (t) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
      return TKeyTypeCode::kcInteger;
    case ftBoolean:
      return TKeyTypeCode::kcBoolean;
    case ftFloat:
    case ftBCD:
    case ftLargeint:
      return TKeyTypeCode::kcFloat;
    case ftCurrency:
      return TKeyTypeCode::kcCurrency;
    case ftDate:
    case ftTime:
    case ftDateTime:
      return TKeyTypeCode::kcDateTime;
    default:
      return TKeyTypeCode::kcString;
  }
}

int KeyTypeSize(TKeyTypeCode c) {
  switch (c) {
    case TKeyTypeCode::kcFloat:
    case TKeyTypeCode::kcCurrency:
    case TKeyTypeCode::kcDateTime:
      return 8;
    default:
      return 4;
  }
}

void TKeySet::AddColumn(const std::string& name, TFieldType type) {
  FColumns.push_back({name, type, KeyTypeCodeOf(type), 0});
}

void TKeySet::Layout() {
  FRecordSize = 0;
  for (TColumn& c : FColumns) {
    c.Offset = FRecordSize;
    FRecordSize += KeyTypeSize(c.Code);
  }
}

void TKeySet::Clear() {
  FColumns.clear();
  FRecordSize = 0;
  FRows.clear();
  FRows.shrink_to_fit();
  FStrings.clear();
  FStrings.shrink_to_fit();
  FRowCount = 0;
  FCurrent = -1;
}

void TKeySet::AppendRow() {
  FRows.resize(FRows.size() + static_cast<std::size_t>(FRecordSize), 0);
  FCurrent = FRowCount++;
}

void TKeySet::StoreField(int i, const TField& field) {
  const TColumn& c = FColumns.at(static_cast<std::size_t>(i));
  std::uint8_t* p = FRows.data() + static_cast<std::size_t>(FCurrent) * FRecordSize + c.Offset;
  switch (c.Code) {
    case TKeyTypeCode::kcInteger:
      Store<std::int32_t>(p, field.AsInteger());
      break;
    case TKeyTypeCode::kcBoolean:
      *p = field.AsBoolean() ? 1 : 0;
      break;
    case TKeyTypeCode::kcFloat:
      Store<double>(p, field.AsFloat());
      break;
    case TKeyTypeCode::kcCurrency:
      Store<std::int64_t>(p, field.AsCurrency());
      break;
    case TKeyTypeCode::kcDateTime:
      Store<double>(p, field.AsDateTime());
      break;
    case TKeyTypeCode::kcString:
      FStrings.push_back(field.AsString());
      Store<std::int32_t>(p, static_cast<std::int32_t>(FStrings.size() - 1));
      break;
  }
}

void TKeySet::Truncate(std::int32_t r) {
  if (r < 0 || r >= FRowCount) return;
  // Strings of the dropped rows are the last ones in the pool.
  std::size_t keep = FStrings.size();
  for (int i = 0; i < ColumnCount(); ++i) {
    if (FColumns[static_cast<std::size_t>(i)].Code != TKeyTypeCode::kcString) continue;
    const std::uint8_t* p =
        FRows.data() + static_cast<std::size_t>(r) * FRecordSize + ColumnOffset(i);
    keep = std::min(keep, static_cast<std::size_t>(Load<std::int32_t>(p)));
  }
  FStrings.resize(keep);
  FRows.resize(static_cast<std::size_t>(r) * FRecordSize);
  FRowCount = r;
  if (FCurrent >= r) FCurrent = r - 1;
}

void TKeySet::SelectRow(std::int32_t r) {
  if (r >= 0 && r < FRowCount) FCurrent = r;
}

const std::uint8_t* TKeySet::Slot(int i) const {
  if (FCurrent < 0 || FCurrent >= FRowCount) return nullptr;
  return FRows.data() + static_cast<std::size_t>(FCurrent) * FRecordSize + ColumnOffset(i);
}

std::string TKeySet::AsText(int i) const {
  const std::uint8_t* p = Slot(i);
  if (!p) return {};
  switch (ColumnTypeCode(i)) {
    case TKeyTypeCode::kcString: {
      auto k = static_cast<std::size_t>(Load<std::int32_t>(p));
      return k < FStrings.size() ? FStrings[k] : std::string();
    }
    case TKeyTypeCode::kcInteger:
      return std::to_string(Load<std::int32_t>(p));
    case TKeyTypeCode::kcBoolean:
      return *p ? "True" : "False";
    case TKeyTypeCode::kcFloat:
      return FormatGeneral(Load<double>(p));
    case TKeyTypeCode::kcCurrency:
      return FormatGeneral(Load<std::int64_t>(p) / 10000.0);
    case TKeyTypeCode::kcDateTime:
      return DateTimeToText(Load<double>(p), ColumnFieldType(i));
  }
  return {};
}

double TKeySet::AsFloat(int i) const {
  const std::uint8_t* p = Slot(i);
  if (!p) return 0;
  switch (ColumnTypeCode(i)) {
    case TKeyTypeCode::kcString:
      return std::strtod(AsText(i).c_str(), nullptr);
    case TKeyTypeCode::kcInteger:
      return Load<std::int32_t>(p);
    case TKeyTypeCode::kcBoolean:
      return *p;
    case TKeyTypeCode::kcFloat:
    case TKeyTypeCode::kcDateTime:
      return Load<double>(p);
    case TKeyTypeCode::kcCurrency:
      return Load<std::int64_t>(p) / 10000.0;
  }
  return 0;
}

std::int64_t TKeySet::AsInt64(int i) const {
  const std::uint8_t* p = Slot(i);
  if (!p) return 0;
  switch (ColumnTypeCode(i)) {
    case TKeyTypeCode::kcString:
      return std::strtoll(AsText(i).c_str(), nullptr, 10);
    case TKeyTypeCode::kcInteger:
      return Load<std::int32_t>(p);
    case TKeyTypeCode::kcBoolean:
      return *p;
    case TKeyTypeCode::kcCurrency:
      return Load<std::int64_t>(p);
    case TKeyTypeCode::kcFloat:
    case TKeyTypeCode::kcDateTime:
      return std::llround(Load<double>(p));
  }
  return 0;
}

std::int32_t TKeySet::AsInteger(int i) const {
  if (Slot(i) && ColumnTypeCode(i) == TKeyTypeCode::kcCurrency)
    return static_cast<std::int32_t>(std::llround(AsFloat(i)));
  return static_cast<std::int32_t>(AsInt64(i));
}

std::uint8_t TKeySet::AsByte(int i) const {
  return static_cast<std::uint8_t>(AsInt64(i));
}

}  // namespace qd
