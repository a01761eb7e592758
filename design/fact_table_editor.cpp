#include "design/fact_table_editor.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "design/dataset_table_model.h"
#include "engine/core/messages.h"
#include "engine/data/memo_dataset.h"

namespace qd {

namespace {

QString Q(TMsg id) {
  return QString::fromStdString(Msg(id));
}

struct TNavLook {
  TMsg Hint;
  QStyle::StandardPixmap Icon;
  bool Shown;
};

// The navigator offers moving between records and re-reading them only.
constexpr TNavLook kNav[10] = {
    {TMsg::SNavFirst, QStyle::SP_MediaSkipBackward, true},
    {TMsg::SNavPrior, QStyle::SP_MediaSeekBackward, true},
    {TMsg::SNavNext, QStyle::SP_MediaSeekForward, true},
    {TMsg::SNavLast, QStyle::SP_MediaSkipForward, true},
    {TMsg::SNavInsert, QStyle::SP_FileIcon, false},
    {TMsg::SNavDelete, QStyle::SP_TrashIcon, false},
    {TMsg::SNavEdit, QStyle::SP_FileDialogDetailedView, false},
    {TMsg::SNavPost, QStyle::SP_DialogApplyButton, false},
    {TMsg::SNavCancel, QStyle::SP_DialogCancelButton, false},
    {TMsg::SNavRefresh, QStyle::SP_BrowserReload, true},
};

bool Editing(const TDataSet& ds) {
  return ds.State() == TDataSetState::dsEdit || ds.State() == TDataSetState::dsInsert;
}

}  // namespace

TFactTableEditor::TFactTableEditor(QWidget* parent) : QDialog(parent) {
  setWindowTitle(Q(TMsg::SFactEditorCaption));
  resize(523, 400);
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  auto* top = new QWidget(this);
  auto* nav = new QHBoxLayout(top);
  nav->setContentsMargins(4, 2, 4, 2);
  for (int b = 0; b < 10; ++b) {
    if (!kNav[b].Shown) continue;
    auto* button = new QToolButton(top);
    button->setAutoRaise(true);
    button->setIcon(style()->standardIcon(kNav[b].Icon));
    button->setToolTip(Q(kNav[b].Hint));
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this,
            [this, b] { Navigate(static_cast<TNavButton>(b)); });
    nav->addWidget(button);
    FNav[static_cast<std::size_t>(b)] = button;
  }
  nav->addStretch(1);
  layout->addWidget(top);

  FModel = new TDataSetTableModel(this);
  FTable = new QTableView(this);
  FTable->setModel(FModel);
  FTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  FTable->setSelectionMode(QAbstractItemView::SingleSelection);
  FTable->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
  FTable->horizontalHeader()->setStretchLastSection(true);
  FTable->verticalHeader()->setDefaultSectionSize(FTable->fontMetrics().height() + 6);
  layout->addWidget(FTable, 1);

  auto* bottom = new QWidget(this);
  auto* buttons = new QHBoxLayout(bottom);
  buttons->setContentsMargins(4, 4, 4, 4);
  buttons->addStretch(1);
  FOk = new QPushButton(Q(TMsg::SFactEditorOk), bottom);
  FCancel = new QPushButton(Q(TMsg::SFactEditorCancel), bottom);
  FOk->setFlat(true);
  FCancel->setFlat(true);
  FOk->setDefault(true);
  buttons->addWidget(FOk);
  buttons->addWidget(FCancel);
  layout->addWidget(bottom);
  connect(FOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(FCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFactTableEditor::~TFactTableEditor() {
  SetDataSet(nullptr);
}

void TFactTableEditor::SetDataSet(TDataSet* dataset) {
  if (dataset == FDataSet) return;
  FDataSet = dataset;
  FModel->SetDataSet(dataset);
  if (dataset && FModel->rowCount() > 0) FTable->selectRow(0);
}

bool TFactTableEditor::Execute(TvtMemoDataSet& records) {
  SetDataSet(&records);
  const bool ok = exec() == QDialog::Accepted;
  SetDataSet(nullptr);
  return ok;
}

int TFactTableEditor::CurrentRecNo() const {
  const QModelIndex i = FTable->currentIndex();
  return i.isValid() ? i.row() + 1 : 0;
}

void TFactTableEditor::Navigate(TNavButton b) {
  const int rows = FModel->rowCount();
  if (rows == 0) return;
  const int row = FTable->currentIndex().isValid() ? FTable->currentIndex().row() : 0;
  int to = row;
  switch (b) {
    case nbFirst:
      to = 0;
      break;
    case nbPrior:
      to = std::max(0, row - 1);
      break;
    case nbNext:
      to = std::min(rows - 1, row + 1);
      break;
    case nbLast:
      to = rows - 1;
      break;
    case nbRefresh:
      FModel->Refresh();
      break;
    default:
      return;
  }
  FTable->selectRow(std::min(to, FModel->rowCount() - 1));
}

void TFactTableEditor::accept() {
  // A cell editor still open hands its text over first: leaving the current
  // cell commits it.
  const QModelIndex current = FTable->currentIndex();
  FTable->setCurrentIndex(QModelIndex());
  FTable->setCurrentIndex(current);
  if (FDataSet && Editing(*FDataSet)) FDataSet->Post();
  QDialog::accept();
}

void TFactTableEditor::reject() {
  if (FDataSet && Editing(*FDataSet)) FDataSet->Cancel();
  QDialog::reject();
}

}  // namespace qd
