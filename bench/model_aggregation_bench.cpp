// The pivot through the grid model on 10,000,000 of the shared benchmark rows:
// rows city, branch; columns year, quarter (taken from group_date); summary
// amnt. Times, each as wall and CPU seconds: loading the in-memory table, the
// cube build, binding the grid model (fact scan and roll-ups) and its fact scan
// alone, expanding every label on both axes, and reading every cell of the
// fully expanded pivot with all subtotals for Sum, Count, Average, Min, Max,
// then for Variance and Median (second passes). Ends with the peak memory and
// the fact table's size.
//
//   bench_model_aggregation [rows]   (default 10000000)
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_data.h"
#include "engine/aggregate/aggregate_scan.h"
#include "engine/data/memory_table.h"
#include "engine/cube/vantra.h"
#include "model/grid_info.h"

namespace qd {
namespace {

double Clock(clockid_t id) {
  timespec ts{};
  clock_gettime(id, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Wall and process CPU time since construction.
struct TStopwatch {
  double Wall0 = Clock(CLOCK_MONOTONIC), Cpu0 = Clock(CLOCK_PROCESS_CPUTIME_ID);
  void Report(const char* what, const std::string& extra = {}) const {
    std::printf("%-34s wall %8.3f s   cpu %8.3f s%s%s\n", what, Clock(CLOCK_MONOTONIC) - Wall0,
                Clock(CLOCK_PROCESS_CPUTIME_ID) - Cpu0, extra.empty() ? "" : "   ",
                extra.c_str());
    std::fflush(stdout);
  }
};

double Mb(std::int64_t bytes) {
  return static_cast<double>(bytes) / 1e6;
}

void ReportMemory(const char* when) {
  std::printf("  memory %-26s rss %9.1f MB   peak %9.1f MB\n", when, Mb(bench::CurrentRssBytes()),
              Mb(bench::PeakRssBytes()));
  std::fflush(stdout);
}

// "YYYY-MM-DD" into "YYYY" and "Qn"; anything shorter gives empty texts.
void YearQuarter(const std::string& date, std::string_view& year, std::string_view& quarter) {
  static const char* const kQuarters[] = {"Q1", "Q1", "Q1", "Q2", "Q2", "Q2",
                                          "Q3", "Q3", "Q3", "Q4", "Q4", "Q4"};
  year = quarter = {};
  if (date.size() < 7) return;
  year = std::string_view(date).substr(0, 4);
  const int month = (date[5] - '0') * 10 + (date[6] - '0');
  if (month >= 1 && month <= 12) quarter = kQuarters[month - 1];
}

std::unique_ptr<TMemoryTable> LoadFacts(const bench::TFactColumns& c) {
  auto t = std::make_unique<TMemoryTable>("facts");
  t->AddColumn("city", TFieldType::ftString);
  t->AddColumn("branch", TFieldType::ftString);
  t->AddColumn("year", TFieldType::ftString);
  t->AddColumn("quarter", TFieldType::ftString);
  t->AddColumn("amnt", TFieldType::ftFloat);
  t->Reserve(static_cast<std::int64_t>(c.size()));
  std::string_view year, quarter;
  for (std::size_t i = 0; i < c.size(); ++i) {
    YearQuarter(c.group_date[i], year, quarter);
    t->PushText(0, c.city[i]);
    t->PushText(1, c.branch[i]);
    t->PushText(2, year);
    t->PushText(3, quarter);
    t->PushFloat(4, c.amnt[i]);
    t->EndRow();
  }
  return t;
}

// Shows exactly the given functions' values of the first summary.
void ShowFunctions(TGridInfo& grid, const std::vector<TFunction>& functions) {
  TSummaryInfo& info = grid.SummarySettings().Items(0);
  for (int f = 0; f < kFunctionCount; ++f) info.Function(f).SetVisible(false);
  for (TFunction f : functions) info.Function(static_cast<int>(f)).SetVisible(true);
  grid.BeginUpdate();
  grid.EndUpdate(TChangeKind::ckDataColumns);
}

// Reads every cell of the columns showing `function`; returns the cells read.
std::int64_t ReadCells(TGridInfo& grid, TFunction function, std::int64_t& withValue,
                       double& checksum) {
  std::int64_t cells = 0;
  const int rows = grid.RowLineCount(), columns = grid.DataColumnCount();
  for (int col = 0; col < columns; ++col) {
    int s = 0, f = 0, sf = 0;
    if (!grid.GetColumnSubLevel(col, s, f, sf) || f != static_cast<int>(function)) continue;
    for (int row = 0; row < rows; ++row) {
      const TCellValue v = grid.GetCellValue(row, col);
      ++cells;
      if (v.HasValue) {
        ++withValue;
        checksum += v.Value;
      }
    }
  }
  return cells;
}

void TimeFunctions(TGridInfo& grid, const char* caption, const std::vector<TFunction>& functions) {
  ShowFunctions(grid, functions);
  std::printf("%s: %d row lines x %d data columns\n", caption, grid.RowLineCount(),
              grid.DataColumnCount());
  TStopwatch all;
  for (TFunction f : functions) {
    TStopwatch one;
    std::int64_t withValue = 0;
    double checksum = 0;
    const std::int64_t cells = ReadCells(grid, f, withValue, checksum);
    char extra[160];
    std::snprintf(extra, sizeof extra, "%lld cells, %lld with value, checksum %.6g",
                  static_cast<long long>(cells), static_cast<long long>(withValue), checksum);
    one.Report(("  " + FunctionDisplayName(static_cast<int>(f))).c_str(), extra);
  }
  all.Report("  all of them");
}

int Run(std::int64_t rows) {
  std::printf("model aggregation, %lld fact rows\n", static_cast<long long>(rows));
  TStopwatch total;
  const bench::TFactColumns* columns = nullptr;
  {
    TStopwatch w;
    columns = &bench::FactColumns(rows);
    w.Report("read CSV columns");
  }
  std::unique_ptr<TMemoryTable> table;
  {
    TStopwatch w;
    table = LoadFacts(*columns);
    w.Report("fill in-memory table");
  }
  ReportMemory("after table");

  TVantra cube;
  cube.Options().ShowProgressBar = false;
  cube.SetDataSet(table.get());
  cube.RefreshDimensionMap();
  cube.PlaceAsDimension("city", TDimGroup::dgRow);
  cube.PlaceAsDimension("branch", TDimGroup::dgRow);
  cube.PlaceAsDimension("year", TDimGroup::dgCol);
  cube.PlaceAsDimension("quarter", TDimGroup::dgCol);
  cube.MarkAsSummary("amnt");
  {
    TStopwatch w;
    cube.SetActive(true);
    w.Report("(a) cube build");
  }
  const TFactTable* facts = cube.FactTable();
  const std::int64_t factBytes = static_cast<std::int64_t>(facts->RecordCount()) * facts->RecordSize();
  std::printf("  fact table: %d records x %d bytes = %.1f MB (allocated %.1f MB)\n",
              facts->RecordCount(), facts->RecordSize(), Mb(factBytes), Mb(facts->AllocatedBytes()));
  for (const auto& d : cube.Dimensions())
    std::printf("  dimension %-8s %d members\n", d->BaseFieldName.c_str(), d->MemberCount());
  ReportMemory("after cube build");

  TGridInfo grid;
  grid.FunctionDefs().EnsureStandard();
  {
    TStopwatch w;
    grid.SetVantra(&cube);
    w.Report("bind grid (scan and roll-ups)");
  }
  if (!grid.IsActive() || grid.SummarySettings().Count() != 1) {
    std::fprintf(stderr, "the grid model did not follow the cube\n");
    return 1;
  }
  {
    // The binding's scan once more on its own: what bench_aggregate's
    // BM_FactScan measures on the same rows.
    const TScanRequest request = grid.Aggregation().ScanRequest();
    TStopwatch w;
    const TBaseScan scan = ScanFacts(*facts, request);
    w.Report("  the fact scan alone", std::to_string(scan.Keys->size()) + " cells");
  }
  {
    TStopwatch w;
    for (int d : grid.RowDims()) grid.ExpandAll(grid.DimensionState(d));
    for (int d : grid.ColDims()) grid.ExpandAll(grid.DimensionState(d));
    char extra[96];
    std::snprintf(extra, sizeof extra, "%d row lines, %d column lines", grid.RowLineCount(),
                  grid.ColLineCount());
    w.Report("expand all labels", extra);
  }
  ReportMemory("after expansion");

  {
    TStopwatch w;
    TimeFunctions(grid, "(b) every cell, first pass",
                  {TFunction::stSum, TFunction::stCount, TFunction::stAverage, TFunction::stMin,
                   TFunction::stMax});
    w.Report("(b) total, with column rebuild");
  }
  ReportMemory("after first-pass cells");
  {
    TStopwatch w;
    TimeFunctions(grid, "(c) every cell, second pass", {TFunction::stVariance, TFunction::stMedian});
    w.Report("(c) total, with column rebuild");
  }
  ReportMemory("after second-pass cells");
  {
    TStopwatch w;
    TimeFunctions(grid, "(c') the same cells again (cached)",
                  {TFunction::stVariance, TFunction::stMedian});
  }

  std::printf("(d) peak rss %.1f MB; fact table %.1f MB (%.1f bytes per fact)\n",
              Mb(bench::PeakRssBytes()), Mb(factBytes),
              static_cast<double>(factBytes) / static_cast<double>(rows));
  total.Report("whole run");
  return 0;
}

}  // namespace
}  // namespace qd

int main(int argc, char** argv) {
  const std::int64_t rows = argc > 1 ? std::atoll(argv[1]) : 10000000;
  try {
    return qd::Run(rows);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
    return 1;
  }
}
