#include "view/formula_form.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QSplitter>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "model/formula_parser.h"
#include "view/dialog_parts.h"
#include "view/glyphs.h"
#include "view/message_guard.h"

namespace qd {

namespace {

// Characters (code points) and the UTF-16 units of a QString.
int Utf16Position(const QString& text, int chars) {
  int units = 0;
  for (int c = 0; c < chars && units < text.size(); ++c)
    units += text.at(units).isHighSurrogate() && units + 1 < text.size() ? 2 : 1;
  return units;
}

int CharPosition(const QString& text, int units) {
  int chars = 0;
  for (int u = 0; u < units && u < text.size(); ++chars)
    u += text.at(u).isHighSurrogate() && u + 1 < text.size() ? 2 : 1;
  return chars;
}

QColor ColorOf(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

constexpr int kSummaryRole = Qt::UserRole;
constexpr int kFunctionRole = Qt::UserRole + 1;

}  // namespace

void ApplyFormulaHighlight(QTextEdit& box, const TFormulaHighlight& highlight) {
  const QString text = box.toPlainText();
  QTextCursor all(box.document());
  all.select(QTextCursor::Document);
  QTextCharFormat plain;
  plain.setForeground(Qt::black);
  plain.setFontWeight(QFont::Normal);
  all.setCharFormat(plain);
  for (const THighlightRun& run : highlight.Runs) {
    QTextCursor c(box.document());
    c.setPosition(Utf16Position(text, run.Start));
    c.setPosition(Utf16Position(text, run.Start + run.Length), QTextCursor::KeepAnchor);
    QTextCharFormat f;
    f.setForeground(ColorOf(run.Color));
    f.setFontWeight(run.Bold ? QFont::Bold : QFont::Normal);
    c.setCharFormat(f);
  }
}

TfmFormula::TfmFormula(const TSummarySettings& settings, const TSummaryInfo& item, QWidget* parent)
    : QDialog(parent), FEditor(settings, item) {
  setWindowTitle(QMsg(TMsg::SFormulaCaption));
  resize(520, 420);
  auto* layout = new QVBoxLayout(this);
  auto* splitter = new QSplitter(Qt::Vertical, this);
  auto* group = new QGroupBox(QMsg(TMsg::SFormulaGroup), splitter);
  auto* groupLayout = new QVBoxLayout(group);
  FText = new QTextEdit(group);
  FText->setAcceptRichText(false);
  FText->setLineWrapMode(QTextEdit::WidgetWidth);
  QFont font("Arial");
  font.setPixelSize(13);
  FText->setFont(font);
  FText->setTabChangesFocus(true);
  FText->installEventFilter(this);
  groupLayout->addWidget(FText);
  FTree = new QTreeWidget(splitter);
  FTree->setHeaderHidden(true);
  FTree->installEventFilter(this);
  splitter->addWidget(group);
  splitter->addWidget(FTree);
  layout->addWidget(splitter, 1);
  const TOkCancel buttons = OkCancelRow(*this);
  FOk = buttons.Ok;
  FCancel = buttons.Cancel;
  layout->addLayout(buttons.Row);

  const QIcon summaryIcon(NamedPixmap("SUMMARIES"));
  const QIcon functionIcon(NamedPixmap("AGGREGATIONS"));
  for (int s = 0; s < static_cast<int>(FEditor.Summaries().size()); ++s) {
    auto* top = new QTreeWidgetItem(FTree, {QText(FEditor.Summaries()[static_cast<std::size_t>(s)])});
    top->setIcon(0, summaryIcon);
    top->setData(0, kSummaryRole, s);
    top->setData(0, kFunctionRole, -1);
    for (int f = 0; f < kFormulaFunctionNames; ++f) {
      auto* fn = new QTreeWidgetItem(top, {QText(TFormulaEditor::FunctionName(f))});
      fn->setIcon(0, functionIcon);
      fn->setData(0, kSummaryRole, s);
      fn->setData(0, kFunctionRole, f);
    }
  }
  connect(FTree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { InsertItem(item); });
  connect(FText, &QTextEdit::textChanged, this, [this] { TextChanged(); });
  connect(FOk, &QPushButton::clicked, this, [this] { Accept(); });
  FText->setPlainText(QText(FEditor.Text));
  SetCaret(static_cast<int>(FText->toPlainText().size()));
  FText->setFocus();
}

int TfmFormula::Caret() const {
  return CharPosition(FText->toPlainText(), FText->textCursor().position());
}

void TfmFormula::SetCaret(int caret) {
  QTextCursor c = FText->textCursor();
  c.setPosition(Utf16Position(FText->toPlainText(), caret));
  FText->setTextCursor(c);
}

void TfmFormula::TextChanged() {
  if (FColouring) return;
  FColouring = true;
  const int caret = Caret();
  FEditor.Text = FText->toPlainText().toStdString();
  ApplyFormulaHighlight(*FText, FEditor.Highlight());
  SetCaret(caret);
  FColouring = false;
}

void TfmFormula::InsertItem(QTreeWidgetItem* item) {
  if (!item) return;
  const int caret = FEditor.Insert(Caret(), item->data(0, kSummaryRole).toInt(),
                                   item->data(0, kFunctionRole).toInt());
  FText->setPlainText(QText(FEditor.Text));
  SetCaret(caret);
}

bool TfmFormula::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  if (watched == FText && enter) {
    Accept();  // the formula takes no line breaks: Enter is OK
    return true;
  }
  if (watched == FTree && key->key() == Qt::Key_Space) {
    InsertItem(FTree->currentItem());
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TfmFormula::Accept() {
  FEditor.Text = FText->toPlainText().toStdString();
  if (FEditor.Accept()) {
    accept();
    return;
  }
  FText->setFocus();
  SetCaret(FEditor.ErrorCaret);
  ShowMessage(FEditor.ErrorMessage);
}

std::shared_ptr<TFormulaParser> EditFormula(const TSummarySettings& settings,
                                            const TSummaryInfo& item, std::string& text,
                                            QWidget* parent) {
  TfmFormula form(settings, item, parent);
  if (form.exec() != QDialog::Accepted) return nullptr;
  text = form.Editor().Text;
  return form.Editor().Parser;
}

}  // namespace qd
