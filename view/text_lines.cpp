#include "view/text_lines.h"

#include <cstddef>

#include "engine/core/text_helpers.h"

namespace qd {

namespace {

// Byte lengths of the UTF-8 prefixes that end on a character boundary.
std::vector<std::size_t> CharEnds(const std::string& s) {
  std::vector<std::size_t> ends;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    i = std::min(s.size(), i + n);
    ends.push_back(i);
  }
  return ends;
}

// Longest prefix (in bytes) whose width satisfies `fits`; 0 when none.
template <class Fits>
std::size_t LongestPrefix(const std::string& s, Fits fits) {
  std::size_t best = 0;
  for (std::size_t end : CharEnds(s)) {
    if (!fits(s.substr(0, end))) break;
    best = end;
  }
  return best;
}

}  // namespace

std::string SplitLine(const std::string& text, int width, const TTextWidth& measure,
                      std::string& remainder) {
  const std::string t(Trim(text));
  if (measure(t) <= width) {
    remainder.clear();
    return t;
  }
  std::size_t cut = LongestPrefix(t, [&](const std::string& p) { return measure(p) <= width; });
  const std::string prefix = t.substr(0, cut);
  if (const auto space = prefix.rfind(' '); space != std::string::npos && space > 0)
    cut = space + 1;
  if (cut == 0) cut = CharEnds(t).front();  // always make progress
  remainder = Trim(std::string_view(t).substr(cut));
  return std::string(Trim(std::string_view(t).substr(0, cut)));
}

std::vector<std::string> WrapWords(const std::string& text, int width, const TTextWidth& measure) {
  std::vector<std::string> lines;
  auto fits = [&](const std::string& s) { return measure(s) < width; };
  std::vector<std::string> words;
  for (std::size_t i = 0; i <= text.size();) {
    const auto sp = text.find(' ', i);
    const auto end = sp == std::string::npos ? text.size() : sp;
    if (end > i) words.push_back(text.substr(i, end - i));
    if (sp == std::string::npos) break;
    i = sp + 1;
  }
  std::string line;
  for (std::string word : words) {
    if (!line.empty()) {
      if (fits(line + " " + word)) {
        line += " " + word;
        continue;
      }
      lines.push_back(line);
      line.clear();
    }
    while (!fits(word)) {
      const std::size_t cut = LongestPrefix(word, fits);
      if (cut == 0) {
        if (!line.empty()) lines.push_back(line);
        return lines;
      }
      lines.push_back(word.substr(0, cut));
      word = word.substr(cut);
    }
    line = word;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace qd
