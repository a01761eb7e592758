// Any byte string is a code stream: decoding must never fail or read out of
// bounds, and re-encoding what it gives must decode to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/io/lzss.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> decoded = qd::DecompressBytes({data, size});
  // At most 18 bytes per item and 8 items per 17 input bytes.
  if (decoded.size() > size * 18) std::abort();
  std::vector<std::uint8_t> code = qd::CompressBytes(decoded);
  if (qd::DecompressBytes(code) != decoded) std::abort();
  return 0;
}
