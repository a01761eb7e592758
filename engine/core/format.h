// Text formatting for message templates: the placeholders of the message table
// (%s, %d, %u, %x, %g, %f, %e, %n with optional "-", width and ".precision").
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qd {

//! One argument of Format: an integer, a real number or a text.
class FmtArg {
 public:
  enum class Kind { Int, Real, Text };
  template <std::integral T>
  FmtArg(T v) : FKind(Kind::Int), FInt(static_cast<std::int64_t>(v)) {}
  template <std::floating_point T>
  FmtArg(T v) : FKind(Kind::Real), FReal(static_cast<double>(v)) {}
  FmtArg(const char* s) : FKind(Kind::Text), FText(s ? s : "") {}
  FmtArg(std::string_view s) : FKind(Kind::Text), FText(s) {}
  FmtArg(const std::string& s) : FKind(Kind::Text), FText(s) {}

  Kind GetKind() const { return FKind; }
  std::int64_t AsInt() const;
  double AsReal() const;
  std::string AsText() const;

 private:
  Kind FKind;
  std::int64_t FInt = 0;
  double FReal = 0;
  std::string FText;
};

//! Fills the placeholders of fmt in order. Unknown placeholders and missing
//! arguments are left as written, so a faulty template never throws.
std::string FormatArgs(std::string_view fmt, std::initializer_list<FmtArg> args);

template <typename... Args>
std::string Format(std::string_view fmt, const Args&... args) {
  return FormatArgs(fmt, {FmtArg(args)...});
}

//! A number with thousands separators and the given count of decimals ("%.0n").
std::string FormatThousands(double value, int decimals);

//! The shortest general form of a real number, as "%g" writes it ("1.5", "1E20").
std::string FormatGeneral(double value, int precision = 15);

}  // namespace qd
