#include <ostream>

#include "app/cli.h"
#include "app/cli_args.h"
#include "app/cli_output.h"
#include "app/cli_pivot.h"
#include "app/integrity_commands.h"
#include "model/pivot_cells.h"
#include "app/terminal_progress.h"
#include "engine/core/format.h"
#include "model/cell_evidence.h"
#include "model/cell_values.h"

namespace qd {
namespace {

int FindRow(TGridInfo& grid, const std::string& path) {
  std::vector<std::string> paths;
  for (int r = 0; r < grid.RowLineCount(); ++r) {
    paths.push_back(PathText(grid, grid.GetRowLine(r)));
    if (paths.back() == path) return r;
  }
  RaiseUnknownName(Format(Msg(TMsg::SCliNoSuchLine), path), path, paths);
}

// The first compare-with-previous data column of the column line `path`.
int FindComparedColumn(TGridInfo& grid, const std::string& path) {
  std::vector<std::string> paths;
  for (int c = 0; c < static_cast<int>(grid.DataColumns().size()); ++c) {
    const std::string text = PathText(grid, grid.GetColumnLine(c));
    int s = 0, f = 0, sf = 0;
    grid.GetColumnSubLevel(c, s, f, sf);
    if (text == path && (sf == sfCompareWithPrevByRow || sf == sfCompareWithPrevByCol)) return c;
    if (paths.empty() || paths.back() != text) paths.push_back(text);
  }
  RaiseUnknownName(Format(Msg(TMsg::SCliNoSuchLine), path), path, paths);
}

std::size_t TopCount(const TCliArgs& parsed) {
  const std::optional<std::string> text = parsed.Value("--top");
  if (!text) return static_cast<std::size_t>(-1);
  std::size_t used = 0;
  int n = 0;
  try {
    n = std::stoi(*text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text->size() || n <= 0) RaiseUsage(TMsg::SCliBadTopCount, *text);
  return static_cast<std::size_t>(n);
}

}  // namespace

int CliExplain(const std::vector<std::string>& args, std::ostream& out) {
  std::vector<TCliOption> options = PivotOptionSpec();
  for (std::string_view name : {"--cell", "--by", "--top"}) options.push_back({name, true});
  options.push_back({"--output", true, false, "-o"});
  const TCliArgs parsed(args, options, {"FILE", "COLPATH"}, 1);
  const std::optional<std::string> rowPath = parsed.Value("--cell");
  if (!rowPath || parsed.Positional().size() < 2)
    RaiseUsage(TMsg::SCliMissingArgument, "--cell ROWPATH COLPATH");
  const std::optional<std::string> by = parsed.Value("--by");
  if (!by) RaiseUsage(TMsg::SCliMissingArgument, "--by DIM");
  const std::size_t top = TopCount(parsed);
  const TPivotOptions o = ReadPivotOptions(parsed);
  TCliOutput output(parsed.Value("--output").value_or("-"), out);
  TPhaseClock clock(o.Timing);
  TTerminalProgress progress(o.Quiet);
  auto p = LoadPivot(o, clock, progress);
  progress.Erase();
  TGridInfo& grid = p->Grid;
  const int dim = FindDimension(grid, *by);
  const int row = FindRow(grid, *rowPath);
  const int column = FindComparedColumn(grid, parsed.Positional(1));
  const std::optional<TChangeExplanation> e = ExplainChange(grid, row, column, dim);
  if (!e)
    throw EGenericError(Format(Msg(TMsg::SCliNotExplainable), *rowPath, parsed.Positional(1)));
  clock.End("pivot");
  std::ostream& s = output.Stream();
  s << "delta\t" << ExactNumber(e->Delta) << '\n';
  for (std::size_t i = 0; i < e->Items.size() && i < top; ++i) {
    const TContribution& c = e->Items[i];
    s << c.Caption << '\t' << ExactNumber(c.Change) << '\t'
      << (e->Delta != 0 ? ExactNumber(c.Share) : std::string()) << '\n';
  }
  output.Commit();
  clock.End("output");
  return 0;
}

}  // namespace qd
