// quarrydesk-cli: subcommands share one calling shape so the entry point only
// dispatches; each command prints its contract output on stdout. One command
// table drives the help, each command's --help and the dispatch.
//
// Exit status: 0 success; 1 the work failed (data, file, database); 2 usage
// (unknown option, missing or malformed argument, unknown name); 130 cancelled
// with Ctrl+C.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/messages.h"

namespace qd {

inline constexpr int kCliExitFailed = 1;
inline constexpr int kCliExitUsage = 2;
inline constexpr int kCliExitInterrupted = 130;

struct TCliCommand {
  const char* Name;
  const char* Usage;  //!< "info FILE"
  TMsg Summary;       //!< one line for the help
  //! Option lines of the command's --help, in order.
  std::vector<TMsg> Options;
  //! Paragraphs after the options.
  std::vector<TMsg> Notes;
  //! Runs with the arguments after the command name; returns the exit status.
  //! Errors are thrown (qd::Exception or std::exception) and reported by the
  //! caller; ECliUsageError is a usage error.
  std::function<int(const std::vector<std::string>& args, std::ostream& out)> Run;
  //! The exit status when the work fails (diff, like diff(1), says 2).
  int FailureStatus = kCliExitFailed;
};

//! Every subcommand, in help order.
const std::vector<TCliCommand>& CliCommands();

//! The whole command line (without the program name); returns the exit status.
//! Errors print one line on `err`.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

//! A warning of a command that still succeeds: one line on stderr,
//! "quarrydesk-cli COMMAND: 注意：MESSAGE".
void CliWarn(std::ostream& err, const char* command, std::string_view message);

//! A comma-separated option value ("City, Year"): the items with surrounding
//! blanks removed; empty items are dropped.
std::vector<std::string> SplitCommaList(const std::string& text);

}  // namespace qd
