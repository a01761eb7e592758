// The workbench program. Without arguments it opens the workbench window.
// With a folder argument it runs the unattended generation of the built-in
// cubes and ends; that needs no display, so scheduled runs work on servers.
#include <QApplication>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/cube_catalog.h"
#include "app/generate_commands.h"
#include "app/workbench.h"
#include "engine/core/messages.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM")) {
      std::cerr << "quarrydesk: no display to open the workbench window on.\n"
                   "Run it on a desktop, or give a folder to build every built-in cube into it.\n";
      return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromStdString(qd::Msg(qd::TMsg::SProductName)));
    try {
      return qd::RunWorkbench(qd::ProgramFolderOf(argv[0]));
    } catch (const std::exception& e) {
      std::cerr << "quarrydesk: " << e.what() << '\n';
      return 1;
    }
  }
  if (args.size() != 1 || args[0].rfind("-", 0) == 0) {
    std::cerr << "usage: quarrydesk            (opens the workbench window)\n"
                 "       quarrydesk FOLDER     (builds every built-in cube into FOLDER and ends)\n"
                 "quarrydesk-cli --help lists the command-line tools.\n";
    return 2;
  }
  try {
    return qd::CliGenerate(args, std::cout);
  } catch (const std::exception& e) {
    std::cerr << "quarrydesk: " << e.what() << '\n';
    return 1;
  }
}
