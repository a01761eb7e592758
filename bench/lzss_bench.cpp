// LZSS compression and decompression speed on fact-table bytes: records of five
// 32-bit member indexes and two doubles built from the shared benchmark rows,
// repeated to 64 MB. The compressor runs on one thread and on two (wall time);
// a reference binary-tree encoder (the classic one the format comes from)
// measures how close the hash-chain encoder's ratio stays.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/bench_data.h"
#include "engine/core/worker_threads.h"
#include "engine/io/lzss.h"

namespace {

using TBytes = std::vector<std::uint8_t>;
constexpr std::size_t kTotalBytes = 64u << 20;
constexpr std::size_t kReferenceBytes = 8u << 20;

struct TMemberIndex {
  std::unordered_map<std::string, std::int32_t> index;
  std::int32_t Of(const std::string& s) { return index.emplace(s, index.size()).first->second; }
};

const TBytes& FactBytes() {
  static const TBytes bytes = [] {
    const auto& f = qd::bench::FactColumns(1000000);
    TMemberIndex city, branch, channel, product, date;
    TBytes one;
    one.reserve(f.size() * 36);
    for (std::size_t i = 0; i < f.size(); ++i) {
      std::int32_t keys[5] = {city.Of(f.city[i]), branch.Of(f.branch[i]), channel.Of(f.channel[i]),
                              product.Of(f.product[i]), date.Of(f.group_date[i])};
      double values[2] = {f.amnt[i], static_cast<double>(f.total_num[i])};
      auto* k = reinterpret_cast<const std::uint8_t*>(keys);
      auto* v = reinterpret_cast<const std::uint8_t*>(values);
      one.insert(one.end(), k, k + sizeof keys);
      one.insert(one.end(), v, v + sizeof values);
    }
    TBytes all;
    all.reserve(kTotalBytes);
    while (all.size() < kTotalBytes)
      all.insert(all.end(), one.begin(),
                 one.begin() + std::min(one.size(), kTotalBytes - all.size()));
    return all;
  }();
  return bytes;
}

const TBytes& FactCode() {
  static const TBytes code = qd::CompressBytes(FactBytes());
  return code;
}

// The classic binary-tree LZSS encoder with the same parameters (4096-byte
// zero-filled ring, 18-byte look-ahead, first write at 4078).
class TTreeEncoder {
 public:
  TBytes Encode(const TBytes& in) {
    constexpr int N = 4096, F = 18, T = 2, NIL = N;
    std::vector<std::uint8_t> text(N + F - 1, 0);
    std::vector<int> lson(N + 1), rson(N + 257, NIL), dad(N + 1, NIL);
    int matchPos = 0, matchLen = 0;
    auto insert = [&](int r) {
      int cmp = 1, p = N + 1 + text[r], i;
      rson[r] = lson[r] = NIL;
      matchLen = 0;
      for (;;) {
        if (cmp >= 0) {
          if (rson[p] != NIL) {
            p = rson[p];
          } else {
            rson[p] = r;
            dad[r] = p;
            return;
          }
        } else if (lson[p] != NIL) {
          p = lson[p];
        } else {
          lson[p] = r;
          dad[r] = p;
          return;
        }
        for (i = 1; i < F; i++)
          if ((cmp = text[r + i] - text[p + i]) != 0) break;
        if (i > matchLen) {
          matchPos = p;
          if ((matchLen = i) >= F) break;
        }
      }
      dad[r] = dad[p];
      lson[r] = lson[p];
      rson[r] = rson[p];
      dad[lson[p]] = r;
      dad[rson[p]] = r;
      if (rson[dad[p]] == p)
        rson[dad[p]] = r;
      else
        lson[dad[p]] = r;
      dad[p] = NIL;
    };
    auto remove = [&](int p) {
      int q;
      if (dad[p] == NIL) return;
      if (rson[p] == NIL) {
        q = lson[p];
      } else if (lson[p] == NIL) {
        q = rson[p];
      } else {
        q = lson[p];
        if (rson[q] != NIL) {
          do q = rson[q];
          while (rson[q] != NIL);
          rson[dad[q]] = lson[q];
          dad[lson[q]] = dad[q];
          lson[q] = lson[p];
          dad[lson[p]] = q;
        }
        rson[q] = rson[p];
        dad[rson[p]] = q;
      }
      dad[q] = dad[p];
      if (rson[dad[p]] == p)
        rson[dad[p]] = q;
      else
        lson[dad[p]] = q;
      dad[p] = NIL;
    };
    TBytes out;
    std::size_t at = 0;
    auto next = [&](int& c) {
      if (at >= in.size()) return false;
      c = in[at++];
      return true;
    };
    std::uint8_t code[17] = {0};
    int codePtr = 1, len, c, i;
    unsigned mask = 1;
    int s = 0, r = N - F;
    for (len = 0; len < F && next(c); len++) text[r + len] = static_cast<std::uint8_t>(c);
    if (len == 0) return out;
    for (i = 1; i <= F; i++) insert(r - i);
    insert(r);
    do {
      if (matchLen > len) matchLen = len;
      if (matchLen <= T) {
        matchLen = 1;
        code[0] |= mask;
        code[codePtr++] = text[r];
      } else {
        code[codePtr++] = static_cast<std::uint8_t>(matchPos);
        code[codePtr++] =
            static_cast<std::uint8_t>(((matchPos >> 4) & 0xF0) | (matchLen - (T + 1)));
      }
      if ((mask = (mask << 1) & 0xFF) == 0) {
        out.insert(out.end(), code, code + codePtr);
        code[0] = 0;
        codePtr = 1;
        mask = 1;
      }
      int last = matchLen;
      for (i = 0; i < last && next(c); i++) {
        remove(s);
        text[s] = static_cast<std::uint8_t>(c);
        if (s < F - 1) text[s + N] = static_cast<std::uint8_t>(c);
        s = (s + 1) & (N - 1);
        r = (r + 1) & (N - 1);
        insert(r);
      }
      while (i++ < last) {
        remove(s);
        s = (s + 1) & (N - 1);
        r = (r + 1) & (N - 1);
        if (--len) insert(r);
      }
    } while (len > 0);
    if (codePtr > 1) out.insert(out.end(), code, code + codePtr);
    return out;
  }
};

// The code goes to a sink that only counts it, as a file write would take it.
void BM_LzssCompress(benchmark::State& state) {
  const TBytes& data = FactBytes();
  qd::SetWorkerThreads(static_cast<int>(state.range(0)));
  std::size_t codeSize = 0;
  for (auto _ : state) {
    codeSize = 0;
    qd::CompressTo(data, [&](std::span<const std::uint8_t> code) { codeSize += code.size(); });
  }
  qd::SetWorkerThreads(0);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
  state.counters["ratio"] = static_cast<double>(data.size()) / codeSize;
}

void BM_LzssDecompress(benchmark::State& state) {
  const TBytes& code = FactCode();
  std::size_t outSize = 0;
  for (auto _ : state) {
    TBytes out = qd::DecompressBytes(code);
    outSize = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  if (qd::DecompressBytes(code) != FactBytes()) state.SkipWithError("round trip differs");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * outSize));
}

// Ratio of the binary-tree encoder against the hash-chain one on the first 8 MB.
void BM_LzssBinaryTreeReference(benchmark::State& state) {
  const TBytes part(FactBytes().begin(), FactBytes().begin() + kReferenceBytes);
  TBytes tree;
  for (auto _ : state) {
    tree = TTreeEncoder().Encode(part);
    benchmark::DoNotOptimize(tree.data());
  }
  if (qd::DecompressBytes(tree) != part) state.SkipWithError("tree stream does not decode");
  TBytes chain = qd::CompressBytes(part);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * part.size()));
  state.counters["tree_ratio"] = static_cast<double>(part.size()) / tree.size();
  state.counters["chain_ratio"] = static_cast<double>(part.size()) / chain.size();
}

BENCHMARK(BM_LzssCompress)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_LzssDecompress)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_LzssBinaryTreeReference)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
