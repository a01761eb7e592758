#include "engine/cube/cube_build.h"

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/cube/cube_integrity.h"
#include "engine/cube/member_readers.h"
#include "engine/core/messages.h"

namespace qd {
namespace {

void CopyCommon(TDimensionOrSummary& to, const TDimSum& item, int mapIndex) {
  to.MapIndex = mapIndex;
  to.BaseFieldName = item.BaseFieldName;
  to.DisplayName = item.DisplayName;
  to.Composite = item.Composite;
  to.ComposedFields = item.ComposedFields;
}

std::unique_ptr<TDimension> MakeDimension(const TDimSum& item, int mapIndex) {
  auto d = std::make_unique<TDimension>();
  CopyCommon(*d, item, mapIndex);
  d->TextKey = IsTextKeyType(item.BaseFieldType);
  d->Group = item.DimGroup;
  d->TotalAppearance = item.TotalAppearance;
  d->DefaultAttributeName = item.DefaultAttribute();
  d->SortType = item.SortType;
  d->EnableTransformation = item.EnableTransformation;
  d->SeriesMemberCount = item.SeriesMemberCount;
  d->TransformMethod = item.TransformMethod;
  if (d->EnableTransformation && d->SeriesMemberCount < 1)
    throw ECubeError(Format(Msg(TMsg::SRangeCountTooSmall), d->DisplayName, d->SeriesMemberCount));
  if (item.Composite) {
    const TDimCollection& parts = item.DimCollection();
    for (int i = 0; i < parts.Count(); ++i) {
      const TDimCollectionItem& p = parts.Items(i);
      d->Components.push_back(
          {p.ID_Field, p.Name_Field, p.LookupDataSet(), p.FormatString, p.FieldName});
    }
  }
  return d;
}

// Dimensions and summaries in map order.
void CreateObjects(const TDimSums& map, TBuiltCube& out) {
  if (map.Count() == 0) throw ECubeError(Msg(TMsg::SMapNotDefined));
  if (map.DimensionCount() == 0) throw ECubeError(Msg(TMsg::SNoDimensionItem));
  if (map.SummaryCount() == 0) throw ECubeError(Msg(TMsg::SNoSummaryItem));
  out.DiscardLists();
  for (int i = 0; i < map.Count(); ++i) {
    const TDimSum& item = map[i];
    // A composite without a readable part has nothing to build members from.
    if (item.Composite && SplitNames(item.ComposedFields, TEmptyName::enStop).empty()) continue;
    if (item.DimSumType == TDimSumType::dsDimension) {
      out.Dimensions.push_back(MakeDimension(item, i));
    } else if (item.DimSumType == TDimSumType::dsSummary) {
      auto s = std::make_unique<TSummary>();
      CopyCommon(*s, item, i);
      out.Summaries.push_back(std::move(s));
    }
  }
}

void OpenForReading(TDataSet& ds) {
  if (ds.Active()) {
    ds.First();
    return;
  }
  try {
    ds.Open();
  } catch (const std::exception&) {
    // The database's reason travels along for those who log it.
    std::throw_with_nested(ECubeError(Msg(TMsg::SNoConnection)));
  }
  if (!ds.Active()) throw ECubeError(Msg(TMsg::SNoConnection));
}

// The key set's columns, from the map's key field names and type characters.
void AddKeyColumns(const TBuildSource& src, TKeySet& keys) {
  keys.Clear();
  // Grouped rows have no single facts to keep keys of.
  if (src.Mode == TBuildMode::bmAggregatedInDatabase) {
    keys.Layout();
    return;
  }
  std::vector<std::string> names = SplitNames(src.KeyFields, TEmptyName::enStop);
  for (std::size_t i = 0; i < names.size(); ++i) {
    // A missing type character counts as a text column, like a blank.
    auto code =
        i < src.KeyFieldTypes.size() ? static_cast<unsigned char>(src.KeyFieldTypes[i]) : ' ';
    keys.AddColumn(names[i], static_cast<TFieldType>(code));
  }
  keys.Layout();
}

// The fact read shared by the build and the refresh: every dataset record
// becomes a record of `facts` and a row of `keys`.
class TFactReader {
 public:
  TFactReader(const TBuildSource& src, TBuiltCube& cube, TFactTable& facts, TKeySet& keys,
              bool refresh)
      : FSrc(src), FCube(cube), FFacts(facts), FKeyRows(keys), FDataSet(*src.DataSet) {
    if (cube.Summaries.empty()) throw ECubeError(Msg(TMsg::SNoSummaryItem));
    if (cube.Dimensions.empty()) throw ECubeError(Msg(TMsg::SNoDimensionItem));
    FWeighted = src.Mode == TBuildMode::bmAggregatedInDatabase;
    for (const auto& s : cube.Summaries) {
      if (!FWeighted) {
        FSums.push_back(&FDataSet.FieldByName(s->BaseFieldName));
        continue;
      }
      const TAggregateColumnNames n = AggregateColumnNames(s->BaseFieldName);
      FSums.push_back(&FDataSet.FieldByName(n.Sum));
      for (const std::string* part : {&n.Sum2, &n.Sum3, &n.Sum4, &n.Min, &n.Max})
        FParts.push_back(&FDataSet.FieldByName(*part));
    }
    if (FWeighted) {
      FCount = &FDataSet.FieldByName(std::string(kAggregateCountColumn));
      facts.SetWeights(std::make_unique<TFactWeights>(facts.SumCount()));
    }
    for (int i = 0; i < keys.ColumnCount(); ++i)
      FKeys.push_back(&FDataSet.FieldByName(keys.ColumnName(i)));
    for (std::size_t d = 0; d < cube.Dimensions.size(); ++d) {
      TReaderContext ctx{cube.Dimensions[d].get(), static_cast<int>(d), &FDataSet,
                         &facts,                   &cube.LookupFields,  refresh};
      FReaders.push_back(MakeMemberReader(ctx));
    }
  }

  void Run(TProgressSink* progress) {
    TFactTable& facts = FFacts;
    TKeySet& keys = FKeyRows;
    if (std::int64_t n = FDataSet.RecordCount(); n > 0 && n < 0x7FFFFFFF - facts.RecordCount())
      facts.Reserve(facts.RecordCount() + static_cast<std::int32_t>(n));
    const int dims = static_cast<int>(FReaders.size());
    const bool ignore = FSrc.LookupHasntTheValue == TLookupHasntTheValue::lvIgnoreSumValue;
    FNonNumbers.assign(FSums.size(), {});
    for (std::size_t s = 0; s < FSums.size(); ++s) FNonNumbers[s].Summary = static_cast<int>(s);
    for (FRow = 1; !FDataSet.Eof(); FDataSet.Next(), ++FRow) {
      if (!FKeys.empty()) {
        keys.AppendRow();
        for (std::size_t k = 0; k < FKeys.size(); ++k)
          keys.StoreField(static_cast<int>(k), *FKeys[k]);
      }
      const std::int32_t r = facts.Append();
      int d = 0;
      for (; d < dims; ++d) {
        std::int32_t m = FReaders[static_cast<std::size_t>(d)]->Read(r);
        if (m < 0) break;
        facts.SetMember(r, d, m);
      }
      if (d < dims) {
        if (!ignore)
          throw ELookupHasntTheValueError(
              FReaders[static_cast<std::size_t>(d)]->MissingValueMessage());
        for (int u = 0; u < d; ++u) FReaders[static_cast<std::size_t>(u)]->Undo();
        facts.Truncate(r);
        if (!FKeys.empty()) keys.Truncate(r);
      } else {
        for (std::size_t s = 0; s < FSums.size(); ++s)
          if (!FSums[s]->IsNull()) facts.SetValue(r, static_cast<int>(s), SummaryValue(s));
        if (FWeighted) ReadWeights(r);
      }
      if (progress) progress->Tick();
    }
    FCube.NonNumbers.clear();
    for (const TNonNumberValues& n : FNonNumbers)
      if (n.Count > 0) FCube.NonNumbers.push_back(n);
  }

  void Finish() {
    for (auto& r : FReaders) r->Finish();
  }

  //! Records the fact query returned.
  std::int64_t RowsRead() const { return FRow - 1; }

 private:
  // A value that is no number counts as 0 and is noted for the report.
  double SummaryValue(std::size_t s) {
    double value = 0;
    if (FSums[s]->AsNumber(value)) return value;
    TNonNumberValues& n = FNonNumbers[s];
    if (n.Count++ == 0) {
      n.FirstRow = FRow;
      n.FirstText = FSums[s]->AsString();
    }
    return 0;
  }

  // The group's fact count and moments beside record r.
  void ReadWeights(std::int32_t r) {
    TFactWeights& w = *FFacts.Weights();
    w.Resize(r + 1);
    double* row = w.Row(r);
    double count = 0;
    // A group stands for one fact at least; anything else is no grouped row.
    if (!FCount->AsNumber(count) || !(count >= 1))
      throw ECubeError(Format(Msg(TMsg::SBadGroupCount), std::to_string(FRow), FCount->AsString()));
    row[0] = count;
    for (std::size_t i = 0; i < FParts.size(); ++i) {
      double v = 0;
      if (!FParts[i]->IsNull()) FParts[i]->AsNumber(v);
      row[1 + i] = v;
    }
  }

  const TBuildSource& FSrc;
  TBuiltCube& FCube;
  TFactTable& FFacts;
  TKeySet& FKeyRows;
  TDataSet& FDataSet;
  std::vector<TField*> FSums;
  std::vector<TField*> FKeys;
  bool FWeighted = false;
  TField* FCount = nullptr;
  std::vector<TField*> FParts;  // per summary Σx², Σx³, Σx⁴, minimum, maximum
  std::vector<std::unique_ptr<TMemberReader>> FReaders;
  std::vector<TNonNumberValues> FNonNumbers;
  std::int64_t FRow = 0;
};

void CheckMemberLimit(const TDimensions& dims) {
  for (const auto& d : dims)
    if (d->MemberCount() > kMaxMembers)
      throw ELookupHasntTheValueError(
          Format(Msg(TMsg::STooManyMembers), d->DisplayName, d->MemberCount()));
}

}  // namespace

void BuildCube(const TBuildSource& src, TBuiltCube& out) {
  TProgressSink idle;
  TProgressSink& progress = src.Progress ? *src.Progress : idle;
  CreateObjects(*src.Map, out);
  for (std::size_t d = 0; d < out.Dimensions.size(); ++d) {
    TDimension& dim = *out.Dimensions[d];
    // Composite and range dimensions take their members from the facts; a
    // lookup named on such an item has no field to match and is not read.
    if (dim.Composite || dim.EnableTransformation) continue;
    ReadLookupTable(dim, (*src.Map)[dim.MapIndex], progress);
  }
  BuildLookupFields(out.Dimensions, out.LookupFields, progress);

  if (!src.DataSet) throw ECubeError(Msg(TMsg::SNoCubeData));
  out.FactTable.reset();
  out.KeySet.Clear();
  OpenForReading(*src.DataSet);
  progress.Reset();
  progress.SetCounterFormat(Msg(TMsg::SRowsRead));
  progress.SetCaption(Msg(TMsg::SReadingFactTable));
  AddKeyColumns(src, out.KeySet);
  out.FactTable = std::make_unique<TFactTable>(static_cast<int>(out.Dimensions.size()),
                                               static_cast<int>(out.Summaries.size()));
  TFactReader reader(src, out, *out.FactTable, out.KeySet, false);
  reader.Run(&progress);
  reader.Finish();
  CheckMemberLimit(out.Dimensions);
  StampProvenance(out.Integrity, src.DataSet->Origin(), reader.RowsRead());
}

std::vector<std::string> NonNumberMessages(const TBuiltCube& cube) {
  std::vector<std::string> out;
  for (const TNonNumberValues& n : cube.NonNumbers) {
    if (n.Summary < 0 || static_cast<std::size_t>(n.Summary) >= cube.Summaries.size()) continue;
    const TSummary& s = *cube.Summaries[static_cast<std::size_t>(n.Summary)];
    const std::string& name = s.DisplayName.empty() ? s.BaseFieldName : s.DisplayName;
    out.push_back(Format(Msg(TMsg::SNonNumberValues), name, std::to_string(n.Count),
                         std::to_string(n.FirstRow), n.FirstText));
  }
  return out;
}

void RefreshFacts(const TBuildSource& src, TBuiltCube& cube) {
  if (!cube.FactTable) return;
  if (!src.DataSet) throw ECubeError(Msg(TMsg::SNoCubeData));
  OpenForReading(*src.DataSet);
  // The records are read into new tables; the dimensions are put back as
  // they were when anything fails (the grid models keep pointing at them).
  std::vector<TDimension> saved;
  saved.reserve(cube.Dimensions.size());
  for (const auto& d : cube.Dimensions) saved.push_back(*d);
  auto facts = std::make_unique<TFactTable>(cube.FactTable->DimCount(), cube.FactTable->SumCount());
  TKeySet keys;
  std::int64_t rows = 0;
  for (int i = 0; i < cube.KeySet.ColumnCount(); ++i)
    keys.AddColumn(cube.KeySet.ColumnName(i), cube.KeySet.ColumnFieldType(i));
  keys.Layout();
  try {
    TFactReader reader(src, cube, *facts, keys, true);
    reader.Run(nullptr);
    reader.Finish();
    CheckMemberLimit(cube.Dimensions);
    rows = reader.RowsRead();
  } catch (...) {
    for (std::size_t d = 0; d < saved.size(); ++d) *cube.Dimensions[d] = std::move(saved[d]);
    throw;
  }
  cube.FactTable = std::move(facts);
  cube.KeySet = std::move(keys);
  StampProvenance(cube.Integrity, src.DataSet->Origin(), rows);
}

}  // namespace qd
