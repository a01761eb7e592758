#include "export/column_fit.h"

#include <cmath>
#include <cstdint>

#include "engine/core/text_codec.h"

namespace qd {

namespace {

bool IsWide(std::uint32_t cp) {
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
         (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
         (cp >= 0xFFE0 && cp <= 0xFFE6) || cp >= 0x20000;
}

// Advance of a character in em: the widest of the common faces a reader may
// substitute (Arial and its metric twins, DejaVu), so that a fitted column
// holds its text in any of them.
double Advance(std::uint32_t cp) {
  if (IsWide(cp)) return 1.0;
  if (cp >= '0' && cp <= '9') return 0.64;
  switch (cp) {
    case ' ': case '.': case ',': case ':': case ';': case '!': case '|': case '\'':
      return 0.32;
    case '-': case '(': case ')': case '[': case ']':
      return 0.39;
    case 'i': case 'j': case 'l':
      return 0.28;
    case 'm': case 'w': case '%': case 'M': case 'W': case '@':
      return 0.95;
    default:
      break;
  }
  if (cp >= 'A' && cp <= 'Z') return 0.72;
  if (cp >= 'a' && cp <= 'z') return 0.6;
  return 0.64;
}

}  // namespace

int TextPixelWidth(std::string_view utf8, const TExportFont& font, int pixelsPerInch) {
  double em = 0;
  for (std::size_t i = 0; i < utf8.size();) em += Advance(NextCodePoint(utf8, i));
  if (font.Bold) em *= 1.08;
  return static_cast<int>(std::ceil(em * font.Size * pixelsPerInch / 72.0));
}

}  // namespace qd
