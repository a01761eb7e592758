// Local cube files (.vtc): a built cube with its dimensions, summaries and fact
// table, plus optional caller bytes, in the tagged format and LZSS-compressed.
//
// Container 0x1200 … 0x12FF: 0x1205 the cube stream as an object value,
// 0x1214 the caller's bytes as a binary value. Cube stream 0x500 … 0x5FF:
// 0x505 version, 0x519 dimensions, 0x51E summaries, 0x514 fact table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/core/messages.h"
#include "engine/io/memory_stream.h"
#include "engine/io/tagged_stream.h"
#include "engine/cube/vantra.h"

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

//! Reads the value of a container's cube field (an object value holding a cube
//! stream) into the cube: an active cube is closed first, then BeforeOpen fires.
//! On failure the cube is left inactive without dimensions and summaries. The
//! caller finishes with FinishCubeLoad once the rest of its container is read.
//! A container holds one cube field: the fact table may have adopted the
//! block the container is read from, so a second one, which would drop that
//! table while its bytes are still being read, is refused by the callers.
void ReadCubeObject(TCustomVantra& cube, TTagReader& reader);
//! Marks a read cube active, fires AfterOpen and notifies the models (ccLoaded).
void FinishCubeLoad(TCustomVantra& cube);
//! Leaves a cube whose load failed inactive without dimensions and summaries.
void AbandonCubeLoad(TCustomVantra& cube);
//! Reads a binary value into the caller's buffer (at most its size); false
//! without a buffer, so that the value is skipped.
bool ReadUserData(TTagReader& reader, TUserBuffer* user);

//! Compresses a container into `path` atomically (safe_file.h): a failure
//! leaves any previous file as it was.
void WriteContainerFile(const std::string& path, std::span<const std::uint8_t> container);
//! Containers are limited to 2 GB once decoded.
constexpr std::size_t kMaxContainerBytes = 0x7FFFFFFF;
//! Reads and decompresses a container file; files that are no regular files or
//! would decode past `limit` bytes are refused before anything is decoded.
std::vector<std::uint8_t> ReadContainerFile(const std::string& path,
                                            std::size_t limit = kMaxContainerBytes);
//! Decompresses a container file's bytes, refused as ReadContainerFile does.
std::vector<std::uint8_t> DecodeContainer(std::span<const std::uint8_t> code,
                                          std::size_t limit = kMaxContainerBytes);

//! Saves to a temporary file beside `path` and renames it over `path` only when
//! everything was written, so a failed save leaves any previous file intact.
void SaveCubeToFile(const TCustomVantra& cube, const std::string& path,
                    std::span<const std::uint8_t> user = {});
//! Loads a local cube file. A file that cannot be read raises the file error;
//! damaged content raises its error with a message that says so and names the
//! file ("文件已损坏或不是Cube文件：…"), the technical detail after it.
void LoadCubeFromFile(TCustomVantra& cube, const std::string& path, TUserBuffer* user = nullptr);

//! Runs `read`, giving the stream, array and cube errors it raises the message
//! `damaged` (a format of the file name and the detail) in the same class.
void ReadDamageable(const std::string& path, TMsg damaged, const std::function<void()>& read);

}  // namespace qd
