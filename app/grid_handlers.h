// The main window's handlers of the pivot grid's events: pale yellow data
// cells on total lines, blue labels that expand and purple total labels,
// months and years in calendar order, and fact edits always accepted.
#pragma once

#include <QColor>

namespace qd {

class TVantraGrid;
class TDimensionState;
struct TLabelNode;

//! The colours the handlers use.
inline const QColor kTotalCellColor{0xF8, 0xF4, 0xD6};  // pale yellow
inline const QColor kExpandableLabelColor{0x00, 0x00, 0xFF};
inline const QColor kTotalLabelColor{0x80, 0x00, 0x80};

//! The font colour of a label: purple for a total, blue for a label with a
//! button, else `normal`.
QColor LabelFontColor(const TLabelNode& label, const QColor& normal);
//! Months by their place among the locale's long month names, years as text;
//! other dimensions compare equal.
int CompareMonthsAndYears(const TDimensionState& state, int node1, int node2);

//! Assigns the window's handlers to the grid's events.
void WireGridHandlers(TVantraGrid& grid);

}  // namespace qd
