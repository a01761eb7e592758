#include "engine/lzss.h"

#include <algorithm>
#include <cstring>

namespace qd {
namespace {

constexpr int kRingMask = kLzssRingSize - 1;
// Farthest distance a match reaches back. The ring holds 4096 bytes, but the
// coder keeps to the 4078 bytes an encoder with an 18-byte look-ahead sees,
// so every stream stays within what any decoder of the format expects.
constexpr std::size_t kMaxDistance = kLzssRingSize - kLzssMaxMatch;
constexpr int kHashBits = 15;
constexpr int kMaxChain = 48;

inline std::uint32_t Hash3(const std::uint8_t* p) {
  std::uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
  return (v * 2654435761u) >> (32 - kHashBits);
}

// The output with its pending flags byte.
class TCodeWriter {
 public:
  explicit TCodeWriter(std::size_t inputSize) { FOut.reserve(inputSize + inputSize / 8 + 16); }
  void Literal(std::uint8_t b) {
    Item(true);
    FOut.push_back(b);
  }
  void Match(std::size_t position, int length) {
    Item(false);
    FOut.push_back(static_cast<std::uint8_t>(position & 0xFF));
    FOut.push_back(static_cast<std::uint8_t>(((position >> 4) & 0xF0) | (length - kLzssMinMatch)));
  }
  std::vector<std::uint8_t> Take() { return std::move(FOut); }

 private:
  void Item(bool literal) {
    if (FBit == 8) {
      FFlagsAt = FOut.size();
      FOut.push_back(0);
      FBit = 0;
    }
    if (literal) FOut[FFlagsAt] |= static_cast<std::uint8_t>(1u << FBit);
    ++FBit;
  }
  std::vector<std::uint8_t> FOut;
  std::size_t FFlagsAt = 0;
  int FBit = 8;
};

// Greedy encoder over hash chains of 3-byte prefixes. Chains link positions
// within the window; a link that does not point further back ends the chain.
class TEncoder {
 public:
  explicit TEncoder(std::span<const std::uint8_t> data)
      : FIn(data.data()),
        FSize(data.size()),
        FHead(1u << kHashBits, -1),
        FPrev(kLzssRingSize, -1) {}

  std::vector<std::uint8_t> Run() {
    TCodeWriter out(FSize);
    std::size_t o = 0;
    while (o < FSize) {
      int maxLen = static_cast<int>(std::min<std::size_t>(kLzssMaxMatch, FSize - o));
      int bestLen = 0;
      std::size_t bestDist = 0;
      if (maxLen >= kLzssMinMatch) {
        LongestMatch(o, maxLen, bestLen, bestDist);
        ZeroPrefixMatch(o, maxLen, bestLen, bestDist);
      }
      if (bestLen >= kLzssMinMatch) {
        std::size_t ringPos = (kLzssFirstPosition + o - bestDist) & kRingMask;
        out.Match(ringPos, bestLen);
        for (int k = 0; k < bestLen; ++k) Insert(o + k);
        o += bestLen;
      } else {
        out.Literal(FIn[o]);
        Insert(o);
        ++o;
      }
    }
    return out.Take();
  }

 private:
  void Insert(std::size_t p) {
    if (p + kLzssMinMatch > FSize) return;
    std::uint32_t h = Hash3(FIn + p);
    FPrev[p & kRingMask] = FHead[h];
    FHead[h] = static_cast<std::int64_t>(p);
  }

  void LongestMatch(std::size_t o, int maxLen, int& bestLen, std::size_t& bestDist) const {
    const std::uint8_t* cur = FIn + o;
    std::int64_t c = FHead[Hash3(cur)];
    for (int depth = 0; c >= 0 && depth < kMaxChain; ++depth) {
      std::size_t dist = o - static_cast<std::size_t>(c);
      if (dist > kMaxDistance) break;
      const std::uint8_t* cand = FIn + c;
      if (cand[bestLen < maxLen ? bestLen : 0] == cur[bestLen < maxLen ? bestLen : 0]) {
        int len = 0;
        while (len < maxLen && cand[len] == cur[len]) ++len;
        if (len > bestLen) {
          bestLen = len;
          bestDist = dist;
          if (len == maxLen) return;
        }
      }
      std::int64_t next = FPrev[c & kRingMask];
      if (next >= c) break;
      c = next;
    }
  }

  // Near the start the zero-filled ring lies behind the data: a run of zero
  // bytes matches it as long as the source stays inside the zeros.
  void ZeroPrefixMatch(std::size_t o, int maxLen, int& bestLen, std::size_t& bestDist) const {
    if (o >= kMaxDistance) return;
    int limit = static_cast<int>(std::min<std::size_t>(maxLen, kMaxDistance - o));
    int len = 0;
    while (len < limit && FIn[o + len] == 0) ++len;
    if (len > bestLen) {
      bestLen = len;
      bestDist = kMaxDistance;
    }
  }

  const std::uint8_t* FIn;
  std::size_t FSize;
  std::vector<std::int64_t> FHead;
  std::vector<std::int64_t> FPrev;
};

}  // namespace

std::vector<std::uint8_t> CompressBytes(std::span<const std::uint8_t> data) {
  if (data.empty()) return {};
  return TEncoder(data).Run();
}

std::vector<std::uint8_t> DecompressBytes(std::span<const std::uint8_t> code) {
  const std::uint8_t* in = code.data();
  const std::size_t n = code.size();
  // Output grows in steps; each item writes at most 18 bytes, so checking the
  // room once per group keeps the inner loop free of bounds tests.
  constexpr std::size_t kGroupMax = 8 * kLzssMaxMatch;
  std::vector<std::uint8_t> out(std::max<std::size_t>(n * 4, 4 * kGroupMax));
  std::size_t o = 0, i = 0;
  while (i < n) {
    if (out.size() - o < kGroupMax) out.resize(out.size() * 2);
    std::uint8_t* dst = out.data();
    unsigned flags = in[i++];
    for (int bit = 0; bit < 8 && i < n; ++bit, flags >>= 1) {
      if (flags & 1) {
        dst[o++] = in[i++];
        continue;
      }
      if (i + 1 >= n) return out.resize(o), out;  // the match is cut off
      unsigned b0 = in[i], b1 = in[i + 1];
      i += 2;
      std::size_t pos = b0 | ((b1 & 0xF0u) << 4);
      int len = static_cast<int>(b1 & 0x0F) + kLzssMinMatch;
      std::size_t ring = (kLzssFirstPosition + o) & kRingMask;
      std::size_t dist = (ring - pos) & kRingMask;
      if (dist == 0) dist = kLzssRingSize;
      if (dist <= o) {
        const std::uint8_t* src = dst + o - dist;
        if (dist >= static_cast<std::size_t>(kLzssMaxMatch)) {
          std::memcpy(dst + o, src, kLzssMaxMatch);  // room is reserved; extra bytes are rewritten
        } else {
          for (int k = 0; k < len; ++k) dst[o + k] = src[k];
        }
      } else {
        // The source starts in the ring's initial zeros.
        for (std::size_t k = 0; k < static_cast<std::size_t>(len); ++k)
          dst[o + k] = o + k < dist ? 0 : dst[o + k - dist];
      }
      o += len;
    }
  }
  out.resize(o);
  return out;
}

void CompressStream(const TMemoryStream& source, const std::string& path) {
  std::vector<std::uint8_t> code = CompressBytes(source.Bytes());
  WriteFileBytes(path, code);
}

void DecompressStream(const std::string& path, TMemoryStream& target) {
  std::vector<std::uint8_t> code = ReadFileBytes(path);
  target = TMemoryStream(DecompressBytes(code));
}

}  // namespace qd
