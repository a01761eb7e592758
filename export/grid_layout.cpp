#include "export/grid_layout.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

#include "model/grid_info.h"

namespace qd {

namespace {

// First and last line index of the leaves under a label.
void LeafRange(const TLabelNode& node, int& first, int& last) {
  if (node.Children.empty()) {
    first = std::min(first, node.LineIndex);
    last = std::max(last, node.LineIndex);
    return;
  }
  for (const auto& c : node.Children) LeafRange(*c, first, last);
}

bool HasChildren(const TLabelNode& node) {
  return !node.Children.empty();
}

// Header cells a label covers on its own axis: up to its children's column
// when it has children, else to the end of the header.
int HeaderSpan(const TLabelNode& node, int headerEnd) {
  const int end = HasChildren(node) ? node.Children.front()->HeaderColumn : headerEnd;
  return std::max(1, end - node.HeaderColumn);
}

TExportCellKind KindOfLevel(TSubLevelNodeType type) {
  switch (type) {
    case TSubLevelNodeType::ltSummary:
      return TExportCellKind::ekSummary;
    case TSubLevelNodeType::ltFunction:
      return TExportCellKind::ekFunction;
    case TSubLevelNodeType::ltSubFunction:
      return TExportCellKind::ekSubFunction;
  }
  return TExportCellKind::ekSummary;
}

}  // namespace

TGridLayout::TGridLayout(const TGridInfo& grid) {
  if (!grid.IsActive()) return;
  FValid = true;
  FR = grid.RowHeaderWidth();
  FC = grid.ColHeaderHeight();
  FRQ = FR == 0 && FC > 0 ? 1 : 0;
  FCS = static_cast<int>(grid.LowestSubLevelNode()) + 1;
  FRowCount = grid.RowLineCount() + FixedRows();
  FColCount = grid.DataColumnCount() + FixedCols();
  FColumnsPerLine = grid.DataColumnsPerLine();
  PlaceTitles(grid);
  PlaceRowLabels(grid);
  PlaceCaptionNodes(grid);
  PlaceColumnLabels(grid);
}

void TGridLayout::PlaceTitles(const TGridInfo& grid) {
  if (FC > 0)
    for (const TCaptionNode& c : grid.CaptionNodes(1)) {
      TGridLayoutItem item{TExportCellKind::ekDimCaption, 0, c.FirstColumn, FixedCols(), c.Width};
      item.Caption = &c;
      FItems.push_back(item);
    }
  if (FR > 0)
    for (const TCaptionNode& c : grid.CaptionNodes(0)) {
      TGridLayoutItem item{TExportCellKind::ekDimCaption, c.FirstColumn, FC, c.Width, FCS};
      item.Caption = &c;
      FItems.push_back(item);
    }
}

void TGridLayout::PlaceRowLabels(const TGridInfo& grid) {
  if (FR == 0) return;
  std::function<void(const TLabelNodes&)> walk = [&](const TLabelNodes& list) {
    for (const auto& n : list) {
      int first = n->LineIndex, last = n->LineIndex;
      if (HasChildren(*n)) {
        first = grid.RowLineCount();
        last = -1;
        LeafRange(*n, first, last);
      }
      if (first >= 0 && last >= first) {
        TGridLayoutItem item{TExportCellKind::ekLabel, n->HeaderColumn, GridRow(first),
                             HeaderSpan(*n, FixedCols()), last - first + 1};
        item.Label = n.get();
        FItems.push_back(item);
      }
      walk(n->Children);
    }
  };
  walk(grid.RowTree());
}

void TGridLayout::PlaceCaptionNodes(const TGridInfo& grid) {
  // Data columns follow the depth-first order of the caption nodes.
  std::unordered_map<const TSubLevelNode*, int> columnOf;
  const auto& columns = grid.DataColumns();
  for (std::size_t j = 0; j < columns.size(); ++j) columnOf[columns[j]] = static_cast<int>(j);
  std::function<void(const TSubLevelNode&, int&, int&)> range = [&](const TSubLevelNode& n,
                                                                    int& first, int& last) {
    if (const auto it = columnOf.find(&n); it != columnOf.end()) {
      first = std::min(first, it->second);
      last = std::max(last, it->second);
    }
    for (const auto& c : n.Children) range(*c, first, last);
  };
  std::function<void(const TSubLevelNodes&)> place = [&](const TSubLevelNodes& list) {
    for (const auto& n : list) {
      int first = static_cast<int>(columns.size()), last = -1;
      range(*n, first, last);
      if (last >= first) {
        TGridLayoutItem item{KindOfLevel(n->Type), GridCol(first), FC + static_cast<int>(n->Type),
                             last - first + 1, 1};
        item.SubLevel = n.get();
        FItems.push_back(item);
      }
      place(n->Children);
    }
  };
  place(grid.SubLevelNodes());
}

void TGridLayout::PlaceColumnLabels(const TGridInfo& grid) {
  if (FC == 0 || FColumnsPerLine == 0) return;
  std::function<void(const TLabelNodes&)> walk = [&](const TLabelNodes& list) {
    for (const auto& n : list) {
      int first = n->LineIndex, last = n->LineIndex;
      if (HasChildren(*n)) {
        first = grid.ColLineCount();
        last = -1;
        LeafRange(*n, first, last);
      }
      if (first >= 0 && last >= first) {
        TGridLayoutItem item{TExportCellKind::ekLabel, GridCol(first * FColumnsPerLine),
                             n->HeaderColumn, (last - first + 1) * FColumnsPerLine,
                             HeaderSpan(*n, FC)};
        item.Label = n.get();
        FItems.push_back(item);
      }
      walk(n->Children);
    }
  };
  walk(grid.ColTree());
}

}  // namespace qd
