// The build's progress window: a caption, a counter updated every 500 records
// and a Cancel button that stops the build at its next record.
#pragma once

#include <QDialog>
#include <memory>

#include "engine/core/progress.h"

class QLabel;
class QPushButton;

namespace qd {

class TVProgressDlg : public QDialog, public TProgressSink {
 public:
  explicit TVProgressDlg(QWidget* parent = nullptr);
  ~TVProgressDlg() override;

  // TProgressSink
  void Begin(const std::string& title) override;
  void End() override;

  QPushButton* CancelButton() const { return FCancel; }
  QLabel* ProgressLabel() const { return FLabel; }
  //! Where the window goes: centred horizontally, at a third of the screen height.
  static QPoint Placement(const QRect& screen, const QSize& window);

 protected:
  void Display(const std::string& caption, const std::string& counter) override;
  void ProcessInput() override;
  void CaptionChanged(const std::string& caption) override;
  void reject() override;

 private:
  void Place();
  QLabel* FLabel;
  QLabel* FStatus;
  QPushButton* FCancel;
};

}  // namespace qd
