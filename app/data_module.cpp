#include "app/data_module.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/builtin_cubes.h"
#include "db/builtin_fact_queries.h"
#include "db/demo_database.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_codec.h"
#include "engine/core/text_helpers.h"
#include "engine/cube/dim_map.h"

namespace qd {
namespace {

constexpr TMsg kCatalogNames[] = {
    TMsg::SBuiltinCube01, TMsg::SBuiltinCube02, TMsg::SBuiltinCube03, TMsg::SBuiltinCube04,
    TMsg::SBuiltinCube05, TMsg::SBuiltinCube06, TMsg::SBuiltinCube07, TMsg::SBuiltinCube08,
    TMsg::SBuiltinCube09, TMsg::SBuiltinCube10, TMsg::SBuiltinCube11, TMsg::SBuiltinCube12,
    TMsg::SBuiltinCube13, TMsg::SBuiltinCube14, TMsg::SBuiltinCube15, TMsg::SBuiltinCube16,
    TMsg::SBuiltinCube17, TMsg::SBuiltinCube18, TMsg::SBuiltinCube19};

void SetUpConnection(TDbConnection& c, const char* name) {
  c.Name = name;
  c.SetConnectionString(DemoConnectionString());
  c.CommandTimeout = 60;
  c.LoginPrompt = false;
}

// The fact query of the working cube until a definition file replaces it.
constexpr const char* kInitialFactSql =
    "SELECT group_flag, mgr_branch, gf_flag, sales_channel, group_flag, moneyin_itrvl, pay_time, "
    "pol_code, SUM(total_amnt) AS amnt, SUM(total_num) AS total_num FROM m_premium_sum "
    "GROUP BY group_flag, mgr_branch, gf_flag, sales_channel, moneyin_itrvl, pay_time, pol_code";

void SetUpWorkingCube(TVantra& cube) {
  TDimSums& map = cube.DimensionMap();
  auto add = [&](const char* field, TFieldType type, const char* display) -> TDimSum& {
    TDimSum& item = map.Add();
    item.BaseFieldName = field;
    item.BaseFieldType = type;
    item.DisplayName = display ? display : field;
    return item;
  };
  add("amnt", TFieldType::ftBCD, "保费收入").DimSumType = TDimSumType::dsSummary;
  add("total_num", TFieldType::ftInteger, "保单件数").DimSumType = TDimSumType::dsSummary;
  add("mgr_branch", TFieldType::ftString, "机构代码").DimGroup = TDimGroup::dgPage;
  for (const char* plain : {"group_flag", "gf_flag", "sales_channel", "group_flag_1",
                            "moneyin_itrvl", "pay_time", "pol_code"})
    add(plain, TFieldType::ftString, nullptr);
}

}  // namespace

TDataModule1::TDataModule1() {
  SetUpConnection(ADOConnection, "ADOConnection");
  SetUpConnection(StatADOConnection, "StatADOConnection");
  SetUpConnection(BaseDBConnection, "BaseDBConnection");
  qrFact.Name = "qrFact";
  qrFact.SetConnection(&ADOConnection);
  qrFact.CommandTimeout = 500;
  qrFact.SetSQL(kInitialFactSql);
  qrFact.OnCalcFields = &GRecFactCalcFields;
  Vantra1.Name = "Vantra1";
  Vantra1.SetDataSet(&qrFact);
  SetUpWorkingCube(Vantra1);

  auto maps = BuiltinCubeMaps();
  for (const TBuiltinFactQuery& def : BuiltinFactQueries()) {
    auto b = std::make_unique<TBuiltin>();
    b->Fact.Name = def.QueryName;
    b->Fact.SetConnection(std::string_view(def.ConnectionName) == "BaseDBConnection"
                              ? &BaseDBConnection
                              : &StatADOConnection);
    b->Fact.CommandTimeout = def.CommandTimeout;
    b->Fact.SetSQL(def.Sql);
    b->Fact.OnCalcFields = &GRecFactCalcFields;
    if (def.DateFields)
      for (const char* name : {"Year", "Quarter", "Month"})
        b->Fact.AddCalculatedField(name, TFieldType::ftString, 20);
    b->Cube.Name = def.CubeName;
    b->Cube.SetDataSet(&b->Fact);
    for (const TBuiltinCubeMap& m : maps)
      if (SameText(m.CubeName, def.CubeName)) ApplyBuiltinMap(m, b->Cube);
    FBuiltins.push_back(std::move(b));
  }
}

void TDataModule1::DataModuleCreate() {
  for (DBCubeRec& r : DBCubes) r = DBCubeRec{};
  for (std::size_t i = 0; i < std::size(kCatalogNames); ++i)
    DBCubes[i].Name = Msg(kCatalogNames[i]);
  ADOConnection.Open();
  StatADOConnection.Open();
  BaseDBConnection.Open();
}

TVantra* TDataModule1::FindCube(std::string_view cubeName) {
  for (auto& b : FBuiltins)
    if (SameText(b->Cube.Name, cubeName)) return &b->Cube;
  return nullptr;
}

TVantra* TDataModule1::CubeOfCatalogName(std::string_view catalogName) {
  if (catalogName.empty()) return nullptr;
  for (std::size_t i = 0; i < FBuiltins.size() && i < DBCubes.size(); ++i)
    if (DBCubes[i].Name == catalogName) return &FBuiltins[i]->Cube;
  return nullptr;
}

std::vector<std::string> TDataModule1::CatalogNames() const {
  std::vector<std::string> names;
  for (const DBCubeRec& r : DBCubes) names.push_back(r.Name);
  return names;
}

void TDataModule1::GRecFactCalcFields(TDataSet& dataSet) {
  int year = 0, month = 0, day = 0;
  DecodeDate(dataSet.FieldByName("Group_date").AsDateTime(), year, month, day);
  char mm[8];
  std::snprintf(mm, sizeof mm, "%02d", month);
  dataSet.FieldByName("Year").SetValue(Format(Msg(TMsg::SFactYearText), year));
  dataSet.FieldByName("Month").SetValue(std::string(mm) + Msg(TMsg::SFactMonthSuffix));
  dataSet.FieldByName("Quarter").SetValue(Format(Msg(TMsg::SFactQuarterText), (month - 1) / 3 + 1));
}

bool ApplyCubeConnectionIni(TDbConnection& connection, const std::string& programFolder) {
  std::filesystem::path file = std::filesystem::path(programFolder) / "CubeConnection.ini";
  if (!std::filesystem::is_regular_file(file)) return false;
  connection.Close();
  std::ifstream in(file, std::ios::binary);
  if (!in) throw EGenericError(Format(Msg(TMsg::SAppFileReadError), file.string()));
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string text = DecodeTextFile(bytes);
  if (!IsBlank(text, kWhiteSpace)) connection.SetConnectionString(text);
  connection.Open();
  return true;
}

}  // namespace qd
