// Jumping through a long grid: 100,000 row lines (100 groups expanded into
// 1,000 items each) with word-wrapped labels, so that every row has a height
// of its own. One iteration is the user's Ctrl+End (to the last cell) or
// Ctrl+Home (back to the first), delivered as a key press to the grid, plus
// the repaint of the whole control into an offscreen 1200 x 800 image. Aim:
// under 20 ms, whatever the grid's length.
//
//   bench_grid_jump [--rows=N] [google-benchmark flags]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/bench_data.h"
#include "bench/widget_bench_main.h"
#include "engine/cube/vantra.h"
#include "engine/data/memory_table.h"
#include "view/internal_grid.h"
#include "view/vantra_grid.h"

namespace qd {
namespace {

std::int64_t gRows = 100000;

struct TJumpFixture {
  std::unique_ptr<TMemoryTable> Table;
  TVantra Cube;
  std::unique_ptr<TVantraGrid> Grid;

  TJumpFixture() {
    Table = std::make_unique<TMemoryTable>("facts");
    Table->AddColumn("group", TFieldType::ftString);
    Table->AddColumn("item", TFieldType::ftString);
    Table->AddColumn("amnt", TFieldType::ftFloat);
    Table->Reserve(gRows);
    for (std::int64_t i = 0; i < gRows; ++i) {
      Table->PushText(0, "机构 " + std::to_string(i % 100));
      // Long captions: every label wraps onto lines of its own.
      Table->PushText(1, "保单 " + std::to_string(i) + " 号 个人长期寿险 年交 续期第" +
                             std::to_string(i % 7 + 2) + "年");
      Table->PushFloat(2, static_cast<double>(i % 977) * 1.25);
      Table->EndRow();
    }
    Cube.SetDataSet(Table.get());
    Cube.RefreshDimensionMap();
    for (const char* d : {"group", "item"})
      Cube.DimensionMap().FindPlain(d)->DimSumType = TDimSumType::dsDimension;
    Cube.DimensionMap().FindPlain("amnt")->DimSumType = TDimSumType::dsSummary;
    Cube.Options().ShowProgressBar = false;
    Cube.SetActive(true);
    Grid = std::make_unique<TVantraGrid>();
    Grid->VisualSettings().SetWordWrap(true);
    Grid->resize(1200, 800);
    Grid->show();
    Grid->SetVantra(&Cube);
    QApplication::processEvents();
    TGridInfo& m = Grid->Model();
    m.ExpandAll(m.DimensionState(0));
    QApplication::processEvents();
    Grid->InternalGrid().SetDefaultColWidth(90);
    Grid->InternalGrid().RebuildLayout();
  }

  void Key(int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
    QApplication::sendEvent(&Grid->InternalGrid(), &press);
  }
};

TJumpFixture& Fixture() {
  static TJumpFixture fixture;
  return fixture;
}

void BM_JumpToTheEndAndBackWithRepaint(benchmark::State& state) {
  TJumpFixture& f = Fixture();
  QImage image(f.Grid->size(), QImage::Format_ARGB32_Premultiplied);
  bool atEnd = false;
  for (auto _ : state) {
    f.Key(atEnd ? Qt::Key_Home : Qt::Key_End);
    atEnd = !atEnd;
    QPainter p(&image);
    f.Grid->render(&p);
  }
  const TInternalGrid& g = f.Grid->InternalGrid();
  state.counters["rows"] = g.RowCount();
  // The first item's wrapped label makes its row taller than the default.
  state.counters["item_row_height"] = g.RowHeight(g.FixedRows() + 1);
}

BENCHMARK(BM_JumpToTheEndAndBackWithRepaint)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qd

int main(int argc, char** argv) { return qd::bench::RunWidgetBenchmarks(argc, argv, qd::gRows); }
