#include <gtest/gtest.h>

#include "cube_test_util.h"
#include "engine/core/errors.h"

namespace qd {
namespace {

using namespace qd::test;

class TFailingTable : public TMemoryTable {
 protected:
  void DoOpen() override { throw EGenericError("connection refused"); }
};

// Records what a display would show; cancels at a chosen update.
class TRecordingSink : public TProgressSink {
 public:
  int CancelAtUpdate = -1;
  std::vector<std::string> Shown;
  int Begins = 0, Ends = 0;
  void Begin(const std::string&) override { ++Begins; }
  void End() override { ++Ends; }

 protected:
  void Display(const std::string& caption, const std::string& counter) override {
    Shown.push_back(caption + "|" + counter);
  }
  void ProcessInput() override {
    if (static_cast<int>(Shown.size()) == CancelAtUpdate) RequestCancel();
  }
};

std::unique_ptr<TMemoryTable> Sales() {
  return MakeTable("qrSales",
                   {{"City", TFieldType::ftString},
                    {"Year", TFieldType::ftInteger},
                    {"Amount", TFieldType::ftFloat},
                    {"Qty", TFieldType::ftInteger}},
                   {{S("B"), I(30), D(1.5), I(1)},
                    {S("A"), I(10), Null(), I(2)},
                    {S("b"), I(30), D(2.5), Null()},
                    {S("C"), I(20), D(4), I(4)}});
}

struct TSalesCube {
  std::unique_ptr<TMemoryTable> Data = Sales();
  TVantra Cube;
  explicit TSalesCube(bool progress = false) {
    Cube.Options().ShowProgressBar = progress;
    Cube.SetDataSet(Data.get());
    DefineMap(Cube, {"City", "Year"}, {"Amount", "Qty"});
  }
};

}  // namespace

TEST(CubeBuild, MembersFollowFirstAppearance) {
  TSalesCube s;
  s.Cube.SetActive(true);
  ASSERT_EQ(s.Cube.DimensionCount(), 2);
  const TDimension& city = *s.Cube.Dimensions()[0];
  const TDimension& year = *s.Cube.Dimensions()[1];
  EXPECT_TRUE(city.TextKey);
  EXPECT_EQ(Captions(city), (std::vector<std::string>{"B", "A", "C"}));  // "b" is "B"
  EXPECT_EQ(city.MemberKeys, (std::vector<std::int32_t>{0, 1, 2}));
  EXPECT_EQ(city.DefaultAttributeName, "Default attribute");
  EXPECT_EQ(Stored(s.Cube, 0), (std::vector<std::int32_t>{0, 1, 0, 2}));
  EXPECT_EQ(year.MemberKeys, (std::vector<std::int32_t>{30, 10, 20}));
  EXPECT_FALSE(year.MemberKeysSorted);
  EXPECT_EQ(year.DatabaseOrder, (std::vector<std::int32_t>{0, 1, 2}));
  EXPECT_EQ(Stored(s.Cube, 1), (std::vector<std::int32_t>{0, 1, 0, 2}));
  EXPECT_EQ(Values(s.Cube, 0), (std::vector<double>{1.5, 0, 2.5, 4}));  // null counts as 0
  EXPECT_EQ(Values(s.Cube, 1), (std::vector<double>{1, 2, 0, 4}));
  EXPECT_EQ(s.Cube.FactTable()->RecordSize(), 4 * 2 + 8 * 2);
  EXPECT_EQ(s.Cube.DimensionFieldName(1), "Year");
  EXPECT_EQ(s.Cube.DimensionFieldName(2), "");
  EXPECT_EQ(s.Cube.Summaries()[1]->MapIndex, 3);
}

TEST(CubeBuild, DefinitionErrorsAreCubeErrors) {
  TVantra cube;
  cube.Options().ShowProgressBar = false;
  EXPECT_EQ(ActivationError(cube), "维度地图未被定义");
  auto data = Sales();
  cube.SetDataSet(data.get());
  cube.RefreshDimensionMap();
  EXPECT_EQ(ActivationError(cube), "未定义任何维度项");
  cube.PlaceAsDimension("City", TDimGroup::dgRow);
  EXPECT_EQ(ActivationError(cube), "未定义任何合计项");
  cube.MarkAsSummary("Amount");
  TFailingTable failing;
  cube.SetDataSet(&failing);
  EXPECT_THROW(cube.SetActive(true), ECubeError);
  EXPECT_EQ(ActivationError(cube), "没有任何数据库连接");
  cube.SetDataSet(nullptr);
  EXPECT_EQ(ActivationError(cube), "没有任何Cube数据被定义。\r\n请设置数据集属性");
  EXPECT_FALSE(cube.Active());
}

TEST(CubeBuild, ProgressBarTurnsEveryFailureIntoACubeError) {
  TSalesCube s(true);
  s.Cube.DimensionMap()[0].BaseFieldName = "Town";  // the data layer's unknown-field error
  TRecordingSink sink;
  s.Cube.ProgressSink = &sink;
  bool afterOpen = false;
  s.Cube.AfterOpen = [&](TCustomVantra&) { afterOpen = true; };
  try {
    s.Cube.SetActive(true);
    FAIL();
  } catch (const ECubeError& e) {
    EXPECT_STREQ(e.what(), "qrSales: Field 'Town' not found");
  }
  EXPECT_EQ(sink.Begins, 1);
  EXPECT_EQ(sink.Ends, 1);
  EXPECT_FALSE(afterOpen);
  EXPECT_FALSE(s.Cube.Active());
  s.Cube.Options().ShowProgressBar = false;
  EXPECT_THROW(s.Cube.SetActive(true), EGenericError);
}

TEST(CubeBuild, CancelStopsTheBuild) {
  std::vector<std::vector<TVariant>> rows;
  for (int i = 0; i < 1700; ++i) rows.push_back({S(i % 2 ? "x" : "y"), D(i)});
  auto data = MakeTable("q", {{"K", TFieldType::ftString}, {"V", TFieldType::ftFloat}}, rows);
  TVantra cube;
  cube.SetDataSet(data.get());
  DefineMap(cube, {"K"}, {"V"});
  TRecordingSink sink;
  cube.ProgressSink = &sink;
  cube.SetActive(true);  // no cancel: every 500th record updates the display
  EXPECT_EQ(sink.Shown, (std::vector<std::string>{"正在读取事实表...|已读取行数：500",
                                                  "正在读取事实表...|已读取行数：1,000",
                                                  "正在读取事实表...|已读取行数：1,500"}));
  cube.SetActive(false);
  sink.Shown.clear();
  sink.CancelAtUpdate = 2;
  try {
    cube.SetActive(true);
    FAIL();
  } catch (const ECubeError& e) {
    EXPECT_STREQ(e.what(), "用户中止了进程");
  }
  EXPECT_EQ(sink.Count(), 1000);
  EXPECT_FALSE(cube.Active());
  // A later build starts without the old Cancel.
  sink.CancelAtUpdate = -1;
  cube.SetActive(true);
  EXPECT_TRUE(cube.Active());

  TProgressSink bare;
  bare.RequestCancel();
  EXPECT_THROW(bare.Tick(), EUserCanceledError);
}

TEST(CubeBuild, TooManyMembersFailAfterEveryRecordWasRead) {
  auto data = std::make_unique<TMemoryTable>("q");
  data->AddColumn("K", TFieldType::ftInteger);
  data->AddColumn("V", TFieldType::ftFloat);
  for (int i = 0; i <= kMaxMembers; ++i) {
    data->PushInt(0, i);
    data->PushFloat(1, 1);
    data->EndRow();
  }
  TVantra cube;
  cube.Options().ShowProgressBar = false;
  cube.SetDataSet(data.get());
  DefineMap(cube, {"K"}, {"V"});
  cube.DimensionMap()[0].DisplayName = "Key";
  try {
    cube.SetActive(true);
    FAIL();
  } catch (const ELookupHasntTheValueError& e) {
    EXPECT_STREQ(e.what(), "维度 \"Key\" 有太多的成员 (262145)。\r\n请减少成员数目");
  }
  EXPECT_FALSE(cube.Active());
}

TEST(CubeBuild, KeySetKeepsTheKeyFieldsOfKeptRecords) {
  auto data =
      MakeTable("q",
                {{"Id", TFieldType::ftInteger},
                 {"Name", TFieldType::ftString},
                 {"Price", TFieldType::ftCurrency},
                 {"Day", TFieldType::ftDate},
                 {"Ok", TFieldType::ftBoolean},
                 {"Big", TFieldType::ftLargeint}},
                {{I(7), S("seven"), D(1.23456), D(EncodeDate(2024, 2, 29)), I(1), I(5000000000)},
                 {I(8), S("eight"), D(2), D(EncodeDate(2024, 3, 1)), I(0), I(-1)}});
  TVantra cube;
  cube.Options().ShowProgressBar = false;
  cube.SetDataSet(data.get());
  DefineMap(cube, {"Name"}, {"Price"});
  cube.SetKeyFields({"Id", "Name", "Price", "Day", "Ok", "Big"});
  cube.SetActive(true);
  TKeySet& keys = *cube.KeySet();
  ASSERT_EQ(keys.ColumnCount(), 6);
  EXPECT_EQ(keys.ColumnTypeCode(0), TKeyTypeCode::kcInteger);
  EXPECT_EQ(keys.ColumnTypeCode(5), TKeyTypeCode::kcFloat);
  EXPECT_EQ(keys.RecordSize(), 4 + 4 + 8 + 8 + 4 + 8);
  EXPECT_EQ(keys.ColumnOffset(3), 16);
  ASSERT_EQ(keys.RowCount(), 2);
  keys.SelectRow(1);
  keys.SelectRow(5);  // outside: stays on row 1
  EXPECT_EQ(keys.AsInteger(0), 8);
  EXPECT_EQ(keys.AsText(1), "eight");
  EXPECT_EQ(keys.AsText(3), "2024-03-01");
  keys.SelectRow(0);
  EXPECT_EQ(keys.AsInt64(2), 12346);  // currency keeps four decimals, rounded
  EXPECT_DOUBLE_EQ(keys.AsFloat(2), 1.2346);
  EXPECT_EQ(keys.AsByte(4), 1);
  EXPECT_EQ(keys.AsFloat(5), 5000000000.0);
}

TEST(CubeBuild, RefreshReplacesTheFactsKeepingMembersAndAddingNewOnesOnce) {
  TSalesCube s;
  s.Cube.SetKeyFields({"City"});
  s.Cube.SetActive(true);
  TCodeLog log;
  s.Cube.RegisterGridModel(&log);
  const std::vector<double> amounts = Values(s.Cube, 0);
  // An unchanged query leaves every figure as it was, however often.
  s.Cube.RefreshFactTable();
  s.Cube.RefreshFactTable();
  EXPECT_EQ(Values(s.Cube, 0), amounts);
  EXPECT_EQ(s.Cube.KeySet()->RowCount(), 4);
  EXPECT_EQ(log.Codes,
            (std::vector<TCubeChange>{ccActiveChanged, ccFactsRefreshed, ccFactsRefreshed}));

  // New rows appear once; a new value becomes a member after the old ones.
  s.Data->AppendRow({S("Z"), I(20), D(9), I(9)});
  s.Data->AppendRow({S("A"), I(40), D(7), I(7)});
  s.Cube.RefreshFactTable();
  s.Cube.RefreshFactTable();
  EXPECT_EQ(s.Cube.FactTable()->RecordCount(), 6);
  EXPECT_EQ(s.Cube.KeySet()->RowCount(), 6);
  EXPECT_EQ(Captions(*s.Cube.Dimensions()[0]), (std::vector<std::string>{"B", "A", "C", "Z"}));
  EXPECT_EQ(Stored(s.Cube, 0), (std::vector<std::int32_t>{0, 1, 0, 2, 3, 1}));
  EXPECT_EQ(s.Cube.Dimensions()[1]->MemberKeys, (std::vector<std::int32_t>{30, 10, 20, 40}));
  EXPECT_EQ(Stored(s.Cube, 1), (std::vector<std::int32_t>{0, 1, 0, 2, 2, 3}));
  EXPECT_EQ(Values(s.Cube, 0), (std::vector<double>{1.5, 0, 2.5, 4, 9, 7}));

  // Deleted rows go; their members stay.
  s.Data->ClearRows();
  s.Data->AppendRow({S("C"), I(10), D(1), I(1)});
  s.Cube.RefreshFactTable();
  EXPECT_EQ(Stored(s.Cube, 0), (std::vector<std::int32_t>{2}));
  EXPECT_EQ(s.Cube.Dimensions()[0]->MemberCount(), 4);
}

TEST(CubeBuild, MemoryTableConvertsAndReportsNulls) {
  auto t = MakeTable(
      "t",
      {{"N", TFieldType::ftInteger}, {"S", TFieldType::ftString}, {"D", TFieldType::ftDateTime}},
      {{S("12"), I(5), S("2024-02-29 10:00:00")}, {Null(), Null(), Null()}});
  t->Open();
  EXPECT_EQ(t->RecordCount(), 2);
  EXPECT_EQ(t->Fields(0).AsInteger(), 12);
  EXPECT_EQ(t->Fields(1).AsString(), "5");
  EXPECT_EQ(t->Fields(2).AsString(), "2024-02-29 10:00:00");
  t->Next();
  EXPECT_TRUE(t->Fields(0).IsNull());
  EXPECT_TRUE(t->Fields(1).IsNull());
  EXPECT_EQ(t->Fields(2).AsFloat(), 0);
  t->Next();
  EXPECT_TRUE(t->Eof());
  EXPECT_THROW(t->AddColumn("X", TFieldType::ftString), EGenericError);
}

TEST(CubeBuild, SummaryTextsThatAreNoNumbersCountAsZeroAndAreReported) {
  // A text column as summary: numbers are read, the rest counted per summary.
  auto data = MakeTable("qrFact",
                        {{"City", TFieldType::ftString},
                         {"Premium", TFieldType::ftString},
                         {"Claims", TFieldType::ftString}},
                        {{S("A"), S("12.5"), S("1")},
                         {S("B"), S("abc"), S("2")},
                         {S("A"), S("12,5"), S("3")},
                         {S("C"), S("3e2"), S(" ")},
                         {S("C"), S(" -4 "), Null()}});
  TVantra cube;
  cube.Options().ShowProgressBar = false;
  cube.SetDataSet(data.get());
  DefineMap(cube, {"City"}, {"Premium", "Claims"});
  cube.DimensionMap().FindPlain("Premium")->DisplayName = "保费";
  cube.SetActive(true);
  const TFactTable& f = *cube.FactTable();
  std::vector<double> premiums;
  for (std::int32_t r = 0; r < f.RecordCount(); ++r) premiums.push_back(f.Value(r, 0));
  EXPECT_EQ(premiums, (std::vector<double>{12.5, 0, 0, 300, -4}));
  EXPECT_EQ(NonNumberMessages(cube.Built()),
            std::vector<std::string>{
                "保费有 2 个值不是数字，已按 0 计算（第一个在第 2 行：“abc”）"});
  TSalesCube clean;
  clean.Cube.SetActive(true);
  EXPECT_TRUE(NonNumberMessages(clean.Cube.Built()).empty());
}

}  // namespace qd
