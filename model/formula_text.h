// Text helpers of the formula language: characters of UTF-8 text, names compared
// ignoring case, and the function names a summary reference may carry.
#pragma once

#include <string>
#include <string_view>

namespace qd {

//! UTF-8 to characters; a byte that does not start a valid sequence becomes U+FFFD.
std::u32string FormulaChars(std::string_view utf8);
std::string FormulaUtf8(std::u32string_view chars);

//! Equality ignoring the case of ASCII letters.
bool SameFormulaName(std::u32string_view a, std::u32string_view b);

//! The sixteen function names a reference may carry after its dot, by function
//! ordinal (Sum … Median, then five custom functions sharing one name).
constexpr int kFormulaFunctionNames = 16;
const std::string& FormulaFunctionName(int ordinal);

//! The ordinal of the first function name equal to name ignoring case, else -1.
int FindFormulaFunctionName(std::u32string_view name);

}  // namespace qd
