// The key-field view of a cell's fact records and the write-back of edited
// values into the fact table.
#include "engine/cube/key_field_dataset.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

using enum TFieldType;

// Four fact records with one summary (values 1..4) and key fields
// Code (text), No (integer), Day (date), Paid (Boolean), Fee (currency).
struct TKeyedFacts {
  TKeyedFacts() : facts(1, 1) {
    TvtMemoDataSet rows;
    rows.AddFieldDef("Code", ftString, 10);
    rows.AddFieldDef("No", ftSmallint);
    rows.AddFieldDef("Day", ftDate);
    rows.AddFieldDef("Paid", ftBoolean);
    rows.AddFieldDef("Fee", ftCurrency);
    rows.SetCapacity(4);
    rows.Open();
    for (int i = 0; i < rows.FieldCount(); ++i)
      keys.AddColumn(rows.Fields(i).FieldName(), rows.Fields(i).DataType());
    keys.Layout();
    for (int r = 0; r < 4; ++r) {
      rows.Append();
      rows.Fields(0).SetValue("K" + std::to_string(r) + "À货");
      rows.Fields(1).SetValue(std::int64_t{100 + r});
      rows.Fields(2).SetValue(EncodeDate(2024, 1, 1 + r));
      rows.Fields(3).SetValue(r % 2 == 0);
      rows.Fields(4).SetValue(1.25 * r);
      rows.Post();
      keys.AppendRow();
      for (int i = 0; i < rows.FieldCount(); ++i) keys.StoreField(i, rows.Fields(i));
      facts.SetValue(facts.Append(), 0, r + 1.0);
    }
    // The cell's details: records 3, 0 and 2, value first.
    cell.AddFieldDef("Amount", ftFloat);
    cell.AddFieldDef("Region", ftString, 5);
    cell.SetCapacity(3);
    cell.Open();
    for (int fact : {3, 0, 2}) {
      cell.Append();
      cell.Fields(0).SetValue(facts.Value(fact, 0));
      cell.Fields(1).SetValue("N");
      cell.Post();
      cell.CurrentRecord()->Tag = fact;
    }
  }
  TKeySet keys;
  TFactTable facts;
  TvtMemoDataSet cell;
};

TEST(KeyFieldDataSet, HoldsTheKeysOfTheListedRecordsWithTheirValueLast) {
  TKeyedFacts f;
  f.cell.SetRecNo(2);
  const std::vector<int> positions = {0, 2};
  auto ds = BuildKeyFieldDataSet(f.keys, f.cell, &positions);
  ASSERT_NE(ds, nullptr);
  EXPECT_EQ(f.cell.RecNo(), 2) << "the source keeps its position";
  ASSERT_EQ(ds->FieldCount(), 6);
  EXPECT_EQ(ds->Fields(1).DataType(), ftSmallint);
  EXPECT_EQ(ds->Fields(5).FieldName(), "Amount");
  EXPECT_EQ(ds->Fields(5).DataType(), ftFloat);
  EXPECT_EQ(ds->IncCapacity(), 1);
  EXPECT_EQ(ds->Capacity(), 3);
  ASSERT_EQ(ds->RecordCount(), 2);
  ds->First();
  EXPECT_EQ(ds->CurrentRecord()->Tag, 3);
  EXPECT_EQ(ds->Fields(0).AsString(), "K3À货");
  EXPECT_EQ(ds->Fields(1).AsInteger(), 103);
  EXPECT_EQ(ds->Fields(2).AsDateTime(), EncodeDate(2024, 1, 4));
  EXPECT_FALSE(ds->Fields(3).AsBoolean());
  EXPECT_EQ(ds->Fields(4).AsFloat(), 3.75);
  EXPECT_EQ(ds->Fields(5).AsFloat(), 4);
  ds->Next();
  EXPECT_EQ(ds->CurrentRecord()->Tag, 2);
  EXPECT_TRUE(ds->Fields(3).AsBoolean());
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(ds->Fields(i).ReadOnly());
  EXPECT_FALSE(ds->Fields(5).ReadOnly());
}

TEST(KeyFieldDataSet, EditedValuesGoBackToExactlyTheirFactRecords) {
  TKeyedFacts f;
  const std::vector<int> positions = {0, 1, 2};
  auto ds = BuildKeyFieldDataSet(f.keys, f.cell, &positions);
  ASSERT_NE(ds, nullptr);
  ds->First();
  ds->Edit();
  ds->Fields(5).SetValue(40.5);
  ds->Post();
  ds->Last();
  ds->Edit();
  ds->Fields(5).SetValue(-3.0);
  ds->Post();
  WriteBackFactValues(f.facts, *ds, 0);
  EXPECT_EQ(f.facts.Value(3, 0), 40.5);
  EXPECT_EQ(f.facts.Value(0, 0), 1);
  EXPECT_EQ(f.facts.Value(1, 0), 2);
  EXPECT_EQ(f.facts.Value(2, 0), -3);
  // Tags outside the table and summaries outside the records are ignored.
  ds->Records(0).Tag = 99;
  WriteBackFactValues(f.facts, *ds, 0);
  WriteBackFactValues(f.facts, *ds, 1);
  EXPECT_EQ(f.facts.Value(3, 0), 40.5);
}

TEST(KeyFieldDataSet, NothingWithoutPositionsOrRecords) {
  TKeyedFacts f;
  EXPECT_EQ(BuildKeyFieldDataSet(f.keys, f.cell, nullptr), nullptr);
  const std::vector<int> none;
  auto empty = BuildKeyFieldDataSet(f.keys, f.cell, &none);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->RecordCount(), 0);
  const std::vector<int> positions = {0};
  TvtMemoDataSet emptySource;
  emptySource.AddFieldDef("Amount", ftFloat);
  emptySource.Open();
  EXPECT_EQ(BuildKeyFieldDataSet(f.keys, emptySource, &positions), nullptr);
}

TEST(KeyFieldDataSet, WithoutKeyColumnsTheEditedValuesStillReachTheFacts) {
  TKeyedFacts f;
  TKeySet noColumns;
  const std::vector<int> positions = {0, 2};
  auto ds = BuildKeyFieldDataSet(noColumns, f.cell, &positions);
  ASSERT_NE(ds, nullptr);
  ASSERT_EQ(ds->FieldCount(), 1);
  ASSERT_EQ(ds->RecordCount(), 2);
  ds->First();
  ds->Edit();
  ds->Fields(0).SetValue(77.0);
  ds->Post();
  EXPECT_EQ(ds->Records(0).Tag, 3);
  WriteBackFactValues(f.facts, *ds, 0);
  EXPECT_EQ(f.facts.Value(3, 0), 77);
  EXPECT_EQ(f.facts.Value(2, 0), 3) << "unchanged";
}

}  // namespace
}  // namespace qd
