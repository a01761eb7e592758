#include "engine/cube/cube_integrity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "../file_test_support.h"
#include "cube_test_util.h"
#include "engine/core/bytes.h"
#include "engine/core/errors.h"
#include "engine/cube/cube_file.h"
#include "engine/io/crc32c.h"

namespace qd {
namespace {

using namespace qd::test;

// Container layout: 0x1200, 0x1205, object code, 4-byte size, cube stream.
constexpr std::size_t kCubeStreamAt = 9;

std::unique_ptr<TMemoryTable> RandomSales(std::mt19937& rng, int rows) {
  std::vector<std::vector<TVariant>> data;
  std::uniform_int_distribution<int> city(0, 5), year(2020, 2024);
  std::uniform_real_distribution<double> amount(-1e6, 1e6);
  for (int r = 0; r < rows; ++r)
    data.push_back({std::string(1, static_cast<char>('A' + city(rng))), I(year(rng)),
                    rng() % 7 == 0 ? Null() : D(amount(rng)), D(std::ldexp(amount(rng), -20))});
  return MakeTable("qrSales",
                   {{"City", TFieldType::ftString},
                    {"Year", TFieldType::ftInteger},
                    {"Amount", TFieldType::ftFloat},
                    {"Qty", TFieldType::ftFloat}},
                   data);
}

struct TBuilt {
  std::unique_ptr<TMemoryTable> Data;
  TVantra Cube;
  explicit TBuilt(std::unique_ptr<TMemoryTable> data,
                  const std::vector<std::string>& dims = {"City", "Year"},
                  const std::vector<std::string>& sums = {"Amount", "Qty"})
      : Data(std::move(data)) {
    Cube.Options().ShowProgressBar = false;
    Cube.SetDataSet(Data.get());
    DefineMap(Cube, dims, sums);
    Cube.SetActive(true);
  }
};

std::vector<std::uint8_t> Saved(const TCustomVantra& cube) {
  TMemoryStream s;
  SaveCubeToStream(cube, s);
  return s.Buffer();
}

void LoadBytes(TCustomVantra& cube, std::vector<std::uint8_t> bytes) {
  TMemoryStream s(std::move(bytes));
  LoadCubeFromStream(cube, s);
}

// The container as a reader without the integrity record sees it: the
// record's entry cut out of the cube stream and the object's size mended.
std::vector<std::uint8_t> WithoutRecord(std::vector<std::uint8_t> bytes) {
  TTagReader walk(std::span<const std::uint8_t>(bytes).subspan(kCubeStreamAt));
  walk.ExpectTag(0x500);
  for (TTag tag = walk.ReadTag(); tag != 0x5FF; tag = walk.ReadTag()) {
    const std::size_t at = walk.Position() - 2;
    walk.SkipValue();
    if (tag != 0x5F0) continue;
    const std::size_t length = walk.Position() - at;
    bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(kCubeStreamAt + at),
                bytes.begin() + static_cast<std::ptrdiff_t>(kCubeStreamAt + at + length));
    Store(bytes.data() + 5, static_cast<std::uint32_t>(qd::Load<std::uint32_t>(bytes.data() + 5) - length));
    return bytes;
  }
  ADD_FAILURE() << "no integrity record";
  return bytes;
}

TEST(Crc32c, KnownValueBothWaysAndExtendsOverPieces) {
  const std::string nine = "123456789";
  const std::span<const std::uint8_t> text(reinterpret_cast<const std::uint8_t*>(nine.data()), 9);
  EXPECT_EQ(Crc32c(0, text), 0xE3069283u);
  EXPECT_EQ(Crc32cPortable(0, text), 0xE3069283u);
  std::mt19937 rng(5);
  std::vector<std::uint8_t> data(1000);
  for (auto& b : data) b = static_cast<std::uint8_t>(rng());
  for (std::size_t cut : {0u, 1u, 7u, 8u, 9u, 500u, 999u, 1000u}) {
    const auto head = std::span(data).first(cut), tail = std::span(data).subspan(cut);
    EXPECT_EQ(Crc32c(Crc32c(0, head), tail), Crc32c(0, data)) << cut;
    EXPECT_EQ(Crc32cPortable(Crc32cPortable(0, head), tail), Crc32c(0, data)) << cut;
  }
}

TEST(CubeIntegrity, RecordHoldsTheGrandTotalsOfRandomCubesAndChecksOnLoad) {
  std::mt19937 rng(27);
  for (int round = 0; round < 5; ++round) {
    TBuilt built(RandomSales(rng, 1 + static_cast<int>(rng() % 300)));
    TVantra loaded;
    LoadBytes(loaded, Saved(built.Cube));
    const TCubeIntegrity& record = loaded.Built().Integrity;
    ASSERT_TRUE(record.Stored);
    EXPECT_EQ(record.Crc, record.ComputedCrc);
    EXPECT_EQ(record.SourceRows, built.Data->RecordCount());
    EXPECT_TRUE(IntegrityDifferences(loaded.Built()).empty());
    ASSERT_EQ(record.Totals.size(), 2u);
    for (int s = 0; s < 2; ++s) {
      double sum = 0;
      std::int64_t count = 0;
      for (double v : Values(built.Cube, s))
        if (!std::isnan(v)) sum += v, ++count;
      EXPECT_EQ(record.Totals[static_cast<std::size_t>(s)].Sum, sum);
      EXPECT_EQ(record.Totals[static_cast<std::size_t>(s)].Count, count);
    }
  }
}

TEST(CubeIntegrity, AChangedFactValueIsRefusedNamingTheFileAndVerifyTellsWhatDiffers) {
  TBuilt built(MakeTable("t", {{"City", TFieldType::ftString}, {"Amount", TFieldType::ftFloat}},
                         {{S("北京"), D(2.5)}, {S("上海"), D(4)}}),
                 {"City"}, {"Amount"});
  TTempFolder dir("integrity");
  const std::string path = dir.Path("销售.vtc");
  SaveCubeToFile(built.Cube, path);

  // One byte of the value 2.5 changed after decoding, the file encoded again.
  std::vector<std::uint8_t> container = ReadContainerFile(path);
  std::uint8_t pattern[8];
  Store(pattern, 2.5);
  const auto at = std::search(container.begin(), container.end(), pattern, pattern + 8);
  ASSERT_NE(at, container.end());
  at[7] ^= 0x01;
  WriteContainerFile(path, container);

  TVantra refused;
  try {
    LoadCubeFromFile(refused, path);
    ADD_FAILURE() << "loaded";
  } catch (const ECubeError& e) {
    const std::string text = e.what();
    EXPECT_TRUE(text.starts_with("文件已损坏")) << text;
    EXPECT_NE(text.find(path), std::string::npos) << text;
    EXPECT_NE(text.find("校验和不符"), std::string::npos) << text;
  }
  EXPECT_FALSE(refused.Active());

  TVantra shown;
  shown.RefuseDamagedStreams = false;
  LoadCubeFromFile(shown, path);
  const std::vector<std::string> differences = IntegrityDifferences(shown.Built());
  ASSERT_EQ(differences.size(), 2u);
  EXPECT_TRUE(differences[0].starts_with("校验和不符")) << differences[0];
  EXPECT_TRUE(differences[1].starts_with("“Amount”的总和不符：文件记录为 6.5，")) << differences[1];
}

TEST(CubeIntegrity, ReadersThatDoNotKnowTheRecordSkipIt) {
  std::mt19937 rng(3);
  TBuilt built(RandomSales(rng, 40));
  const std::vector<std::uint8_t> bytes = Saved(built.Cube);
  // A reader knowing no field at all walks every block to its end tag.
  TTagReader any(bytes);
  any.ReadBlock(0x1200, [&](TTag) { return false; });
  EXPECT_TRUE(any.AtEnd());
  // Without the record, the cube reads as before, only unrecorded.
  TVantra old;
  LoadBytes(old, WithoutRecord(bytes));
  EXPECT_FALSE(old.Built().Integrity.Stored);
  EXPECT_EQ(Values(old, 0), Values(built.Cube, 0));
  EXPECT_EQ(Captions(*old.Dimensions()[0]), Captions(*built.Cube.Dimensions()[0]));
  // Saved again, a cube loaded from an old file gains a record that holds.
  TVantra again;
  LoadBytes(again, Saved(old));
  EXPECT_TRUE(again.Built().Integrity.Stored);
  EXPECT_TRUE(IntegrityDifferences(again.Built()).empty());
}

TEST(CubeIntegrity, FilesWrittenBeforeTheRecordStillOpen) {
  TVantra cube;
  LoadCubeFromFile(cube, std::string(QD_TEST_DATA_DIR) + "/cube_file/sales.vtc");
  EXPECT_TRUE(cube.Active());
  EXPECT_FALSE(cube.Built().Integrity.Stored);
  EXPECT_TRUE(IntegrityDifferences(cube.Built()).empty());
}

// A cube grouped in the database: three records standing for 2, 5 and 1
// facts, the second summary's value missing in the last. The grand count is
// of facts; a record written while it counted the records still verifies,
// any other count does not.
TEST(CubeIntegrity, GrandCountsOfAGroupedCubeAreOfFacts) {
  TBuiltCube cube;
  cube.FactTable = std::make_unique<TFactTable>(1, 2);
  auto weights = std::make_unique<TFactWeights>(2);
  weights->Resize(3);
  const double counts[3] = {2, 5, 1}, values[3][2] = {{1, 2}, {3, 4}, {5, std::nan("")}};
  for (std::int32_t r = 0; r < 3; ++r) {
    cube.FactTable->Append();
    cube.FactTable->SetValue(r, 0, values[r][0]);
    cube.FactTable->SetValue(r, 1, values[r][1]);
    weights->Row(r)[0] = counts[r];
  }
  cube.FactTable->SetWeights(std::move(weights));
  const std::vector<TGrandTotal> totals = GrandTotals(*cube.FactTable);
  ASSERT_EQ(totals.size(), 2u);
  EXPECT_EQ(totals[0].Count, 8);
  EXPECT_EQ(totals[1].Count, 7);
  EXPECT_EQ(totals[0].Sum, 9);

  cube.Integrity.Stored = true;
  cube.Integrity.Totals = totals;
  EXPECT_TRUE(IntegrityDifferences(cube).empty());
  cube.Integrity.Totals[0].Count = 3;  // the records, as files held them before
  cube.Integrity.Totals[1].Count = 2;
  EXPECT_TRUE(IntegrityDifferences(cube).empty());
  cube.Integrity.Totals[0].Count = 4;
  const std::vector<std::string> differences = IntegrityDifferences(cube);
  ASSERT_EQ(differences.size(), 1u);
  EXPECT_NE(differences[0].find("4"), std::string::npos) << differences[0];
  EXPECT_NE(differences[0].find("8"), std::string::npos) << differences[0];
}

}  // namespace
}  // namespace qd
