// Saved fields declared once: one table per block drives writing and reading.
#include "engine/io/saved_fields.h"

#include <gtest/gtest.h>

#include "engine/core/errors.h"
#include "stream_test_support.h"

namespace qd::test {
namespace {

enum class TShade : std::uint8_t { shLight = 0, shMid = 1, shDark = 2 };

struct TLeaf {
  std::string Text;
  std::int32_t Weight = 0;
  void Write(TTagWriter& w) const;
  void Read(TTagReader& r);
  bool operator==(const TLeaf&) const = default;
};

// A record with a field of every declared kind.
struct TRecord {
  std::int32_t Number = 0;
  std::int64_t Big = 0;
  std::uint8_t Small = 0;
  bool Flag = false;
  std::string Name;
  std::string Label;  // written always
  TShade Shade = TShade::shLight;
  std::int32_t Odd = 0;  // written only when odd
  TLeaf Leaf;
  std::vector<TLeaf> Leaves;
  bool operator==(const TRecord&) const = default;
};

// clang-format off
constexpr auto kLeaf = Block<TLeaf>(0x900, {
    Field<&TLeaf::Text>(0x905),
    Field<&TLeaf::Weight>(0x90A),
});
// clang-format on

void TLeaf::Write(TTagWriter& w) const {
  WriteFields(w, kLeaf, *this);
}
void TLeaf::Read(TTagReader& r) {
  ReadFields(r, kLeaf, *this);
}

// clang-format off
constexpr auto kRecord = Block<TRecord>(0x800, {
    Field<&TRecord::Number>(0x805),
    Field<&TRecord::Big>(0x80A),
    Retired(0x80F),
    Field<&TRecord::Small>(0x814),
    Field<&TRecord::Flag>(0x819),
    Field<&TRecord::Name>(0x81E),
    Always<&TRecord::Label>(0x823),
    Ordinal<&TRecord::Shade, TShade::shDark>(0x828),
    FieldIf<&TRecord::Odd>(0x82D, [](const TRecord& r) { return r.Odd % 2 != 0; }),
    Nested<&TRecord::Leaf>(0x832, [](const TRecord& r) { return !r.Leaf.Text.empty(); }),
    NestedArray<&TRecord::Leaves>(0x837),
});
// clang-format on

static_assert(WellFormed(kRecord) && WellFormed(kLeaf));

// The checks a table must pass: a retired tag is never given to a field again,
// tags lie inside the block on its five-step grid, and none occurs twice.
static_assert(!WellFormed(Block<TLeaf>(0x900, {Retired(0x905), Field<&TLeaf::Text>(0x905)})));
static_assert(!WellFormed(Block<TLeaf>(0x900, {Field<&TLeaf::Text>(0x906)})));
static_assert(!WellFormed(Block<TLeaf>(0x900, {Field<&TLeaf::Text>(0x9FF)})));
static_assert(!WellFormed(Block<TLeaf>(0x900, {Field<&TLeaf::Text>(0x805)})));
static_assert(!WellFormed(Block<TLeaf>(0x900, {Field<&TLeaf::Text>(0x905),
                                               Field<&TLeaf::Weight>(0x905)})));
static_assert(!WellFormed(Block<TLeaf>(0x901, {Field<&TLeaf::Text>(0x906)})));

TBytes WriteRecord(const TRecord& r) {
  return Written([&](TTagWriter& w) { WriteFields(w, kRecord, r); });
}

TRecord ReadRecord(const TBytes& bytes, TRecord into = {}) {
  TTagReader r(bytes);
  ReadFields(r, kRecord, into);
  EXPECT_TRUE(r.AtEnd());
  return into;
}

TRecord Full() {
  TRecord r;
  r.Number = -70000;
  r.Big = std::int64_t{1} << 40;
  r.Small = 200;
  r.Flag = true;
  r.Name = "名称";
  r.Label = "label";
  r.Shade = TShade::shDark;
  r.Odd = 3;
  r.Leaf = {"leaf", 7};
  r.Leaves = {{"a", 1}, {"", 0}, {"c", -1}};
  return r;
}

TEST(SavedFields, EveryKindRoundTripsAndAbsentFieldsReadAsTheirDefault) {
  const TRecord full = Full();
  EXPECT_EQ(ReadRecord(WriteRecord(full)), full);
  // Read over an object holding other values: what the block leaves out is
  // the default again, not what the object held.
  TRecord sparse;
  sparse.Name = "only";
  EXPECT_EQ(ReadRecord(WriteRecord(sparse), full), sparse);
}

TEST(SavedFields, EachFieldIsWrittenOnlyUnderItsCondition) {
  // Defaults: the begin tag, the always-written empty label, the end tag.
  EXPECT_EQ(WriteRecord(TRecord()), Bytes({0x00, 0x08, 0x23, 0x08, 15, 0, 0xFF, 0x08}));
  TRecord r;
  r.Odd = 4;                // even: left out by its own condition
  r.Leaf.Weight = 9;        // the leaf goes only with a text
  r.Shade = TShade::shMid;  // an ordinal as one byte
  r.Big = 5;                // a small 64-bit value as a plain integer
  EXPECT_EQ(WriteRecord(r),
            Bytes({0x00, 0x08, 0x0A, 0x08, 4, 5, 0x23, 0x08, 15, 0, 0x28, 0x08, 3, 1, 0xFF, 0x08}));
}

TEST(SavedFields, RetiredAndUnknownTagsAreSkipped) {
  // 0x80F retired (a string), 0x8F0 unknown (an object), then the number.
  const TBytes bytes =
      Bytes({0x00, 0x08, 0x0F, 0x08, 15,   2,    'o',  'k',  0xF0, 0x08, 19,   4,   0,
             0,    0,    0x00, 0x09, 0xFF, 0x09, 0x05, 0x08, 4,    42,   0xFF, 0x08});
  TRecord expected;
  expected.Number = 42;
  EXPECT_EQ(ReadRecord(bytes), expected);
}

TEST(SavedFields, BadOrdinalsDeepNestingAndTruncationAreStreamErrors) {
  TRecord r;
  r.Shade = static_cast<TShade>(3);
  EXPECT_THROW(ReadRecord(WriteRecord(r)), EStreamError);

  const TBytes bytes = WriteRecord(Full());
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    const TBytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    TRecord into;
    TTagReader reader(cut);
    EXPECT_THROW(ReadFields(reader, kRecord, into), EStreamError) << n;
  }

  // Objects nested beyond the reader's limit are refused before the stack goes.
  std::function<void(TTagWriter&, int)> nest = [&](TTagWriter& w, int depth) {
    w.WriteTag(0x900);
    if (depth > 0) WriteObjectInPlace(w, 0x905, [&] { nest(w, depth - 1); });
    w.WriteTag(0x9FF);
  };
  std::function<void(TTagReader&)> follow = [&](TTagReader& r) {
    r.ReadBlock(0x900, [&](TTag) {
      ReadObjectInPlace(r, [&] { follow(r); });
      return true;
    });
  };
  for (int depth : {TTagReader::kMaxNesting, TTagReader::kMaxNesting + 1}) {
    const TBytes deep = Written([&](TTagWriter& w) { nest(w, depth); });
    TTagReader reader(deep);
    if (depth > TTagReader::kMaxNesting)
      EXPECT_THROW(follow(reader), EStreamError);
    else
      EXPECT_NO_THROW(follow(reader));
  }
}

}  // namespace
}  // namespace qd::test
