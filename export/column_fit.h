// Column widths fitted to the texts a document shows, for when no view hands
// the exporter its own: readers such as spreadsheets and word processors keep
// a column as wide as the writer says, so a width that is too small cuts
// member names and turns numbers into "###".
#pragma once

#include <string_view>

#include "export/export_options.h"

namespace qd {

//! Room a cell needs besides its text, in pixels at 96 pixels per inch.
constexpr int kCellTextMargin = 10;
//! Widest column a fit gives, in pixels at 96 pixels per inch.
constexpr int kMaxFittedColWidth = 480;

//! Estimated width in pixels of one line of text in the font: proportional
//! Latin letters and digits, full-width CJK characters and punctuation.
int TextPixelWidth(std::string_view utf8, const TExportFont& font, int pixelsPerInch);

}  // namespace qd
