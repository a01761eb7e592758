// A cube whose first aggregation the database did, against the cube built from
// every fact row, on SQLite (the demo database), PostgreSQL (QD_TEST_PG) and
// the two-shard ClickHouse table (QD_TEST_CH), through the command-line tool
// as a user runs it: import in both modes, then every cell of a fully
// expanded pivot with the functions the mode serves. The grouped cube holds
// one record per combination of dimension members and refuses the functions
// that need single facts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "db/db_connection.h"
#include "run_cli.h"
#include "temp_folder.h"

namespace qd {
namespace {

using testing::Cli;

const char* const kFunctions =
    "Sum,Count,Average,Min,Max,Variance,Standard deviation,Skewness,Kurtosis";

// "row path⇥column path⇥summary⇥function⇥sub-function" → value.
std::map<std::string, std::string> Cells(const std::string& out) {
  std::map<std::string, std::string> cells;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t tab = line.rfind('\t');
    cells[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return cells;
}

std::map<std::string, std::string> Pivot(const std::string& cube, const std::string& dims) {
  std::string out, err;
  EXPECT_EQ(Cli({"pivot", cube, "--rows", dims, "--functions", kFunctions, "--expand", "all",
                 "--format", "cells", "--force"},
                out, err),
            0)
      << err;
  return Cells(out);
}

void ExpectSameCubes(const std::string& connection, const std::string& table) {
  testing::TTempFolder dir("in_database");
  const std::string query =
      "SELECT mgr_branch, channel_code, amnt, total_num FROM " + table;
  const std::string every = dir.Path("every.vtc"), grouped = dir.Path("grouped.vtc");
  std::string out, err;
  for (const auto& [file, inDatabase] : {std::pair{every, false}, std::pair{grouped, true}}) {
    std::vector<std::string> args = {"import",  "--connection", connection, "--query",
                                     query,     "--rows",       "mgr_branch,channel_code",
                                     "--summaries", "amnt,total_num", "-o", file, "--quiet"};
    if (inDatabase) args.push_back("--aggregate-in-database");
    ASSERT_EQ(Cli(args, out, err), 0) << err;
  }

  // One record per combination of members, not per fact.
  TDbConnection conn(connection);
  TDbQuery combinations(&conn, "SELECT COUNT(*) FROM (SELECT DISTINCT mgr_branch, channel_code FROM " +
                                   table + ") c");
  combinations.Open();
  ASSERT_EQ(Cli({"info", grouped}, out, err), 0) << err;
  EXPECT_NE(out.find("facts: " + std::to_string(combinations.Fields(0).AsInteger()) +
                     "\nmode: in-database\n"),
            std::string::npos)
      << out;
  ASSERT_EQ(Cli({"info", every}, out, err), 0) << err;
  EXPECT_EQ(out.find("mode:"), std::string::npos) << out;

  const auto want = Pivot(every, "mgr_branch,channel_code");
  const auto got = Pivot(grouped, "mgr_branch,channel_code");
  ASSERT_GT(want.size(), 100u);
  ASSERT_EQ(got.size(), want.size());
  for (const auto& [cell, text] : want) {
    const auto it = got.find(cell);
    ASSERT_NE(it, got.end()) << cell;
    if (text.empty() || it->second.empty()) {
      EXPECT_EQ(it->second, text) << cell;
      continue;
    }
    const double a = std::stod(text), b = std::stod(it->second);
    EXPECT_LE(std::fabs(a - b), 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)}))
        << cell << ": every row " << text << ", in the database " << it->second;
  }

  // The functions that need single facts are refused with the reason.
  for (const char* function : {"Median", "Average deviation"}) {
    EXPECT_EQ(Cli({"pivot", grouped, "--rows", "mgr_branch", "--functions", function}, out, err), 2);
    EXPECT_NE(err.find("在数据库中汇总的Cube不含单条记录，无法计算"), std::string::npos) << err;
  }
}

TEST(AggregateInDatabase, SqliteCubeEqualsEveryRowCube) {
  ExpectSameCubes(std::string("Provider=SQLite;Data Source=") + QD_DEMO_DB + ";Mode=Read",
                  "f_premium");
}

TEST(AggregateInDatabase, PostgreSqlCubeEqualsEveryRowCube) {
  const char* cs = std::getenv("QD_TEST_PG");
  if (!cs || !*cs) GTEST_SKIP() << "QD_TEST_PG is not set (scripts/test starts a server)";
  ExpectSameCubes(cs, "f_premium");
}

TEST(AggregateInDatabase, ClickHouseClusterCubeEqualsEveryRowCube) {
  const char* cs = std::getenv("QD_TEST_CH");
  if (!cs || !*cs) GTEST_SKIP() << "QD_TEST_CH is not set (scripts/test starts a cluster)";
  ExpectSameCubes(cs, "facts_all");
}

}  // namespace
}  // namespace qd
