// The pivot and export commands of quarrydesk-cli on stored cubes and grid-data
// files: the printed grid and cells, the layout options, the documents written.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include <gtest/gtest.h>

#include "app/cli.h"
#include "temp_folder.h"

namespace qd {
namespace {

// City (display name 城市: 北京 > A, C) and Year (30, 10, 20); Amount.
const std::string kCube = std::string(QD_TEST_DATA_DIR) + "/cube_file/sales.vtc";
const std::string kGridFile = std::string(QD_TEST_DATA_DIR) + "/grid_file/sales.vtg";

int Cli(const std::vector<std::string>& args, std::string& out, std::string& err) {
  std::ostringstream o, e;
  const int rc = RunCli(args, o, e);
  out = o.str();
  err = e.str();
  return rc;
}

TEST(PivotCommand, GridPrintsTheSnapshotWithCoveredCellsEmpty) {
  std::string out, err;
  ASSERT_EQ(Cli({"pivot", kCube, "--rows", "城市", "--cols", "year", "--functions", "Sum,Count",
                 "--expand", "all"},
                out, err),
            0)
      << err;
  EXPECT_EQ(out,
            "Year\t\t10\t\t20\t\tTotal\t\n"
            "城市\t\tAmount\t\tAmount\t\tAmount\t\n"
            "\t\tSum\tCount\tSum\tCount\tSum\tCount\n"
            "Total\t\t0.10\t1\t-4.00\t1\t-3.90\t2\n"
            "北京\tTotal\t0.10\t1\t-4.00\t1\t-3.90\t2\n"
            "\tC\t\t\t-4.00\t1\t-4.00\t1\n"
            "\tA\t0.10\t1\t\t\t0.10\t1\n");
}

TEST(PivotCommand, CellsPrintPathsNamesAndExactValues) {
  std::string out, err;
  ASSERT_EQ(Cli({"pivot", kCube, "--rows", "City", "--expand", "all", "--totals", "last",
                 "--subfunctions", "value,rowrank", "--format", "cells"},
                out, err),
            0)
      << err;
  // No column dimension: the column path is empty; the empty rank of C's
  // sibling and a missing value stay empty.
  std::istringstream lines(out);
  std::string first;
  std::getline(lines, first);
  EXPECT_EQ(first, "北京 | C\t\tAmount\tSum\tAgg. value\t-4");
  EXPECT_NE(out.find("北京 | Total\t\tAmount\tSum\tRow rank\t"), std::string::npos);
  EXPECT_EQ(out.back(), '\n');
  int count = 0;
  for (char c : out) count += c == '\n';
  EXPECT_EQ(count, 2 * 4);  // A, C, 北京's Total, the grand Total; two columns each
}

TEST(PivotCommand, GridFilesShowTheirOwnLayoutUnlessOptionsReplaceIt) {
  std::string own, err;
  ASSERT_EQ(Cli({"pivot", kGridFile}, own, err), 0) << err;
  std::string cube;
  ASSERT_EQ(Cli({"pivot", kGridFile, "--rows", "City"}, cube, err), 0) << err;
  EXPECT_NE(own, cube);
  EXPECT_EQ(own.substr(0, own.find('\n')), "Year\t2024\t2025\tTotal");
  EXPECT_EQ(cube.substr(0, cube.find('\n')), "City\tAmount");
}

TEST(PivotCommand, UnknownNamesAndOptionsFail) {
  std::string out, err;
  EXPECT_EQ(Cli({"pivot", kCube, "--rows", "Nope"}, out, err), 1);
  EXPECT_NE(err.find("no dimension named 'Nope'"), std::string::npos);
  EXPECT_EQ(Cli({"pivot", kCube, "--functions", "Total"}, out, err), 1);
  EXPECT_EQ(Cli({"pivot", kCube, "--subfunctions", "rank"}, out, err), 1);
  EXPECT_EQ(Cli({"pivot", kCube, "--format", "csv"}, out, err), 1);
  EXPECT_NE(err.find("usage: quarrydesk-cli pivot FILE"), std::string::npos);
}

TEST(PivotCommand, TimingPrintsOneLinePerPhaseOnStandardError) {
  std::ostringstream captured;
  auto* old = std::cerr.rdbuf(captured.rdbuf());
  std::string out, err;
  const int rc = Cli({"pivot", kCube, "--timing"}, out, err);
  std::cerr.rdbuf(old);
  ASSERT_EQ(rc, 0) << err;
  std::istringstream lines(captured.str());
  std::string line;
  for (const char* phase : {"load: ", "pivot: ", "output: "}) {
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.rfind(phase, 0), 0u) << line;
    EXPECT_GE(std::stod(line.substr(line.find(' ') + 1)), 0.0);
  }
  EXPECT_FALSE(std::getline(lines, line));
}

TEST(ExportCommand, WritesEachDocumentTypeByItsExtension) {
  testing::TTempFolder dir;
  std::string out, err;
  auto read = [](const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::filesystem::path base = dir.Folder();
  for (const char* name : {"a.xls", "a.htm", "a.HTML", "a.xml", "a.rtf"})
    ASSERT_EQ(Cli({"export", kCube, "--to", (base / name).string(), "--rows", "城市"}, out, err), 0)
        << err;
  ASSERT_EQ(Cli({"export", kCube, "--xmla", "--to", (base / "b.xml").string()}, out, err), 0)
      << err;
  EXPECT_EQ(read(base / "a.xls").substr(0, 4), std::string("\x09\x04\x06\x00", 4));
  EXPECT_EQ(read(base / "a.htm").rfind("<HTML>\r\n", 0), 0u);
  EXPECT_EQ(read(base / "a.HTML"), read(base / "a.htm"));
  EXPECT_NE(read(base / "a.xml").find("<Worksheet ss:Name=\"sales\">"), std::string::npos);
  EXPECT_NE(read(base / "b.xml").find("<CubeName>sales</CubeName>"), std::string::npos);
  EXPECT_EQ(read(base / "a.rtf").rfind("{\\rtf0\\ansi\r\n", 0), 0u);
  EXPECT_NE(read(base / "a.rtf").find("\\u21271?\\u20140?"), std::string::npos);  // 北京

  EXPECT_EQ(Cli({"export", kCube, "--to", (base / "a.doc").string()}, out, err), 1);
  EXPECT_FALSE(std::filesystem::exists(base / "a.doc"));
  EXPECT_EQ(Cli({"export", kCube}, out, err), 1);
}

}  // namespace
}  // namespace qd
