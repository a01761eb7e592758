#include "engine/io/crc32c.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

namespace qd {
namespace {

using TTable = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr TTable MakeTable() {
  TTable t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0x82F63B78u : c >> 1;
    t[0][i] = c;
  }
  for (std::size_t i = 0; i < 256; ++i)
    for (std::size_t k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  return t;
}

constexpr TTable kTable = MakeTable();

std::uint32_t Portable(std::uint32_t c, const std::uint8_t* p, std::size_t n) {
  for (; n >= 8; n -= 8, p += 8) {
    const std::uint32_t lo = c ^ (p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24);
    c = kTable[7][lo & 0xFF] ^ kTable[6][(lo >> 8) & 0xFF] ^ kTable[5][(lo >> 16) & 0xFF] ^
        kTable[4][lo >> 24] ^ kTable[3][p[4]] ^ kTable[2][p[5]] ^ kTable[1][p[6]] ^
        kTable[0][p[7]];
  }
  for (; n > 0; --n, ++p) c = (c >> 8) ^ kTable[0][(c ^ *p) & 0xFF];
  return c;
}

#if defined(__x86_64__)
__attribute__((target("sse4.2"))) std::uint32_t Hardware(std::uint32_t c, const std::uint8_t* p,
                                                          std::size_t n) {
  std::uint64_t c64 = c;
  for (; n >= 8; n -= 8, p += 8) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    c64 = _mm_crc32_u64(c64, v);
  }
  c = static_cast<std::uint32_t>(c64);
  for (; n > 0; --n, ++p) c = _mm_crc32_u8(c, *p);
  return c;
}

const bool kHaveHardware = __builtin_cpu_supports("sse4.2");
#endif

}  // namespace

std::uint32_t Crc32c(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
  std::uint32_t c = ~crc;
#if defined(__x86_64__)
  if (kHaveHardware) return ~Hardware(c, bytes.data(), bytes.size());
#endif
  return ~Portable(c, bytes.data(), bytes.size());
}

std::uint32_t Crc32cPortable(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
  return ~Portable(~crc, bytes.data(), bytes.size());
}

}  // namespace qd
