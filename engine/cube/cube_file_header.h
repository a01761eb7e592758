// What a local cube file says about itself without its fact records: the
// dimensions with their members, the summaries, the record count, and the
// build mode and integrity record stored behind the records. Reading it takes no memory for the records.
#pragma once

#include <cstdint>
#include <string>

#include "engine/cube/cube_build.h"
#include "engine/cube/cube_file_decode.h"

namespace qd {

struct TCubeFileHeader {
  bool HasCube = false;  //!< false when the container holds no cube
  TDimensions Dimensions;
  TSummaries Summaries;
  std::int32_t RecordCount = 0;
  TBuildMode Mode = TBuildMode::bmEveryRow;  //!< read with the integrity record only
  TCubeIntegrity Integrity;
};

//! Reads a cube file's header. With `integrity`, the records are decoded
//! through a small buffer to reach the integrity record behind them and
//! checked against its checksum (a mismatch raises as loading does);
//! without it, decoding stops where the records begin. Errors are those of
//! LoadCubeFromFile.
TCubeFileHeader ReadCubeFileHeader(const std::string& path, bool integrity);
//! The header of the cube in a container already decoded (records kept or
//! not), without the integrity record.
TCubeFileHeader ReadCubeHeader(const TContainerBlock& block);

}  // namespace qd
