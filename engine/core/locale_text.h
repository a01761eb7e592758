// Locale-dependent text of the program's Chinese locale: the case-sensitive
// order of member captions and the long month names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qd {

//! Case-sensitive locale order (pinyin for Han text; digits and Latin letters
//! before Han text, lower case before upper case): negative, 0 or positive.
//! Texts the collation cannot tell apart are ordered by their bytes, so the
//! result is 0 only for equal texts and the order serves sorting and
//! searching alike.
int CompareLocaleText(std::string_view a, std::string_view b);

//! The locale's twelve long month names ("一月" … "十二月"), January first.
const std::vector<std::string>& LongMonthNames();

//! 1..12 when the text equals one of the long month names (ignoring case),
//! else -1.
int LongMonthNumber(std::string_view text);

}  // namespace qd
