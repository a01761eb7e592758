// Local cube files (.vtc): a built cube with its dimensions, summaries and fact
// table, plus optional caller bytes, in the tagged format and LZSS-compressed.
//
// Container 0x1200 … 0x12FF: 0x1205 the cube stream as an object value,
// 0x1214 the caller's bytes as a binary value. Cube stream 0x500 … 0x5FF:
// 0x505 version, 0x519 dimensions, 0x51E summaries, 0x514 fact table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/memory_stream.h"
#include "engine/tagged_stream.h"
#include "engine/vantra.h"

namespace qd {

constexpr std::int32_t kCubeStreamVersion = 405;
constexpr std::int32_t kFirstAcceptedCubeVersion = 400;

//! Where the caller's bytes of a loaded file go; Data == nullptr skips them.
struct TUserBuffer {
  std::uint8_t* Data = nullptr;
  std::size_t Size = 0;
  std::size_t Received = 0;  //!< bytes copied by the last load
};

//! Writes the cube stream. ECubeError when the cube is not active.
void WriteCubeStream(const TCustomVantra& cube, TTagWriter& writer);
//! Reads a cube stream into cube.Built(): dimensions, summaries and fact table.
void ReadCubeStream(TCustomVantra& cube, TTagReader& reader);

//! Writes the container at the stream's position. ECubeError when not active.
void SaveCubeToStream(const TCustomVantra& cube, TMemoryStream& stream,
                      std::span<const std::uint8_t> user = {});
//! Reads a container from the stream's position. A cube in it replaces the
//! built cube (events, then models get ccLoaded); on any error the cube is left
//! inactive without dimensions and summaries.
void LoadCubeFromStream(TCustomVantra& cube, TMemoryStream& stream, TUserBuffer* user = nullptr);

//! Saves to a temporary file beside `path` and renames it over `path` only when
//! everything was written, so a failed save leaves any previous file intact.
void SaveCubeToFile(const TCustomVantra& cube, const std::string& path,
                    std::span<const std::uint8_t> user = {});
void LoadCubeFromFile(TCustomVantra& cube, const std::string& path, TUserBuffer* user = nullptr);

}  // namespace qd
