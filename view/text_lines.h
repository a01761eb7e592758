// Splitting header texts into lines that fit a pixel width: the dimension
// panels' line splitter and the word wrap of member labels.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qd {

//! Text width in pixels of a UTF-8 string.
using TTextWidth = std::function<int(const std::string&)>;

//! One line of `text` for `width`: the trimmed text when it fits; otherwise the
//! longest prefix that fits, broken after its last space when it has one. The
//! rest (trimmed) goes to `remainder`.
std::string SplitLine(const std::string& text, int width, const TTextWidth& measure,
                      std::string& remainder);

//! Word wrap: a line fits when its width is less than `width`. Words are joined
//! with one space while they fit; a word that does not fit alone is cut into
//! the longest prefixes that fit; wrapping stops at a word whose first
//! character does not fit.
std::vector<std::string> WrapWords(const std::string& text, int width, const TTextWidth& measure);

}  // namespace qd
