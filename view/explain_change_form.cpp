#include "view/explain_change_form.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <charconv>
#include <cstdio>

#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "model/grid_info.h"
#include "view/message_guard.h"
#include "view/vantra_grid.h"

namespace qd {
namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace

std::string ShortestNumber(double v) {
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

TExplainChangeChoice::TExplainChangeChoice(TGridInfo& grid, int row, int column)
    : FGrid(grid), FRow(row), FColumn(column) {
  for (int d = 0; d < grid.DimensionStateCount(); ++d) {
    FDims.push_back(d);
    FNames.push_back(grid.DimensionState(d).DisplayName);
  }
  const std::vector<int>& page = grid.PageDims();
  for (std::size_t i = 0; i < FDims.size() && !page.empty(); ++i)
    if (FDims[i] == page.front()) Dimension = static_cast<int>(i);
}

std::optional<TChangeExplanation> TExplainChangeChoice::Explain() const {
  if (Dimension < 0 || Dimension >= static_cast<int>(FDims.size())) return std::nullopt;
  return ExplainChange(FGrid, FRow, FColumn, FDims[static_cast<std::size_t>(Dimension)]);
}

std::vector<TExplainRow> TExplainChangeChoice::Rows(const TChangeExplanation& e) const {
  std::vector<TExplainRow> rows;
  for (std::size_t i = 0; i < e.Items.size() && static_cast<int>(i) < Top; ++i) {
    const TContribution& c = e.Items[i];
    char share[48] = "";
    if (e.Delta != 0) std::snprintf(share, sizeof share, "%.2f%%", c.Share * 100);
    rows.push_back({c.Caption, ShortestNumber(c.Change), share});
  }
  return rows;
}

TExplainChangeForm::TExplainChangeForm(TGridInfo& grid, int row, int column, QWidget* parent)
    : QDialog(parent), FChoice(grid, row, column) {
  setWindowTitle(Q(Msg(TMsg::SExplainCaption)));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  FDims = new QComboBox(this);
  for (const std::string& name : FChoice.DimensionNames()) FDims->addItem(Q(name));
  FDims->setCurrentIndex(FChoice.Dimension);
  FTop = new QSpinBox(this);
  FTop->setRange(1, 1000);
  FTop->setValue(FChoice.Top);
  form->addRow(Q(Msg(TMsg::SExplainDimension)), FDims);
  form->addRow(Q(Msg(TMsg::SExplainTop)), FTop);
  layout->addLayout(form);
  FDelta = new QLabel(this);
  layout->addWidget(FDelta);
  FTable = new QTableWidget(0, 3, this);
  FTable->setHorizontalHeaderLabels({Q(Msg(TMsg::SExplainMember)), Q(Msg(TMsg::SExplainChange)),
                                     Q(Msg(TMsg::SExplainShare))});
  FTable->verticalHeader()->hide();
  FTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  layout->addWidget(FTable, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  connect(FDims, &QComboBox::currentIndexChanged, this, [this](int index) {
    FChoice.Dimension = index;
    Guard([this] { Refresh(); });
  });
  connect(FTop, &QSpinBox::valueChanged, this, [this](int n) {
    FChoice.Top = n;
    Guard([this] { Refresh(); });
  });
  resize(420, 360);
  Refresh();
}

void TExplainChangeForm::Refresh() {
  const std::optional<TChangeExplanation> e = FChoice.Explain();
  FTable->setRowCount(0);
  if (!e) {
    FDelta->setText(Q(Msg(TMsg::SExplainNone)));
    return;
  }
  FDelta->setText(Q(Format(Msg(TMsg::SExplainDelta), ShortestNumber(e->Delta))));
  const std::vector<TExplainRow> rows = FChoice.Rows(*e);
  FTable->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const TExplainRow& row = rows[static_cast<std::size_t>(r)];
    const std::string* cells[3] = {&row.Member, &row.Change, &row.Share};
    for (int c = 0; c < 3; ++c) {
      auto* item = new QTableWidgetItem(Q(*cells[c]));
      if (c > 0) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      FTable->setItem(r, c, item);
    }
  }
}

TExplainChangeForm* OpenExplainChangeForm(TCustomVantraGrid& grid, int row, int column) {
  auto* form = new TExplainChangeForm(grid.Model(), row, column, &grid);
  form->setAttribute(Qt::WA_DeleteOnClose);
  form->show();
  return form;
}

}  // namespace qd
