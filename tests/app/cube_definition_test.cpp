#include "app/cube_definition.h"

#include <gtest/gtest.h>

#include "app/ini_file.h"
#include "db/connection_string.h"
#include "engine/core/text_codec.h"
#include "temp_folder.h"

namespace qd {

using Items = std::vector<std::string>;

TEST(IniFile, MatchesNamesWithoutCaseTrimsValuesAndKeepsSemicolons) {
  TIniFile ini;
  ini.SetText(
      "; a comment line\r\n[db]\r\n  ConnectString =  conn.txt  \r\n"
      "[Cube]\ndgrow1= 地区;Region name ; x\n\n[cube]\nDgRow2=from a second section\n");
  EXPECT_EQ(ini.ReadString("DB", "CONNECTSTRING"), "conn.txt");
  EXPECT_EQ(ini.ReadString("CUBE", "DgRow1"), "地区;Region name ; x");
  EXPECT_EQ(ini.ReadString("Cube", "DgRow2", "none"), "none");  // first section only
  EXPECT_EQ(ini.ReadString("Other", "OutPutFile"), "");

  testing::TTempFolder tmp;
  TIniFile gb(tmp.Write("gb.cfd", Utf8ToAnsi("[Cube]\r\nDgSum1=金额;销售金额\r\n")));
  EXPECT_EQ(gb.ReadString("cube", "dgsum1"), "金额;销售金额");
  EXPECT_EQ(TIniFile(tmp.Path("missing.cfd")).ReadString("DB", "ConnectString"), "");
}

TEST(IniFile, WriteStringReplacesInPlaceOrAppendsToItsSection) {
  TIniFile ini;
  ini.SetText("[DB]\nconnectstring=a\n\n[Cube]\nX=1\n");
  ini.WriteString("DB", "ConnectString", "/tmp/_c");
  ini.WriteString("DB", "QueryString", "/tmp/_q");
  ini.WriteString("Other", "OutPutFile", "o.vtc");
  EXPECT_EQ(ini.GetText(),
            "[DB]\r\nConnectString=/tmp/_c\r\nQueryString=/tmp/_q\r\n\r\n[Cube]\r\nX=1\r\n"
            "[Other]\r\nOutPutFile=o.vtc\r\n");
}

TEST(SplitString, EmptyPartsBecomeNilAndItemsKeepTheirBlanks) {
  Items items{"kept"};
  EXPECT_FALSE(splitString("  \t ", ";", items));
  EXPECT_EQ(items, Items{"kept"});
  ASSERT_TRUE(splitString(" ;Shown ", ";", items));
  EXPECT_EQ(items, (Items{"NIL", "Shown"}));
  splitString("a;;b;", ";", items);
  EXPECT_EQ(items, (Items{"a", "NIL", "b"}));
  splitString("Region; 地区", ";", items);
  EXPECT_EQ(items, (Items{"Region", " 地区"}));
  splitString("a\tb", "Tab", items);
  EXPECT_EQ(items, (Items{"a", "b"}));
  splitString("a--b", "--", items);
  EXPECT_EQ(items, (Items{"a", "b"}));
}

TEST(CubeDefinition, ListsEndAtTheFirstGapAndCarryTheirOptions) {
  TIniFile ini;
  ini.SetText(
      "[Cube]\n"
      "DgRow1=Region;地区\nDgRow1SortType=NameDesc\nDgRow1Total=INVISIBLE\n"
      "DgRow3=AfterTheGap\n"
      "DgCol1=OrderDate\nDgCol1AsDate=1\nDgCol1SortType=bogus\nDgCol1Total=First\n"
      "DgCol2=Shipped\nDgCol2AsDate=yes\nDgCol2SortType=custom\n"
      "DgPage1=;Shown\n"
      "DgSum1=Amount;金额\nDgSum2=Qty\nDgSum3=  \nDgSum4=AfterTheBlank\n"
      "DgKeyField=ID; Line\n");
  TCubeDefinition def = ReadCubeDefinition(ini, "/defs/");
  ASSERT_EQ(def.Dimensions.size(), 4u);
  const TCfdDimension& row = def.Dimensions[0];
  EXPECT_EQ(row.FieldName, "Region");
  EXPECT_EQ(row.DisplayName, "地区");
  EXPECT_EQ(row.SortType, TCfdSortType::NameDesc);
  EXPECT_EQ(row.Total, TCfdTotal::Invisible);
  EXPECT_FALSE(row.AsDate);
  const TCfdDimension& col = def.Dimensions[1];
  EXPECT_EQ(col.Group, TCfdGroup::Col);
  EXPECT_TRUE(col.AsDate);
  EXPECT_FALSE(col.SortType.has_value());
  EXPECT_EQ(col.Total, TCfdTotal::First);
  EXPECT_FALSE(col.DisplayName.has_value());
  EXPECT_FALSE(def.Dimensions[2].AsDate);
  EXPECT_EQ(def.Dimensions[2].SortType, TCfdSortType::Custom);
  EXPECT_EQ(def.Dimensions[3].Group, TCfdGroup::Page);
  EXPECT_EQ(def.Dimensions[3].FieldName, "NIL");
  EXPECT_EQ(def.Dimensions[3].DisplayName, "Shown");

  ASSERT_EQ(def.Summaries.size(), 2u);
  EXPECT_EQ(def.Summaries[0].DisplayName, "金额");
  EXPECT_EQ(def.Summaries[1].FieldName, "Qty");
  EXPECT_FALSE(def.Summaries[1].DisplayName.has_value());
  EXPECT_EQ(def.KeyFields, (Items{"ID", "Line"}));
  EXPECT_TRUE(def.OutputFile.empty());
}

TEST(CubeDefinition, ReadsCompositePartsAndRangeCounts) {
  TIniFile ini;
  ini.SetText(
      "[Cube]\nDgRow1=region;机构\nDgRow1Parts= city ; branch ;\n"
      "DgPage1=amount\nDgPage1Ranges= 5 \nDgPage2=a\nDgPage2Ranges=-3\n"
      "DgPage3=b\nDgPage3Ranges=4x\n");
  TCubeDefinition def = ReadCubeDefinition(ini, "/defs/");
  ASSERT_EQ(def.Dimensions.size(), 4u);
  EXPECT_EQ(def.Dimensions[0].Parts, (Items{"city", "branch"}));
  EXPECT_EQ(def.Dimensions[0].Ranges, 0);
  EXPECT_TRUE(def.Dimensions[1].Parts.empty());
  EXPECT_EQ(def.Dimensions[1].Ranges, 5);
  EXPECT_EQ(def.Dimensions[2].Ranges, 0);  // not a count: the field keeps its values
  EXPECT_EQ(def.Dimensions[3].Ranges, 0);
}

TEST(CubeDefinition, ResolvesFileNamesAgainstTheDefinitionFolder) {
  EXPECT_EQ(ResolveDefinitionFileName("", "/defs/"), "");
  EXPECT_EQ(ResolveDefinitionFileName("sub/conn.txt", "/defs/"), "/defs/sub/conn.txt");
  EXPECT_EQ(ResolveDefinitionFileName("/abs/q.sql", "/defs/"), "/abs/q.sql");
  EXPECT_EQ(ResolveDefinitionFileName("C:\\q.sql", "/defs/"), "C:\\q.sql");
  EXPECT_EQ(ResolveDefinitionFileName("\\\\srv\\q.sql", "/defs/"), "\\\\srv\\q.sql");
  EXPECT_EQ(FolderOf("def.cfd", "/prog/"), "/prog/");
  EXPECT_EQ(FolderOf("/a/b/def.cfd", "/prog/"), "/a/b/");

  testing::TTempFolder tmp;
  std::string file = tmp.Write(
      "defs/sales.cfd",
      "[DB]\nConnectString=conn.txt\nQueryString=/abs/q.sql\n[Other]\nOutPutFile=out/s.vtc\n");
  TCubeDefinition def = ReadCubeDefinition(file, "/prog/");
  EXPECT_EQ(def.ConnectionFile, tmp.Path("defs/conn.txt"));
  EXPECT_EQ(def.QueryFile, "/abs/q.sql");
  EXPECT_EQ(def.OutputFile, tmp.Path("defs/out/s.vtc"));
}

TEST(CubeDefinition, ReadsALookupTableWithItsFields) {
  TIniFile ini;
  ini.SetText(
      "[Cube]\nDgPage1=mgr_branch;机构\nDgPage1Lookup= d_org \nDgPage1LookupKey=org_code\n"
      "DgPage1LookupName=org_name\nDgPage1LookupParent=parent_code\n"
      "DgPage1LookupAttributes= org_level ;city;\n"
      "DgPage2=channel\nDgPage2LookupKey=code\n");
  TCubeDefinition def = ReadCubeDefinition(ini, "/defs/");
  ASSERT_EQ(def.Dimensions.size(), 2u);
  ASSERT_TRUE(def.Dimensions[0].Lookup);
  const TCfdLookup& l = *def.Dimensions[0].Lookup;
  EXPECT_EQ(l.Table, "d_org");
  EXPECT_EQ(l.KeyField, "org_code");
  EXPECT_EQ(l.NameField, "org_name");
  EXPECT_EQ(l.ParentField, "parent_code");
  EXPECT_EQ(l.Attributes, "org_level; city");
  EXPECT_FALSE(def.Dimensions[1].Lookup);  // fields without a table name no lookup
}

// A file database named relative to the definition is found beside it; other
// connections, absolute names and broken texts are left for opening to judge.
TEST(CubeDefinition, FileDatabasesResolveAgainstTheDefinitionFolder) {
  const std::string pg = "Provider=PostgreSQL;Data Source=db.host;Initial Catalog=stat";
  EXPECT_EQ(ResolveConnectionFolder(pg, "/defs/"), pg);
  for (std::string abs : {"Provider=SQLite;Data Source=/var/demo.db",
                          "Provider=SQLite;Data Source=:memory:", "Provider=;;", "Provider=SQLite"})
    EXPECT_EQ(ResolveConnectionFolder(abs, "/defs/"), abs);
  for (std::string rel : {"Provider=SQLite;Data Source=demo.db\r\n",
                          "Provider=SQLite;Database=demo.db", "Provider=sqlite;DataSource= demo.db;"}) {
    const TConnectionTarget t = ResolveConnectionString(ResolveConnectionFolder(rel, "/defs/"));
    EXPECT_EQ(t.Path, "/defs/demo.db") << rel;
  }
  const std::string csv = ResolveConnectionFolder("Provider=CSV;Data Source=data;Mode=Read", "/a b;c/");
  const TConnectionTarget t = ResolveConnectionString(csv);
  EXPECT_EQ(t.Provider, TDbProvider::dpCSV);
  EXPECT_EQ(t.Path, "/a b;c/data");
  EXPECT_TRUE(t.ReadOnly);
}

TEST(CubeDefinition, ProgramFolderAndUserDataBlock) {
  EXPECT_EQ(CubeUserData.size(), 89u);
  std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(std::filesystem::is_directory(folder));
}

}  // namespace qd
