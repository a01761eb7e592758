#include <iostream>
#include <string>
#include <vector>

#include "app/cli.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  int rc = qd::RunCli(args, std::cout, std::cerr);
  std::cout.flush();
  return rc;
}
