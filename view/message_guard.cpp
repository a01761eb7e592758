#include "view/message_guard.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

namespace qd {

namespace {

TShowMessage& Handler() {
  static TShowMessage handler;
  return handler;
}

}  // namespace

TShowMessage SetMessageHandler(TShowMessage handler) {
  TShowMessage previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}

void ShowMessage(const std::string& text) {
  if (Handler()) {
    Handler()(text);
    return;
  }
  QMessageBox::information(QApplication::activeWindow(), QApplication::applicationName(),
                           QString::fromStdString(text));
}

void ShowError(const std::string& text) {
  if (Handler()) {
    Handler()(text);
    return;
  }
  QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(),
                        QString::fromStdString(text));
}

}  // namespace qd
