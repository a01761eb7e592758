// One QApplication for a widget test binary, on the offscreen platform, with
// message boxes routed into a list instead of blocking.
#pragma once

#include <QApplication>
#include <cstdlib>
#include <string>
#include <vector>

#include "view/message_guard.h"

namespace qd::test {

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "qd_gui_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new QApplication(argc, argv);  // lives until the process ends
  }();
  return *app;
}

//! Collects the messages shown while it lives.
class TShownMessages {
 public:
  TShownMessages() {
    FPrevious = SetMessageHandler([this](const std::string& t) { Messages.push_back(t); });
  }
  ~TShownMessages() { SetMessageHandler(FPrevious); }
  std::vector<std::string> Messages;

 private:
  TShowMessage FPrevious;
};

}  // namespace qd::test
