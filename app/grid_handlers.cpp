#include "app/grid_handlers.h"

#include "engine/core/text_helpers.h"
#include "model/grid_info.h"
#include "model/member_order.h"
#include "view/vantra_grid.h"

namespace qd {

QColor LabelFontColor(const TLabelNode& label, const QColor& normal) {
  if (label.IsTotal()) return kTotalLabelColor;
  if (label.HasButton()) return kExpandableLabelColor;
  return normal;
}

int CompareMonthsAndYears(const TDimensionState& state, int node1, int node2) {
  const std::string field = Lower(GetFieldName(state));
  if (field == "month") return CompareMonthNames(state, node1, node2);
  if (field == "year") return CompareCaptions(state, node1, node2);
  return 0;
}

void WireGridHandlers(TVantraGrid& grid) {
  grid.OnDrawDataCell = [](TCustomVantraGrid& sender, int col, int row, std::string&, TCellFont&,
                           QColor& color, TGridDrawState state) {
    // A selected cell keeps the selection's colour.
    if (state.Selected && !state.Focused) return;
    const TGridInfo& model = sender.Model();
    const TLabelNode* column = model.GetColumnLine(col);
    const TLabelNode* line = model.GetRowLine(row);
    if ((column && column->IsTotal()) || (line && line->IsTotal())) color = kTotalCellColor;
  };
  grid.OnDrawLabelCell = [](TCustomVantraGrid&, std::string&, TCellFont& font, QColor&,
                            const TLabelNode& label) {
    font.Color = LabelFontColor(label, font.Color);
  };
  grid.OnCompareDimensionMembers = CompareMonthsAndYears;
  grid.OnEditFactTable = [](TCustomVantraGrid&, TDataSet&, bool& accept) { accept = true; };
}

}  // namespace qd
