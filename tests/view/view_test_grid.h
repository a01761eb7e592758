// The pivot grid control over a small in-memory cube: Region and Product
// (Fruit > Apple, Pear; Veg > Kale) on rows, Year on columns, Channel on the
// page axis, two summaries.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <memory>

#include "qt_test_app.h"
#include "tests/model/grid_test_cube.h"
#include "view/internal_grid.h"
#include "view/pivot_panels.h"
#include "view/vantra_grid.h"

namespace qd::test {

constexpr int kRegion = 0, kProduct = 1, kYear = 2, kChannel = 3;

//! The display names of an area's panels in order.
inline std::vector<std::string> Names(const TPivotPanel& area) {
  std::vector<std::string> out;
  for (const TDimPivotPanel* p : area.Panels()) out.push_back(p->DisplayName());
  return out;
}

// Drops `panel` on `area` at `inner` (the area's panel coordinates) through
// the events a drag delivers, carrying the MIME data of the panel's own drag.
// False when the area refused the drag.
inline bool DropPanel(TDimPivotPanel& panel, TPivotPanel& area, QPoint inner) {
  std::unique_ptr<QDrag> drag(panel.CreateDrag());
  const QPoint at = area.Inner()->mapTo(&area, inner);
  QDragEnterEvent enter(at, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&area, &enter);
  if (!enter.isAccepted()) return false;
  QDragMoveEvent move(at, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&area, &move);
  QDropEvent drop(QPointF(at), Qt::MoveAction, drag->mimeData(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&area, &drop);
  return drop.isAccepted();
}

class ViewGrid : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    AddSampleSales(cube);
    cube.Activate();
    control = std::make_unique<TVantraGrid>();
    control->resize(900, 600);
    control->show();  // lays the parts out (offscreen)
    control->Model().SetCube(&cube);
    Drain();
  }
  void Drain() { control->ProcessModelNotifications(); }
  TGridInfo& Model() { return control->Model(); }
  TInternalGrid& Grid() { return control->InternalGrid(); }
  //! The top-level row label of a member caption.
  TLabelNode* RowLabel(const std::string& caption) {
    for (const auto& n : Model().RowTree())
      if (Model().GetNodeCaption(*n) == caption) return n.get();
    return nullptr;
  }

  TTestCube cube;
  std::unique_ptr<TVantraGrid> control;
};

}  // namespace qd::test
