// The check-list drop-down: names to tick, an OK and a Cancel button. Opened
// with a "; "-separated selection, it closes with the ticked names joined the
// same way.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace qd {

class TCheckListBoxForm : public QDialog {
 public:
  //! Lists `names` and ticks the first item equal to each trimmed piece of
  //! `selection` (case-sensitive); pieces naming no item are ignored.
  TCheckListBoxForm(QWidget* owner, const std::string& selection,
                    const std::vector<std::string>& names);

  //! After OK: the ticked names in list order joined with "; " (empty when
  //! none is ticked); empty after any other close.
  const std::string& ResultText() const { return FResult; }
  QListWidget& CheckList() const { return *FList; }
  QPushButton& OkButton() const { return *FOk; }

  void accept() override;

 private:
  QListWidget* FList;
  QPushButton* FOk;
  std::string FResult;
};

}  // namespace qd
