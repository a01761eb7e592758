// The named glyph bitmaps of the grid widgets, drawn once on first use:
// 15 x 15 label and sort glyphs, 16 x 16 header icons and the tool buttons.
#pragma once

#include <QPixmap>
#include <string_view>

namespace qd {

//! The glyph list of the internal grid, by index.
enum class TGlyph : int {
  vtLeftArrow = 0,
  vtRightArrow = 1,
  vtPivot = 2,
  vtValueOpen = 3,
  vtValueClose = 4,
  vtHierValueOpen = 5,
  vtHierValueClose = 6,
  vtSortingDown = 7,
  vtSortingUp = 8,
  vtDimensionIcon = 9,
  vtGroupValueOpen = 10,
  vtGroupValueClose = 11
};

//! A glyph of the 15 x 15 list.
const QPixmap& GlyphPixmap(TGlyph glyph);
//! An icon of the 16 x 16 header list (0 AGGREGATIONS, 1..8 the sub-function
//! icons, 9 SUMMARIES, 10 AGGREGATIONS, 11 DIMACTIVE).
const QPixmap& IconPixmap(int index);
//! Any glyph by resource name ("DIMACTIVE", "GRIDTOOL", "vtTogglePivot", ...);
//! an unknown name gives an empty pixmap.
const QPixmap& NamedPixmap(std::string_view name);

}  // namespace qd
