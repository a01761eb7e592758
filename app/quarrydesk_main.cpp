// The workbench program. With a folder argument it runs the unattended
// generation of the built-in cubes and ends; it needs no display for that, so
// scheduled runs work on servers.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/generate_commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() != 1 || args[0].rfind("-", 0) == 0) {
    std::cerr << "usage: quarrydesk FOLDER   (builds every built-in cube into FOLDER and ends)\n"
                 "The workbench window is not part of this build yet; quarrydesk-cli --help "
                 "lists the command-line tools.\n";
    return 2;
  }
  try {
    return qd::CliGenerate(args, std::cout);
  } catch (const std::exception& e) {
    std::cerr << "quarrydesk: " << e.what() << '\n';
    return 1;
  }
}
