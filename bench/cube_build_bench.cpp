// Building a cube from an in-memory table of the shared benchmark rows:
// dimensions city, branch, channel, product, pay_mode; summaries amnt,
// total_num. Reports rows/s, the peak memory of the build and the bytes per
// fact the build holds beyond the fact table. A second case builds one text
// dimension of 262,144 distinct members.
//
//   bench_cube_build [google-benchmark flags]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <random>

#include "bench/bench_data.h"
#include "engine/data/memory_table.h"
#include "engine/cube/vantra.h"

namespace qd {
namespace {

const char* const kDims[] = {"city", "branch", "channel", "product", "pay_mode"};

// Starts a new peak-memory reading at the current resident size.
void ResetPeakRss() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

std::unique_ptr<TMemoryTable> LoadFacts(std::int64_t rows) {
  const bench::TFactColumns& c = bench::FactColumns(rows);
  auto t = std::make_unique<TMemoryTable>("facts");
  for (const char* d : kDims) t->AddColumn(d, TFieldType::ftString);
  t->AddColumn("amnt", TFieldType::ftFloat);
  t->AddColumn("total_num", TFieldType::ftInteger);
  t->Reserve(static_cast<std::int64_t>(c.size()));
  for (std::size_t i = 0; i < c.size(); ++i) {
    t->PushText(0, c.city[i]);
    t->PushText(1, c.branch[i]);
    t->PushText(2, c.channel[i]);
    t->PushText(3, c.product[i]);
    t->PushText(4, c.pay_mode[i]);
    t->PushFloat(5, c.amnt[i]);
    t->PushInt(6, c.total_num[i]);
    t->EndRow();
  }
  return t;
}

TMemoryTable& Facts(std::int64_t rows) {
  static std::map<std::int64_t, std::unique_ptr<TMemoryTable>> tables;
  auto& t = tables[rows];
  if (!t) t = LoadFacts(rows);
  return *t;
}

void DefineCube(TVantra& cube, TDataSet& data, const std::vector<std::string>& dims,
                const std::vector<std::string>& sums) {
  cube.Options().ShowProgressBar = true;  // the build runs under a progress sink
  cube.SetDataSet(&data);
  cube.RefreshDimensionMap();
  for (const auto& d : dims) cube.PlaceAsDimension(d, TDimGroup::dgRow);
  for (const auto& s : sums) cube.MarkAsSummary(s);
}

void BM_BuildCube(benchmark::State& state) {
  const std::int64_t rows = state.range(0);
  TMemoryTable& data = Facts(rows);
  TVantra cube;
  DefineCube(cube, data, {kDims, kDims + 5}, {"amnt", "total_num"});
  double beyond = 0, peak = 0, table = 0;
  for (auto _ : state) {
    state.PauseTiming();
    cube.SetActive(false);
    cube.Built().Clear();
    const double before = static_cast<double>(bench::CurrentRssBytes());
    ResetPeakRss();
    state.ResumeTiming();
    cube.SetActive(true);
    state.PauseTiming();
    peak = static_cast<double>(bench::PeakRssBytes());
    table = static_cast<double>(cube.FactTable()->RecordCount()) * cube.FactTable()->RecordSize();
    beyond = (peak - before - table) / static_cast<double>(rows);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * rows);
  state.counters["peak_rss_MB"] = peak / 1e6;
  state.counters["fact_table_MB"] = table / 1e6;
  state.counters["bytes_per_fact_beyond_table"] = beyond;
}
BENCHMARK(BM_BuildCube)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BuildTextDimension262144(benchmark::State& state) {
  const int members = 262144;
  std::vector<int> order(members);
  for (int i = 0; i < members; ++i) order[static_cast<std::size_t>(i)] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  TMemoryTable data("members");
  data.AddColumn("name", TFieldType::ftString);
  data.AddColumn("value", TFieldType::ftFloat);
  char buf[32];
  for (int i : order) {
    std::snprintf(buf, sizeof buf, "Member_%06d", i);
    data.PushText(0, buf);
    data.PushFloat(1, i);
    data.EndRow();
  }
  TVantra cube;
  DefineCube(cube, data, {"name"}, {"value"});
  for (auto _ : state) {
    cube.SetActive(true);
    state.PauseTiming();
    if (cube.Dimensions()[0]->MemberCount() != members) state.SkipWithError("wrong member count");
    cube.SetActive(false);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * members);
}
BENCHMARK(BM_BuildTextDimension262144)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace qd

BENCHMARK_MAIN();
