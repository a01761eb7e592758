// A cube built from facts kept in ClickHouse, in both modes: every fact row
// sent to the workbench, and the first aggregation done by the database (one
// row per combination of dimension values). Reports the build time, the rows
// and the bytes received.
//
//   bench_clickhouse [--rows=N] [google-benchmark flags]
//
// QD_BENCH_CH holds the connection string (for example the one printed by
// scripts/ch-test-server); the facts are made by the server itself into table
// bench_facts_<N> on first use: 11 cities of 8 branches, 6 channels, 17
// products, 5 pay modes and 36 months, with pseudo-random amounts.
// Each cube is built once with every dimension and once with four, the way
// quarrydesk-cli import builds it (the peak memory is the process's so far).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "bench/bench_data.h"
#include "app/realtime_cube.h"
#include "db/db_connection.h"

namespace qd {
namespace {

std::int64_t gRows = 10000000;

// A cube of every dimension (1.6M combinations at 10M facts), and one of
// city, channel, product and month (40,392 combinations at most).
const std::vector<std::string> kAllDims = {"city",    "branch",   "channel",
                                           "product", "pay_mode", "group_date"};
const std::vector<std::string> kFewDims = {"city", "channel", "product", "group_date"};

std::string Table(TDbConnection& conn) {
  const std::string table = "bench_facts_" + std::to_string(gRows);
  TDbQuery exists(&conn, "SELECT count() FROM system.tables WHERE database = currentDatabase() "
                         "AND name = '" + table + "'");
  exists.Open();
  if (exists.Fields(0).AsInteger() > 0) return table;
  conn.Execute("CREATE TABLE " + table +
               " (city String, branch String, channel String, product String, pay_mode String, "
               "group_date Date, amnt Decimal(12, 2), total_num Int32) "
               "ENGINE = MergeTree() ORDER BY (city, branch)");
  const std::string h = "intHash32(number)";
  conn.Execute(
      "INSERT INTO " + table + " SELECT concat('城市', toString(" + h + " % 11)), "
      "concat('支公司', toString(" + h + " % 88)), concat('渠道', toString(intHash32(number + 1) % 6)), "
      "concat('险种', toString(intHash32(number + 2) % 17)), "
      "concat('缴费', toString(intHash32(number + 3) % 5)), "
      "addMonths(toDate('2022-01-01'), intHash32(number + 4) % 36), "
      "toDecimal64((intHash32(number + 5) % 2000000) / 100, 2), intHash32(number + 6) % 9 + 1 "
      "FROM numbers(" + std::to_string(gRows) + ")");
  return table;
}

void BM_BuildCube(benchmark::State& state, bool inDatabase, const std::vector<std::string>& dims) {
  const char* cs = std::getenv("QD_BENCH_CH");
  if (!cs || !*cs) {
    state.SkipWithError("QD_BENCH_CH is not set");
    return;
  }
  std::string table;
  {
    TDbConnection conn(cs);
    conn.CommandTimeout = 600;
    table = Table(conn);
  }
  const std::string facts = "SELECT city, branch, channel, product, pay_mode, group_date, amnt, "
                            "total_num FROM " + table;
  double rows = 0, bytes = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    // The way quarrydesk-cli import builds, with or without --aggregate-in-database.
    TStandaloneCube cube;
    cube.Connection.CommandTimeout = 600;
    cube.Query.CommandTimeout = 600;
    cube.Target.OpenConnection(cs);
    cube.Target.SetAggregateInDatabase(inDatabase);
    cube.Target.SetFactQuery(facts);
    cube.Target.RefillDimensionMap();
    int number = 0;
    for (const std::string& dim : dims) {
      TCfdDimension entry;
      entry.Group = TCfdGroup::Row;
      entry.Number = ++number;
      entry.FieldName = dim;
      cube.Target.PlaceDimension(dim, entry);
    }
    cube.Target.MarkSummary("amnt", std::nullopt);
    cube.Target.MarkSummary("total_num", std::nullopt);
    cube.Target.Activate();
    rows += cube.Cube.FactTable()->RecordCount();
    bytes += static_cast<double>(cube.Query.BytesReceived());
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto n = static_cast<double>(state.iterations());
  state.counters["facts"] = static_cast<double>(gRows);
  state.counters["rows_received"] = rows / n;
  state.counters["MB_received"] = bytes / n / 1048576.0;
  state.counters["wall_s"] = wall / n;
  state.counters["peak_MB"] = static_cast<double>(bench::PeakRssBytes()) / 1048576.0;
}

}  // namespace
}  // namespace qd

int main(int argc, char** argv) {
  qd::bench::TakeRowsArgument(argc, argv, qd::gRows);
  for (const auto* dims : {&qd::kAllDims, &qd::kFewDims}) {
    const std::string suffix = "/dims:" + std::to_string(dims->size());
    for (bool inDatabase : {false, true})
      benchmark::RegisterBenchmark(
          ((inDatabase ? "BM_BuildCube/in_database" : "BM_BuildCube/every_row") + suffix).c_str(),
          qd::BM_BuildCube, inDatabase, *dims)
          ->Unit(benchmark::kMillisecond)
          ->Iterations(1);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
