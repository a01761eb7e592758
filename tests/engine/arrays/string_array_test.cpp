#include "engine/arrays/string_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/core/errors.h"
#include "stream_test_support.h"

namespace qd {
namespace {

TEST(StringArray, CompareIgnoresCaseAndOrdersHanTextByPinyin) {
  EXPECT_EQ(CompareText("Beijing", "BEIJING"), 0);
  EXPECT_LT(CompareText("apple", "Banana"), 0);
  EXPECT_LT(CompareText("北京", "上海"), 0);  // bei < shang
  EXPECT_LT(CompareText("上海", "深圳"), 0);  // shang < shen
  EXPECT_LT(CompareText("Zeta", "北京"), 0);  // Latin before Han
  EXPECT_NE(CompareText("a", "a "), 0);
  EXPECT_LT(CompareText("", "a"), 0);
}

TEST(StringArray, AsciiShortcutAgreesWithTheCollator) {
  const std::string alphabet = std::string("aAbBzZ09_- .,;:!?'\"()[]{}@*/\\&#%`^+<=>|~$\t\n\r") +
                               std::string(1, '\x01') + std::string(1, '\x7F');
  std::mt19937 rng(17);
  auto randomText = [&] {
    std::string s(rng() % 6, ' ');
    for (char& c : s) c = alphabet[rng() % alphabet.size()];
    return s;
  };
  auto sign = [](int v) { return (v > 0) - (v < 0); };
  for (int i = 0; i < 20000; ++i) {
    std::string a = randomText(), b = randomText();
    ASSERT_EQ(sign(CompareText(a, b)), sign(CompareTextByCollator(a, b)))
        << testing::PrintToString(a) << " vs " << testing::PrintToString(b);
  }
  for (int x = 1; x < 128; ++x)
    for (int y = 1; y < 128; ++y) {
      std::string a(1, static_cast<char>(x)), b(1, static_cast<char>(y));
      ASSERT_EQ(sign(CompareText(a + "k", b)), sign(CompareTextByCollator(a + "k", b)))
          << x << " " << y;
    }
}

TEST(StringArray, SortedFindAndAddAreConsistentOnRandomText) {
  const char* pool[] = {"Alpha", "alpha", "ALPHA", "beta", "北京", "上海", "广州", "深圳",
                        "b",     "B",     "10",    "9",    "",     "Ω",    "ω",    "zeta"};
  std::mt19937 rng(3);
  TStringArray a;
  a.SetSorted(true);
  std::vector<std::string> added;
  for (int i = 0; i < 300; ++i) {
    std::string s = pool[rng() % std::size(pool)];
    a.Add(s);
    added.push_back(s);
  }
  ASSERT_EQ(a.Count(), 300);
  for (std::int32_t i = 1; i < a.Count(); ++i) EXPECT_LE(CompareText(a[i - 1], a[i]), 0);
  for (const char* probe : pool) {
    std::int32_t index;
    ASSERT_TRUE(a.Find(probe, index));
    EXPECT_EQ(CompareText(a[index], probe), 0);
    if (index > 0) {
      EXPECT_LT(CompareText(a[index - 1], probe), 0);  // the first equal item
    }
  }
  std::int32_t index;
  EXPECT_FALSE(a.Find("gamma", index));
  EXPECT_EQ(a.IndexOf("gamma"), -1);
}

TEST(StringArray, DuplicatesObjectsInsertDeleteAndExchange) {
  int one = 1, two = 2;
  TStringArray a;
  a.SetSorted(true);
  a.SetDuplicates(TDuplicates::dupIgnore);
  EXPECT_EQ(a.AddObject("Apple", &one), 0);
  EXPECT_EQ(a.AddObject("APPLE", &two), 0);  // the existing entry gets the new object
  EXPECT_EQ(a.Count(), 1);
  EXPECT_EQ(a.GetObject(0), &two);
  EXPECT_EQ(a[0], "Apple");
  a.SetDuplicates(TDuplicates::dupError);
  EXPECT_THROW(a.Add("apple"), EArrayError);

  TStringArray u;
  u.AddObject("x", &one);
  u.AddObject("y", &two);
  u.Insert(0, "w");
  EXPECT_EQ(u.GetObject(0), nullptr);
  EXPECT_EQ(u.GetObject(1), &one);
  u.Exchange(1, 2);
  EXPECT_EQ(u[1], "y");
  EXPECT_EQ(u.GetObject(1), &two);
  u.Delete(0);
  EXPECT_EQ(u[0], "y");
  EXPECT_EQ(u.GetObject(1), &one);
  EXPECT_THROW(u.Get(2), EArrayError);
}

TEST(StringArray, TurningSortedOnSortsAndAssignCopies) {
  TStringArray a;
  for (const char* s : {"pear", "Apple", "北京", "banana"}) a.Add(s);
  a.SetSorted(true);
  EXPECT_EQ(a.ToVector(), (std::vector<std::string>{"Apple", "banana", "pear", "北京"}));
  EXPECT_EQ(a.IndexOf("BANANA"), 1);

  TStringArray b;
  b.Add("old");
  b.Assign(a);
  EXPECT_EQ(b.ToVector(), a.ToVector());
  EXPECT_TRUE(b.Sorted());
  TIntegerArray ints;
  EXPECT_THROW(b.Assign(ints), EArrayError);

  TStringArray c;
  c.AddStrings(a);
  c.AddStrings(c);
  EXPECT_EQ(c.Count(), 8);
  c.ClearStrings();
  EXPECT_EQ(c.Count(), 8);
  EXPECT_EQ(c[7], "");
}

TEST(StringArray, StreamFormIsGoldenAndRoundTrips) {
  TStringArray a;
  a.SetDuplicates(TDuplicates::dupIgnore);
  a.Add("Total");
  a.Add("合计");
  a.Add(std::string(300, 'L'));
  test::TBytes bytes = test::WrittenObject(a);
  EXPECT_EQ(static_cast<std::int32_t>(bytes.size()), a.Size());
  test::ExpectGolden("string_array.bin", bytes);

  TStringArray back;
  TTagReader reader(bytes);
  back.Read(reader);
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(back.ToVector(), a.ToVector());
  EXPECT_EQ(back.Duplicates(), TDuplicates::dupIgnore);
  EXPECT_EQ(back.GetObject(2), nullptr);

  TStringArray empty;
  EXPECT_TRUE(test::WrittenObject(empty).empty());
}

TEST(StringArray, UnreadableStringsClearTheArrayWithTheGeneralError) {
  TStringArray a;
  a.Add("Total");
  a.Add("合计");
  test::TBytes bytes = test::WrittenObject(a);
  // Cut inside the second string: the items cannot be read.
  test::TBytes cut(bytes.begin(), bytes.end() - 4);
  TTagReader reader(cut);
  TStringArray back;
  try {
    back.Read(reader);
    FAIL() << "no error";
  } catch (const EArrayError& e) {
    EXPECT_EQ(e.Message(), "一般性数组错误。");
  }
  EXPECT_EQ(back.Count(), 0);
  // A count the data cannot hold is refused before anything is allocated.
  test::TBytes lying = test::Bytes({0x00, 0x01, 0x14, 0x01, 6, 0xFF, 0xFF, 0xFF, 0x7F, 0x19, 0x01});
  TTagReader lyingReader(lying);
  EXPECT_THROW(back.Read(lyingReader), EStreamError);
}

}  // namespace
}  // namespace qd
