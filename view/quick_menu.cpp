#include "view/quick_menu.h"

#include <QActionGroup>

namespace qd {

TQuickMenuItem::TQuickMenuItem(const std::string& caption, int id, QObject* parent)
    : QAction(QString::fromStdString(caption), parent), FId(id) {}

TQuickMenu::TQuickMenu(QWidget* parent) : QMenu(parent) {}

void TQuickMenu::Clear() {
  clear();  // the items are children of the menu and its submenus
  for (QObject* child : children())
    if (auto* sub = qobject_cast<QMenu*>(child)) sub->deleteLater();
  ColumnAxis = false;
  Title = nullptr;
  Label = nullptr;
  Caption = nullptr;
  DataRow = DataColumn = -1;
}

TQuickMenuItem* TQuickMenu::MakeItem(QMenu& menu, const std::string& caption, TQuickCheck check,
                                     int id) {
  const bool separator = caption == "-";
  if (separator) id = -1;
  auto* item = new TQuickMenuItem(separator ? std::string() : caption, id, &menu);
  if (separator) {
    item->setSeparator(true);
  } else if (check != TQuickCheck::qcPlain) {
    item->setCheckable(true);
    item->setChecked(true);
    if (check == TQuickCheck::qcRadio) {
      auto* group = new QActionGroup(item);
      group->addAction(item);
    }
  }
  connect(item, &QAction::triggered, this, [this, id] { Chosen(id); });
  menu.addAction(item);
  return item;
}

TQuickMenuItem* TQuickMenu::AddItem(const std::string& caption, TQuickCheck check, int id) {
  return MakeItem(*this, caption, check, id);
}

TQuickMenuItem* TQuickMenu::AddSubItem(TQuickMenuItem* parent, const std::string& caption,
                                       TQuickCheck check, int id) {
  QMenu* sub = parent->menu();
  if (!sub) {
    sub = new QMenu(this);
    sub->setTitle(parent->text());
    parent->setMenu(sub);
  }
  return MakeItem(*sub, caption, check, id);
}

std::vector<TQuickMenuItem*> TQuickMenu::Items() const {
  std::vector<TQuickMenuItem*> out;
  std::function<void(const QMenu&)> walk = [&](const QMenu& menu) {
    for (QAction* a : menu.actions()) {
      if (auto* item = dynamic_cast<TQuickMenuItem*>(a)) out.push_back(item);
      if (a->menu()) walk(*a->menu());
    }
  };
  walk(*this);
  return out;
}

TQuickMenuItem* TQuickMenu::FindItem(int id) const {
  for (TQuickMenuItem* item : Items())
    if (item->Id() == id) return item;
  return nullptr;
}

void TQuickMenu::Chosen(int id) {
  FLastId = id;
  if (id >= 0 && OnClick) OnClick(id);
}

}  // namespace qd
