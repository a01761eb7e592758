#include "engine/data/memo_dataset.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/core/errors.h"

namespace qd {
namespace {

using enum TFieldType;

// An open dataset of (ID autoinc, Name string(8), Qty integer) with room for n.
void OpenPeople(TvtMemoDataSet& ds, int capacity, int increment = 0) {
  ds.AddFieldDef("ID", ftAutoInc);
  ds.AddFieldDef("Name", ftString, 8, "姓名");
  ds.AddFieldDef("Qty", ftInteger);
  ds.SetCapacity(capacity);
  ds.SetIncCapacity(increment);
  ds.Open();
}

void Add(TvtMemoDataSet& ds, const std::string& name, std::int64_t qty) {
  ds.Append();
  ds.FieldByName("Name").SetValue(name);
  ds.FieldByName("Qty").SetValue(qty);
  ds.Post();
}

std::string Name(const TvtMemoDataSet& ds) {
  return ds.FieldByName("Name").AsString();
}

// Names in navigation order, first to last.
std::vector<std::string> Forward(TvtMemoDataSet& ds) {
  std::vector<std::string> out;
  for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(Name(ds));
  return out;
}

template <typename F>
std::string ErrorOf(F f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace

TEST(MemoDataSet, GrowsOnlyByItsIncrementAndFailedAppendsChangeNothing) {
  TvtMemoDataSet ds;
  OpenPeople(ds, 0);
  EXPECT_EQ(ErrorOf([&] { ds.Append(); }), "Cannot append records");
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(ds.RecordCount(), 0);

  int grown = 0;
  ds.OnIncCapacity = [&](TDataSet&) { ++grown; };
  ds.SetIncCapacity(1);
  Add(ds, "甲", 1);
  EXPECT_EQ(ds.Capacity(), 1);
  EXPECT_EQ(grown, 1);
  ds.SetIncCapacity(-5);  // ignored
  EXPECT_EQ(ds.IncCapacity(), 1);

  Add(ds, "乙", 2);
  EXPECT_EQ(ErrorOf([&] { ds.SetCapacity(1); }), "List capacity out of bounds (1)");
  EXPECT_EQ(ErrorOf([&] { ds.SetCapacity(134217728); }), "List capacity out of bounds (134217728)");
  ds.SetCapacity(50);  // a new block keeps the records
  EXPECT_EQ(Forward(ds), (std::vector<std::string>{"甲", "乙"}));

  // Every record sits at its index in one block, also after a delete.
  ASSERT_EQ(ds.Records(1).Data(), ds.Records(0).Data() + ds.RecordSize());
  EXPECT_EQ(ds.RecordSize(), 1 + 4 + 1 + 9 + 1 + 4u);
}

TEST(MemoDataSet, IncrementResetByTheGrowthHandlerNeverWritesPastTheBlock) {
  TvtMemoDataSet ds;
  OpenPeople(ds, 1, 1);
  Add(ds, "a", 1);
  ds.OnIncCapacity = [](TDataSet& d) { static_cast<TvtMemoDataSet&>(d).SetIncCapacity(0); };
  ds.Append();
  EXPECT_EQ(ErrorOf([&] { ds.Post(); }), "Cannot append records");
  EXPECT_EQ(ds.State(), TDataSetState::dsInsert);  // still editable; nothing was added
  ds.Cancel();
  EXPECT_EQ(ds.RecordCount(), 1);
  EXPECT_EQ(ds.Capacity(), 1);
}

TEST(MemoDataSet, CursorFollowsAppendInsertAndDelete) {
  TvtMemoDataSet ds;
  OpenPeople(ds, 10);
  ds.Insert();  // before the first record: the cursor lands on position 0
  ds.FieldByName("Name").SetValue("a");
  EXPECT_EQ(Name(ds), "a");  // an empty dataset still reads the new record
  ds.Post();
  EXPECT_EQ(ds.RecNo(), 1);
  Add(ds, "b", 0);
  EXPECT_EQ(Name(ds), "b");  // an append moves onto the new record
  ds.First();
  ds.Insert();
  ds.FieldByName("Name").SetValue("c");
  ds.Post();
  EXPECT_EQ(Name(ds), "a");  // an insert keeps the position; the record goes last
  EXPECT_EQ(Forward(ds), (std::vector<std::string>{"a", "b", "c"}));

  ds.SetRecNo(2);
  ds.Delete();
  EXPECT_EQ(Name(ds), "c");  // the following record takes the position
  ds.Delete();
  EXPECT_EQ(Name(ds), "a");  // deleting the last moves to the new last
  EXPECT_EQ(ds.RecNo(), 1);
  ds.Delete();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_TRUE(ds.FieldByName("Name").IsNull());
  EXPECT_EQ(ErrorOf([&] { ds.Delete(); }), "Cannot perform this operation on an empty dataset");
  EXPECT_EQ(ErrorOf([&] { ds.Edit(); }), "No data found");
}

TEST(MemoDataSet, AutoIncrementAndRecordIdsRestartWhenReopened) {
  TvtMemoDataSet ds;
  OpenPeople(ds, 4);
  Add(ds, "a", 1);
  Add(ds, "b", 2);
  EXPECT_EQ(ds.Records(0).ID(), -2147483647);
  EXPECT_EQ(ds.Records(1).ID(), -2147483646);
  EXPECT_EQ(ds.Records(0).Tag, -1);
  ds.First();
  EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 1);
  ds.Next();
  EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 2);
  ds.Close();
  EXPECT_EQ(ds.Capacity(), 4);
  ds.Open();
  EXPECT_EQ(ds.RecordCount(), 0);
  Add(ds, "c", 3);
  EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 1);
  EXPECT_EQ(ds.Records(0).ID(), -2147483647);
}

TEST(MemoDataSet, EditingRulesAndErrorTexts) {
  TvtMemoDataSet ds;
  OpenPeople(ds, 4);
  Add(ds, "a", 1);
  EXPECT_EQ(ErrorOf([&] { ds.FieldByName("Qty").SetValue(std::int64_t{2}); }),
            "Dataset not in edit or insert mode");
  ds.FieldByName("Name").SetReadOnly(true);
  ds.Edit();
  EXPECT_EQ(ErrorOf([&] { ds.FieldByName("Name").SetValue("x"); }),
            "Field '姓名' cannot be modified");
  ds.FieldByName("Qty").SetValue(std::int64_t{7});
  EXPECT_EQ(ds.FieldByName("Qty").AsInteger(), 7);  // reads see the edit buffer
  ds.Cancel();
  EXPECT_EQ(ds.FieldByName("Qty").AsInteger(), 1);
  ds.Edit();
  ds.FieldByName("Qty").Clear();
  ds.Post();
  EXPECT_TRUE(ds.FieldByName("Qty").IsNull());
  // Values outside a field's range or type are refused instead of wrapping.
  ds.Edit();
  EXPECT_EQ(ErrorOf([&] { ds.FieldByName("Qty").SetValue(std::int64_t{1} << 40); }),
            "1099511627776 is not a valid value for field 'Qty'. The allowed range is "
            "-2147483648 to 2147483647");
  EXPECT_EQ(ErrorOf([&] { ds.FieldByName("Qty").SetValue("12x"); }),
            "'12x' is not a valid value for field 'Qty'");
  ds.FieldByName("Qty").SetValue(" 12 ");
  ds.First();  // moving posts the edit
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(ds.FieldByName("Qty").AsInteger(), 12);
}

TEST(MemoDataSet, StoresEveryFieldTypeInItsSlot) {
  TvtMemoDataSet ds;
  ds.AddFieldDef("S", ftString, 5);
  ds.AddFieldDef("W", ftWideString, 3);
  ds.AddFieldDef("Small", ftSmallint);
  ds.AddFieldDef("Word", ftWord);
  ds.AddFieldDef("B", ftBoolean);
  ds.AddFieldDef("D", ftDate);
  ds.AddFieldDef("T", ftTime);
  ds.AddFieldDef("DT", ftDateTime);
  ds.AddFieldDef("C", ftCurrency);
  ds.AddFieldDef("Big", ftLargeint);
  ds.AddFieldDef("Bcd", ftBCD);
  ds.AddFieldDef("Raw", ftVarBytes, 4);
  ds.AddFieldDef("V", ftVariant);
  ds.SetCapacity(2);
  ds.Open();
  ds.Append();
  auto set = [&](const char* f, TVariant v) { ds.FieldByName(f).SetValue(v); };
  set("S", "中文字");  // 6 GB18030 bytes: cut to whole characters within 5
  set("W", "ab😀");     // the surrogate pair does not fit in the third unit
  set("Small", std::int64_t{-32768});
  EXPECT_THROW(set("Small", std::int64_t{32768}), EGenericError);
  EXPECT_THROW(set("Word", std::int64_t{-1}), EGenericError);
  set("Word", std::int64_t{65535});
  set("B", "true");
  set("D", "2024-02-29 18:00");
  set("T", EncodeDateTime(2000, 1, 1, 13, 30, 15.25));
  set("DT", EncodeDateTime(2024, 2, 29, 8, 0, 0));
  set("C", 12.3456);
  set("Big", std::int64_t{1} << 50);
  set("Bcd", "-1.5");
  set("Raw", std::string("\x01\x00\x02\x03\x04", 5));
  set("V", "any text");
  ds.Post();
  EXPECT_EQ(ds.FieldByName("S").AsString(), "中文");
  EXPECT_EQ(ds.FieldByName("W").AsString(), "ab");
  EXPECT_EQ(ds.FieldByName("Small").AsInteger(), -32768);
  EXPECT_EQ(ds.FieldByName("Word").AsInteger(), 65535);
  EXPECT_TRUE(ds.FieldByName("B").AsBoolean());
  EXPECT_EQ(ds.FieldByName("D").AsString(), "2024-02-29");
  EXPECT_EQ(ds.FieldByName("T").AsString(), "13:30:15");
  EXPECT_EQ(ds.FieldByName("DT").AsString(), "2024-02-29 08:00:00");
  EXPECT_EQ(ds.FieldByName("C").AsCurrency(), 123456);
  EXPECT_EQ(ds.FieldByName("Big").AsLargeInt(), std::int64_t{1} << 50);
  EXPECT_EQ(ds.FieldByName("Bcd").AsFloat(), -1.5);
  EXPECT_EQ(ds.FieldByName("Raw").AsString(), std::string("\x01\x00\x02\x03", 4));
  EXPECT_EQ(ds.FieldByName("V").AsString(), "any text");
  // A text of zero length reads as null; a null write clears the value.
  ds.Edit();
  set("S", "");
  set("V", TVariant{});
  ds.Post();
  EXPECT_TRUE(ds.FieldByName("S").IsNull());
  EXPECT_TRUE(ds.FieldByName("V").IsNull());
}

TEST(MemoDataSet, WideTextKeepsWhatFollowsADamagedByte) {
  TvtMemoDataSet ds;
  ds.AddFieldDef("W", ftWideString, 8);
  ds.SetCapacity(1);
  ds.Open();
  ds.Append();
  // A lead byte without its continuation must not swallow the letter after it.
  ds.FieldByName("W").SetValue("\xC3" "A城\xE5");
  ds.Post();
  EXPECT_EQ(ds.FieldByName("W").AsString(), "\uFFFDA城\uFFFD");
}

TEST(MemoDataSet, RefusesUnsupportedFieldTypesWhenOpening) {
  TvtMemoDataSet ds;
  ds.AddFieldDef("Ok", ftInteger);
  ds.AddFieldDef("Photo", ftBlob, 0, "照片");
  EXPECT_EQ(ErrorOf([&] { ds.Open(); }), "Field '照片' is of an unknown type");
  EXPECT_FALSE(ds.Active());
}

TEST(MemoDataSet, FilteredNavigationAndDelete) {
  TvtMemoDataSet ds;
  OpenPeople(ds, 10);
  for (int i = 1; i <= 6; ++i) Add(ds, std::string(1, static_cast<char>('a' + i - 1)), i);
  ds.SetOnFilterRecord(
      [](TDataSet& d, bool& accept) { accept = d.FieldByName("Qty").AsInteger() % 2 == 0; });
  ds.SetRecNo(3);
  ds.Edit();
  ds.FieldByName("Qty").SetValue(std::int64_t{30});
  ds.SetFiltered(true);  // posts the edit and goes to the first accepted record
  EXPECT_EQ(ds.FieldByName("Qty").AsInteger(), 2);
  EXPECT_EQ(Forward(ds), (std::vector<std::string>{"b", "c", "d", "f"}));
  EXPECT_EQ(ds.RecordCount(), 6);
  ds.Last();
  ds.Prior();
  EXPECT_EQ(Name(ds), "d");
  EXPECT_EQ(ds.RecNo(), 4);
  ds.SetRecNo(5);  // rejected by the filter: stays
  EXPECT_EQ(Name(ds), "d");
  ds.Delete();  // the following record "e" is rejected: back to "c"
  EXPECT_EQ(Name(ds), "c");
  ds.First();
  ds.Delete();
  ds.Delete();  // nothing accepted before: forward to "f"
  EXPECT_EQ(Name(ds), "f");
  ds.Delete();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_EQ(ds.RecordCount(), 2);
  ds.SetFiltered(false);
  EXPECT_EQ(Forward(ds), (std::vector<std::string>{"a", "e"}));
}

TEST(MemoDataSet, FilterErrorsAcceptTheRecordAndAreReported) {
  TvtMemoDataSet ds;
  OpenPeople(ds, 4);
  Add(ds, "a", 1);
  Add(ds, "b", 2);
  int reported = 0;
  ds.OnFilterError = [&](TDataSet&, std::exception_ptr) { ++reported; };
  ds.SetOnFilterRecord([](TDataSet& d, bool& accept) {
    if (d.FieldByName("Qty").AsInteger() == 1) throw EGenericError("bad");
    accept = false;
  });
  ds.SetFiltered(true);
  EXPECT_EQ(Forward(ds), std::vector<std::string>{"a"});
  EXPECT_GT(reported, 0);
}

TEST(MemoDataSet, BookmarksNameRecordsById) {
  TvtMemoDataSet ds;
  OpenPeople(ds, 4);
  Add(ds, "a", 1);
  Add(ds, "b", 2);
  Add(ds, "c", 3);
  ds.First();
  TBookmark a = ds.GetBookmark();
  ds.Next();
  TBookmark b = ds.GetBookmark();
  ASSERT_EQ(a.size(), 4u);
  ds.Last();
  ds.GotoBookmark(b);
  EXPECT_EQ(Name(ds), "b");
  ds.SetOnFilterRecord([](TDataSet& d, bool& ok) { ok = d.FieldByName("Name").AsString() != "a"; });
  ds.SetFiltered(true);
  ds.Last();
  ds.GotoBookmark(a);  // rejected by the filter: the cursor stays
  EXPECT_EQ(Name(ds), "c");
  ds.SetFiltered(false);
  ds.GotoBookmark(b);
  ds.Delete();
  EXPECT_FALSE(ds.BookmarkValid(b));
  EXPECT_EQ(ErrorOf([&] { ds.GotoBookmark(b); }), "Record not found");
  EXPECT_TRUE(ds.BookmarkValid(a));
  ds.Close();
  ds.Open();
  Add(ds, "x", 1);
  EXPECT_FALSE(ds.BookmarkValid(b));
}

TEST(MemoDataSet, LocateMatchesTextPartlyAndWithoutCase) {
  TvtMemoDataSet ds;
  OpenPeople(ds, 8);
  ds.AddCalculatedField("Twice", ftInteger);
  Add(ds, "Apple", 1);
  Add(ds, "ＡＢＣ中", 2);
  Add(ds, "apricot", 3);
  Add(ds, "Apple", 4);
  using enum TLocateOption;
  ds.SetRecNo(4);
  std::vector<int> scrolledTo;
  ds.AfterScroll = [&](TDataSet& d) { scrolledTo.push_back(static_cast<int>(d.RecNo())); };
  EXPECT_TRUE(ds.Locate("Name", "Apple", {}));  // the current record is tested first
  EXPECT_EQ(ds.RecNo(), 4);
  EXPECT_FALSE(ds.Locate("Name", "apple", {}));
  EXPECT_EQ(ds.RecNo(), 4);         // back where it started
  EXPECT_TRUE(scrolledTo.empty());  // and nobody was told of a move
  EXPECT_TRUE(ds.Locate("Name", "AP", {loPartialKey, loCaseInsensitive}));
  EXPECT_EQ(ds.RecNo(), 4);
  EXPECT_TRUE(ds.Locate("Name", "apr", {loPartialKey}));
  EXPECT_EQ(ds.RecNo(), 3);
  EXPECT_EQ(scrolledTo, std::vector<int>{3});
  EXPECT_TRUE(ds.Locate("Name", "ａｂｃ", {loPartialKey, loCaseInsensitive}));
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_FALSE(ds.Locate("Name", "ＡＢＣ中文", {loPartialKey}));
  EXPECT_TRUE(ds.Locate("name; QTY", std::vector<TVariant>{"Apple", "1"}, {}));
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_FALSE(ds.Locate("Qty", "not a number", {}));
  EXPECT_THROW(ds.Locate("Name;Qty", "Apple", {}), EGenericError);
  EXPECT_THROW(ds.Locate("Nope", "Apple", {}), EGenericError);
}

// A naive model of the cursor rules: a list of quantities, a position and the
// two end flags, driven with the dataset through random operations.
struct TNaiveCursor {
  std::vector<std::int64_t> Qty;
  int Cur = -1;
  bool Bof = true, Eof = true, Filtered = false;

  bool Accepts(int i) const { return !Filtered || Qty[i] % 3 != 0; }
  int Find(int from, int step) const {
    for (int i = from; i >= 0 && i < static_cast<int>(Qty.size()); i += step)
      if (Accepts(i)) return i;
    return -1;
  }
  void Land(int i) {
    Cur = i;
    Bof = Eof = i < 0;
  }
  void First() {
    Cur = Find(0, 1);
    Bof = true;
    Eof = Cur < 0;
  }
  void Last() {
    Cur = Find(static_cast<int>(Qty.size()) - 1, -1);
    Eof = true;
    Bof = Cur < 0;
  }
  void Step(int step) {
    bool& end = step > 0 ? Eof : Bof;
    if (end) return;
    (step > 0 ? Bof : Eof) = false;
    int i = Cur < 0 ? -1 : Find(Cur + step, step);
    if (i < 0)
      end = true;
    else
      Cur = i;
  }
  void Delete() {
    Qty.erase(Qty.begin() + Cur);
    int pos = std::min(Cur, static_cast<int>(Qty.size()) - 1);
    if (pos >= 0 && Filtered) {
      int back = Find(pos, -1);
      pos = back >= 0 ? back : Find(pos + 1, 1);
    }
    Land(pos);
  }
};

TEST(MemoDataSet, CursorRulesMatchANaiveModelOnRandomOperations) {
  std::mt19937 rng(7);
  TvtMemoDataSet ds;
  OpenPeople(ds, 0, 1);
  ds.SetOnFilterRecord([](TDataSet& d, bool& ok) { ok = d.FieldByName("Qty").AsInteger() % 3; });
  TNaiveCursor m;
  for (int step = 0; step < 4000; ++step) {
    std::int64_t q = rng() % 1000;
    switch (rng() % 10) {
      case 0:
      case 1:
        ds.SetIncCapacity(1 + static_cast<int>(rng() % 3));
        Add(ds, "", q);
        m.Qty.push_back(q);
        m.Land(static_cast<int>(m.Qty.size()) - 1);
        break;
      case 2:
        ds.Insert();
        ds.FieldByName("Qty").SetValue(q);
        ds.Post();
        m.Qty.push_back(q);
        m.Land(m.Cur < 0 ? 0 : m.Cur);
        break;
      case 3:
        if (m.Cur < 0) break;
        ds.Delete();
        m.Delete();
        break;
      case 4:
        if (m.Cur < 0) break;
        ds.Edit();
        ds.FieldByName("Qty").SetValue(q);
        m.Qty[m.Cur] = q;
        break;  // left in edit mode: the next move posts it
      case 5:
        ds.First(), m.First();
        break;
      case 6:
        ds.Next(), m.Step(1);
        break;
      case 7:
        ds.Prior(), m.Step(-1);
        break;
      case 8:
        ds.Last(), m.Last();
        break;
      case 9:
        ds.SetFiltered(!ds.Filtered());
        m.Filtered = ds.Filtered();
        m.First();
        break;
    }
    ASSERT_EQ(ds.RecordCount(), static_cast<std::int64_t>(m.Qty.size())) << step;
    ASSERT_EQ(ds.Eof(), m.Eof) << step;
    ASSERT_EQ(ds.Bof(), m.Bof) << step;
    if (m.Cur >= 0) {
      ASSERT_EQ(ds.RecNo(), m.Cur + 1) << step;
      ASSERT_EQ(ds.FieldByName("Qty").AsInteger(), m.Qty[m.Cur]) << step;
    }
  }
  ds.SetFiltered(false);
  std::vector<std::int64_t> all;
  for (ds.First(); !ds.Eof(); ds.Next()) all.push_back(ds.FieldByName("Qty").AsInteger());
  EXPECT_EQ(all, m.Qty);
}

}  // namespace qd
