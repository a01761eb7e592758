// Saving and loading a local cube file of the shared benchmark rows: the cube
// of cube_build_bench (dimensions city, branch, channel, product, pay_mode;
// summaries amnt, total_num) is built once, then written to a .vtc file and
// read back, and read back from a grid-data file (.vtg) holding it. Reports
// seconds, the file size and the peak memory of each direction beyond what
// was resident before, also as a multiple of the fact table's bytes.
//
//   bench_cube_file [google-benchmark flags]
//   QD_BENCH_TMP=<folder> places the file (default: the system's temp folder).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "bench/bench_data.h"
#include "engine/cube/cube_file.h"
#include "engine/data/memory_table.h"
#include "engine/cube/vantra.h"
#include "model/grid_file.h"
#include "model/grid_info.h"

namespace qd {
namespace {

const char* const kDims[] = {"city", "branch", "channel", "product", "pay_mode"};

void ResetPeakRss() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

std::string FilePath(std::int64_t rows) {
  const char* env = std::getenv("QD_BENCH_TMP");
  const std::filesystem::path dir = env ? env : std::filesystem::temp_directory_path();
  return (dir / ("qd_bench_" + std::to_string(rows) + ".vtc")).string();
}

// The built cube and the table it was built from; the readings below are
// taken relative to what is resident before each operation.
TVantra& BuiltCube(std::int64_t rows) {
  static std::int64_t builtRows = 0;
  static std::unique_ptr<TVantra> cube;
  static std::unique_ptr<TMemoryTable> source;
  if (cube && builtRows == rows) return *cube;
  cube.reset();
  const bench::TFactColumns& c = bench::FactColumns(rows);
  source = std::make_unique<TMemoryTable>("facts");
  TMemoryTable& table = *source;
  for (const char* d : kDims) table.AddColumn(d, TFieldType::ftString);
  table.AddColumn("amnt", TFieldType::ftFloat);
  table.AddColumn("total_num", TFieldType::ftInteger);
  table.Reserve(static_cast<std::int64_t>(c.size()));
  for (std::size_t i = 0; i < c.size(); ++i) {
    table.PushText(0, c.city[i]);
    table.PushText(1, c.branch[i]);
    table.PushText(2, c.channel[i]);
    table.PushText(3, c.product[i]);
    table.PushText(4, c.pay_mode[i]);
    table.PushFloat(5, c.amnt[i]);
    table.PushInt(6, c.total_num[i]);
    table.EndRow();
  }
  cube = std::make_unique<TVantra>();
  cube->Options().ShowProgressBar = false;
  cube->SetDataSet(&table);
  cube->RefreshDimensionMap();
  for (const char* d : kDims) cube->PlaceAsDimension(d, TDimGroup::dgRow);
  cube->MarkAsSummary("amnt");
  cube->MarkAsSummary("total_num");
  cube->SetActive(true);
  builtRows = rows;
  return *cube;
}

double FactBytes(const TCustomVantra& cube) {
  return static_cast<double>(cube.FactTable()->RecordCount()) * cube.FactTable()->RecordSize();
}

void Report(benchmark::State& state, double peak, double before, double table,
            const std::string& file) {
  state.counters["peak_beyond_before_MB"] = (peak - before) / 1e6;
  state.counters["peak_per_fact_table"] = (peak - before) / table;
  state.counters["fact_table_MB"] = table / 1e6;
  std::error_code ec;
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(file, ec)) / 1e6;
}

void BM_SaveCubeFile(benchmark::State& state) {
  TVantra& cube = BuiltCube(state.range(0));
  const std::string path = FilePath(state.range(0));
  double peak = 0, before = 0;
  for (auto _ : state) {
    state.PauseTiming();
    before = static_cast<double>(bench::CurrentRssBytes());
    ResetPeakRss();
    state.ResumeTiming();
    SaveCubeToFile(cube, path);
    state.PauseTiming();
    peak = static_cast<double>(bench::PeakRssBytes());
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  Report(state, peak, before, FactBytes(cube), path);
}
BENCHMARK(BM_SaveCubeFile)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

void BM_LoadCubeFile(benchmark::State& state) {
  const std::string path = FilePath(state.range(0));
  if (!std::filesystem::exists(path)) SaveCubeToFile(BuiltCube(state.range(0)), path);
  double peak = 0, before = 0, table = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto cube = std::make_unique<TVantra>();
    before = static_cast<double>(bench::CurrentRssBytes());
    ResetPeakRss();
    state.ResumeTiming();
    LoadCubeFromFile(*cube, path);
    state.PauseTiming();
    peak = static_cast<double>(bench::PeakRssBytes());
    table = FactBytes(*cube);
    if (cube->FactTable()->RecordCount() != state.range(0)) state.SkipWithError("lost facts");
    cube.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  Report(state, peak, before, table, path);
}
BENCHMARK(BM_LoadCubeFile)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// The same cube in a grid-data file with a saved state and the current layout
// (city by branch), opened as the window and `quarrydesk-cli pivot FILE.vtg`
// open it: the model reads the file, loads its cube and lays the layout out.
std::string GridFilePath(std::int64_t rows) {
  std::string path = FilePath(rows);
  return path.replace(path.size() - 4, 4, ".vtg");
}

void BM_LoadGridFile(benchmark::State& state) {
  const std::string path = GridFilePath(state.range(0));
  if (!std::filesystem::exists(path)) {
    TVantra& built = BuiltCube(state.range(0));
    TGridInfo grid;
    grid.BeginUpdate();
    grid.SetVantra(&built);
    // city on the rows, branch on the columns, the rest on the page axis.
    grid.MoveDim(1, TDimGroup::dgCol, 0);
    for (int d = 2; d < 5; ++d) grid.MoveDim(d, TDimGroup::dgPage, 0);
    grid.EndUpdate(TChangeKind::ckCube);
    grid.SavePivotState("all");
    grid.SaveToFile(path, kGridDataParts);
  }
  double peak = 0, before = 0, table = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto cube = std::make_unique<TVantra>();
    cube->Options().ShowProgressBar = false;
    auto grid = std::make_unique<TGridInfo>();
    grid->SetVantra(cube.get());
    before = static_cast<double>(bench::CurrentRssBytes());
    ResetPeakRss();
    state.ResumeTiming();
    grid->LoadFromFile(path);
    state.PauseTiming();
    peak = static_cast<double>(bench::PeakRssBytes());
    table = FactBytes(*cube);
    if (cube->FactTable()->RecordCount() != state.range(0)) state.SkipWithError("lost facts");
    grid.reset();
    cube.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  Report(state, peak, before, table, path);
}
BENCHMARK(BM_LoadGridFile)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

}  // namespace
}  // namespace qd

BENCHMARK_MAIN();
