#include "engine/core/bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qd {

TEST(Bytes, StoreWritesLittleEndianAtAnyOffsetAndLoadReadsItBack) {
  std::uint8_t buf[32] = {};
  Store<std::int16_t>(buf + 1, -2);
  Store<std::uint32_t>(buf + 3, 0x11223344u);
  Store<std::int64_t>(buf + 7, -0x0102030405060708LL);
  Store<double>(buf + 15, 1.0);
  Store<char16_t>(buf + 23, u'城');
  const std::vector<std::uint8_t> expected = {0x00, 0xFE, 0xFF, 0x44, 0x33, 0x22, 0x11, 0xF8, 0xF8,
                                              0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0x00, 0x00, 0x00,
                                              0x00, 0x00, 0x00, 0xF0, 0x3F, 0xCE, 0x57};
  EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + expected.size()), expected);
  EXPECT_EQ(Load<std::int16_t>(buf + 1), -2);
  EXPECT_EQ(Load<std::uint16_t>(buf + 1), 0xFFFE);
  EXPECT_EQ(Load<std::uint32_t>(buf + 3), 0x11223344u);
  EXPECT_EQ(Load<std::int64_t>(buf + 7), -0x0102030405060708LL);
  EXPECT_EQ(Load<double>(buf + 15), 1.0);
  EXPECT_EQ(Load<char16_t>(buf + 23), u'城');
}

TEST(Bytes, AppendAddsTheSameBytesToStringsAndByteVectors) {
  std::string s = "x";
  AppendBytes(s, std::uint16_t{0x0409});
  AppendBytes(s, -1.5);
  std::vector<std::uint8_t> v;
  AppendBytes(v, std::uint16_t{0x0409});
  AppendBytes(v, -1.5);
  ASSERT_EQ(s.size(), 11u);
  EXPECT_EQ(s.substr(1, 2), "\x09\x04");
  EXPECT_EQ(std::string(v.begin(), v.end()), s.substr(1));
  EXPECT_EQ(Load<double>(s.data() + 3), -1.5);
}

}  // namespace qd
