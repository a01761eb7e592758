#include <gtest/gtest.h>

#include "cube_test_util.h"
#include "engine/core/errors.h"

namespace qd {
namespace {

using namespace qd::test;

std::unique_ptr<TMemoryTable> Facts(const std::vector<std::vector<TVariant>>& rows,
                                    TFieldType keyType = TFieldType::ftInteger) {
  return MakeTable("qrFacts", {{"K", keyType}, {"V", TFieldType::ftFloat}}, rows);
}

struct TLookupCube {
  std::unique_ptr<TMemoryTable> Data, Lookup;
  TVantra Cube;
  TLookupCube(std::unique_ptr<TMemoryTable> data, std::unique_ptr<TMemoryTable> lookup)
      : Data(std::move(data)), Lookup(std::move(lookup)) {
    Cube.Options().ShowProgressBar = false;
    Cube.SetDataSet(Data.get());
    DefineMap(Cube, {"K"}, {"V"});
    TDimSum& k = Cube.DimensionMap()[0];
    k.DisplayName = "Shop";
    k.SetLookupDataSet(Lookup.get());
    k.ID_Field = "Id";
    k.ParentID_Field = "Parent";
    k.Attributes = "Code";
    k.SetDefaultAttribute("Name");
  }
  const TDimension& Dim() const { return *Cube.Dimensions()[0]; }
};

std::unique_ptr<TMemoryTable> Shops() {
  return MakeTable("tbShops",
                   {{"Id", TFieldType::ftInteger},
                    {"Name", TFieldType::ftString},
                    {"Code", TFieldType::ftString},
                    {"Parent", TFieldType::ftInteger}},
                   {{I(5), S("five"), S("c5"), I(1)},
                    {I(1), S("one"), S("c1"), I(0)},
                    {I(3), S("three"), S("c3"), I(1)},
                    {I(3), S("again"), S("cx"), I(5)}});
}

}  // namespace

TEST(CubeLookup, MembersAreTheLookupRowsInKeyOrder) {
  TLookupCube c(Facts({{I(3), D(1)}, {I(5), D(2)}, {I(3), D(4)}}), Shops());
  c.Cube.SetActive(true);
  const TDimension& d = c.Dim();
  EXPECT_TRUE(d.LookupLoaded);
  EXPECT_EQ(d.MemberKeys, (std::vector<std::int32_t>{1, 3, 5}));
  EXPECT_EQ(d.DatabaseOrder, (std::vector<std::int32_t>{1, 2, 0}));
  EXPECT_EQ(Captions(d),
            (std::vector<std::string>{"one", "three", "five"}));  // first row of key 3 wins
  EXPECT_EQ(d.Attributes.Values(d.Attributes.IndexOf("Code")),
            (std::vector<std::string>{"c1", "c3", "c5"}));
  EXPECT_TRUE(d.HasHierarchy);
  EXPECT_EQ(d.Parents, (std::vector<std::int32_t>{-1, 0, 0}));
  EXPECT_EQ(d.UsedMembers, (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(Stored(c.Cube, 0), (std::vector<std::int32_t>{1, 2, 1}));
  EXPECT_FALSE(c.Lookup->Active());  // closed before, closed after
}

TEST(CubeLookup, MissingFactValuesSkipOrRaise) {
  TLookupCube c(Facts({{I(3), D(1)}, {I(4), D(2)}, {I(1), D(4)}}), Shops());
  EXPECT_EQ(ActivationError(c.Cube), "维度表没有事实表中的值。 \r\n维度： Shop\r\n维度值： 4");
  c.Cube.Options().ShowProgressBar = true;
  EXPECT_THROW(c.Cube.SetActive(true), ECubeError);
  c.Cube.Options().SetLookupHasntTheValue(TLookupHasntTheValue::lvIgnoreSumValue);
  c.Cube.SetActive(true);
  EXPECT_EQ(Stored(c.Cube, 0), (std::vector<std::int32_t>{1, 0}));
  EXPECT_EQ(Values(c.Cube, 0), (std::vector<double>{1, 4}));
  EXPECT_EQ(c.Dim().UsedMembers, (std::vector<std::int32_t>{0, 1}));
}

TEST(CubeLookup, TextKeysIgnoreCaseAndShowTheMissingText) {
  auto lookup = MakeTable("tbCity", {{"Id", TFieldType::ftString}, {"Name", TFieldType::ftString}},
                          {{S("sh"), S("上海")}, {S("BJ"), S("北京")}, {S("Sh"), S("dup")}});
  TLookupCube c(Facts({{S("bj"), D(1)}, {S("SH"), D(2)}}, TFieldType::ftString), std::move(lookup));
  c.Cube.DimensionMap()[0].Attributes = "Name";
  c.Cube.DimensionMap()[0].ParentID_Field.clear();
  c.Cube.SetActive(true);
  EXPECT_EQ(c.Dim().TextKeys, (std::vector<std::string>{"BJ", "sh"}));
  EXPECT_EQ(Captions(c.Dim()), (std::vector<std::string>{"北京", "上海"}));
  EXPECT_FALSE(c.Dim().HasHierarchy);
  EXPECT_EQ(Stored(c.Cube, 0), (std::vector<std::int32_t>{0, 1}));
  c.Cube.SetActive(false);
  c.Data->AppendRow({S("gz"), D(3)});
  EXPECT_EQ(ActivationError(c.Cube), "维度表没有事实表中的值。 \r\n维度： Shop\r\n维度值： gz");
}

TEST(CubeLookup, LookupTableErrorsRestoreTheOpenState) {
  auto empty = MakeTable("tbEmpty", {{"Id", TFieldType::ftInteger}}, {});
  TLookupCube c(Facts({{I(1), D(1)}}), std::move(empty));
  EXPECT_EQ(ActivationError(c.Cube), "查找表为空。\r\n查找源：tbEmpty");
  EXPECT_FALSE(c.Lookup->Active());

  TLookupCube bad(Facts({{I(1), D(1)}}), Shops());
  bad.Cube.DimensionMap()[0].ID_Field = "Nope";
  EXPECT_EQ(ActivationError(bad.Cube), "查找表有一个错误字段。\r\n查找源：tbShops\r\n字段：Nope");
  EXPECT_FALSE(bad.Lookup->Active());
  bad.Lookup->Open();
  EXPECT_EQ(ActivationError(bad.Cube), "查找表有一个错误字段。\r\n查找源：tbShops\r\n字段：Nope");
  EXPECT_TRUE(bad.Lookup->Active());

  // A fact value missing from the lookup fails the build after the lookup was read.
  TLookupCube missing(Facts({{I(9), D(1)}}), Shops());
  missing.Cube.SetActive(false);
  EXPECT_THROW(missing.Cube.SetActive(true), ELookupHasntTheValueError);
  EXPECT_FALSE(missing.Lookup->Active());
}

namespace {

struct TDateCube {
  std::unique_ptr<TMemoryTable> Data =
      MakeTable("q",
                {{"Year", TFieldType::ftInteger},
                 {"Month", TFieldType::ftInteger},
                 {"V", TFieldType::ftFloat}},
                {{I(2003), I(1), D(1)}, {I(2003), I(2), D(2)}, {I(2004), I(1), D(3)}});
  TVantra Cube;
  TDimSum* Comp = nullptr;
  TDateCube() {
    Cube.Options().ShowProgressBar = false;
    Cube.SetDataSet(Data.get());
    DefineMap(Cube, {}, {"V"});
    Comp = &Cube.DimensionMap().Add();
    Comp->Composite = true;
    Comp->DimSumType = TDimSumType::dsDimension;
    Comp->DisplayName = "Date";
  }
};

}  // namespace

TEST(CubeComposite, PathsFormAHierarchyInFirstAppearanceOrder) {
  TDateCube c;
  c.Cube.AddCompositePart(*c.Comp, "Year");
  c.Cube.AddCompositePart(*c.Comp, "Month")->FormatString = "00";
  c.Cube.SetActive(true);
  const TDimension& d = *c.Cube.Dimensions()[0];
  EXPECT_EQ(d.TextKeys, (std::vector<std::string>{"2003", "2003;1", "2003;2", "2004", "2004;1"}));
  EXPECT_EQ(Captions(d), (std::vector<std::string>{"2003", "1", "2", "2004", "1"}));
  EXPECT_EQ(d.Parents, (std::vector<std::int32_t>{-1, 0, 0, -1, 3}));
  EXPECT_EQ(d.MemberKeys, (std::vector<std::int32_t>{0, 1, 2, 3, 4}));
  EXPECT_TRUE(d.HasHierarchy);
  ASSERT_EQ(d.Components.size(), 2u);
  EXPECT_EQ(d.Components[1].FormatString, "00");
  EXPECT_EQ(Stored(c.Cube, 0), (std::vector<std::int32_t>{1, 2, 4}));

  // A refresh adds new paths and keeps the old indexes.
  c.Data->AppendRow({I(2004), I(2), D(5)});
  c.Cube.RefreshFactTable();
  EXPECT_EQ(d.TextKeys.back(), "2004;2");
  EXPECT_EQ(d.Parents.back(), 3);
  EXPECT_EQ(d.MemberCount(), 6);
  EXPECT_EQ(Stored(c.Cube, 0), (std::vector<std::int32_t>{1, 2, 4, 5}));
}

TEST(CubeComposite, PartLookupsNameTheValues) {
  TDateCube c;
  auto months =
      MakeTable("tbMonth", {{"No", TFieldType::ftInteger}, {"Title", TFieldType::ftString}},
                {{I(1), S("Jan")}, {I(2), S("Feb")}, {I(1), S("dup")}});
  auto years = MakeTable("tbYear", {{"Y", TFieldType::ftInteger}, {"Label", TFieldType::ftString}},
                         {{I(2003), S("Y3")}, {I(2004), S("Y4")}});
  // Year is also a lookup dimension, whose captions the Year part shares.
  TDimSum* year = c.Cube.PlaceAsDimension("Year", TDimGroup::dgCol);
  year->SetLookupDataSet(years.get());
  year->ID_Field = "Y";
  year->SetDefaultAttribute("Label");
  c.Cube.AddCompositePart(*c.Comp, "Year");
  c.Cube.AddCompositePart(*c.Comp, "Month", "Title", "No", months.get());
  c.Cube.SetActive(true);
  const TDimension& d = *c.Cube.Dimensions()[1];
  EXPECT_EQ(Captions(d), (std::vector<std::string>{"Y3", "Jan", "Feb", "Y4", "Jan"}));
  EXPECT_FALSE(months->Active());

  c.Cube.SetActive(false);
  c.Comp->DimCollection().Items(1).Name_Field = "Nope";
  EXPECT_EQ(ActivationError(c.Cube), "查找表有一个错误字段。\r\n查找源：Month\r\n字段：Nope");
}

TEST(CubeComposite, ComposedFieldsStopAtAnEmptyItem) {
  TDateCube c;
  c.Comp->ComposedFields = "Year; ; Month";
  c.Cube.SetActive(true);
  EXPECT_EQ(c.Cube.Dimensions()[0]->TextKeys, (std::vector<std::string>{"2003", "2004"}));
  c.Cube.SetActive(false);
  c.Comp->ComposedFields = " ";  // no part: the item builds no dimension
  EXPECT_EQ(ActivationError(c.Cube), "未定义任何维度项");
}

namespace {

struct TRangeCube {
  std::unique_ptr<TMemoryTable> Data;
  TVantra Cube;
  TRangeCube(const std::vector<double>& values, int count, TTransformMethod method) {
    std::vector<std::vector<TVariant>> rows;
    for (double v : values) rows.push_back({D(v), D(1)});
    Data = MakeTable("q", {{"X", TFieldType::ftFloat}, {"V", TFieldType::ftFloat}}, rows);
    Cube.Options().ShowProgressBar = false;
    Cube.SetDataSet(Data.get());
    DefineMap(Cube, {}, {"V"});
    TDimSum& x = *Cube.DimensionMap().FindPlain("X");
    x.EnableTransformation = true;
    x.SeriesMemberCount = count;
    x.TransformMethod = method;
    x.DimSumType = TDimSumType::dsDimension;
    x.DisplayName = "Amount";
  }
  const TDimension& Dim() { return *Cube.Dimensions()[0]; }
};

}  // namespace

TEST(CubeRange, EqualDensitySplitsByPosition) {
  TRangeCube c({7, 1, 9, 2, 10, 3, 4, 8, 5, 6}, 2, TTransformMethod::tmEqualDensity);
  c.Cube.SetActive(true);
  EXPECT_EQ(Captions(c.Dim()), (std::vector<std::string>{"1 <= X <= 6", "6 <= X <= 10"}));
  EXPECT_EQ(Stored(c.Cube, 0), (std::vector<std::int32_t>{1, 0, 1, 0, 1, 0, 0, 1, 0, 0}));
  EXPECT_EQ(c.Dim().MemberKeys, (std::vector<std::int32_t>{0, 1}));
}

TEST(CubeRange, EqualRangeSplitsByValue) {
  TRangeCube c({0, 1, 2, 5, 6, 9, 10, 10}, 3, TTransformMethod::tmEqualRange);
  c.Cube.SetActive(true);
  // Bounds at 3.33 and 6.67: positions 3 (value 5) and 5 (value 9).
  EXPECT_EQ(Captions(c.Dim()),
            (std::vector<std::string>{"0 <= X <= 5", "5 < X <= 9", "9 <= X <= 10"}));
  EXPECT_EQ(Stored(c.Cube, 0), (std::vector<std::int32_t>{0, 0, 0, 0, 1, 1, 2, 2}));
}

TEST(CubeRange, DegenerateCountsAndValues) {
  TRangeCube zero({1, 2}, 0, TTransformMethod::tmEqualDensity);
  try {
    zero.Cube.SetActive(true);
    FAIL();
  } catch (const ECubeError& e) {
    EXPECT_NE(std::string(e.what()).find("Amount"), std::string::npos);
  }
  TRangeCube one({3, 1, 2}, 1, TTransformMethod::tmEqualRange);
  one.Cube.SetActive(true);
  EXPECT_EQ(Captions(one.Dim()), (std::vector<std::string>{"1 <= X <= 3"}));
  EXPECT_EQ(Stored(one.Cube, 0), (std::vector<std::int32_t>{0, 0, 0}));
  TRangeCube none({}, 3, TTransformMethod::tmEqualDensity);
  none.Cube.SetActive(true);
  EXPECT_EQ(none.Dim().MemberCount(), 0);
  // More ranges than values: the surplus ranges end at the last value.
  TRangeCube many({2, 1}, 5, TTransformMethod::tmEqualDensity);
  many.Cube.SetActive(true);
  EXPECT_EQ(many.Dim().MemberCount(), 5);
  for (std::int32_t m : Stored(many.Cube, 0)) EXPECT_LT(m, 5);
  TRangeCube flat({4, 4, 4}, 2, TTransformMethod::tmEqualRange);
  flat.Cube.SetActive(true);
  EXPECT_EQ(Captions(flat.Dim()), (std::vector<std::string>{"4 <= X <= 4", "4 <= X <= 4"}));
}

TEST(CubeRange, SkippedRecordsLeaveNoRangeValueAndRefreshRecomputesOrFailsWhole) {
  TRangeCube c({1, 2, 3, 4}, 2, TTransformMethod::tmEqualDensity);
  // A lookup dimension after the range skips the second record.
  auto lookup = MakeTable("tbV", {{"Id", TFieldType::ftInteger}}, {{I(1)}});
  c.Data = MakeTable(
      "q", {{"X", TFieldType::ftFloat}, {"V", TFieldType::ftFloat}, {"L", TFieldType::ftInteger}},
      {{D(1), D(1), I(1)}, {D(100), D(1), I(2)}, {D(3), D(1), I(1)}, {D(4), D(1), I(1)}});
  c.Cube.SetDataSet(c.Data.get());
  TDimSum& l = c.Cube.DimensionMap().Add();
  l.BaseFieldName = "L";
  l.BaseFieldType = TFieldType::ftInteger;
  l.DimSumType = TDimSumType::dsDimension;
  l.SetLookupDataSet(lookup.get());
  l.ID_Field = "Id";
  c.Cube.Options().SetLookupHasntTheValue(TLookupHasntTheValue::lvIgnoreSumValue);
  c.Cube.SetActive(true);
  EXPECT_EQ(c.Cube.FactTable()->RecordCount(), 3);
  EXPECT_EQ(c.Dim().RangeValues, (std::vector<double>{1, 3, 4}));
  EXPECT_EQ(Captions(c.Dim()), (std::vector<std::string>{"1 <= X <= 4", "4 <= X <= 4"}));
  c.Data->AppendRow({D(0), D(1), I(1)});
  c.Cube.RefreshFactTable();
  EXPECT_EQ(c.Cube.FactTable()->RecordCount(), 4);
  EXPECT_EQ(c.Dim().RangeValues, (std::vector<double>{0, 1, 3, 4}));
  EXPECT_EQ(Captions(c.Dim()), (std::vector<std::string>{"0 <= X <= 3", "3 <= X <= 4"}));
  EXPECT_EQ(Stored(c.Cube, 0), (std::vector<std::int32_t>{0, 0, 1, 0}));

  // A value missing from the lookup fails the refresh under lvException and
  // leaves the cube as it was.
  c.Cube.SetActive(false);
  c.Cube.Options().SetLookupHasntTheValue(TLookupHasntTheValue::lvException);
  c.Data->ClearRows();
  c.Data->AppendRow({D(1), D(1), I(1)});
  c.Cube.SetActive(true);
  const std::vector<std::string> before = Captions(c.Dim());
  c.Data->AppendRow({D(5), D(1), I(7)});
  EXPECT_THROW(c.Cube.RefreshFactTable(), ELookupHasntTheValueError);
  EXPECT_EQ(c.Cube.FactTable()->RecordCount(), 1);
  EXPECT_EQ(c.Dim().RangeValues, (std::vector<double>{1}));
  EXPECT_EQ(Captions(c.Dim()), before);
}

}  // namespace qd
