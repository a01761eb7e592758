#include "engine/cube/cube_file_decode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "cube_test_util.h"
#include "../stream_test_support.h"
#include "engine/core/errors.h"
#include "engine/core/bytes.h"
#include "engine/cube/cube_file.h"
#include "engine/cube/cube_file_header.h"
#include "engine/io/lzss.h"
#include "../file_test_support.h"

namespace qd {
namespace {

using namespace qd::test;
using TBytes = std::vector<std::uint8_t>;

// A cube whose records take far more than the first decoded step.
struct TBigCube {
  std::unique_ptr<TMemoryTable> Data;
  TVantra Cube;
  explicit TBigCube(int rows) {
    std::vector<std::vector<TVariant>> values;
    std::mt19937 rng(7);
    for (int r = 0; r < rows; ++r) {
      const std::string city = "城市" + std::to_string(rng() % 50);
      values.push_back({TVariant(city), I(2000 + rng() % 20), D(static_cast<double>(rng() % 1000) / 8)});
    }
    Data = MakeTable("qrBig",
                     {{"City", TFieldType::ftString},
                      {"Year", TFieldType::ftInteger},
                      {"Amount", TFieldType::ftFloat}},
                     values);
    Cube.Options().ShowProgressBar = false;
    Cube.SetDataSet(Data.get());
    DefineMap(Cube, {"City", "Year"}, {"Amount"});
    Cube.SetActive(true);
  }
};

TBytes Container(const TCustomVantra& cube) {
  TMemoryStream s;
  SaveCubeToStream(cube, s);
  return s.Buffer();
}

TEST(CubeFileDecode, RecordsAreFoundAndDecodedInPlaceAsTheWholeStreamWouldBe) {
  TBigCube big(30000);
  const TBytes container = Container(big.Cube);
  const TBytes code = CompressBytes(container);
  const TContainerBlock block = DecodeCubeContainer(code, kMaxContainerBytes);
  ASSERT_EQ(block.Size, container.size());
  EXPECT_EQ(std::memcmp(block.Data.get(), container.data(), container.size()), 0);

  const TFactItems items = FindFactItems(block.Bytes());
  ASSERT_TRUE(items.Found);
  const TFactTable& f = *big.Cube.FactTable();
  ASSERT_EQ(items.Length, static_cast<std::size_t>(f.RecordCount()) * f.RecordSize());
  EXPECT_EQ(std::memcmp(block.Data.get() + items.Offset, f.Data(), items.Length), 0);
  // Too short a head says how much more it needs.
  const TFactItems cut = FindFactItems(block.Bytes().first(items.Offset - 3));
  EXPECT_FALSE(cut.Found);
  EXPECT_EQ(cut.Need, items.Offset);

  const TContainerBlock head = DecodeCubeContainer(code, kMaxContainerBytes, TRecords::rStopBefore);
  ASSERT_EQ(head.Size, items.Offset);
  EXPECT_EQ(std::memcmp(head.Data.get(), container.data(), head.Size), 0);

  // Containers without records, and code that is no container at all,
  // decode as a whole.
  std::mt19937 rng(3);
  TBytes noise(20000);
  for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
  for (const TBytes& other : {noise, CompressBytes(TBytes(200000, 7))}) {
    const TContainerBlock all = DecodeCubeContainer(other, kMaxContainerBytes);
    const TBytes expected = DecompressBytes(other);
    ASSERT_EQ(all.Size, expected.size());
    EXPECT_EQ(std::memcmp(all.Data.get(), expected.data(), expected.size()), 0);
  }
}

TEST(CubeFileDecode, ALoadedFileKeepsItsRecordsAndTakesMore) {
  TBigCube big(30000);
  TTempFolder dir("cube_decode");
  const std::string path = dir.Path("big.vtc");
  SaveCubeToFile(big.Cube, path);
  TVantra loaded;
  LoadCubeFromFile(loaded, path);
  ASSERT_TRUE(loaded.Active());
  for (int d = 0; d < 2; ++d) EXPECT_EQ(Stored(loaded, d), Stored(big.Cube, d));
  EXPECT_EQ(Values(loaded, 0), Values(big.Cube, 0));
  EXPECT_EQ(Container(loaded), Container(big.Cube));

  // The adopted block gives way to a table of its own when records are added.
  TFactTable& f = *loaded.Built().FactTable;
  const std::vector<double> before = Values(loaded, 0);
  for (int k = 0; k < 5000; ++k) f.Append(), f.SetCurValue(0, k + 0.5);
  std::vector<double> after = Values(loaded, 0);
  after.resize(before.size());
  EXPECT_EQ(after, before);
  EXPECT_EQ(f.RecordCount(), 35000);
  EXPECT_EQ(f.Value(34999, 0), 4999.5);
}

TEST(CubeFileDecode, RecordsLongerThanTheCodeCanHoldAreRefusedBeforeTheirMemoryIsTaken) {
  TBigCube big(2000);
  TBytes container = Container(big.Cube);
  const TFactItems items = FindFactItems(container);
  ASSERT_TRUE(items.Found);
  // A damaged length that claims 1.9 GB of records.
  Store(container.data() + items.Offset - 4, std::uint32_t{0x7A000000});
  const TBytes code = CompressBytes(container);
  EXPECT_THROW(DecodeCubeContainer(code, kMaxContainerBytes), EStreamError);
  TTempFolder dir("cube_decode");
  const std::string path = dir.Path("claims.vtc");
  WriteFileBytes(path, code);
  TVantra cube;
  const std::string error = ReadError([&] { LoadCubeFromFile(cube, path); });
  EXPECT_TRUE(error.starts_with("文件已损坏或不是Cube文件：" + path)) << error;
  EXPECT_FALSE(cube.Active());
  // A limit below the container's size refuses it too.
  EXPECT_THROW(DecodeCubeContainer(CompressBytes(Container(big.Cube)), container.size() - 1),
               EStreamError);
}

// The second cube of a container would drop the table holding the records of
// the first while the container is still read from them: such a file is
// refused, and the cube closed.
TEST(CubeFileDecode, AContainerWithTwoCubesIsRefused) {
  TBigCube big(20000);
  TTempFolder dir("cube_decode");
  const std::string path = dir.Path("twice.vtc");
  WriteContainerFile(path, WithFirstFieldTwice(Container(big.Cube)));
  TVantra cube;
  const std::string error = ReadError([&] { LoadCubeFromFile(cube, path); });
  EXPECT_TRUE(error.starts_with("文件已损坏或不是Cube文件：" + path)) << error;
  EXPECT_FALSE(cube.Active());
  EXPECT_TRUE(cube.Dimensions().empty());
}

TEST(CubeFileDecode, TheHeaderReadsWithoutTheRecordsAndChecksThemWhenAsked) {
  TBigCube big(30000);
  TTempFolder dir("cube_decode");
  const std::string path = dir.Path("big.vtc");
  SaveCubeToFile(big.Cube, path);
  for (const bool integrity : {true, false}) {
    const TCubeFileHeader h = ReadCubeFileHeader(path, integrity);
    ASSERT_TRUE(h.HasCube);
    EXPECT_EQ(h.RecordCount, 30000);
    ASSERT_EQ(h.Dimensions.size(), 2u);
    ASSERT_EQ(h.Summaries.size(), 1u);
    for (std::size_t d = 0; d < 2; ++d)
      EXPECT_EQ(Captions(*h.Dimensions[d]), Captions(*big.Cube.Dimensions()[d]));
    EXPECT_EQ(h.Summaries[0]->BaseFieldName, "Amount");
    EXPECT_EQ(h.Integrity.Stored, integrity);
    if (integrity) {
      EXPECT_EQ(h.Integrity.ComputedCrc, h.Integrity.Crc);
    }
  }
  TVantra loaded;
  LoadCubeFromFile(loaded, path);
  EXPECT_EQ(ReadCubeFileHeader(path, true).Integrity.Crc, loaded.Built().Integrity.ComputedCrc);

  // A changed record is found by the checksum, as loading finds it.
  TBytes container = DecompressBytes(ReadFileBytes(path));
  const TFactItems items = FindFactItems(container);
  container[items.Offset + items.Length / 2] ^= 0x40;
  WriteFileBytes(path, CompressBytes(container));
  const std::string error = ReadError([&] { ReadCubeFileHeader(path, true); });
  EXPECT_TRUE(error.starts_with("文件已损坏或不是Cube文件：" + path)) << error;
  EXPECT_EQ(ReadCubeFileHeader(path, false).RecordCount, 30000);
  // Cut inside the records: the checked header refuses the file.
  container.resize(items.Offset + items.Length / 2);
  WriteFileBytes(path, CompressBytes(container));
  EXPECT_THROW(ReadCubeFileHeader(path, true), EStreamError);
}

TEST(CubeFileDecode, HeadersOfFilesWithoutRecordsOrWrittenLongAgo) {
  TBigCube empty(0);
  TTempFolder dir("cube_decode");
  const std::string path = dir.Path("empty.vtc");
  SaveCubeToFile(empty.Cube, path);
  const TCubeFileHeader h = ReadCubeFileHeader(path, true);
  EXPECT_TRUE(h.HasCube);
  EXPECT_EQ(h.RecordCount, 0);
  EXPECT_EQ(h.Dimensions.size(), 2u);

  const std::string golden = std::string(QD_TEST_DATA_DIR) + "/cube_file/sales_recorded.vtc";
  TVantra cube;
  LoadCubeFromFile(cube, golden);
  for (const bool integrity : {true, false}) {
    const TCubeFileHeader g = ReadCubeFileHeader(golden, integrity);
    EXPECT_EQ(g.RecordCount, cube.FactTable()->RecordCount());
    ASSERT_EQ(g.Dimensions.size(), cube.Dimensions().size());
    for (std::size_t d = 0; d < g.Dimensions.size(); ++d)
      EXPECT_EQ(Captions(*g.Dimensions[d]), Captions(*cube.Dimensions()[d]));
    EXPECT_EQ(g.Integrity.Stored, integrity && cube.Built().Integrity.Stored);
  }
}

}  // namespace
}  // namespace qd
