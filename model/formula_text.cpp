#include "model/formula_text.h"

#include <array>

#include "engine/core/messages.h"

namespace qd {
namespace {

constexpr std::array<TMsg, kFormulaFunctionNames> kFunctionNames = {
    TMsg::SFormulaFnSum,      TMsg::SFormulaFnCount,      TMsg::SFormulaFnAverage,
    TMsg::SFormulaFnMin,      TMsg::SFormulaFnMax,        TMsg::SFormulaFnVariance,
    TMsg::SFormulaFnStdDev,   TMsg::SFormulaFnMeanAbsDev, TMsg::SFormulaFnSkewness,
    TMsg::SFormulaFnKurtosis, TMsg::SFormulaFnMedian,     TMsg::SFormulaFnCustom,
    TMsg::SFormulaFnCustom,   TMsg::SFormulaFnCustom,     TMsg::SFormulaFnCustom,
    TMsg::SFormulaFnCustom,
};

char32_t FoldAscii(char32_t c) {
  return (c >= U'a' && c <= U'z') ? c - U'a' + U'A' : c;
}

}  // namespace

const std::string& FormulaFunctionName(int ordinal) {
  return Msg(kFunctionNames.at(static_cast<std::size_t>(ordinal)));
}

int FindFormulaFunctionName(std::u32string_view name) {
  for (int i = 0; i < kFormulaFunctionNames; ++i) {
    if (SameFormulaName(FormulaChars(FormulaFunctionName(i)), name)) return i;
  }
  return -1;
}

std::u32string FormulaChars(std::string_view utf8) {
  std::u32string chars;
  chars.reserve(utf8.size());
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(utf8[k]); };
  std::size_t k = 0;
  while (k < utf8.size()) {
    const unsigned char lead = byte(k);
    int extra = 0;
    char32_t c = lead;
    char32_t minimum = 0;
    if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0x80) {
      extra = -1;
    }
    bool valid = extra >= 0 && k + static_cast<std::size_t>(extra) < utf8.size();
    for (int n = 1; valid && n <= extra; ++n) {
      const unsigned char next = byte(k + static_cast<std::size_t>(n));
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    valid = valid && c >= minimum && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    if (!valid) {
      chars += U'\uFFFD';
      ++k;
      continue;
    }
    chars += c;
    k += static_cast<std::size_t>(extra) + 1;
  }
  return chars;
}

std::string FormulaUtf8(std::u32string_view chars) {
  std::string text;
  text.reserve(chars.size());
  for (const char32_t c : chars) {
    if (c < 0x80) {
      text += static_cast<char>(c);
    } else if (c < 0x800) {
      text += static_cast<char>(0xC0 | (c >> 6));
      text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      text += static_cast<char>(0xE0 | (c >> 12));
      text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      text += static_cast<char>(0xF0 | (c >> 18));
      text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return text;
}

bool SameFormulaName(std::u32string_view a, std::u32string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (FoldAscii(a[k]) != FoldAscii(b[k])) return false;
  }
  return true;
}

}  // namespace qd
