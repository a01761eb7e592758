#include "view/grid_helper_form.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "model/grid_info.h"

namespace qd {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The deepest label of the dimension on a line's path, nullptr when the line
// sums over the dimension.
const TLabelNode* LabelOf(const TLabelNode* line, int dim) {
  for (const TLabelNode* n = line; n; n = n->Parent)
    if (n->DimIndex == dim) return n;
  return nullptr;
}

}  // namespace

std::vector<std::string> CellDetailLines(TGridInfo& grid, int column, int row) {
  std::vector<std::string> lines;
  const TLabelNode* rowLine = grid.GetRowLine(row);
  const TLabelNode* colLine = grid.GetColumnLine(column);
  for (const auto& [dims, line] : {std::pair{&grid.RowDims(), rowLine},
                                   std::pair{&grid.ColDims(), colLine}})
    for (int d : *dims) {
      const TLabelNode* n = LabelOf(line, d);
      lines.push_back(grid.DimensionState(d).DisplayName + ": " +
                      (n && !n->IsTotal() ? grid.GetNodeCaption(*n) : std::string("SubTotal")));
    }
  lines.emplace_back(" ");
  int s = 0, f = 0, sf = 0;
  grid.GetColumnSubLevel(column, s, f, sf);
  const TFunctionDefs& defs = grid.FunctionDefs();
  lines.push_back("Summary: " + grid.SummarySettings().Items(s).DisplayName);
  lines.push_back("Function: " +
                  (f < defs.Count() ? defs.Items(f).DisplayName : FunctionDisplayName(f)));
  lines.push_back("Subfunction: " + SubFunctionDisplayName(sf));
  const TCellValue v = grid.GetCellValue(row, column);
  lines.push_back("Value: " + (v.HasValue ? FormatGeneral(v.Value) : std::string()));
  return lines;
}

bool MergeDetailLines(std::vector<std::string>& shown, const std::vector<std::string>& fresh) {
  bool changed = false;
  for (std::size_t i = 0; i < fresh.size(); ++i) {
    if (i < shown.size()) {
      if (shown[i] == fresh[i]) continue;
      shown[i] = fresh[i];
    } else {
      shown.push_back(fresh[i]);
    }
    changed = true;
  }
  return changed;
}

TfmGridHelper::TfmGridHelper(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), FMemo(new QPlainTextEdit(this)) {
  setWindowTitle(Q(Msg(TMsg::SGridHelperCaption)));
  resize(200, 205);
  FMemo->setReadOnly(true);
  FMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(FMemo);
}

void TfmGridHelper::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FormShow();
}

void TfmGridHelper::FormShow() {
  FMemo->setPlainText(Q(Msg(TMsg::SGridHelperHint)));
  setWindowOpacity(200.0 / 255.0);
}

std::vector<std::string> TfmGridHelper::Lines() const {
  std::vector<std::string> lines;
  for (const QString& l : FMemo->toPlainText().split(QLatin1Char('\n')))
    lines.push_back(l.toStdString());
  return lines;
}

void TfmGridHelper::ShowCell(TGridInfo& grid, int column, int row) {
  std::vector<std::string> shown = Lines();
  if (MergeDetailLines(shown, CellDetailLines(grid, column, row))) {
    QString text;
    for (std::size_t i = 0; i < shown.size(); ++i)
      text += (i ? QStringLiteral("\n") : QString()) + Q(shown[i]);
    FMemo->setPlainText(text);
  }
}

}  // namespace qd
