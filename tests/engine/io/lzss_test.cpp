#include "engine/io/lzss.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "engine/core/errors.h"
#include "engine/core/worker_threads.h"
#include "engine/io/memory_stream.h"

namespace qd {
namespace {

using TBytes = std::vector<std::uint8_t>;

// The decoder exactly as the format describes it, byte by byte over a ring.
TBytes ReferenceDecode(const TBytes& in) {
  std::uint8_t ring[4096] = {};
  unsigned r = 4078;
  TBytes out;
  std::size_t i = 0;
  unsigned flags = 0;
  for (;;) {
    if (((flags >>= 1) & 256) == 0) {
      if (i >= in.size()) break;
      flags = in[i++] | 0xFF00;
    }
    if (flags & 1) {
      if (i >= in.size()) break;
      std::uint8_t c = in[i++];
      out.push_back(c);
      ring[r++] = c;
      r &= 4095;
    } else {
      if (i + 1 >= in.size()) break;
      unsigned pos = in[i] | ((in[i + 1] & 0xF0) << 4);
      unsigned len = (in[i + 1] & 0x0F) + 3;
      i += 2;
      for (unsigned k = 0; k < len; ++k) {
        std::uint8_t c = ring[(pos + k) & 4095];
        out.push_back(c);
        ring[r++] = c;
        r &= 4095;
      }
    }
  }
  return out;
}

TBytes RandomBytes(std::size_t n, unsigned seed, unsigned alphabet = 256) {
  std::mt19937 rng(seed);
  TBytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng() % alphabet);
  return out;
}

void ExpectRoundTrip(const TBytes& data) {
  TBytes code = CompressBytes(data);
  ASSERT_EQ(DecompressBytes(code), data);
  ASSERT_EQ(ReferenceDecode(code), data);
}

TEST(Lzss, RoundTripsRandomRepetitiveAndZeroDataOfSeveralMegabytes) {
  const std::size_t n = 3 << 20;
  TBytes random = RandomBytes(n, 1);
  ExpectRoundTrip(random);
  TBytes zeros(n, 0);
  ExpectRoundTrip(zeros);
  EXPECT_LT(CompressBytes(zeros).size(), n / 8);  // 18 bytes per 2 + 1/8
  // Repetitive records with slowly changing fields, like a fact table.
  TBytes records;
  std::mt19937 rng(5);
  for (std::uint32_t i = 0; records.size() < n; ++i) {
    std::uint32_t fields[5] = {i % 7, i % 30, (i / 100) % 12,
                               static_cast<std::uint32_t>(rng() % 500), 3};
    auto* p = reinterpret_cast<const std::uint8_t*>(fields);
    records.insert(records.end(), p, p + sizeof fields);
  }
  ExpectRoundTrip(records);
  EXPECT_LT(CompressBytes(records).size(), records.size() / 2);
  // Small alphabets and short inputs around the group and window sizes.
  for (std::size_t size : {1u, 2u, 3u, 17u, 18u, 19u, 4077u, 4078u, 4079u, 4096u, 9000u})
    for (unsigned alphabet : {1u, 2u, 4u, 256u}) ExpectRoundTrip(RandomBytes(size, size, alphabet));
}

// Large inputs are encoded in ranges on several threads and joined; the code
// must decode with the reference and be the same for one thread and two.
TEST(Lzss, InputsOfSeveralRangesGiveOneCodeOnAnyNumberOfThreads) {
  TBytes data;
  std::mt19937 rng(9);
  for (std::uint32_t i = 0; data.size() < (8u << 20) + 300000; ++i) {
    std::uint32_t fields[3] = {i % 11, static_cast<std::uint32_t>(rng() % 300), i / 1000};
    auto* p = reinterpret_cast<const std::uint8_t*>(fields);
    data.insert(data.end(), p, p + sizeof fields);
  }
  // A stretch of noise across the first range's end leaves a group open there.
  for (std::size_t i = (8u << 20) - 1001; i < (8u << 20) + 2000; ++i)
    data[i] = static_cast<std::uint8_t>(rng());
  TBytes codes[2];
  for (int threads : {1, 2}) {
    SetWorkerThreads(threads);
    codes[threads - 1] = CompressBytes(data);
  }
  SetWorkerThreads(0);
  EXPECT_EQ(codes[0], codes[1]);
  EXPECT_LT(codes[0].size(), data.size() / 3);
  ASSERT_EQ(DecompressBytes(codes[0]), data);
  ASSERT_EQ(ReferenceDecode(codes[0]), data);
}

// A range whose end no match can bring onto a whole group (noise after a run
// of zeros) hands its open group to the next range, whose items are then
// regrouped behind it: the shifts put the open group at each of its lengths.
TEST(Lzss, RangesEndingInsideAGroupJoinTheNextRange) {
  for (std::size_t shift = 0; shift < 8; ++shift) {
    TBytes data(kLzssRangeBytes - 400 + shift, 0);
    const TBytes noise = RandomBytes(kLzssRangeBytes + 1000, static_cast<unsigned>(shift));
    data.insert(data.end(), noise.begin(), noise.end());
    data.resize(data.size() + 5000, 0);
    TBytes codes[2];
    for (int threads : {1, 2}) {
      SetWorkerThreads(threads);
      codes[threads - 1] = CompressBytes(data);
    }
    SetWorkerThreads(0);
    ASSERT_EQ(codes[0], codes[1]) << "shift " << shift;
    ASSERT_EQ(ReferenceDecode(codes[0]), data) << "shift " << shift;
  }
}

// The code goes to the sink while later ranges are still being encoded; a
// sink that fails stops the encoding and its error comes back to the caller.
TEST(Lzss, ASinkThatFailsStopsTheEncoding) {
  const TBytes data = RandomBytes(6 * kLzssRangeBytes, 3, 4);
  for (int threads : {1, 2}) {
    SetWorkerThreads(threads);
    int calls = 0;
    EXPECT_THROW(CompressTo(data,
                            [&](std::span<const std::uint8_t>) {
                              if (++calls == 2) throw EStreamError("disk full");
                            }),
                 EStreamError);
    EXPECT_EQ(calls, 2);
  }
  SetWorkerThreads(0);
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_THROW(CompressToFile(data, "/dev/full"), EStreamError);
  }
  // Inputs beyond 2 GB are refused before a byte is read or written (the
  // mapping is never touched).
  const std::size_t huge = std::size_t{1} << 31;
  void* map = ::mmap(nullptr, huge, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  ASSERT_NE(map, MAP_FAILED);
  int calls = 0;
  EXPECT_THROW(CompressTo(std::span(static_cast<const std::uint8_t*>(map), huge),
                          [&](std::span<const std::uint8_t>) { ++calls; }),
               EStreamError);
  EXPECT_EQ(calls, 0);
  ::munmap(map, huge);
}

TEST(Lzss, EmptyInEmptyOut) {
  EXPECT_TRUE(CompressBytes({}).empty());
  EXPECT_TRUE(DecompressBytes({}).empty());
}

TEST(Lzss, LeadingZerosMatchTheZeroFilledRing) {
  TBytes data(18, 0);
  data.push_back('x');
  TBytes code = CompressBytes(data);
  ASSERT_GE(code.size(), 3u);
  EXPECT_EQ(code[0] & 1, 0);      // first item is a match …
  EXPECT_EQ(code[2] & 0x0F, 15);  // … of length 18
  EXPECT_EQ(DecompressBytes(code), data);
}

TEST(Lzss, DecodesHandMadeStreamsReachingIntoTheInitialWindow) {
  // flags 0b0000'0101: literal 'A', a match, literal 'B', a match.
  // First match: ring position 4070, length 10 — eight initial zeros, the 'A'
  // just written at 4078, then the byte this very match wrote at 4079.
  // Second match: position 100, never written, so still zero; length 7.
  TBytes code = {0x05, 'A', 0xE6, 0xF7, 'B', 0x64, 0x04};
  TBytes expected = {'A', 0, 0, 0, 0, 0, 0, 0, 0, 'A', 0, 'B', 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(ReferenceDecode(code), expected);
  EXPECT_EQ(DecompressBytes(code), expected);
}

TEST(Lzss, AnyByteStringDecodesLikeTheReferenceAndTruncationGivesAPrefix) {
  for (unsigned seed = 0; seed < 200; ++seed) {
    TBytes code = RandomBytes(1 + seed * 37, seed);
    TBytes decoded = DecompressBytes(code);
    ASSERT_EQ(decoded, ReferenceDecode(code)) << "seed " << seed;
    TBytes cut(code.begin(), code.begin() + code.size() / 2);
    TBytes partial = DecompressBytes(cut);
    ASSERT_LE(partial.size(), decoded.size());
    ASSERT_TRUE(std::equal(partial.begin(), partial.end(), decoded.begin()));
  }
}

TEST(Lzss, DecodingInPiecesJoinsToTheWholeStream) {
  // Pieces shorter than a match and than the ring cut matches and make
  // matches reach back across several pieces.
  for (unsigned seed = 0; seed < 40; ++seed) {
    TBytes data = RandomBytes(20000 + seed * 1000, seed, seed % 2 ? 3 : 256);
    data.insert(data.begin() + 5000, 3000, 0);
    const TBytes code = seed % 4 == 3 ? RandomBytes(9000, seed) : CompressBytes(data);
    const TBytes whole = ReferenceDecode(code);
    std::mt19937 rng(seed);
    TLzssDecoder decoder(code);
    TBytes joined;
    while (!decoder.AtEnd()) {
      const std::size_t bound = decoder.RemainingBound();
      ASSERT_GE(bound, whole.size() - joined.size()) << "seed " << seed;
      const std::size_t piece = seed % 3 == 0 ? 1 + rng() % 20 : 1 + rng() % 6000;
      TBytes out(piece);
      out.resize(decoder.Decode(out.data(), piece));
      joined.insert(joined.end(), out.begin(), out.end());
      ASSERT_EQ(decoder.Decoded(), joined.size());
    }
    ASSERT_EQ(joined, whole) << "seed " << seed;
  }
}

TEST(Lzss, CompressesIntoAFileAndBack) {
  auto path = std::filesystem::temp_directory_path() /
              ("qd_lzss_test_" + std::to_string(::getpid()) + ".bin");
  TMemoryStream source(RandomBytes(100000, 9, 16));
  CompressStream(source, path.string());
  TMemoryStream target;
  target.Write("junk", 4);
  DecompressStream(path.string(), target);
  EXPECT_EQ(target.Position(), 0u);
  EXPECT_TRUE(std::equal(target.Bytes().begin(), target.Bytes().end(), source.Bytes().begin(),
                         source.Bytes().end()));
  std::filesystem::remove(path);
  EXPECT_THROW(DecompressStream(path.string(), target), EStreamError);
}

}  // namespace
}  // namespace qd
