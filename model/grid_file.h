// Grid files: the grid-data file (.vtg) holds the cube, the named pivot states
// and the current layout; the grid-state file (.vts) only the states and the
// layout. Both are containers in the tagged format, LZSS-compressed:
// 0x1200 … 0x12FF with 0x1205 the cube stream, 0x120A the named states,
// 0x120F the current layout and 0x1214 the caller's bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/cube/cube_file_decode.h"
#include "engine/cube/dimension.h"
#include "model/pivot_state.h"

namespace qd {

//! The contents a grid file is written with: bits of SaveToFile's parts.
constexpr int gfCube = 1;
constexpr int gfPivotStates = 2;
constexpr int gfCurrentState = 4;

//! What the application writes: grid-data files and grid-state files.
constexpr int kGridDataParts = gfCube | gfPivotStates | gfCurrentState;
constexpr int kGridStateParts = gfPivotStates | gfCurrentState;

//! A grid file read and decompressed but not applied: the layout it will
//! show can be looked at before TGridInfo::LoadContent replaces anything.
//! The container is decoded as a cube file's is, so that the cube's fact
//! table takes its records over where they lie when the content is loaded.
struct TGridFileContent {
  std::string Path;
  TContainerBlock Container;
  bool HasCube = false;               //!< a grid-data file: it brings its cube
  std::optional<TPivotState> Layout;  //!< the current layout it holds
};

//! Reads a grid file; a file that cannot be read or decoded raises as
//! TGridInfo::LoadFromFile does.
TGridFileContent ReadGridFile(const std::string& path);
//! The dimensions of the cube a grid-data file holds, read from the head of
//! its cube stream only; empty when it holds none or the head does not read
//! (loading the file then reports why).
TDimensions GridFileDimensions(const TGridFileContent& content);

}  // namespace qd
