#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/cli.h"
#include "run_cli.h"
#include "sqlite_exec.h"
#include "temp_folder.h"

namespace qd {
namespace {

using testing::Cli;
using testing::Execute;

std::string Import(const testing::TTempFolder& dir, const std::string& db, const std::string& name) {
  std::string out, err;
  const std::string cube = dir.Path(name);
  EXPECT_EQ(Cli({"import", "--connection", "Provider=SQLite;Data Source=" + db, "--query",
                 "SELECT mgr_branch, stat_type, amnt FROM f_premium", "--rows", "mgr_branch",
                 "--cols", "stat_type", "--summaries", "amnt", "-o", cube, "--quiet"},
                out, err),
            0)
      << err;
  return cube;
}

// Two builds of the demo premiums, one database row changed in between: the
// diff shows that row's cell, the totals over it and the grand sum, nothing
// else; a row of a new branch shows as a member only in the second cube.
TEST(CubeDiff, AChangedDatabaseRowShowsAsItsCellAndItsTotals) {
  testing::TTempFolder dir("diff");
  const std::string db = dir.Path("demo.db");
  std::filesystem::copy_file(QD_DEMO_DB, db);
  const std::string before = Import(dir, db, "before.vtc");
  std::string out, err;
  ASSERT_EQ(Cli({"diff", before, before}, out, err), 0) << err;
  EXPECT_EQ(out, "");

  Execute(db, "UPDATE f_premium SET amnt = amnt + 1000 WHERE rowid = "
              "(SELECT MIN(rowid) FROM f_premium WHERE mgr_branch = '330102' AND stat_type = '首期')");
  const std::string after = Import(dir, db, "after.vtc");
  ASSERT_EQ(Cli({"diff", before, after, "--functions", "Sum,Count"}, out, err), 1) << err;
  std::istringstream lines(out);
  std::vector<std::string> cells;
  std::string total;
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("changed\t")) {
      total = line;
      continue;
    }
    cells.push_back(line);
    EXPECT_NE(line.find("\t1000\t"), std::string::npos) << line;
  }
  // The rows and columns end with their total lines.
  EXPECT_EQ(cells.size(), 4u) << out;
  for (const std::string& c : cells) EXPECT_NE(c.find("\tamnt\tSum"), std::string::npos) << c;
  EXPECT_TRUE(total.starts_with("total\tamnt\tSum\t")) << out;
  EXPECT_NE(total.find("\t1000\t"), std::string::npos) << total;

  Execute(db, "INSERT INTO f_premium (corp_flag, mgr_branch, channel_code, pol_code, stat_type, "
              "moneyin_itrvl, pay_time, amnt, total_num) SELECT corp_flag, '9999', channel_code, "
              "pol_code, stat_type, moneyin_itrvl, pay_time, 5, 1 FROM f_premium LIMIT 1");
  const std::string added = Import(dir, db, "added.vtc");
  ASSERT_EQ(Cli({"diff", after, added}, out, err), 1) << err;
  EXPECT_NE(out.find("only-b\tmgr_branch\t9999\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("only-a"), std::string::npos) << out;

  // Trouble is status 2, as for diff(1).
  EXPECT_EQ(Cli({"diff", before, dir.Path("missing.vtc")}, out, err), 2);
  EXPECT_EQ(Cli({"diff", before}, out, err), 2);
}

// Cubes of different dimensions and summaries share no cell to compare: that
// is a difference, not equality.
TEST(CubeDiff, DimensionsAndSummariesOfOneCubeOnlyAreDifferences) {
  testing::TTempFolder dir("diff-parts");
  const std::string premiums = Import(dir, QD_DEMO_DB, "premiums.vtc");
  const std::string sales = std::string(QD_TEST_DATA_DIR) + "/cube_file/sales.vtc";
  std::string out, err;
  EXPECT_EQ(Cli({"diff", premiums, sales}, out, err), 1) << err;
  EXPECT_NE(out.find("only-a-dimension\tmgr_branch\n"), std::string::npos) << out;
  EXPECT_NE(out.find("only-a-summary\tamnt\n"), std::string::npos) << out;
  EXPECT_NE(out.find("only-b-summary\tAmount\n"), std::string::npos) << out;
}

}  // namespace
}  // namespace qd
