#include <iostream>
#include <ostream>

#include "app/cli.h"
#include "app/cli_args.h"
#include "app/cli_output.h"
#include "app/cli_pivot.h"
#include "model/cube_compare.h"
#include "app/integrity_commands.h"
#include "app/terminal_progress.h"

namespace qd {
namespace {

std::string Number(const std::optional<double>& v) {
  return v ? ExactNumber(*v) : std::string();
}

std::optional<double> Known(const TCellValue& v) {
  return v.HasValue ? std::optional<double>(v.Value) : std::nullopt;
}

void PrintDiff(const TCubeDiff& diff, std::ostream& out) {
  for (const TCellChange& c : diff.Cells)
    out << "changed\t" << c.Key << '\t' << Number(Known(c.Old)) << '\t' << Number(Known(c.New))
        << '\t' << Number(Delta(c.Old, c.New)) << '\t' << Number(RelativeChange(c.Old, c.New))
        << '\n';
  for (const TMemberChange& m : diff.Members)
    out << (m.InFirst ? "only-a\t" : "only-b\t") << m.Dimension << '\t' << m.Member << '\n';
  for (const TPartChange& p : diff.Parts)
    out << (p.InFirst ? "only-a-" : "only-b-") << (p.IsSummary ? "summary\t" : "dimension\t")
        << p.Name << '\n';
  for (const TTotalChange& t : diff.Totals) {
    const TCellValue old{t.Old, true}, now{t.New, true};
    out << "total\t" << t.Summary << '\t' << (t.IsCount ? "Count" : "Sum") << '\t'
        << ExactNumber(t.Old) << '\t' << ExactNumber(t.New) << '\t' << Number(Delta(old, now))
        << '\t' << Number(RelativeChange(old, now)) << '\n';
  }
}

}  // namespace

int CliDiff(const std::vector<std::string>& args, std::ostream& out) {
  std::vector<TCliOption> options = PivotOptionSpec();
  options.push_back({"--output", true, false, "-o"});
  const TCliArgs parsed(args, options, {"A", "B"}, 2);
  TPivotOptions o = ReadPivotOptions(parsed);
  TCliOutput output(parsed.Value("--output").value_or("-"), out);
  TPhaseClock clock(o.Timing);
  TTerminalProgress progress(o.Quiet);
  auto a = LoadPivot(o, clock, progress);
  o.File = parsed.Positional(1);
  auto b = LoadPivot(o, clock, progress);
  progress.Erase();
  const TCubeDiff diff = CompareCubes(*a->Grid.Cube(), a->Grid, *b->Grid.Cube(), b->Grid);
  clock.End("pivot");
  PrintDiff(diff, output.Stream());
  output.Commit();
  clock.End("output");
  return diff.Empty() ? 0 : 1;
}

}  // namespace qd
