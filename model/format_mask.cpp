#include "model/format_mask.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "engine/core/format.h"

namespace qd {
namespace {

using TToken = TFormatMask::TToken;
using TSection = TFormatMask::TSection;
using TKind = TToken::TKind;

constexpr int kSignificant = 15;

// A non-negative decimal number 0.Digits × 10^Point; no digits is zero.
struct TDecimal {
  std::string Digits;  // significant digits, most significant first
  int Point = 0;       // how many of them lie before the decimal point
};

// The value's 15-significant-digit decimal form.
TDecimal ToDecimal(double a) {
  TDecimal d;
  if (a == 0) return d;
  char buf[40];
  auto res =
      std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, kSignificant - 1);
  std::string_view s(buf, res.ptr - buf);
  std::size_t e = s.find('e');
  for (char c : s.substr(0, e))
    if (c != '.') d.Digits += c;
  d.Point = std::atoi(std::string(s.substr(e + 1)).c_str()) + 1;
  return d;
}

// Keeps the first `keep` digits, rounding half away from zero; no digits left
// means zero.
void RoundTo(TDecimal& d, int keep) {
  if (keep >= static_cast<int>(d.Digits.size())) return;
  if (keep < 0) {
    d = TDecimal{};
    return;
  }
  bool up = d.Digits[keep] >= '5';
  d.Digits.resize(keep);
  if (up) {
    int i = keep - 1;
    for (; i >= 0 && d.Digits[i] == '9'; --i) d.Digits[i] = '0';
    if (i >= 0) {
      ++d.Digits[i];
    } else {
      d.Digits.insert(d.Digits.begin(), '1');
      ++d.Point;
    }
  }
  if (d.Digits.empty()) d = TDecimal{};
}

// Digit at position k (0-based from the most significant), '0' past the end.
char DigitAt(const TDecimal& d, int k) {
  return k >= 0 && k < static_cast<int>(d.Digits.size()) ? d.Digits[k] : '0';
}

std::string ParseQuoted(std::string_view mask, std::size_t& i) {
  char q = mask[i++];
  std::size_t end = mask.find(q, i);
  if (end == std::string_view::npos) end = mask.size();
  std::string text(mask.substr(i, end - i));
  i = std::min(end + 1, mask.size());
  return text;
}

TSection ParseSection(std::string_view mask) {
  TSection s;
  s.Empty = mask.empty();
  bool afterPoint = false;
  s.FirstIntZero = -1;
  for (std::size_t i = 0; i < mask.size();) {
    char c = mask[i];
    TToken t;
    t.Kind = TKind::Literal;
    if (c == '"' || c == '\'') {
      t.Text = ParseQuoted(mask, i);
      s.Tokens.push_back(std::move(t));
      continue;
    }
    ++i;
    if ((c == '0' || c == '#') && !s.Scientific) {
      t.Kind = TKind::Digit;
      t.Ch = c;
      if (afterPoint) {
        ++s.DecDigits;
        if (c == '0') s.LastDecZero = s.DecDigits;
      } else {
        if (c == '0' && s.FirstIntZero < 0) s.FirstIntZero = s.IntDigits;
        ++s.IntDigits;
      }
    } else if (c == '.' && !afterPoint && !s.Scientific) {
      t.Kind = TKind::Point;
      afterPoint = true;
    } else if (c == ',' && !s.Scientific) {
      s.Thousands = true;
      continue;
    } else if ((c == 'E' || c == 'e') && !s.Scientific && i < mask.size() &&
               (mask[i] == '+' || mask[i] == '-')) {
      t.Kind = TKind::Exponent;
      t.Ch = c;
      t.Plus = mask[i++] == '+';
      while (i < mask.size() && mask[i] == '0') ++t.Digits, ++i;
      t.Digits = std::clamp(t.Digits, 1, 4);
      s.Scientific = true;
    } else {
      t.Text = std::string(1, c);
    }
    s.Tokens.push_back(std::move(t));
  }
  if (s.FirstIntZero < 0) s.FirstIntZero = s.IntDigits;
  return s;
}

// The integer digits of d (as many as d.Point, '0'-padded) with separators.
void AppendIntDigits(std::string& out, const TDecimal& d, int fromPos, int toPos, bool thousands) {
  for (int p = fromPos; p >= toPos; --p) {
    out += DigitAt(d, d.Point - p);
    if (thousands && p > 1 && (p - 1) % 3 == 0) out += ',';
  }
}

}  // namespace

TFormatMask::TFormatMask(std::string_view mask) : FMask(mask) {
  std::size_t start = 0;
  for (std::size_t i = 0; i <= mask.size() && FSections.size() < 3;) {
    if (i < mask.size() && (mask[i] == '"' || mask[i] == '\'')) {
      ParseQuoted(mask, i);
      continue;
    }
    if (i == mask.size() || mask[i] == ';') {
      FSections.push_back(ParseSection(mask.substr(start, i - start)));
      start = i + 1;
    }
    ++i;
  }
}

std::string TFormatMask::FormatWith(const TSection& s, double a, bool minus, bool& zero) const {
  TDecimal d = ToDecimal(a);
  int exponent = 0;
  int intDigits = s.IntDigits;
  if (s.Scientific) {
    intDigits = std::max(intDigits, 1);
    if (!d.Digits.empty()) {
      RoundTo(d, intDigits + s.DecDigits);
      if (!d.Digits.empty()) {
        exponent = d.Point - intDigits;
        d.Point = intDigits;
      }
    }
  } else {
    RoundTo(d, d.Point + s.DecDigits);
  }
  zero = d.Digits.empty();
  if (zero) d.Point = 0;
  int decimals = s.DecDigits;
  while (decimals > s.LastDecZero && DigitAt(d, d.Point + decimals - 1) == '0') --decimals;

  std::string out = minus && !zero ? "-" : "";
  int intIndex = 0, decIndex = 0;
  for (const TToken& t : s.Tokens) {
    switch (t.Kind) {
      case TKind::Digit:
        if (intIndex < s.IntDigits) {
          int pos = s.IntDigits - intIndex;  // 1-based from the right
          if (intIndex == 0 && d.Point > s.IntDigits)
            AppendIntDigits(out, d, d.Point, s.IntDigits + 1, s.Thousands);
          if (pos <= d.Point || intIndex >= s.FirstIntZero)
            AppendIntDigits(out, d, pos, pos, s.Thousands);
          ++intIndex;
        } else {
          ++decIndex;
          if (decIndex <= decimals) out += DigitAt(d, d.Point + decIndex - 1);
        }
        break;
      case TKind::Point:
        if (s.IntDigits == 0 && d.Point > 0) AppendIntDigits(out, d, d.Point, 1, s.Thousands);
        intIndex = s.IntDigits;
        if (decimals > 0) out += '.';
        break;
      case TKind::Exponent: {
        out += t.Ch;
        if (exponent < 0 || t.Plus) out += exponent < 0 ? '-' : '+';
        std::string digits = std::to_string(std::abs(exponent));
        if (static_cast<int>(digits.size()) < t.Digits)
          digits.insert(0, t.Digits - digits.size(), '0');
        out += digits;
        break;
      }
      case TKind::Literal:
        out += t.Text;
        break;
    }
  }
  return out;
}

std::string TFormatMask::Format(double value) const {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (FSections.empty() || FSections[0].Empty) return FormatGeneral(value);
  bool negative = value < 0;
  const TSection* s = &FSections[0];
  bool ownSign = negative && FSections.size() >= 2 && !FSections[1].Empty;
  if (ownSign) s = &FSections[1];
  if (!s->Scientific && std::fabs(value) >= 1e18) return FormatGeneral(value);
  bool zero = false;
  std::string text = FormatWith(*s, std::fabs(value), negative && !ownSign, zero);
  if (!zero) return text;
  // Zero, or rounded to zero: the zero section, else the first without a sign.
  if (FSections.size() >= 3 && !FSections[2].Empty)
    s = &FSections[2];
  else
    s = &FSections[0];
  return FormatWith(*s, 0, false, zero);
}

std::string FormatFloat(std::string_view mask, double value) {
  return TFormatMask(mask).Format(value);
}

namespace {

// Characters a spreadsheet shows as they are outside quotes.
bool PlainLiteral(char c) {
  return c == '-' || c == '+' || c == '(' || c == ')' || c == ' ' || c == '/' || c == ':' ||
         c == '$';
}

void AppendLiteral(std::string& out, const std::string& text) {
  std::string quoted;
  auto flush = [&] {
    if (!quoted.empty()) out += "\"" + quoted + "\"";
    quoted.clear();
  };
  for (char c : text) {
    if (c == '"') {
      flush();
      out += "\\\"";
    } else if (PlainLiteral(c)) {
      flush();
      out += c;
    } else {
      quoted += c;
    }
  }
  flush();
}

}  // namespace

std::string TFormatMask::SectionCode(const TSection& s) {
  std::string out;
  // With thousands separators the integer digits read "#,##0": at least four
  // places, the separator before the last three.
  const int intPlaces = s.Thousands ? std::max(s.IntDigits, 4) : s.IntDigits;
  int intIndex = 0, placed = 0;
  bool pointSeen = false;
  auto place = [&](char ch) {
    out += ch;
    if (s.Thousands && ++placed == intPlaces - 3) out += ',';
  };
  auto integerDigit = [&](char ch) {
    if (intIndex++ == 0)
      for (int k = 0; k < intPlaces - s.IntDigits; ++k) place('#');
    place(ch);
  };
  std::string literal;  // a run of literal tokens, quoted as one
  for (const TToken& t : s.Tokens) {
    if (t.Kind == TKind::Literal) {
      literal += t.Text;
      continue;
    }
    AppendLiteral(out, literal);
    literal.clear();
    switch (t.Kind) {
      case TKind::Digit:
        if (!pointSeen && intIndex < s.IntDigits)
          integerDigit(t.Ch);
        else
          out += t.Ch;
        break;
      case TKind::Point:
        if (s.IntDigits == 0)
          for (int k = 0; k < intPlaces; ++k) place('#');
        pointSeen = true;
        out += '.';
        break;
      case TKind::Exponent:
        out += t.Ch;
        out += t.Plus ? '+' : '-';
        out += std::string(static_cast<std::size_t>(t.Digits), '0');
        break;
      case TKind::Literal:
        break;
    }
  }
  AppendLiteral(out, literal);
  return out;
}

std::string TFormatMask::SpreadsheetCode() const {
  if (FSections.empty() || FSections[0].Empty) return "General";
  const std::string first = SectionCode(FSections[0]);
  if (FSections.size() == 1) return first;
  std::string out = first + ";";
  out += FSections[1].Empty ? "-" + first : SectionCode(FSections[1]);
  if (FSections.size() >= 3) out += ";" + (FSections[2].Empty ? first : SectionCode(FSections[2]));
  return out;
}

std::string SpreadsheetNumberFormat(std::string_view mask) {
  return TFormatMask(mask).SpreadsheetCode();
}

}  // namespace qd
