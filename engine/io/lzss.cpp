#include "engine/io/lzss.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

#include "engine/core/bytes.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/page_advice.h"
#include "engine/core/worker_threads.h"

namespace qd {
namespace {

constexpr int kRingMask = kLzssRingSize - 1;
// Farthest distance a match reaches back. The ring holds 4096 bytes, but the
// coder keeps to the 4078 bytes an encoder with an 18-byte look-ahead sees,
// so every stream stays within what any decoder of the format expects.
constexpr std::size_t kMaxDistance = kLzssRingSize - kLzssMaxMatch;
constexpr int kMaxHashBits = 15;
constexpr int kLongKey = 6;
constexpr int kLongDepth = 64;
constexpr int kShortDepth = 8;
// The input is encoded in ranges of this size, one per thread at a time.
constexpr std::size_t kRangeBytes = std::size_t{8} << 20;

// Large outputs are first touched page by page; huge pages cut the page
// faults, which dominate decoding into fresh memory.
constexpr std::size_t kMinHugePages = 4;

// The output with its pending flags byte.
class TCodeWriter {
 public:
  explicit TCodeWriter(std::size_t inputSize) {
    FOut.reserve(inputSize + inputSize / 8 + 16);
    AdviseHugePages(FOut.data(), FOut.capacity(), kMinHugePages);
  }
  void Literal(std::uint8_t b) {
    Item(true);
    FOut.push_back(b);
  }
  void Match(std::size_t position, int length) {
    MatchBytes(static_cast<std::uint8_t>(position & 0xFF),
               static_cast<std::uint8_t>(((position >> 4) & 0xF0) | (length - kLzssMinMatch)));
  }
  void MatchBytes(std::uint8_t b0, std::uint8_t b1) {
    Item(false);
    FOut.push_back(b0);
    FOut.push_back(b1);
  }
  //! Appends the items another writer holds, regrouped behind the items
  //! written so far.
  void Append(const TCodeWriter& other) {
    const std::vector<std::uint8_t>& code = other.FOut;
    if (FBit == 8) {
      // Behind a full group the other's groups fit as they are.
      FFlagsAt = FOut.size() + other.FFlagsAt;
      FBit = other.FBit;
      FOut.insert(FOut.end(), code.begin(), code.end());
      return;
    }
    std::size_t i = 0;
    while (i < code.size()) {
      unsigned flags = code[i++];
      for (int bit = 0; bit < 8 && i < code.size(); ++bit, flags >>= 1) {
        if (flags & 1) {
          Literal(code[i++]);
        } else {
          MatchBytes(code[i], code[i + 1]);
          i += 2;
        }
      }
    }
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

// Length of the common prefix of a and b, at most maxLen.
inline int MatchLength(const std::uint8_t* a, const std::uint8_t* b, int maxLen) {
  int len = 0;
  while (len + 8 <= maxLen) {
    // Little-endian, so the lowest differing bit lies in the first differing byte.
    const auto x = Load<std::uint64_t>(a + len), y = Load<std::uint64_t>(b + len);
    if (x != y) return len + (__builtin_ctzll(x ^ y) >> 3);
    len += 8;
  }
  while (len < maxLen && a[len] == b[len]) ++len;
  return len;
}

// Positions in the window whose next bytes hash alike, newest first. A link
// that does not point further back ends the chain (its slot was reused).
template <int Key, int Depth>
class TChain {
 public:
  //! hashBits: log2 of the head table, smaller for short inputs.
  explicit TChain(int hashBits)
      : FShift(64 - hashBits), FHead(std::size_t{1} << hashBits, -1), FPrev(kLzssRingSize, -1) {}

  void Insert(const std::uint8_t* in, std::size_t size, std::size_t p) {
    if (p + Key > size) return;
    std::uint32_t h = Hash(in + p, in + size);
    FPrev[p & kRingMask] = FHead[h];
    FHead[h] = static_cast<std::int32_t>(p);
  }

  // Improves bestLen/bestDist with the longest match found along the chain.
  void Search(const std::uint8_t* in, std::size_t size, std::size_t o, int maxLen, int& bestLen,
              std::size_t& bestDist) const {
    if (maxLen < Key) return;
    const std::uint8_t* cur = in + o;
    std::int32_t c = FHead[Hash(cur, in + size)];
    for (int depth = 0; c >= 0 && depth < Depth; ++depth) {
      std::size_t dist = o - static_cast<std::size_t>(c);
      if (dist > kMaxDistance) break;
      const std::uint8_t* cand = in + c;
      int probe = bestLen < maxLen ? bestLen : maxLen - 1;
      if (cand[probe] == cur[probe]) {
        int len = MatchLength(cand, cur, maxLen);
        if (len > bestLen) {
          bestLen = len;
          bestDist = dist;
          if (len == maxLen) return;
        }
      }
      std::int32_t next = FPrev[c & kRingMask];
      if (next >= c) break;
      c = next;
    }
  }

 private:
  // Hash of the Key bytes at p; reads eight bytes at once where that many remain.
  std::uint32_t Hash(const std::uint8_t* p, const std::uint8_t* end) const {
    std::uint64_t v = 0;
    if (end - p >= 8)
      v = Load<std::uint64_t>(p);
    else
      for (int k = 0; k < Key; ++k) v |= static_cast<std::uint64_t>(p[k]) << (8 * k);
    v &= (1ull << (8 * Key)) - 1;
    return static_cast<std::uint32_t>((v * 0x9E3779B97F4A7C15ull) >> FShift);
  }

  int FShift;
  // Positions fit 32 bits: CompressBytes takes at most 2 GB.
  std::vector<std::int32_t> FHead;
  std::vector<std::int32_t> FPrev;
};

// Greedy longest-match encoder of one range of the input; the bytes before
// the range are the window it starts with, as if the range had been reached
// by encoding everything before it. Long matches are looked up by their first
// six bytes, which keeps the chains short on data full of repeated small
// numbers; a short chain keyed by three bytes finds the matches of three to
// five bytes.
class TEncoder {
 public:
  TEncoder(std::span<const std::uint8_t> data, std::size_t begin, std::size_t end)
      : FIn(data.data()),
        FSize(data.size()),
        FBegin(begin),
        FEnd(end),
        FLong(HashBits(end - begin)),
        FShort(HashBits(end - begin)) {}

  void Run(TCodeWriter& out) {
    for (std::size_t p = FBegin > kMaxDistance ? FBegin - kMaxDistance : 0; p < FBegin; ++p) {
      FLong.Insert(FIn, FSize, p);
      FShort.Insert(FIn, FSize, p);
    }
    std::size_t o = FBegin;
    while (o < FEnd) {
      int maxLen = static_cast<int>(std::min<std::size_t>(kLzssMaxMatch, FEnd - o));
      int bestLen = 0;
      std::size_t bestDist = 0;
      if (maxLen >= kLzssMinMatch) {
        FLong.Search(FIn, FSize, o, maxLen, bestLen, bestDist);
        if (bestLen < kLongKey) FShort.Search(FIn, FSize, o, maxLen, bestLen, bestDist);
        ZeroPrefixMatch(o, maxLen, bestLen, bestDist);
      }
      if (bestLen >= kLzssMinMatch) {
        std::size_t ringPos = (kLzssFirstPosition + o - bestDist) & kRingMask;
        out.Match(ringPos, bestLen);
      } else {
        bestLen = 1;
        out.Literal(FIn[o]);
      }
      for (int k = 0; k < bestLen; ++k, ++o) {
        FLong.Insert(FIn, FSize, o);
        FShort.Insert(FIn, FSize, o);
      }
    }
  }

 private:
  // Head tables grow with the input up to 32768 entries.
  static int HashBits(std::size_t size) {
    int bits = std::bit_width(size);
    return std::clamp(bits, 8, kMaxHashBits);
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
  std::size_t FBegin, FEnd;
  TChain<kLongKey, kLongDepth> FLong;
  TChain<kLzssMinMatch, kShortDepth> FShort;
};


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

std::vector<std::uint8_t> CompressBytes(std::span<const std::uint8_t> data) {
  if (data.empty()) return {};
  if (data.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw EStreamError(Format(Msg(TMsg::SCompressTooLarge), data.size()));
  // Ranges of the input are encoded on the worker threads and their items
  // joined in order; the ranges depend on the size alone, so the code is the
  // same for any number of threads. A round of ranges at a time bounds the
  // memory their codes take.
  const std::size_t size = data.size();
  TCodeWriter out(size);
  constexpr std::size_t kRound = 8;
  for (std::size_t first = 0; first < size; first += kRound * kRangeBytes) {
    const std::size_t count = std::min(kRound, (size - first + kRangeBytes - 1) / kRangeBytes);
    std::vector<TCodeWriter> codes;
    for (std::size_t k = 0; k < count; ++k)
      codes.emplace_back(std::min(kRangeBytes, size - first - k * kRangeBytes));
    RunParts(static_cast<int>(count), [&](int k) {
      const std::size_t begin = first + static_cast<std::size_t>(k) * kRangeBytes;
      TEncoder(data, begin, std::min(size, begin + kRangeBytes)).Run(codes[static_cast<std::size_t>(k)]);
    });
    for (const TCodeWriter& code : codes) out.Append(code);
  }
  return out.Take();
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

void CompressStream(const TMemoryStream& source, const std::string& path) {
  std::vector<std::uint8_t> code = CompressBytes(source.Bytes());
  WriteFileBytes(path, code);
}

void DecompressStream(const std::string& path, TMemoryStream& target) {
  std::vector<std::uint8_t> code = ReadFileBytes(path);
  target = TMemoryStream(DecompressBytes(code));
}

}  // namespace qd
