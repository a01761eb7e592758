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

std::vector<std::string> MapNames(const TCustomVantra& cube) {
  std::vector<std::string> v;
  for (int i = 0; i < cube.DimensionMap().Count(); ++i)
    v.push_back(cube.DimensionMap()[i].BaseFieldName);
  return v;
}

std::unique_ptr<TMemoryTable> ThreeFields() {
  return MakeTable(
      "qrFacts",
      {{"A", TFieldType::ftString}, {"B", TFieldType::ftInteger}, {"C", TFieldType::ftFloat}},
      {{S("x"), I(1), D(2)}});
}

}  // namespace

TEST(CubeMap, DefaultAttributeGoesInFrontOfTheAttributes) {
  TDimSum item;
  item.Attributes = "Code; City";
  item.SetDefaultAttribute("Name");
  EXPECT_EQ(item.Attributes, "Name; Code; City");
  item.SetDefaultAttribute("Name");
  EXPECT_EQ(item.Attributes, "Name; Code; City");
  item.SetName_Field("City");
  EXPECT_EQ(item.Attributes, "Name; Code; City");
  EXPECT_EQ(item.DefaultAttribute(), "City");
  TDimSum empty;
  empty.SetDefaultAttribute("Name");
  EXPECT_EQ(empty.Attributes, "Name");
}

TEST(CubeMap, ClearingALookupClearsItsFields) {
  auto lookup = ThreeFields();
  TDimSum item;
  item.SetLookupDataSet(lookup.get());
  item.ID_Field = "A";
  item.ParentID_Field = "B";
  item.SetDefaultAttribute("C");
  item.SetLookupDataSet(nullptr);
  EXPECT_EQ(item.ID_Field + item.ParentID_Field + item.DefaultAttribute() + item.Attributes, "");
  TDimCollectionItem part;
  part.SetLookupDataSet(lookup.get());
  part.ID_Field = "A";
  part.Name_Field = "C";
  part.SetLookupDataSet(nullptr);
  EXPECT_EQ(part.ID_Field + part.Name_Field, "");
}

TEST(CubeMap, AssignCopiesTheDefinitionButNotTheShape) {
  TDimSum from, to;
  from.BaseFieldName = "F";
  from.DisplayName = "Field";
  from.DimSumType = TDimSumType::dsDimension;
  from.DimGroup = TDimGroup::dgCol;
  from.SeriesMemberCount = 4;
  from.Composite = true;
  to.Assign(from);
  EXPECT_EQ(to.BaseFieldName, "F");
  EXPECT_EQ(to.DimGroup, TDimGroup::dgCol);
  EXPECT_EQ(to.SeriesMemberCount, 0);
  EXPECT_FALSE(to.Composite);
}

TEST(CubeMap, DefinedItemsMoveToTheFirstUnusedPlace) {
  auto ds = ThreeFields();
  TVantra cube;
  cube.SetDataSet(ds.get());
  cube.RefreshDimensionMap();
  ASSERT_EQ(MapNames(cube), (std::vector<std::string>{"A", "B", "C"}));
  cube.DimensionMap()[0].DimSumType = TDimSumType::dsDimension;
  TDimSum* c = cube.MarkAsSummary("c");
  EXPECT_EQ(c, &cube.DimensionMap()[1]);
  EXPECT_EQ(MapNames(cube), (std::vector<std::string>{"A", "C", "B"}));
  // An item standing before the first unused one lands right after it.
  cube.PlaceAsDimension("A", TDimGroup::dgCol);
  EXPECT_EQ(MapNames(cube), (std::vector<std::string>{"C", "B", "A"}));
  EXPECT_EQ(cube.DimensionMap()[2].DimGroup, TDimGroup::dgCol);
  EXPECT_EQ(cube.DimensionMap()[2].TotalAppearance, TTotalAppearance::taLast);
  cube.MarkAsSummary("B");  // nothing unused: to the end
  EXPECT_EQ(MapNames(cube), (std::vector<std::string>{"C", "A", "B"}));
  EXPECT_EQ(cube.DimensionMap().DimensionCount(), 1);
  EXPECT_EQ(cube.DimensionMap().SummaryCount(), 2);
  EXPECT_EQ(cube.DimensionMap().FirstUnusedIndex(), -1);
}

TEST(CubeMap, CompositeAndRangeItemsAreNotFoundByFieldName) {
  TVantra cube;
  TDimSum& comp = cube.DimensionMap().Add();
  comp.Composite = true;
  EXPECT_EQ(cube.AddCompositePart(comp, "Year")->FieldName, "Year");
  cube.AddCompositePart(comp, "Month");
  EXPECT_EQ(comp.BaseFieldName, "Year; Month");
  TDimSum& range = cube.DimensionMap().Add();
  range.BaseFieldName = "Amount";
  range.EnableTransformation = true;
  EXPECT_EQ(cube.PlaceAsDimension("Year; Month", TDimGroup::dgRow), nullptr);
  EXPECT_EQ(cube.MarkAsSummary("Amount"), nullptr);
  EXPECT_EQ(range.DimSumType, TDimSumType::dsUnknown);
  TDimSum plain;
  EXPECT_EQ(cube.AddCompositePart(plain, "X"), nullptr);
}

TEST(CubeMap, RefreshFollowsTheDatasetFields) {
  auto ds = MakeTable(
      "q", {{"A", TFieldType::ftString}, {"B", TFieldType::ftInteger}, {"C", TFieldType::ftFloat}},
      {});
  TVantra cube;
  cube.SetDataSet(ds.get());
  cube.RefreshDimensionMap();
  TDimSum& comp = cube.DimensionMap().Add();
  comp.Composite = true;
  comp.DimSumType = TDimSumType::dsDimension;
  cube.AddCompositePart(comp, "A");
  cube.AddCompositePart(comp, "C");
  cube.AddCompositePart(comp, "B");
  cube.PlaceAsDimension("B", TDimGroup::dgCol);

  // C is gone and B changed type.
  auto ds2 = MakeTable("q", {{"A", TFieldType::ftString}, {"B", TFieldType::ftFloat}}, {});
  cube.SetDataSet(ds2.get());
  EXPECT_TRUE(cube.RefreshDimensionMap());
  EXPECT_EQ(MapNames(cube), (std::vector<std::string>{"A", "A; B", "B"}));
  EXPECT_EQ(cube.DimensionMap()[2].BaseFieldType, TFieldType::ftFloat);
  EXPECT_EQ(cube.DimensionMap()[2].DimSumType, TDimSumType::dsUnknown);
  EXPECT_EQ(comp.ComposedFields, "A; B");
  ASSERT_EQ(comp.DimCollection().Count(), 2);
  EXPECT_EQ(comp.DimCollection().Items(1).FieldName, "B");
  EXPECT_FALSE(ds2->Active());  // reading the fields leaves a closed dataset closed
  ASSERT_EQ(cube.SourceFields().Count(), 2);
  EXPECT_EQ(cube.SourceFields().IndexOf("b", TFieldType::ftFloat), 1);
}

TEST(CubeMap, DatasetErrorsNameTheirCause) {
  TVantra cube;
  try {
    cube.RefreshDimensionMap();
    FAIL();
  } catch (const ECubeError&) {
    FAIL() << "a generic error is expected";
  } catch (const EGenericError& e) {
    EXPECT_STREQ(e.what(), "没有任何Cube数据被定义。\r\n请设置数据集属性");
  }
  EXPECT_THROW(cube.OpenFactDataSet(), ECubeError);
  TFailingTable failing;
  cube.SetDataSet(&failing);
  try {
    cube.ReadSourceFields();
    FAIL();
  } catch (const ECubeError& e) {
    EXPECT_STREQ(e.what(), "数据源打开错误：\r\nconnection refused");
  }
}

TEST(CubeMap, KeyFieldTypesFollowThePlainItems) {
  auto ds = ThreeFields();
  TVantra cube;
  cube.SetDataSet(ds.get());
  cube.RefreshDimensionMap();
  cube.SetKeyFields({"B", "Nope", "a"});
  EXPECT_EQ(cube.KeyFields, "B; Nope; a");
  EXPECT_EQ(cube.KeyFieldTypes, std::string("\x03 \x01", 3));
  cube.KeyFieldTypes.clear();
  EXPECT_EQ(cube.KeyFieldTypesForStore().size(), 3u);
}

TEST(CubeMap, OptionsKeepTheLookupRuleWhileActive) {
  auto ds = ThreeFields();
  TVantra cube;
  cube.Options().ShowProgressBar = false;
  cube.SetDataSet(ds.get());
  DefineMap(cube, {"A"}, {"C"});
  cube.SetActive(true);
  cube.Options().SetLookupHasntTheValue(TLookupHasntTheValue::lvIgnoreSumValue);
  EXPECT_EQ(cube.Options().LookupHasntTheValue(), TLookupHasntTheValue::lvException);
  TVantraOptions other;
  other.SetLookupHasntTheValue(TLookupHasntTheValue::lvIgnoreSumValue);
  other.ShowProgressBar = true;
  cube.SetOptions(other);
  EXPECT_TRUE(cube.Options().ShowProgressBar);
  EXPECT_EQ(cube.Options().LookupHasntTheValue(), TLookupHasntTheValue::lvException);
  cube.SetActive(false);
  cube.SetOptions(other);
  EXPECT_EQ(cube.Options().LookupHasntTheValue(), TLookupHasntTheValue::lvIgnoreSumValue);
}

TEST(CubeMap, EventsAndModelCodesFollowTheLifecycle) {
  auto ds = ThreeFields();
  TVantra cube;
  cube.Options().ShowProgressBar = false;
  std::vector<std::string> events;
  cube.BeforeOpen = [&](TCustomVantra&) { events.push_back("BeforeOpen"); };
  cube.AfterOpen = [&](TCustomVantra&) { events.push_back("AfterOpen"); };
  cube.BeforeClose = [&](TCustomVantra&) { events.push_back("BeforeClose"); };
  cube.AfterClose = [&](TCustomVantra& c) { events.push_back(c.Active() ? "open" : "AfterClose"); };
  TCodeLog log;
  cube.RegisterGridModel(&log);
  cube.SetDataSet(ds.get());
  DefineMap(cube, {"A"}, {"C"});
  cube.SetActive(true);
  cube.RefreshFactTable();
  cube.NotifyGridModels(TCubeChange::ccMapEdited);
  cube.SetActive(false);
  EXPECT_EQ(log.Codes, (std::vector<TCubeChange>{ccActiveChanged, ccActiveChanged, ccActiveChanged,
                                                 ccFactsRefreshed, ccMapEdited, ccActiveChanged}));
  EXPECT_EQ(events,
            (std::vector<std::string>{"BeforeOpen", "AfterOpen", "BeforeClose", "AfterClose"}));
  EXPECT_EQ(cube.FactTable(), nullptr);
  EXPECT_EQ(cube.DimensionCount(), 0);
  cube.UnregisterGridModel(&log);
  cube.NotifyGridModels(TCubeChange::ccMapEdited);
  EXPECT_EQ(log.Codes.size(), 6u);
}

TEST(CubeMap, DeferredActivationWaitsForTheEndOfLoading) {
  auto ds = ThreeFields();
  TVantra cube;
  cube.Options().ShowProgressBar = false;
  cube.SetDataSet(ds.get());
  DefineMap(cube, {"A"}, {"C"});
  cube.BeginLoading();
  cube.SetActive(true);
  EXPECT_FALSE(cube.Active());
  cube.EndLoading();
  EXPECT_TRUE(cube.Active());
}

TEST(CubeMap, DestroyedDatasetsAreForgotten) {
  auto facts = ThreeFields();
  auto lookup = ThreeFields();
  TCodeLog log;
  {
    TVantra cube;
    cube.Options().ShowProgressBar = false;
    cube.SetDataSet(facts.get());
    DefineMap(cube, {"A"}, {"C"});
    TDimSum& comp = cube.DimensionMap().Add();
    comp.Composite = true;
    cube.AddCompositePart(comp, "A", "C", "A", lookup.get());
    cube.DimensionMap()[0].SetLookupDataSet(lookup.get());
    cube.DimensionMap()[0].ID_Field = "A";
    cube.DimensionMap()[0].SetLookupDataSet(nullptr);
    cube.DimensionMap()[0].SetLookupDataSet(lookup.get());
    cube.DimensionMap()[0].ID_Field = "A";
    cube.SetActive(true);
    cube.RegisterGridModel(&log);
    lookup.reset();
    EXPECT_EQ(cube.DimensionMap()[0].LookupDataSet(), nullptr);
    EXPECT_EQ(comp.DimCollection().Items(0).LookupDataSet(), nullptr);
    EXPECT_EQ(comp.DimCollection().Items(0).ID_Field, "");
    EXPECT_TRUE(cube.Active());
    facts.reset();
    EXPECT_EQ(cube.DataSet(), nullptr);
    EXPECT_FALSE(cube.Active());
    EXPECT_EQ(log.Codes,
              (std::vector<TCubeChange>{ccActiveChanged, ccActiveChanged, ccActiveChanged}));
  }
  auto late = ThreeFields();
  {
    TVantra other;
    other.SetDataSet(late.get());
    late->Open();
  }
  EXPECT_FALSE(late->Active());  // the cube closes its dataset when it goes
}

}  // namespace qd
