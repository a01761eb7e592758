#include "engine/arrays/typed_arrays.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "stream_test_support.h"

namespace qd {
namespace {

template <typename F>
std::string ErrorText(F&& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "";
}

// ---- behaviour shared by the ordered arrays ----------------------------------------

template <typename A>
class OrderedArray : public testing::Test {};
using OrderedTypes = testing::Types<TIntegerArray, TLongwordArray, TInt64Array, TDoubleArray>;
TYPED_TEST_SUITE(OrderedArray, OrderedTypes);

TYPED_TEST(OrderedArray, SortedAddFollowsTheDuplicatesMode) {
  using T = typename TypeParam::TItem;
  TypeParam ignore, accept, error;
  for (TypeParam* a : {&ignore, &accept, &error}) a->SetSorted(true);
  ignore.SetDuplicates(TDuplicates::dupIgnore);
  error.SetDuplicates(TDuplicates::dupError);

  EXPECT_EQ(ignore.Add(T(5)), 0);
  EXPECT_EQ(ignore.Add(T(3)), 0);
  EXPECT_EQ(ignore.Add(T(5)), 1);
  EXPECT_EQ(ignore.Count(), 2);

  accept.Add(T(5));
  accept.Add(T(3));
  EXPECT_EQ(accept.Add(T(5)), 1);
  ASSERT_EQ(accept.Count(), 3);
  EXPECT_EQ(accept[2], T(5));

  error.Add(T(5));
  error.Add(T(3));
  EXPECT_EQ(ErrorText([&] { error.Add(T(5)); }), "在数据组中定义了重复项。");
  ASSERT_EQ(error.Count(), 2);
  EXPECT_EQ(error[0], T(3));
  EXPECT_EQ(error[1], T(5));
}

TYPED_TEST(OrderedArray, FindAgreesWithANaiveSearchOnRandomData) {
  using T = typename TypeParam::TItem;
  std::mt19937 rng(7);
  for (TDuplicates mode : {TDuplicates::dupAccept, TDuplicates::dupIgnore}) {
    TypeParam a;
    a.SetSorted(true);
    a.SetDuplicates(mode);
    std::vector<T> reference;
    for (int i = 0; i < 500; ++i) {
      T v = T(rng() % 200);
      a.Add(v);
      if (mode == TDuplicates::dupAccept ||
          std::find(reference.begin(), reference.end(), v) == reference.end())
        reference.insert(std::lower_bound(reference.begin(), reference.end(), v), v);
    }
    ASSERT_EQ(a.Count(), static_cast<std::int32_t>(reference.size()));
    for (std::int32_t i = 0; i < a.Count(); ++i) ASSERT_EQ(a[i], reference[i]);
    for (int probe = 0; probe < 210; ++probe) {
      T v = T(probe);
      std::int32_t index = -1;
      bool found = a.Find(v, index);
      auto lower = std::lower_bound(reference.begin(), reference.end(), v);
      EXPECT_EQ(found, lower != reference.end() && *lower == v);
      EXPECT_EQ(index, lower - reference.begin());  // first equal item, or insertion point
      EXPECT_EQ(a.IndexOf(v), found ? index : -1);
    }
  }
}

TYPED_TEST(OrderedArray, SortByPositionsMatchesStdSortAndExchangeWorks) {
  using T = typename TypeParam::TItem;
  std::mt19937 rng(11);
  TypeParam a;
  std::vector<T> reference;
  for (int i = 0; i < 3000; ++i) {
    T v = T(rng() % 1000);
    a.Add(v);
    reference.push_back(v);
  }
  a.Sort([&](std::int32_t i, std::int32_t j) {
    T x = a[i], y = a[j];
    return x < y ? -1 : x > y ? 1 : 0;
  });
  std::sort(reference.begin(), reference.end());
  for (std::int32_t i = 0; i < a.Count(); ++i) ASSERT_EQ(a[i], reference[i]);

  // Flagged sorted: sorting by a compare does nothing.
  a.SetSorted(true);
  a.Sort([&](std::int32_t i, std::int32_t j) { return a[j] < a[i] ? -1 : a[j] > a[i] ? 1 : 0; });
  EXPECT_EQ(a[0], reference.front());
}

TYPED_TEST(OrderedArray, StreamRoundTripKeepsItemsAndFlags) {
  using T = typename TypeParam::TItem;
  TypeParam a;
  EXPECT_TRUE(test::WrittenObject(a).empty());
  EXPECT_EQ(a.Size(), 0);
  a.SetSorted(true);
  a.SetDuplicates(TDuplicates::dupError);
  for (int v : {-7, 0, 1, 200, 70000}) a.Add(T(v));
  test::TBytes bytes = test::WrittenObject(a);
  EXPECT_EQ(static_cast<std::int32_t>(bytes.size()), a.Size());

  TypeParam back;
  TTagReader reader(bytes);
  back.Read(reader);
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_TRUE(back.Sorted());
  EXPECT_EQ(back.Duplicates(), TDuplicates::dupError);
  ASSERT_EQ(back.Count(), a.Count());
  for (std::int32_t i = 0; i < a.Count(); ++i) EXPECT_EQ(back[i], a[i]);

  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    test::TBytes prefix(bytes.begin(), bytes.begin() + cut);
    TTagReader r(prefix);
    TypeParam partial;
    EXPECT_THROW(partial.Read(r), EStreamError) << "cut " << cut;
  }
}

// ---- base behaviour ------------------------------------------------------------

TEST(TypedArray, GrowthPolicyAndBounds) {
  TIntegerArray a;
  EXPECT_EQ(a.Capacity(), 32);
  std::vector<std::int32_t> capacities;
  for (int i = 0; i < 260; ++i) {
    a.Add(i);
    if (capacities.empty() || capacities.back() != a.Capacity()) capacities.push_back(a.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<std::int32_t>{32, 64, 96, 128, 160, 200, 250, 312}));

  EXPECT_EQ(ErrorText([&] { a.Get(260); }), "数组越界: 260");
  EXPECT_EQ(ErrorText([&] { a.Get(-1); }), "数组越界: -1");
  EXPECT_EQ(ErrorText([&] { a.Insert(262, 0); }), "数组越界: 262");
  EXPECT_EQ(ErrorText([&] { a.SetCapacity(259); }), "数组越界: 259");
  EXPECT_EQ(ErrorText([&] { a.SetCount(-2); }), "数组越界: -2");
  EXPECT_EQ(ErrorText([&] { a.SetCount(a.MaxCount() + 1); }), "数组越界: 536870912");
  EXPECT_EQ(a.Count(), 260);

  TIntegerArray sized(5);
  EXPECT_EQ(sized.Count(), 5);
  EXPECT_EQ(sized.Capacity(), 5);
  EXPECT_EQ(sized[4], 0);
  a.Clear();
  EXPECT_EQ(a.Count(), 0);
  EXPECT_EQ(a.Capacity(), 0);
  a.Add(1);
  EXPECT_EQ(a.Capacity(), 32);
}

TEST(TypedArray, DeleteInsertAndSetCountMoveAndKeepItemsAsStated) {
  TIntegerArray a(0);
  for (int v : {10, 20, 30, 40}) a.Add(v);
  a.Insert(1, 15);
  a.Delete(0);
  ASSERT_EQ(a.Count(), 4);
  EXPECT_EQ(a[0], 15);
  EXPECT_EQ(a[3], 40);
  // The vacated slot is zeroed; an item that becomes visible again keeps its value.
  a.SetCount(5);
  EXPECT_EQ(a[4], 0);
  a.SetCount(2);
  a.SetCount(4);
  EXPECT_EQ(a[3], 40);
  // Growing the count past the capacity zeroes the new storage.
  a.SetCount(100);
  EXPECT_EQ(a.Capacity(), 100);
  EXPECT_EQ(a[99], 0);
}

TEST(TypedArray, SetSortedOnlySetsTheFlagAndUnsortedAddsAppend) {
  TIntegerArray a;
  for (int v : {5, 3, 9}) a.Add(v);
  a.SetSorted(true);
  EXPECT_EQ(a[0], 5);
  EXPECT_EQ(a[1], 3);
  EXPECT_EQ(a[2], 9);
  TIntegerArray u;
  u.SetDuplicates(TDuplicates::dupError);
  u.Add(1);
  EXPECT_EQ(u.Add(1), 1);  // the policy only applies to sorted arrays
  EXPECT_EQ(u.IndexOf(1), 0);
}

TEST(TypedArray, IdentityFillExchangeAndAssign) {
  TIntegerArray a(4);
  a.FillIdentity();
  a.Exchange(0, 3);
  EXPECT_EQ(a[0], 3);
  EXPECT_EQ(a[3], 0);
  a.SetSorted(true);
  a.SetDuplicates(TDuplicates::dupIgnore);
  TIntegerArray b;
  b.Assign(a);
  ASSERT_EQ(b.Count(), 4);
  EXPECT_EQ(b[0], 3);
  EXPECT_TRUE(b.Sorted());
  EXPECT_EQ(b.Duplicates(), TDuplicates::dupIgnore);
  TDoubleArray d;
  EXPECT_THROW(d.Assign(a), EArrayError);  // another item size

  TLongwordArray w;
  w.Add(1);
  w.Add(2);
  w.Exchange(0, 1);
  EXPECT_EQ(w[0], 2u);
}

TEST(TypedArray, DoublesWithinTheToleranceAreEqualAndSortAscends) {
  TDoubleArray a;
  a.SetSorted(true);
  a.SetDuplicates(TDuplicates::dupIgnore);
  a.Add(1.0);
  EXPECT_EQ(a.Add(1.0 + 1e-120), 0);
  EXPECT_EQ(a.Count(), 1);
  EXPECT_EQ(a.IndexOf(1.0 - 1e-101), 0);
  EXPECT_EQ(a.IndexOf(1.0 + 1e-15), -1);

  TDoubleArray b;
  for (double v : {3.5, -1.0, 2.0, -7.25}) b.Add(v);
  b.Sort();
  EXPECT_EQ(b[0], -7.25);
  EXPECT_EQ(b[3], 3.5);
}

TEST(TypedArray, GoldenStreamForms) {
  TIntegerArray ints;
  for (int v : {0, 127, 128, -32769}) ints.Add(v);
  test::ExpectGolden("integer_array.bin", test::WrittenObject(ints));
  EXPECT_EQ(test::WrittenObject(ints),
            test::Bytes({0x00, 0x01, 0x0A, 0x01, 3, 1, 0x14, 0x01, 4,    4,    0x19, 0x01, 4, 0,
                         4,    127,  5,    0x80, 0, 6, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x01}));
  TDoubleArray doubles;
  doubles.SetSorted(true);
  doubles.Add(1.5);
  doubles.Add(-2.0);
  test::ExpectGolden("double_array.bin", test::WrittenObject(doubles));
  TRecordArray records(6);
  const char rec[] = "abcdef";
  records.Append(rec);
  test::ExpectGolden("record_array.bin", test::WrittenObject(records));
}

// Reading replaces the whole array: flags the block leaves out are the
// writer's defaults again (a stale sorted flag would make Add insert by binary
// search among unsorted items), and tags the array does not know are skipped.
TEST(TypedArray, ReadingReplacesItemsAndFlagsAndSkipsUnknownTags) {
  TIntegerArray a;
  a.SetSorted(true);
  a.SetDuplicates(TDuplicates::dupError);
  for (int v : {1, 2, 3}) a.Add(v);
  // 0x100, an unknown 0x1F0 integer, count 2, items 9 and 4, 0x1FF.
  const test::TBytes bytes = test::Bytes(
      {0x00, 0x01, 0xF0, 0x01, 4, 7, 0x14, 0x01, 4, 2, 0x19, 0x01, 4, 9, 4, 4, 0xFF, 0x01});
  TTagReader reader(bytes);
  a.Read(reader);
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_FALSE(a.Sorted());
  EXPECT_EQ(a.Duplicates(), TDuplicates::dupIgnore);
  ASSERT_EQ(a.Count(), 2);
  EXPECT_EQ(a[0], 9);
  EXPECT_EQ(a[1], 4);
  // A count whose items never come leaves no items behind.
  const test::TBytes countOnly = test::Bytes({0x00, 0x01, 0x14, 0x01, 4, 1, 0xFF, 0x01});
  TTagReader countReader(countOnly);
  a.Read(countReader);
  EXPECT_EQ(a.Count(), 0);
}

TEST(TypedArray, GenericFormRefusesAWrongItemSizeOrLength) {
  TDoubleArray doubles;
  doubles.Add(1.0);
  test::TBytes bytes = test::WrittenObject(doubles);
  // Item size 8 → 4 (a longword array's): refused by the double array.
  test::TBytes other = bytes;
  ASSERT_EQ(other[4], 4);
  other[5] = 4;
  TTagReader reader(other);
  TDoubleArray d;
  EXPECT_THROW(d.Read(reader), EStreamError);
  // A record array takes the item size it reads, but a binary of the wrong
  // length for the count is refused.
  TTagReader recReader(other);
  TRecordArray r(1);
  EXPECT_THROW(r.Read(recReader), EStreamError);
  TTagReader okReader(bytes);
  r.Read(okReader);
  EXPECT_EQ(r.ItemSize(), 8);
  EXPECT_EQ(r.Count(), 1);
}

// ---- pointer and object arrays ---------------------------------------------------

struct TCounted : TStreamedObject {
  static inline int Alive = 0;
  std::int32_t Value = 0;
  TCounted() { ++Alive; }
  explicit TCounted(std::int32_t v) : Value(v) { ++Alive; }
  ~TCounted() override { --Alive; }
  void Write(TTagWriter& w) const override {
    w.WriteTag(0x700);
    if (Value != 0) w.WriteIntegerField(0x705, Value);
    w.WriteTag(0x7FF);
  }
  void Read(TTagReader& r) override {
    r.ReadBlock(0x700, [&](TTag tag) {
      if (tag != 0x705) return false;
      Value = r.ReadInteger();
      return true;
    });
  }
  std::int32_t Size() const override {
    return 2 * kTagSize + (Value != 0 ? kTagSize + SizeOfInteger(Value) : 0);
  }
};

TEST(ObjectArray, PointersAppendAndSearchByIdentity) {
  int x = 0, y = 0;
  TPointerArray p;
  EXPECT_EQ(p.Add(&x), 0);
  EXPECT_EQ(p.Add(&y), 1);
  EXPECT_EQ(p.IndexOf(&y), 1);
  EXPECT_EQ(p.IndexOf(nullptr), -1);
  p.Fill(&x);
  EXPECT_EQ(p.IndexOf(&y), -1);
}

TEST(ObjectArray, OwnsItsObjects) {
  {
    TObjectArray<TCounted> a;
    for (int i = 0; i < 40; ++i) a.Add(std::make_unique<TCounted>(i));
    EXPECT_EQ(TCounted::Alive, 40);
    a.Delete(0);
    a.Put(0, std::make_unique<TCounted>(99));
    EXPECT_EQ(TCounted::Alive, 39);
    auto kept = a.Extract(1);
    a.SetCount(10);
    EXPECT_EQ(TCounted::Alive, 11);
    a.SetCount(20);
    EXPECT_EQ(a[15], nullptr);
    a.Clear();
    EXPECT_EQ(TCounted::Alive, 1);
    a.Add(std::make_unique<TCounted>(1));
  }
  EXPECT_EQ(TCounted::Alive, 0);
}

TEST(ObjectArray, StreamedObjectsWriteTheirBlocksAndReadThemBack) {
  TStreamedObjectArray<TCounted> a;
  for (int v : {0, 5, -300}) a.Add(std::make_unique<TCounted>(v));
  test::TBytes bytes = test::WrittenObject(a);
  EXPECT_EQ(static_cast<std::int32_t>(bytes.size()), a.Size());
  test::ExpectGolden("streamed_object_array.bin", bytes);
  TStreamedObjectArray<TCounted> back;
  TTagReader reader(bytes);
  back.Read(reader);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back[2]->Value, -300);
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    test::TBytes prefix(bytes.begin(), bytes.begin() + cut);
    TTagReader r(prefix);
    TStreamedObjectArray<TCounted> partial;
    EXPECT_THROW(partial.Read(r), EStreamError) << "cut " << cut;
  }
  // A count larger than the data could hold is refused before allocating.
  test::TBytes lying = test::Bytes({0x00, 0x01, 0x14, 0x01, 6, 0xFF, 0xFF, 0xFF, 0x1F, 0x19, 0x01,
                                    0x00, 0x07, 0xFF, 0x07, 0xFF, 0x01});
  TTagReader lyingReader(lying);
  TStreamedObjectArray<TCounted> refused;
  EXPECT_THROW(refused.Read(lyingReader), EStreamError);
}

}  // namespace
}  // namespace qd
