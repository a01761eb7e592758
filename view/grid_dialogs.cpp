#include "view/grid_dialogs.h"

#include <QMenu>
#include <QShortcut>

#include "view/aggregates_form.h"
#include "view/dialog_parts.h"
#include "view/dim_map_form.h"
#include "view/dim_values_form.h"
#include "view/icons_form.h"
#include "view/internal_grid.h"
#include "view/message_guard.h"
#include "view/pivot_panels.h"
#include "view/vantra_grid.h"

namespace qd {

namespace {

bool CubeOpen(TCustomVantraGrid& grid) {
  return grid.Vantra() && grid.Vantra()->Active() && grid.Model().IsActive();
}

// A key that does what a click on a visible tool-strip button does.
void ButtonKey(TCustomVantraGrid& grid, const char* keys, QToolButton* button) {
  auto* shortcut = new QShortcut(QKeySequence(keys), &grid);
  shortcut->setContext(Qt::WidgetWithChildrenShortcut);
  QObject::connect(shortcut, &QShortcut::activated, button, [button] {
    if (!button->isHidden()) button->click();
  });
}

}  // namespace

void OpenDimensionMapDialog(TCustomVantraGrid& grid) {
  RunDimMapDialog(grid.Model(), &grid);
}

void OpenSummariesDialog(TCustomVantraGrid& grid) {
  RunAggregatesDialog(grid.Model(), false, grid.DesignMode, &grid);
}

TfmIcons* OpenPivotStatesMenu(TCustomVantraGrid& grid) {
  auto* menu = new TfmIcons(grid.Model(), &grid);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  // Saving needs a laid-out grid.
  menu->AskName = [&grid, menu] {
    return grid.InternalGrid().LayoutValid() ? AskPivotStateName(menu) : std::string();
  };
  menu->Popup(grid.ToolStrip().mapToGlobal(QPoint(43, 21)));
  return menu;
}

void OpenDimensionMembersDialog(TCustomVantraGrid& grid, TDimensionState& state, QPoint at) {
  RunDimValuesDialog(grid.Model(), state, at, &grid);
}

void ChooseDimensionMembers(TCustomVantraGrid& grid) {
  if (!CubeOpen(grid)) return;
  TGridInfo& model = grid.Model();
  QMenu menu(&grid);
  menu.setTitle(QMsg(TMsg::SChooseDimension));
  for (TDimGroup g : {TDimGroup::dgRow, TDimGroup::dgCol, TDimGroup::dgPage}) {
    if (!menu.isEmpty() && !model.AxisDims(g).empty()) menu.addSeparator();
    for (int d : model.AxisDims(g)) {
      const TDimensionState& s = model.DimensionState(d);
      menu.addAction(QText(s.DisplayName.empty() ? model.GetDimName(d) : s.DisplayName))
          ->setData(d);
    }
  }
  if (menu.isEmpty()) return;
  const QPoint at = grid.ToolStrip().mapToGlobal(QPoint(3, 21));
  QAction* chosen = menu.exec(at);
  if (!chosen || !CubeOpen(grid)) return;
  const int d = chosen->data().toInt();
  if (d < 0 || d >= model.DimensionStateCount()) return;
  if (grid.OnDimensionMembersDialog) grid.OnDimensionMembersDialog(grid, model.DimensionState(d), at);
}

void InstallGridDialogs(TCustomVantraGrid& grid) {
  grid.OnDimensionMapDialog = OpenDimensionMapDialog;
  grid.OnSummariesDialog = OpenSummariesDialog;
  grid.OnPivotStatesMenu = [](TCustomVantraGrid& g) { OpenPivotStatesMenu(g); };
  grid.OnDimensionMembersDialog = OpenDimensionMembersDialog;
  TAggPanel& strip = grid.ToolStrip();
  ButtonKey(grid, "Ctrl+Shift+D", strip.DimensionMapButton());
  ButtonKey(grid, "Ctrl+Shift+S", strip.SummariesButton());
  ButtonKey(grid, "Ctrl+Shift+P", strip.StatesButton());
  auto* members = new QShortcut(QKeySequence("Ctrl+Shift+M"), &grid);
  members->setContext(Qt::WidgetWithChildrenShortcut);
  QObject::connect(members, &QShortcut::activated, &grid,
                   [&grid] { Guard([&grid] { ChooseDimensionMembers(grid); }); });
}

}  // namespace qd
