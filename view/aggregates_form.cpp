#include "view/aggregates_form.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "model/grid_info.h"
#include "view/check_tree_view.h"
#include "view/dialog_parts.h"
#include "view/formula_form.h"
#include "view/glyphs.h"
#include "view/message_guard.h"

namespace qd {

namespace {

const char* const kSubFunctionGlyphs[kSubFunctionCount] = {
    "AGGREGATIONS",   "SUB_RANKBYROW",    "SUB_RANKBYCOL",  "SUB_PERCBYROW", "SUB_PERCBYCOL",
    "SUB_COMPAREBYROW", "SUB_COMPAREBYCOL", "SUB_CUMULATROW", "SUB_CUMULATCOL"};

QWidget* Panel(QWidget* parent, QVBoxLayout*& layout) {
  auto* w = new QWidget(parent);
  layout = new QVBoxLayout(w);
  layout->setContentsMargins(4, 4, 4, 4);
  return w;
}

QWidget* ToolBar(QWidget* parent) {
  auto* bar = new QWidget(parent);
  auto* l = new QHBoxLayout(bar);
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(1);
  return bar;
}

void AddSeparator(QWidget* bar) {
  auto* separator = new QFrame(bar);
  separator->setFrameShape(QFrame::VLine);
  bar->layout()->addWidget(separator);
}

}  // namespace

TCurrencyFormat SystemCurrencyFormat() {
  const QLocale locale(QLocale::Chinese, QLocale::China);
  TCurrencyFormat out;
  out.Symbol = locale.currencySymbol().toStdString();
  const QString sample = locale.toCurrencyString(1.0);
  const QString symbol = locale.currencySymbol();
  const bool before = sample.startsWith(symbol);
  const bool spaced = before ? sample.mid(symbol.size(), 1).trimmed().isEmpty()
                             : sample.left(sample.size() - symbol.size()).endsWith(' ');
  out.Position = before ? (spaced ? 2 : 0) : (spaced ? 3 : 1);
  return out;
}

TfmAggregates::TfmAggregates(TGridInfo& model, bool designMode, QWidget* parent)
    : QDialog(parent, Qt::Tool), FEditor(model, SystemCurrencyFormat()), FDesign(designMode) {
  setWindowTitle(QMsg(TMsg::SAggCaption));
  resize(620, 440);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  FPages = new QTabWidget(this);
  FPages->setDocumentMode(true);
  FPages->addTab(SummaryPage(), QMsg(TMsg::SAggCaption));
  FPages->addTab(FunctionPage(), QMsg(TMsg::SAggFunctionPage));
  FPages->tabBar()->setVisible(FDesign);
  FPages->setTabEnabled(1, FDesign);
  layout->addWidget(FPages, 1);
  const TOkCancel buttons = OkCancelRow(*this);
  FOk = buttons.Ok;
  FCancel = buttons.Cancel;
  layout->addLayout(buttons.Row);
  connect(FOk, &QPushButton::clicked, this, [this] { Accept(); });
  connect(FPages, &QTabWidget::currentChanged, this, [this](int page) {
    FEditor.FillTree();
    FillFunctions();
    ShowProperties();
    if (page == 0) FTreeView->setFocus();
  });
  ShowProperties();
  FillFunctions();
  FTreeView->setFocus();
}

QWidget* TfmAggregates::SummaryPage() {
  auto* splitter = new QSplitter(Qt::Horizontal);
  auto* left = new QWidget(splitter);
  auto* column = new QVBoxLayout(left);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(2);
  column->addWidget(HeaderStrip(Msg(TMsg::SAggSummaries), left));
  QWidget* bar = ToolBar(left);
  struct TTool {
    TDialogGlyph Glyph;
    TMsg Hint;
    std::function<void()> Act;
  };
  const TTool tools[] = {
      {TDialogGlyph::dgAdd, TMsg::SAggAddCalculated, [this] { AddCalculated(); }},
      {TDialogGlyph::dgDelete, TMsg::SAggRemoveCalculated,
       [this] {
         FEditor.RemoveCurrent();
         ShowProperties();
       }},
      {TDialogGlyph::dgCheckAll, TMsg::SSelectAll, [this] { FEditor.CheckAll(true); }},
      {TDialogGlyph::dgCheckNone, TMsg::SSelectNone, [this] { FEditor.CheckAll(false); }},
      {TDialogGlyph::dgCheckInvert, TMsg::SSelectInvert, [this] { FEditor.Invert(); }}};
  for (const TTool& t : tools) {
    QToolButton* b = ToolButton(bar, DialogGlyph(t.Glyph), t.Hint);
    connect(b, &QToolButton::clicked, this, [act = t.Act] { Guard(act); });
    bar->layout()->addWidget(b);
    if (FButtons.size() == 1) AddSeparator(bar);
    FButtons.push_back(b);
  }
  static_cast<QHBoxLayout*>(bar->layout())->addStretch(1);
  column->addWidget(bar);
  FTreeView = new TXPCheckTreeView(FEditor.Tree(), left);
  FTreeView->Model().Editable = false;
  FTreeView->setDragEnabled(false);
  FTreeView->setAcceptDrops(false);
  std::vector<QIcon> images = {QIcon(NamedPixmap("SUMMARIES")), QIcon(NamedPixmap("AGGREGATIONS")),
                               DialogGlyph(TDialogGlyph::dgCalculator)};
  for (const char* glyph : kSubFunctionGlyphs) images.emplace_back(NamedPixmap(glyph));
  FTreeView->Model().Images = std::move(images);
  column->addWidget(FTreeView, 1);
  connect(FTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            FEditor.Select(FTreeView->Model().NodeOf(current));
            ShowProperties();
          });
  splitter->addWidget(left);
  splitter->addWidget(PropertySide());
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 2);
  return splitter;
}

QWidget* TfmAggregates::PropertySide() {
  auto* right = new QWidget;
  auto* column = new QVBoxLayout(right);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(HeaderStrip(Msg(TMsg::SAggProperties), right));
  FPanels = new QStackedWidget(right);
  column->addWidget(FPanels, 1);

  QVBoxLayout* l = nullptr;
  FEmptyPanel = Panel(FPanels, l);
  l->addWidget(new QLabel(QMsg(TMsg::SNoProperties), FEmptyPanel));
  l->addStretch(1);

  FFormulaPanel = Panel(FPanels, l);
  l->addWidget(new QLabel(QMsg(TMsg::SAggUserFormula), FFormulaPanel));
  FFormula = new QTextEdit(FFormulaPanel);
  FFormula->setReadOnly(true);
  FFormula->setTabChangesFocus(true);
  l->addWidget(FFormula, 1);
  FEditFormula = new TVTButton(QMsg(TMsg::SAggEditFormula), FFormulaPanel);
  l->addWidget(FEditFormula);
  FWarning = new QLabel(QMsg(TMsg::SAggBadFormula), FFormulaPanel);
  FWarning->setStyleSheet("color: red");
  l->addWidget(FWarning);
  connect(FEditFormula, &QPushButton::clicked, this, [this] { EditFormula(); });

  FFormatPanel = Panel(FPanels, l);
  auto* maskLabel = new QLabel(QMsg(TMsg::SAggFormatMask), FFormatPanel);
  l->addWidget(maskLabel);
  FFormat = new QComboBox(FFormatPanel);
  FFormat->setEditable(true);
  FFormat->setInsertPolicy(QComboBox::NoInsert);
  maskLabel->setBuddy(FFormat);
  l->addWidget(FFormat);
  auto* exampleRow = new QHBoxLayout;
  exampleRow->addWidget(new QLabel(QMsg(TMsg::SAggFormatExample), FFormatPanel));
  FExample = new QLabel(FFormatPanel);
  exampleRow->addWidget(FExample, 1);
  l->addLayout(exampleRow);
  l->addStretch(1);
  connect(FFormat, &QComboBox::editTextChanged, this, [this](const QString& text) {
    FEditor.SetFormatText(text.toStdString());
    FExample->setText(QText(FEditor.Example()));
  });

  FPanels->addWidget(FEmptyPanel);
  FPanels->addWidget(FFormulaPanel);
  FPanels->addWidget(FFormatPanel);
  return right;
}

void TfmAggregates::ShowProperties() {
  using TPanel = TAggregatesEditor::TPanel;
  FButtons[1]->setEnabled(FEditor.CanRemove());
  switch (FEditor.Panel()) {
    case TPanel::paFormula: {
      FFormula->setPlainText(QText(FEditor.FormulaText()));
      const TFormulaHighlight highlight = FEditor.FormulaHighlight();
      ApplyFormulaHighlight(*FFormula, highlight);
      FWarning->setVisible(highlight.HasErrors);
      FPanels->setCurrentWidget(FFormulaPanel);
      break;
    }
    case TPanel::paFormat: {
      const QSignalBlocker block(FFormat);
      FFormat->clear();
      for (const std::string& f : FEditor.FormatChoices()) FFormat->addItem(QText(f));
      FFormat->setEditText(QText(FEditor.FormatText()));
      FExample->setText(QText(FEditor.Example()));
      FPanels->setCurrentWidget(FFormatPanel);
      break;
    }
    default:
      FPanels->setCurrentWidget(FEmptyPanel);
  }
}

void TfmAggregates::AddCalculated() {
  bool ok = false;
  const QString name = QInputDialog::getText(this, QMsg(TMsg::SAggAddCalculated),
                                             QMsg(TMsg::SAggNewName), QLineEdit::Normal,
                                             QMsg(TMsg::SAggDefaultName), &ok);
  if (!ok) return;
  if (TSummaryNode* node = FEditor.AddCalculated(name.toStdString())) {
    FTreeView->SelectNode(node);
    FEditor.Select(node);
    ShowProperties();
  }
}

void TfmAggregates::EditFormula() {
  TSummaryInfo* summary = FEditor.CurrentSummary();
  if (!summary || !summary->IsCalculated()) return;
  std::string text;
  auto parser = qd::EditFormula(FEditor.Settings(), *summary, text, this);
  if (!parser) return;
  FEditor.FormulaEdited(text, std::move(parser));
  ShowProperties();
}

// ---- The function page ----

QWidget* TfmAggregates::FunctionPage() {
  auto* page = new QWidget;
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(HeaderStrip(Msg(TMsg::SAggFunctions), page));
  QWidget* bar = ToolBar(page);
  QToolButton* add = ToolButton(bar, DialogGlyph(TDialogGlyph::dgAdd), TMsg::SAggAddFunction);
  FDeleteFunction = ToolButton(bar, DialogGlyph(TDialogGlyph::dgDelete), TMsg::SAggDeleteFunction);
  QToolButton* all = ToolButton(bar, DialogGlyph(TDialogGlyph::dgCheckAll), TMsg::SSelectAll);
  QToolButton* none = ToolButton(bar, DialogGlyph(TDialogGlyph::dgCheckNone), TMsg::SSelectNone);
  QToolButton* invert = ToolButton(bar, DialogGlyph(TDialogGlyph::dgCheckInvert), TMsg::SSelectInvert);
  for (QToolButton* b : {add, FDeleteFunction, all, none, invert}) bar->layout()->addWidget(b);
  static_cast<QHBoxLayout*>(bar->layout())->addStretch(1);
  column->addWidget(bar);
  FFunctions = new QListWidget(page);
  column->addWidget(FFunctions, 1);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QMsg(TMsg::SAggFunctionName), page));
  FFunctionName = new QLineEdit(page);
  row->addWidget(FFunctionName, 1);
  row->addWidget(new QLabel(QMsg(TMsg::SAggFunctionType), page));
  FFunctionType = new QLabel(page);
  row->addWidget(FFunctionType);
  column->addLayout(row);

  connect(add, &QToolButton::clicked, this, [this] {
    if (FEditor.AddFunction()) FillFunctions();
  });
  connect(FDeleteFunction, &QToolButton::clicked, this, [this] {
    FEditor.DeleteFunction(FFunctions->currentRow());
    FillFunctions();
  });
  connect(all, &QToolButton::clicked, this, [this] {
    FEditor.AllowAll(true);
    FillFunctions();
  });
  connect(none, &QToolButton::clicked, this, [this] {
    FEditor.AllowAll(false);
    FillFunctions();
  });
  connect(invert, &QToolButton::clicked, this, [this] {
    FEditor.InvertAllowed();
    FillFunctions();
  });
  connect(FFunctions, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    if (!FFillingFunctions)
      FEditor.SetAllowed(FFunctions->row(item), item->checkState() == Qt::Checked);
  });
  connect(FFunctions, &QListWidget::currentRowChanged, this, [this](int r) { SelectFunction(r); });
  connect(FFunctionName, &QLineEdit::textEdited, this, [this](const QString& text) {
    const int r = FFunctions->currentRow();
    if (r < 0) return;
    FEditor.RenameFunction(r, text.toStdString());
    const QSignalBlocker block(FFunctions);
    FFunctions->item(r)->setText(text);
  });
  return page;
}

void TfmAggregates::FillFunctions() {
  FFillingFunctions = true;
  const int current = FFunctions->currentRow();
  FFunctions->clear();
  const TFunctionDefs& defs = FEditor.FunctionDefs();
  for (int f = 0; f < defs.Count(); ++f) {
    auto* item = new QListWidgetItem(QText(defs.Items(f).DisplayName), FFunctions);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(defs.Items(f).UserAllowed ? Qt::Checked : Qt::Unchecked);
  }
  FFillingFunctions = false;
  FFunctions->setCurrentRow(std::min(current, defs.Count() - 1));
  SelectFunction(FFunctions->currentRow());
}

void TfmAggregates::SelectFunction(int row) {
  const bool valid = row >= 0 && row < FEditor.FunctionDefs().Count();
  FFunctionName->setEnabled(valid);
  FFunctionName->setText(valid ? QText(FEditor.FunctionDefs().Items(row).DisplayName) : QString());
  FFunctionType->setText(QText(TAggregatesEditor::FunctionTypeName(row)));
  FDeleteFunction->setEnabled(FEditor.CanDeleteFunction(row));
}

void TfmAggregates::ShowPage(bool functions) {
  if (functions && !FDesign) return;
  FPages->setCurrentIndex(functions ? 1 : 0);
}

void TfmAggregates::Accept() {
  if (Guard([this] { FEditor.Ok(); })) accept();
}

bool RunAggregatesDialog(TGridInfo& model, bool functionPage, bool designMode, QWidget* parent) {
  TfmAggregates form(model, designMode, parent);
  form.ShowPage(functionPage);
  return form.exec() == QDialog::Accepted;
}

}  // namespace qd
