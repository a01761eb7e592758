#include "engine/core/format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qd {

std::int64_t FmtArg::AsInt() const {
  switch (FKind) {
    case Kind::Int: return FInt;
    case Kind::Real: return static_cast<std::int64_t>(std::llround(FReal));
    case Kind::Text: return std::strtoll(FText.c_str(), nullptr, 10);
  }
  return 0;
}

double FmtArg::AsReal() const {
  switch (FKind) {
    case Kind::Int: return static_cast<double>(FInt);
    case Kind::Real: return FReal;
    case Kind::Text: return std::strtod(FText.c_str(), nullptr);
  }
  return 0;
}

std::string FmtArg::AsText() const {
  switch (FKind) {
    case Kind::Int: return std::to_string(FInt);
    case Kind::Real: return FormatGeneral(FReal);
    case Kind::Text: return FText;
  }
  return {};
}

std::string FormatThousands(double value, int decimals) {
  if (!std::isfinite(value)) return FormatGeneral(value);
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.*f", decimals < 0 ? 0 : decimals, value);
  std::string s(buf);
  std::size_t start = (s[0] == '-') ? 1 : 0;
  std::size_t dot = s.find('.');
  std::size_t intEnd = dot == std::string::npos ? s.size() : dot;
  std::string out = s.substr(0, start);
  for (std::size_t i = start; i < intEnd; ++i) {
    out += s[i];
    std::size_t left = intEnd - i - 1;
    if (left > 0 && left % 3 == 0) out += ',';
  }
  out += s.substr(intEnd);
  return out;
}

std::string FormatGeneral(double value, int precision) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  if (precision <= 0 || precision > 17) precision = 15;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*G", precision, value);
  std::string s(buf);
  // The C form writes "1E+20" and "1E-05"; ours writes "1E20" and "1E-5".
  std::size_t e = s.find('E');
  if (e == std::string::npos) return s;
  std::string mant = s.substr(0, e);
  std::string exp = s.substr(e + 1);
  bool neg = !exp.empty() && exp[0] == '-';
  if (!exp.empty() && (exp[0] == '+' || exp[0] == '-')) exp.erase(0, 1);
  while (exp.size() > 1 && exp[0] == '0') exp.erase(0, 1);
  return mant + "E" + (neg ? "-" : "") + exp;
}

namespace {

std::string Pad(std::string s, int width, bool left) {
  if (width > 0 && static_cast<int>(s.size()) < width) {
    std::string fill(width - s.size(), ' ');
    s = left ? s + fill : fill + s;
  }
  return s;
}

std::string FormatOne(char type, int prec, const FmtArg& a) {
  char buf[512];
  switch (type) {
    case 'd':
    case 'u': {
      std::int64_t v = a.AsInt();
      std::snprintf(buf, sizeof buf, "%.*lld", prec < 0 ? 1 : prec, static_cast<long long>(v));
      return buf;
    }
    case 'x': {
      std::uint64_t v = static_cast<std::uint64_t>(a.AsInt());
      if (a.AsInt() >= INT32_MIN && a.AsInt() < 0) v &= 0xFFFFFFFFu;
      std::snprintf(buf, sizeof buf, "%.*llX", prec < 0 ? 1 : prec,
                    static_cast<unsigned long long>(v));
      return buf;
    }
    case 'g': return FormatGeneral(a.AsReal(), prec < 0 ? 15 : prec);
    case 'f':
      std::snprintf(buf, sizeof buf, "%.*f", prec < 0 ? 2 : prec, a.AsReal());
      return buf;
    case 'e':
      std::snprintf(buf, sizeof buf, "%.*E", prec < 0 ? 14 : prec, a.AsReal());
      return buf;
    case 'n':
    case 'm': return FormatThousands(a.AsReal(), prec < 0 ? 2 : prec);
    case 's': {
      std::string s = a.AsText();
      if (prec >= 0 && static_cast<std::size_t>(prec) < s.size()) s.resize(prec);
      return s;
    }
  }
  return {};
}

}  // namespace

std::string FormatArgs(std::string_view fmt, std::initializer_list<FmtArg> args) {
  std::string out;
  auto next = args.begin();
  std::size_t i = 0;
  while (i < fmt.size()) {
    char c = fmt[i];
    if (c != '%') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 < fmt.size() && fmt[i + 1] == '%') {
      out += '%';
      i += 2;
      continue;
    }
    std::size_t j = i + 1;
    bool left = false;
    if (j < fmt.size() && fmt[j] == '-') left = true, ++j;
    int width = 0;
    while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9') width = width * 10 + (fmt[j++] - '0');
    int prec = -1;
    if (j < fmt.size() && fmt[j] == '.') {
      ++j;
      prec = 0;
      while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9') prec = prec * 10 + (fmt[j++] - '0');
    }
    char type = j < fmt.size() ? static_cast<char>(fmt[j] | 0x20) : '\0';
    bool known = type == 'd' || type == 'u' || type == 'x' || type == 'g' || type == 'f' ||
                 type == 'e' || type == 'n' || type == 'm' || type == 's';
    if (!known || next == args.end()) {
      out += fmt.substr(i, j - i + (j < fmt.size() ? 1 : 0));
      i = j + 1;
      continue;
    }
    out += Pad(FormatOne(type, prec, *next++), width, left);
    i = j + 1;
  }
  return out;
}

}  // namespace qd
