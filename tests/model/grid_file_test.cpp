// Grid-data and grid-state files written and read by the grid model.
#include "model/grid_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include <unistd.h>

#include "../engine/cube_test_util.h"
#include "engine/core/bytes.h"
#include "engine/cube/cube_file.h"
#include "engine/cube/cube_file_decode.h"
#include "engine/core/errors.h"
#include "grid_test_cube.h"
#include "model/grid_dump.h"
#include "../engine/file_test_support.h"
#include "../engine/stream_test_support.h"

namespace qd::test {
namespace {

namespace fs = std::filesystem;

std::string Golden(const std::string& name) {
  return std::string(QD_TEST_DATA_DIR) + "/grid_file/" + name;
}

void ExpectGoldenFile(const fs::path& written, const std::string& name) {
  if (const char* u = std::getenv("QD_UPDATE_GOLDEN"); u && std::string(u) == "1")
    fs::copy_file(written, Golden(name), fs::copy_options::overwrite_existing);
  EXPECT_EQ(ReadFileBytes(written.string()), ReadFileBytes(Golden(name))) << name;
}

std::unique_ptr<TMemoryTable> Sales() {
  return MakeTable("qrSales",
                   {{"City", TFieldType::ftString},
                    {"Year", TFieldType::ftInteger},
                    {"Amount", TFieldType::ftFloat}},
                   {{S("北京"), I(2024), D(1.5)},
                    {S("上海"), I(2025), D(2)},
                    {S("北京"), I(2025), D(4)},
                    {S("天津"), I(2024), D(0.5)},
                    {S("上海"), I(2024), D(3)}});
}

// City on rows and Year on columns of a cube built over `data`, with one
// saved state named 全部.
void OpenCityByYear(TVantra& cube, TGridInfo& grid, TMemoryTable& data) {
  cube.Options().ShowProgressBar = false;
  cube.SetDataSet(&data);
  DefineMap(cube, {"City", "Year"}, {"Amount"});
  cube.DimensionMap().FindPlain("Year")->DimGroup = TDimGroup::dgCol;
  grid.SetVantra(&cube);
  cube.SetActive(true);
  grid.SavePivotState("全部");
}

// A built cube with a grid on it: City on rows, Year on columns, one named
// state, a hidden member and a hidden calculated summary.
struct TSavedGrid {
  std::unique_ptr<TMemoryTable> Data = Sales();
  TVantra Cube;
  TGridInfo Grid;
  fs::path Dir = fs::temp_directory_path() / ("qd_grid_file_test_" + std::to_string(::getpid()));
  explicit TSavedGrid(const std::string& formula = "\"Amount\"*2", bool showIt = false) {
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    OpenCityByYear(Cube, Grid, *Data);
    TPivotState s = Grid.CaptureState();
    // City is a plain text dimension: its saved members go by member key.
    EXPECT_FALSE(s.DimStates[0].Members.IdentifiedByText);
    TSaveMember hidden;
    hidden.MemberKey = 2;  // 天津
    hidden.Hidden = true;
    s.DimStates[0].Members.Items.push_back(hidden);
    TStreamedSumInfo& calc = s.Summaries.Items.emplace_back();
    calc.Calculated = true;
    calc.DisplayName = "双倍";
    calc.Formula = formula;
    if (showIt) {
      calc.Functions.resize(kFunctionCount);
      for (TStreamedFunction& f : calc.Functions) f.SubFunctions.resize(kSubFunctionCount);
      calc.Functions[0].SubFunctions[sfValue].Visible = true;
    }
    Grid.ApplyState(s);
  }
  ~TSavedGrid() { fs::remove_all(Dir); }
  fs::path Path(const std::string& name) const { return Dir / name; }
};

TEST(GridFile, DataFileMatchesItsGoldenAndReopensWithoutADatabase) {
  TSavedGrid saved;
  const std::string before = DumpGrid(saved.Grid);
  EXPECT_EQ(before.find("天津"), std::string::npos);
  EXPECT_NE(before.find("北京"), std::string::npos);
  saved.Grid.SaveToFile(saved.Path("sales.vtg").string(), kGridDataParts);
  ExpectGoldenFile(saved.Path("sales.vtg"), "sales.vtg");

  TVantra cube;
  TGridInfo grid;
  grid.SetVantra(&cube);
  TRecorder listener;
  grid.AddListener(&listener);
  grid.ProcessNotifications();
  listener.Kinds.clear();
  grid.LoadFromFile(saved.Path("sales.vtg").string());
  ASSERT_TRUE(cube.Active());
  ASSERT_TRUE(grid.IsActive());
  EXPECT_EQ(DumpGrid(grid), before);
  // The new cube is laid out once, as the file's layout: not first as the
  // cube's own (a whole aggregation of a layout nobody sees).
  grid.ProcessNotifications();
  EXPECT_EQ(listener.Kinds, (std::vector<TChangeKind>{TChangeKind::ckCube}));
  grid.RemoveListener(&listener);
  ASSERT_EQ(grid.PivotStates().Count(), 1);
  EXPECT_EQ(grid.PivotStates().Name(0), "全部");
  EXPECT_TRUE(grid.DimensionState(0).FilterActive);
  EXPECT_EQ(grid.SummarySettings().Count(), 2);

  // The same file with caller bytes: they come back into a buffer of any size.
  const std::string text = "user block";
  saved.Grid.SaveToFile(saved.Path("user.vtg").string(), kGridDataParts,
                        {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  std::vector<std::uint8_t> small(4);
  TUserBuffer buffer{small.data(), small.size()};
  grid.LoadFromFile(saved.Path("user.vtg").string(), &buffer);
  EXPECT_EQ(buffer.Received, 4u);
  EXPECT_EQ(std::string(small.begin(), small.end()), "user");
}

TEST(GridFile, StateFileNeedsAnOpenCubeWhileADataFileBringsItsOwn) {
  TSavedGrid saved;
  const std::string before = DumpGrid(saved.Grid);
  saved.Grid.SaveToFile(saved.Path("sales.vts").string(), kGridStateParts);
  ExpectGoldenFile(saved.Path("sales.vts"), "sales.vts");
  saved.Grid.SaveToFile(saved.Path("sales.vtg").string(), kGridDataParts);

  TVantra cube;
  TGridInfo grid;
  grid.SetVantra(&cube);
  try {
    grid.LoadFromFile(saved.Path("sales.vts").string());
    FAIL() << "a layout was restored without a cube";
  } catch (const EGenericError& e) {
    EXPECT_STREQ(e.what(), "不能从未打开的列表中恢复多维表状态");
  }
  EXPECT_FALSE(cube.Active());
  EXPECT_EQ(grid.PivotStates().Count(), 0);

  grid.LoadFromFile(saved.Path("sales.vtg").string());
  ASSERT_TRUE(cube.Active());
  grid.MoveDim(1, TDimGroup::dgRow, 0);
  grid.DeletePivotState("全部");
  ASSERT_NE(DumpGrid(grid), before);
  grid.LoadFromFile(saved.Path("sales.vts").string());
  EXPECT_EQ(DumpGrid(grid), before);
  EXPECT_EQ(grid.PivotStates().Count(), 1);
}

TEST(GridFile, ALayoutWithoutExpandedNodesWritesNoExpansion) {
  TSavedGrid saved;
  const TPivotState s = saved.Grid.CaptureState();
  TMemoryStream m;
  TTagWriter w(m);
  s.Write(w);
  std::vector<TTag> tags;
  TTagReader r(m.Bytes());
  r.ReadBlock(TPivotState::kBaseTag, [&](TTag tag) {
    tags.push_back(tag);
    return false;
  });
  EXPECT_EQ(tags, (std::vector<TTag>{0x605, 0x60A, 0x619, 0x61E}));
}

// The committed files, opened and saved again, give the same bytes: reading
// kept every field that was written.
TEST(GridFile, GoldenFilesReadBackWhole) {
  TSavedGrid scratch;  // only for its folder
  TVantra cube;
  TGridInfo grid;
  grid.SetVantra(&cube);
  grid.LoadFromFile(Golden("sales.vtg"));
  grid.SaveToFile(scratch.Path("again.vtg").string(), kGridDataParts);
  EXPECT_EQ(ReadFileBytes(scratch.Path("again.vtg").string()), ReadFileBytes(Golden("sales.vtg")));
  grid.MoveDim(1, TDimGroup::dgRow, 0);
  grid.LoadFromFile(Golden("sales.vts"));
  grid.SaveToFile(scratch.Path("again.vts").string(), kGridStateParts);
  EXPECT_EQ(ReadFileBytes(scratch.Path("again.vts").string()), ReadFileBytes(Golden("sales.vts")));

  // A file written before cube files kept an integrity record opens alike.
  TVantra old;
  TGridInfo oldGrid;
  oldGrid.SetVantra(&old);
  oldGrid.LoadFromFile(Golden("sales_before_record.vtg"));
  EXPECT_FALSE(old.Built().Integrity.Stored);
  EXPECT_EQ(Values(old, 0), Values(cube, 0));
  EXPECT_EQ(Captions(*old.Dimensions()[0]), Captions(*cube.Dimensions()[0]));
}

TEST(GridFile, UnsavableModelsAndFailedSavesLeaveFilesAlone) {
  TSavedGrid saved;
  const fs::path target = saved.Path("keep.vtg");
  WriteFileBytes(target.string(), std::vector<std::uint8_t>{1, 2, 3});
  saved.Grid.SaveToFile(target.string(), 0);  // no part: nothing happens
  EXPECT_EQ(ReadFileBytes(target.string()), (std::vector<std::uint8_t>{1, 2, 3}));

  TGridInfo idle;
  try {
    idle.SaveToFile(target.string(), kGridStateParts);
    FAIL();
  } catch (const EGenericError& e) {
    EXPECT_STREQ(e.what(), "不能保存非活动的列表");
  }
  EXPECT_EQ(ReadFileBytes(target.string()), (std::vector<std::uint8_t>{1, 2, 3}));
  // A target that cannot be replaced keeps its content and gets no stray file.
  fs::create_directories(saved.Path("occupied"));
  WriteFileBytes(saved.Path("occupied/x").string(), std::vector<std::uint8_t>{7});
  EXPECT_THROW(saved.Grid.SaveToFile(saved.Path("occupied").string(), kGridDataParts), Exception);
  EXPECT_EQ(ReadFileBytes(saved.Path("occupied/x").string()), (std::vector<std::uint8_t>{7}));
  EXPECT_EQ(std::distance(fs::directory_iterator(saved.Dir), fs::directory_iterator{}), 2);
  // A successful save replaces the old content.
  saved.Grid.SaveToFile(target.string(), kGridStateParts);
  EXPECT_NE(ReadFileBytes(target.string()), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(GridFile, DamagedFilesFailCleanly) {
  TSavedGrid saved;
  saved.Grid.SaveToFile(saved.Path("sales.vtg").string(), kGridDataParts);
  const std::vector<std::uint8_t> bytes = ReadContainerFile(saved.Path("sales.vtg").string());
  // Every truncation and every flipped byte either loads or raises; after a
  // failure the cube is closed and empty.
  auto attempt = [](const std::vector<std::uint8_t>& b) {
    TVantra cube;
    TGridInfo grid;
    grid.SetVantra(&cube);
    try {
      grid.LoadFromContainer(b);
    } catch (const Exception& e) {
      EXPECT_FALSE(cube.Active());
      EXPECT_EQ(cube.Built().Dimensions.size(), 0u) << e.what();
      EXPECT_FALSE(grid.IsActive());
    }
  };
  for (std::size_t n = 0; n < bytes.size(); n += 3)
    attempt(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + n));
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    auto b = bytes;
    b[i] ^= 0xFF;
    attempt(b);
  }
  TVantra cube;
  TGridInfo grid;
  grid.SetVantra(&cube);
  EXPECT_THROW(grid.LoadFromContainer(std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 2)),
               EStreamError);
  WriteFileBytes(saved.Path("garbage.vtg").string(),
                 std::vector<std::uint8_t>{0xFF, 'g', 'a', 'r', 'b', 'a', 'g', 'e'});
  EXPECT_THROW(grid.LoadFromFile(saved.Path("garbage.vtg").string()), EStreamError);
  EXPECT_FALSE(cube.Active());
}

TEST(GridFile, AStoredFormulaThatDoesNotParseLeavesTheRestOfTheLayoutWorking) {
  TSavedGrid saved("[Amount]*2", true);
  saved.Grid.SaveToFile(saved.Path("broken_formula.vtg").string(), kGridDataParts);
  ExpectGoldenFile(saved.Path("broken_formula.vtg"), "broken_formula.vtg");

  TVantra cube;
  TGridInfo grid;
  grid.SetVantra(&cube);
  grid.LoadFromFile(Golden("broken_formula.vtg"));
  ASSERT_TRUE(grid.IsActive());
  EXPECT_EQ(grid.FormulaErrors(), std::vector<std::string>{
                                      "计算合计项“双倍”的公式有错误（第 1 个字符）：不正确的字符串"});
  const std::string dump = DumpGrid(grid);
  EXPECT_NE(dump.find("北京"), std::string::npos);

  // The golden grid-data file carries the formula in the language's syntax.
  TVantra goodCube;
  TGridInfo good;
  good.SetVantra(&goodCube);
  good.LoadFromFile(Golden("sales.vtg"));
  ASSERT_EQ(good.SummarySettings().Count(), 2);
  EXPECT_EQ(good.SummarySettings().Items(1).Formula(), "\"Amount\"*2");
  good.SummarySettings().Items(1).SetVisible(true);
  good.BeginUpdate();
  good.EndUpdate(TChangeKind::ckDataColumns);
  EXPECT_TRUE(good.FormulaErrors().empty());
}

TEST(GridFile, DamagedFilesSaySoWithTheirName) {
  TSavedGrid saved;
  const std::string path = saved.Path("sales.vtg").string();
  WriteFileBytes(path, std::vector<std::uint8_t>{0xFF, 'g', 'a', 'r', 'b', 'a', 'g', 'e'});
  TVantra cube;
  TGridInfo grid;
  grid.SetVantra(&cube);
  const std::string message = qd::test::ReadError([&] { grid.LoadFromFile(path); });
  EXPECT_TRUE(message.starts_with("文件已损坏或不是Cube列表文件：" + path + "（")) << message;
}

// A grid on a cube whose records take far more than the first decoded step of
// a file, with a saved state; its grid-data file is written once.
struct TLargeGrid {
  std::unique_ptr<TMemoryTable> Data;
  TVantra Cube;
  TGridInfo Grid;
  TTempFolder Dir{"grid_file_large"};
  std::string File = Dir.Path("large.vtg");
  TLargeGrid() {
    std::vector<std::vector<TVariant>> rows;
    for (int r = 0; r < 40000; ++r)
      rows.push_back({TVariant("城市" + std::to_string(r * 7 % 61)), I(2000 + r % 17),
                      D(static_cast<double>(r % 997) / 8)});
    Data = MakeTable("qrLarge",
                     {{"City", TFieldType::ftString},
                      {"Year", TFieldType::ftInteger},
                      {"Amount", TFieldType::ftFloat}},
                     rows);
    OpenCityByYear(Cube, Grid, *Data);
    Grid.SaveToFile(File, kGridDataParts);
  }
};

void ExpectSameCube(const TCustomVantra& loaded, const TCustomVantra& built) {
  ASSERT_TRUE(loaded.Active());
  ASSERT_EQ(loaded.FactTable()->RecordCount(), built.FactTable()->RecordCount());
  const auto bytes = static_cast<std::size_t>(built.FactTable()->RecordCount()) *
                     static_cast<std::size_t>(built.FactTable()->RecordSize());
  EXPECT_EQ(std::memcmp(loaded.FactTable()->Data(), built.FactTable()->Data(), bytes), 0);
  EXPECT_EQ(Captions(*loaded.Dimensions()[0]), Captions(*built.Dimensions()[0]));
}

// The records are taken over from the decoded file where they lie; the rest of
// the container is read behind them, and a load over a loaded cube lets the
// old records go only once the new ones are in.
TEST(GridFile, ALargeDataFileOpensWholeAndOpensAgainOverItself) {
  TLargeGrid large;
  const std::string before = DumpGrid(large.Grid);
  TVantra cube;
  TGridInfo grid;
  grid.SetVantra(&cube);
  grid.LoadFromFile(large.File);
  ExpectSameCube(cube, large.Cube);
  EXPECT_EQ(DumpGrid(grid), before);
  ASSERT_EQ(grid.PivotStates().Count(), 1);

  TGridFileContent content = ReadGridFile(large.File);
  ASSERT_TRUE(content.HasCube);
  ASSERT_TRUE(content.Layout);
  EXPECT_EQ(GridFileDimensions(content).size(), 2u);
  grid.MoveDim(1, TDimGroup::dgRow, 0);
  grid.LoadContent(std::move(content));
  ExpectSameCube(cube, large.Cube);
  EXPECT_EQ(DumpGrid(grid), before);
}

// A damaged file is refused with its name. Code that ends early or records
// that claim more than the file holds are refused before anything is
// replaced; a container with a second cube is refused while it is read, and
// the cube is then closed, as on any error inside the container.
TEST(GridFile, DamagedLargeDataFilesAreRefused) {
  TLargeGrid large;
  TVantra cube;
  TGridInfo grid;
  grid.SetVantra(&cube);
  grid.LoadFromFile(large.File);
  const std::string before = DumpGrid(grid);
  const std::vector<std::uint8_t> code = ReadFileBytes(large.File);
  const std::vector<std::uint8_t> container = ReadContainerFile(large.File);
  const std::string damaged = large.Dir.Path("damaged.vtg");
  auto refused = [&] {
    const std::string message = ReadError([&] { grid.LoadFromFile(damaged); });
    EXPECT_TRUE(message.starts_with("文件已损坏或不是Cube列表文件：" + damaged)) << message;
  };
  for (const std::size_t keep : {code.size() / 3, code.size() - 40, code.size() - 1}) {
    WriteFileBytes(damaged, std::vector<std::uint8_t>(code.begin(), code.begin() + keep));
    refused();
    ASSERT_TRUE(cube.Active());
    EXPECT_EQ(DumpGrid(grid), before);
  }
  const TFactItems items = FindFactItems(container);
  ASSERT_TRUE(items.Found);
  for (const std::uint32_t claimed : {std::uint32_t{0x7A000000}, std::uint32_t(items.Length + 8)}) {
    std::vector<std::uint8_t> b = container;
    Store(b.data() + items.Offset - 4, claimed);
    WriteContainerFile(damaged, b);
    refused();
  }
  EXPECT_FALSE(cube.Active());  // the short claim is only seen inside the cube

  // The cube field twice.
  grid.LoadFromFile(large.File);
  WriteContainerFile(damaged, WithFirstFieldTwice(container));
  refused();
  EXPECT_FALSE(cube.Active());
  EXPECT_FALSE(grid.IsActive());
  grid.LoadFromFile(large.File);
  EXPECT_EQ(DumpGrid(grid), before);
}

}  // namespace
}  // namespace qd::test
