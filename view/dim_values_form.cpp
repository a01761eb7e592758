#include "view/dim_values_form.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "model/dimension_state.h"
#include "view/check_tree_view.h"
#include "view/dialog_parts.h"
#include "view/message_guard.h"

namespace qd {

namespace {

constexpr TDimSortType kOrders[] = {TDimSortType::dsDatabase, TDimSortType::dsNameAsc,
                                    TDimSortType::dsNameDesc, TDimSortType::dsCustom};

QVBoxLayout* Column(QWidget* w) {
  auto* l = new QVBoxLayout(w);
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(2);
  return l;
}

QHBoxLayout* Bar() {
  auto* l = new QHBoxLayout;
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(1);
  return l;
}

}  // namespace

TDimValuesFRM::TDimValuesFRM(TGridInfo& model, TDimensionState& state, QWidget* parent)
    : QDialog(parent, Qt::Tool), FEditor(model, state) {
  setMinimumWidth(150);
  resize(560, 460);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(HeaderStrip(Msg(TMsg::SDimValuesSettings), this));
  auto* top = new QGridLayout;
  FName = new QLineEdit(this);
  FAttributes = new QComboBox(this);
  auto* nameLabel = new QLabel(QMsg(TMsg::SDimValuesDisplayName), this);
  auto* attributeLabel = new QLabel(QMsg(TMsg::SDimValuesAttribute), this);
  nameLabel->setBuddy(FName);
  attributeLabel->setBuddy(FAttributes);
  top->addWidget(nameLabel, 0, 0);
  top->addWidget(FName, 0, 1);
  top->addWidget(attributeLabel, 1, 0);
  top->addWidget(FAttributes, 1, 1);
  layout->addLayout(top);

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->addWidget(MemberSide());
  splitter->addWidget(GroupSide());
  splitter->setChildrenCollapsible(false);
  layout->addWidget(splitter, 1);
  FMemberView->Partner = FGroupView;
  FGroupView->Partner = FMemberView;

  const TOkCancel buttons = OkCancelRow(*this);
  FOk = buttons.Ok;
  FCancel = buttons.Cancel;
  layout->addLayout(buttons.Row);
  connect(FOk, &QPushButton::clicked, this, [this] { Accept(); });

  connect(FName, &QLineEdit::textChanged, this, [this](const QString& text) {
    FEditor.DisplayName = text.toStdString();
    setWindowTitle(QText(FEditor.Caption()));
  });
  connect(FAttributes, &QComboBox::activated, this,
          [this](int i) { Guard([&] { FEditor.ChooseAttribute(i); }); });
  connect(FOrders, &QComboBox::activated, this, [this](int i) {
    if (i >= 0 && i < 4) Guard([&] { FEditor.ChooseOrder(kOrders[i]); });
  });
  Fill();
}

void TDimValuesFRM::AddCheckButtons(QWidget* bar, TCheckTree& tree) {
  struct TCheck {
    TDialogGlyph Glyph;
    TMsg Hint;
    std::function<void()> Act;
  };
  const TCheck checks[] = {{TDialogGlyph::dgCheckAll, TMsg::SSelectAll, [&tree] { tree.CheckAll(true); }},
                           {TDialogGlyph::dgCheckNone, TMsg::SSelectNone, [&tree] { tree.CheckAll(false); }},
                           {TDialogGlyph::dgCheckInvert, TMsg::SSelectInvert, [&tree] { tree.Invert(); }}};
  for (const TCheck& c : checks) {
    QToolButton* b = ToolButton(bar, DialogGlyph(c.Glyph), c.Hint);
    connect(b, &QToolButton::clicked, this, c.Act);
    bar->layout()->addWidget(b);
    FButtons.push_back(b);
  }
}

QWidget* TDimValuesFRM::MemberSide() {
  auto* side = new QWidget(this);
  QVBoxLayout* column = Column(side);
  column->addWidget(HeaderStrip(Msg(TMsg::SDimValuesMembers), side));
  auto* bar = new QWidget(side);
  bar->setLayout(Bar());
  AddCheckButtons(bar, FEditor.MemberTree());
  FOrders = new QComboBox(bar);
  for (TDimSortType t : kOrders) FOrders->addItem(QText(DimSortTypeText(t)));
  bar->layout()->addWidget(FOrders);
  column->addWidget(bar);
  FSearch = new QLineEdit(side);
  FSearch->setPlaceholderText(QMsg(TMsg::SDimValuesSearch));
  FSearch->setClearButtonEnabled(true);
  column->addWidget(FSearch);
  FMemberView = new TXPCheckTreeView(FEditor.MemberTree(), side);
  column->addWidget(FMemberView, 1);
  connect(FSearch, &QLineEdit::textChanged, this, [this](const QString& text) {
    Guard([&] { FEditor.SetSearch(text.toStdString()); });
  });
  FMemberView->Model().OnEdited = [this](TXPCheckTreeNode&) { FEditor.CaptionEdited(); };
  FMemberView->OnDropped = [this](std::uint64_t serial, TXPCheckTreeNode*) {
    // Anywhere on the member tree: the members go back to their places.
    if (FEditor.MoveBack(FEditor.GroupTree().Find(serial), false)) FMemberView->setFocus();
  };
  return side;
}

QWidget* TDimValuesFRM::GroupSide() {
  auto* side = new QWidget(this);
  QVBoxLayout* column = Column(side);
  column->addWidget(HeaderStrip(Msg(TMsg::SDimValuesGroups), side));
  auto* bar = new QWidget(side);
  bar->setLayout(Bar());
  AddCheckButtons(bar, FEditor.GroupTree());
  auto* separator = new QFrame(bar);
  separator->setFrameShape(QFrame::VLine);
  bar->layout()->addWidget(separator);
  QToolButton* newGroup = ToolButton(bar, DialogGlyph(TDialogGlyph::dgNewGroup), TMsg::SDimValuesNewGroup);
  QToolButton* remove = ToolButton(bar, DialogGlyph(TDialogGlyph::dgDelete), TMsg::SDimValuesDeleteItem);
  bar->layout()->addWidget(newGroup);
  bar->layout()->addWidget(remove);
  static_cast<QHBoxLayout*>(bar->layout())->addStretch(1);
  FButtons.push_back(newGroup);
  FButtons.push_back(remove);
  column->addWidget(bar);
  FGroupView = new TXPCheckTreeView(FEditor.GroupTree(), side);
  FGroupView->Model().Images = {DialogGlyph(TDialogGlyph::dgGroupClosed),
                                DialogGlyph(TDialogGlyph::dgGroupOpen)};
  column->addWidget(FGroupView, 1);
  connect(newGroup, &QToolButton::clicked, this, [this] {
    TMemberNode& node = FEditor.NewGroup();
    FGroupView->setFocus();
    FGroupView->EditNode(&node);
  });
  connect(remove, &QToolButton::clicked, this, [this] {
    if (FEditor.DeleteItem()) FMemberView->setFocus();
  });
  FGroupView->Model().OnEdited = [this](TXPCheckTreeNode&) { FEditor.CaptionEdited(); };
  FGroupView->OnDropped = [this](std::uint64_t serial, TXPCheckTreeNode* target) {
    if (FEditor.MoveToGroup(FEditor.MemberTree().Find(serial), target)) FGroupView->setFocus();
  };
  return side;
}

void TDimValuesFRM::Fill() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  Guard([this] { FEditor.Open(); });
  FName->setText(QText(FEditor.DisplayName));
  setWindowTitle(QText(FEditor.Caption()));
  for (const std::string& a : FEditor.Attributes()) FAttributes->addItem(QText(a));
  FAttributes->setCurrentIndex(FEditor.AttributeIndex());
  FOrders->setCurrentIndex(static_cast<int>(FEditor.SortType()));
  QApplication::restoreOverrideCursor();
  FMemberView->setFocus();
}

void TDimValuesFRM::Accept() {
  // An edit in progress in a tree counts.
  FMemberView->setFocus();
  if (Guard([this] { FEditor.Ok(); })) accept();
}

bool RunDimValuesDialog(TGridInfo& model, TDimensionState& state, QPoint at, QWidget* parent) {
  TDimValuesFRM form(model, state, parent);
  form.move(at);
  return form.exec() == QDialog::Accepted;
}

}  // namespace qd
