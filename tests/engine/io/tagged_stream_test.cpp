#include "engine/io/tagged_stream.h"

#include <gtest/gtest.h>

#include <limits>

#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "stream_test_support.h"

namespace qd {
namespace {

using test::Bytes;
using test::TBytes;
using test::Written;

TEST(TaggedStream, IntegersUseTheSmallestCodeAndReadBackSignExtended) {
  struct TCase {
    std::int64_t value;
    TBytes bytes;
  };
  const TCase cases[] = {
      {0, Bytes({4, 0})},
      {127, Bytes({4, 0x7F})},
      {-128, Bytes({4, 0x80})},
      {128, Bytes({5, 0x80, 0})},
      {-129, Bytes({5, 0x7F, 0xFF})},
      {32767, Bytes({5, 0xFF, 0x7F})},
      {-32768, Bytes({5, 0, 0x80})},
      {-32769, Bytes({6, 0xFF, 0x7F, 0xFF, 0xFF})},
      {2147483647, Bytes({6, 0xFF, 0xFF, 0xFF, 0x7F})},
      {2147483648LL, Bytes({7, 0, 0, 0, 0x80, 0, 0, 0, 0})},
      {-2147483649LL, Bytes({7, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    TBytes bytes = Written([&](TTagWriter& w) { w.WriteInt64(c.value); });
    EXPECT_EQ(bytes, c.bytes);
    EXPECT_EQ(SizeOfInt64(c.value), static_cast<std::int32_t>(bytes.size()));
    TTagReader reader(bytes);
    EXPECT_EQ(reader.ReadInt64(), c.value);
    EXPECT_TRUE(reader.AtEnd());
    if (c.bytes[0] != 7) {
      TTagReader narrow(bytes);
      EXPECT_EQ(narrow.ReadInteger(), c.value);
    }
  }
}

TEST(TaggedStream, StringsSwitchToTheLongFormAt256StoredBytes) {
  for (std::size_t n : {0u, 1u, 255u, 256u, 70000u}) {
    SCOPED_TRACE(n);
    std::string s(n, 'x');
    TBytes bytes = Written([&](TTagWriter& w) { w.WriteString(s); });
    EXPECT_EQ(bytes[0], n < 256 ? 15 : 16);
    EXPECT_EQ(bytes.size(), n + (n < 256 ? 2 : 5));
    EXPECT_EQ(SizeOfString(s), static_cast<std::int32_t>(bytes.size()));
    TTagReader reader(bytes);
    EXPECT_EQ(reader.ReadString(), s);
  }
  // 128 Han characters are 384 bytes of UTF-8 but 256 GB18030 bytes: long form.
  std::string han;
  for (int i = 0; i < 128; ++i) han += "中";
  TBytes bytes = Written([&](TTagWriter& w) { w.WriteString(han); });
  EXPECT_EQ(bytes[0], 16);
  EXPECT_EQ(bytes.size(), 256u + 5);
  EXPECT_EQ(SizeOfString(han), 261);
}

TEST(TaggedStream, TextIsStoredAsGb18030AndReadBackAsUtf8) {
  TBytes bytes = Written([](TTagWriter& w) { w.WriteString("北京a"); });
  EXPECT_EQ(bytes, Bytes({15, 5, 0xB1, 0xB1, 0xBE, 0xA9, 'a'}));
  TTagReader reader(bytes);
  EXPECT_EQ(reader.ReadString(), "北京a");
}

TEST(TaggedStream, BooleansBytesAndOtherAcceptedForms) {
  EXPECT_EQ(Written([](TTagWriter& w) { w.WriteBoolean(true); }), Bytes({9}));
  EXPECT_EQ(Written([](TTagWriter& w) { w.WriteBoolean(false); }), Bytes({8}));
  // Any code other than 9 reads as false, and consumes only the code.
  for (int code : {0, 4, 8, 15, 19, 200}) {
    TBytes bytes = Bytes({code});
    TTagReader reader(bytes);
    EXPECT_FALSE(reader.ReadBoolean()) << code;
  }
  EXPECT_EQ(Written([](TTagWriter& w) { w.WriteByte(200); }), Bytes({3, 200}));
  TBytes fromInteger = Bytes({5, 0x34, 0x12});
  TTagReader reader(fromInteger);
  EXPECT_EQ(reader.ReadByte(), 0x34);
  EXPECT_TRUE(reader.AtEnd());
}

TEST(TaggedStream, WrongValueCodesRaiseInvalidPropertyValue) {
  const std::string text = Msg(TMsg::SInvalidPropertyValue);
  auto expectInvalid = [&](TBytes bytes, auto read) {
    TTagReader reader(bytes);
    try {
      read(reader);
      ADD_FAILURE() << "no error";
    } catch (const EStreamError& e) {
      EXPECT_EQ(e.Message(), text);
    }
  };
  expectInvalid(Bytes({3, 1}), [](TTagReader& r) { r.ReadInteger(); });
  expectInvalid(Bytes({18, 0, 0, 0, 0}), [](TTagReader& r) { r.ReadString(); });
  expectInvalid(Bytes({15, 0}), [](TTagReader& r) { r.ReadBinary(); });
  expectInvalid(Bytes({18, 0, 0, 0, 0}), [](TTagReader& r) {
    TStreamedObject o;
    r.ReadObject(o);
  });
  expectInvalid(Bytes({20}), [](TTagReader& r) { r.SkipValue(); });
  expectInvalid(Bytes({0xFF}), [](TTagReader& r) { r.SkipValue(); });
}

TEST(TaggedStream, MissingTagReportsPositionAndExpectedTagAndStepsBack) {
  TBytes bytes = Bytes({0, 1, 0x34, 0x12});
  TTagReader reader(bytes);
  reader.ExpectTag(0x100);
  try {
    reader.ExpectTag(0x300);
    FAIL() << "no error";
  } catch (const EStreamError& e) {
    EXPECT_EQ(e.Message(), "非法流数据在位置 2. Tag 300 expected");
  }
  EXPECT_EQ(reader.Position(), 2u);
  EXPECT_EQ(reader.ReadTag(), 0x1234);
}

// A block holding one unknown field of the given value, then a known field.
TBytes BlockWithUnknown(const TBytes& value) {
  TBytes out = Bytes({0x00, 0x03, 0x63, 0x03});  // begin tag 0x300, unknown tag 0x363
  out.insert(out.end(), value.begin(), value.end());
  TBytes rest = Bytes({0x0A, 0x03, 4, 42, 0xFF, 0x03});  // 0x30A = 42, end tag
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

TEST(TaggedStream, SkipsUnknownFieldsOfEveryValueCode) {
  const TBytes values[] = {
      Bytes({0}),
      Bytes({1}),
      Bytes({2, 0xFF}),
      Bytes({3, 0xFF}),
      Bytes({4, 0xFF}),
      Bytes({5, 0xFF, 0xFF}),
      Bytes({6, 1, 2, 3, 4}),
      Bytes({7, 1, 2, 3, 4, 5, 6, 7, 8}),
      Bytes({8}),
      Bytes({9}),
      Bytes({10, 1, 2, 3, 4}),
      Bytes({11, 1, 2, 3, 4, 5, 6, 7, 8}),
      Bytes({12, 1, 2, 3, 4, 5, 6, 7, 8}),
      Bytes({13, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
      Bytes({14, 1, 2, 3, 4, 5, 6, 7, 8}),
      Bytes({15, 3, 0xFF, 0x03, 0xFF}),
      Bytes({16, 2, 0, 0, 0, 0xFF, 0x03}),
      Bytes({17, 2, 0, 0, 0, 0xFF, 0x03, 0xFF, 0x03}),
      Bytes({18, 3, 0, 0, 0, 0xFF, 0x03, 0}),
      Bytes({19, 4, 0, 0, 0, 0x00, 0x05, 0xFF, 0x05}),
      Bytes({0x80 | 6, 1, 2, 3, 4}),  // only the low seven bits count
      Bytes({0x80 | 15, 1, 0xFF}),
  };
  for (const TBytes& value : values) {
    SCOPED_TRACE(static_cast<int>(value[0]));
    TBytes bytes = BlockWithUnknown(value);
    TTagReader reader(bytes);
    std::int32_t known = 0;
    reader.ReadBlock(0x300, [&](TTag tag) {
      if (tag != 0x30A) return false;
      known = reader.ReadInteger();
      return true;
    });
    EXPECT_EQ(known, 42);
    EXPECT_TRUE(reader.AtEnd());
  }
}

TEST(TaggedStream, TruncatedValuesRaiseStreamErrorsNeverReadPastTheEnd) {
  const TBytes values[] = {
      Bytes({3, 1}),
      Bytes({5, 1, 2}),
      Bytes({6, 1, 2, 3, 4}),
      Bytes({7, 1, 2, 3, 4, 5, 6, 7, 8}),
      Bytes({13, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
      Bytes({15, 2, 'a', 'b'}),
      Bytes({16, 2, 0, 0, 0, 'a', 'b'}),
      Bytes({17, 1, 0, 0, 0, 'a', 'b'}),
      Bytes({18, 1, 0, 0, 0, 7}),
      Bytes({19, 4, 0, 0, 0, 0, 3, 0xFF, 3}),
  };
  for (const TBytes& value : values) {
    for (std::size_t cut = 0; cut < value.size(); ++cut) {
      SCOPED_TRACE(testing::Message() << "code " << int(value[0]) << " cut " << cut);
      // A copy of exactly the prefix, so that ASan sees any read past it.
      TBytes prefix(value.begin(), value.begin() + cut);
      TTagReader skipper(prefix);
      EXPECT_THROW(skipper.SkipValue(), EStreamError);
      TTagReader reader(prefix);
      EXPECT_THROW(
          {
            switch (value[0]) {
              case 15:
              case 16:
                reader.ReadString();
                break;
              case 18:
                reader.ReadBinary();
                break;
              case 7:
                reader.ReadInt64();
                break;
              case 3:
                reader.ReadByte();
                break;
              default:
                reader.SkipValue();
                break;
            }
          },
          EStreamError);
    }
  }
  // Lengths far beyond the data are refused before anything is allocated.
  TBytes huge = Bytes({18, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2});
  TTagReader reader(huge);
  EXPECT_THROW(reader.ReadBinary(), EStreamError);
  TBytes hugeList = Bytes({17, 0xFF, 0xFF, 0xFF, 0xFF});
  TTagReader lister(hugeList);
  EXPECT_THROW(lister.SkipValue(), EStreamError);
}

TEST(TaggedStream, ObjectFieldsAreOmittedWhenEmptyAndSkippedBySize) {
  test::TSample empty;
  TBytes none = Written([&](TTagWriter& w) { w.WriteObjectField(0x405, &empty.Keys); });
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(SizeOfObjectField(&empty.Keys), 0);
  EXPECT_EQ(SizeOfObjectField(nullptr), 0);

  test::TSample sample;
  sample.Name = "样本";
  sample.Keys.Add(7);
  TBytes field = Written([&](TTagWriter& w) { w.WriteObjectField(0x405, &sample); });
  ASSERT_EQ(field.size(), static_cast<std::size_t>(SizeOfObjectField(&sample)));
  EXPECT_EQ(field[2], 19);
  // The stored size is the block's length: a reader that does not know the
  // field skips exactly the block.
  TBytes block = Bytes({0x00, 0x04});
  block.insert(block.end(), field.begin(), field.end());
  block.push_back(0xFF);
  block.push_back(0x04);
  TTagReader reader(block);
  reader.ReadBlock(0x400, [](TTag) { return false; });
  EXPECT_TRUE(reader.AtEnd());
}

TEST(TaggedStream, SampleObjectMatchesItsGoldenBytesAndRoundTrips) {
  test::TSample sample;
  sample.Name = "销售额";
  sample.Number = -32769;
  sample.Big = 1LL << 40;
  sample.Kind = 2;
  sample.Flag = true;
  for (int v : {3, -1, 300}) sample.Keys.Add(v);
  sample.Captions.Add("Total");
  sample.Captions.Add("合计");
  TBytes bytes = test::WrittenObject(sample);
  EXPECT_EQ(static_cast<std::int32_t>(bytes.size()), sample.Size());
  test::ExpectGolden("sample_object.bin", bytes);

  test::TSample back;
  TTagReader reader(bytes);
  back.Read(reader);
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(back.Name, sample.Name);
  EXPECT_EQ(back.Number, sample.Number);
  EXPECT_EQ(back.Big, sample.Big);
  EXPECT_EQ(back.Kind, 2);
  EXPECT_TRUE(back.Flag);
  ASSERT_EQ(back.Keys.Count(), 3);
  EXPECT_EQ(back.Keys[2], 300);
  ASSERT_EQ(back.Captions.Count(), 2);
  EXPECT_EQ(back.Captions[1], "合计");

  // Every truncation of the block fails with an error, never a crash.
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    TBytes prefix(bytes.begin(), bytes.begin() + cut);
    TTagReader r(prefix);
    test::TSample partial;
    EXPECT_THROW(partial.Read(r), Exception) << "cut " << cut;
  }
}

TEST(TaggedStream, DefaultObjectIsEmpty) {
  TStreamedObject base;
  EXPECT_EQ(base.Size(), 0);
  EXPECT_TRUE(test::WrittenObject(base).empty());
}

}  // namespace
}  // namespace qd
