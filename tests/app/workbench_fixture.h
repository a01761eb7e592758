// The main window as the window tests meet it: shown at 1200 × 800 with the
// first built-in cube of the demo database open in the grid.
#pragma once

#include <QTreeWidgetItem>

#include "app/data_module.h"
#include "app/workbench.h"
#include "view/vantra_grid.h"

namespace qd::test {

//! Shows the window and opens its first built-in cube; false when the
//! catalog does not list it.
inline bool ShowFirstBuiltinCube(TWorkbench& wb) {
  wb.Form->resize(1200, 800);
  wb.Form->show();
  wb.Form->FormActivate();
  QTreeWidgetItem* node = wb.Form->FindNode({"内部Cube", wb.DataModule->DBCubes[0].Name});
  if (!node) return false;
  wb.Form->MainTreeView().setCurrentItem(node);
  wb.Form->Grid().ProcessModelNotifications();
  return true;
}

}  // namespace qd::test
