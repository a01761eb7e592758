// The benchmark rows: the deterministic CSV of the shared fact generator,
// created on first use under build/benchdata/ and parsed into columns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qd::bench {

//! Path of the CSV with `rows` rows (100000, 1000000, 10000000 …), generating
//! it with python3 when it is missing.
std::string FactsCsvPath(std::int64_t rows);

//! Path of the SQLite database with the same rows (table `facts`).
std::string FactsSqlitePath(std::int64_t rows);

//! The CSV parsed into columns: city, branch, channel, product, pay_mode,
//! group_date as text; amnt and total_num as numbers.
struct TFactColumns {
  std::vector<std::string> city, branch, channel, product, pay_mode, group_date;
  std::vector<double> amnt;
  std::vector<std::int32_t> total_num;
  std::size_t size() const { return amnt.size(); }
};
const TFactColumns& FactColumns(std::int64_t rows);

//! Takes a "--rows=N" argument out of argv (before the benchmark library sees
//! it) into `rows`; leaves `rows` alone when there is none.
void TakeRowsArgument(int& argc, char** argv, std::int64_t& rows);

//! Peak resident memory of this process so far, in bytes (VmHWM).
std::int64_t PeakRssBytes();
//! Current resident memory, in bytes (VmRSS).
std::int64_t CurrentRssBytes();

}  // namespace qd::bench
