// Small text helpers every layer shares: trimming, ASCII case mapping and
// comparison, and the ";"-separated name lists that hold a dimension's
// composite parts, its attributes and a cube's key fields.
//
// Text inside the program is UTF-8. The ASCII helpers change only the bytes
// 'A'–'Z' / 'a'–'z', and no byte of a UTF-8 multibyte character falls in that
// range, so Chinese and other non-ASCII text passes through unchanged. They are
// not meant for raw GB18030 bytes: a GBK trail byte can be an ASCII letter.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

namespace text_detail {
inline constexpr std::array<char, 33> kSpaceAndControlChars = [] {
  std::array<char, 33> chars{};
  for (std::size_t i = 0; i < chars.size(); ++i) chars[i] = static_cast<char>(i);
  return chars;
}();
}  // namespace text_detail

//! The blanks trimmed by default: space, tab, carriage return and line feed.
inline constexpr std::string_view kBlanks = " \t\r\n";
//! White space of the C locale: the blanks, form feed and vertical tab.
inline constexpr std::string_view kWhiteSpace = " \t\r\n\f\v";
//! The space and every control character below it (NUL included), the blanks
//! of INI and definition-file text.
inline constexpr std::string_view kSpaceAndControls{text_detail::kSpaceAndControlChars.data(),
                                                    text_detail::kSpaceAndControlChars.size()};

//! `s` without the leading and trailing characters found in `blanks`: a view
//! into `s`, so copy it before the text it views goes away.
std::string_view Trim(std::string_view s, std::string_view blanks = kBlanks);
//! `s` without the trailing characters found in `blanks`.
std::string_view TrimRight(std::string_view s, std::string_view blanks = kBlanks);
//! True for an empty text or one made only of characters from `blanks`.
bool IsBlank(std::string_view s, std::string_view blanks = kBlanks);

constexpr char LowerChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char UpperChar(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
//! ASCII letters mapped, every other byte kept.
std::string Lower(std::string_view s);
std::string Upper(std::string_view s);
//! Simple Unicode lower-case mapping of one code point (ICU's).
char32_t LowerUnicode(char32_t c);

//! Equal when the ASCII letters are compared without regard to case and every
//! other byte exactly: how names of fields, dimensions and summaries match.
bool SameText(std::string_view a, std::string_view b);
//! Byte order after lowering the ASCII letters: negative, 0 or positive.
int CompareNoCase(std::string_view a, std::string_view b);
//! `s` begins with `prefix`, ASCII letters compared without regard to case.
bool StartsWithNoCase(std::string_view s, std::string_view prefix);

//! What a name list does with an empty item (one of blanks only).
enum class TEmptyName : std::uint8_t {
  enSkip = 0,  //!< leave it out and read on
  enStop = 1   //!< end the list there
};

//! The items of a list separated by `separator`, each trimmed of blanks.
std::vector<std::string> SplitNames(std::string_view text, TEmptyName empty = TEmptyName::enSkip,
                                    char separator = ';');
//! Items joined with "; ", the form in which name lists are written.
std::string JoinNames(const std::vector<std::string>& names);

}  // namespace qd
