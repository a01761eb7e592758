#include "model/member_search.h"

#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/uscript.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "engine/core/text_helpers.h"

namespace qd {

namespace {

// The toneless syllable of each Han character met so far: the transliterator
// is slow to make (a tenth of a second) and to run, and a list of members
// repeats few characters. One for the program, as indexes are built on other
// threads than the one that searches.
class TSyllables {
 public:
  //! The reference stays valid for the program's life.
  const std::string& Of(UChar32 c) {
    const std::lock_guard lock(FMutex);
    auto it = FCache.find(c);
    if (it != FCache.end()) return it->second;
    std::string out;
    if (Transliterator()) {
      icu::UnicodeString u(c);
      FTranslit->transliterate(u);
      std::string raw;
      u.toUTF8String(raw);
      for (char ch : raw)
        if ((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9')) out += ch;
    }
    return FCache.emplace(c, std::move(out)).first->second;
  }

 private:
  icu::Transliterator* Transliterator() {
    if (!FTried) {
      FTried = true;
      UErrorCode status = U_ZERO_ERROR;
      FTranslit.reset(icu::Transliterator::createInstance("Han-Latin; Latin-ASCII; Lower",
                                                          UTRANS_FORWARD, status));
      if (U_FAILURE(status)) FTranslit.reset();
    }
    return FTranslit.get();
  }
  std::mutex FMutex;
  bool FTried = false;
  std::unique_ptr<icu::Transliterator> FTranslit;
  std::unordered_map<UChar32, std::string> FCache;
};

TSyllables& Syllables() {
  static TSyllables syllables;
  return syllables;
}

bool IsHan(UChar32 c) {
  UErrorCode status = U_ZERO_ERROR;
  return uscript_getScript(c, &status) == USCRIPT_HAN && U_SUCCESS(status);
}

std::string Fold(std::string_view text) {
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  u.foldCase();
  std::string out;
  u.toUTF8String(out);
  // The entries are separated by line feeds: none may occur inside one.
  std::replace(out.begin(), out.end(), '\n', ' ');
  return out;
}

void AppendUtf8(std::string& out, UChar32 c) {
  char buf[U8_MAX_LENGTH];
  int32_t n = 0;
  UBool error = false;
  U8_APPEND(buf, n, U8_MAX_LENGTH, c, error);
  if (!error) out.append(buf, static_cast<std::size_t>(n));
}

}  // namespace

void PinyinOf(std::string_view text, std::string& pinyin, std::string& initials) {
  pinyin.clear();
  initials.clear();
  const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c = 0;
    U8_NEXT(s, i, length, c);
    if (c < 0) continue;
    if (IsHan(c)) {
      const std::string& syllable = Syllables().Of(c);
      if (syllable.empty()) continue;
      pinyin += syllable;
      initials += syllable.front();
    } else if (u_isalnum(c)) {
      const UChar32 lower = u_tolower(c);
      AppendUtf8(pinyin, lower);
      AppendUtf8(initials, lower);
    }
  }
}

void TMemberSearch::THaystack::Scan(std::string_view needle, std::vector<char>& hit) const {
  const std::string_view text(Text);
  std::size_t at = 0;
  while ((at = text.find(needle, at)) != std::string_view::npos) {
    const auto next = std::upper_bound(Starts.begin(), Starts.end(), at);
    hit[static_cast<std::size_t>(next - Starts.begin() - 1)] = 1;
    // On to the next entry: one hit per entry is enough.
    if (next == Starts.end()) break;
    at = *next;
  }
}

void TMemberSearch::Clear() {
  FKeys.clear();
  FCaptions = {};
  FPinyin = {};
  FInitials = {};
}

void TMemberSearch::Add(int key, std::string_view caption) {
  FKeys.push_back(key);
  for (THaystack* h : {&FCaptions, &FPinyin, &FInitials})
    h->Starts.push_back(static_cast<std::uint32_t>(h->Text.size()));
  AppendEntry(caption);
  for (THaystack* h : {&FCaptions, &FPinyin, &FInitials}) h->Text += '\n';
}

const std::string* TMemberSearch::SyllableOf(std::int32_t c) {
  if (c > 0xFFFF) return IsHan(c) ? &Syllables().Of(c) : nullptr;
  if (FCodePoints.empty()) FCodePoints.resize(0x10000, 0);
  std::uint16_t& slot = FCodePoints[static_cast<std::size_t>(c)];
  if (slot == 0) {
    if (IsHan(c)) {
      FSyllables.push_back(Syllables().Of(c));
      slot = static_cast<std::uint16_t>(FSyllables.size() + 1);
    } else {
      slot = 1;
    }
  }
  return slot == 1 ? nullptr : &FSyllables[slot - 2u];
}

// The same results as Fold and PinyinOf, without ICU for ASCII and Han
// characters (neither has a case folding beyond ASCII's); a caption with any
// other character, or with broken UTF-8, has its folded text made by ICU.
void TMemberSearch::AppendEntry(std::string_view caption) {
  std::string& folded = FCaptions.Text;
  std::string& pinyin = FPinyin.Text;
  std::string& initials = FInitials.Text;
  const std::size_t foldedStart = folded.size();
  bool foldedHere = true;
  const auto* s = reinterpret_cast<const std::uint8_t*>(caption.data());
  const auto length = static_cast<int32_t>(caption.size());
  for (int32_t i = 0; i < length;) {
    if (s[i] < 0x80) {
      const char c = static_cast<char>(s[i++]);
      const char lower = LowerChar(c);
      folded += c == '\n' ? ' ' : lower;
      if ((lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9')) {
        pinyin += lower;
        initials += lower;
      }
      continue;
    }
    const int32_t at = i;
    UChar32 c = 0;
    U8_NEXT(s, i, length, c);
    if (c < 0) {
      foldedHere = false;
    } else if (const std::string* syllable = SyllableOf(c)) {
      folded.append(caption.data() + at, static_cast<std::size_t>(i - at));
      if (!syllable->empty()) {
        pinyin += *syllable;
        initials += syllable->front();
      }
    } else {
      foldedHere = false;
      if (u_isalnum(c)) {
        const UChar32 lower = u_tolower(c);
        AppendUtf8(pinyin, lower);
        AppendUtf8(initials, lower);
      }
    }
  }
  if (!foldedHere) {
    folded.resize(foldedStart);
    folded += Fold(caption);
  }
}

std::vector<int> TMemberSearch::Find(std::string_view text) const {
  const std::string folded = Fold(text);
  std::string compact;  // the text without spaces, for pinyin and initials
  for (char c : folded)
    if (c != ' ' && c != '\t') compact += c;
  if (compact.empty()) return FKeys;
  std::vector<char> hit(FKeys.size(), 0);
  const std::string_view trimmed = Trim(folded);
  FCaptions.Scan(trimmed, hit);
  const bool ascii = std::all_of(compact.begin(), compact.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) {
    FPinyin.Scan(compact, hit);
    FInitials.Scan(compact, hit);
  }
  std::vector<int> out;
  for (std::size_t i = 0; i < hit.size(); ++i)
    if (hit[i]) out.push_back(FKeys[i]);
  return out;
}

}  // namespace qd
