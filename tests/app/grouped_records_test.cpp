// What the command-line tool counts on a cube grouped in the database, against
// the same facts built row by row: the facts command lists each group with
// the facts it stands for, diff's grand counts, the cells' fact counts, the
// low-count notes of an export and verify all count facts, not groups.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>

#include "run_cli.h"
#include "sqlite_exec.h"
#include "temp_folder.h"

namespace qd {
namespace {

using testing::Cli;
using testing::Execute;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::vector<std::string> Split(const std::string& line, char by = '\t') {
  std::vector<std::string> out;
  std::size_t from = 0;
  for (std::size_t at; (at = line.find(by, from)) != std::string::npos; from = at + 1)
    out.push_back(line.substr(from, at - from));
  out.push_back(line.substr(from));
  return out;
}

// Eleven sales in four combinations of region and product: 5, 1, 2 and 3.
class GroupedRecords : public ::testing::Test {
 protected:
  void SetUp() override {
    Execute(db, "CREATE TABLE sales (region TEXT, product TEXT, amount REAL);"
                "INSERT INTO sales VALUES ('North','Apple',1),('North','Apple',2),"
                "('North','Apple',3),('North','Apple',4),('North','Apple',10),"
                "('North','Pear',7),('South','Apple',3),('South','Apple',5),"
                "('South','Pear',1),('South','Pear',1),('South','Pear',4)");
  }

  std::string Import(const std::string& name, bool grouped) {
    const std::string cube = dir.Path(name);
    std::vector<std::string> args = {
        "import", "--connection", "Provider=SQLite;Data Source=" + db, "--query",
        "SELECT region, product, amount FROM sales", "--rows", "region", "--cols", "product",
        "--summaries", "amount", "-o", cube, "--quiet"};
    if (grouped) args.push_back("--aggregate-in-database");
    std::string out, err;
    EXPECT_EQ(Cli(args, out, err), 0) << err;
    return cube;
  }

  std::string Run(const std::vector<std::string>& args, int status = 0) {
    std::string out, err;
    EXPECT_EQ(Cli(args, out, err), status) << err;
    return out;
  }

  testing::TTempFolder dir{"grouped_records"};
  const std::string db = dir.Path("sales.db");
};

TEST_F(GroupedRecords, FactsListEachGroupWithItsFactCount) {
  const std::string every = Import("every.vtc", false), grouped = Import("grouped.vtc", true);
  // The cube of every row keeps its columns.
  const std::vector<std::string> rows = Lines(Run({"facts", every}));
  ASSERT_EQ(rows.size(), 12u);
  EXPECT_EQ(rows[0], "region\tproduct\tamount");

  std::vector<std::string> groups = Lines(Run({"facts", grouped}));
  ASSERT_EQ(groups.size(), 5u);
  EXPECT_EQ(groups[0], "region\tproduct\tamount\tcount");
  std::sort(groups.begin() + 1, groups.end());
  EXPECT_EQ(groups[1], "North\tApple\t20\t5");
  EXPECT_EQ(groups[2], "North\tPear\t7\t1");
  EXPECT_EQ(groups[3], "South\tApple\t8\t2");
  EXPECT_EQ(groups[4], "South\tPear\t6\t3");

  const std::vector<std::string> csv = Lines(Run({"facts", grouped, "--format", "csv"}));
  ASSERT_EQ(csv.size(), 5u);
  EXPECT_EQ(csv[0], "region,product,amount,count\r");
  EXPECT_NE(std::find(csv.begin(), csv.end(), "North,Apple,20,5\r"), csv.end());
  const std::string json = Run({"facts", grouped, "--format", "json"});
  EXPECT_NE(json.find("{\"region\":\"South\",\"product\":\"Pear\",\"amount\":6,\"count\":3}"),
            std::string::npos)
      << json;
}

// Cells' fact counts and the export's low-count notes: a cell of one group of
// five facts is sound for the kurtosis, one of a single fact is noted.
TEST_F(GroupedRecords, CellCountsAndLowCountNotesAreThoseOfEveryRow) {
  const std::string every = Import("every.vtc", false), grouped = Import("grouped.vtc", true);
  const std::vector<std::string> layout = {"--functions", "Variance,Kurtosis"};
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.end(), layout.begin(), layout.end());
    return Run(args);
  };
  // The counts agree line by line; the values to rounding.
  const std::vector<std::string> a = Lines(run({"pivot", every, "--format", "cells", "--with-count"}));
  const std::vector<std::string> b =
      Lines(run({"pivot", grouped, "--format", "cells", "--with-count"}));
  ASSERT_EQ(a.size(), b.size());
  ASSERT_GT(a.size(), 8u);
  for (std::size_t i = 0; i < a.size(); ++i) {
    const std::vector<std::string> x = Split(a[i]), y = Split(b[i]);
    ASSERT_EQ(x.size(), 7u) << a[i];
    ASSERT_EQ(y.size(), 7u) << b[i];
    EXPECT_EQ(std::vector(x.begin(), x.begin() + 5), std::vector(y.begin(), y.begin() + 5));
    EXPECT_EQ(x[6], y[6]) << a[i] << " | " << b[i];
    if (x[5].empty() || y[5].empty()) {
      EXPECT_EQ(x[5], y[5]) << a[i];
    } else {
      EXPECT_NEAR(std::stod(x[5]), std::stod(y[5]), 1e-9 * std::max(1.0, std::fabs(std::stod(x[5]))));
    }
  }
  const std::string facts = "North\tApple\tamount\tKurtosis\tAgg. value\t";
  EXPECT_NE(std::find_if(b.begin(), b.end(),
                         [&](const std::string& l) { return l.starts_with(facts) && l.ends_with("\t5"); }),
            b.end());

  // The same document but for its title, the file's name.
  std::string html = run({"export", grouped, "--to", "-", "--format", "html"});
  for (std::size_t at; (at = html.find(">grouped<")) != std::string::npos;)
    html.replace(at, 9, ">every<");
  EXPECT_EQ(html, run({"export", every, "--to", "-", "--format", "html"}));
  EXPECT_NE(html.find("仅基于 1 条记录"), std::string::npos);
  EXPECT_EQ(html.find("仅基于 5 条记录"), std::string::npos);
}

// Two more sales of an existing combination and one of a new product: the
// grand count changes by the three facts in both kinds of cube; verify finds
// the grouped files sound.
TEST_F(GroupedRecords, DiffTotalsAndVerifyCountFacts) {
  const std::string everyBefore = Import("every1.vtc", false);
  const std::string groupedBefore = Import("grouped1.vtc", true);
  Execute(db, "INSERT INTO sales VALUES ('North','Apple',6),('North','Apple',6),"
              "('South','Plum',2)");
  const std::string everyAfter = Import("every2.vtc", false);
  const std::string groupedAfter = Import("grouped2.vtc", true);

  // Line kind and texts up to the old value, then the numbers.
  auto diff = [&](const std::string& a, const std::string& b) {
    std::map<std::string, std::vector<double>> out;
    for (const std::string& line : Lines(Run({"diff", a, b, "--functions", "Sum,Count"}, 1))) {
      std::vector<std::string> f = Split(line);
      const std::size_t texts = f[0] == "changed" ? 6 : f[0] == "total" ? 3 : f.size();
      std::string key;
      for (std::size_t i = 0; i < texts; ++i) key += f[i] + '\t';
      for (std::size_t i = texts; i < f.size(); ++i)
        out[key].push_back(f[i].empty() ? std::nan("") : std::stod(f[i]));
    }
    return out;
  };
  const auto want = diff(everyBefore, everyAfter), got = diff(groupedBefore, groupedAfter);
  ASSERT_EQ(want.at("total\tamount\tCount\t"), (std::vector<double>{11, 14, 3, 3.0 / 11}));
  ASSERT_EQ(got.size(), want.size());
  for (const auto& [key, values] : want) {
    ASSERT_TRUE(got.contains(key)) << key;
    const std::vector<double>& other = got.at(key);
    ASSERT_EQ(other.size(), values.size()) << key;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (std::isnan(values[i])) {
        EXPECT_TRUE(std::isnan(other[i])) << key;
        continue;
      }
      EXPECT_NEAR(values[i], other[i], 1e-9 * std::max(1.0, std::fabs(values[i]))) << key << i;
    }
  }

  EXPECT_EQ(Run({"verify", groupedBefore, groupedAfter}),
            groupedBefore + "\tok\n" + groupedAfter + "\tok\n");
}

}  // namespace
}  // namespace qd
