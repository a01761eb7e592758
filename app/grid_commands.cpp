#include "app/grid_commands.h"

#include <filesystem>
#include <ostream>

#include "app/export_commands.h"
#include "db/db_connection.h"
#include "engine/cube/dim_map.h"
#include "engine/core/errors.h"
#include "engine/cube/vantra.h"
#include "model/grid_dump.h"
#include "model/grid_info.h"

namespace qd {

namespace {

constexpr const char* kPivotUsage =
    "usage: quarrydesk-cli pivot FACTS.csv --rows A,B [--cols C] [--page D] --summaries X,Y "
    "[--expand all|none]";

std::vector<std::string> SplitNames(const std::string& text) {
  std::vector<std::string> out;
  for (const std::string& name : ReadNameList(text, false)) out.push_back(name);
  return out;
}

struct TPivotArgs {
  std::string File;
  std::vector<std::string> Axes[3], Sums;
  bool Expand = false;
};

TPivotArgs ParsePivotArgs(const std::vector<std::string>& args) {
  TPivotArgs p;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw EGenericError(kPivotUsage);
      // Commas separate names as semicolons do.
      std::string v = args[++i];
      for (char& c : v)
        if (c == ',') c = ';';
      return v;
    };
    if (a == "--rows")
      p.Axes[0] = SplitNames(value());
    else if (a == "--cols")
      p.Axes[1] = SplitNames(value());
    else if (a == "--page" || a == "--pages")
      p.Axes[2] = SplitNames(value());
    else if (a == "--summaries" || a == "--sums")
      p.Sums = SplitNames(value());
    else if (a == "--expand") {
      // "--expand all|none"; a bare "--expand" means all.
      if (i + 1 < args.size() && (args[i + 1] == "all" || args[i + 1] == "none"))
        p.Expand = args[++i] == "all";
      else
        p.Expand = true;
    } else if (p.File.empty() && a.rfind("--", 0) != 0)
      p.File = a;
    else
      throw EGenericError(kPivotUsage);
  }
  if (p.File.empty() || p.Sums.empty()) throw EGenericError(kPivotUsage);
  return p;
}

}  // namespace

int CliPivot(const std::vector<std::string>& args, std::ostream& out) {
  // Stored cubes and grid-data files have their own options and output.
  for (const std::string& a : args)
    if (a.rfind("--", 0) != 0 && IsStoredPivotFile(a)) return CliPivotCube(args, out);
  const TPivotArgs p = ParsePivotArgs(args);
  const std::filesystem::path file = std::filesystem::absolute(p.File);
  TDbConnection connection("Provider=CSV;Data Source=" + file.parent_path().string());
  TDbQuery facts(&connection, "SELECT * FROM [" + file.filename().string() + "]");
  TVantra cube;
  cube.SetDataSet(&facts);
  cube.Options().ShowProgressBar = false;
  cube.RefreshDimensionMap();
  for (int g = 0; g < 3; ++g)
    for (const std::string& name : p.Axes[g])
      if (!cube.PlaceAsDimension(name, static_cast<TDimGroup>(g)))
        throw EGenericError("pivot: no field " + name);
  for (const std::string& name : p.Sums)
    if (!cube.MarkAsSummary(name)) throw EGenericError("pivot: no field " + name);
  TGridInfo grid;
  grid.SetVantra(&cube);
  cube.SetActive(true);
  if (p.Expand)
    for (int g = 0; g < 2; ++g)
      for (int d : grid.AxisDims(static_cast<TDimGroup>(g))) grid.ExpandAll(grid.DimensionState(d));
  out << DumpGrid(grid);
  grid.SetVantra(nullptr);
  return 0;
}

}  // namespace qd
