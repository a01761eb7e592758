#include "view/attribute_window.h"

#include <QPlainTextEdit>
#include <QTextDocument>
#include <QVBoxLayout>

#include "engine/core/format.h"
#include "engine/core/messages.h"

namespace qd {

std::vector<std::string> AttributeLines(const std::vector<std::string>& names,
                                        const std::vector<std::string>& values) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < names.size() && i < values.size(); ++i)
    out.push_back(Format(Msg(TMsg::SAttributeLine), names[i], values[i]));
  return out;
}

TAttributeWindow::TAttributeWindow(QWidget* parent)
    : QFrame(parent, Qt::ToolTip | Qt::FramelessWindowHint) {
  resize(200, 100);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  FText = new QPlainTextEdit(this);
  FText->setReadOnly(true);
  FText->setFrameShape(QFrame::NoFrame);
  FText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  FText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  FText->setFocusPolicy(Qt::NoFocus);
  FText->document()->setDocumentMargin(3);
  QPalette pal = FText->palette();
  pal.setColor(QPalette::Base, pal.color(QPalette::ToolTipBase));
  pal.setColor(QPalette::Text, pal.color(QPalette::ToolTipText));
  FText->setPalette(pal);
  layout->addWidget(FText);
}

void TAttributeWindow::ShowLines(const std::vector<std::string>& lines, QPoint globalPos) {
  QStringList text;
  const QFontMetrics fm(FText->font());
  int widest = 0;
  for (const std::string& line : lines) {
    text << QString::fromStdString(line);
    widest = std::max(widest, fm.horizontalAdvance(text.back()));
  }
  FText->setPlainText(text.join('\n'));
  resize(widest + 30, static_cast<int>(lines.size()) * fm.height() + 10);
  move(globalPos);
  show();
}

std::string TAttributeWindow::Text() const {
  return FText->toPlainText().toStdString();
}

}  // namespace qd
