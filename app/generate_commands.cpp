#include "app/generate_commands.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <ostream>

#include "app/cli.h"
#include "app/cli_args.h"
#include "app/cli_interrupt.h"
#include "app/cli_output.h"
#include "app/cube_definition.h"
#include "app/data_module.h"
#include "app/ini_file.h"
#include "app/make_cfd.h"
#include "app/realtime_cube.h"
#include "app/terminal_progress.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_codec.h"
#include "engine/core/text_helpers.h"

namespace qd {
namespace {

using TClockPoint = std::chrono::steady_clock::time_point;

double SecondsSince(TClockPoint start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Processor seconds of the whole process.
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The phases' processor seconds follow with QD_TIMING_CPU set, when known.
void PrintTiming(std::ostream& timing, double read, double save, double readCpu = -1,
                 double saveCpu = -1) {
  const bool cpu = std::getenv("QD_TIMING_CPU") && readCpu >= 0;
  timing << std::fixed << std::setprecision(3) << "read: " << read;
  if (cpu) timing << " cpu " << readCpu;
  timing << "\nsave: " << save;
  if (cpu) timing << " cpu " << saveCpu;
  timing << '\n';
}

// Counts the cubes that were not built or not saved.
class TCountingGenerator : public TCubeGenerator {
 public:
  explicit TCountingGenerator(TCubeGenerator& inner) : FInner(inner) {}
  bool BuildCube(const std::string& name) override {
    bool built = false;
    try {
      built = FInner.BuildCube(name);
    } catch (...) {
      ++Failed;
      throw;
    }
    if (!built) ++Failed;
    // A cancelled build comes back as a failed one; Cancel ends the whole run.
    if (!built && ((Progress && Progress->CancelRequested()) || CliInterrupted()))
      throw EUserCanceledError(Msg(TMsg::SUserCanceled));
    return built;
  }
  void SaveCube(const std::string& fileName) override {
    try {
      FInner.SaveCube(fileName);
    } catch (...) {
      ++Failed;
      throw;
    }
  }
  std::string FailureReason() const override { return FInner.FailureReason(); }
  std::vector<std::string> BuildNotes() const override { return FInner.BuildNotes(); }
  int Failed = 0;
  //! The builds' progress, whose Cancel ends the run.
  const TProgressSink* Progress = nullptr;

 private:
  TCubeGenerator& FInner;
};

// "Field;display name" as in definition files.
std::pair<std::string, std::optional<std::string>> FieldSpec(const std::string& text) {
  std::vector<std::string> items;
  if (!splitString(text, ";", items))
    return {std::string(Trim(text, kSpaceAndControls)), std::nullopt};
  std::optional<std::string> display;
  if (items.size() >= 2) display = items[1];
  return {items[0], display};
}

// A field of the import's query; a name it does not return is a usage error.
std::string FieldOrFail(const std::vector<std::string>& fields, const std::string& name) {
  std::optional<std::string> field = FindPlainField(fields, name);
  if (!field) RaiseUnknownName(Format(Msg(TMsg::SCliNoQueryField), name), name, fields);
  return *field;
}

const TCliOption kOutputOption{"--output", true, false, "-o"};

// The cube file named by -o/--output, opened before the build so that a
// target that cannot be written fails first; none without the option.
std::unique_ptr<TCliOutput> CubeOutput(const std::optional<std::string>& file,
                                       std::ostream& out) {
  return file ? std::make_unique<TCliOutput>(*file, out) : nullptr;
}

// The -o/--output value, which cannot be standard output.
std::optional<std::string> CubeFileName(const TCliArgs& parsed) {
  std::optional<std::string> file = parsed.Value("--output");
  if (file && (file->empty() || *file == "-")) throw ECliUsageError(Msg(TMsg::SCliCubeToStdout));
  return file;
}

// Writes the cube in full or not at all.
void SaveOutput(TVantraCubeTarget& target, TCliOutput& output) {
  output.WriteFile([&](const std::string& path) { target.SaveToFile(path); });
  output.Commit();
}

std::string AbsoluteName(const std::string& file) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(file, ec);
  return ec ? file : p.lexically_normal().string();
}

}  // namespace

TAutoSaveResult GenerateBuiltinCubes(TDataModule1& dm, const std::string& argument, int& failed,
                                     TAutoSaveLog::TClock clock, TProgressSink* progress) {
  TBuiltinCubeGenerator builtins(dm);
  builtins.Progress = progress;
  TCountingGenerator counting(builtins);
  counting.Progress = progress;
  TAutoSaveResult result = AutoSaveCube(argument, dm.CatalogNames(), counting, std::move(clock));
  failed = counting.Failed;
  return result;
}

int CliGenerate(const std::vector<std::string>& args, std::ostream& out) {
  const TCliArgs parsed(args, {kTimingOption, kQuietOption}, {"FOLDER"}, 1);
  const std::string argument = parsed.Positional(0);
  std::optional<std::string> folder = AutoSaveOutputFolder(argument);
  if (!folder || !std::filesystem::is_directory(*folder))
    throw EGenericError(Format(Msg(TMsg::SAppFolderMissing), Trim(argument, kSpaceAndControls)));
  TClockPoint start = std::chrono::steady_clock::now();
  TDataModule1 dm;
  // A database that cannot be reached fails each cube, each logged with the
  // reason, instead of ending the run without a log.
  try {
    dm.DataModuleCreate();
  } catch (const std::exception&) {
  }
  try {
    ApplyCubeConnectionIni(dm.ADOConnection, ProgramFolder());
  } catch (const std::exception&) {
  }
  TTerminalProgress progress(parsed.Has("--quiet"));
  int failed = 0;
  // Cube files and the log are replaced whole; Ctrl+C stops between them.
  TCliDeferInterrupt defer;
  GenerateBuiltinCubes(dm, argument, failed, {}, &progress);
  std::optional<std::string> log = ReadWholeFile(*folder + std::string(AutoSaveLogName));
  if (log)
    for (char c : AnsiToUtf8(*log))
      if (c != '\r') out << c;
  if (parsed.Has("--timing"))
    std::cerr << std::fixed << std::setprecision(3) << "total: " << SecondsSince(start) << '\n';
  return failed == 0 ? 0 : 1;
}

int RunBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& timing) {
  const TCliArgs parsed(args, {kOutputOption, kTimingOption, kQuietOption}, {"DEF.cfd"}, 1);
  const std::optional<std::string> file = CubeFileName(parsed);
  std::string name = std::filesystem::absolute(parsed.Positional(0)).lexically_normal().string();
  if (!std::filesystem::is_regular_file(name))
    throw EGenericError(Format(Msg(TMsg::SAppFileReadError), name));
  std::unique_ptr<TCliOutput> output = CubeOutput(file, out);

  TStandaloneCube cube;
  TTerminalProgress progress(parsed.Has("--quiet"));
  cube.Cube.ProgressSink = &progress;
  cube.Cube.Options().ShowProgressBar = true;
  TClockPoint start = std::chrono::steady_clock::now();
  const TCfdOutput written = BuildDefinitionFile(name, ProgramFolder(), cube.Target);
  if (output) SaveOutput(cube.Target, *output);
  double total = SecondsSince(start);
  progress.Erase();
  for (const std::string& note : NonNumberMessages(cube.Cube.Built()))
    CliWarn(timing, "build", note);
  // Every file written, by its absolute name: -o's in the line it always had,
  // then the definition's own.
  out << Msg(TMsg::SCfdCubeBuilt) << '\n';
  if (output) out << Msg(TMsg::SCfdCryptOutputName) << AbsoluteName(*file) << '\n';
  if (!written.File.empty()) out << Msg(TMsg::SCfdCryptOutputName) << written.File << '\n';
  if (written.OutsideFolder)
    CliWarn(timing, "build", Msg(TMsg::SCfdOutputOutside) + "：" + written.File);
  if (parsed.Has("--timing"))
    PrintTiming(timing, total - cube.Target.SaveSeconds(), cube.Target.SaveSeconds());
  return 0;
}

int RunImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& timing) {
  const TCliArgs parsed(args, {{"--connection", true}, {"--query", true}, {"--rows", true},
                               {"--cols", true}, {"--page", true}, {"--summaries", true},
                               {"--key", true}, {"--aggregate-in-database", false},
                               kOutputOption, kTimingOption, kQuietOption});
  for (const char* required : {"--connection", "--query", "--output"})
    if (!parsed.Has(required)) RaiseUsage(TMsg::SCliMissingArgument, required);
  const std::optional<std::string> file = CubeFileName(parsed);
  std::unique_ptr<TCliOutput> output = CubeOutput(file, out);
  auto opt = [&](const char* name) { return parsed.Value(name).value_or(""); };

  TStandaloneCube cube;
  TTerminalProgress progress(parsed.Has("--quiet"));
  cube.Cube.ProgressSink = &progress;
  cube.Cube.Options().ShowProgressBar = true;
  TClockPoint start = std::chrono::steady_clock::now();
  const double cpuStart = CpuSeconds();
  cube.Target.OpenConnection(opt("--connection"));
  cube.Target.SetAggregateInDatabase(parsed.Has("--aggregate-in-database"));
  cube.Target.SetFactQuery(opt("--query"));
  std::vector<std::string> fields = cube.Target.RefillDimensionMap();
  const std::pair<const char*, TCfdGroup> groups[] = {
      {"--rows", TCfdGroup::Row}, {"--cols", TCfdGroup::Col}, {"--page", TCfdGroup::Page}};
  for (const auto& [option, group] : groups) {
    int number = 0;
    for (const std::string& spec : SplitCommaList(opt(option))) {
      auto [field, display] = FieldSpec(spec);
      TCfdDimension entry;
      entry.Group = group;
      entry.Number = ++number;
      entry.FieldName = field;
      entry.DisplayName = display;
      cube.Target.PlaceDimension(FieldOrFail(fields, field), entry);
    }
  }
  for (const std::string& spec : SplitCommaList(opt("--summaries"))) {
    auto [field, display] = FieldSpec(spec);
    cube.Target.MarkSummary(FieldOrFail(fields, field), display);
  }
  std::vector<std::string> keys;
  for (const std::string& k : SplitCommaList(opt("--key")))
    keys.push_back(FieldOrFail(fields, std::string(Trim(k, kSpaceAndControls))));
  if (!keys.empty()) cube.Target.SetKeyFields(keys);
  cube.Target.Activate();
  double read = SecondsSince(start);
  const double cpuRead = CpuSeconds();
  SaveOutput(cube.Target, *output);
  const double cpuSaved = CpuSeconds();
  progress.Erase();
  for (const std::string& note : NonNumberMessages(cube.Cube.Built()))
    CliWarn(timing, "import", note);
  out << Msg(TMsg::SCfdCubeBuilt) << '\n'
      << Msg(TMsg::SCfdCryptOutputName) << AbsoluteName(*file) << '\n';
  if (parsed.Has("--timing"))
    PrintTiming(timing, read, cube.Target.SaveSeconds(), cpuRead - cpuStart, cpuSaved - cpuRead);
  return 0;
}

int CliBuild(const std::vector<std::string>& args, std::ostream& out) {
  return RunBuild(args, out, std::cerr);
}
int CliImport(const std::vector<std::string>& args, std::ostream& out) {
  return RunImport(args, out, std::cerr);
}

}  // namespace qd
