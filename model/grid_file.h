// Grid files: the grid-data file (.vtg) holds the cube, the named pivot states
// and the current layout; the grid-state file (.vts) only the states and the
// layout. Both are containers in the tagged format, LZSS-compressed:
// 0x1200 … 0x12FF with 0x1205 the cube stream, 0x120A the named states,
// 0x120F the current layout and 0x1214 the caller's bytes.
#pragma once

#include <cstdint>

namespace qd {

//! The contents a grid file is written with: bits of SaveToFile's parts.
constexpr int gfCube = 1;
constexpr int gfPivotStates = 2;
constexpr int gfCurrentState = 4;

//! What the application writes: grid-data files and grid-state files.
constexpr int kGridDataParts = gfCube | gfPivotStates | gfCurrentState;
constexpr int kGridStateParts = gfPivotStates | gfCurrentState;

}  // namespace qd
