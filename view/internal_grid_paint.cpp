// Painting of the internal grid: dimension titles, member labels, caption
// nodes and data cells, each header item once as a merged rectangle.
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "engine/core/messages.h"
#include "model/cell_evidence.h"
#include "model/format_mask.h"
#include "model/grid_info.h"
#include "view/glyphs.h"
#include "view/internal_grid.h"
#include "view/text_lines.h"
#include "view/vantra_grid.h"
#include "view/xp_paint.h"

namespace qd {

namespace {

QRect ToQRect(const TGridRect& r) {
  return QRect(QPoint(r.Left, r.Top), QPoint(r.Right, r.Bottom));
}

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

std::string Trimmed(const std::string& s) {
  return Q(s).trimmed().toStdString();
}

Qt::Alignment AlignmentOf(TAlignment a) {
  switch (a) {
    case TAlignment::taLeftJustify:
      return Qt::AlignLeft;
    case TAlignment::taCenter:
      return Qt::AlignHCenter;
    default:
      return Qt::AlignRight;
  }
}

}  // namespace

void TInternalGrid::PaintHeaderBackground(QPainter& p, const QRect& r, const QColor& c) {
  if (FLook.VisualStyle == TvtVisualStyle::vsXP)
    PaintXPBackground(p, r, c);
  else
    p.fillRect(r, c);
  PaintEdge(p, r, true);
}

void TInternalGrid::PaintButton(QPainter& p, const TGridButton& b, int glyph, bool on) {
  const QRect r = ToQRect(b.Rect);
  p.drawPixmap(r.topLeft(), GlyphPixmap(static_cast<TGlyph>(glyph)));
  if (on)
    PaintEdge(p, r, false);
  else if (&b == FHotButton)
    PaintEdge(p, r, true);
}

void TInternalGrid::PaintLabel(QPainter& p, const TLabelNode& node, const QRect& r,
                               const QRect& shown) {
  std::string text = Trimmed(FModel.GetNodeCaption(node));
  TCellFont font{FLook.LabelFont, palette().color(QPalette::WindowText)};
  QColor color = node.IsTotal() ? FLook.LabelSumColor : FLook.LabelColor;
  if (FControl.OnDrawLabelCell) FControl.OnDrawLabelCell(FControl, text, font, color, node);
  PaintHeaderBackground(p, r, color);
  int textLeft = shown.left();
  if (node.NextDimButton) {
    PaintButton(p, *node.NextDimButton, node.IsExpanded() ? 3 : 4, node.IsExpanded());
    textLeft += 17;
  }
  if (node.HierarchyButton) {
    const bool group = node.State && node.Member >= 0 && node.State->IsGroupNode(node.Member);
    const int glyph = group ? 10 : node.ExpandedIntoHierarchy ? 5 : 6;
    PaintButton(p, *node.HierarchyButton, glyph, node.ExpandedIntoHierarchy);
    textLeft += 17;
  }
  p.setFont(font.Font);
  p.setPen(font.Color);
  const QFontMetrics fm(font.Font);
  const int h = fm.height();
  const int gap = (DefaultRowHeight() - h) / 2;
  const QRect tr(QPoint(textLeft + 2, shown.top() + 2 + 1), QPoint(r.right() - 2, r.bottom() - 1));
  if (tr.height() < 2 * h + gap) {
    p.drawText(tr, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, Q(text));
    return;
  }
  const auto lines = WrapWords(text, tr.width(),
                               [&fm](const std::string& s) { return fm.horizontalAdvance(Q(s)); });
  int y = tr.top();
  for (const auto& line : lines) {
    if (y + h > tr.bottom() + 1) break;
    p.drawText(QRect(tr.left(), y, tr.width(), h), Qt::AlignLeft | Qt::AlignTop, Q(line));
    y += h + gap;
  }
}

void TInternalGrid::PaintTitle(QPainter& p, const TCaptionNode& node, const QRect& r,
                               bool columnTitle) {
  std::string text = node.State ? node.State->DisplayName : std::string();
  if (text.empty()) text = FModel.GetDimName(node.DimIndex);
  TCellFont font{FLook.CaptionFont, palette().color(QPalette::WindowText)};
  QColor color = FLook.CaptionColor;
  if (FControl.OnDrawCaptionCell && node.State)
    FControl.OnDrawCaptionCell(FControl, text, font, color, *node.State);
  PaintHeaderBackground(p, r, color);
  p.setFont(font.Font);
  p.setPen(font.Color);
  const QPixmap& icon = IconPixmap(11);
  if (columnTitle) {
    p.drawPixmap(r.right() - 17, r.top() + 2, icon);
    const QRect tr(QPoint(r.left() + 2, r.top() + 1), QPoint(r.right() - 19, r.bottom() - 1));
    p.drawText(tr, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, Q(text));
  } else {
    p.drawPixmap(r.left() + 2, r.top() + 2, icon);
    const QRect tr(QPoint(r.left() + 20, r.top() + 1), QPoint(r.right() - 2, r.bottom() - 1));
    p.drawText(tr, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Q(text));
  }
}

void TInternalGrid::PaintSubLevel(QPainter& p, const TSubLevelNode& node, const QRect& r) {
  PaintHeaderBackground(p, r, FLook.LabelColor);
  std::string text;
  int icon = 9;
  const TSummaryInfo* summary = node.Summary;
  switch (node.Type) {
    case TSubLevelNodeType::ltSummary:
      if (summary) text = summary->DisplayName.empty() ? summary->FieldName : summary->DisplayName;
      break;
    case TSubLevelNodeType::ltFunction:
      icon = 10;
      if (summary && summary->IsCalculated())
        text = Msg(TMsg::SCaptionCalculated);
      else if (node.FunctionIndex < FModel.FunctionDefs().Count())
        text = FModel.FunctionDefs().Items(node.FunctionIndex).DisplayName;
      else
        text = FunctionDisplayName(node.FunctionIndex);
      break;
    case TSubLevelNodeType::ltSubFunction:
      icon = node.SubFunctionIndex;
      text = SubFunctionDisplayName(node.SubFunctionIndex);
      break;
  }
  p.setFont(FLook.LabelFont);
  p.setPen(palette().color(QPalette::WindowText));
  const QFontMetrics fm(FLook.LabelFont);
  const int width = fm.horizontalAdvance(Q(text));
  const int left = std::max(r.left() + 2, r.left() + (r.width() - width - 18) / 2);
  p.drawPixmap(left, r.top() + 2, IconPixmap(icon));
  p.save();
  p.setClipRect(r.adjusted(1, 1, -1, -1), Qt::IntersectClip);
  p.drawText(QRect(left + 18, r.top() + 1, r.right() - left - 18, std::max(18, fm.height())),
             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Q(text));
  p.restore();
  // The sub-function header the rows are sorted by carries the sort glyph.
  const TValueSortData& sort = FModel.ValueSortData();
  if (node.Type == TSubLevelNodeType::ltSubFunction && sort.Active()) {
    const int col = FModel.FindValueSortColumn();
    const auto& columns = FModel.DataColumns();
    if (col >= 0 && col < static_cast<int>(columns.size()) &&
        columns[static_cast<std::size_t>(col)] == &node) {
      const QRect g(r.right() - 17, r.bottom() - 17, 15, 15);
      p.drawPixmap(g.topLeft(),
                   GlyphPixmap(sort.State == 0 ? TGlyph::vtSortingUp : TGlyph::vtSortingDown));
      PaintEdge(p, g, false);
    }
  }
}

void TInternalGrid::PaintItem(QPainter& p, const TGridLayoutItem& item, const QRect& r) {
  if (item.Label)
    PaintLabel(p, *item.Label, r, ShownPart(item, r));
  else if (item.Caption)
    PaintTitle(p, *item.Caption, r,
               item.Caption->State && item.Caption->State->Group == TDimGroup::dgCol);
  else if (item.SubLevel)
    PaintSubLevel(p, *item.SubLevel, r);
}

void TInternalGrid::PaintData(QPainter& p, const QRect& clip) {
  const int fixedW = FixedWidth(), fixedH = FixedHeight();
  const QRect area(QPoint(fixedW, fixedH), clip.bottomRight());
  if (FModel.SubLevelNodes().empty()) {
    p.fillRect(area.intersected(clip), FLook.BackgroundColor);
    return;
  }
  const QRect sel = Selection();
  const bool hasFocus = this->hasFocus();
  const int lw = GridLineWidth();
  const int w = viewport()->width(), h = viewport()->height();
  const TColoredCells& hints = FModel.ColoredCells();
  const bool hint = FLook.ShowColorHint && FColorHintActive && !hints.Empty();
  for (int row = TopRow(); row < RowCount(); ++row) {
    const int top = RowTop(row);
    if (top >= h) break;
    const int rh = RowHeight(row);
    if (top + rh < clip.top()) continue;
    for (int col = LeftCol(); col < ColCount(); ++col) {
      const int left = ColLeft(col);
      if (left >= w) break;
      const int cw = ColWidth(col);
      const QRect cell(left, top, cw, rh);
      TGridDrawState state;
      state.Focused = hasFocus && Current() == TGridCoord{col, row};
      state.Selected = sel.contains(col, row);
      TCellFont font{FLook.DataFont, palette().color(QPalette::WindowText)};
      QColor brush = FLook.DataColor;
      if (state.Selected && !state.Focused) {
        brush = palette().color(QPalette::Highlight);
        font.Color = palette().color(QPalette::HighlightedText);
      }
      const int dataCol = col - FixedCols(), dataRow = row - FixedRows();
      std::string text = CellText(dataCol, dataRow);
      if (hint && hints.Contains(dataCol, dataRow)) {
        const TCellValue v = FModel.GetCellValue(dataRow, dataCol);
        if (v.HasValue) {
          const QColor c = ColorHintColor(v.Value, hints.Minimum, hints.Maximum, FLook.ColorSchema);
          if (c != QColor(Qt::black) || FLook.DataColor == QColor(Qt::black)) brush = c;
        }
      }
      if (FControl.OnDrawDataCell)
        FControl.OnDrawDataCell(FControl, dataCol, dataRow, text, font, brush, state);
      QColor mark;
      if (FControl.OnMarkDataCell && !(state.Selected && !state.Focused) &&
          FControl.OnMarkDataCell(dataCol, dataRow, mark, nullptr))
        brush = mark;
      p.fillRect(cell, brush);
      if (lw > 0) {
        p.setPen(QPen(FLook.GridLineColor, lw));
        p.drawLine(left + cw, top, left + cw, top + rh);
        p.drawLine(left, top + rh, left + cw, top + rh);
      }
      int s = 0, f = 0, sf = 0;
      Qt::Alignment align = Qt::AlignRight;
      if (FModel.GetColumnSubLevel(dataCol, s, f, sf) && s < FModel.SummarySettings().Count())
        align =
            AlignmentOf(FModel.SummarySettings().Items(s).Function(f).SubFunction(sf).Alignment);
      p.setFont(font.Font);
      p.setPen(font.Color);
      p.drawText(cell.adjusted(2, 0, -2, 0), align | Qt::AlignVCenter | Qt::TextSingleLine,
                 Q(text));
      if (CellLowCount(FModel, dataRow, dataCol)) PaintLowCountMark(p, cell);
      if (state.Focused) {
        QStyleOptionFocusRect o;
        o.rect = cell;
        o.palette = palette();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, &p, this);
      }
    }
  }
}

// A value resting on too few facts: a small triangle in the cell's top left
// corner (the tooltip says how few).
void TInternalGrid::PaintLowCountMark(QPainter& p, const QRect& cell) {
  const int side = std::min({6, cell.width() / 2, cell.height() / 2});
  if (side < 2) return;
  const QPoint corner = cell.topLeft() + QPoint(1, 1);
  const QPoint points[3] = {corner, corner + QPoint(side, 0), corner + QPoint(0, side)};
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(kLowCountMarkColor);
  p.drawPolygon(points, 3);
  p.restore();
}

void TInternalGrid::PaintCells(QPainter& p, const QRect& clip) {
  if (!FValid || LayoutStale()) {
    // A stale layout is rebuilt by the notification on its way; until then
    // the grid shows its background.
    FPaintSkipped = FValid;
    p.fillRect(clip, FLook.BackgroundColor);
    return;
  }
  ComputeGeometry();
  const int fixedW = FixedWidth(), fixedH = FixedHeight();
  const int w = viewport()->width(), h = viewport()->height();
  const QRect corner(0, 0, fixedW, fixedH);
  const QRect colBand(fixedW, 0, std::max(0, w - fixedW), fixedH);
  const QRect rowBand(0, fixedH, fixedW, std::max(0, h - fixedH));
  p.fillRect(clip, FLook.BackgroundColor);
  p.fillRect(corner.intersected(clip), FLook.CaptionColor);
  for (const TGridLayoutItem& item : FLayout.HeaderItems()) {
    if (!ItemVisible(item)) continue;
    const QRect r = ItemRect(item);
    const bool inFixedCols = item.Col < FixedCols();
    const bool inFixedRows = item.Row < FixedRows();
    const QRect band = inFixedCols && inFixedRows ? corner : inFixedRows ? colBand : rowBand;
    const QRect visible = band.intersected(clip);
    if (!visible.intersects(r)) continue;
    p.save();
    p.setClipRect(visible);
    PaintItem(p, item, r);
    p.restore();
  }
  p.save();
  p.setClipRect(QRect(fixedW, fixedH, w - fixedW, h - fixedH).intersected(clip));
  PaintData(p, clip);
  p.restore();
}

}  // namespace qd
