// "与另一Cube比较…" of the main window: opens a second cube file, holds it
// against the shown cube (model/cube_comparison.h) and colours the grid's
// changed cells, green where the shown value is higher, red where it is
// lower, blue where only one of the cubes has a value; the cell's tooltip
// holds both values and their difference. The comparison follows every
// layout change of the grid and ends with "取消比较" or when another cube is
// bound to the grid.
#pragma once

#include <QColor>
#include <functional>
#include <memory>
#include <string>

#include "model/grid_info.h"

class QAction;
class QMenu;

namespace qd {

class TCubeComparison;
class TVantra;
class TVantraGrid;
class TVantraGridCube;

inline const QColor kCompareHigherColor{0xC6, 0xEF, 0xCE};
inline const QColor kCompareLowerColor{0xFF, 0xC7, 0xCE};
inline const QColor kCompareOneSidedColor{0xC9, 0xDA, 0xF8};

class TCompareCommands : public TGridListener {
 public:
  explicit TCompareCommands(TVantraGrid& grid);
  ~TCompareCommands() override;

  //! Adds "与另一Cube比较…" and "取消比较" to the menu.
  void BuildMenu(QMenu& menu);
  //! Compares the shown cube with the cube file `fileName`; a file that does
  //! not open is reported and the comparison in force stays.
  void CompareWith(const std::string& fileName);
  //! Ends the comparison: the grid loses its colours.
  void CancelCompare();
  //! The comparison in force; nullptr when none.
  TCubeComparison* Comparison() const { return FComparison.get(); }

  //! The file dialog; tests replace it (empty is Cancel).
  std::function<std::string()> ChooseFile;
  //! Shows the comparison's one-line summary (the status bar); empty clears it.
  std::function<void(const std::string&)> ShowStatus;

  void GridInfoChanged(TGridInfo& model, TChangeKind kind) override;

 private:
  void MenuClick();
  void Realign();
  void UpdateActions();

  TVantraGrid& FGrid;
  std::unique_ptr<TVantra> FOtherCube;
  std::unique_ptr<TVantraGridCube> FOtherAdapter;
  std::unique_ptr<TCubeComparison> FComparison;
  QAction* FCompare = nullptr;
  QAction* FCancel = nullptr;
};

}  // namespace qd
