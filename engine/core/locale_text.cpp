#include "engine/core/locale_text.h"

#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/ucol.h>
#include <unicode/unistr.h>

#include <algorithm>

namespace qd {
namespace {

constexpr const char* kLocale = "zh";

// One case-sensitive collator per thread.
class TCaseCollator {
 public:
  TCaseCollator() {
    UErrorCode status = U_ZERO_ERROR;
    FCollator = ucol_open(kLocale, &status);
    if (U_FAILURE(status)) {
      if (FCollator) ucol_close(FCollator);
      FCollator = nullptr;
      return;
    }
    ucol_setStrength(FCollator, UCOL_TERTIARY);
    // The same script order as the case-insensitive compare of string arrays.
    const int32_t noReorder[] = {UCOL_REORDER_CODE_NONE};
    status = U_ZERO_ERROR;
    ucol_setReorderCodes(FCollator, noReorder, 1, &status);
  }
  ~TCaseCollator() {
    if (FCollator) ucol_close(FCollator);
  }
  TCaseCollator(const TCaseCollator&) = delete;
  TCaseCollator& operator=(const TCaseCollator&) = delete;
  UCollator* Get() const { return FCollator; }

 private:
  UCollator* FCollator = nullptr;
};

int CompareBytes(std::string_view a, std::string_view b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

std::vector<std::string> LoadMonthNames() {
  std::vector<std::string> names;
  UErrorCode status = U_ZERO_ERROR;
  icu::DateFormatSymbols symbols(icu::Locale(kLocale), status);
  if (U_SUCCESS(status)) {
    int32_t count = 0;
    const icu::UnicodeString* months =
        symbols.getMonths(count, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::WIDE);
    for (int32_t i = 0; months && i < count && i < 12; ++i) {
      std::string name;
      months[i].toUTF8String(name);
      names.push_back(std::move(name));
    }
  }
  if (names.size() != 12)
    names = {"一月", "二月", "三月", "四月", "五月",   "六月",
             "七月", "八月", "九月", "十月", "十一月", "十二月"};
  return names;
}

std::string FoldCase(std::string_view text) {
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  u.foldCase();
  std::string out;
  u.toUTF8String(out);
  return out;
}

}  // namespace

int CompareLocaleText(std::string_view a, std::string_view b) {
  thread_local TCaseCollator collator;
  if (collator.Get()) {
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r =
        ucol_strcollUTF8(collator.Get(), a.data(), static_cast<int32_t>(a.size()), b.data(),
                         static_cast<int32_t>(b.size()), &status);
    if (U_SUCCESS(status) && r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
  }
  return CompareBytes(a, b);
}

const std::vector<std::string>& LongMonthNames() {
  static const std::vector<std::string> names = LoadMonthNames();
  return names;
}

int LongMonthNumber(std::string_view text) {
  static const std::vector<std::string> folded = [] {
    std::vector<std::string> out;
    for (const auto& n : LongMonthNames()) out.push_back(FoldCase(n));
    return out;
  }();
  const std::string key = FoldCase(text);
  const auto it = std::find(folded.begin(), folded.end(), key);
  return it == folded.end() ? -1 : static_cast<int>(it - folded.begin()) + 1;
}

}  // namespace qd
