// Finding members by a piece of their caption, the pinyin of their Han
// characters or its initials.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qd::test
