#include "engine/data/memo_layout.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "engine/core/bytes.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_codec.h"
#include "engine/core/text_helpers.h"

namespace qd {
namespace {

using enum TFieldType;

constexpr int kDefaultTextSize = 20;

// Numbers and switches given as text may carry spaces and tabs around them.
constexpr std::string_view kValueBlanks = " \t";

std::string TextOf(const TVariant& v) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  if (auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
  if (auto* d = std::get_if<double>(&v)) return FormatGeneral(*d);
  return {};
}

[[noreturn]] void InvalidValue(const TVariant& v, const std::string& name) {
  throw EGenericError(Format(Msg(TMsg::SMemoInvalidValue), TextOf(v), name));
}

std::int64_t IntegerOf(const TVariant& v, const std::string& name) {
  if (auto* i = std::get_if<std::int64_t>(&v)) return *i;
  if (auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  if (auto* d = std::get_if<double>(&v)) {
    if (!std::isfinite(*d) || std::fabs(*d) >= 9.2e18) InvalidValue(v, name);
    return std::llround(*d);
  }
  const std::string s(Trim(std::get<std::string>(v), kValueBlanks));
  char* end = nullptr;
  errno = 0;
  long long n = std::strtoll(s.c_str(), &end, 10);
  if (s.empty() || *end != '\0' || errno == ERANGE) InvalidValue(v, name);
  return n;
}

double FloatOf(const TVariant& v, TFieldType type, const std::string& name) {
  if (auto* d = std::get_if<double>(&v)) return *d;
  if (auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  const std::string s(Trim(std::get<std::string>(v), kValueBlanks));
  double dt;
  if (IsDateTimeFieldType(type) && TextToDateTime(s, dt)) return dt;
  char* end = nullptr;
  double d = std::strtod(s.c_str(), &end);
  if (s.empty() || *end != '\0') InvalidValue(v, name);
  return d;
}

bool BooleanOf(const TVariant& v, const std::string& name) {
  if (auto* b = std::get_if<bool>(&v)) return *b;
  if (auto* i = std::get_if<std::int64_t>(&v)) return *i != 0;
  if (auto* d = std::get_if<double>(&v)) return *d != 0;
  const std::string s = Lower(Trim(std::get<std::string>(v), kValueBlanks));
  if (s == "true" || s == "1" || s == "yes") return true;
  if (s == "false" || s == "0" || s == "no") return false;
  InvalidValue(v, name);
}

void CheckRange(std::int64_t n, std::int64_t lo, std::int64_t hi, const std::string& name) {
  if (n < lo || n > hi)
    throw EGenericError(Format(Msg(TMsg::SMemoFieldRange), std::to_string(n), name, lo, hi));
}

// Longest prefix of GB18030 bytes within limit that ends on a character boundary.
std::size_t AnsiPrefix(const std::string& s, std::size_t limit) {
  std::size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t len = 1;
    if (c >= 0x81 && c <= 0xFE && i + 1 < s.size()) {
      auto c2 = static_cast<unsigned char>(s[i + 1]);
      len = (c2 >= 0x30 && c2 <= 0x39) ? 4 : 2;
    }
    if (i + len > limit || i + len > s.size()) break;
    i += len;
  }
  return i;
}

std::string Utf16ToUtf8(const std::u16string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[++i] - 0xDC00);
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

bool IsBytesOrText(TFieldType t) {
  return t == ftString || t == ftFixedChar || t == ftWideString || t == ftBytes || t == ftVarBytes;
}

// The data bytes of a text or byte field: GB18030 text cut at a character
// boundary, UTF-16 cut before a split surrogate pair, raw bytes cut to size.
std::string EncodeText(const TFieldSlot& f, const TVariant& v) {
  std::string bytes;
  auto size = static_cast<std::size_t>(f.Size);
  if (f.Type == ftString || f.Type == ftFixedChar) {
    std::string ansi = Utf8ToAnsi(TextOf(v));
    bytes = ansi.substr(0, AnsiPrefix(ansi, size));
  } else if (f.Type == ftWideString) {
    std::u16string w = Utf8ToUtf16(TextOf(v));
    std::size_t n = std::min(w.size(), size);
    if (n > 0 && n < w.size() && w[n - 1] >= 0xD800 && w[n - 1] < 0xDC00) --n;
    for (std::size_t i = 0; i < n; ++i) AppendBytes(bytes, w[i]);
  } else {
    std::string raw = TextOf(v);
    std::size_t n = std::min<std::size_t>({raw.size(), size, 65535});
    if (f.Type == ftVarBytes) AppendBytes(bytes, static_cast<std::uint16_t>(n));
    bytes.append(raw, 0, n);
  }
  bytes.resize(f.DataBytes, '\0');
  return bytes;
}

// The data bytes of a number, Boolean, date or time field.
std::string EncodeNumber(const TFieldSlot& f, const TVariant& v, const std::string& name) {
  std::uint8_t buf[34] = {};
  switch (f.Type) {
    case ftSmallint: {
      std::int64_t n = IntegerOf(v, name);
      CheckRange(n, -32768, 32767, name);
      Store(buf, static_cast<std::int16_t>(n));
      break;
    }
    case ftWord: {
      std::int64_t n = IntegerOf(v, name);
      CheckRange(n, 0, 65535, name);
      Store(buf, static_cast<std::uint16_t>(n));
      break;
    }
    case ftBoolean:
      Store(buf, static_cast<std::int16_t>(BooleanOf(v, name) ? -1 : 0));
      break;
    case ftInteger:
    case ftAutoInc: {
      std::int64_t n = IntegerOf(v, name);
      CheckRange(n, std::numeric_limits<std::int32_t>::min(),
                 std::numeric_limits<std::int32_t>::max(), name);
      Store(buf, static_cast<std::int32_t>(n));
      break;
    }
    case ftLargeint:
      Store(buf, IntegerOf(v, name));
      break;
    case ftDate: {
      double dt = std::floor(FloatOf(v, f.Type, name));
      if (!(std::fabs(dt) < 2.0e9)) InvalidValue(v, name);
      Store(buf, static_cast<std::int32_t>(dt));
      break;
    }
    case ftTime: {
      double dt = FloatOf(v, f.Type, name);
      if (!std::isfinite(dt)) InvalidValue(v, name);
      auto ms = std::llround((dt - std::floor(dt)) * 86400000.0);
      Store(buf, static_cast<std::int32_t>(std::min<long long>(ms, 86399999)));
      break;
    }
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
    case ftBCD:
      Store(buf, FloatOf(v, f.Type, name));
      break;
    default:
      break;
  }
  return std::string(reinterpret_cast<const char*>(buf), f.DataBytes);
}

}  // namespace

std::int64_t TMemoLayout::DataBytesOf(TFieldType type, int size) {
  switch (type) {
    case ftString:
    case ftFixedChar:
      return std::int64_t{size} + 1;
    case ftSmallint:
    case ftWord:
    case ftBoolean:
      return 2;
    case ftInteger:
    case ftDate:
    case ftTime:
    case ftAutoInc:
      return 4;
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
    case ftLargeint:
      return 8;
    case ftBCD:
      return 34;
    case ftBytes:
      return size;
    case ftVarBytes:
      return std::int64_t{size} + 2;
    case ftWideString:
      return 2 * std::int64_t{size} + 2;
    case ftVariant:
      return 16;
    case ftADT:
      return 0;
    default:
      return -1;
  }
}

int TMemoLayout::EffectiveSize(const TFieldDef& def) {
  bool text =
      def.DataType == ftString || def.DataType == ftFixedChar || def.DataType == ftWideString;
  if (text && def.Size <= 0) return kDefaultTextSize;
  return def.Size < 0 ? 0 : def.Size;
}

void TMemoLayout::Build(const std::vector<TFieldDef>& defs) {
  Clear();
  for (const TFieldDef& def : defs) {
    TFieldSlot slot;
    slot.Type = def.DataType;
    slot.Size = EffectiveSize(def);
    std::int64_t bytes = DataBytesOf(def.DataType, slot.Size);
    if (bytes < 0) {
      Clear();
      const std::string& label = def.DisplayLabel.empty() ? def.Name : def.DisplayLabel;
      throw EGenericError(Format(Msg(TMsg::SMemoUnknownFieldType), label));
    }
    slot.Offset = FRecordSize;
    slot.DataBytes = static_cast<std::size_t>(bytes);
    if (def.DataType == ftVariant) slot.VariantSlot = FVariantCount++;
    FRecordSize += 1 + slot.DataBytes;
    FSlots.push_back(slot);
  }
}

void TMemoLayout::Clear() {
  FSlots.clear();
  FRecordSize = 0;
  FVariantCount = 0;
}

bool TMemoLayout::IsNull(const std::uint8_t* rec, int field) const {
  const TFieldSlot& f = FSlots[field];
  if (rec[f.Offset] == 0) return true;
  const std::uint8_t* d = rec + f.Offset + 1;
  switch (f.Type) {
    case ftString:
    case ftFixedChar:
      return d[0] == 0;
    case ftWideString:
      return d[0] == 0 && d[1] == 0;
    case ftADT:
      return true;
    default:
      return false;
  }
}

TVariant TMemoLayout::Read(const std::uint8_t* rec, const std::vector<TVariant>& variants,
                           int field) const {
  if (IsNull(rec, field)) return {};
  const TFieldSlot& f = FSlots[field];
  const std::uint8_t* d = rec + f.Offset + 1;
  switch (f.Type) {
    case ftString:
    case ftFixedChar: {
      const char* text = reinterpret_cast<const char*>(d);
      return AnsiToUtf8(std::string(text, strnlen(text, static_cast<std::size_t>(f.Size))));
    }
    case ftWideString: {
      std::u16string w;
      for (int i = 0; i < f.Size; ++i) {
        auto c = Load<char16_t>(d + 2 * i);
        if (c == 0) break;
        w.push_back(c);
      }
      return Utf16ToUtf8(w);
    }
    case ftSmallint:
      return std::int64_t{Load<std::int16_t>(d)};
    case ftWord:
      return std::int64_t{Load<std::uint16_t>(d)};
    case ftBoolean:
      return Load<std::int16_t>(d) != 0;
    case ftInteger:
    case ftAutoInc:
      return std::int64_t{Load<std::int32_t>(d)};
    case ftLargeint:
      return Load<std::int64_t>(d);
    case ftDate:
      return static_cast<double>(Load<std::int32_t>(d));
    case ftTime:
      return Load<std::int32_t>(d) / 86400000.0;
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
    case ftBCD:
      return Load<double>(d);
    case ftBytes:
      return std::string(reinterpret_cast<const char*>(d), f.DataBytes);
    case ftVarBytes: {
      std::size_t len = std::min<std::size_t>(Load<std::uint16_t>(d), f.Size);
      return std::string(reinterpret_cast<const char*>(d + 2), len);
    }
    case ftVariant:
      return variants[f.VariantSlot];
    default:
      return {};
  }
}

void TMemoLayout::Write(std::uint8_t* rec, std::vector<TVariant>& variants, int field,
                        const TVariant& v, const std::string& name) const {
  const TFieldSlot& f = FSlots[field];
  if (VarIsNull(v)) {
    std::memset(rec + f.Offset, 0, 1 + f.DataBytes);
    if (f.VariantSlot >= 0) variants[f.VariantSlot] = TVariant{};
    return;
  }
  if (f.Type == ftVariant) {
    variants[f.VariantSlot] = v;
  } else {
    // Encoded first, so that a rejected value leaves the field as it was.
    std::string bytes = IsBytesOrText(f.Type) ? EncodeText(f, v) : EncodeNumber(f, v, name);
    if (f.DataBytes > 0) std::memcpy(rec + f.Offset + 1, bytes.data(), f.DataBytes);
  }
  rec[f.Offset] = 1;
}

}  // namespace qd
