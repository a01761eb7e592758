#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "app/cli.h"
#include "engine/cube/cube_file.h"
#include "run_cli.h"
#include "temp_folder.h"

namespace qd {
namespace {

// A small stored cube: City (display name 城市, with a hierarchy) and Year,
// one summary Amount, four facts.
const std::string kCube = std::string(QD_TEST_DATA_DIR) + "/cube_file/sales.vtc";

using testing::Cli;

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
  const std::string grid = std::string(QD_TEST_DATA_DIR) + "/grid_file/sales_before_record.vtg";
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

// A cube imported from a database keeps where it came from (no password),
// verify passes it, tells an old file apart, and names what a changed fact
// value broke.
TEST(CubeFileCommands, VerifyAndTheProvenanceThatInfoPrints) {
  testing::TTempFolder dir;
  dir.Write("facts.csv", "city,amount\nA,1.5\nB,2\nA,4\n");
  const std::string cube = dir.Path("facts.vtc");
  std::string out, err;
  ASSERT_EQ(Cli({"import", "--connection", "Provider=CSV;Data Source=" + dir.Folder() +
                 ";Password=hunter2", "--query", "SELECT * FROM [facts.csv]", "--rows", "city",
                 "--summaries", "amount", "-o", cube, "--quiet"},
                out, err),
            0)
      << err;
  ASSERT_EQ(Cli({"info", cube}, out, err), 0) << err;
  const std::string tail = out.substr(out.find("facts: 3\n") + 9);
  EXPECT_TRUE(tail.starts_with("source connection: Provider=CSV;Data Source=" + dir.Folder() +
                               "\nsource query: SELECT * FROM [facts.csv]\nbuilt: 20"))
      << tail;
  EXPECT_NE(tail.find("\nsource rows: 3\nprogram: Quarrydesk Version 2.00\nchecksum: crc32c "),
            std::string::npos)
      << tail;
  EXPECT_EQ(tail.find("hunter2"), std::string::npos);

  ASSERT_EQ(Cli({"verify", cube, kCube}, out, err), 0) << err;
  EXPECT_EQ(out, cube + "\tok\n" + kCube + "\tno integrity record\n");

  // 4.0 becomes 4.5 (one byte of the double), the file is encoded again.
  std::vector<std::uint8_t> container = ReadContainerFile(cube);
  const std::uint8_t four[8] = {0, 0, 0, 0, 0, 0, 0x10, 0x40};
  auto at = std::search(container.begin(), container.end(), four, four + 8);
  ASSERT_NE(at, container.end());
  at[6] = 0x12;
  WriteContainerFile(cube, container);
  ASSERT_EQ(Cli({"verify", kCube, cube}, out, err), 1) << err;
  EXPECT_TRUE(out.starts_with(kCube + "\tno integrity record\n" + cube + "\tdamaged\t校验和不符："))
      << out;
  EXPECT_NE(out.find(cube + "\tdamaged\t“amount”的总和不符：文件记录为 7.5，重算为 8\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(Cli({"info", cube}, out, err), 1);
  EXPECT_TRUE(err.starts_with("quarrydesk-cli info: 文件已损坏或不是Cube文件：" + cube)) << err;
  EXPECT_EQ(Cli({"verify"}, out, err), 2);
}

}  // namespace
}  // namespace qd
