#include "engine/core/text_helpers.h"

#include <unicode/uchar.h>

#include <algorithm>

namespace qd {

std::string_view Trim(std::string_view s, std::string_view blanks) {
  const std::size_t b = s.find_first_not_of(blanks);
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

std::string_view TrimRight(std::string_view s, std::string_view blanks) {
  const std::size_t e = s.find_last_not_of(blanks);
  return e == std::string_view::npos ? std::string_view() : s.substr(0, e + 1);
}

bool IsBlank(std::string_view s, std::string_view blanks) {
  return s.find_first_not_of(blanks) == std::string_view::npos;
}

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = LowerChar(c);
  return r;
}

std::string Upper(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = UpperChar(c);
  return r;
}

char32_t LowerUnicode(char32_t c) {
  return static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerChar(a[i]) != LowerChar(b[i])) return false;
  return true;
}

int CompareNoCase(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(LowerChar(a[i]));
    const auto y = static_cast<unsigned char>(LowerChar(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

std::vector<std::string> SplitNames(std::string_view text, TEmptyName empty, char separator) {
  std::vector<std::string> names;
  for (std::size_t pos = 0;;) {
    const std::size_t sep = text.find(separator, pos);
    const std::size_t end = sep == std::string_view::npos ? text.size() : sep;
    const std::string_view item = Trim(text.substr(pos, end - pos));
    if (!item.empty())
      names.emplace_back(item);
    else if (empty == TEmptyName::enStop)
      break;
    if (sep == std::string_view::npos) break;
    pos = sep + 1;
  }
  return names;
}

std::string JoinNames(const std::vector<std::string>& names) {
  std::string s;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i) s += "; ";
    s += names[i];
  }
  return s;
}

}  // namespace qd
