#include "app/cube_file_commands.h"

#include <cstdio>
#include <ostream>

#include "engine/cube/cube_file.h"
#include "engine/core/errors.h"

namespace qd {
namespace {

void LoadStored(TVantra& cube, const std::vector<std::string>& args, std::size_t argCount,
                const char* usage) {
  if (args.size() != argCount) throw EGenericError(std::string("usage: quarrydesk-cli ") + usage);
  cube.Options().ShowProgressBar = false;
  LoadCubeFromFile(cube, args[0]);
  if (!cube.Active()) throw EGenericError(args[0] + ": no cube in the file");
}

// %.17g: enough digits to read the same double back.
std::string ExactNumber(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

}  // namespace

int CliCubeInfo(const std::vector<std::string>& args, std::ostream& out) {
  TVantra cube;
  LoadStored(cube, args, 1, "info FILE");
  out << "dimensions: " << cube.DimensionCount() << '\n';
  for (int i = 0; i < cube.DimensionCount(); ++i) {
    const TDimension& d = *cube.Dimensions()[static_cast<std::size_t>(i)];
    out << i << '\t' << d.BaseFieldName << '\t' << d.DisplayName << "\tmembers=" << d.MemberCount()
        << "\thierarchy=" << (d.HasHierarchy ? "yes" : "no") << '\n';
  }
  out << "summaries: " << cube.SummaryCount() << '\n';
  for (int i = 0; i < cube.SummaryCount(); ++i) {
    const TSummary& s = *cube.Summaries()[static_cast<std::size_t>(i)];
    out << i << '\t' << s.BaseFieldName << '\t' << s.DisplayName << '\n';
  }
  const TFactTable* f = cube.FactTable();
  out << "facts: " << (f ? f->RecordCount() : 0) << '\n';
  return 0;
}

int CliCubeMembers(const std::vector<std::string>& args, std::ostream& out) {
  TVantra cube;
  LoadStored(cube, args, 2, "members FILE DIM");
  const TDimension* dim = nullptr;
  for (const auto& d : cube.Dimensions())
    if (SameText(d->BaseFieldName, args[1]) || SameText(d->DisplayName, args[1])) {
      dim = d.get();
      break;
    }
  if (!dim) throw EGenericError("no dimension named '" + args[1] + "'");
  for (int m = 0; m < dim->MemberCount(); ++m) {
    const std::int32_t parent = static_cast<std::size_t>(m) < dim->Parents.size()
                                    ? dim->Parents[static_cast<std::size_t>(m)]
                                    : -1;
    out << m << '\t' << dim->Caption(m) << '\t' << parent << '\n';
  }
  return 0;
}

int CliCubeFacts(const std::vector<std::string>& args, std::ostream& out) {
  TVantra cube;
  LoadStored(cube, args, 1, "facts FILE");
  const int dims = cube.DimensionCount(), sums = cube.SummaryCount();
  bool first = true;
  auto sep = [&] {
    if (!first) out << '\t';
    first = false;
  };
  for (const auto& d : cube.Dimensions()) sep(), out << d->DisplayName;
  for (const auto& s : cube.Summaries()) sep(), out << s->DisplayName;
  out << '\n';
  // Captions are looked up once per member, not once per record.
  std::vector<std::vector<std::string>> captions(static_cast<std::size_t>(dims));
  for (int d = 0; d < dims; ++d) {
    const TDimension& dim = *cube.Dimensions()[static_cast<std::size_t>(d)];
    for (int m = 0; m < dim.MemberCount(); ++m)
      captions[static_cast<std::size_t>(d)].push_back(dim.Caption(m));
  }
  const TFactTable& f = *cube.FactTable();
  for (std::int32_t r = 0; r < f.RecordCount(); ++r) {
    first = true;
    for (int d = 0; d < dims; ++d)
      sep(), out << captions[static_cast<std::size_t>(d)][static_cast<std::size_t>(f.Member(r, d))];
    for (int s = 0; s < sums; ++s) sep(), out << ExactNumber(f.Value(r, s));
    out << '\n';
  }
  return 0;
}

}  // namespace qd
