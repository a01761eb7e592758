#include "engine/data/memory_table.h"

#include <cmath>
#include <cstdlib>

#include "engine/core/errors.h"
#include "engine/core/format.h"

namespace qd {

int TMemoryTable::AddColumn(const std::string& name, TFieldType type,
                            const std::string& displayLabel) {
  if (FRows > 0) throw EGenericError(Format("%s: Cannot add a column to a table with rows", Name));
  TColumn c;
  c.Name = name;
  c.Label = displayLabel;
  c.Type = type;
  if (IsIntegerFieldType(type) || type == TFieldType::ftBoolean)
    c.Kind = TKind::Int;
  else if (IsRealFieldType(type) || IsDateTimeFieldType(type))
    c.Kind = TKind::Float;
  else
    c.Kind = TKind::Text;
  FColumns.push_back(std::move(c));
  return ColumnCount() - 1;
}

void TMemoryTable::DoOpen() {
  for (const TColumn& c : FColumns) {
    TField& f = AddDataField(c.Name, c.Type);
    if (!c.Label.empty()) f.SetDisplayLabel(c.Label);
  }
}

void TMemoryTable::Reserve(std::int64_t rows) {
  auto n = static_cast<std::size_t>(rows);
  for (TColumn& c : FColumns) {
    if (c.Kind == TKind::Text) c.Codes.reserve(n);
    if (c.Kind == TKind::Int) c.Ints.reserve(n);
    if (c.Kind == TKind::Float) c.Floats.reserve(n);
  }
}

void TMemoryTable::ClearRows() {
  for (TColumn& c : FColumns) {
    c.Codes.clear();
    c.Dict.clear();
    c.DictIndex.clear();
    c.Ints.clear();
    c.Floats.clear();
    c.Nulls.clear();
  }
  FRows = 0;
  FPos = 0;
  if (Active()) First();
}

std::size_t TMemoryTable::Rows(const TColumn& c) const {
  switch (c.Kind) {
    case TKind::Text:
      return c.Codes.size();
    case TKind::Int:
      return c.Ints.size();
    default:
      return c.Floats.size();
  }
}

void TMemoryTable::MarkNull(TColumn& c, bool isNull) {
  if (!isNull && c.Nulls.empty()) return;
  // Rows(c) already counts the value just pushed.
  c.Nulls.resize(Rows(c) - 1, 0);
  c.Nulls.push_back(isNull ? 1 : 0);
}

void TMemoryTable::PushText(int col, std::string_view text) {
  TColumn& c = FColumns.at(static_cast<std::size_t>(col));
  switch (c.Kind) {
    case TKind::Text: {
      auto [it, fresh] =
          c.DictIndex.try_emplace(std::string(text), static_cast<std::int32_t>(c.Dict.size()));
      if (fresh) c.Dict.emplace_back(text);
      c.Codes.push_back(it->second);
      break;
    }
    case TKind::Int:
      c.Ints.push_back(std::strtoll(std::string(text).c_str(), nullptr, 10));
      break;
    case TKind::Float: {
      double dt;
      if (IsDateTimeFieldType(c.Type) && TextToDateTime(text, dt))
        c.Floats.push_back(dt);
      else
        c.Floats.push_back(std::strtod(std::string(text).c_str(), nullptr));
      break;
    }
  }
  MarkNull(c, false);
}

void TMemoryTable::PushInt(int col, std::int64_t v) {
  TColumn& c = FColumns.at(static_cast<std::size_t>(col));
  if (c.Kind == TKind::Text) return PushText(col, std::to_string(v));
  if (c.Kind == TKind::Int)
    c.Ints.push_back(v);
  else
    c.Floats.push_back(static_cast<double>(v));
  MarkNull(c, false);
}

void TMemoryTable::PushFloat(int col, double v) {
  TColumn& c = FColumns.at(static_cast<std::size_t>(col));
  if (c.Kind == TKind::Text) return PushText(col, FormatGeneral(v));
  if (c.Kind == TKind::Int)
    c.Ints.push_back(std::llround(v));
  else
    c.Floats.push_back(v);
  MarkNull(c, false);
}

void TMemoryTable::PushNull(int col) {
  TColumn& c = FColumns.at(static_cast<std::size_t>(col));
  switch (c.Kind) {
    case TKind::Text:
      PushText(col, "");
      break;
    case TKind::Int:
      c.Ints.push_back(0);
      break;
    case TKind::Float:
      c.Floats.push_back(0);
      break;
  }
  MarkNull(c, true);
}

void TMemoryTable::AppendRow(const std::vector<TVariant>& values) {
  for (int i = 0; i < ColumnCount(); ++i) {
    const TVariant* v = static_cast<std::size_t>(i) < values.size()
                            ? &values[static_cast<std::size_t>(i)]
                            : nullptr;
    if (!v || VarIsNull(*v))
      PushNull(i);
    else if (auto* s = std::get_if<std::string>(v))
      PushText(i, *s);
    else if (auto* n = std::get_if<std::int64_t>(v))
      PushInt(i, *n);
    else if (auto* d = std::get_if<double>(v))
      PushFloat(i, *d);
    else if (auto* b = std::get_if<bool>(v))
      Col(i).Kind == TKind::Text ? PushText(i, *b ? "True" : "False") : PushInt(i, *b ? 1 : 0);
  }
  EndRow();
}

bool TMemoryTable::DataIsNull(int field) const {
  const TColumn& c = Col(field);
  return Pos() < c.Nulls.size() && c.Nulls[Pos()];
}

TVariant TMemoryTable::DataValue(int field) const {
  if (DataIsNull(field)) return {};
  const TColumn& c = Col(field);
  switch (c.Kind) {
    case TKind::Text:
      return c.Dict[static_cast<std::size_t>(c.Codes[Pos()])];
    case TKind::Int:
      if (c.Type == TFieldType::ftBoolean) return c.Ints[Pos()] != 0;
      return c.Ints[Pos()];
    default:
      return c.Floats[Pos()];
  }
}

std::string TMemoryTable::DataText(int field) const {
  const TColumn& c = Col(field);
  if (c.Kind == TKind::Text) return c.Dict[static_cast<std::size_t>(c.Codes[Pos()])];
  if (DataIsNull(field)) return {};
  if (c.Kind == TKind::Int && c.Type != TFieldType::ftBoolean) return std::to_string(c.Ints[Pos()]);
  return TDataSet::DataText(field);
}

bool TMemoryTable::DataTextView(int field, std::string_view& out) const {
  const TColumn& c = Col(field);
  if (c.Kind != TKind::Text) return false;
  out = c.Dict[static_cast<std::size_t>(c.Codes[Pos()])];
  return true;
}

bool TMemoryTable::DataTextCode(int field, std::int32_t& code) const {
  const TColumn& c = Col(field);
  if (c.Kind != TKind::Text) return false;
  code = c.Codes[Pos()];
  return true;
}

std::int64_t TMemoryTable::DataInt(int field) const {
  const TColumn& c = Col(field);
  if (c.Kind == TKind::Int) return c.Ints[Pos()];
  if (c.Kind == TKind::Float) return std::llround(c.Floats[Pos()]);
  return TDataSet::DataInt(field);
}

double TMemoryTable::DataFloat(int field) const {
  const TColumn& c = Col(field);
  if (c.Kind == TKind::Float) return c.Floats[Pos()];
  if (c.Kind == TKind::Int) return static_cast<double>(c.Ints[Pos()]);
  return TDataSet::DataFloat(field);
}

}  // namespace qd
