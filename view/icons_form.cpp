#include "view/icons_form.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include "engine/core/text_helpers.h"
#include "model/grid_info.h"
#include "view/dialog_parts.h"
#include "view/message_guard.h"

namespace qd {

// ---- TPivotStatesList ----

void TPivotStatesList::Refill() {
  FNames.clear();
  const TPivotStates& states = FModel.PivotStates();
  for (int i = 0; i < states.Count(); ++i) FNames.push_back(states.Name(i));
  const std::string& current = FModel.CurrentPivotState();
  FSelected = current.empty() ? -1 : states.IndexOf(current);
}

void TPivotStatesList::Choose(int index) {
  if (index < 0 || index >= static_cast<int>(FNames.size())) return;
  FSelected = index;
  FModel.RestorePivotState(FNames[static_cast<std::size_t>(index)]);
}

void TPivotStatesList::Save(const std::string& name) {
  // A state without a name could never be chosen again.
  if (IsBlank(name)) return;
  FModel.SavePivotState(name);
  Refill();
}

void TPivotStatesList::Delete() {
  if (FSelected < 0 || FSelected >= static_cast<int>(FNames.size())) return;
  FModel.DeletePivotState(FNames[static_cast<std::size_t>(FSelected)]);
  Refill();
}

// ---- TfmIcons ----

std::string AskPivotStateName(QWidget* parent) {
  bool ok = false;
  const QString name = QInputDialog::getText(parent, QMsg(TMsg::SStatesSaveCaption),
                                             QMsg(TMsg::SStatesSavePrompt), QLineEdit::Normal,
                                             QString(), &ok);
  return ok ? name.toStdString() : std::string();
}

TfmIcons::TfmIcons(TGridInfo& model, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), FList(model) {
  auto* bar = new QHBoxLayout(this);
  bar->setContentsMargins(8, 2, 8, 2);
  bar->setSpacing(1);
  FNames = new QComboBox(this);
  FNames->setFrame(false);
  FNames->setMinimumWidth(160);
  FNames->setToolTip(QMsg(TMsg::SStatesList));
  FNames->setAccessibleName(QMsg(TMsg::SStatesList));
  FDelete = ToolButton(this, DialogGlyph(TDialogGlyph::dgDelete), TMsg::SStatesDelete);
  FSave = ToolButton(this, DialogGlyph(TDialogGlyph::dgSave), TMsg::SStatesSave);
  FDelete->setFocusPolicy(Qt::StrongFocus);
  FSave->setFocusPolicy(Qt::StrongFocus);
  bar->addWidget(FNames, 1);
  bar->addWidget(FDelete);
  bar->addWidget(FSave);
  AskName = [this] { return AskPivotStateName(this); };

  connect(FNames, &QComboBox::activated, this, [this](int i) {
    Guard([&] { FList.Choose(i); });
  });
  connect(FDelete, &QToolButton::clicked, this, [this] {
    Guard([this] { FList.Delete(); });
    Show();
  });
  connect(FSave, &QToolButton::clicked, this, [this] {
    FAsking = true;
    const std::string name = AskName ? AskName() : std::string();
    FAsking = false;
    Guard([&] { FList.Save(name); });
    Show();
    activateWindow();
  });
  FList.Refill();
  Show();
}

void TfmIcons::Show() {
  const QSignalBlocker block(FNames);
  FNames->clear();
  for (const std::string& n : FList.Names()) FNames->addItem(QText(n));
  FNames->setCurrentIndex(FList.Selected());
}

void TfmIcons::Popup(QPoint at) {
  adjustSize();
  move(at);
  show();
  raise();
  activateWindow();
  FNames->setFocus();
}

void TfmIcons::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && !isActiveWindow() && !FAsking && isVisible())
    close();
}

void TfmIcons::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace qd
