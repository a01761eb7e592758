// The pivot and export commands of quarrydesk-cli on stored cubes and grid-data
// files: the printed grid and cells, the layout options, the documents written.
#include <cmath>
#include <filesystem>
#include <map>
#include <fstream>
#include <iostream>
#include <sstream>

#include <gtest/gtest.h>

#include "app/cli.h"
#include "cli_process.h"
#include "db/db_connection.h"
#include "run_cli.h"
#include "temp_folder.h"

namespace qd {
namespace {

// City (display name 城市: 北京 > A, C) and Year (30, 10, 20); Amount.
const std::string kCube = std::string(QD_TEST_DATA_DIR) + "/cube_file/sales.vtc";
const std::string kGridFile = std::string(QD_TEST_DATA_DIR) + "/grid_file/sales.vtg";

using testing::Cli;

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

TEST(PivotCommand, UnknownNamesAndOptionsAreUsageErrors) {
  std::string out, err;
  EXPECT_EQ(Cli({"pivot", kCube, "--rows", "Nope"}, out, err), 2);
  EXPECT_NE(err.find("没有名为“Nope”的维度"), std::string::npos) << err;
  EXPECT_EQ(Cli({"pivot", kCube, "--functions", "Total"}, out, err), 2);
  EXPECT_EQ(Cli({"pivot", kCube, "--subfunctions", "rank"}, out, err), 2);
  EXPECT_EQ(Cli({"pivot", kCube, "--format", "xml"}, out, err), 2);
  EXPECT_NE(err.find("quarrydesk-cli pivot --help"), std::string::npos) << err;
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
  for (const char* name : {"a.xls", "a.xlsx", "a.htm", "a.HTML", "a.xml", "a.rtf"})
    ASSERT_EQ(Cli({"export", kCube, "--to", (base / name).string(), "--rows", "城市"}, out, err), 0)
        << err;
  ASSERT_EQ(Cli({"export", kCube, "--xmla", "--to", (base / "b.xml").string()}, out, err), 0)
      << err;
  EXPECT_EQ(read(base / "a.xls").substr(0, 4), std::string("\x09\x04\x06\x00", 4));
  EXPECT_EQ(read(base / "a.xlsx").substr(0, 2), "PK");  // the workbook's zip container
  EXPECT_EQ(read(base / "a.htm").rfind("<HTML>\r\n", 0), 0u);
  EXPECT_EQ(read(base / "a.HTML"), read(base / "a.htm"));
  EXPECT_NE(read(base / "a.xml").find("<Worksheet ss:Name=\"sales\">"), std::string::npos);
  EXPECT_NE(read(base / "b.xml").find("<CubeName>sales</CubeName>"), std::string::npos);
  EXPECT_EQ(read(base / "a.rtf").rfind("{\\rtf0\\ansi\r\n", 0), 0u);
  EXPECT_NE(read(base / "a.rtf").find("\\u21271?\\u20140?"), std::string::npos);  // 北京

  EXPECT_EQ(Cli({"export", kCube, "--to", (base / "a.doc").string()}, out, err), 2);
  EXPECT_FALSE(std::filesystem::exists(base / "a.doc"));
  EXPECT_EQ(Cli({"export", kCube}, out, err), 2);
  // Nothing but the documents: no temporary file is left beside them.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(base)) ++files;
  EXPECT_EQ(files, 7);
}


// Reads a document with Python's own csv or json module and prints one record
// per line, fields tab-separated (numbers with repr, missing values empty, a
// line break inside a CSV field as "|").
std::vector<std::string> ReadBackWithPython(const std::string& file, bool json) {
  const char* script = json ? R"(
import json, sys
for o in json.load(open(sys.argv[1], encoding="utf-8")):
    print("\t".join("" if v is None else repr(v) if isinstance(v, float) else str(v) for v in o.values()))
)"
                            : R"(
import csv, sys
for r in csv.reader(open(sys.argv[1], newline="", encoding="utf-8")):
    print("\t".join(f.replace("\n", "|") for f in r))
)";
  testing::TCliRun run = testing::RunProgram("/usr/bin/python3", {"-c", script, file});
  EXPECT_EQ(run.Status, 0) << run.Err;
  std::vector<std::string> lines;
  std::istringstream in(run.Out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    out.push_back(line.substr(start, tab - start));
  out.push_back(line.substr(start));
  return out;
}

// Field by field; values as the doubles they denote.
void ExpectSameRecords(const std::vector<std::string>& got, const std::vector<std::string>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    std::vector<std::string> g = Fields(got[i]), w = Fields(want[i]);
    ASSERT_EQ(g.size(), w.size()) << got[i];
    for (std::size_t f = 0; f + 1 < g.size(); ++f) EXPECT_EQ(g[f], w[f]) << got[i];
    if (w.back().empty())
      EXPECT_EQ(g.back(), "") << got[i];
    else
      EXPECT_EQ(std::stod(g.back()), std::stod(w.back())) << got[i];
  }
}

// One dimension per axis: each CSV and JSON record is a cells line, read back
// by readers we did not write.
TEST(PivotCommand, CsvAndJsonReadBackEqualTheCells) {
  testing::TTempFolder dir;
  const std::vector<std::string> layout = {"pivot",  kCube, "--rows", "城市",  "--cols", "Year",
                                           "--expand", "all", "--functions", "Sum,Count"};
  auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = layout;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  std::string cells, out, err;
  ASSERT_EQ(Cli(with({"--format", "cells"}), cells, err), 0) << err;
  ASSERT_EQ(Cli(with({"--format", "csv", "--output", dir.Path("p.csv")}), out, err), 0) << err;
  ASSERT_EQ(Cli(with({"--format", "json", "-o", dir.Path("p.json")}), out, err), 0) << err;
  EXPECT_EQ(out, "");
  std::vector<std::string> want;
  std::istringstream in(cells);
  for (std::string line; std::getline(in, line);) want.push_back(line);
  ASSERT_GT(want.size(), 10u);

  std::vector<std::string> csv = ReadBackWithPython(dir.Path("p.csv"), false);
  ASSERT_FALSE(csv.empty());
  EXPECT_EQ(csv.front(), "城市\tYear\tsummary\tfunction\tsub-function\tvalue");
  csv.erase(csv.begin());
  ExpectSameRecords(csv, want);
  ExpectSameRecords(ReadBackWithPython(dir.Path("p.json"), true), want);
  // RFC 4180 line ends; the JSON value of an empty cell is null.
  const std::string bytes = testing::ReadFileText(dir.Path("p.csv"));
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  EXPECT_NE(testing::ReadFileText(dir.Path("p.json")).find("\"value\":null}"), std::string::npos);
}

// A CSV file takes the options of a cube file and prints the same output as
// the cube imported from it; captions with commas, quotes and line breaks
// survive the CSV output.
TEST(PivotCommand, CsvInputTakesTheCubeOptionsAndAwkwardCaptionsSurvive) {
  testing::TTempFolder dir;
  const std::string facts = dir.Write("facts.csv",
                                      "name,kind,amount,count\n"
                                      "\"Bei, jing\",\"say \"\"hi\"\"\",1.5,1\n"
                                      "\"two\nlines\",plain,2.25,2\n"
                                      "\"Bei, jing\",plain,-1,3\n");
  std::string out, err;
  ASSERT_EQ(Cli({"import", "--connection", "Provider=CSV;Data Source=" + dir.Folder(), "--query",
                 "SELECT * FROM [facts.csv]", "--rows", "name", "--cols", "kind", "--summaries",
                 "amount,count", "-o", dir.Path("facts.vtc")},
                out, err),
            0)
      << err;
  for (const char* format : {"grid", "cells", "csv"}) {
    const std::vector<std::string> options = {"--rows",   "name",  "--cols", "kind",
                                              "--format", format, "--expand", "all"};
    std::vector<std::string> fromCsv = {"pivot", facts}, fromCube = {"pivot", dir.Path("facts.vtc")};
    fromCsv.insert(fromCsv.end(), options.begin(), options.end());
    fromCube.insert(fromCube.end(), options.begin(), options.end());
    std::string csvOut, cubeOut;
    ASSERT_EQ(Cli(fromCsv, csvOut, err), 0) << err;
    ASSERT_EQ(Cli(fromCube, cubeOut, err), 0) << err;
    EXPECT_EQ(csvOut, cubeOut) << format;
  }
  // Without --summaries every numeric field that is no dimension counts.
  ASSERT_EQ(Cli({"pivot", facts, "--rows", "name", "--format", "csv", "-o", dir.Path("o.csv")},
                out, err),
            0)
      << err;
  EXPECT_EQ(ReadBackWithPython(dir.Path("o.csv"), false),
            (std::vector<std::string>{"name\tsummary\tfunction\tsub-function\tvalue",
                                      "Bei, jing\tamount\tSum\tAgg. value\t0.5",
                                      "Bei, jing\tcount\tSum\tAgg. value\t4",
                                      "two|lines\tamount\tSum\tAgg. value\t2.25",
                                      "two|lines\tcount\tSum\tAgg. value\t2",
                                      "Total\tamount\tSum\tAgg. value\t2.75",
                                      "Total\tcount\tSum\tAgg. value\t6"}));
}

TEST(ExportCommand, WritesToStandardOutputWhereTheFormatAllows) {
  testing::TTempFolder dir;
  std::string out, err, file;
  ASSERT_EQ(Cli({"export", kCube, "--to", dir.Path("a.htm")}, out, err), 0) << err;
  ASSERT_EQ(Cli({"export", kCube, "--to", "-", "--format", "html"}, out, err), 0) << err;
  EXPECT_EQ(out, testing::ReadFileText(dir.Path("a.htm")));
  // The CSV and JSON documents are the pivot command's CSV and JSON.
  for (const char* format : {"csv", "json"}) {
    ASSERT_EQ(Cli({"export", kCube, "--rows", "Year", "--to", "-", "--format", format}, out, err),
              0)
        << err;
    ASSERT_EQ(Cli({"export", kCube, "--rows", "Year", "--to", dir.Path(std::string("b.") + format)},
                  file, err),
              0)
        << err;
    std::string pivot;
    ASSERT_EQ(Cli({"pivot", kCube, "--rows", "Year", "--format", format}, pivot, err), 0) << err;
    EXPECT_EQ(out, pivot);
    EXPECT_EQ(testing::ReadFileText(dir.Path(std::string("b.") + format)), pivot);
  }
  // --format decides over the extension.
  ASSERT_EQ(Cli({"export", kCube, "--to", dir.Path("c.txt"), "--format", "xml"}, out, err), 0);
  EXPECT_EQ(testing::ReadFileText(dir.Path("c.txt")).rfind("<?xml", 0), 0u);
}

// Summary values that are not numbers and a formula that does not parse leave
// the command successful, with one note each on stderr that the document is
// not the whole truth.
TEST(PivotCommand, NonNumbersAndBrokenFormulasAreNotedOnStandardError) {
  testing::TTempFolder dir;
  const std::string facts = dir.Write("facts.csv", "city,amount\nA,1\nB,abc\nC,\"12,5\"\n");
  const std::string brokenGrid = std::string(QD_TEST_DATA_DIR) + "/grid_file/broken_formula.vtg";
  const std::string note = "注意：amount有 2 个值不是数字，已按 0 计算（第一个在第 2 行：“abc”）\n";
  const struct {
    std::vector<std::string> Args;
    std::string Stderr;
  } cases[] = {
      {{"pivot", facts, "--rows", "city", "--summaries", "amount"}, "quarrydesk-cli pivot: " + note},
      {{"export", facts, "--rows", "city", "--summaries", "amount", "--to", dir.Path("f.htm")},
       "quarrydesk-cli export: " + note},
      {{"pivot", brokenGrid},
       "quarrydesk-cli pivot: 注意：计算合计项“双倍”的公式有错误（第 1 个字符）：不正确的字符串\n"},
      {{"pivot", kGridFile, "--functions", "Sum"}, ""}};
  for (const auto& c : cases) {
    std::ostringstream captured;
    auto* old = std::cerr.rdbuf(captured.rdbuf());
    std::string out, err;
    const int rc = Cli(c.Args, out, err);
    std::cerr.rdbuf(old);
    EXPECT_EQ(rc, 0) << err;
    EXPECT_EQ(err, "");
    EXPECT_EQ(captured.str(), c.Stderr) << c.Args[1];
  }
  // "12,5" is no number either: it never becomes 12.
  EXPECT_NE(testing::ReadFileText(dir.Path("f.htm")).find("1.00"), std::string::npos);
  EXPECT_EQ(testing::ReadFileText(dir.Path("f.htm")).find("12"), std::string::npos);
}

// The cube of the demo database's premiums by product class, channel and
// branch, built once.
class DemoPremiums : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Dir = new testing::TTempFolder;
    std::string out, err;
    ASSERT_EQ(Cli({"import", "--connection", Connection(), "--query",
                   "SELECT p.class_name AS 险种分类, f.channel_code AS channel, "
                   "f.mgr_branch AS branch, f.amnt AS amnt FROM f_premium f "
                   "JOIN d_product p ON p.pol_code = f.pol_code",
                   "--rows", "channel", "--page", "险种分类,branch", "--summaries", "amnt", "-o",
                   Dir->Path("premiums.vtc")},
                  out, err),
              0)
        << err;
  }
  static void TearDownTestSuite() { delete Dir; }
  static std::string Connection() { return std::string("Provider=SQLite;Data Source=") + QD_DEMO_DB; }

  // channel → value of `pivot --rows channel --format csv` with the options.
  static std::map<std::string, double> PivotByChannel(std::vector<std::string> options) {
    std::vector<std::string> args = {"pivot", Dir->Path("premiums.vtc"), "--rows", "channel",
                                     "--cols", "", "--format", "csv"};
    args.insert(args.end(), options.begin(), options.end());
    std::string out, err;
    EXPECT_EQ(Cli(args, out, err), 0) << err;
    std::map<std::string, double> sums;
    std::istringstream in(out);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "channel,summary,function,sub-function,value\r");
    while (std::getline(in, line)) {
      const std::string channel = line.substr(0, line.find(','));
      sums[channel] = std::stod(line.substr(line.rfind(',') + 1));
    }
    return sums;
  }

  // The same sums straight from the database ("Total" for all channels).
  static std::map<std::string, double> SqlByChannel(const std::string& where) {
    TDbConnection db(Connection());
    std::map<std::string, double> sums;
    const std::string from =
        " FROM f_premium f JOIN d_product p ON p.pol_code = f.pol_code WHERE " + where;
    TDbQuery q(&db, "SELECT f.channel_code, SUM(f.amnt)" + from +
                        " GROUP BY 1 UNION ALL SELECT 'Total', SUM(f.amnt)" + from);
    for (q.Open(); !q.Eof(); q.Next()) sums[q.Fields(0).AsString()] = q.Fields(1).AsFloat();
    return sums;
  }

  static void ExpectSums(const std::map<std::string, double>& got,
                         const std::map<std::string, double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (const auto& [channel, sum] : want) {
      ASSERT_TRUE(got.count(channel)) << channel;
      EXPECT_NEAR(got.at(channel), sum, 1e-9 * std::abs(sum)) << channel;
    }
  }

  static testing::TTempFolder* Dir;
};

testing::TTempFolder* DemoPremiums::Dir = nullptr;

TEST_F(DemoPremiums, PageFiltersEqualAFilteredSqlSum) {
  ExpectSums(PivotByChannel({"--filter", "险种分类=分红险"}), SqlByChannel("p.class_name = '分红险'"));
  ExpectSums(PivotByChannel({"--filter", "险种分类=分红险,万能险", "--filter", "branch=330209"}),
             SqlByChannel("p.class_name IN ('分红险', '万能险') AND f.mgr_branch = '330209'"));
}

TEST_F(DemoPremiums, RowFiltersLeaveOtherMembersOutOfTheTotals) {
  const auto sums = PivotByChannel({"--filter", "channel=01, 02", "--filter", "险种分类=分红险"});
  ExpectSums(sums, SqlByChannel("f.channel_code IN ('01', '02') AND p.class_name = '分红险'"));
  // Filters of one dimension add up.
  ExpectSums(PivotByChannel({"--filter", "channel=01", "--filter", "channel=02", "--filter",
                             "险种分类=分红险"}),
             sums);
}

TEST_F(DemoPremiums, ExportedDocumentsCountAndNameOnlyTheFilteredMembers) {
  std::string out, err;
  ASSERT_EQ(Cli({"export", Dir->Path("premiums.vtc"), "--rows", "channel", "--cols", "",
                 "--filter", "险种分类=分红险", "--to", "-", "--format", "csv"},
                out, err),
            0)
      << err;
  const std::string total = out.substr(out.rfind("Total,"));
  EXPECT_NEAR(std::stod(total.substr(total.rfind(',') + 1)),
              SqlByChannel("p.class_name = '分红险'").at("Total"), 1e-3);
  // The documents name the page filter.
  ASSERT_EQ(Cli({"export", Dir->Path("premiums.vtc"), "--rows", "channel", "--filter",
                 "险种分类=分红险,万能险", "--to", "-", "--format", "html"},
                out, err),
            0)
      << err;
  EXPECT_NE(out.find("<BR>险种分类：分红险、万能险<BR>"), std::string::npos) << out.substr(0, 600);
}

}  // namespace
}  // namespace qd
