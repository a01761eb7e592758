#include "app/generate_commands.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <map>
#include <ostream>

#include "app/cli.h"
#include "app/cube_definition.h"
#include "app/data_module.h"
#include "app/ini_file.h"
#include "app/make_cfd.h"
#include "app/realtime_cube.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_codec.h"

namespace qd {
namespace {

using TClockPoint = std::chrono::steady_clock::time_point;

double SecondsSince(TClockPoint start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void PrintTiming(std::ostream& timing, double read, double save) {
  timing << std::fixed << std::setprecision(3) << "read: " << read << "\nsave: " << save << '\n';
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
  int Failed = 0;

 private:
  TCubeGenerator& FInner;
};

// "--name value" options and plain arguments.
struct TArgs {
  std::map<std::string, std::string> Options;
  std::vector<std::string> Plain;
  bool Timing = false;
};

TArgs ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& valued,
                const char* usage) {
  TArgs parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--timing") {
      parsed.Timing = true;
    } else if (std::find(valued.begin(), valued.end(), a) != valued.end()) {
      if (i + 1 >= args.size() || parsed.Options.count(a)) throw EGenericError(usage);
      parsed.Options[a] = args[++i];
    } else if (a.starts_with("-")) {
      throw EGenericError(usage);
    } else {
      parsed.Plain.push_back(a);
    }
  }
  return parsed;
}

// "Field;display name" as in definition files.
std::pair<std::string, std::optional<std::string>> FieldSpec(const std::string& text) {
  std::vector<std::string> items;
  if (!splitString(text, ";", items)) return {TrimBlanks(text), std::nullopt};
  std::optional<std::string> display;
  if (items.size() >= 2) display = items[1];
  return {items[0], display};
}

std::string FieldOrFail(const std::vector<std::string>& fields, const std::string& name) {
  std::optional<std::string> field = FindPlainField(fields, name);
  if (!field) throw ECubeError(Format(Msg(TMsg::SImportFieldNotReturned), name));
  return *field;
}

}  // namespace

TAutoSaveResult GenerateBuiltinCubes(TDataModule1& dm, const std::string& argument, int& failed,
                                     TAutoSaveLog::TClock clock) {
  TBuiltinCubeGenerator builtins(dm);
  TCountingGenerator counting(builtins);
  TAutoSaveResult result = AutoSaveCube(argument, dm.CatalogNames(), counting, std::move(clock));
  failed = counting.Failed;
  return result;
}

int CliGenerate(const std::vector<std::string>& args, std::ostream& out) {
  if (args.size() != 1) throw EGenericError("usage: quarrydesk-cli generate FOLDER");
  std::optional<std::string> folder = AutoSaveOutputFolder(args[0]);
  if (!folder || !std::filesystem::is_directory(*folder))
    throw EGenericError(Format(Msg(TMsg::SAppFolderMissing), TrimBlanks(args[0])));
  TDataModule1 dm;
  dm.DataModuleCreate();
  ApplyCubeConnectionIni(dm.ADOConnection, ProgramFolder());
  int failed = 0;
  GenerateBuiltinCubes(dm, args[0], failed);
  std::optional<std::string> log = ReadWholeFile(*folder + std::string(AutoSaveLogName));
  if (log)
    for (char c : AnsiToUtf8(*log))
      if (c != '\r') out << c;
  return failed == 0 ? 0 : 1;
}

int RunBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& timing) {
  const char* usage = "usage: quarrydesk-cli build DEF.cfd|DEF.cfdm [-o OUT.vtc] [--timing]";
  TArgs parsed = ParseArgs(args, {"-o"}, usage);
  if (parsed.Plain.size() != 1) throw EGenericError(usage);
  std::string name = std::filesystem::absolute(parsed.Plain[0]).lexically_normal().string();
  if (!std::filesystem::is_regular_file(name))
    throw EGenericError(Format(Msg(TMsg::SAppFileReadError), name));

  TStandaloneCube cube;
  TClockPoint start = std::chrono::steady_clock::now();
  BuildDefinitionFile(name, ProgramFolder(), cube.Target);
  auto output = parsed.Options.find("-o");
  if (output != parsed.Options.end()) cube.Target.SaveToFile(output->second);
  double total = SecondsSince(start);
  out << Msg(TMsg::SCfdCubeBuilt) << '\n';
  if (output != parsed.Options.end())
    out << Msg(TMsg::SCfdCryptOutputName) << output->second << '\n';
  if (parsed.Timing)
    PrintTiming(timing, total - cube.Target.SaveSeconds(), cube.Target.SaveSeconds());
  return 0;
}

int RunImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& timing) {
  const char* usage =
      "usage: quarrydesk-cli import --connection STR --query SQL --rows F1,F2 --cols F3 "
      "--page F4 --summaries F5,F6 [--key F7] -o OUT.vtc [--timing]";
  TArgs parsed = ParseArgs(
      args, {"--connection", "--query", "--rows", "--cols", "--page", "--summaries", "--key", "-o"},
      usage);
  auto& opt = parsed.Options;
  if (!parsed.Plain.empty() || !opt.count("--connection") || !opt.count("--query") ||
      !opt.count("-o"))
    throw EGenericError(usage);

  TStandaloneCube cube;
  TClockPoint start = std::chrono::steady_clock::now();
  cube.Target.OpenConnection(opt["--connection"]);
  cube.Target.SetFactQuery(opt["--query"]);
  std::vector<std::string> fields = cube.Target.RefillDimensionMap();
  const std::pair<const char*, TCfdGroup> groups[] = {
      {"--rows", TCfdGroup::Row}, {"--cols", TCfdGroup::Col}, {"--page", TCfdGroup::Page}};
  for (const auto& [option, group] : groups) {
    int number = 0;
    for (const std::string& spec : SplitCommaList(opt[option])) {
      auto [field, display] = FieldSpec(spec);
      TCfdDimension entry;
      entry.Group = group;
      entry.Number = ++number;
      entry.FieldName = field;
      entry.DisplayName = display;
      cube.Target.PlaceDimension(FieldOrFail(fields, field), entry);
    }
  }
  for (const std::string& spec : SplitCommaList(opt["--summaries"])) {
    auto [field, display] = FieldSpec(spec);
    cube.Target.MarkSummary(FieldOrFail(fields, field), display);
  }
  std::vector<std::string> keys;
  for (const std::string& k : SplitCommaList(opt["--key"]))
    keys.push_back(FieldOrFail(fields, TrimBlanks(k)));
  if (!keys.empty()) cube.Target.SetKeyFields(keys);
  cube.Target.Activate();
  double read = SecondsSince(start);
  cube.Target.SaveToFile(opt["-o"]);
  out << Msg(TMsg::SCfdCubeBuilt) << '\n' << Msg(TMsg::SCfdCryptOutputName) << opt["-o"] << '\n';
  if (parsed.Timing) PrintTiming(timing, read, cube.Target.SaveSeconds());
  return 0;
}

int CliBuild(const std::vector<std::string>& args, std::ostream& out) {
  return RunBuild(args, out, std::cerr);
}
int CliImport(const std::vector<std::string>& args, std::ostream& out) {
  return RunImport(args, out, std::cerr);
}

}  // namespace qd
