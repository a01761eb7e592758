// The data cells' interactions: drill-through to the fact records of a cell,
// in-place editing, selecting every cell and copying cells to the clipboard.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

#include "engine/data/memo_dataset.h"
#include "export/grid_export_structure.h"
#include "export/xml_export.h"
#include "model/cell_facts.h"
#include "model/grid_info.h"
#include "view/internal_grid.h"
#include "view/message_guard.h"
#include "view/vantra_grid.h"

namespace qd {

namespace {

// Tabs and line breaks inside a cell would break the rows and columns of the
// tab-separated text.
std::string FlatText(std::string text) {
  for (char& ch : text)
    if (ch == '\t' || ch == '\n' || ch == '\r') ch = ' ';
  return text;
}

}  // namespace

// ---- Fact records of a cell ----

void TInternalGrid::ShowCellFacts(int dataCol, int dataRow) {
  if (!FValid || dataCol < 0 || dataRow < 0 || !FModel.FactTableEditor) return;
  if (FControl.Editable) {
    FModel.EditCellFacts(dataRow, dataCol);
    return;
  }
  // Without Editable the records are only shown.
  std::unique_ptr<TvtMemoDataSet> records = FModel.GetCellFacts(dataRow, dataCol);
  if (!records || records->Count() == 0) return;
  for (int i = 0; i < records->FieldCount(); ++i) records->Fields(i).SetReadOnly(true);
  FModel.FactTableEditor->Execute(*records);
}

void TInternalGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  TCustomInternalGrid::mouseDoubleClickEvent(event);
  SyncWithModel();
  if (event->button() != Qt::LeftButton || !FValid || Sizing()) return;
  const QPoint pos = event->position().toPoint();
  if (RegionAt(pos) != TGridRegion::grData) return;
  const TGridCoord cell = MouseCoord(pos.x(), pos.y());
  // The editor is modal: the press of the double click ends here.
  CancelMouseMode();
  HideHover();
  Guard([&] { ShowCellFacts(cell.X - FixedCols(), cell.Y - FixedRows()); });
}

void TInternalGrid::CommitEditorText(int col, int row, const std::string& text) {
  const int dataCol = col - FixedCols(), dataRow = row - FixedRows();
  if (!FValid || dataCol < 0 || dataRow < 0 || !FControl.OnSetEditText) return;
  int s = 0, f = 0, sf = 0;
  if (!FModel.GetColumnSubLevel(dataCol, s, f, sf)) return;
  TSummaryInfo& info = FModel.SummarySettings().Items(s);
  if (info.IsCalculated()) return;
  std::unique_ptr<TvtMemoDataSet> records = FModel.GetCellFacts(dataRow, dataCol);
  if (!records) return;
  bool recalculate = false;
  FControl.OnSetEditText(*this, dataCol, dataRow, *records, info, text, recalculate);
  if (recalculate) FModel.WriteCellFacts(dataCol, *records);
}

// ---- Selection and clipboard ----

void TInternalGrid::SelectAllCells() {
  if (!FValid) return;
  SetSelection({FixedCols(), FixedRows()}, {ColCount() - 1, RowCount() - 1});
  FUserSelection = true;
}

QRect TInternalGrid::SelectedRange() const {
  const QRect all(QPoint(FixedCols(), FixedRows()), QPoint(ColCount() - 1, RowCount() - 1));
  const QRect sel = Selection();
  // Nothing chosen, or every data cell: the whole grid with its headers.
  if (!FUserSelection || sel == all) return QRect(QPoint(0, 0), all.bottomRight());
  return sel;
}

std::string TInternalGrid::CopiedText(const TGridExportCell& cell, int col, int row) const {
  // Data cells as painted, with the grid's own number format.
  return cell.Kind == TExportCellKind::ekData ? CellText(col - FixedCols(), row - FixedRows())
                                              : ExportCellText(FModel, cell);
}

std::string TInternalGrid::SelectionText() const {
  if (!FValid) return {};
  auto snapshot = BuildGridExportStructure(FModel);
  if (!snapshot) return {};
  const QRect range = SelectedRange();
  std::string out;
  for (int r = range.top(); r <= range.bottom(); ++r) {
    for (int c = range.left(); c <= range.right(); ++c) {
      if (c > range.left()) out += '\t';
      out += FlatText(CopiedText(snapshot->Cell(c, r), c, r));
    }
    out += '\n';
  }
  return out;
}

std::string TInternalGrid::SelectionHtml() const {
  if (!FValid) return {};
  auto snapshot = BuildGridExportStructure(FModel);
  if (!snapshot) return {};
  const QRect range = SelectedRange();
  const int width = range.width(), height = range.height();
  // Cells inside a spanning item that starts elsewhere are left out.
  std::vector<char> covered(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  auto at = [&](int c, int r) -> char& {
    return covered[static_cast<std::size_t>(r - range.top()) * static_cast<std::size_t>(width) +
                   static_cast<std::size_t>(c - range.left())];
  };
  std::string out =
      "<html><head><meta charset=\"utf-8\"></head><body><table border=\"1\" "
      "cellspacing=\"0\">\n";
  for (int r = range.top(); r <= range.bottom(); ++r) {
    out += "<tr>";
    for (int c = range.left(); c <= range.right(); ++c) {
      if (at(c, r)) continue;
      const TGridExportCell& cell = snapshot->Cell(c, r);
      const int cs = std::clamp(cell.ColSpan, 1, range.right() - c + 1);
      const int rs = std::clamp(cell.RowSpan, 1, range.bottom() - r + 1);
      for (int y = r; y < r + rs; ++y)
        for (int x = c; x < c + cs; ++x) at(x, y) = 1;
      const bool data = cell.Kind == TExportCellKind::ekData;
      out += data ? "<td align=\"right\"" : "<th";
      if (cs > 1) out += " colspan=\"" + std::to_string(cs) + "\"";
      if (rs > 1) out += " rowspan=\"" + std::to_string(rs) + "\"";
      out += ">";
      out += XmlEscape(CopiedText(cell, c, r));
      out += data ? "</td>" : "</th>";
    }
    out += "</tr>\n";
  }
  out += "</table></body></html>\n";
  return out;
}

void TInternalGrid::CopyToClipboard() const {
  if (!FValid) return;
  auto* mime = new QMimeData;
  mime->setText(QString::fromStdString(SelectionText()));
  mime->setHtml(QString::fromStdString(SelectionHtml()));
  QApplication::clipboard()->setMimeData(mime);
}

// ---- Keys ----

void TInternalGrid::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    Guard([this] { CopyToClipboard(); });
  } else if (event->matches(QKeySequence::SelectAll)) {
    SelectAllCells();
  } else if (event->key() == Qt::Key_Menu ||
             (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
    Guard([this] { OpenKeyboardMenu(); });
  } else {
    const TGridCoord before = Current();
    TCustomInternalGrid::keyPressEvent(event);
    if (!(Current() == before)) FUserSelection = true;
    return;
  }
  event->accept();
}

}  // namespace qd
