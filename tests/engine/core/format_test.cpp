#include "engine/core/format.h"

#include <gtest/gtest.h>

#include "engine/core/errors.h"
#include "engine/core/messages.h"

namespace qd {

TEST(Format, FillsTheMessagePlaceholders) {
  EXPECT_EQ(Format(Msg(TMsg::SArrayIndexError), 7), "数组越界: 7");
  EXPECT_EQ(Format(Msg(TMsg::SInvalidStreamData), 0x1f, 0x100),
            "非法流数据在位置 1F. Tag 100 expected");
  EXPECT_EQ(Format("%s <= X <= %g", "a", 2.5), "a <= X <= 2.5");
  EXPECT_EQ(Format("%d%%", -3), "-3%");
  EXPECT_EQ(Format("[%5d|%-4s]", 42, "ab"), "[   42|ab  ]");
  EXPECT_EQ(Format("%.3d", 7), "007");
  EXPECT_EQ(Format("%x", -1), "FFFFFFFF");
}

TEST(Format, ThousandsAndGeneralNumbers) {
  EXPECT_EQ(Format("%.0n", 1234567.6), "1,234,568");
  EXPECT_EQ(Format("%.0n", -999.0), "-999");
  EXPECT_EQ(Format("%.0n", -1000.0), "-1,000");
  EXPECT_EQ(Format("%n", 1234.5), "1,234.50");
  EXPECT_EQ(FormatGeneral(0.1), "0.1");
  EXPECT_EQ(FormatGeneral(1e20), "1E20");
  EXPECT_EQ(FormatGeneral(1.5e-7), "1.5E-7");
  EXPECT_EQ(FormatGeneral(100), "100");
  EXPECT_EQ(FormatGeneral(-0.0), "0");
}

TEST(Format, FaultyTemplatesNeverThrow) {
  EXPECT_EQ(Format("%d and %d", 1), "1 and %d");
  EXPECT_EQ(Format("100%"), "100%");
  EXPECT_EQ(Format("%q", 1), "%q");
}

TEST(Messages, TableIsFilledAndNamed) {
  EXPECT_EQ(Msg(TMsg::SUserCanceled), "用户中止了进程");
  EXPECT_STREQ(MsgName(TMsg::SUserCanceled), "SUserCanceled");
  for (int i = 0; i < static_cast<int>(TMsg::Count_); ++i)
    EXPECT_FALSE(Msg(static_cast<TMsg>(i)).empty()) << MsgName(static_cast<TMsg>(i));
}

TEST(Errors, ShareOneBaseCarryingTheMessage) {
  try {
    throw EParseError("bad", 4);
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "bad");
    EXPECT_EQ(dynamic_cast<const EParseError&>(e).Position, 4);
  }
}

}  // namespace qd
