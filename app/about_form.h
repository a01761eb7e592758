// The about box: the product name and its version line.
#pragma once

#include <QDialog>

namespace qd {

class TAboutForm : public QDialog {
 public:
  explicit TAboutForm(QWidget* parent = nullptr);
  //! The version line, also shown in the main window's status bar.
  QString VersionText() const;
};

}  // namespace qd
