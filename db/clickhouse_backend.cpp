// ClickHouse through its HTTP interface. Every query is one POST whose answer,
// in the TabSeparated format with a row of names and a row of types, is read
// line by line while it arrives. The server reports an error before its first
// row as an HTTP status other than 200, and one met while rows were already
// being sent as a last line "Code: N, e.displayText() = DB::Exception: …".
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "db/db_backend.h"
#include "db/db_error.h"
#include "db/http_stream.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_helpers.h"

namespace qd {
namespace {

constexpr std::size_t kErrorTextLimit = 64 * 1024;

std::string UrlEscape(std::string_view text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::vector<std::string_view> Tabs(std::string_view line) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    parts.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) return parts;
    start = tab + 1;
  }
}

bool IsServerErrorLine(std::string_view line) {
  return line.starts_with("Code: ") && line.size() > 6 &&
         std::isdigit(static_cast<unsigned char>(line[6])) &&
         line.find("DB::Exception") != std::string_view::npos;
}

// "Code: 60, e.displayText() = DB::Exception: Table x doesn't exist., e.what() = DB::Exception"
// (and the later "Code: 60. DB::Exception: … (version …)") as a message.
[[noreturn]] void RaiseServerError(std::string_view text) {
  text = TrimRight(text, " \r\n");
  std::string code;
  for (std::size_t i = 6; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    code += text[i];
  std::string_view message = text;
  const std::size_t start = text.find("DB::Exception: ");
  if (start != std::string_view::npos) {
    message = text.substr(start + 15);
    for (std::string_view tail : {", e.what() = ", " (version "}) {
      const std::size_t end = message.rfind(tail);
      if (end != std::string_view::npos) message = message.substr(0, end);
    }
  }
  throw EDbError(Format(Msg(TMsg::SDbChServerError), code, message));
}

// A whole answer that is not 200 OK.
[[noreturn]] void RaiseStatus(long status, const std::string& server, std::string_view body) {
  if (IsServerErrorLine(body)) RaiseServerError(body);
  throw EDbError(Format(Msg(TMsg::SDbHttpStatus), server, static_cast<int>(status),
                        TrimRight(body, " \r\n")));
}

// One field of a TabSeparated line with its escapes undone, appended to `out`.
void Unescape(std::string_view field, std::string& out) {
  for (std::size_t i = 0; i < field.size(); ++i) {
    char c = field[i];
    if (c == '\\' && i + 1 < field.size()) {
      switch (field[++i]) {
        case 'b': c = '\b'; break;
        case 'f': c = '\f'; break;
        case 'n': c = '\n'; break;
        case 'r': c = '\r'; break;
        case 't': c = '\t'; break;
        case '0': c = '\0'; break;
        case 'a': c = '\a'; break;
        case 'v': c = '\v'; break;
        default: c = field[i];  // \\ \' and any other escaped character
      }
    }
    out += c;
  }
}

std::string_view Unwrap(std::string_view type, std::string_view wrapper) {
  if (type.starts_with(wrapper) && type.ends_with(")"))
    return type.substr(wrapper.size(), type.size() - wrapper.size() - 1);
  return type;
}

TDbColumn ColumnOf(std::string name, std::string_view type) {
  using enum TFieldType;
  type = Unwrap(Unwrap(type, "LowCardinality("), "Nullable(");
  TDbColumn c;
  c.Name = std::move(name);
  if (type == "UInt8" || type == "Int8" || type == "Int16")
    c.Type = ftSmallint;
  else if (type == "UInt16" || type == "Int32")
    c.Type = ftInteger;
  else if (type == "UInt32" || type == "Int64" || type == "UInt64")
    c.Type = ftLargeint;
  else if (type == "Float32" || type == "Float64")
    c.Type = ftFloat;
  else if (type.starts_with("Decimal"))
    c.Type = ftBCD;
  else if (type == "Date")
    c.Type = ftDate;
  else if (type.starts_with("DateTime"))
    c.Type = ftDateTime;
  else if (type == "UUID")
    c.Type = ftGuid;
  else if (type.starts_with("FixedString(")) {
    c.Type = ftFixedChar;
    c.Size = static_cast<int>(dbtext::ToInt(Unwrap(type, "FixedString(")));
  }
  return c;
}

// The query text with FORMAT added: a closing ";" goes, and the FORMAT clause
// starts a line of its own so that a closing "--" comment cannot swallow it.
std::string WithFormat(std::string_view sql) {
  sql = TrimRight(sql, " \t\r\n;");
  return std::string(sql) + "\nFORMAT TSVWithNamesAndTypes";
}

class TChBackend;

class TChCursor final : public TDbCursor {
 public:
  TChCursor(const THttpRequest& request, const std::string& server);

  bool Fetch() override;
  bool IsNull(int col) const override { return FNull[col]; }
  TVariant Value(int col) const override {
    if (IsNull(col)) return {};
    return dbtext::ToValue(FField[col], FColumns[col].Type);
  }
  std::string Text(int col) const override {
    return dbtext::ToDisplay(FField[col], FColumns[col].Type);
  }
  bool TextView(int col, std::string_view& out) const override {
    if (FColumns[col].Type != TFieldType::ftString || IsNull(col)) return false;
    out = FField[col];
    return true;
  }
  std::int64_t Int(int col) const override {
    return dbtext::ToIntOf(FField[col], FColumns[col].Type);
  }
  double Float(int col) const override {
    return dbtext::ToFloatOf(FField[col], FColumns[col].Type);
  }
  std::int64_t BytesReceived() const override {
    return static_cast<std::int64_t>(FStream.BytesReceived());
  }

 private:
  // Splits a line into fields with their escapes undone; false when it does
  // not have one field per column.
  bool Split(std::string_view line);

  THttpStream FStream;
  std::vector<std::string_view> FField;
  std::vector<char> FNull;
  std::string FUnescaped;  // reserved per line, so views into it stay put
};

TChCursor::TChCursor(const THttpRequest& request, const std::string& server) : FStream(request) {
  const long status = FStream.Status();
  if (status != 200) RaiseStatus(status, server, FStream.ReadRest(kErrorTextLimit));
  std::string_view line;
  std::vector<std::string> names;
  if (!FStream.ReadLine(line)) throw EDbError(Format(Msg(TMsg::SDbChBadAnswer), "names"));
  if (IsServerErrorLine(line)) RaiseServerError(line);
  for (std::string_view name : Tabs(line)) {
    names.emplace_back();
    Unescape(name, names.back());
  }
  if (!FStream.ReadLine(line)) throw EDbError(Format(Msg(TMsg::SDbChBadAnswer), "types"));
  const std::vector<std::string_view> types = Tabs(line);
  if (types.size() != names.size()) throw EDbError(Format(Msg(TMsg::SDbChBadAnswer), "types"));
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string type;
    Unescape(types[i], type);
    FColumns.push_back(ColumnOf(std::move(names[i]), type));
  }
  FField.resize(FColumns.size());
  FNull.resize(FColumns.size());
}

bool TChCursor::Split(std::string_view line) {
  FUnescaped.clear();
  FUnescaped.reserve(line.size());
  const char* const base = FUnescaped.data();
  std::size_t col = 0, start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    const std::string_view raw =
        line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
    if (col >= FField.size()) return false;
    FNull[col] = raw == "\\N";
    if (FNull[col] || raw.find('\\') == std::string_view::npos) {
      FField[col] = FNull[col] ? std::string_view() : raw;
    } else {
      const std::size_t at = FUnescaped.size();
      Unescape(raw, FUnescaped);
      FField[col] = std::string_view(base + at, FUnescaped.size() - at);
    }
    if (FColumns[col].Type == TFieldType::ftFixedChar)
      FField[col] = TrimRight(FField[col], std::string_view("\0", 1));
    ++col;
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return col == FField.size();
}

bool TChCursor::Fetch() {
  std::string_view line;
  if (!FStream.ReadLine(line)) return false;
  if (IsServerErrorLine(line) || !Split(line)) {
    if (IsServerErrorLine(line)) RaiseServerError(line);
    throw EDbError(Format(Msg(TMsg::SDbChBadAnswer), std::string(line.substr(0, 200))));
  }
  return true;
}

class TChBackend final : public TDbBackend {
 public:
  explicit TChBackend(const TConnectionTarget& t) : FTarget(t) {
    // HTTP has no session to open: a first query proves the server and the login.
    THttpRequest request = Request("SELECT 1", t.ConnectTimeout);
    request.Probe = true;
    THttpStream probe(request);
    const long status = probe.Status();
    if (status != 200) RaiseStatus(status, Server(), probe.ReadRest(kErrorTextLimit));
  }

  std::unique_ptr<TDbCursor> OpenCursor(const std::string& sql, int timeoutSeconds) override {
    return std::make_unique<TChCursor>(Request(WithFormat(sql), timeoutSeconds), Server());
  }

  std::int64_t Execute(const std::string& sql, int timeoutSeconds) override {
    THttpStream answer(Request(sql, timeoutSeconds));
    const long status = answer.Status();
    const std::string body = answer.ReadRest(kErrorTextLimit);
    if (status != 200) RaiseStatus(status, Server(), body);
    return 0;  // the server does not say how many rows a statement touched
  }

 private:
  // A query runs until the server stays silent for the time-out: a long
  // result keeps arriving, a hung or overloaded server gives up.
  THttpRequest Request(std::string body, int timeoutSeconds) const {
    THttpRequest r;
    r.Url = FTarget.HttpUrl;
    if (!FTarget.Database.empty()) r.Url += "?database=" + UrlEscape(FTarget.Database);
    r.Body = std::move(body);
    r.User = FTarget.User;
    r.Password = FTarget.Password;
    r.ConnectTimeout = FTarget.ConnectTimeout;
    r.IdleTimeout = timeoutSeconds;
    return r;
  }
  std::string Server() const { return std::string(TrimRight(FTarget.HttpUrl, "/")); }

  TConnectionTarget FTarget;
};

}  // namespace

std::unique_ptr<TDbBackend> OpenClickHouseBackend(const TConnectionTarget& target) {
  return std::make_unique<TChBackend>(target);
}

}  // namespace qd
