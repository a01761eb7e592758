// The saved-states drop-down of the tool strip: the model's named pivot states
// in a list that restores the one chosen, a button that saves the current
// layout under a name and one that deletes the chosen state. A borderless
// window that goes away when it loses activation; every action reaches the
// model at once.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QToolButton;

namespace qd {

class TGridInfo;

//! The list of the drop-down, without its widgets.
class TPivotStatesList {
 public:
  explicit TPivotStatesList(TGridInfo& model) : FModel(model) {}

  //! The model's state names in order; the current one selected.
  void Refill();
  const std::vector<std::string>& Names() const { return FNames; }
  //! The chosen name's place, -1 for none.
  int Selected() const { return FSelected; }
  //! Chooses a name: the model restores that state.
  void Choose(int index);
  //! Saves the current layout under a name (nothing for a blank one), then
  //! refills with the model's current state selected.
  void Save(const std::string& name);
  //! Deletes the chosen state (nothing without a choice); the list keeps the
  //! model's current state selected, or none.
  void Delete();

 private:
  TGridInfo& FModel;
  std::vector<std::string> FNames;
  int FSelected = -1;
};

class TfmIcons : public QWidget {
 public:
  explicit TfmIcons(TGridInfo& model, QWidget* parent = nullptr);

  TPivotStatesList& List() { return FList; }
  QComboBox& NameList() const { return *FNames; }
  QToolButton& DeleteButton() const { return *FDelete; }
  QToolButton& SaveButton() const { return *FSave; }
  //! Asks for the name to save under; empty when cancelled. The grid's own
  //! question ("保存多维状态") unless replaced.
  std::function<std::string()> AskName;
  //! Shows the window at a screen point, without waiting.
  void Popup(QPoint at);

 protected:
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Show();

  TPivotStatesList FList;
  QComboBox* FNames;
  QToolButton* FDelete;
  QToolButton* FSave;
  bool FAsking = false;
};

//! Asks for a name with "保存多维状态" / "当前多维状态另存为"; empty when cancelled.
std::string AskPivotStateName(QWidget* parent);

}  // namespace qd
