// The LZSS encoder: a greedy longest-match coder over hash chains, run on
// ranges of the input in parallel and joined in order into the caller's sink.
#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>

#include "engine/core/bytes.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/worker_threads.h"
#include "engine/io/lzss.h"

namespace qd {
namespace {

constexpr int kRingMask = kLzssRingSize - 1;
// Farthest distance a match reaches back. The ring holds 4096 bytes, but the
// coder keeps to the 4078 bytes an encoder with an 18-byte look-ahead sees,
// so every stream stays within what any decoder of the format expects.
constexpr std::size_t kMaxDistance = kLzssRingSize - kLzssMaxMatch;
// The head tables have 16384 entries each, four times the window's positions,
// so that few other keys share a chain.
constexpr int kHashBits = 14;
constexpr int kChainDepth = 16;
// Within this many bytes of a range's end the coder steers its item count to
// a whole number of groups (see TEncoder::Run).
constexpr std::size_t kTailBytes = 256;

// Items regrouped behind an open group: the join of a range's code with the
// ranges after it when it ends inside a group.
class TCodeWriter {
 public:
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
  std::span<const std::uint8_t> Bytes() const { return FOut; }
  //! Appends the items of a code, regrouped behind the items written so far.
  void Append(std::span<const std::uint8_t> code) {
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
  //! Removes the whole groups, keeping an open last group.
  void DropWholeGroups() {
    const std::size_t keep = FBit == 8 ? FOut.size() : FFlagsAt;
    FOut.erase(FOut.begin(), FOut.begin() + static_cast<std::ptrdiff_t>(keep));
    FFlagsAt -= std::min(FFlagsAt, keep);
  }
  //! The bytes of the whole groups.
  std::span<const std::uint8_t> WholeGroupBytes() const {
    return std::span(FOut).first(FBit == 8 ? FOut.size() : FFlagsAt);
  }

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

// The code of one range in a buffer that later ranges reuse.
class TRangeCode {
 public:
  //! Room for the code of n input bytes: all literals take n + n / 8 + 1.
  std::uint8_t* Prepare(std::size_t n) {
    const std::size_t need = n + n / 8 + 16;
    if (FCapacity < need) {
      FData = std::make_unique_for_overwrite<std::uint8_t[]>(need);
      FCapacity = need;
    }
    FSize = 0;
    return FData.get();
  }
  void Done(std::size_t size, bool wholeGroups) {
    FSize = size;
    FWholeGroups = wholeGroups;
  }
  std::span<const std::uint8_t> Bytes() const { return {FData.get(), FSize}; }
  //! True when the last group holds eight items (or there is none).
  bool WholeGroups() const { return FWholeGroups; }

 private:
  std::unique_ptr<std::uint8_t[]> FData;
  std::size_t FCapacity = 0, FSize = 0;
  bool FWholeGroups = true;
};

// Items appended to a code buffer, the open group's flags kept in a register
// and stored when the group is complete.
class TGroupWriter {
 public:
  explicit TGroupWriter(std::uint8_t* out) : FOut(out), FStart(out) {}
  void Literal(std::uint8_t b) {
    Item(1);
    *FOut++ = b;
  }
  void Match(std::size_t position, int length) {
    Item(0);
    FOut[0] = static_cast<std::uint8_t>(position & 0xFF);
    FOut[1] = static_cast<std::uint8_t>(((position >> 4) & 0xF0) | (length - kLzssMinMatch));
    FOut += 2;
  }
  std::size_t Items() const { return FItems; }
  //! Stores the open group's flags; returns the code's size.
  std::size_t Finish() {
    if (FFlagsAt) *FFlagsAt = static_cast<std::uint8_t>(FFlags);
    return static_cast<std::size_t>(FOut - FStart);
  }

 private:
  void Item(unsigned literal) {
    if ((FItems & 7) == 0) {
      if (FFlagsAt) *FFlagsAt = static_cast<std::uint8_t>(FFlags);
      FFlagsAt = FOut++;
      FFlags = 0;
    }
    FFlags |= literal << (FItems & 7);
    ++FItems;
  }
  std::uint8_t* FOut;
  std::uint8_t* FStart;
  std::uint8_t* FFlagsAt = nullptr;
  unsigned FFlags = 0;
  std::size_t FItems = 0;
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

inline std::uint32_t HashOf(std::uint64_t key) {
  return static_cast<std::uint32_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - kHashBits));
}

// Positions in the window by their next bytes. Positions whose next five bytes
// hash alike are chained, newest first; a link that does not point further
// back ends a chain (its slot was reused). For four bytes only the newest
// position of each hash is kept, which finds the short matches common in
// records of small numbers without walking a second chain. Matches of three
// bytes are not looked for: taken greedily they save little and often cost a
// longer match at the next position, so records code smaller without them.
// The last seven bytes of the input go out as literals.
class TMatchFinder {
 public:
  TMatchFinder(const std::uint8_t* in, std::size_t size) : FIn(in), FSize(size) {
    FHead5.fill(-1);
    FHead4.fill(-1);
  }

  void Insert(std::size_t p) {
    if (p + 8 > FSize) return;
    const auto at = static_cast<std::int32_t>(p);
    const std::uint64_t v = Load<std::uint64_t>(FIn + p);
    std::int32_t& head = FHead5[HashOf(v & KeyMask(5))];
    FPrev[p & kRingMask] = head;
    head = at;
    FHead4[HashOf(v & KeyMask(4))] = at;
  }

  //! Improves bestLen/bestDist with the longest match for the bytes at o, at
  //! most maxLen (>= 3) long, that the chain and the newest positions give.
  void Find(std::size_t o, int maxLen, int& bestLen, std::size_t& bestDist) const {
    const std::uint8_t* cur = FIn + o;
    if (o + 8 > FSize) return;
    const std::uint64_t v = Load<std::uint64_t>(cur);
    if (maxLen >= 5) {
      std::int32_t c = FHead5[HashOf(v & KeyMask(5))];
      for (int depth = 0; c >= 0 && depth < kChainDepth; ++depth) {
        const std::size_t dist = o - static_cast<std::size_t>(c);
        if (dist > kMaxDistance) break;
        const std::uint8_t* cand = FIn + c;
        // A candidate that differs at the best length so far cannot beat it.
        const int probe = bestLen < maxLen ? bestLen : maxLen - 1;
        if (cand[probe] == cur[probe]) {
          const int len = MatchLength(cand, cur, maxLen);
          if (len > bestLen) {
            bestLen = len;
            bestDist = dist;
            if (len == maxLen) return;
          }
        }
        const std::int32_t next = FPrev[c & kRingMask];
        if (next >= c) break;
        c = next;
      }
      if (bestLen >= 5) return;
    }
    Try(FHead4[HashOf(v & KeyMask(4))], o, maxLen, bestLen, bestDist);
  }

 private:
  static constexpr std::uint64_t KeyMask(int n) { return (std::uint64_t{1} << (8 * n)) - 1; }

  void Try(std::int32_t c, std::size_t o, int maxLen, int& bestLen, std::size_t& bestDist) const {
    if (c < 0 || o - static_cast<std::size_t>(c) > kMaxDistance) return;
    const int len = MatchLength(FIn + c, FIn + o, maxLen);
    if (len >= kLzssMinMatch && len > bestLen) {
      bestLen = len;
      bestDist = o - static_cast<std::size_t>(c);
    }
  }

  const std::uint8_t* FIn;
  std::size_t FSize;
  // Positions fit 32 bits: the coder takes at most 2 GB.
  std::array<std::int32_t, std::size_t{1} << kHashBits> FHead5, FHead4;
  std::array<std::int32_t, kLzssRingSize> FPrev{};
};

// Greedy longest-match encoder of one range of the input; the bytes before
// the range are the window it starts with, as if the range had been reached
// by encoding everything before it.
class TEncoder {
 public:
  TEncoder(std::span<const std::uint8_t> data, std::size_t begin, std::size_t end)
      : FIn(data.data()), FSize(data.size()), FBegin(begin), FEnd(end), FFinder(FIn, FSize) {}

  void Run(TRangeCode& code) {
    for (std::size_t p = FBegin > kMaxDistance ? FBegin - kMaxDistance : 0; p < FBegin; ++p)
      FFinder.Insert(p);
    // A range other than the last ends with a whole group, so that the next
    // range's code follows it as it is. Near the end the phase is what the
    // group count would be if the rest went out as literals; matches are cut
    // to lengths that bring it to zero, and then the rest is literals.
    const std::uint8_t* in = FIn;
    const std::size_t end = FEnd;
    const std::size_t tail = end < FSize && end - FBegin > kTailBytes ? end - kTailBytes : end;
    TGroupWriter out(code.Prepare(end - FBegin));
    std::size_t o = FBegin;
    while (o < end) {
      const std::size_t phase = (end - o + out.Items()) & 7;
      if (o >= tail && phase == 0) break;
      const int maxLen = static_cast<int>(std::min<std::size_t>(kLzssMaxMatch, end - o));
      int len = 0;
      std::size_t dist = 0;
      if (maxLen >= kLzssMinMatch) {
        FFinder.Find(o, maxLen, len, dist);
        if (o < kMaxDistance) ZeroPrefixMatch(o, maxLen, len, dist);
        if (o >= tail) len = PhaseLength(len, static_cast<int>(phase));
      }
      if (len >= kLzssMinMatch) {
        out.Match((kLzssFirstPosition + o - dist) & kRingMask, len);
      } else {
        len = 1;
        out.Literal(in[o]);
      }
      for (const std::size_t stop = o + static_cast<std::size_t>(len); o < stop; ++o)
        FFinder.Insert(o);
    }
    for (; o < end; ++o) out.Literal(in[o]);
    const bool whole = (out.Items() & 7) == 0;
    code.Done(out.Finish(), whole);
  }

 private:
  // The longest length up to len that takes (len - 1) ≡ phase (mod 8) items
  // off the phase, or len itself when there is none.
  static int PhaseLength(int len, int phase) {
    int cut = len - ((len - 1 - phase) & 7);
    return cut >= kLzssMinMatch ? cut : len;
  }

  // Near the start the zero-filled ring lies behind the data: a run of zero
  // bytes matches it as long as the source stays inside the zeros.
  void ZeroPrefixMatch(std::size_t o, int maxLen, int& bestLen, std::size_t& bestDist) const {
    const int limit = static_cast<int>(std::min<std::size_t>(maxLen, kMaxDistance - o));
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
  TMatchFinder FFinder;
};

// Ranges encoded on the worker threads, handed to the sink in order as soon as
// all before them are out. A range waits for a code buffer until the range
// that used it before has been written, which bounds the memory to a few
// ranges' codes.
class TRangePipeline {
 public:
  TRangePipeline(std::span<const std::uint8_t> data, const TLzssSink& sink, int threads)
      : FData(data),
        FSink(sink),
        FRanges((data.size() + kLzssRangeBytes - 1) / kLzssRangeBytes),
        FSlots(static_cast<std::size_t>(2 * threads)),
        FDone(FSlots.size(), false) {}

  void Worker() {
    try {
      for (;;) {
        const std::size_t r = FNext.fetch_add(1);
        if (r >= FRanges || !WaitForSlot(r)) return;
        const std::size_t begin = r * kLzssRangeBytes;
        const std::size_t end = std::min(FData.size(), begin + kLzssRangeBytes);
        TEncoder(FData, begin, end).Run(FSlots[r % FSlots.size()]);
        Finished(r);
      }
    } catch (...) {
      Stop();
      throw;
    }
  }
  //! Writes the open last group, if any.
  void Finish() {
    if (!FFailed && !FCarry.Bytes().empty()) FSink(FCarry.Bytes());
  }

 private:
  bool WaitForSlot(std::size_t r) {
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [&] { return FFailed || FWritten + FSlots.size() > r; });
    return !FFailed;
  }

  // Marks range r done; the first thread to find the next range to write done
  // writes it and every done range after it, the lock released meanwhile.
  void Finished(std::size_t r) {
    std::unique_lock lock(FMutex);
    FDone[r % FSlots.size()] = true;
    if (FWriting) return;
    FWriting = true;
    while (!FFailed && FWritten < FRanges && FDone[FWritten % FSlots.size()]) {
      const TRangeCode& code = FSlots[FWritten % FSlots.size()];
      const bool last = FWritten + 1 == FRanges;
      lock.unlock();
      Write(code, last);
      lock.lock();
      FDone[FWritten % FSlots.size()] = false;
      ++FWritten;
      FChanged.notify_all();
    }
    FWriting = false;
  }

  // A range whose code ends inside a group (rare: no match near its end could
  // even it out) leaves its open group to the ranges after it, which are then
  // regrouped behind it.
  void Write(const TRangeCode& code, bool last) {
    if (FCarry.Bytes().empty() && (code.WholeGroups() || last)) {
      FSink(code.Bytes());
      return;
    }
    FCarry.Append(code.Bytes());
    FSink(FCarry.WholeGroupBytes());
    FCarry.DropWholeGroups();
  }

  void Stop() {
    std::lock_guard lock(FMutex);
    FFailed = true;
    FChanged.notify_all();
  }

  std::span<const std::uint8_t> FData;
  const TLzssSink& FSink;
  const std::size_t FRanges;
  std::vector<TRangeCode> FSlots;
  std::vector<bool> FDone;
  std::atomic<std::size_t> FNext{0};
  std::mutex FMutex;
  std::condition_variable FChanged;
  std::size_t FWritten = 0;
  bool FWriting = false, FFailed = false;
  TCodeWriter FCarry;
};

}  // namespace

void CompressTo(std::span<const std::uint8_t> data, const TLzssSink& sink) {
  if (data.empty()) return;
  if (data.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw EStreamError(Format(Msg(TMsg::SCompressTooLarge), data.size()));
  const std::size_t ranges = (data.size() + kLzssRangeBytes - 1) / kLzssRangeBytes;
  const int threads = static_cast<int>(std::min<std::size_t>(WorkerThreads(), ranges));
  TRangePipeline pipeline(data, sink, threads);
  RunParts(threads, [&](int) { pipeline.Worker(); });
  pipeline.Finish();
}

std::vector<std::uint8_t> CompressBytes(std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out;
  out.reserve(data.size() + data.size() / 8 + 16);
  CompressTo(data, [&](std::span<const std::uint8_t> code) {
    out.insert(out.end(), code.begin(), code.end());
  });
  return out;
}

}  // namespace qd
