// Painting the whole workbench grid control with a cube of 1,000,000 of the
// shared benchmark rows open: rows city, branch; columns year, quarter of
// group_date; summary amnt. The pivot is painted collapsed, fully expanded
// (thousands of row labels) and scrolled to its middle, each into an
// offscreen 1200 x 800 image; painting should cost about the same in all
// three, because only the visible cells are formatted and drawn.
//
//   bench_grid_paint [--rows=N] [google-benchmark flags]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "bench/bench_data.h"
#include "bench/widget_bench_main.h"
#include "engine/data/memory_table.h"
#include "engine/cube/vantra.h"
#include "view/internal_grid.h"
#include "view/vantra_grid.h"

namespace qd {
namespace {

std::int64_t gRows = 1000000;

struct TPaintFixture {
  std::unique_ptr<TMemoryTable> Table;
  TVantra Cube;
  std::unique_ptr<TVantraGrid> Grid;

  TPaintFixture() {
    const bench::TFactColumns& c = bench::FactColumns(gRows);
    Table = std::make_unique<TMemoryTable>("facts");
    Table->AddColumn("city", TFieldType::ftString);
    Table->AddColumn("branch", TFieldType::ftString);
    Table->AddColumn("year", TFieldType::ftString);
    Table->AddColumn("quarter", TFieldType::ftString);
    Table->AddColumn("amnt", TFieldType::ftFloat);
    Table->Reserve(static_cast<std::int64_t>(c.size()));
    static const char* const kQuarters[] = {"Q1", "Q1", "Q1", "Q2", "Q2", "Q2",
                                            "Q3", "Q3", "Q3", "Q4", "Q4", "Q4"};
    for (std::size_t i = 0; i < c.size(); ++i) {
      const std::string& d = c.group_date[i];
      const int month = d.size() >= 7 ? (d[5] - '0') * 10 + (d[6] - '0') : 0;
      Table->PushText(0, c.city[i]);
      Table->PushText(1, c.branch[i]);
      Table->PushText(2, d.size() >= 4 ? std::string_view(d).substr(0, 4) : std::string_view());
      Table->PushText(3, month >= 1 && month <= 12 ? kQuarters[month - 1] : "");
      Table->PushFloat(4, c.amnt[i]);
      Table->EndRow();
    }
    Cube.SetDataSet(Table.get());
    Cube.RefreshDimensionMap();
    for (const char* d : {"city", "branch", "year", "quarter"})
      Cube.DimensionMap().FindPlain(d)->DimSumType = TDimSumType::dsDimension;
    Cube.DimensionMap().FindPlain("amnt")->DimSumType = TDimSumType::dsSummary;
    for (const char* d : {"year", "quarter"})
      Cube.DimensionMap().FindPlain(d)->DimGroup = TDimGroup::dgCol;
    Cube.Options().ShowProgressBar = false;
    Cube.SetActive(true);
    Grid = std::make_unique<TVantraGrid>();
    Grid->VisualSettings().SetVisualStyle(TvtVisualStyle::vsXP);
    Grid->resize(1200, 800);
    Grid->show();
    Grid->SetVantra(&Cube);
    QApplication::processEvents();
  }

  void ExpandAll() {
    TGridInfo& m = Grid->Model();
    for (int d = 0; d < m.DimensionStateCount(); ++d) m.ExpandAll(m.DimensionState(d));
    QApplication::processEvents();
  }

  void Paint(benchmark::State& state) {
    QImage image(Grid->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
      QPainter p(&image);
      Grid->render(&p);
    }
    state.counters["rows"] = Grid->Model().RowLineCount();
    state.counters["columns"] = Grid->Model().DataColumnCount();
  }
};

TPaintFixture& Fixture() {
  static TPaintFixture fixture;
  return fixture;
}

void BM_PaintCollapsed(benchmark::State& state) {
  Fixture().Paint(state);
}

void BM_PaintExpanded(benchmark::State& state) {
  Fixture().ExpandAll();
  Fixture().Paint(state);
}

void BM_PaintExpandedScrolledToTheMiddle(benchmark::State& state) {
  TPaintFixture& f = Fixture();
  f.ExpandAll();
  TInternalGrid& g = f.Grid->InternalGrid();
  g.SetTopRow(g.FixedRows() + (g.RowCount() - g.FixedRows()) / 2);
  g.SetLeftCol(g.FixedCols() + (g.ColCount() - g.FixedCols()) / 2);
  f.Paint(state);
}

// Order matters: the collapsed pivot is painted before the fixture expands it.
BENCHMARK(BM_PaintCollapsed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintExpanded)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintExpandedScrolledToTheMiddle)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qd

int main(int argc, char** argv) { return qd::bench::RunWidgetBenchmarks(argc, argv, qd::gRows); }
