#include "app/cli.h"

#include <gtest/gtest.h>

#include <sstream>

namespace qd {

TEST(Cli, HelpVersionAndUnknownCommands) {
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"--version"}, out, err), 0);
  EXPECT_EQ(out.str(), "Quarrydesk Version 2.00\n");
  out.str("");
  EXPECT_EQ(RunCli({"--help"}, out, err), 0);
  EXPECT_NE(out.str().find("Usage: quarrydesk-cli COMMAND"), std::string::npos);
  EXPECT_EQ(RunCli({"frobnicate"}, out, err), 2);
  EXPECT_EQ(err.str(), "quarrydesk-cli: unknown command 'frobnicate' (see --help)\n");
}

}  // namespace qd
