#include "app/cube_file_commands.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "app/cli_args.h"
#include "app/cli_output.h"
#include "app/integrity_commands.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/cube/cube_file.h"
#include "engine/cube/cube_file_header.h"

namespace qd {
namespace {

void LoadStored(TVantra& cube, const std::string& file, TPhaseClock& clock) {
  cube.Options().ShowProgressBar = false;
  LoadCubeFromFile(cube, file);
  if (!cube.Active()) throw EGenericError(Format(Msg(TMsg::SCliNoCubeInFile), file));
  clock.End("load");
}

// What info and members show comes from the file's header: its records are
// never held in memory.
TCubeFileHeader ReadStoredHeader(const std::string& file, bool integrity, TPhaseClock& clock) {
  TCubeFileHeader h = ReadCubeFileHeader(file, integrity);
  if (!h.HasCube) throw EGenericError(Format(Msg(TMsg::SCliNoCubeInFile), file));
  clock.End("load");
  return h;
}

const TDimension& FindCubeDimension(const TDimensions& dimensions, const std::string& name) {
  std::vector<std::string> names;
  for (const auto& d : dimensions) {
    if (SameText(d->BaseFieldName, name) || SameText(d->DisplayName, name)) return *d;
    for (const std::string* n : {&d->DisplayName, &d->BaseFieldName})
      if (std::find(names.begin(), names.end(), *n) == names.end()) names.push_back(*n);
  }
  RaiseUnknownName(Format(Msg(TMsg::SCliNoDimension), name), name, names);
}

// The column that a cube grouped in the database adds after the values: the
// number of facts each of its records stands for.
constexpr const char* kFactCountKey = "count";

// Every fact record: member captions, then values, then, for a cube grouped
// in the database, the record's fact count.
void WriteFacts(const TVantra& cube, const std::string& format, std::ostream& out) {
  const int dims = cube.DimensionCount(), sums = cube.SummaryCount();
  const TFactWeights* weights = cube.FactTable()->Weights();
  std::vector<std::string> keys;
  for (const auto& d : cube.Dimensions()) keys.push_back(d->DisplayName);
  for (const auto& s : cube.Summaries()) keys.push_back(s->DisplayName);
  if (weights) keys.emplace_back(kFactCountKey);
  // Captions are looked up once per member, not once per record.
  std::vector<std::vector<std::string>> captions(static_cast<std::size_t>(dims));
  for (int d = 0; d < dims; ++d) {
    const TDimension& dim = *cube.Dimensions()[static_cast<std::size_t>(d)];
    for (int m = 0; m < dim.MemberCount(); ++m)
      captions[static_cast<std::size_t>(d)].push_back(dim.Caption(m));
  }
  auto caption = [&](int d, std::int32_t m) -> const std::string& {
    return captions[static_cast<std::size_t>(d)][static_cast<std::size_t>(m)];
  };
  const TFactTable& f = *cube.FactTable();
  if (format != "text") {
    TRecordWriter writer(
        out, format == "csv" ? TRecordWriter::TFormat::Csv : TRecordWriter::TFormat::Json, keys);
    for (std::int32_t r = 0; r < f.RecordCount(); ++r) {
      for (int d = 0; d < dims; ++d) writer.Text(caption(d, f.Member(r, d)));
      for (int s = 0; s < sums; ++s) writer.Number(f.Value(r, s));
      if (weights) writer.Number(weights->Count(r));
      writer.EndRecord();
    }
    writer.Finish();
    return;
  }
  for (std::size_t k = 0; k < keys.size(); ++k) out << (k ? "\t" : "") << keys[k];
  out << '\n';
  for (std::int32_t r = 0; r < f.RecordCount(); ++r) {
    for (int d = 0; d < dims; ++d) out << (d ? "\t" : "") << caption(d, f.Member(r, d));
    for (int s = 0; s < sums; ++s) out << (dims + s ? "\t" : "") << ExactNumber(f.Value(r, s));
    if (weights) out << (dims + sums ? "\t" : "") << ExactNumber(weights->Count(r));
    out << '\n';
  }
}

}  // namespace

int CliCubeInfo(const std::vector<std::string>& args, std::ostream& out) {
  const TCliArgs parsed(args, {kTimingOption}, {"FILE"}, 1);
  TPhaseClock clock(parsed.Has("--timing"));
  const TCubeFileHeader cube = ReadStoredHeader(parsed.Positional(0), true, clock);
  out << "dimensions: " << cube.Dimensions.size() << '\n';
  for (std::size_t i = 0; i < cube.Dimensions.size(); ++i) {
    const TDimension& d = *cube.Dimensions[i];
    out << i << '\t' << d.BaseFieldName << '\t' << d.DisplayName << "\tmembers=" << d.MemberCount()
        << "\thierarchy=" << (d.HasHierarchy ? "yes" : "no") << '\n';
  }
  out << "summaries: " << cube.Summaries.size() << '\n';
  for (std::size_t i = 0; i < cube.Summaries.size(); ++i) {
    const TSummary& s = *cube.Summaries[i];
    out << i << '\t' << s.BaseFieldName << '\t' << s.DisplayName << '\n';
  }
  out << "facts: " << cube.RecordCount << '\n';
  if (cube.Mode == TBuildMode::bmAggregatedInDatabase) out << "mode: in-database\n";
  WriteProvenance(cube.Integrity, out);
  clock.End("output");
  return 0;
}

int CliCubeMembers(const std::vector<std::string>& args, std::ostream& out) {
  const TCliArgs parsed(args, {kTimingOption}, {"FILE", "DIM"}, 2);
  TPhaseClock clock(parsed.Has("--timing"));
  const TCubeFileHeader cube = ReadStoredHeader(parsed.Positional(0), false, clock);
  const TDimension& dim = FindCubeDimension(cube.Dimensions, parsed.Positional(1));
  for (int m = 0; m < dim.MemberCount(); ++m) {
    const std::int32_t parent = static_cast<std::size_t>(m) < dim.Parents.size()
                                    ? dim.Parents[static_cast<std::size_t>(m)]
                                    : -1;
    out << m << '\t' << dim.Caption(m) << '\t' << parent << '\n';
  }
  clock.End("output");
  return 0;
}

int CliCubeFacts(const std::vector<std::string>& args, std::ostream& out) {
  const TCliArgs parsed(
      args, {kTimingOption, {"--format", true}, {"--output", true, false, "-o"}}, {"FILE"}, 1);
  const std::string format = parsed.Choice("--format", {"text", "csv", "json"}, "text");
  TCliOutput output(parsed.Value("--output").value_or("-"), out);
  TPhaseClock clock(parsed.Has("--timing"));
  TVantra cube;
  LoadStored(cube, parsed.Positional(0), clock);
  WriteFacts(cube, format, output.Stream());
  output.Commit();
  clock.End("output");
  return 0;
}

}  // namespace qd
