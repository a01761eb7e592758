// The aggregation on the shared benchmark rows: rows city, branch; columns
// year, quarter of group_date; summary amnt. Measures the fact scan, the totals
// of every mask of the pivot, the value order and the median pass.
//
//   bench_aggregate [--rows=N] [google-benchmark flags]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <unordered_map>

#include "bench/bench_data.h"
#include "engine/aggregate/aggregate.h"
#include "engine/aggregate/aggregate_scan.h"
#include "engine/aggregate/aggregate_two_pass.h"
#include "engine/cube/fact_table.h"

namespace qd {
namespace {

std::int64_t gRows = 10000000;

// Active order (largest first): branch, city, year, quarter.
constexpr int kDims = 4;
constexpr int kBranch = 0, kCity = 1, kYear = 2, kQuarter = 3;

struct TBenchCube {
  std::unique_ptr<TFactTable> facts;
  std::int32_t nodes[kDims] = {};
  std::uint64_t mult[kDims] = {};
  std::vector<std::int32_t> digits[kDims];
};

std::int32_t Intern(std::unordered_map<std::string, std::int32_t>& map, const std::string& s) {
  auto [it, added] = map.emplace(s, static_cast<std::int32_t>(map.size()));
  return it->second;
}

const TBenchCube& Cube() {
  static TBenchCube cube = [] {
    const bench::TFactColumns& c = bench::FactColumns(gRows);
    TBenchCube b;
    b.facts = std::make_unique<TFactTable>(kDims, 1);
    b.facts->Reserve(static_cast<std::int32_t>(c.size()));
    std::unordered_map<std::string, std::int32_t> maps[kDims];
    for (std::size_t i = 0; i < c.size(); ++i) {
      std::int32_t r = b.facts->Append();
      const std::string& date = c.group_date[i];
      int month = std::atoi(date.c_str() + 5);
      b.facts->SetMember(r, kBranch, Intern(maps[kBranch], c.branch[i]));
      b.facts->SetMember(r, kCity, Intern(maps[kCity], c.city[i]));
      b.facts->SetMember(r, kYear, Intern(maps[kYear], date.substr(0, 4)));
      b.facts->SetMember(r, kQuarter, (month - 1) / 3);
      b.facts->SetValue(r, 0, c.amnt[i]);
    }
    maps[kQuarter] = {{"Q1", 0}, {"Q2", 1}, {"Q3", 2}, {"Q4", 3}};
    std::uint64_t capacity = 1;
    for (int p = kDims - 1; p >= 0; --p) {
      b.nodes[p] = static_cast<std::int32_t>(maps[p].size());
      b.mult[p] = capacity;
      capacity *= static_cast<std::uint64_t>(b.nodes[p]) + 1;
      for (std::int32_t m = 0; m < b.nodes[p]; ++m) b.digits[p].push_back(m);
    }
    std::fprintf(stderr, "fact table: %d records, %.0f MB; key capacity %llu\n",
                 b.facts->RecordCount(), b.facts->AllocatedBytes() / 1e6,
                 static_cast<unsigned long long>(capacity));
    return b;
  }();
  return cube;
}

// The scan the grid model runs for this layout.
TBaseScan Scan(bool keepRecordCells) {
  const TBenchCube& b = Cube();
  static const char* const kNames[kDims] = {"branch", "city", "year", "quarter"};
  TScanRequest request;
  for (int p = 0; p < kDims; ++p) request.Dims.push_back({p, b.mult[p], b.digits[p], kNames[p]});
  request.Summaries = {0};
  request.KeepRecordCells = keepRecordCells;
  return ScanFacts(*b.facts, request);
}

// The totals of `mask` from the totals of the finer mask `source`: every
// position of the mask becomes Total, by arithmetic on the keys.
std::unique_ptr<TTotals> Derive(const TTotals& source, std::uint32_t mask) {
  const TBenchCube& b = Cube();
  TSummaryArray acc;
  const TKeyList& keys = source.Keys();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    auto key = static_cast<std::uint64_t>(keys[i]);
    for (int p = 0; p < kDims; ++p) {
      if (!(mask & (1u << p))) continue;
      std::uint64_t digit = key / b.mult[p] % (static_cast<std::uint64_t>(b.nodes[p]) + 1);
      key += (b.nodes[p] - digit) * b.mult[p];
    }
    acc.AddCell(static_cast<std::int64_t>(key), source.Sums[i], source.Counts[i], source.Mins[i],
                source.Maxs[i]);
  }
  return acc.ToTotals(std::make_shared<TKeyList>());
}

// Every mask, each from the smallest finer mask computed before it.
std::vector<std::unique_ptr<TTotals>> AllMasks(std::unique_ptr<TTotals> base) {
  std::vector<std::unique_ptr<TTotals>> masks(1u << kDims);
  masks[0] = std::move(base);
  for (std::uint32_t m = 1; m < masks.size(); ++m) {
    const TTotals* best = nullptr;
    for (std::uint32_t s = 0; s < m; ++s) {
      if ((s & ~m) == 0 && (!best || masks[s]->Size() < best->Size())) best = masks[s].get();
    }
    masks[m] = Derive(*best, m);
  }
  return masks;
}

const std::uint32_t kPivotMasks[] = {0,
                                     1 << kQuarter,
                                     (1 << kYear) | (1 << kQuarter),
                                     1 << kBranch,
                                     (1 << kBranch) | (1 << kQuarter),
                                     (1 << kBranch) | (1 << kYear) | (1 << kQuarter),
                                     (1 << kBranch) | (1 << kCity),
                                     (1 << kBranch) | (1 << kCity) | (1 << kQuarter),
                                     15};

// The scan as the grid model binds the layout (no record cells kept).
void BM_FactScan(benchmark::State& state) {
  Cube();
  for (auto _ : state) {
    TBaseScan scan = Scan(false);
    benchmark::DoNotOptimize(scan.Keys->data());
  }
  state.counters["cells"] = static_cast<double>(Scan(false).Keys->size());
}

// For comparison: record by record into one TSummaryArray, as a naive scan would.
void BM_FactScanRecordByRecord(benchmark::State& state) {
  const TBenchCube& b = Cube();
  for (auto _ : state) {
    TSummaryArray acc;
    const TFactTable& f = *b.facts;
    for (std::int32_t r = 0; r < f.RecordCount(); ++r) {
      std::uint64_t key = 0;
      for (int p = 0; p < kDims; ++p) key += static_cast<std::uint64_t>(f.Member(r, p)) * b.mult[p];
      acc.Add(static_cast<std::int64_t>(key), f.Value(r, 0));
    }
    auto totals = acc.ToTotals(std::make_shared<TKeyList>());
    benchmark::DoNotOptimize(totals->Sums.data());
  }
}

// The whole pivot: scan, all sixteen masks, and Sum, Count, Average, Min, Max
// of every cell.
void BM_WholePivot(benchmark::State& state) {
  Cube();
  for (auto _ : state) {
    TBaseScan scan = Scan(false);
    auto masks = AllMasks(std::move(scan.Totals[0]));
    double check = 0;
    for (const auto& t : masks) {
      for (std::size_t i = 0; i < t->Size(); ++i) {
        for (TFunction f : {TFunction::stSum, TFunction::stCount, TFunction::stAverage,
                            TFunction::stMin, TFunction::stMax}) {
          check += FunctionValueAt(*t, i, f);
        }
      }
    }
    benchmark::DoNotOptimize(check);
  }
}

// The values of the summary grouped by base cell, which the second pass reads.
void BM_GroupByBaseCell(benchmark::State& state) {
  const TBenchCube& b = Cube();
  TBaseScan scan = Scan(true);
  for (auto _ : state) {
    TDPFactData data(*b.facts, 0, scan.RecordCell, scan.Keys->size());
    benchmark::DoNotOptimize(data.CellCount());
  }
}

// The median pass: the values grouped by base cell, then the medians of the
// nine masks of the nested pivot (every cell of rows city > branch by columns
// year > quarter); QD_BENCH_MOMENTS=1 computes the moments too.
void BM_MedianPass(benchmark::State& state) {
  TBaseScan scan = Scan(true);
  const std::size_t bases = scan.Keys->size();
  auto masks = AllMasks(std::move(scan.Totals[0]));
  const TBenchCube& b = Cube();
  for (auto _ : state) {
    state.PauseTiming();
    for (auto& t : masks) t->TwoPass.clear(), t->TwoPassDone = false;
    state.ResumeTiming();
    TDPFactData data(*b.facts, 0, scan.RecordCell, bases);
    TSecondPassOptions options;
    options.Moments = std::getenv("QD_BENCH_MOMENTS") != nullptr;
    std::vector<TTotals*> lines;
    std::vector<TCellTargets> targets;
    const TTotals& base = *masks[0];
    for (std::uint32_t m : kPivotMasks) {
      TTotals& t = *masks[m];
      // Each base cell feeds the one cell of the mask its key falls into.
      TCellTargets& tm = targets.emplace_back();
      for (std::size_t c = 0; c < bases; ++c) {
        auto key = static_cast<std::uint64_t>(base.Keys()[c]);
        for (int p = 0; p < kDims; ++p) {
          if (!(m & (1u << p))) continue;
          std::uint64_t digit = key / b.mult[p] % (static_cast<std::uint64_t>(b.nodes[p]) + 1);
          key += (b.nodes[p] - digit) * b.mult[p];
        }
        std::int32_t target[] = {
            static_cast<std::int32_t>(t.IndexOf(static_cast<std::int64_t>(key)))};
        tm.AddSource(target);
      }
      lines.push_back(&t);
    }
    if (std::getenv("QD_BENCH_SPLIT")) {
      for (std::size_t k = 0; k < lines.size(); ++k) {
        clock_t c0 = std::clock();
        RunSecondPass(*lines[k], data, targets[k], options);
        if (std::getenv("QD_BENCH_VERBOSE")) {
          std::fprintf(stderr, "mask %u: %zu cells, %.0f ms\n", kPivotMasks[k], lines[k]->Size(),
                       (std::clock() - c0) * 1000.0 / CLOCKS_PER_SEC);
        }
      }
    } else {
      RunSecondPass(lines, data, targets, options);
    }
    benchmark::DoNotOptimize(masks[15]->TwoPass[0].Median);
  }
  std::fprintf(
      stderr,
      "grand total: median %.2f, variance %.1f, min %.2f, max %.2f (first pass %.2f, %.2f)\n",
      masks[15]->TwoPass[0].Median, masks[15]->TwoPass[0].Variance, masks[15]->TwoPass[0].Minimum,
      masks[15]->TwoPass[0].Maximum, masks[15]->Mins[0], masks[15]->Maxs[0]);
}

// Memory beyond what the process held before (the fact table and the parsed
// rows), the peak reset first: of the scan alone as a layout of Sum, Count,
// Average, Min and Max runs it, and of the scan, the masks and the median pass.
void ResetPeakRss() {
  if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", f);
    std::fclose(f);
  }
}

void BM_MemoryBeyondFacts(benchmark::State& state) {
  Cube();
  std::int64_t scanOnly = 0, extra = 0;
  for (auto _ : state) {
    std::int64_t before = bench::CurrentRssBytes();
    ResetPeakRss();
    {
      TBaseScan scan = Scan(false);
      benchmark::DoNotOptimize(scan.Keys->data());
      scanOnly = bench::PeakRssBytes() - before;
    }
    before = bench::CurrentRssBytes();
    ResetPeakRss();
    TBaseScan scan = Scan(true);
    auto masks = AllMasks(std::move(scan.Totals[0]));
    TDPFactData data(*Cube().facts, 0, scan.RecordCell, scan.Keys->size());
    extra = bench::PeakRssBytes() - before;
  }
  state.counters["scan_MB"] = static_cast<double>(scanOnly) / 1e6;
  state.counters["extra_MB"] = static_cast<double>(extra) / 1e6;
  state.counters["fact_table_MB"] = static_cast<double>(Cube().facts->AllocatedBytes()) / 1e6;
}

BENCHMARK(BM_FactScan)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FactScanRecordByRecord)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WholePivot)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GroupByBaseCell)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MedianPass)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_MemoryBeyondFacts)->Iterations(1);

}  // namespace
}  // namespace qd

int main(int argc, char** argv) {
  qd::bench::TakeRowsArgument(argc, argv, qd::gRows);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
