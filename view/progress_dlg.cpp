#include "view/progress_dlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "engine/core/messages.h"

namespace qd {

TVProgressDlg::TVProgressDlg(QWidget* parent) : QDialog(parent) {
  setWindowModality(Qt::ApplicationModal);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  FLabel = new QLabel(this);
  FLabel->setMinimumWidth(260);
  FStatus = new QLabel(this);
  FStatus->hide();
  FCancel = new QPushButton(QString::fromStdString(Msg(TMsg::SProgressCancel)), this);
  connect(FCancel, &QPushButton::clicked, this, [this] { RequestCancel(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(FCancel);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(FLabel);
  layout->addWidget(FStatus);
  layout->addLayout(buttons);
}

TVProgressDlg::~TVProgressDlg() = default;

QPoint TVProgressDlg::Placement(const QRect& screen, const QSize& window) {
  return {screen.left() + (screen.width() - window.width()) / 2,
          screen.top() + screen.height() / 3};
}

void TVProgressDlg::Place() {
  adjustSize();
  const QScreen* screen = parentWidget() ? parentWidget()->screen() : QApplication::primaryScreen();
  if (screen) move(Placement(screen->geometry(), size()));
}

void TVProgressDlg::Begin(const std::string& title) {
  setWindowTitle(QString::fromStdString(title));
  FLabel->clear();
  FCancel->setEnabled(true);
}

void TVProgressDlg::End() {
  hide();
}

void TVProgressDlg::Display(const std::string& caption, const std::string& counter) {
  if (!isVisible()) {
    Place();
    show();
  }
  setWindowTitle(QString::fromStdString(caption));
  FLabel->setText(QString::fromStdString(counter));
  ProcessInput();
}

void TVProgressDlg::ProcessInput() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TVProgressDlg::CaptionChanged(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

void TVProgressDlg::reject() {
  // Closing the window (Esc, the title bar) cancels like the button.
  RequestCancel();
}

}  // namespace qd
