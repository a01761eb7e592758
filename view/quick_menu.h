// The popup menu of the grid's header cells: items carry a command id, and a
// choice hands the id to one click handler together with the header item the
// menu was built for.
#pragma once

#include <QAction>
#include <QMenu>
#include <functional>
#include <string>

namespace qd {

struct TCaptionNode;
struct TLabelNode;
struct TSubLevelNode;

//! How an item shows its check: kind 0 checked, 1 checked radio, 2 plain.
enum class TQuickCheck : int { qcChecked = 0, qcRadio = 1, qcPlain = 2 };

//! A menu item with its command id (-1 for the separator).
class TQuickMenuItem : public QAction {
 public:
  TQuickMenuItem(const std::string& caption, int id, QObject* parent);
  int Id() const { return FId; }

 private:
  int FId;
};

class TQuickMenu : public QMenu {
 public:
  explicit TQuickMenu(QWidget* parent = nullptr);

  //! Called with the id of a chosen item whose id is not negative.
  std::function<void(int id)> OnClick;
  //! The id of the item chosen last.
  int LastId() const { return FLastId; }

  // What the menu was built for; valid until the next Clear.
  bool ColumnAxis = false;
  const TCaptionNode* Title = nullptr;
  TLabelNode* Label = nullptr;
  const TSubLevelNode* Caption = nullptr;
  //! A data cell's menu: the cell (data coordinates), else -1.
  int DataRow = -1, DataColumn = -1;

  //! Empties the menu and forgets its header item.
  void Clear();
  //! Adds an item; "-" adds the separator (id -1).
  TQuickMenuItem* AddItem(const std::string& caption, TQuickCheck check, int id);
  //! Adds an item to the submenu of `parent`, creating the submenu.
  TQuickMenuItem* AddSubItem(TQuickMenuItem* parent, const std::string& caption, TQuickCheck check,
                             int id);
  //! Every item, submenu items after their parent.
  std::vector<TQuickMenuItem*> Items() const;
  //! The item with this id (the first one), or nullptr.
  TQuickMenuItem* FindItem(int id) const;
  bool Empty() const { return actions().isEmpty(); }

 private:
  TQuickMenuItem* MakeItem(QMenu& menu, const std::string& caption, TQuickCheck check, int id);
  void Chosen(int id);
  int FLastId = 0;
};

}  // namespace qd
