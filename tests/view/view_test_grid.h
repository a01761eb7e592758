// The pivot grid control over a small in-memory cube: Region and Product
// (Fruit > Apple, Pear; Veg > Kale) on rows, Year on columns, Channel on the
// page axis, two summaries.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "qt_test_app.h"
#include "tests/model/grid_test_cube.h"
#include "view/internal_grid.h"
#include "view/vantra_grid.h"

namespace qd::test {

constexpr int kRegion = 0, kProduct = 1, kYear = 2, kChannel = 3;

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
