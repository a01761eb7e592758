#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/cli.h"
#include "run_cli.h"
#include "temp_folder.h"

namespace qd {
namespace {

using testing::Cli;

// City A: 15 in 2024 and 27 in 2025, a change of 12 made of +15 in the shop,
// −6 on the web and +3 by phone.
const char* const kFacts =
    "city,year,channel,amount\n"
    "A,2024,web,10\nA,2024,shop,5\nA,2025,web,4\nA,2025,shop,20\nA,2025,phone,3\n"
    "B,2024,web,1\nB,2025,web,2\n";

TEST(ExplainCommand, RanksTheMembersOfAnotherDimensionByTheirPartInTheChange) {
  testing::TTempFolder dir("explain");
  const std::string facts = dir.Write("facts.csv", kFacts);
  const std::vector<std::string> layout = {"--rows", "city", "--cols", "year", "--page", "channel",
                                           "--summaries", "amount", "--subfunctions",
                                           "value,rowprev"};
  std::vector<std::string> args = {"explain", facts, "--cell", "A", "2025", "--by", "channel"};
  args.insert(args.end(), layout.begin(), layout.end());
  std::string out, err;
  ASSERT_EQ(Cli(args, out, err), 0) << err;
  EXPECT_EQ(out, "delta\t12\nshop\t15\t1.25\nweb\t-6\t-0.5\nphone\t3\t0.25\n");
  args.insert(args.end(), {"--top", "1"});
  ASSERT_EQ(Cli(args, out, err), 0) << err;
  EXPECT_EQ(out, "delta\t12\nshop\t15\t1.25\n");

  // The first year has nothing before it; unknown lines and counts are usage errors.
  args[4] = "2024";
  EXPECT_EQ(Cli(args, out, err), 1);
  args[4] = "2026";
  EXPECT_EQ(Cli(args, out, err), 2);
  EXPECT_NE(err.find("2026"), std::string::npos) << err;
  args[4] = "2025";
  args.back() = "0";
  EXPECT_EQ(Cli(args, out, err), 2);
}

TEST(ExplainCommand, CellsWithCountAddEachCellsFacts) {
  testing::TTempFolder dir("with_count");
  const std::string facts = dir.Write("facts.csv", kFacts);
  std::string out, err;
  ASSERT_EQ(Cli({"pivot", facts, "--rows", "city", "--cols", "year", "--summaries", "amount",
                 "--functions", "Sum,Variance", "--format", "cells", "--with-count"},
                out, err),
            0)
      << err;
  EXPECT_NE(out.find("A\t2024\tamount\tSum\tAgg. value\t15\t2\n"), std::string::npos) << out;
  EXPECT_NE(out.find("B\t2025\tamount\tVariance\tAgg. value\t0\t1\n"), std::string::npos) << out;
  EXPECT_EQ(Cli({"pivot", facts, "--with-count"}, out, err), 2);
}

// 3,000 members on the rows and on the columns make 9,006,001 cells (the
// estimate, an upper bound from the node counts, says 9,012,004): refused
// with the estimate before anything is computed, unless forced.
TEST(SizeGuard, ALayoutAboveTheLimitIsRefusedWithItsEstimate) {
  testing::TTempFolder dir("size_guard");
  std::string csv = "a,b,v\n";
  for (int i = 0; i < 3000; ++i) csv += std::to_string(i) + ",b" + std::to_string(i) + ",1\n";
  const std::string facts = dir.Write("facts.csv", csv);
  std::string out, err;
  EXPECT_EQ(Cli({"pivot", facts, "--rows", "a", "--cols", "b", "--format", "cells"}, out, err), 1);
  EXPECT_EQ(out, "");
  EXPECT_NE(err.find("约有 9012004 个单元格"), std::string::npos) << err;
  EXPECT_NE(err.find("--force"), std::string::npos) << err;
  ASSERT_EQ(Cli({"pivot", facts, "--rows", "a", "--format", "csv"}, out, err), 0) << err;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3002);
}

}  // namespace
}  // namespace qd
