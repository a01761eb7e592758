// Line splitting of dimension panels, word wrap of labels, and the colour
// arithmetic of the XP gradient and the colour hint.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "view/internal_grid.h"
#include "view/pivot_panels.h"
#include "view/text_lines.h"
#include "view/xp_paint.h"

namespace qd::test {
namespace {

// Every character is 10 pixels wide (UTF-8 sequences count once).
int TenPerChar(const std::string& s) {
  int n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return 10 * n;
}

TEST(TextLines, SplitLineBreaksAfterTheLastSpaceOfTheLongestFittingPrefix) {
  std::string rest;
  EXPECT_EQ(SplitLine("  short  ", 100, TenPerChar, rest), "short");
  EXPECT_EQ(rest, "");
  EXPECT_EQ(SplitLine("sales by region", 100, TenPerChar, rest), "sales by");
  EXPECT_EQ(rest, "region");
  EXPECT_EQ(SplitLine("abcdefghijkl", 50, TenPerChar, rest), "abcde");
  EXPECT_EQ(rest, "fghijkl");
  EXPECT_EQ(SplitLine("保费收入分析", 40, TenPerChar, rest), "保费收入");
  EXPECT_EQ(rest, "分析");
  // Not even one character fits: the line still takes one, so callers end.
  EXPECT_EQ(SplitLine("abc", 5, TenPerChar, rest), "a");
  EXPECT_EQ(rest, "bc");
}

TEST(TextLines, WrapWordsJoinsWhileTheLineStaysNarrowerAndCutsLongWords) {
  EXPECT_EQ(WrapWords("a bb ccc", 50, TenPerChar), (std::vector<std::string>{"a bb", "ccc"}));
  // "fits" means strictly narrower than the width.
  EXPECT_EQ(WrapWords("abcd", 40, TenPerChar), (std::vector<std::string>{"abc", "d"}));
  EXPECT_EQ(WrapWords("xy abcdefgh", 40, TenPerChar),
            (std::vector<std::string>{"xy", "abc", "def", "gh"}));
  EXPECT_TRUE(WrapWords("", 40, TenPerChar).empty());
  // A first character that does not fit stops wrapping; what was done is kept.
  EXPECT_EQ(WrapWords("ab cd", 10, TenPerChar), (std::vector<std::string>{}));
  EXPECT_EQ(WrapWords("a bcd", 20, TenPerChar), (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST(TextLines, DimPanelTextKeepsOneClippedLineOrSplitsIntoFurtherLines) {
  // Panel 150 wide: the first line has 150 - 2 - 19 = 129 pixels.
  TDimPanelText one = SplitDimPanelText("Product category name", 150, 1, TenPerChar);
  EXPECT_TRUE(one.FirstLineWhole);
  EXPECT_EQ(one.FirstLine, "Product category name");
  EXPECT_TRUE(one.MoreLines.empty());
  TDimPanelText two = SplitDimPanelText("Product category name", 150, 2, TenPerChar);
  EXPECT_FALSE(two.FirstLineWhole);
  EXPECT_EQ(two.FirstLine, "Product");
  EXPECT_EQ(two.MoreLines, (std::vector<std::string>{"category name"}));
  TDimPanelText fits = SplitDimPanelText("Year", 150, 3, TenPerChar);
  EXPECT_EQ(fits.FirstLine, "Year");
  EXPECT_TRUE(fits.MoreLines.empty());
}

TEST(XPPaint, ShadeRaisesChannelsToAPowerAndGradientEndsOnTheEndColour) {
  EXPECT_EQ(Shade(QColor(64, 128, 255), 1.0), QColor(64, 128, 255));
  EXPECT_EQ(Shade(QColor(64, 0, 255), 0.5), QColor(128, 0, 255));  // 255 x sqrt(64/255) = 127.75
  EXPECT_EQ(Shade(QColor(128, 128, 128), 2.0), QColor(64, 64, 64));
  QImage img(4, 10, QImage::Format_RGB32);
  img.fill(Qt::white);
  {
    QPainter p(&img);
    FillGradient(p, img.rect(), QColor(0, 0, 0), QColor(90, 90, 90));
  }
  // Nine steps over ten pixels: one pixel each, the last pixel takes the end colour.
  EXPECT_EQ(QColor(img.pixel(0, 0)), QColor(0, 0, 0));
  EXPECT_EQ(QColor(img.pixel(0, 8)), QColor(90, 90, 90));
  EXPECT_EQ(QColor(img.pixel(0, 9)), QColor(90, 90, 90));
  EXPECT_EQ(QColor(img.pixel(0, 4)).red(), 45);
  QImage tiny(2, 2, QImage::Format_RGB32);
  {
    QPainter p(&tiny);
    FillGradient(p, tiny.rect(), QColor(10, 20, 30), QColor(200, 200, 200));
  }
  EXPECT_EQ(QColor(tiny.pixel(1, 1)), QColor(10, 20, 30)) << "fewer than two steps: start colour";
}

TEST(ColorHint, RunsFromBlueToRedAndIsRedWhenAllValuesAreEqual) {
  using enum TvtcColorSchema;
  EXPECT_EQ(ColorHintColor(5, 5, 5, vtcHighestIsHot), QColor(255, 0, 0));
  const QColor low = ColorHintColor(0, 0, 10, vtcHighestIsHot);
  const QColor high = ColorHintColor(10, 0, 10, vtcHighestIsHot);
  EXPECT_EQ(low.hslHue(), 240);
  EXPECT_EQ(high.hslHue(), 0);
  EXPECT_GT(high.hslSaturation(), low.hslSaturation());
  EXPECT_EQ(ColorHintColor(0, 0, 10, vtcHighestIsCold).hslHue(), 0);
}

TEST(WrappedRows, HeightIsPadPlusLinesOfTextAndPad) {
  EXPECT_EQ(WrappedRowHeight(3, 13, 20), 51);
  EXPECT_EQ(WrappedRowHeight(1, 13, 20), 19);
  EXPECT_EQ(WrappedRowHeight(0, 13, 20), 20);
}

}  // namespace
}  // namespace qd::test
