#include "engine/core/text_codec.h"

#include <gtest/gtest.h>

namespace qd {

TEST(TextCodec, RoundTripsChineseThroughGb18030) {
  const std::string utf8 = "北京分公司 ABC €𠀀";
  std::string ansi = Utf8ToAnsi(utf8);
  EXPECT_EQ(ansi.substr(0, 4), "\xB1\xB1\xBE\xA9");  // 北京 in GBK
  EXPECT_FALSE(IsValidUtf8(ansi));
  EXPECT_EQ(AnsiToUtf8(ansi), utf8);
  EXPECT_EQ(Utf8ToAnsi("plain"), "plain");
}

TEST(TextCodec, BrokenInputNeverThrows) {
  EXPECT_EQ(AnsiToUtf8("a\x81"), "a\xEF\xBF\xBD");  // truncated two-byte sequence
  EXPECT_EQ(Utf8ToAnsi("a\xFF"), "a\xFF");          // not UTF-8: passed through
}

TEST(TextCodec, DecodesFilesAsUtf8OrGb18030) {
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF维度"), "维度");
  EXPECT_EQ(DecodeTextFile(Utf8ToAnsi("维度=城市")), "维度=城市");
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // an overlong form
}

TEST(TextCodec, CodePointsKeepDamagedBytesApart) {
  EXPECT_EQ(CodePoints("险a𠀀"), (std::u32string{U'险', U'a', U'𠀀'}));
  // A stray lead byte and a truncated sequence stand for their own bytes, so
  // two different damaged texts stay different.
  EXPECT_EQ(CodePoints("\xFFx"), (std::u32string{0xFF, U'x'}));
  EXPECT_EQ(CodePoints("\xE9\x99"), (std::u32string{0xE9, 0x99}));
  EXPECT_NE(CodePoints("\xE9\x99"), CodePoints("\xE9\x98"));
}

}  // namespace qd
