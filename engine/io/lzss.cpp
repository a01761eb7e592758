#include "engine/io/lzss.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/core/page_advice.h"
#include "engine/io/safe_file.h"

namespace qd {
namespace {

constexpr int kRingMask = kLzssRingSize - 1;

// Large outputs are first touched page by page; huge pages cut the page
// faults, which dominate decoding into fresh memory.
constexpr std::size_t kMinHugePages = 4;

}  // namespace

std::size_t DecodedSize(std::span<const std::uint8_t> code) {
  const std::uint8_t* in = code.data();
  const std::size_t n = code.size();
  std::size_t size = 0, i = 0;
  while (i < n) {
    unsigned flags = in[i++];
    for (int bit = 0; bit < 8 && i < n; ++bit, flags >>= 1) {
      if (flags & 1) {
        ++size;
        ++i;
      } else {
        if (i + 1 >= n) return size;
        size += (in[i + 1] & 0x0Fu) + kLzssMinMatch;
        i += 2;
      }
    }
  }
  return size;
}

std::vector<std::uint8_t> DecompressBytes(std::span<const std::uint8_t> code) {
  const std::size_t size = DecodedSize(code);
  std::vector<std::uint8_t> out;
  out.reserve(size);
  AdviseHugePages(out.data(), out.capacity(), kMinHugePages);
  out.resize(size);
  TLzssDecoder(code).Decode(out.data(), size);
  return out;
}

std::size_t TLzssDecoder::RemainingBound() const {
  // Two code bytes give at most a match of the longest length.
  return FPendingLength + (FCode.size() - FIn) * (kLzssMaxMatch / 2);
}

std::size_t TLzssDecoder::Decode(std::uint8_t* dst, std::size_t n) {
  const std::uint8_t* in = FCode.data();
  const std::size_t size = FCode.size();
  std::size_t o = 0, i = FIn;
  // Copies len bytes from dist back; before dst they come from the history.
  const auto copy = [&](std::size_t dist, std::size_t len) {
    if (dist <= o) {
      if (dist >= static_cast<std::size_t>(kLzssMaxMatch) && n - o >= kLzssMaxMatch)
        std::memcpy(dst + o, dst + o - dist, kLzssMaxMatch);  // extra bytes get rewritten
      else
        for (std::size_t k = 0; k < len; ++k) dst[o + k] = dst[o + k - dist];
    } else {
      for (std::size_t k = 0; k < len; ++k) {
        const std::size_t at = o + k;
        dst[at] = at >= dist ? dst[at - dist] : FHistory[kLzssRingSize + at - dist];
      }
    }
    o += len;
  };
  if (FPendingLength > 0) {
    const std::size_t take = std::min(FPendingLength, n);
    copy(FPendingDistance, take);
    FPendingLength -= take;
  }
  unsigned flags = FFlags;
  int bit = FBit;
  while (o < n) {
    if (bit == 8) {
      if (i >= size) break;
      flags = in[i++];
      bit = 0;
      if (flags == 0xFF && size - i >= 8 && n - o >= 8) {  // a group of eight literals
        std::memcpy(dst + o, in + i, 8);
        o += 8;
        i += 8;
        bit = 8;
        continue;
      }
    }
    if (i >= size) break;
    if (flags & 1) {
      dst[o++] = in[i++];
    } else {
      if (i + 1 >= size) {  // the match is cut off
        i = size;
        break;
      }
      const unsigned b0 = in[i], b1 = in[i + 1];
      i += 2;
      const std::size_t pos = b0 | ((b1 & 0xF0u) << 4);
      const std::size_t len = (b1 & 0x0Fu) + kLzssMinMatch;
      const std::size_t ring = (kLzssFirstPosition + FDecoded + o) & kRingMask;
      std::size_t dist = (ring - pos) & kRingMask;
      if (dist == 0) dist = kLzssRingSize;
      const std::size_t take = std::min(len, n - o);
      copy(dist, take);
      FPendingLength = len - take;
      FPendingDistance = dist;
    }
    flags >>= 1;
    ++bit;
  }
  FFlags = flags;
  FBit = bit;
  FIn = i;
  KeepHistory(dst, o);
  FDecoded += o;
  return o;
}

void TLzssDecoder::KeepHistory(const std::uint8_t* dst, std::size_t n) {
  constexpr std::size_t kRing = kLzssRingSize;
  if (n >= kRing) {
    std::memcpy(FHistory.data(), dst + n - kRing, kRing);
  } else if (n > 0) {
    std::memmove(FHistory.data(), FHistory.data() + n, kRing - n);
    std::memcpy(FHistory.data() + kRing - n, dst, n);
  }
}

void CompressToFile(std::span<const std::uint8_t> data, const std::string& path) {
  // Large codes go to the disk without a copy in the page cache.
  constexpr std::size_t kLargeInput = std::size_t{8} << 20;
  TAtomicFile file(path, data.size() >= kLargeInput ? TAtomicFile::TWrites::wLargeSequential
                                                    : TAtomicFile::TWrites::wBuffered);
  CompressTo(data, [&](std::span<const std::uint8_t> code) { file.Write(code); });
  file.Commit();
}

void CompressStream(const TMemoryStream& source, const std::string& path) {
  CompressToFile(source.Bytes(), path);
}

void DecompressStream(const std::string& path, TMemoryStream& target) {
  std::vector<std::uint8_t> code = ReadFileBytes(path);
  target = TMemoryStream(DecompressBytes(code));
}

}  // namespace qd
