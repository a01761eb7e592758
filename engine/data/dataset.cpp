#include "engine/data/dataset.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_helpers.h"

namespace qd {
namespace {

const char* const kFieldTypeNames[kFieldTypeCount] = {
    "ftUnknown",   "ftString",    "ftSmallint",   "ftInteger",  "ftWord",      "ftBoolean",
    "ftFloat",     "ftCurrency",  "ftBCD",        "ftDate",     "ftTime",      "ftDateTime",
    "ftBytes",     "ftVarBytes",  "ftAutoInc",    "ftBlob",     "ftMemo",      "ftGraphic",
    "ftFmtMemo",   "ftParadoxOle", "ftDBaseOle",  "ftTypedBinary", "ftCursor", "ftFixedChar",
    "ftWideString", "ftLargeint", "ftADT",        "ftArray",    "ftReference", "ftDataSet",
    "ftOraBlob",   "ftOraClob",   "ftVariant",    "ftInterface", "ftIDispatch", "ftGuid",
    "ftTimeStamp", "ftFMTBcd"};

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

constexpr std::int64_t kEpochOffset = 25569;  // 1970-01-01 as a date-time value

}  // namespace

const char* FieldTypeName(TFieldType t) {
  auto i = static_cast<int>(t);
  return i < kFieldTypeCount ? kFieldTypeNames[i] : kFieldTypeNames[0];
}

bool IsIntegerFieldType(TFieldType t) {
  using enum TFieldType;
  return t == ftSmallint || t == ftInteger || t == ftWord || t == ftAutoInc || t == ftLargeint;
}
bool IsRealFieldType(TFieldType t) {
  using enum TFieldType;
  return t == ftFloat || t == ftCurrency || t == ftBCD || t == ftFMTBcd;
}
bool IsDateTimeFieldType(TFieldType t) {
  using enum TFieldType;
  return t == ftDate || t == ftTime || t == ftDateTime || t == ftTimeStamp;
}
bool IsTextFieldType(TFieldType t) {
  using enum TFieldType;
  return t == ftString || t == ftFixedChar || t == ftWideString || t == ftMemo ||
         t == ftFmtMemo || t == ftGuid;
}

bool VarIsNull(const TVariant& v) { return std::holds_alternative<std::monostate>(v); }

// ---- date-time -------------------------------------------------------------

double EncodeDate(int year, int month, int day) {
  return static_cast<double>(DaysFromCivil(year, month, day) + kEpochOffset);
}

double EncodeDateTime(int year, int month, int day, int hour, int minute, double second) {
  return EncodeDate(year, month, day) + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

void DecodeDate(double dt, int& year, int& month, int& day) {
  auto days = static_cast<std::int64_t>(std::floor(dt + 1e-9));
  CivilFromDays(days - kEpochOffset, year, month, day);
}

void DecodeTime(double dt, int& hour, int& minute, int& second, int& msec) {
  double frac = dt - std::floor(dt);
  auto ms = static_cast<std::int64_t>(std::llround(frac * 86400000.0));
  if (ms >= 86400000) ms = 86399999;
  hour = static_cast<int>(ms / 3600000);
  minute = static_cast<int>(ms / 60000 % 60);
  second = static_cast<int>(ms / 1000 % 60);
  msec = static_cast<int>(ms % 1000);
}

std::string DateTimeToText(double dt, TFieldType type) {
  int y, m, d, h, n, s, ms;
  DecodeDate(dt, y, m, d);
  DecodeTime(dt, h, n, s, ms);
  char buf[64];
  if (type == TFieldType::ftDate) {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
  } else if (type == TFieldType::ftTime) {
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, n, s);
  } else if (h == 0 && n == 0 && s == 0 && ms == 0) {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
  } else {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, h, n, s);
  }
  return buf;
}

bool TextToDateTime(std::string_view text, double& dt) {
  std::string t(text);
  int y = 0, m = 0, d = 0, h = 0, n = 0;
  double s = 0;
  char sep1 = 0, sep2 = 0;
  int consumed = 0;
  if (std::sscanf(t.c_str(), "%d%c%d%c%d%n", &y, &sep1, &m, &sep2, &d, &consumed) < 5) return false;
  if (sep1 != sep2 || (sep1 != '-' && sep1 != '/')) return false;
  if (m < 1 || m > 12 || d < 1 || d > 31 || y < 1 || y > 9999) return false;
  std::string rest = t.substr(consumed);
  if (!rest.empty() && (rest[0] == ' ' || rest[0] == 'T')) {
    int c = std::sscanf(rest.c_str() + 1, "%d:%d:%lf", &h, &n, &s);
    if (c < 2) return false;
  } else if (!rest.empty()) {
    return false;
  }
  dt = EncodeDateTime(y, m, d, h, n, s);
  return true;
}

bool TextToNumber(std::string_view text, double& value) {
  value = 0;
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  if (text.empty()) return true;  // like a null
  if (text.front() == '+') text.remove_prefix(1);
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
  value = v;
  return true;
}

// ---- TField ----------------------------------------------------------------

TField::TField(TDataSet* owner, int index, std::string name, TFieldType type, int size)
    : FOwner(owner), FIndex(index), FName(std::move(name)), FType(type), FSize(size) {}

bool TField::IsNull() const { return FOwner->IsNullAt(FIndex); }
TVariant TField::Value() const { return FOwner->ValueAt(FIndex); }
std::string TField::AsString() const { return FOwner->TextAt(FIndex); }
std::int64_t TField::AsLargeInt() const { return FOwner->IntAt(FIndex); }
double TField::AsFloat() const { return FOwner->FloatAt(FIndex); }
bool TField::AsNumber(double& value) const { return FOwner->NumberAt(FIndex, value); }
std::int64_t TField::AsCurrency() const { return std::llround(AsFloat() * 10000.0); }
double TField::AsDateTime() const { return AsFloat(); }

bool TField::TextView(std::string_view& out) const {
  return !FCalculated && !FOwner->IsEmpty() && FOwner->DataTextView(FIndex, out);
}

bool TField::TextCode(std::int32_t& code) const {
  return !FCalculated && !FOwner->IsEmpty() && FOwner->DataTextCode(FIndex, code);
}

bool TField::AsBoolean() const {
  TVariant v = Value();
  if (auto* b = std::get_if<bool>(&v)) return *b;
  if (auto* i = std::get_if<std::int64_t>(&v)) return *i != 0;
  if (auto* d = std::get_if<double>(&v)) return *d != 0;
  if (auto* s = std::get_if<std::string>(&v))
    return SameText(*s, "true") || SameText(*s, "yes") || *s == "1";
  return false;
}

void TField::SetValue(const TVariant& v) {
  TDataSet& ds = *FOwner;
  if (FCalculated) {
    if (ds.FState != TDataSetState::dsCalcFields && ds.FState != TDataSetState::dsEdit &&
        ds.FState != TDataSetState::dsInsert)
      throw EGenericError(Format("Dataset not in edit or insert mode"));
    ds.FCalcValues[FIndex - ds.FDataFieldCount] = v;
    return;
  }
  if (ds.FState != TDataSetState::dsEdit && ds.FState != TDataSetState::dsInsert)
    throw EGenericError("Dataset not in edit or insert mode");
  if (FReadOnly) throw EGenericError(Format(Msg(TMsg::SFieldReadOnly), DisplayLabel()));
  ds.SetDataValue(FIndex, v);
}

// ---- TDataSet --------------------------------------------------------------

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() {
  // Copy first: a listener may unregister itself while being told.
  auto listeners = FDestroyListeners;
  for (auto& [id, cb] : listeners) cb(this);
}

void TDataSet::SetActive(bool value) {
  if (value == Active()) return;
  if (value) {
    ClearFields();
    DoOpen();
    for (const TCalcDef& c : FCalcDefs) {
      auto f = std::make_unique<TField>(this, FieldCount(), c.Name, c.Type, c.Size);
      f->FCalculated = true;
      FFields.push_back(std::move(f));
    }
    FCalcValues.assign(FCalcDefs.size(), TVariant{});
    FState = TDataSetState::dsBrowse;
    try {
      First();
    } catch (...) {
      DoClose();
      FState = TDataSetState::dsInactive;
      throw;
    }
    DoAfterOpen();
  } else {
    DoClose();
    FState = TDataSetState::dsInactive;
    FEof = FBof = true;
    FRecNo = 0;
    DoAfterClose();
  }
}

void TDataSet::First() {
  if (!Active()) throw EGenericError(Format("%s: Cannot perform this operation on a closed dataset", Name));
  FBof = true;
  FEof = !DoFirst();
  FRecNo = FEof ? 0 : 1;
  if (!FEof) CalcCurrentRecord();
  DoAfterScroll();
}

void TDataSet::Next() {
  if (!Active()) throw EGenericError(Format("%s: Cannot perform this operation on a closed dataset", Name));
  if (FEof) return;
  FBof = false;
  FEof = !DoNext();
  if (!FEof) {
    ++FRecNo;
    CalcCurrentRecord();
  }
  DoAfterScroll();
}

void TDataSet::Prior() {
  if (!Active()) throw EGenericError(Format("%s: Cannot perform this operation on a closed dataset", Name));
  if (FBof) return;
  FEof = false;
  FBof = !DoPrior();
  if (!FBof) {
    if (FRecNo > 1) --FRecNo;
    CalcCurrentRecord();
  }
  DoAfterScroll();
}

void TDataSet::Last() {
  if (!Active()) throw EGenericError(Format("%s: Cannot perform this operation on a closed dataset", Name));
  bool found = DoLast();
  FEof = true;
  FBof = !found;
  if (found) CalcCurrentRecord();
  DoAfterScroll();
}

bool TDataSet::DoPrior() { throw EGenericError(Msg(TMsg::SDataSetForwardOnly)); }
bool TDataSet::DoLast() { throw EGenericError(Msg(TMsg::SDataSetForwardOnly)); }
void TDataSet::SetRecNo(std::int64_t) { throw EGenericError(Msg(TMsg::SDataSetForwardOnly)); }
void TDataSet::GotoBookmark(const TBookmark&) {
  throw EGenericError(Msg(TMsg::SDataSetForwardOnly));
}
bool TDataSet::Locate(std::string_view, const std::vector<TVariant>&, TLocateOptions) {
  throw EGenericError(Msg(TMsg::SDataSetForwardOnly));
}

void TDataSet::CalcCurrentRecord() {
  if (FCalcDefs.empty() || !OnCalcFields) return;
  std::fill(FCalcValues.begin(), FCalcValues.end(), TVariant{});
  TDataSetState saved = FState;
  FState = TDataSetState::dsCalcFields;
  try {
    OnCalcFields(*this);
  } catch (...) {
    FState = saved;
    throw;
  }
  FState = saved;
}

TField& TDataSet::Fields(int i) const {
  if (i < 0 || i >= FieldCount()) throw EGenericError(Format("List index out of bounds (%d)", i));
  return *FFields[i];
}

TField* TDataSet::FindField(std::string_view name) const {
  for (const auto& f : FFields)
    if (SameText(f->FieldName(), name)) return f.get();
  return nullptr;
}

TField& TDataSet::FieldByName(std::string_view name) const {
  if (TField* f = FindField(name)) return *f;
  throw EGenericError(Format("%s: Field '%s' not found", Name, std::string(name)));
}

void TDataSet::AddCalculatedField(const std::string& name, TFieldType type, int size) {
  FCalcDefs.push_back({name, type, size});
}

int TDataSet::AddDestroyListener(std::function<void(TDataSet*)> cb) {
  int id = FNextListenerId++;
  FDestroyListeners.emplace(id, std::move(cb));
  return id;
}

void TDataSet::RemoveDestroyListener(int id) { FDestroyListeners.erase(id); }

void TDataSet::Edit() { throw EGenericError(Format("%s: Cannot modify a read-only dataset", Name)); }
void TDataSet::Insert() { Edit(); }
void TDataSet::Append() { Edit(); }
void TDataSet::Post() {}
void TDataSet::Cancel() {}
void TDataSet::Delete() { Edit(); }
void TDataSet::SetDataValue(int, const TVariant&) { Edit(); }

TField& TDataSet::AddDataField(const std::string& name, TFieldType type, int size) {
  FFields.push_back(std::make_unique<TField>(this, FDataFieldCount, name, type, size));
  ++FDataFieldCount;
  return *FFields.back();
}

void TDataSet::ClearFields() {
  FFields.clear();
  FDataFieldCount = 0;
}

bool TDataSet::IsNullAt(int i) const {
  if (FEof && FBof && FState != TDataSetState::dsInsert) return true;
  if (i >= FDataFieldCount) return VarIsNull(FCalcValues[i - FDataFieldCount]);
  return DataIsNull(i);
}

TVariant TDataSet::ValueAt(int i) const {
  if (i >= FDataFieldCount) return FCalcValues[i - FDataFieldCount];
  return DataValue(i);
}

namespace {

std::string VariantText(const TVariant& v, TFieldType type) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  if (auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
  if (auto* d = std::get_if<double>(&v)) {
    if (IsDateTimeFieldType(type)) return DateTimeToText(*d, type);
    return FormatGeneral(*d);
  }
  return {};
}

std::int64_t VariantInt(const TVariant& v) {
  if (auto* i = std::get_if<std::int64_t>(&v)) return *i;
  if (auto* d = std::get_if<double>(&v)) return static_cast<std::int64_t>(std::llround(*d));
  if (auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  if (auto* s = std::get_if<std::string>(&v)) return std::strtoll(s->c_str(), nullptr, 10);
  return 0;
}

double VariantFloat(const TVariant& v, TFieldType type) {
  if (auto* d = std::get_if<double>(&v)) return *d;
  if (auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  if (auto* s = std::get_if<std::string>(&v)) {
    double dt;
    if (IsDateTimeFieldType(type) && TextToDateTime(*s, dt)) return dt;
    return std::strtod(s->c_str(), nullptr);
  }
  return 0;
}

// A text must be one number; every other value converts as VariantFloat does.
bool VariantNumber(const TVariant& v, double& value) {
  if (auto* s = std::get_if<std::string>(&v)) return TextToNumber(*s, value);
  value = VariantFloat(v, TFieldType::ftFloat);
  return true;
}

}  // namespace

std::string TDataSet::TextAt(int i) const {
  if (i >= FDataFieldCount) return VariantText(FCalcValues[i - FDataFieldCount], FFields[i]->DataType());
  return DataText(i);
}

std::int64_t TDataSet::IntAt(int i) const {
  if (i >= FDataFieldCount) return VariantInt(FCalcValues[i - FDataFieldCount]);
  return DataInt(i);
}

double TDataSet::FloatAt(int i) const {
  if (i >= FDataFieldCount) return VariantFloat(FCalcValues[i - FDataFieldCount], FFields[i]->DataType());
  return DataFloat(i);
}

std::string TDataSet::DataText(int field) const {
  return VariantText(DataValue(field), FFields[field]->DataType());
}
std::int64_t TDataSet::DataInt(int field) const { return VariantInt(DataValue(field)); }
double TDataSet::DataFloat(int field) const {
  return VariantFloat(DataValue(field), FFields[field]->DataType());
}

bool TDataSet::NumberAt(int i, double& value) const {
  if (i >= FDataFieldCount) return VariantNumber(FCalcValues[i - FDataFieldCount], value);
  return DataNumber(i, value);
}

bool TDataSet::DataNumber(int field, double& value) const {
  const TFieldType type = FFields[static_cast<std::size_t>(field)]->DataType();
  if (IsTextFieldType(type) || type == TFieldType::ftUnknown || type == TFieldType::ftVariant)
    return VariantNumber(DataValue(field), value);
  value = DataFloat(field);
  return true;
}

}  // namespace qd
