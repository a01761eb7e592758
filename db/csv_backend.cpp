// CSV files: a header row names the columns; column types are inferred from
// every value of the file before the first record is handed out.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "db/db_backend.h"
#include "db/db_error.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_codec.h"
#include "engine/core/text_helpers.h"
#include "engine/io/safe_file.h"

namespace qd {
namespace {

namespace fs = std::filesystem;

// Splits a file into records of fields, honouring quotes ("" inside quotes is
// one quote; quoted fields may hold separators and line breaks).
class TCsvReader {
 public:
  TCsvReader(const std::string& path, char delimiter) : FPath(path), FDelimiter(delimiter) {
    FFile = std::fopen(path.c_str(), "rb");
    if (!FFile) throw EDbError(Format(Msg(TMsg::SDbCsvNotFound), path));
    FBuffer.resize(1 << 18);
  }
  ~TCsvReader() {
    if (FFile) std::fclose(FFile);
  }
  TCsvReader(const TCsvReader&) = delete;
  TCsvReader& operator=(const TCsvReader&) = delete;

  //! Reads the next non-blank record; false at the end of the file.
  bool Read() {
    for (;;) {
      FData.clear();
      FEnds.clear();
      FQuotedField.clear();
      if (!ReadRecord()) return false;
      if (FEnds.size() > 1 || FEnds.back() > 0 || FQuotedField.back()) return true;
    }
  }
  std::size_t Count() const { return FEnds.size(); }
  std::string_view Field(std::size_t i) const {
    std::size_t start = i == 0 ? 0 : FEnds[i - 1];
    return std::string_view(FData).substr(start, FEnds[i] - start);
  }
  std::int64_t Line() const { return FRecordLine; }

 private:
  int Get() {
    if (FPos == FLen) {
      FLen = std::fread(FBuffer.data(), 1, FBuffer.size(), FFile);
      FPos = 0;
      if (FLen == 0) return EOF;
    }
    return static_cast<unsigned char>(FBuffer[FPos++]);
  }
  int Peek() {
    int c = Get();
    if (c != EOF) --FPos;
    return c;
  }

  bool ReadRecord() {
    int c = Get();
    if (c == EOF) return false;
    if (FFirst) {
      FFirst = false;
      // A UTF-8 byte-order mark is not part of the first name.
      if (c == 0xEF && Peek() == 0xBB) {
        Get();
        Get();
        c = Get();
      }
    }
    FRecordLine = ++FLine;
    bool quoted = false, wasQuoted = false;
    for (;; c = Get()) {
      if (quoted) {
        if (c == EOF)
          throw EDbError(
              Format(Msg(TMsg::SDbCsvRecord), FPath, FRecordLine, Msg(TMsg::SDbCsvUnclosedQuote)));
        if (c == '"') {
          if (Peek() == '"') {
            Get();
            FData += '"';
          } else {
            quoted = false;
          }
          continue;
        }
        if (c == '\n') ++FLine;
        FData += static_cast<char>(c);
        continue;
      }
      if (c == EOF || c == '\n' || c == FDelimiter) {
        if (!FData.empty() && FData.back() == '\r' && c == '\n' && !wasQuoted) FData.pop_back();
        FEnds.push_back(FData.size());
        FQuotedField.push_back(wasQuoted);
        wasQuoted = false;
        if (c != FDelimiter) return true;
        continue;
      }
      if (c == '"' && FData.size() == (FEnds.empty() ? 0 : FEnds.back())) {
        quoted = wasQuoted = true;
        continue;
      }
      if (c == '\r' && wasQuoted) continue;
      FData += static_cast<char>(c);
    }
  }

  std::string FPath;
  char FDelimiter;
  std::FILE* FFile = nullptr;
  std::vector<char> FBuffer;
  std::size_t FPos = 0, FLen = 0;
  std::string FData;
  std::vector<std::size_t> FEnds;
  std::vector<bool> FQuotedField;
  std::int64_t FLine = 0, FRecordLine = 0;
  bool FFirst = true;
};

// What every value of a column has looked like so far.
struct TColumnShape {
  bool Seen = false, Int32 = true, Int64 = true, Number = true, Date = true, DateTime = true,
       Bool = true;

  void Add(std::string_view v) {
    if (v.empty()) return;
    Seen = true;
    if (Int64 || Number) Numeric(v);
    if (Date || DateTime) {
      double dt = 0;
      bool isDate = TextToDateTime(v, dt);
      DateTime = DateTime && isDate;
      Date = Date && isDate && v.size() <= 10;
    }
    if (Bool) {
      Bool = SameText(v, "true") || SameText(v, "false");
    }
  }

  void Numeric(std::string_view v) {
    std::string_view digits = v.front() == '-' ? v.substr(1) : v;
    // Codes with leading zeros ("0571") keep their text.
    bool leadingZero = digits.size() > 1 && digits[0] == '0' && digits[1] != '.';
    std::int64_t i = 0;
    auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), i);
    bool isInt = ec == std::errc() && p == v.data() + v.size() && !leadingZero;
    Int64 = Int64 && isInt;
    Int32 = Int32 && isInt && i >= std::numeric_limits<std::int32_t>::min() &&
            i <= std::numeric_limits<std::int32_t>::max();
    if (Number && !isInt) {
      double d = 0;
      auto [q, ec2] = std::from_chars(v.data(), v.data() + v.size(), d);
      Number = ec2 == std::errc() && q == v.data() + v.size() && !leadingZero;
    }
  }

  TFieldType Type() const {
    using enum TFieldType;
    if (!Seen) return ftString;
    if (Bool) return ftBoolean;
    if (Int32) return ftInteger;
    if (Int64) return ftLargeint;
    if (Number) return ftFloat;
    if (Date) return ftDate;
    if (DateTime) return ftDateTime;
    return ftString;
  }
};

// A pipe or a device is refused before it is opened, since reading would wait
// or never end; the file is read as it streams, so there is no size limit.
const std::string& CheckedFile(const std::string& path) {
  try {
    CheckReadableFile(path, std::numeric_limits<std::uint64_t>::max());
  } catch (const EStreamError& e) {
    throw EDbError(e.what());
  }
  return path;
}

char GuessDelimiter(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw EDbError(Format(Msg(TMsg::SDbCsvNotFound), path));
  std::string line;
  for (int c; (c = std::fgetc(f)) != EOF && c != '\n' && line.size() < 65536;)
    line += static_cast<char>(c);
  std::fclose(f);
  if (line.find(',') != std::string::npos) return ',';
  if (line.find('\t') != std::string::npos) return '\t';
  if (line.find(';') != std::string::npos) return ';';
  return ',';
}

// True when the first 64 KB (cut at a line break) are well-formed UTF-8.
bool LooksUtf8(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return true;
  std::string head(65536, '\0');
  head.resize(std::fread(head.data(), 1, head.size(), f));
  bool whole = std::feof(f) != 0;
  std::fclose(f);
  if (!whole) {
    std::size_t nl = head.rfind('\n');
    if (nl != std::string::npos) head.resize(nl);
  }
  return IsValidUtf8(head);
}

class TCsvCursor final : public TDbCursor {
 public:
  explicit TCsvCursor(const std::string& path)
      : FPath(CheckedFile(path)), FDelimiter(GuessDelimiter(path)), FUtf8(LooksUtf8(path)) {
    std::vector<TColumnShape> shapes;
    {
      TCsvReader scan(path, FDelimiter);
      if (!scan.Read()) throw EDbError(Format(Msg(TMsg::SDbCsvNoHeader), path));
      for (std::size_t i = 0; i < scan.Count(); ++i) {
        TDbColumn c;
        c.Name = Decode(scan.Field(i));
        FColumns.push_back(std::move(c));
      }
      shapes.resize(FColumns.size());
      while (scan.Read()) {
        CheckWidth(scan);
        for (std::size_t i = 0; i < scan.Count(); ++i) shapes[i].Add(scan.Field(i));
      }
    }
    for (std::size_t i = 0; i < FColumns.size(); ++i) FColumns[i].Type = shapes[i].Type();
    FReader = std::make_unique<TCsvReader>(path, FDelimiter);
    FReader->Read();  // header
  }

  bool Fetch() override {
    if (!FReader->Read()) return false;
    CheckWidth(*FReader);
    return true;
  }
  bool IsNull(int col) const override { return Raw(col).empty(); }
  TVariant Value(int col) const override {
    if (IsNull(col)) return {};
    TFieldType t = FColumns[col].Type;
    if (IsTextFieldType(t)) return Decode(Raw(col));
    return dbtext::ToValue(Raw(col), t);
  }
  std::string Text(int col) const override {
    TFieldType t = FColumns[col].Type;
    if (t == TFieldType::ftString) return Decode(Raw(col));
    return dbtext::ToDisplay(Raw(col), t);
  }
  std::int64_t Int(int col) const override { return dbtext::ToIntOf(Raw(col), FColumns[col].Type); }
  double Float(int col) const override { return dbtext::ToFloatOf(Raw(col), FColumns[col].Type); }

 private:
  std::string_view Raw(int col) const {
    return static_cast<std::size_t>(col) < FReader->Count() ? FReader->Field(col)
                                                            : std::string_view();
  }
  std::string Decode(std::string_view v) const { return FUtf8 ? std::string(v) : AnsiToUtf8(v); }
  // A record with more or fewer fields than the header is refused: the
  // fields would land in other columns, or be read as missing, unnoticed.
  void CheckWidth(const TCsvReader& r) const {
    if (r.Count() != FColumns.size())
      throw EDbError(Format(Msg(TMsg::SDbCsvRecord), FPath, r.Line(),
                            Format(Msg(TMsg::SDbCsvFieldCount), static_cast<int>(r.Count()),
                                   static_cast<int>(FColumns.size()))));
  }

  std::string FPath;
  char FDelimiter;
  bool FUtf8;
  std::unique_ptr<TCsvReader> FReader;
};

// The file a query names: the text itself, or the name after FROM in a
// "SELECT * FROM name" query; quotes, brackets and a missing ".csv" are allowed.
std::string QueryFileName(std::string_view sql) {
  // White space and semicolons may end the query.
  std::string s(Trim(TrimRight(sql, " \t\r\n\f\v;")));
  const std::string lower = Lower(s);
  if (lower.starts_with("select")) {
    std::size_t from = lower.find(" from ");
    if (from == std::string::npos) from = lower.find("\nfrom ");
    if (from == std::string::npos) return {};
    s = std::string(Trim(std::string_view(s).substr(from + 6)));
    if (!s.empty() && (s[0] == '"' || s[0] == '[' || s[0] == '`' || s[0] == '\'')) {
      // A doubled closing character inside is the character itself.
      const char close = s[0] == '[' ? ']' : s[0];
      std::string name;
      for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] != close) {
          name += s[i];
        } else if (i + 1 < s.size() && s[i + 1] == close) {
          name += close;
          ++i;
        } else {
          return name;
        }
      }
      return {};
    }
    std::size_t e = s.find_first_of(" \t\r\n;");
    return s.substr(0, e);
  }
  if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
    s = s.substr(1, s.size() - 2);
  return s;
}

class TCsvBackend final : public TDbBackend {
 public:
  explicit TCsvBackend(const TConnectionTarget& t) : FPath(t.Path) {
    if (!fs::exists(FPath)) throw EDbError(Format(Msg(TMsg::SDbCsvNotFound), FPath));
  }

  std::unique_ptr<TDbCursor> OpenCursor(const std::string& sql, int) override {
    return std::make_unique<TCsvCursor>(FileFor(sql));
  }
  std::int64_t Execute(const std::string& sql, int) override {
    throw EDbError(Format(Msg(TMsg::SDbNotSelect), sql));
  }

 private:
  std::string FileFor(const std::string& sql) const {
    if (!fs::is_directory(FPath)) return FPath;
    std::string name = QueryFileName(sql);
    if (name.empty()) throw EDbError(Msg(TMsg::SDbCsvNoFile));
    fs::path p = fs::path(FPath) / name;
    if (!fs::exists(p) && !p.has_extension()) p += ".csv";
    if (!fs::exists(p)) throw EDbError(Format(Msg(TMsg::SDbCsvNotFound), p.string()));
    return p.string();
  }

  std::string FPath;
};

}  // namespace

std::unique_ptr<TDbBackend> OpenCsvBackend(const TConnectionTarget& target) {
  return std::make_unique<TCsvBackend>(target);
}

}  // namespace qd
