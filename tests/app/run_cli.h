// The command-line tool run in the test's process, its output captured.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "app/cli.h"

namespace qd::testing {

//! Runs quarrydesk-cli with `args`; returns its exit status.
inline int Cli(const std::vector<std::string>& args, std::string& out, std::string& err) {
  std::ostringstream o, e;
  const int rc = RunCli(args, o, e);
  out = o.str();
  err = e.str();
  return rc;
}

}  // namespace qd::testing
