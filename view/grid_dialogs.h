// The dialogs of the pivot grid control, opened from its tool strip and its
// dimension panels, and the keys that open them without the mouse:
//   Ctrl+Shift+D  the dimension map       Ctrl+Shift+S  the summaries
//   Ctrl+Shift+P  the saved states        Ctrl+Shift+M  a dimension's members
// (a list of the dimensions to choose from).
#pragma once

#include <QPoint>

namespace qd {

class TCustomVantraGrid;
class TDimensionState;
class TfmIcons;

//! Makes these dialogs the grid's tool-strip and panel actions and adds the keys.
void InstallGridDialogs(TCustomVantraGrid& grid);

void OpenDimensionMapDialog(TCustomVantraGrid& grid);
void OpenSummariesDialog(TCustomVantraGrid& grid);
//! Shows the saved-states drop-down below the tool strip's button; it goes
//! away by itself.
TfmIcons* OpenPivotStatesMenu(TCustomVantraGrid& grid);
void OpenDimensionMembersDialog(TCustomVantraGrid& grid, TDimensionState& state, QPoint at);
//! The list of the grid's dimensions, rows first, whose choice opens the
//! members dialog.
void ChooseDimensionMembers(TCustomVantraGrid& grid);

}  // namespace qd
