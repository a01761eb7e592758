#include "design/check_list_box_form.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/core/messages.h"
#include "engine/core/text_helpers.h"

namespace qd {

TCheckListBoxForm::TCheckListBoxForm(QWidget* owner, const std::string& selection,
                                     const std::vector<std::string>& names)
    : QDialog(owner, Qt::Popup | Qt::FramelessWindowHint) {
  resize(174, 132);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->setSpacing(0);
  FList = new QListWidget(this);
  for (const std::string& name : names) {
    auto* item = new QListWidgetItem(QString::fromStdString(name), FList);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  for (const std::string& piece : SplitNames(selection)) {
    for (int i = 0; i < FList->count(); ++i) {
      if (FList->item(i)->text().toStdString() == piece) {
        FList->item(i)->setCheckState(Qt::Checked);
        break;
      }
    }
  }
  layout->addWidget(FList, 1);
  auto* strip = new QWidget(this);
  auto* buttons = new QHBoxLayout(strip);
  buttons->setContentsMargins(2, 2, 2, 2);
  FOk = new QPushButton(QString::fromStdString(Msg(TMsg::SCheckListOk)), strip);
  auto* cancel = new QPushButton(QString::fromStdString(Msg(TMsg::SCheckListCancel)), strip);
  buttons->addWidget(FOk);
  buttons->addWidget(cancel);
  layout->addWidget(strip);
  connect(FOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TCheckListBoxForm::accept() {
  std::vector<std::string> ticked;
  for (int i = 0; i < FList->count(); ++i)
    if (FList->item(i)->checkState() == Qt::Checked)
      ticked.push_back(FList->item(i)->text().toStdString());
  FResult = JoinNames(ticked);
  QDialog::accept();
}

}  // namespace qd
