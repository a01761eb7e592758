// The direction of a colour scale, shared by the grid's colour hints and the
// chart's point colours.
#pragma once

#include <cstdint>

namespace qd {

enum class TvtcColorSchema : std::uint8_t { vtcHighestIsHot = 0, vtcHighestIsCold = 1 };

}  // namespace qd
