#include "engine/data/dataset.h"

#include <gtest/gtest.h>

#include "engine/core/errors.h"

namespace qd {
namespace {

// Three records of (id, name, day) for the cursor rules.
class TThreeRows : public TDataSet {
 protected:
  void DoOpen() override {
    AddDataField("ID", TFieldType::ftInteger);
    AddDataField("Name", TFieldType::ftString, 20);
    AddDataField("Day", TFieldType::ftDate);
  }
  void DoClose() override {}
  bool DoFirst() override { return (FPos = 0) < 3; }
  bool DoNext() override { return ++FPos < 3; }
  bool DataIsNull(int f) const override { return f == 1 && FPos == 2; }
  TVariant DataValue(int f) const override {
    if (f == 0) return std::int64_t{FPos + 1};
    if (f == 1) return FPos == 2 ? TVariant{} : TVariant{std::string(FPos ? "乙" : "甲")};
    return EncodeDate(2024, 2, 28 + FPos);
  }

 private:
  int FPos = 0;
};

}  // namespace

TEST(DataSet, ReadsForwardWithCalculatedFields) {
  TThreeRows ds;
  ds.Name = "qrFact";
  ds.AddCalculatedField("Label", TFieldType::ftString);
  ds.OnCalcFields = [](TDataSet& d) {
    d.FieldByName("label").SetValue(d.Fields(0).AsString() + ":" + d.Fields(2).AsString());
  };
  ds.Open();
  std::vector<std::string> seen;
  for (; !ds.Eof(); ds.Next()) seen.push_back(ds.FieldByName("LABEL").AsString());
  EXPECT_EQ(seen, (std::vector<std::string>{"1:2024-02-28", "2:2024-02-29", "3:2024-03-01"}));
  EXPECT_EQ(ds.FindField("nope"), nullptr);
  EXPECT_THROW(ds.FieldByName("nope"), EGenericError);
  ds.First();
  EXPECT_EQ(ds.Fields(1).AsString(), "甲");
  EXPECT_EQ(ds.Fields(2).DisplayLabel(), "Day");
  EXPECT_THROW(ds.Fields(0).SetValue(std::int64_t{5}), EGenericError);  // not editing
  EXPECT_THROW(ds.Edit(), EGenericError);
}

TEST(DataSet, TellsListenersWhenDestroyed) {
  TDataSet* gone = nullptr;
  int calls = 0;
  {
    TThreeRows ds;
    int id = ds.AddDestroyListener([&](TDataSet*) { ++calls; });
    ds.RemoveDestroyListener(id);
    ds.AddDestroyListener([&](TDataSet* d) { gone = d; });
  }
  EXPECT_NE(gone, nullptr);
  EXPECT_EQ(calls, 0);
}

TEST(DateTime, MatchesTheDayZeroConvention) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
  int y, m, d;
  DecodeDate(0, y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 18991230);
  double dt;
  ASSERT_TRUE(TextToDateTime("2024/2/29 13:30:15", dt));
  EXPECT_EQ(DateTimeToText(dt, TFieldType::ftDateTime), "2024-02-29 13:30:15");
  EXPECT_FALSE(TextToDateTime("2024-13-01", dt));
  EXPECT_FALSE(TextToDateTime("hello", dt));
}

}  // namespace qd
