#include "app/realtime_cube.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <span>

#include "app/cube_definition.h"
#include "app/data_module.h"
#include "db/aggregate_query.h"
#include "engine/cube/cube_file.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"

namespace qd {

void SaveCubeWithUserData(const TCustomVantra& cube, const std::string& fileName) {
  auto bytes =
      std::span(reinterpret_cast<const std::uint8_t*>(CubeUserData.data()), CubeUserData.size());
  SaveCubeToFile(cube, fileName, bytes);
}

void TVantraCubeTarget::OpenConnection(const std::string& connectionString) {
  FConnection.Close();
  FConnection.SetConnectionString(connectionString);
  FConnection.Open();
}

void TVantraCubeTarget::SetFactQuery(const std::string& sql) {
  FFactSql = sql;
  FQuery.Close();
  FQuery.SetSQL(sql);
}

std::vector<std::string> TVantraCubeTarget::RefillDimensionMap() {
  FCube.SetActive(false);
  FCube.DimensionMap().Clear();
  if (FAggregateInDatabase) {
    // Only the fields: every fact row is what this mode keeps in the database.
    if (FFactSql.empty()) FFactSql = FQuery.SQL();
    FQuery.Close();
    FQuery.SetSQL(NoRowsSql(FFactSql));
    try {
      FCube.RefreshDimensionMap();
    } catch (...) {
      FQuery.Close();
      FQuery.SetSQL(FFactSql);
      throw;
    }
    FQuery.Close();
    FQuery.SetSQL(FFactSql);
  } else {
    FCube.RefreshDimensionMap();
  }
  std::vector<std::string> plain;
  const TDimSums& map = FCube.DimensionMap();
  for (int i = 0; i < map.Count(); ++i)
    if (map[i].IsPlain()) plain.push_back(map[i].BaseFieldName);
  return plain;
}

void TVantraCubeTarget::PlaceDimension(const std::string& fieldName, const TCfdDimension& entry) {
  const auto group = static_cast<TDimGroup>(entry.Group);
  TDimSum* item = nullptr;
  if (entry.Parts.empty()) {
    item = FCube.PlaceAsDimension(fieldName, group);
  } else {
    std::vector<std::string> fields{fieldName};
    fields.insert(fields.end(), entry.Parts.begin(), entry.Parts.end());
    item = &FCube.PlaceAsComposite(fields, group);
  }
  if (!item) return;
  if (entry.Lookup) {
    const TCfdLookup& l = *entry.Lookup;
    item->SetLookupDataSet(&FLookups.Table(FConnection, l.Table));
    item->ID_Field = l.KeyField;
    item->ParentID_Field = l.ParentField;
    item->Attributes = l.Attributes;
    if (!l.NameField.empty()) item->SetDefaultAttribute(l.NameField);
  }
  if (entry.Ranges > 0) {
    item->EnableTransformation = true;
    item->SeriesMemberCount = entry.Ranges;
  }
  if (entry.DisplayName) item->DisplayName = *entry.DisplayName;
  // The cube takes date parts only on a composite dimension.
  if (entry.AsDate)
    for (std::string_view part : CfdDateParts) FCube.AddCompositePart(*item, std::string(part));
  if (entry.SortType) item->SortType = static_cast<TDimSortType>(*entry.SortType);
  if (entry.Total) item->TotalAppearance = static_cast<TTotalAppearance>(*entry.Total);
}

void TVantraCubeTarget::MarkSummary(const std::string& fieldName,
                                    const std::optional<std::string>& displayName) {
  TDimSum* item = FCube.MarkAsSummary(fieldName);
  if (item && displayName) item->DisplayName = *displayName;
}

void TVantraCubeTarget::SetKeyFields(const std::vector<std::string>& fieldNames) {
  FCube.SetKeyFields(fieldNames);
}

void TVantraCubeTarget::Activate() {
  if (!FAggregateInDatabase && FCube.BuildMode == TBuildMode::bmEveryRow) {
    FCube.SetActive(true);
    return;
  }
  FCube.SetActive(false);
  FCube.BuildMode =
      FAggregateInDatabase ? TBuildMode::bmAggregatedInDatabase : TBuildMode::bmEveryRow;
  if (FFactSql.empty()) FFactSql = FQuery.SQL();
  const std::string sql = FFactSql;
  FQuery.Close();
  if (FAggregateInDatabase) {
    const TDimSums& map = FCube.DimensionMap();
    FQuery.SetSQL(AggregateInDatabaseSql(sql, GroupedFields(map), TotalledFields(map),
                                         DialectOf(ResolveConnectionString(
                                             FConnection.ConnectionString()))));
  } else {
    FQuery.SetSQL(sql);
  }
  FCube.SetActive(true);
}

std::vector<std::string> GroupedFields(const TDimSums& map) {
  std::vector<std::string> fields;
  for (int i = 0; i < map.Count(); ++i) {
    const TDimSum& item = map[i];
    if (item.DimSumType != TDimSumType::dsDimension) continue;
    if (!item.Composite) {
      fields.push_back(item.BaseFieldName);
      continue;
    }
    for (std::string& part : SplitNames(item.ComposedFields, TEmptyName::enStop))
      if (std::find(fields.begin(), fields.end(), part) == fields.end())
        fields.push_back(std::move(part));
  }
  return fields;
}

std::vector<std::string> TotalledFields(const TDimSums& map) {
  std::vector<std::string> fields;
  for (int i = 0; i < map.Count(); ++i)
    if (map[i].DimSumType == TDimSumType::dsSummary) fields.push_back(map[i].BaseFieldName);
  return fields;
}

void TVantraCubeTarget::SaveToFile(const std::string& fileName) {
  auto start = std::chrono::steady_clock::now();
  SaveCubeWithUserData(FCube, fileName);
  FSaveSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TStandaloneCube::TStandaloneCube() {
  Connection.Name = "ADOConnection";
  Connection.LoginPrompt = false;
  Query.Name = "qrFact";
  Query.SetConnection(&Connection);
  Query.CommandTimeout = 500;
  Cube.Name = "Vantra1";
  Cube.Options().ShowProgressBar = false;
  Cube.SetDataSet(&Query);
}

bool TBuiltinCubeGenerator::BuildCube(const std::string& name) {
  int number = 0;
  for (int i = 0; i < kDBCubeCount; ++i)
    if (FDm.DBCubes[static_cast<std::size_t>(i)].Name == name) number = i + 1;
  if (number == 0) return true;
  if (number <= FDm.BuiltinCount()) {
    // The cube saved before is no longer needed: free it before the next build.
    if (FCurrent && FCurrent != &FDm.BuiltinCube(number - 1)) FCurrent->SetActive(false);
    FCurrent = &FDm.BuiltinCube(number - 1);
  }
  FFailure.clear();
  if (!FCurrent) return true;
  if (FCurrent->Active()) return true;
  try {
    FCurrent->Options().ShowProgressBar = Progress != nullptr;
    FCurrent->ProgressSink = Progress;
    FCurrent->SetActive(true);
  } catch (const std::exception& e) {
    FCurrent->ProgressSink = nullptr;
    FFailure = MessageWithCauses(e);
    return false;
  }
  FCurrent->ProgressSink = nullptr;
  return FCurrent->Active();
}

std::vector<std::string> TBuiltinCubeGenerator::BuildNotes() const {
  if (!FCurrent || !FCurrent->Active()) return {};
  return NonNumberMessages(FCurrent->Built());
}

void TBuiltinCubeGenerator::SaveCube(const std::string& fileName) {
  if (!FCurrent) throw ECubeError(Msg(TMsg::SNoCubeData));
  SaveCubeWithUserData(*FCurrent, fileName);
}

}  // namespace qd
