// CRC-32C (Castagnoli, reflected polynomial 0x82F63B78), the checksum a cube
// file keeps of its cube stream. Computed with the processor's crc32
// instruction where there is one, else eight table bytes at a time.
#pragma once

#include <cstdint>
#include <span>

namespace qd {

//! Extends `crc` (0 to start) over `bytes`: Crc32c(Crc32c(0, a), b) is the
//! checksum of a followed by b.
std::uint32_t Crc32c(std::uint32_t crc, std::span<const std::uint8_t> bytes);
//! The same without the processor's instruction (what other machines compute).
std::uint32_t Crc32cPortable(std::uint32_t crc, std::span<const std::uint8_t> bytes);

}  // namespace qd
