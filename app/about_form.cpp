#include "app/about_form.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "engine/core/messages.h"

namespace qd {

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromStdString(Msg(TMsg::SProductName)));
  auto* layout = new QVBoxLayout(this);
  auto* name = new QLabel(QString::fromStdString(Msg(TMsg::SProductName)), this);
  QFont big = name->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  name->setFont(big);
  name->setAlignment(Qt::AlignCenter);
  auto* version = new QLabel(VersionText(), this);
  version->setAlignment(Qt::AlignCenter);
  auto* caption = new QLabel(QString::fromStdString(Msg(TMsg::SMainCaption)), this);
  caption->setAlignment(Qt::AlignCenter);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(name);
  layout->addWidget(version);
  layout->addWidget(caption);
  layout->addWidget(buttons);
}

QString TAboutForm::VersionText() const {
  return QString::fromStdString(Msg(TMsg::SProductVersion));
}

}  // namespace qd
