// LZSS compression of whole files (local cube and grid files).
//
// The code stream has no header or trailer. It is read as groups of up to eight
// items, each group preceded by a flags byte whose bit i (least significant
// first) tells item i: 1 a literal byte, 0 a match of two bytes b0, b1 meaning
// "copy (b1 & 0x0F) + 3 bytes from ring position b0 + ((b1 & 0xF0) << 4)".
// The ring buffer has 4096 bytes, starts all zero, and the first byte goes to
// position 4078; every output byte is stored at the write position, which then
// advances modulo 4096. Decoding ends where the input ends, also inside a group.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/io/memory_stream.h"

namespace qd {

constexpr int kLzssRingSize = 4096;
constexpr int kLzssMaxMatch = 18;
constexpr int kLzssMinMatch = 3;
constexpr int kLzssFirstPosition = kLzssRingSize - kLzssMaxMatch;  // 4078

//! The encoder works on ranges of this many input bytes, each on its own with
//! the bytes before it as its window, on several threads; the code depends on
//! the input alone, never on the number of threads.
constexpr std::size_t kLzssRangeBytes = std::size_t{1} << 20;

//! Receives a code stream piece by piece, in order.
using TLzssSink = std::function<void(std::span<const std::uint8_t>)>;

//! Encodes bytes (greedy longest match within the window, found by hash
//! chains) into `sink` as the ranges are done, so that writing the code
//! overlaps encoding the rest. An exception from the sink stops the encoding
//! and is raised again. Inputs beyond 2 GB raise EStreamError before anything
//! reaches the sink.
void CompressTo(std::span<const std::uint8_t> data, const TLzssSink& sink);
//! The code CompressTo gives, in one buffer.
std::vector<std::uint8_t> CompressBytes(std::span<const std::uint8_t> data);
//! Decodes any valid code stream; an empty input gives an empty output. A match
//! whose second byte is missing at the end of the input is dropped.
std::vector<std::uint8_t> DecompressBytes(std::span<const std::uint8_t> code);
//! Bytes a code stream decodes to, counted without decoding (one per literal,
//! the length per match; a match without its second byte at the end counts
//! for nothing), so that a small input claiming gigabytes can be refused
//! before anything is allocated.
std::size_t DecodedSize(std::span<const std::uint8_t> code);

//! Decodes a code stream piece by piece into buffers the caller chooses, so
//! that a large part of the output can land where it is finally kept. The
//! pieces joined are what DecompressBytes gives for the whole stream.
class TLzssDecoder {
 public:
  explicit TLzssDecoder(std::span<const std::uint8_t> code) : FCode(code) {}

  //! Decodes the next bytes into dst, at most n; fewer only where the code
  //! ends. Returns how many were written.
  std::size_t Decode(std::uint8_t* dst, std::size_t n);
  //! Bytes decoded so far.
  std::size_t Decoded() const { return FDecoded; }
  //! Bytes of the code read so far; the decoder never reads them again.
  std::size_t CodeRead() const { return FIn; }
  //! True when no further byte can come.
  bool AtEnd() const { return FPendingLength == 0 && FIn >= FCode.size(); }
  //! The most bytes the rest of the code can still decode to.
  std::size_t RemainingBound() const;

 private:
  void KeepHistory(const std::uint8_t* dst, std::size_t n);

  std::span<const std::uint8_t> FCode;
  std::size_t FIn = 0;
  unsigned FFlags = 0;
  int FBit = 8;
  // A match that the previous buffer's end cut off.
  std::size_t FPendingLength = 0, FPendingDistance = 0;
  std::size_t FDecoded = 0;
  // The last ring-size bytes decoded before the current call, oldest first;
  // zeros before the first byte, as the ring starts.
  std::array<std::uint8_t, kLzssRingSize> FHistory{};
};

//! Compresses bytes into the file at `path`, written as the code comes and
//! replaced atomically (safe_file.h): a failure leaves the old file as it was.
void CompressToFile(std::span<const std::uint8_t> data, const std::string& path);
//! Compresses the whole content of `source` into the file at `path`.
void CompressStream(const TMemoryStream& source, const std::string& path);
//! Replaces the content of `target` with the decoded file, position 0.
void DecompressStream(const std::string& path, TMemoryStream& target);

}  // namespace qd
