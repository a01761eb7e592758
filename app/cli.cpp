#include "app/cli.h"

#include <algorithm>
#include <exception>
#include <ostream>

#include "app/cli_args.h"
#include "app/cli_interrupt.h"
#include "app/cube_file_commands.h"
#include "app/definition_commands.h"
#include "app/export_commands.h"
#include "app/generate_commands.h"
#include "app/integrity_commands.h"
#include "engine/core/errors.h"
#include "engine/core/text_helpers.h"
#include "engine/core/format.h"

namespace qd {
namespace {

constexpr const char* kProgram = "quarrydesk-cli";

void PrintHelp(std::ostream& out) {
  out << Msg(TMsg::SCliTitle) << "\n\n"
      << Msg(TMsg::SCliUsageLine) << kProgram << " COMMAND [ARGS...]\n"
      << "      " << kProgram << " COMMAND --help | --help | --version\n\n"
      << Msg(TMsg::SCliCommandsHeading) << '\n';
  for (const TCliCommand& c : CliCommands()) {
    std::string usage = c.Usage;
    out << "  " << usage;
    for (std::size_t i = usage.size(); i < 40; ++i) out << ' ';
    out << ' ' << Msg(c.Summary) << '\n';
  }
  out << '\n' << Msg(TMsg::SCliHelpFooter) << '\n';
}

void PrintCommandHelp(const TCliCommand& c, std::ostream& out) {
  out << Msg(TMsg::SCliUsageLine) << kProgram << ' ' << c.Usage << '\n'
      << Msg(c.Summary) << "\n\n"
      << Msg(TMsg::SCliOptionsHeading) << '\n';
  for (TMsg lines : c.Options) out << Msg(lines) << '\n';
  out << Msg(TMsg::SCliHelpOption) << '\n';
  for (TMsg note : c.Notes) out << '\n' << Msg(note) << '\n';
}

// Errors are one line: newlines inside a message become spaces.
std::string OneLine(std::string s) {
  for (char& c : s)
    if (c == '\n' || c == '\r') c = ' ';
  return s;
}

const TCliCommand* FindCommand(const std::string& name) {
  for (const TCliCommand& c : CliCommands())
    if (name == c.Name) return &c;
  return nullptr;
}

int UnknownCommand(const std::string& name, std::ostream& err) {
  std::vector<std::string> names;
  for (const TCliCommand& c : CliCommands()) names.emplace_back(c.Name);
  std::string message = Format(Msg(TMsg::SCliUnknownCommand), name);
  if (std::optional<std::string> hint = ClosestName(name, names))
    message += Format(Msg(TMsg::SCliDidYouMean), *hint);
  err << kProgram << ": " << OneLine(message) << Msg(TMsg::SCliSeeMainHelp) << '\n';
  return kCliExitUsage;
}

int RunCommand(const TCliCommand& c, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
  const std::string prefix = std::string(kProgram) + ' ' + c.Name + ": ";
  TCliInterruptScope interrupt;
  try {
    const int rc = c.Run(args, out);
    if (!CliInterrupted()) return rc;
    out.flush();
    err << prefix << Msg(TMsg::SUserCanceled) << '\n';
    return kCliExitInterrupted;
  } catch (const ECliUsageError& e) {
    out.flush();
    err << prefix << OneLine(e.what()) << Format(Msg(TMsg::SCliSeeHelp), c.Name) << '\n';
    return kCliExitUsage;
  } catch (const std::exception& e) {
    out.flush();
    // A cancelled build reaches here as whatever error the engine wraps it in.
    if (CliInterrupted()) {
      err << prefix << Msg(TMsg::SUserCanceled) << '\n';
      return kCliExitInterrupted;
    }
    err << prefix << OneLine(e.what()) << '\n';
    return c.FailureStatus;
  }
}

}  // namespace

void CliWarn(std::ostream& err, const char* command, std::string_view message) {
  // A message worded as a note already is not marked twice.
  const std::string& note = Msg(TMsg::SCliWarning);
  const std::string text = message.starts_with(note.substr(0, note.find("%s")))
                               ? std::string(message)
                               : Format(note, std::string(message));
  err << kProgram << ' ' << command << ": " << OneLine(text) << '\n';
}

const std::vector<TCliCommand>& CliCommands() {
  static const std::vector<TCliCommand> commands = {
      {"version", "version", TMsg::SCliVersionSummary, {}, {},
       [](const std::vector<std::string>& args, std::ostream& out) {
         TCliArgs parsed(args, {});
         out << Msg(TMsg::SProductName) << ' ' << Msg(TMsg::SProductVersion) << '\n';
         return 0;
       }},
      {"encrypt", "encrypt DEF.cfd", TMsg::SCliEncryptSummary, {}, {}, CliEncrypt},
      {"generate", "generate FOLDER [--quiet] [--timing]", TMsg::SCliGenerateSummary,
       {TMsg::SCliGenerateOptions}, {}, CliGenerate},
      {"build", "build DEF.cfd|DEF.cfdm [-o OUT.vtc]", TMsg::SCliBuildSummary,
       {TMsg::SCliBuildOptions}, {}, CliBuild},
      {"import", "import --connection STR --query SQL ... -o OUT.vtc", TMsg::SCliImportSummary,
       {TMsg::SCliImportOptions}, {}, CliImport},
      {"pivot", "pivot FILE [--rows A,B] [--summaries X] [--format F]", TMsg::SCliPivotSummary,
       {TMsg::SCliPivotOptions, TMsg::SCliLayoutOptions}, {TMsg::SCliCsvInputNote}, CliPivot},
      {"export", "export FILE --to OUT.xls|.xlsx|.htm|.xml|.rtf|.csv|.json|.pdf|.svg|.emf|.wmf",
       TMsg::SCliExportSummary,
       {TMsg::SCliExportOptions, TMsg::SCliPageOptions, TMsg::SCliLayoutOptions}, {TMsg::SCliCsvInputNote}, CliExport},
      {"info", "info FILE", TMsg::SCliInfoSummary, {TMsg::SCliCubeFileOptions}, {}, CliCubeInfo},
      {"members", "members FILE DIM", TMsg::SCliMembersSummary, {TMsg::SCliCubeFileOptions}, {},
       CliCubeMembers},
      {"facts", "facts FILE [--format text|csv|json]", TMsg::SCliFactsSummary,
       {TMsg::SCliFactsOptions}, {}, CliCubeFacts},
      {"verify", "verify FILE...", TMsg::SCliVerifySummary, {}, {TMsg::SCliVerifyNote}, CliVerify},
      {"diff", "diff A B [--rows A,B] [--cols C] [--summaries X]", TMsg::SCliDiffSummary,
       {TMsg::SCliDiffOptions, TMsg::SCliLayoutOptions}, {TMsg::SCliDiffNote}, CliDiff,
       kCliExitUsage},
      {"explain", "explain FILE --cell ROWPATH COLPATH --by DIM [--top N]",
       TMsg::SCliExplainSummary, {TMsg::SCliExplainOptions, TMsg::SCliLayoutOptions},
       {TMsg::SCliExplainNote}, CliExplain},
  };
  return commands;
}

std::vector<std::string> SplitCommaList(const std::string& text) {
  return SplitNames(text, TEmptyName::enSkip, ',');
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    PrintHelp(err);
    return kCliExitUsage;
  }
  const std::string& first = args[0];
  if (first == "--help" || first == "-h" || (first == "help" && args.size() == 1)) {
    PrintHelp(out);
    return 0;
  }
  if (first == "--version") {
    out << Msg(TMsg::SProductName) << ' ' << Msg(TMsg::SProductVersion) << '\n';
    return 0;
  }
  if (first == "help") {
    const TCliCommand* c = FindCommand(args[1]);
    if (!c) return UnknownCommand(args[1], err);
    PrintCommandHelp(*c, out);
    return 0;
  }
  const TCliCommand* c = FindCommand(first);
  if (!c) return UnknownCommand(first, err);
  std::vector<std::string> rest(args.begin() + 1, args.end());
  // "--help" anywhere before "--" asks for the command's usage.
  const auto end = std::find(rest.begin(), rest.end(), "--");
  if (std::find(rest.begin(), end, "--help") != end || std::find(rest.begin(), end, "-h") != end) {
    PrintCommandHelp(*c, out);
    return 0;
  }
  return RunCommand(*c, rest, out, err);
}

}  // namespace qd
