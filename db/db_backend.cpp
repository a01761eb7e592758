#include "db/db_backend.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "engine/core/format.h"
#include "engine/core/text_helpers.h"

namespace qd {

std::unique_ptr<TDbBackend> OpenBackend(const TConnectionTarget& target) {
  switch (target.Provider) {
    case TDbProvider::dpSQLite:
      return OpenSqliteBackend(target);
    case TDbProvider::dpPostgreSQL:
      return OpenPgBackend(target);
    case TDbProvider::dpODBC:
      return OpenOdbcBackend(target);
    case TDbProvider::dpCSV:
      return OpenCsvBackend(target);
    case TDbProvider::dpClickHouse:
      return OpenClickHouseBackend(target);
  }
  return nullptr;
}

bool TDbCursor::Number(int col, double& value) const {
  if (IsTextFieldType(FColumns[static_cast<std::size_t>(col)].Type))
    return TextToNumber(Text(col), value);
  value = Float(col);
  return true;
}

namespace dbtext {
namespace {

// Spaces and tabs around a value, and the carriage return a CRLF line leaves.
std::string_view TrimBlanks(std::string_view s) {
  return TrimRight(Trim(s, " \t"), " \t\r");
}

}  // namespace

std::int64_t ToInt(std::string_view text) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::int64_t v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec == std::errc() && p == text.data() + text.size()) return v;
  double d = ToFloat(text);
  if (!std::isfinite(d) || std::fabs(d) >= 9.2e18) return 0;
  return std::llround(d);
}

double ToFloat(std::string_view text) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec == std::errc()) return v;
  return 0;
}

double ToDateTime(std::string_view text) {
  double dt = 0;
  if (TextToDateTime(TrimBlanks(text), dt)) return dt;
  return 0;
}

bool ToBool(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty()) return false;
  const char c = LowerChar(text.front());
  if (c == 't' || c == 'y') return true;
  if (c == 'f' || c == 'n') return false;
  return ToFloat(text) != 0;
}

TVariant ToValue(std::string_view text, TFieldType type) {
  using enum TFieldType;
  if (IsIntegerFieldType(type)) return ToInt(text);
  if (IsRealFieldType(type)) return ToFloat(text);
  if (IsDateTimeFieldType(type)) return ToDateTime(text);
  if (type == ftBoolean) return ToBool(text);
  return std::string(text);
}

double ToFloatOf(std::string_view text, TFieldType type) {
  if (IsDateTimeFieldType(type)) return ToDateTime(text);
  if (type == TFieldType::ftBoolean) return ToBool(text) ? 1 : 0;
  if (IsTextFieldType(type)) {
    // A text column read as a number or a date-time: the whole text must be one.
    std::string_view t = TrimBlanks(text);
    double v = 0, dt = 0;
    auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec == std::errc() && p == t.data() + t.size()) return v;
    return TextToDateTime(t, dt) ? dt : 0;
  }
  return ToFloat(text);
}

std::int64_t ToIntOf(std::string_view text, TFieldType type) {
  if (IsDateTimeFieldType(type)) return std::llround(ToDateTime(text));
  if (type == TFieldType::ftBoolean) return ToBool(text) ? 1 : 0;
  return ToInt(text);
}

std::string ToDisplay(std::string_view text, TFieldType type) {
  // The common case, a plain ISO date, is already in the program's form.
  if (type == TFieldType::ftDate && text.size() == 10 && text[4] == '-' && text[7] == '-')
    return std::string(text);
  if (IsDateTimeFieldType(type)) {
    double dt = 0;
    if (TextToDateTime(TrimBlanks(text), dt)) return DateTimeToText(dt, type);
  } else if (type == TFieldType::ftBoolean) {
    return ToBool(text) ? "True" : "False";
  } else if (IsRealFieldType(type) && !text.empty()) {
    // "12.30", "1.23e1" and "12.3" are one number and show as one text.
    return FormatGeneral(ToFloat(text));
  }
  return std::string(text);
}

bool IsRowQuery(std::string_view sql) {
  std::size_t i = 0;
  for (;;) {
    while (i < sql.size() && (std::isspace(static_cast<unsigned char>(sql[i])) || sql[i] == '('))
      ++i;
    if (sql.substr(i, 2) == "--") {
      i = sql.find('\n', i);
      if (i == std::string_view::npos) return false;
    } else if (sql.substr(i, 2) == "/*") {
      i = sql.find("*/", i + 2);
      if (i == std::string_view::npos) return false;
      i += 2;
    } else {
      break;
    }
  }
  std::string word;
  while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i])))
    word += LowerChar(sql[i++]);
  return word == "select" || word == "with" || word == "values" || word == "table";
}

}  // namespace dbtext
}  // namespace qd
