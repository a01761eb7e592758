// The chart bound to the workbench grid with a cube of 1,000,000 of the shared
// benchmark rows: rows city, branch; columns year; summary amnt, and a
// dimension "cat" of 10,000 members (row i has member i mod 10,000). Each
// iteration moves a dimension (the grid model's rebuild is not timed) and
// times what the chart does with the notification: its working data again
// (categories, series, values, sort, filter, colours) and the Qt series.
// With cat on the rows the chart draws 1,000 of 10,000 categories and says so.
//
//   bench_chart [--rows=N] [google-benchmark flags]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/bench_data.h"
#include "bench/widget_bench_main.h"
#include "engine/cube/vantra.h"
#include "engine/data/memory_table.h"
#include "view/chart/vantra_chart.h"
#include "view/vantra_grid.h"

namespace qd {
namespace {

std::int64_t gRows = 1000000;

struct TChartFixture {
  std::unique_ptr<TMemoryTable> Table;
  TVantra Cube;
  std::unique_ptr<TVantraGrid> Grid;
  std::unique_ptr<TVantraChart> Chart;

  TChartFixture() {
    const bench::TFactColumns& c = bench::FactColumns(gRows);
    Table = std::make_unique<TMemoryTable>("facts");
    for (const char* name : {"city", "branch", "year", "cat"})
      Table->AddColumn(name, TFieldType::ftString);
    Table->AddColumn("amnt", TFieldType::ftFloat);
    Table->Reserve(static_cast<std::int64_t>(c.size()));
    char cat[16];
    for (std::size_t i = 0; i < c.size(); ++i) {
      const std::string& d = c.group_date[i];
      std::snprintf(cat, sizeof cat, "c%05zu", i % 10000);
      Table->PushText(0, c.city[i]);
      Table->PushText(1, c.branch[i]);
      Table->PushText(2, d.size() >= 4 ? std::string_view(d).substr(0, 4) : std::string_view());
      Table->PushText(3, cat);
      Table->PushFloat(4, c.amnt[i]);
      Table->EndRow();
    }
    Cube.SetDataSet(Table.get());
    Cube.RefreshDimensionMap();
    for (const char* d : {"city", "branch", "year", "cat"})
      Cube.DimensionMap().FindPlain(d)->DimSumType = TDimSumType::dsDimension;
    Cube.DimensionMap().FindPlain("amnt")->DimSumType = TDimSumType::dsSummary;
    Cube.DimensionMap().FindPlain("year")->DimGroup = TDimGroup::dgCol;
    Cube.DimensionMap().FindPlain("cat")->DimGroup = TDimGroup::dgPage;
    Cube.Options().ShowProgressBar = false;
    Cube.SetActive(true);
    Grid = std::make_unique<TVantraGrid>();
    Grid->resize(1200, 800);
    Grid->show();
    Grid->SetVantra(&Cube);
    Chart = std::make_unique<TVantraChart>();
    Chart->resize(1200, 800);
    Chart->show();
    Chart->SetVantGrid(Grid.get());
    Settle();
  }

  int Dim(const char* name) const {
    const TGridInfo& m = Grid->Model();
    for (int d = 0; d < m.DimensionStateCount(); ++d)
      if (m.GetDimName(d) == name) return d;
    return -1;
  }
  void Settle() {
    Grid->ProcessModelNotifications();
    QApplication::processEvents();
  }

  //! Moves `dim` on the rows to `first` and `second` in turn and times the
  //! chart's rebuild after each move.
  void Run(benchmark::State& state, const char* dim, int first, int second) {
    TGridInfo& m = Grid->Model();
    bool flip = false;
    for (auto _ : state) {
      state.PauseTiming();
      m.MoveDim(Dim(dim), TDimGroup::dgRow, flip ? second : first);
      flip = !flip;
      state.ResumeTiming();
      Chart->Rebuild();  // what the notification of the move runs
    }
    state.counters["categories"] = static_cast<double>(Chart->Data().Categories().size());
    state.counters["drawn"] = static_cast<double>(Chart->Plan().Categories.size());
    state.counters["series"] = static_cast<double>(Chart->Plan().Series.size());
    if (!Chart->LeftOutNote().isEmpty())
      std::printf("  %s\n", Chart->LeftOutNote().toStdString().c_str());
  }
};

// Goes before the application does: widgets must not outlive it.
std::unique_ptr<TChartFixture> gFixture;

TChartFixture& Fixture() {
  if (!gFixture) gFixture = std::make_unique<TChartFixture>();
  return *gFixture;
}

void BM_ChartAfterMovingCityOrBranch(benchmark::State& state) {
  Fixture().Run(state, "branch", 0, 2);  // branch and city take turns in front
}

void BM_ChartWithTenThousandCategories(benchmark::State& state) {
  TChartFixture& f = Fixture();
  f.Grid->Model().MoveDim(f.Dim("cat"), TDimGroup::dgRow, 0);
  f.Run(state, "branch", 1, 3);  // cat stays in front
}

BENCHMARK(BM_ChartAfterMovingCityOrBranch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartWithTenThousandCategories)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qd

int main(int argc, char** argv) {
  return qd::bench::RunWidgetBenchmarks(argc, argv, qd::gRows, [] { qd::gFixture.reset(); });
}
