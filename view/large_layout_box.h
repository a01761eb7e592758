// The question before a layout above the size limits: the estimate, the
// limits, and three answers: leave the largest dimension on the page axis,
// go on anyway, or cancel (Escape).
#pragma once

#include <string>

#include "model/layout_estimate.h"

class QWidget;

namespace qd {

//! "1.5 GB", "640 MB", "12 KB": a size in bytes for the user.
std::string ByteSizeText(std::int64_t bytes);
//! The question's text.
std::string LargeLayoutText(const TLayoutEstimate& e, const TLayoutLimits& limits);
//! Asks in a message box (modal).
TLargeLayoutChoice AskLargeLayoutBox(QWidget* parent, const TLayoutEstimate& e,
                                     const std::string& largest, const TLayoutLimits& limits);

}  // namespace qd
