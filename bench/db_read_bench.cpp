// Build rate of a cube from the 1M shared benchmark rows read through the
// data-access adapters: SQLite, CSV and PostgreSQL. Each source is measured
// twice: reading every field of every record, and the whole cube build
// (dimensions city, branch, channel, product, pay_mode, group_date; summaries
// amnt, total_num).
//
//   bench_db_read [--rows=N] [google-benchmark flags]
//
// PostgreSQL runs when QD_BENCH_PG holds a connection string, for example one
// printed by scripts/pg-test-server; the rows are copied into table
// bench_facts_<N> on first use.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "bench/bench_data.h"
#include "db/connection_string.h"
#include "db/db_connection.h"
#include "engine/cube/vantra.h"

namespace qd {
namespace {

std::int64_t gRows = 1000000;

// Copies the CSV rows into PostgreSQL once; the table name carries the count.
std::string PgTable(const std::string& connectionString) {
  std::string table = "bench_facts_" + std::to_string(gRows);
  TConnectionTarget t = ResolveConnectionString(connectionString);
  std::vector<const char*> keys, values;
  for (const auto& [k, v] : t.PgParams) {
    keys.push_back(k.c_str());
    values.push_back(v.c_str());
  }
  keys.push_back(nullptr);
  values.push_back(nullptr);
  PGconn* conn = PQconnectdbParams(keys.data(), values.data(), 0);
  auto exec = [&](const std::string& sql) {
    PGresult* r = PQexec(conn, sql.c_str());
    bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK ||
              PQresultStatus(r) == PGRES_COPY_IN;
    bool exists = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0;
    if (!ok) std::fprintf(stderr, "bench_db_read: %s", PQerrorMessage(conn));
    PQclear(r);
    return exists;
  };
  if (PQstatus(conn) != CONNECTION_OK) {
    std::fprintf(stderr, "bench_db_read: %s", PQerrorMessage(conn));
  } else if (!exec("SELECT 1 FROM pg_tables WHERE tablename = '" + table + "'")) {
    exec("CREATE TABLE " + table +
         " (city VARCHAR(20), branch VARCHAR(20), channel VARCHAR(20), product VARCHAR(20), "
         "pay_mode VARCHAR(20), group_date DATE, amnt NUMERIC(12,2), total_num INTEGER)");
    exec("COPY " + table + " FROM STDIN WITH (FORMAT csv, HEADER true)");
    std::ifstream in(bench::FactsCsvPath(gRows), std::ios::binary);
    std::vector<char> buf(1 << 20);
    while (in.read(buf.data(), static_cast<std::streamsize>(buf.size())) || in.gcount() > 0)
      PQputCopyData(conn, buf.data(), static_cast<int>(in.gcount()));
    PQputCopyEnd(conn, nullptr);
    PQclear(PQgetResult(conn));
    exec("ANALYZE " + table);
  }
  PQfinish(conn);
  return table;
}

struct TSource {
  std::string ConnectionString, Sql;
};

TSource Source(const std::string& kind) {
  if (kind == "sqlite")
    return {"Provider=SQLite;Data Source=" + bench::FactsSqlitePath(gRows), "SELECT * FROM facts"};
  if (kind == "csv") return {"Provider=CSV;Data Source=" + bench::FactsCsvPath(gRows), "facts"};
  const char* pg = std::getenv("QD_BENCH_PG");
  return {pg, "SELECT * FROM " + PgTable(pg)};
}

// rows/s counts this process's CPU time (the machine may be shared); wall_rows/s
// includes waiting for the database server.
void Finish(benchmark::State& state, std::int64_t rows,
            std::chrono::steady_clock::time_point start) {
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
  state.counters["wall_rows/s"] = wall > 0 ? static_cast<double>(rows) / wall : 0;
  state.counters["peak_MB"] = static_cast<double>(bench::PeakRssBytes()) / 1048576.0;
}

bool Skip(benchmark::State& state, const std::string& kind) {
  if (kind != "pg") return false;
  const char* pg = std::getenv("QD_BENCH_PG");
  if (pg && *pg) return false;
  state.SkipWithError("QD_BENCH_PG is not set");
  return true;
}

void BM_ReadEveryField(benchmark::State& state, const std::string& kind) {
  if (Skip(state, kind)) return;
  TSource src = Source(kind);
  TDbConnection conn(src.ConnectionString);
  std::int64_t rows = 0;
  double check = 0;
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    TDbQuery q(&conn, src.Sql);
    q.Open();
    std::vector<TField*> fields;
    for (int i = 0; i < q.FieldCount(); ++i) fields.push_back(&q.Fields(i));
    for (; !q.Eof(); q.Next(), ++rows)
      for (TField* f : fields) {
        if (IsTextFieldType(f->DataType()))
          check += static_cast<double>(f->AsString().size());
        else
          check += f->AsFloat();
      }
  }
  benchmark::DoNotOptimize(check);
  Finish(state, rows, start);
}

void BM_BuildCube(benchmark::State& state, const std::string& kind) {
  if (Skip(state, kind)) return;
  TSource src = Source(kind);
  TDbConnection conn(src.ConnectionString);
  TDbQuery q(&conn, src.Sql);
  TVantra cube;
  cube.Options().ShowProgressBar = false;
  cube.SetDataSet(&q);
  cube.RefreshDimensionMap();
  for (const char* dim : {"city", "branch", "channel", "product", "pay_mode", "group_date"})
    cube.PlaceAsDimension(dim, TDimGroup::dgRow);
  cube.MarkAsSummary("amnt");
  cube.MarkAsSummary("total_num");
  std::int64_t rows = 0;
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    cube.SetActive(true);
    rows += cube.FactTable()->RecordCount();
    cube.SetActive(false);
    q.Close();
  }
  Finish(state, rows, start);
}

}  // namespace
}  // namespace qd

int main(int argc, char** argv) {
  qd::bench::TakeRowsArgument(argc, argv, qd::gRows);
  for (const char* kind : {"sqlite", "csv", "pg"}) {
    benchmark::RegisterBenchmark((std::string("BM_ReadEveryField/") + kind).c_str(),
                                 qd::BM_ReadEveryField, std::string(kind))
        ->Unit(benchmark::kMillisecond)
        ->Iterations(2);
    benchmark::RegisterBenchmark((std::string("BM_BuildCube/") + kind).c_str(), qd::BM_BuildCube,
                                 std::string(kind))
        ->Unit(benchmark::kMillisecond)
        ->Iterations(2);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
