#include "app/cli.h"

#include <exception>
#include <ostream>

#include "app/cube_file_commands.h"
#include "app/definition_commands.h"
#include "app/export_commands.h"
#include "app/generate_commands.h"
#include "app/grid_commands.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"

namespace qd {
namespace {

void PrintHelp(std::ostream& out) {
  out << "quarrydesk-cli — command-line tools of Quarrydesk, the OLAP workbench\n\n"
         "Usage: quarrydesk-cli COMMAND [ARGS...]\n"
         "       quarrydesk-cli --help | --version\n\n"
         "Commands:\n";
  for (const TCliCommand& c : CliCommands()) {
    std::string usage = c.Usage;
    out << "  " << usage;
    for (std::size_t i = usage.size(); i < 40; ++i) out << ' ';
    out << ' ' << c.Summary << '\n';
  }
}

// Errors are one line: newlines inside a message become spaces.
std::string OneLine(std::string s) {
  for (char& c : s)
    if (c == '\n' || c == '\r') c = ' ';
  return s;
}

}  // namespace

const std::vector<TCliCommand>& CliCommands() {
  static const std::vector<TCliCommand> commands = {
      {"version", "version", "print the program version",
       [](const std::vector<std::string>&, std::ostream& out) {
         out << Msg(TMsg::SProductName) << ' ' << Msg(TMsg::SProductVersion) << '\n';
         return 0;
       }},
      {"encrypt", "encrypt DEF.cfd",
       "pack a cube definition with its connection and query into DEF.cfdm", CliEncrypt},
      {"generate", "generate FOLDER", "build every built-in cube and save it into FOLDER",
       CliGenerate},
      {"build", "build DEF.cfd|DEF.cfdm [-o OUT.vtc]",
       "build a cube from a definition file and save it", CliBuild},
      {"import", "import --connection STR --query SQL ...",
       "build a cube from a connection string and a query and save it", CliImport},
      {"pivot", "pivot FILE [--rows A,B] [--summaries X]",
       "print the pivot of a cube file, grid-data file or CSV file as text", CliPivot},
      {"export", "export FILE --to OUT.xls|.xlsx|.htm|.xml|.rtf",
       "write the pivot of a cube file or grid-data file as a document", CliExport},
      {"info", "info FILE", "list the dimensions, summaries and fact count of a cube file",
       CliCubeInfo},
      {"members", "members FILE DIM", "list the members of a dimension of a cube file",
       CliCubeMembers},
      {"facts", "facts FILE", "print the fact records of a cube file", CliCubeFacts},
  };
  return commands;
}

std::vector<std::string> SplitCommaList(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    const std::string item = text.substr(start, end - start);
    const auto first = item.find_first_not_of(' ');
    if (first != std::string::npos)
      out.push_back(item.substr(first, item.find_last_not_of(' ') - first + 1));
    start = end + 1;
  }
  return out;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintHelp(out);
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--version") {
    out << Msg(TMsg::SProductName) << ' ' << Msg(TMsg::SProductVersion) << '\n';
    return 0;
  }
  for (const TCliCommand& c : CliCommands()) {
    if (args[0] != c.Name) continue;
    std::vector<std::string> rest(args.begin() + 1, args.end());
    try {
      return c.Run(rest, out);
    } catch (const std::exception& e) {
      out.flush();
      err << "quarrydesk-cli " << c.Name << ": " << OneLine(e.what()) << '\n';
      return 1;
    }
  }
  err << "quarrydesk-cli: unknown command '" << OneLine(args[0]) << "' (see --help)\n";
  return 2;
}

}  // namespace qd
