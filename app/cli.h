// quarrydesk-cli: subcommands share one calling shape so the entry point only
// dispatches; each command prints its contract output on stdout.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace qd {

struct TCliCommand {
  const char* Name;
  const char* Usage;    //!< "info FILE"
  const char* Summary;  //!< one line for --help
  //! Runs with the arguments after the command name; returns the exit status.
  //! Errors are thrown (qd::Exception or std::exception) and reported by the caller.
  std::function<int(const std::vector<std::string>& args, std::ostream& out)> Run;
};

//! Every subcommand, in help order.
const std::vector<TCliCommand>& CliCommands();

//! The whole command line (without the program name); returns the exit status.
//! Errors print one line on `err`.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

//! A comma-separated option value ("City, Year"): the items with surrounding
//! blanks removed; empty items are dropped.
std::vector<std::string> SplitCommaList(const std::string& text);

}  // namespace qd
