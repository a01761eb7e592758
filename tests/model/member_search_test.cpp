// Finding members by a piece of their caption, the pinyin of their Han
// characters or its initials.
#include <gtest/gtest.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <random>

#include "model/member_search.h"

namespace qd::test {
namespace {

TEST(MemberSearch, PinyinDropsTonesAndKeepsLettersAndDigits) {
  std::string pinyin, initials;
  PinyinOf("南方 A1-区", pinyin, initials);
  EXPECT_EQ(pinyin, "nanfanga1qu");
  EXPECT_EQ(initials, "nfa1q");
  PinyinOf("", pinyin, initials);
  EXPECT_EQ(pinyin, "");
}

TEST(MemberSearch, FindsByCaptionInAnyCasePinyinOrInitialsInOrderAdded) {
  TMemberSearch search;
  search.Add(7, "北京");
  search.Add(3, "Beijing Road");
  search.Add(9, "南京");
  search.Add(1, "Zürich\nNord");  // a line break inside a caption stays inside it
  EXPECT_EQ(search.Find("bj"), (std::vector<int>{7}));
  EXPECT_EQ(search.Find("BEIJING"), (std::vector<int>{7, 3}));
  EXPECT_EQ(search.Find("jing"), (std::vector<int>{7, 3, 9}));
  EXPECT_EQ(search.Find("nan jing"), (std::vector<int>{9}));
  EXPECT_EQ(search.Find("京"), (std::vector<int>{7, 9}));
  EXPECT_EQ(search.Find("ZÜRICH"), (std::vector<int>{1}));
  EXPECT_EQ(search.Find("dnan"), (std::vector<int>{}));  // never across two entries
  EXPECT_EQ(search.Find(" \t"), (std::vector<int>{7, 3, 9, 1}));
  EXPECT_EQ(search.Find("xyz"), (std::vector<int>{}));
  search.Clear();
  EXPECT_EQ(search.Count(), 0);
  EXPECT_TRUE(search.Find("a").empty());
}

// ICU's full case folding, line feeds as spaces.
std::string NaiveFold(const std::string& text) {
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(text);
  u.foldCase();
  std::string out;
  u.toUTF8String(out);
  std::replace(out.begin(), out.end(), '\n', ' ');
  return out;
}

// The index reads ASCII and Han characters without ICU: on random captions of
// every kind of character it must find exactly what a scan of ICU-folded
// captions, their pinyin and initials finds.
TEST(MemberSearch, FindsWhatANaiveScanOfFoldedTextAndPinyinFinds) {
  static const char* const kPieces[] = {"a", "B", "z", "Q", "7", " ", "\n", "-", "北", "京",
                                        "重", "〇", "Ä", "ß", "SS", "Σ", "ς", "Ａ", "\u212A",
                                        "k", "\xff", "\xe4\xb8", "𠀀", "é"};
  std::mt19937 random(20240611);
  auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  std::vector<std::string> captions;
  TMemberSearch search;
  for (int i = 0; i < 400; ++i) {
    std::string caption;
    for (int k = pick(7); k >= 0; --k) caption += kPieces[pick(std::size(kPieces))];
    captions.push_back(caption);
    search.Add(i, caption);
  }
  for (int q = 0; q < 300; ++q) {
    std::string needle;
    if (q % 2) {
      const std::string& from = captions[static_cast<std::size_t>(pick(400))];
      const std::size_t at = from.empty() ? 0 : static_cast<std::size_t>(pick(static_cast<int>(from.size())));
      needle = from.substr(at, static_cast<std::size_t>(1 + pick(4)));
    } else {
      for (int k = pick(3); k >= 0; --k) needle += kPieces[pick(std::size(kPieces))];
    }
    const std::string folded = NaiveFold(needle);
    std::string compact;
    for (char c : folded)
      if (c != ' ' && c != '\t') compact += c;
    if (compact.empty()) continue;
    const bool ascii = std::all_of(compact.begin(), compact.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    std::string trimmed = folded;
    trimmed.erase(0, trimmed.find_first_not_of(" \t\r\n"));
    trimmed.erase(trimmed.find_last_not_of(" \t\r\n") + 1);
    std::vector<int> expected;
    for (int i = 0; i < 400; ++i) {
      const std::string& caption = captions[static_cast<std::size_t>(i)];
      std::string pinyin, initials;
      PinyinOf(caption, pinyin, initials);
      if (NaiveFold(caption).find(trimmed) != std::string::npos ||
          (ascii && (pinyin.find(compact) != std::string::npos ||
                     initials.find(compact) != std::string::npos)))
        expected.push_back(i);
    }
    EXPECT_EQ(search.Find(needle), expected) << "needle \"" << needle << '"';
  }
}

}  // namespace
}  // namespace qd::test
