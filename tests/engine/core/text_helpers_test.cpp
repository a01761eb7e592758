#include "engine/core/text_helpers.h"

#include <gtest/gtest.h>

#include "engine/core/text_codec.h"

namespace qd {

using Names = std::vector<std::string>;

TEST(TextHelpers, TrimHandlesEmptyAllBlankAndInnerBlanks) {
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim(" \t\r\n"), "") << "only blanks";
  EXPECT_EQ(Trim("\r\n 销售 渠道\t"), "销售 渠道") << "inner blanks stay";
  EXPECT_EQ(Trim("x"), "x");
  EXPECT_EQ(Trim("\fx\v"), "\fx\v") << "form feed is no blank by default";
  EXPECT_EQ(Trim("\fx\v", kWhiteSpace), "x");
  EXPECT_EQ(Trim(" \tx\r", " \t"), "x\r") << "the caller's set only";
  EXPECT_EQ(TrimRight(" x \n"), " x");
  EXPECT_EQ(TrimRight(" \n"), "");
  EXPECT_TRUE(IsBlank(""));
  EXPECT_TRUE(IsBlank(" \r\n"));
  EXPECT_FALSE(IsBlank(" 。"));
}

TEST(TextHelpers, SpaceAndControlsCoverNulToSpaceAndNothingAbove) {
  EXPECT_EQ(kSpaceAndControls.size(), 33u);
  const std::string nul(1, '\0');
  EXPECT_EQ(Trim(nul + "\x01 a\x1F" + nul, kSpaceAndControls), "a");
  EXPECT_EQ(Trim("\x7F"
                 "a!",
                 kSpaceAndControls),
            "\x7F"
            "a!");
  // UTF-8 lead and continuation bytes are never taken for blanks.
  EXPECT_EQ(Trim(" 城市 ", kSpaceAndControls), "城市");
}

TEST(TextHelpers, AsciiCaseMappingLeavesMultibyteTextAlone) {
  EXPECT_EQ(Lower("Sum OF 销售额 ÄÖ ＡＢ"), "sum of 销售额 ÄÖ ＡＢ");
  EXPECT_EQ(Upper("sum of 销售额 äö ａｂ"), "SUM OF 销售额 äö ａｂ");
  EXPECT_EQ(Lower("@[`{"), "@[`{") << "neighbours of the letters";
  EXPECT_EQ(Upper("@[`{"), "@[`{");
  EXPECT_EQ(Lower(""), "");
  // Chinese stored as GB18030 bytes of the GB2312 range keeps every byte.
  const std::string ansi = Utf8ToAnsi("北京分公司");
  EXPECT_EQ(Lower(ansi), ansi);
}

TEST(TextHelpers, CaseInsensitiveCompareFoldsAsciiOnlyAndOrdersBytesUnsigned) {
  EXPECT_TRUE(SameText("Province", "pROVINCE"));
  EXPECT_TRUE(SameText("", ""));
  EXPECT_TRUE(SameText("城市Id", "城市ID"));
  EXPECT_FALSE(SameText("Ä", "ä")) << "non-ASCII letters compare exactly";
  EXPECT_FALSE(SameText("ab", "abc"));
  EXPECT_EQ(CompareNoCase("apple", "APPLE"), 0);
  EXPECT_LT(CompareNoCase("a", "B"), 0);
  EXPECT_GT(CompareNoCase("b", "A"), 0);
  EXPECT_LT(CompareNoCase("ab", "ABC"), 0) << "a prefix sorts first";
  EXPECT_GT(CompareNoCase("城", "z"), 0) << "bytes from 0x80 sort after ASCII";
  EXPECT_TRUE(StartsWithNoCase("TCP:host", "tcp:"));
  EXPECT_FALSE(StartsWithNoCase("tc", "tcp:"));
  EXPECT_TRUE(StartsWithNoCase("x", ""));
}

TEST(TextHelpers, UnicodeLowerMapsLettersOfEveryScriptAndKeepsHan) {
  EXPECT_EQ(LowerUnicode(U'A'), U'a');
  EXPECT_EQ(LowerUnicode(U'Ä'), U'ä');
  EXPECT_EQ(LowerUnicode(U'Ā'), U'ā');
  EXPECT_EQ(LowerUnicode(U'Σ'), U'σ');
  EXPECT_EQ(LowerUnicode(U'Ж'), U'ж');
  EXPECT_EQ(LowerUnicode(U'Ѐ'), U'ѐ');
  EXPECT_EQ(LowerUnicode(U'Ｚ'), U'ｚ');
  EXPECT_EQ(LowerUnicode(U'×'), U'×');
  EXPECT_EQ(LowerUnicode(U'城'), U'城');
}

TEST(TextHelpers, NameListsTrimEachItemAndStopOrSkipAtEmptyItems) {
  EXPECT_EQ(SplitNames(" A ; ;B", TEmptyName::enStop), (Names{"A"}));
  EXPECT_EQ(SplitNames(" A ; ;B;"), (Names{"A", "B"}));
  EXPECT_EQ(SplitNames(";A", TEmptyName::enStop), Names{}) << "an empty first item ends it";
  EXPECT_EQ(SplitNames("A;\t\r\n;B", TEmptyName::enStop), (Names{"A"}));
  EXPECT_EQ(SplitNames("A;B;", TEmptyName::enStop), (Names{"A", "B"}));
  EXPECT_TRUE(SplitNames("").empty());
  EXPECT_TRUE(SplitNames(" ; ;").empty());
  EXPECT_EQ(SplitNames("销售 渠道;\t城市\r\n"), (Names{"销售 渠道", "城市"}));
  EXPECT_EQ(SplitNames("City, Year ,,", TEmptyName::enSkip, ','), (Names{"City", "Year"}));
  EXPECT_EQ(SplitNames("a;b", TEmptyName::enSkip, ','), (Names{"a;b"}));
}

TEST(TextHelpers, JoinedNamesReadBackAsTheSameList) {
  EXPECT_EQ(JoinNames({}), "");
  EXPECT_EQ(JoinNames({"A"}), "A");
  const Names names{"机构", "Sales Channel", "年"};
  EXPECT_EQ(JoinNames(names), "机构; Sales Channel; 年");
  EXPECT_EQ(SplitNames(JoinNames(names), TEmptyName::enStop), names);
}

}  // namespace qd
