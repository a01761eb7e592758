#include <gtest/gtest.h>

#include <sstream>

#include "app/cli.h"

namespace qd {
namespace {

// A small stored cube: City (display name 城市, with a hierarchy) and Year,
// one summary Amount, four facts.
const std::string kCube = std::string(QD_TEST_DATA_DIR) + "/cube_file/sales.vtc";

int Cli(const std::vector<std::string>& args, std::string& out, std::string& err) {
  std::ostringstream o, e;
  int rc = RunCli(args, o, e);
  out = o.str();
  err = e.str();
  return rc;
}

TEST(CubeFileCommands, InfoMembersAndFactsPrintTheStoredCube) {
  std::string out, err;
  ASSERT_EQ(Cli({"info", kCube}, out, err), 0) << err;
  EXPECT_EQ(out,
            "dimensions: 2\n"
            "0\tCity\t城市\tmembers=3\thierarchy=yes\n"
            "1\tYear\tYear\tmembers=3\thierarchy=no\n"
            "summaries: 1\n"
            "0\tAmount\tAmount\n"
            "facts: 4\n");
  ASSERT_EQ(Cli({"members", kCube, "城市"}, out, err), 0) << err;
  EXPECT_EQ(out, "0\t北京\t-1\n1\tA\t0\n2\tC\t0\n");
  ASSERT_EQ(Cli({"members", kCube, "year"}, out, err), 0) << err;
  EXPECT_EQ(out, "0\t30\t-1\n1\t10\t-1\n2\t20\t-1\n");
  ASSERT_EQ(Cli({"facts", kCube}, out, err), 0) << err;
  EXPECT_EQ(out,
            "城市\tYear\tAmount\n"
            "北京\t30\t1.5\n"
            "A\t10\t0.10000000000000001\n"
            "北京\t30\t2.5\n"
            "C\t20\t-4\n");
}

TEST(CubeFileCommands, FactsAsCsvAndJson) {
  std::string out, err;
  ASSERT_EQ(Cli({"facts", kCube, "--format", "csv"}, out, err), 0) << err;
  EXPECT_EQ(out,
            "城市,Year,Amount\r\n"
            "北京,30,1.5\r\n"
            "A,10,0.10000000000000001\r\n"
            "北京,30,2.5\r\n"
            "C,20,-4\r\n");
  ASSERT_EQ(Cli({"facts", kCube, "--format", "json", "--timing"}, out, err), 0) << err;
  EXPECT_EQ(out,
            "[\n"
            "{\"城市\":\"北京\",\"Year\":\"30\",\"Amount\":1.5},\n"
            "{\"城市\":\"A\",\"Year\":\"10\",\"Amount\":0.10000000000000001},\n"
            "{\"城市\":\"北京\",\"Year\":\"30\",\"Amount\":2.5},\n"
            "{\"城市\":\"C\",\"Year\":\"20\",\"Amount\":-4}\n"
            "]\n");
}

TEST(CubeFileCommands, GridDataFilesShowTheCubeTheyCarry) {
  const std::string grid = std::string(QD_TEST_DATA_DIR) + "/grid_file/sales.vtg";
  std::string out, err;
  ASSERT_EQ(Cli({"info", grid}, out, err), 0) << err;
  EXPECT_EQ(out,
            "dimensions: 2\n"
            "0\tCity\tCity\tmembers=3\thierarchy=no\n"
            "1\tYear\tYear\tmembers=2\thierarchy=no\n"
            "summaries: 1\n"
            "0\tAmount\tAmount\n"
            "facts: 5\n");
  ASSERT_EQ(Cli({"members", grid, "City"}, out, err), 0) << err;
  EXPECT_EQ(out, "0\t北京\t-1\n1\t上海\t-1\n2\t天津\t-1\n");
  ASSERT_EQ(Cli({"facts", grid}, out, err), 0) << err;
  EXPECT_EQ(out.substr(0, out.find('\n', out.find('\n') + 1) + 1),
            "City\tYear\tAmount\n北京\t2024\t1.5\n");
  // A grid-state file holds no cube.
  EXPECT_NE(Cli({"info", std::string(QD_TEST_DATA_DIR) + "/grid_file/sales.vts"}, out, err), 0);
  EXPECT_NE(err.find("文件中没有Cube"), std::string::npos) << err;
}

TEST(CubeFileCommands, FailuresExitNonZeroWithOneLine) {
  std::string out, err;
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"info"},
           {"info", "/nonexistent/x.vtc"},
           {"members", kCube, "Nope"},
           {"facts", std::string(QD_TEST_DATA_DIR) + "/streams/string_array.bin"}}) {
    EXPECT_NE(Cli(args, out, err), 0) << args[0];
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
  }
}

}  // namespace
}  // namespace qd
