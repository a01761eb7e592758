#include "design/dimension_map_editor.h"

#include <gtest/gtest.h>

#include <map>

#include "cube_test_util.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"

namespace qd {
namespace {

using namespace qd::test;
using enum TMapRoot;

//! A designer service over named tables.
class TTableDesigner : public IDesigner {
 public:
  std::map<std::string, TDataSet*> Sets;
  void ListDataSets(const std::function<void(const std::string&)>& add) override {
    for (auto& [name, ds] : Sets) add(name);
  }
  TDataSet* FindDataSet(const std::string& name) override {
    auto it = Sets.find(name);
    return it == Sets.end() ? nullptr : it->second;
  }
  std::string DataSetName(const TDataSet* ds) override {
    for (auto& [name, s] : Sets)
      if (s == ds) return name;
    return {};
  }
};

class TFailingTable : public TMemoryTable {
 protected:
  void DoOpen() override { throw EGenericError("no such table"); }
};

struct TModelSpy : TCubeListener {
  std::vector<TCubeChange> Codes;
  void CubeChanged(TCubeChange code) override { Codes.push_back(code); }
};

class DimensionMapEditor : public ::testing::Test {
 protected:
  void SetUp() override {
    Facts = MakeTable("qrFact",
                      {{"region", TFieldType::ftString},
                       {"city", TFieldType::ftString},
                       {"year", TFieldType::ftInteger},
                       {"amnt", TFieldType::ftFloat},
                       {"qty", TFieldType::ftInteger},
                       {"id", TFieldType::ftInteger}},
                      {{S("N"), S("A"), I(2021), D(1.5), I(2), I(1)}});
    Cities = MakeTable("cities", {{"code", TFieldType::ftString}, {"name", TFieldType::ftString}},
                       {{S("A"), S("Alpha")}});
    Cube.SetDataSet(Facts.get());
    Designer.Sets["cities"] = Cities.get();
  }
  void Prepare(bool withDesigner = true) {
    ASSERT_TRUE(Editor.Prepare(withDesigner ? &Designer : nullptr, Cube));
  }
  //! A plain map: region on the rows, year on the columns, amnt a summary.
  void PlaceDefaults() {
    Cube.RefreshDimensionMap();
    Cube.PlaceAsDimension("region", TDimGroup::dgRow);
    Cube.PlaceAsDimension("year", TDimGroup::dgCol);
    Cube.MarkAsSummary("amnt");
  }
  TMapNode* Child(TMapRoot r, const std::string& field) {
    TMapNode& root = Editor.Root(r);
    for (int i = 0; i < root.Count(); ++i) {
      TMapNode& n = root.Child(i);
      if ((n.Field() && n.Field()->BaseFieldName == field) || n.Text == field) return &n;
    }
    return nullptr;
  }
  std::vector<std::string> Texts(TMapRoot r) {
    std::vector<std::string> v;
    for (int i = 0; i < Editor.Root(r).Count(); ++i) v.push_back(Editor.Root(r).Child(i).Text);
    return v;
  }
  std::vector<std::string> MapOrder() {
    std::vector<std::string> v;
    const TDimSums& map = Cube.DimensionMap();
    for (int i = 0; i < map.Count(); ++i)
      v.push_back(map[i].BaseFieldName + ":" + std::to_string(static_cast<int>(map[i].DimSumType)));
    return v;
  }

  std::unique_ptr<TMemoryTable> Facts, Cities;
  TVantra Cube;
  TTableDesigner Designer;
  TDimensionMapEditor Editor;
};

TEST_F(DimensionMapEditor, NeedsADataSetAndBuildsTheSixRootsFromTheMap) {
  TVantra bare;
  try {
    Editor.Prepare(nullptr, bare);
    FAIL() << "a cube without a data set was prepared";
  } catch (const ECubeDesignError& e) {
    EXPECT_EQ(std::string(e.what()), "数据源没有被定义");
  }

  PlaceDefaults();
  Cube.DimensionMap().FindPlain("amnt")->DisplayName = "Amount";
  TDimSum& combo = Cube.DimensionMap().Add();
  combo.Composite = true;
  combo.DimSumType = TDimSumType::dsDimension;
  combo.DimGroup = TDimGroup::dgPage;
  combo.DisplayName = "Place";
  Cube.AddCompositePart(combo, "region");
  Cube.AddCompositePart(combo, "city");
  Cube.KeyFields = "id; ; qty";
  Prepare();

  const std::vector<std::string> roots = {"行轴维度", "列轴维度", "页轴维度", "合计项", "Key字段",
                                          "事实表中的字段"};
  for (int r = 0; r < kMapRootCount; ++r)
    EXPECT_EQ(Editor.Root(static_cast<TMapRoot>(r)).Text, roots[static_cast<std::size_t>(r)]);
  EXPECT_EQ(Texts(mrSummaries), std::vector<std::string>{"Amount {Field: \"amnt\"; Float}"});
  EXPECT_EQ(Texts(mrRows), std::vector<std::string>{"region {Field: \"region\"; String}"});
  ASSERT_EQ(Editor.Root(mrPages).Count(), 1);
  TMapNode& place = Editor.Root(mrPages).Child(0);
  EXPECT_EQ(place.Image, TMapImage::miComposite);
  ASSERT_EQ(place.Count(), 2);
  EXPECT_EQ(place.Child(1).Text, "city");
  EXPECT_EQ(place.Child(1).Image, TMapImage::miPart);
  // An empty piece ends the key list; every field is listed once, collapsed.
  EXPECT_EQ(Texts(mrKeys), std::vector<std::string>{"id"});
  EXPECT_EQ(Editor.Root(mrFacts).Count(), 6);
  EXPECT_FALSE(Editor.Root(mrFacts).Expanded);
  EXPECT_TRUE(Editor.Root(mrRows).Expanded);
  EXPECT_EQ(Child(mrFacts, "amnt")->Field()->DimSumType, TDimSumType::dsUnknown);
}

TEST_F(DimensionMapEditor, FactFieldsAreCopiedOnceOntoTheAxesAndOnceAmongTheSummaries) {
  Prepare();
  TMapNode* qty = Child(mrFacts, "qty");
  Editor.DragDrop(qty, &Editor.Root(mrRows));
  TMapNode* onRows = Child(mrRows, "qty");
  ASSERT_NE(onRows, nullptr);
  EXPECT_EQ(onRows->Field()->DimSumType, TDimSumType::dsDimension);
  EXPECT_EQ(onRows->Image, TMapImage::miRows);
  EXPECT_EQ(Editor.Selected(), onRows);
  EXPECT_NE(Child(mrFacts, "qty"), nullptr) << "the fact-table field stays";

  // Already on the rows: a drop on the columns selects the row node.
  Editor.DragDrop(qty, &Editor.Root(mrCols));
  EXPECT_EQ(Editor.Root(mrCols).Count(), 0);
  EXPECT_EQ(Editor.Selected(), onRows);

  // A summary as well is allowed, once.
  Editor.DragDrop(qty, &Editor.Root(mrSummaries));
  Editor.DragDrop(qty, &Editor.Root(mrSummaries));
  ASSERT_EQ(Editor.Root(mrSummaries).Count(), 1);
  EXPECT_EQ(Child(mrSummaries, "qty")->Field()->DimSumType, TDimSumType::dsSummary);

  // Inserted before the target; moved within the fact-table branch.
  Editor.DragDrop(Child(mrFacts, "city"), onRows);
  EXPECT_EQ(Editor.Root(mrRows).Child(0).Field()->BaseFieldName, "city");
  Editor.DragDrop(Child(mrFacts, "id"), &Editor.Root(mrFacts).Child(0));
  EXPECT_EQ(Editor.Root(mrFacts).Child(0).Field()->BaseFieldName, "id");
  // Roots are not dragged.
  Editor.DragDrop(&Editor.Root(mrRows), &Editor.Root(mrCols));
  EXPECT_EQ(Editor.Root(mrCols).Count(), 0);
}

TEST_F(DimensionMapEditor, PlacedItemsMoveBetweenBranchesAndLeaveThroughTheFactTable) {
  PlaceDefaults();
  Prepare();
  TMapNode* region = Child(mrRows, "region");
  Editor.DragDrop(region, &Editor.Root(mrPages));
  EXPECT_EQ(Editor.Root(mrRows).Count(), 0);
  ASSERT_EQ(Child(mrPages, "region"), region) << "the node keeps its data";
  EXPECT_EQ(region->Field()->DimGroup, TDimGroup::dgPage);
  EXPECT_EQ(region->Image, TMapImage::miPages);

  // A summary dragged onto the rows is a row dimension even when that field
  // is one already: the map then holds both.
  Editor.DragDrop(Child(mrFacts, "amnt"), &Editor.Root(mrRows));
  TMapNode* amntSum = Child(mrSummaries, "amnt");
  Editor.DragDrop(amntSum, &Editor.Root(mrRows));
  EXPECT_EQ(Editor.Root(mrRows).Count(), 2);
  EXPECT_EQ(amntSum->Field()->DimSumType, TDimSumType::dsDimension);

  // Onto the fact table: the placed node goes and the field is selected.
  Editor.DragDrop(region, &Editor.Root(mrFacts).Child(3));
  EXPECT_EQ(Editor.Root(mrPages).Count(), 0);
  EXPECT_EQ(Editor.Selected(), Child(mrFacts, "region"));
  EXPECT_EQ(Editor.Root(mrFacts).Count(), 6);
}

TEST_F(DimensionMapEditor, CompositePartsAndKeyFieldsFollowTheirOwnRules) {
  PlaceDefaults();
  Prepare();
  TMapNode* combo = Editor.NewComposite(&Editor.Root(mrCols));
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->Text, "--- 新的复合维度 ---");
  EXPECT_EQ(combo->Field()->DimGroup, TDimGroup::dgCol);
  EXPECT_EQ(Editor.NewComposite(&Editor.Root(mrSummaries)), nullptr);

  Editor.DragDrop(Child(mrFacts, "region"), combo);
  Editor.DragDrop(Child(mrFacts, "year"), combo);
  Editor.DragDrop(Child(mrRows, "region"), combo);  // already a part: selected
  Editor.DragDrop(Child(mrFacts, "city"), &combo->Child(1));
  EXPECT_EQ(combo->Field()->ComposedFields, "region; city; year");
  EXPECT_EQ(combo->Field()->BaseFieldName, "region; city; year");
  EXPECT_EQ(combo->Count(), 3);

  // Parts reorder among themselves; dropped elsewhere they are removed.
  Editor.DragDrop(&combo->Child(2), &combo->Child(0));
  EXPECT_EQ(combo->Field()->ComposedFields, "year; region; city");
  Editor.DragDrop(&combo->Child(0), Child(mrRows, "region"));
  EXPECT_EQ(combo->Field()->ComposedFields, "region; city");
  Editor.Delete(&combo->Child(1));
  EXPECT_EQ(combo->Field()->ComposedFields, "region");

  // A composite dimension moves only among the axes.
  Editor.DragDrop(combo, &Editor.Root(mrSummaries));
  EXPECT_EQ(combo->Parent(), &Editor.Root(mrCols));
  Editor.DragDrop(combo, Child(mrRows, "region"));
  EXPECT_EQ(&Editor.Root(mrRows).Child(0), combo);
  EXPECT_EQ(combo->Field()->DimGroup, TDimGroup::dgRow);

  // Key fields: added once, reordered, removed when dropped elsewhere.
  Editor.DragDrop(Child(mrFacts, "id"), &Editor.Root(mrKeys));
  Editor.DragDrop(Child(mrSummaries, "amnt"), &Editor.Root(mrKeys));
  Editor.DragDrop(Child(mrFacts, "id"), &Editor.Root(mrKeys));
  EXPECT_EQ(Texts(mrKeys), (std::vector<std::string>{"id", "amnt"}));
  EXPECT_EQ(Editor.Root(mrKeys).Child(1).Image, TMapImage::miKey);
  Editor.DragDrop(&Editor.Root(mrKeys).Child(1), &Editor.Root(mrKeys).Child(0));
  EXPECT_EQ(Texts(mrKeys), (std::vector<std::string>{"amnt", "id"}));
  Editor.DragDrop(&Editor.Root(mrKeys).Child(0), &Editor.Root(mrRows));
  EXPECT_EQ(Texts(mrKeys), std::vector<std::string>{"id"});
}

TEST_F(DimensionMapEditor, RenameDeleteAndTheContextMenuOfferWhatEachNodeAllows) {
  PlaceDefaults();
  Prepare();
  TMapNode* region = Child(mrRows, "region");
  Editor.BeginRename(region);
  EXPECT_EQ(region->Text, "region");
  Editor.EndRename(region, "地区");
  EXPECT_EQ(region->Text, "地区 {Field: \"region\"; String}");
  Editor.BeginRename(region);
  Editor.EndRename(region, "");
  EXPECT_EQ(region->Field()->DisplayName, "地区");
  EXPECT_EQ(region->Text, "地区 {Field: \"region\"; String}");

  using enum TMapCommand;
  EXPECT_EQ(Editor.ContextCommands(region),
            (std::vector<TMapCommand>{mcRename, mcDelete, mcCreateComposite}));
  EXPECT_EQ(Editor.ContextCommands(&Editor.Root(mrCols)),
            std::vector<TMapCommand>{mcCreateComposite});
  EXPECT_EQ(Editor.ContextCommands(Child(mrFacts, "qty")), std::vector<TMapCommand>{mcRename});
  EXPECT_TRUE(Editor.ContextCommands(&Editor.Root(mrFacts)).empty());

  Editor.Delete(&Editor.Root(mrRows));
  Editor.Delete(Child(mrFacts, "qty"));
  EXPECT_EQ(Editor.Root(mrFacts).Count(), 6);
  Editor.Select(region);
  Editor.Delete(region);
  EXPECT_EQ(Editor.Root(mrRows).Count(), 0);
  EXPECT_EQ(Editor.Current(), &Editor.Root(mrRows)) << "a deleted node is never written again";
}

TEST_F(DimensionMapEditor, AcceptingWritesAxesThenSummariesThenTheRestAndTellsTheModels) {
  PlaceDefaults();
  Cube.KeyFields = "id";
  Prepare();
  TModelSpy spy;
  Cube.RegisterGridModel(&spy);
  spy.Codes.clear();

  Editor.DragDrop(Child(mrFacts, "city"), &Editor.Root(mrPages));
  Editor.DragDrop(Child(mrFacts, "qty"), &Editor.Root(mrSummaries));
  TMapNode* combo = Editor.NewComposite(&Editor.Root(mrRows));
  Editor.EndRename(combo, "地点");
  Editor.DragDrop(Child(mrFacts, "region"), combo);
  Editor.DragDrop(Child(mrFacts, "city"), combo);
  Editor.Select(&combo->Child(1));
  Editor.PartPanel.FormatString = "00";
  Editor.Accept();

  // Fact-table fields follow only when the map lacks them.
  EXPECT_EQ(MapOrder(), (std::vector<std::string>{"region:1", "region; city:1", "year:1", "city:1",
                                                   "amnt:2", "qty:2", "id:0"}));
  const TDimSum& stored = Cube.DimensionMap()[1];
  EXPECT_TRUE(stored.Composite);
  EXPECT_EQ(stored.DisplayName, "地点");
  ASSERT_EQ(stored.DimCollection().Count(), 2);
  EXPECT_EQ(stored.DimCollection().Items(1).FieldName, "city");
  EXPECT_EQ(stored.DimCollection().Items(1).FormatString, "00");
  EXPECT_EQ(Cube.KeyFields, "id");
  EXPECT_EQ(Cube.KeyFieldTypes, std::string(1, static_cast<char>(TFieldType::ftInteger)));
  EXPECT_EQ(spy.Codes, std::vector<TCubeChange>{TCubeChange::ccMapEdited});
  Cube.UnregisterGridModel(&spy);

  // The written map builds.
  Cube.SetActive(true);
  EXPECT_EQ(Cube.DimensionCount(), 4);
  EXPECT_EQ(Cube.SummaryCount(), 2);
}

TEST_F(DimensionMapEditor, TheMemberCountIsCheckedOnEveryChangeAndBeforeItIsTakenOver) {
  EXPECT_THROW(TDimensionMapEditor::CheckMemberCount("3x"), ECubeDesignError);
  EXPECT_THROW(TDimensionMapEditor::CheckMemberCount(""), ECubeDesignError);
  try {
    TDimensionMapEditor::CheckMemberCount("0");
    FAIL();
  } catch (const ECubeDesignError& e) {
    EXPECT_EQ(std::string(e.what()), "成员数目一定是一个合法的且大于0的值");
  }
  EXPECT_EQ(TDimensionMapEditor::CheckMemberCount(" 4 "), 4);

  PlaceDefaults();
  Prepare();
  TMapNode* year = Child(mrCols, "year");
  Editor.Select(year);
  ASSERT_EQ(Editor.Panel(), TPropPanel::ppDimension);
  EXPECT_TRUE(Editor.DimPanel.Numeric);
  Editor.DimPanel.Transform = true;
  Editor.DimPanel.MemberCount = "-2";
  // The new node becomes current all the same.
  EXPECT_THROW(Editor.Select(Child(mrRows, "region")), ECubeDesignError);
  EXPECT_EQ(Editor.Current(), Child(mrRows, "region"));
  EXPECT_FALSE(year->Field()->EnableTransformation);

  const std::vector<std::string> before = MapOrder();
  Editor.Select(year);
  Editor.DimPanel.Transform = true;
  Editor.DimPanel.MemberCount = "0";
  EXPECT_THROW(Editor.Accept(), ECubeDesignError);
  EXPECT_EQ(MapOrder(), before) << "a failed take-over leaves the map as it was";

  Editor.DimPanel.MemberCount = "3";
  Editor.DimPanel.EqualDensity = false;
  Editor.Accept();
  bool found = false;
  for (int i = 0; i < Cube.DimensionMap().Count(); ++i)
    if (const TDimSum& d = Cube.DimensionMap()[i]; d.BaseFieldName == "year" && d.EnableTransformation) {
      found = true;
      EXPECT_EQ(d.SeriesMemberCount, 3);
      EXPECT_EQ(d.TransformMethod, TTransformMethod::tmEqualRange);
    }
  EXPECT_TRUE(found);
}

TEST_F(DimensionMapEditor, LookupPanelsListTheDesignersTablesAndTheirFields) {
  TFailingTable broken;
  broken.AddColumn("x", TFieldType::ftString);
  Designer.Sets["broken"] = &broken;
  PlaceDefaults();
  Prepare();
  Editor.AddDataSetName("qrFact");
  EXPECT_EQ(Editor.DataSetNames(), (std::vector<std::string>{"broken", "cities", "qrFact"}));

  TMapNode* region = Child(mrRows, "region");
  Editor.Select(region);
  EXPECT_FALSE(Editor.DimPanel.Numeric);
  Editor.DataSetChanged("cities");
  EXPECT_EQ(Editor.IDFields, (std::vector<std::string>{"code", "name"}));
  EXPECT_FALSE(Cities->Active()) << "the table is left closed as it was";
  Editor.DimPanel.IDField = "code";
  Editor.SetAttributes("name; code");
  Editor.DimPanel.DefaultAttribute = "name";
  Editor.SetAttributes("code");  // the default attribute went with the text
  EXPECT_EQ(Editor.DimPanel.DefaultAttribute, "");
  Editor.SetAttributes("name; code");
  Editor.DimPanel.DefaultAttribute = "name";
  Editor.Select(&Editor.Root(mrRows));
  EXPECT_EQ(region->Field()->LookupDataSet, Cities.get());
  EXPECT_EQ(region->Field()->ID_Field, "code");

  Editor.Select(region);  // shown again from the node
  EXPECT_EQ(Editor.DimPanel.DataSet, "cities");
  EXPECT_EQ(Editor.DimPanel.DefaultAttributes, (std::vector<std::string>{"name", "code"}));
  EXPECT_EQ(Editor.DimPanel.DefaultAttribute, "name");

  Editor.DataSetChanged("");  // clearing the table empties the lookup fields
  EXPECT_TRUE(Editor.IDFields.empty());
  EXPECT_EQ(Editor.DimPanel.IDField, "");
  try {
    Editor.DataSetChanged("broken");
    FAIL();
  } catch (const ECubeDesignError& e) {
    EXPECT_EQ(std::string(e.what()), "数据源打开错误：\r\nno such table");
  }
  EXPECT_EQ(TDimensionMapEditor::HeaderText(region), "Dimension");
  EXPECT_EQ(TDimensionMapEditor::HeaderText(Child(mrFacts, "id")), "Fact table field");
  EXPECT_EQ(TDimensionMapEditor::HeaderText(&Editor.Root(mrRows)), "");
}

TEST_F(DimensionMapEditor, WithoutADesignerNoLookupTableSurvivesATakeOver) {
  PlaceDefaults();
  Cube.DimensionMap().FindPlain("region")->SetLookupDataSet(Cities.get());
  Cube.DimensionMap().FindPlain("region")->ID_Field = "code";
  Prepare(false);
  Editor.AddDataSetName("qrFact");
  TMapNode* region = Child(mrRows, "region");
  Editor.Select(region);
  EXPECT_EQ(Editor.DimPanel.DataSet, "");
  Editor.DataSetChanged("qrFact");
  EXPECT_TRUE(Editor.IDFields.empty());
  Editor.Accept();
  EXPECT_EQ(Cube.DimensionMap().FindPlain("region")->LookupDataSet(), nullptr);
}

TEST_F(DimensionMapEditor, PreviewShowsTheFirstRowsAndTheMembersEachDimensionWillHave) {
  // Four records: two regions, three cities, years 2021/2022, amounts to cut.
  Facts = MakeTable("qrFact",
                    {{"region", TFieldType::ftString},
                     {"city", TFieldType::ftString},
                     {"year", TFieldType::ftInteger},
                     {"amnt", TFieldType::ftFloat}},
                    {{S("N"), S("A"), I(2021), D(1)},
                     {S("n"), S("B"), I(2022), D(2)},
                     {S("S"), S("A"), I(2021), D(3)},
                     {S("S"), S("C"), I(2021), D(4)}});
  Cube.SetDataSet(Facts.get());
  Cube.RefreshDimensionMap();
  Cube.PlaceAsDimension("region", TDimGroup::dgRow);
  Cube.PlaceAsDimension("year", TDimGroup::dgCol);
  Cube.PlaceAsDimension("city", TDimGroup::dgPage);
  Cube.MarkAsSummary("amnt");
  Prepare();
  TMapNode* place = Editor.NewComposite(&Editor.Root(mrRows));
  Editor.DragDrop(Child(mrFacts, "region"), place);
  Editor.DragDrop(Child(mrFacts, "city"), place);
  Editor.DragDrop(Child(mrFacts, "amnt"), &Editor.Root(mrPages));
  Editor.Select(Child(mrPages, "amnt"));
  Editor.DimPanel.Transform = true;
  Editor.DimPanel.MemberCount = "3";
  Editor.Select(Child(mrPages, "city"));
  Editor.DataSetChanged("cities");  // the lookup table's keys are the members
  Editor.DimPanel.IDField = "code";

  const TMapPreview p = Editor.Preview(3);
  EXPECT_EQ(p.Columns, (std::vector<std::string>{"region", "city", "year", "amnt"}));
  ASSERT_EQ(p.Rows.size(), 3u);
  EXPECT_EQ(p.Rows[1], (std::vector<std::string>{"n", "B", "2022", "2"}));
  EXPECT_EQ(p.RecordCount, 4);
  std::vector<std::string> counts;
  for (const auto& d : p.Dimensions) counts.push_back(d.Caption + "=" + std::to_string(d.Members));
  // Regions without regard to case; the composite's paths N, N;A, N;B, S,
  // S;A, S;C; the lookup's one key; three ranges.
  EXPECT_EQ(counts, (std::vector<std::string>{"region=2", "--- 新的复合维度 ---=6", "year=2",
                                              "city=1", "amnt=3"}));
  EXPECT_FALSE(Facts->Active());
}

// A built-in map declares its sums as BCD and its counts as integers, while
// the query reports floats and large integers: the editor keeps them placed,
// and accepting writes them with the query's types, ready to build.
TEST_F(DimensionMapEditor, KeepsPlacedFieldsTheQueryReportsWithAnotherTypeOfTheSameKind) {
  PlaceDefaults();
  Cube.MarkAsSummary("qty");
  Cube.DimensionMap().FindPlain("amnt")->BaseFieldType = TFieldType::ftBCD;
  Cube.DimensionMap().FindPlain("qty")->BaseFieldType = TFieldType::ftLargeint;
  Cube.DimensionMap().FindPlain("region")->BaseFieldType = TFieldType::ftWideString;
  Cube.DimensionMap().FindPlain("year")->BaseFieldType = TFieldType::ftString;  // another kind
  Prepare();
  EXPECT_NE(Child(mrSummaries, "amnt"), nullptr);
  EXPECT_NE(Child(mrSummaries, "qty"), nullptr);
  EXPECT_NE(Child(mrRows, "region"), nullptr);
  EXPECT_EQ(Child(mrCols, "year"), nullptr);
  Editor.Accept();
  EXPECT_EQ(Cube.DimensionMap().SummaryCount(), 2);
  EXPECT_EQ(Cube.DimensionMap().FindSummary("amnt")->BaseFieldType, TFieldType::ftFloat);
  EXPECT_EQ(Cube.DimensionMap().FindSummary("qty")->BaseFieldType, TFieldType::ftInteger);
}

}  // namespace
}  // namespace qd
