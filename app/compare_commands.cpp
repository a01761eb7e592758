#include "app/compare_commands.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <filesystem>

#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/cube/cube_file.h"
#include "engine/cube/vantra.h"
#include "model/cube_comparison.h"
#include "view/internal_grid.h"
#include "view/message_guard.h"
#include "view/vantra_grid.h"

namespace qd {
namespace {

QString Q(TMsg id) {
  return QString::fromStdString(Msg(id));
}

bool CubeShown(TVantraGrid& grid) {
  return grid.Vantra() && grid.Vantra()->Active() && grid.Model().IsActive();
}

}  // namespace

TCompareCommands::TCompareCommands(TVantraGrid& grid) : FGrid(grid) {
  ChooseFile = [this] {
    return QFileDialog::getOpenFileName(&FGrid, Q(TMsg::SMenuCompareCube), {},
                                        Q(TMsg::SCubeFileFilter) + " (*.vtc)")
        .toStdString();
  };
  FGrid.Model().AddListener(this);
  FGrid.OnMarkDataCell = [this](int col, int row, QColor& color, std::string* hint) {
    if (!FComparison) return false;
    switch (FComparison->DifferenceAt(row, col)) {
      case TCellDifference::cdNone:
        return false;
      case TCellDifference::cdHigher:
        color = kCompareHigherColor;
        break;
      case TCellDifference::cdLower:
        color = kCompareLowerColor;
        break;
      case TCellDifference::cdOneSided:
        color = kCompareOneSidedColor;
        break;
    }
    if (hint) *hint = FComparison->CellHint(FGrid.Model(), row, col);
    return true;
  };
}

TCompareCommands::~TCompareCommands() {
  FGrid.Model().RemoveListener(this);
  FGrid.OnMarkDataCell = nullptr;
  FComparison.reset();  // the comparison's grid lets go of the cube first
}

void TCompareCommands::BuildMenu(QMenu& menu) {
  FCompare = menu.addAction(Q(TMsg::SMenuCompareCube));
  QObject::connect(FCompare, &QAction::triggered, &FGrid, [this] { Guard([this] { MenuClick(); }); });
  FCancel = menu.addAction(Q(TMsg::SMenuCancelCompare));
  QObject::connect(FCancel, &QAction::triggered, &FGrid,
                   [this] { Guard([this] { CancelCompare(); }); });
  QObject::connect(&menu, &QMenu::aboutToShow, &FGrid, [this] { UpdateActions(); });
  UpdateActions();
}

void TCompareCommands::UpdateActions() {
  if (FCompare) FCompare->setEnabled(CubeShown(FGrid));
  if (FCancel) FCancel->setEnabled(FComparison != nullptr);
}

void TCompareCommands::MenuClick() {
  if (!CubeShown(FGrid)) return;
  const std::string file = ChooseFile ? ChooseFile() : std::string();
  if (!file.empty()) CompareWith(file);
}

void TCompareCommands::CompareWith(const std::string& fileName) {
  auto cube = std::make_unique<TVantra>();
  cube->Options().ShowProgressBar = false;
  LoadCubeFromFile(*cube, fileName);
  auto adapter = std::make_unique<TVantraGridCube>(*cube);
  auto comparison = std::make_unique<TCubeComparison>(
      *adapter, std::filesystem::path(fileName).filename().string());
  FGrid.ProcessModelNotifications();
  comparison->Align(FGrid.Model());
  FComparison = std::move(comparison);  // the old comparison goes before its cube
  FOtherAdapter = std::move(adapter);
  FOtherCube = std::move(cube);
  if (ShowStatus) ShowStatus(FComparison->SummaryText());
  UpdateActions();
  FGrid.InternalGrid().viewport()->update();
}

void TCompareCommands::CancelCompare() {
  FComparison.reset();
  FOtherAdapter.reset();
  FOtherCube.reset();
  if (ShowStatus) ShowStatus({});
  UpdateActions();
  FGrid.InternalGrid().viewport()->update();
}

void TCompareCommands::Realign() {
  if (!FComparison) return;
  FComparison->Align(FGrid.Model());
  if (ShowStatus) ShowStatus(FComparison->SummaryText());
  FGrid.InternalGrid().viewport()->update();
}

void TCompareCommands::GridInfoChanged(TGridInfo&, TChangeKind kind) {
  if (!FComparison) return;
  // Another cube in the grid ends the comparison; every other change may
  // have moved, added or removed cells.
  if (kind == TChangeKind::ckCubeBound)
    Guard([this] { CancelCompare(); });
  else if (kind != TChangeKind::ckWordWrap)
    Guard([this] { Realign(); });
}

}  // namespace qd
