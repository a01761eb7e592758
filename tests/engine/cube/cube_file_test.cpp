#include "engine/cube/cube_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "cube_test_util.h"
#include "engine/core/bytes.h"
#include "stream_test_support.h"
#include "engine/core/errors.h"
#include "../file_test_support.h"
#include "engine/io/lzss.h"
#include "engine/io/safe_file.h"

namespace qd {
namespace {

using namespace qd::test;
namespace fs = std::filesystem;

std::unique_ptr<TMemoryTable> Sales() {
  return MakeTable("qrSales",
                   {{"City", TFieldType::ftString},
                    {"Year", TFieldType::ftInteger},
                    {"Amount", TFieldType::ftFloat}},
                   {{S("北京"), I(30), D(1.5)},
                    {S("A"), I(10), D(0.1)},
                    {S("北京"), I(30), D(2.5)},
                    {S("C"), I(20), D(-4)}});
}

// A built cube, with the parts a plain build leaves empty filled in by hand.
struct TSaved {
  std::unique_ptr<TMemoryTable> Data = Sales();
  TVantra Cube;
  TSaved() {
    Cube.Options().ShowProgressBar = false;
    Cube.SetDataSet(Data.get());
    DefineMap(Cube, {"City", "Year"}, {"Amount"});
    Cube.SetActive(true);
    TDimension& city = *Cube.Built().Dimensions[0];
    city.Parents = {-1, 0, 0};
    city.HasHierarchy = true;
    city.Attributes.Add("Empty");
    city.Components.push_back({"id", "name", nullptr, "%s-", "Part"});
    city.TotalAppearance = TTotalAppearance::taFirst;
    city.SortType = TDimSortType::dsNameDesc;
    city.DisplayName = "城市";
  }
};

std::vector<std::uint8_t> Save(const TCustomVantra& cube, std::span<const std::uint8_t> user = {}) {
  TMemoryStream s;
  SaveCubeToStream(cube, s, user);
  return s.Buffer();
}

void Load(TCustomVantra& cube, std::vector<std::uint8_t> bytes, TUserBuffer* user = nullptr) {
  TMemoryStream s(std::move(bytes));
  LoadCubeFromStream(cube, s, user);
}

TEST(CubeFile, RoundTripKeepsDimensionsSummariesAndFacts) {
  TSaved saved;
  TVantra loaded;
  TCodeLog log;
  loaded.RegisterGridModel(&log);
  Load(loaded, Save(saved.Cube));
  ASSERT_TRUE(loaded.Active());
  EXPECT_EQ(log.Codes, (std::vector<TCubeChange>{ccActiveChanged, ccLoaded}));
  ASSERT_EQ(loaded.DimensionCount(), 2);
  ASSERT_EQ(loaded.SummaryCount(), 1);
  for (int i = 0; i < 2; ++i) {
    const TDimension& a = *saved.Cube.Dimensions()[i];
    const TDimension& b = *loaded.Dimensions()[i];
    EXPECT_EQ(b.BaseFieldName, a.BaseFieldName);
    EXPECT_EQ(b.DisplayName, a.DisplayName);
    EXPECT_EQ(b.MapIndex, a.MapIndex);
    EXPECT_EQ(Captions(b), Captions(a));
    EXPECT_EQ(b.Parents, a.Parents);
    EXPECT_EQ(b.HasHierarchy, a.HasHierarchy);
    EXPECT_EQ(b.TextKey, a.TextKey);
    EXPECT_EQ(b.TextKeys, a.TextKeys);
    EXPECT_EQ(b.MemberKeys, a.MemberKeys);
    EXPECT_EQ(b.MemberKeysSorted, a.MemberKeysSorted);
    EXPECT_EQ(b.DatabaseOrder, a.DatabaseOrder);
    EXPECT_EQ(b.TotalAppearance, a.TotalAppearance);
    EXPECT_EQ(b.SortType, a.SortType);
    EXPECT_EQ(b.Group, a.Group);
  }
  const TDimension& city = *loaded.Dimensions()[0];
  ASSERT_EQ(city.Attributes.Count(), saved.Cube.Dimensions()[0]->Attributes.Count());
  const int empty = city.Attributes.IndexOf("Empty");
  ASSERT_GE(empty, 0);
  EXPECT_TRUE(city.Attributes.Values(empty).empty());
  for (int i = 0; i < city.Attributes.Count(); ++i)
    EXPECT_EQ(city.Attributes.Values(i), saved.Cube.Dimensions()[0]->Attributes.Values(i));
  ASSERT_EQ(city.Components.size(), 1u);
  EXPECT_EQ(city.Components[0].FieldName, "Part");
  EXPECT_EQ(city.Components[0].FormatString, "%s-");
  EXPECT_TRUE(city.Components[0].ID_Field.empty());
  EXPECT_EQ(loaded.Summaries()[0]->BaseFieldName, "Amount");
  for (int d = 0; d < 2; ++d) EXPECT_EQ(Stored(loaded, d), Stored(saved.Cube, d));
  EXPECT_EQ(Values(loaded, 0), Values(saved.Cube, 0));
  // Loaded cubes have no key columns to append by.
  EXPECT_THROW(loaded.RefreshFactTable(), ECubeError);
  // Writing the loaded cube again gives the same bytes.
  EXPECT_EQ(Save(loaded), Save(saved.Cube));
  loaded.UnregisterGridModel(&log);
}

TEST(CubeFile, AttributeValuesAndDefaultAttributeSurvive) {
  TSaved saved;
  TDimension& city = *saved.Cube.Built().Dimensions[0];
  int i = city.Attributes.Add("Code");
  city.Attributes.Values(i) = {"x", "y", "z"};
  city.DefaultAttributeName = "Code";
  city.BindDefaultAttribute();
  TVantra loaded;
  Load(loaded, Save(saved.Cube));
  const TDimension& d = *loaded.Dimensions()[0];
  EXPECT_EQ(Captions(d), (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_TRUE(d.Attributes.Values(d.Attributes.IndexOf("Empty")).empty());
}

TEST(CubeFile, UserBlockFillsAtMostTheBuffer) {
  TSaved saved;
  const std::string text(89, 'u');
  const auto bytes =
      Save(saved.Cube, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  std::vector<std::uint8_t> full(89), small(10, 0);
  TUserBuffer a{full.data(), full.size()}, b{small.data(), small.size()};
  TVantra loaded;
  Load(loaded, bytes, &a);
  EXPECT_EQ(a.Received, 89u);
  EXPECT_EQ(std::string(full.begin(), full.end()), text);
  Load(loaded, bytes, &b);
  EXPECT_EQ(b.Received, 10u);
  EXPECT_EQ(std::string(small.begin(), small.end()), std::string(10, 'u'));
  Load(loaded, bytes);  // no buffer: skipped
  EXPECT_TRUE(loaded.Active());
}

TEST(CubeFile, EmptyFactTableLoadsEmpty) {
  TSaved saved;
  saved.Cube.Built().FactTable->Clear();
  TVantra loaded;
  Load(loaded, Save(saved.Cube));
  ASSERT_TRUE(loaded.Active());
  ASSERT_NE(loaded.FactTable(), nullptr);
  EXPECT_EQ(loaded.FactTable()->RecordCount(), 0);
  EXPECT_EQ(loaded.FactTable()->DimCount(), 2);
}

TEST(CubeFile, InactiveCubeIsNotSaved) {
  TVantra cube;
  TMemoryStream s;
  EXPECT_THROW(SaveCubeToStream(cube, s), ECubeError);
  EXPECT_EQ(s.Size(), 0u);
  const fs::path p =
      fs::temp_directory_path() / ("qd_cube_file_inactive_" + std::to_string(::getpid()) + ".vtc");
  WriteFileBytes(p.string(), std::vector<std::uint8_t>{1, 2, 3});
  EXPECT_THROW(SaveCubeToFile(cube, p.string()), ECubeError);
  EXPECT_EQ(ReadFileBytes(p.string()), (std::vector<std::uint8_t>{1, 2, 3}));
  fs::remove(p);
}

// The version field sits right after the cube stream's begin tag.
std::vector<std::uint8_t> WithVersion(std::vector<std::uint8_t> bytes, std::int16_t version) {
  const std::uint8_t pattern[] = {0x05, 0x05, 5, 0x95, 0x01};  // 0x505, int16 405
  auto it = std::search(bytes.begin(), bytes.end(), std::begin(pattern), std::end(pattern));
  EXPECT_NE(it, bytes.end());
  Store(&*(it + 3), version);
  return bytes;
}

TEST(CubeFile, VersionsOutsideTheAcceptedRangeAreRefused) {
  TSaved saved;
  const auto bytes = Save(saved.Cube);
  for (std::int16_t v : {399, 406}) {
    TVantra loaded;
    Load(loaded, Save(saved.Cube));
    try {
      Load(loaded, WithVersion(bytes, v));
      ADD_FAILURE() << v;
    } catch (const ECubeError& e) {
      EXPECT_STREQ(e.what(), "Cannot read from the stream of an early version");
    }
    EXPECT_FALSE(loaded.Active());
    EXPECT_EQ(loaded.Built().Dimensions.size(), 0u);
    EXPECT_EQ(loaded.Built().Summaries.size(), 0u);
  }
  // The patched stream no longer matches its checksum; only the version is
  // in question here.
  TVantra loaded;
  loaded.RefuseDamagedStreams = false;
  Load(loaded, WithVersion(bytes, 400));
  EXPECT_TRUE(loaded.Active());
}

TEST(CubeFile, LoadingIntoAnActiveCubeClosesItFirst) {
  TSaved saved;
  std::vector<std::string> events;
  auto log = [&](const char* name) {
    return [&events, name](TCustomVantra&) { events.push_back(name); };
  };
  saved.Cube.BeforeOpen = log("BeforeOpen");
  saved.Cube.AfterOpen = log("AfterOpen");
  saved.Cube.BeforeClose = log("BeforeClose");
  saved.Cube.AfterClose = log("AfterClose");
  TCodeLog codes;
  saved.Cube.RegisterGridModel(&codes);
  codes.Codes.clear();
  Load(saved.Cube, Save(saved.Cube));
  EXPECT_EQ(events,
            (std::vector<std::string>{"BeforeClose", "AfterClose", "BeforeOpen", "AfterOpen"}));
  EXPECT_EQ(codes.Codes, (std::vector<TCubeChange>{ccActiveChanged, ccLoaded}));
  EXPECT_TRUE(saved.Cube.Active());
  saved.Cube.UnregisterGridModel(&codes);
}

TEST(CubeFile, DamagedStreamsFailCleanly) {
  TSaved saved;
  const auto bytes = Save(saved.Cube);
  // Every truncation, and every single flipped byte, either loads or raises;
  // a failure leaves the cube inactive and empty.
  auto attempt = [](std::vector<std::uint8_t> b) {
    TVantra cube;
    try {
      Load(cube, std::move(b));
    } catch (const Exception&) {
      EXPECT_FALSE(cube.Active());
      EXPECT_EQ(cube.Built().Dimensions.size(), 0u);
    }
  };
  for (std::size_t n = 0; n < bytes.size(); ++n)
    attempt(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + n));
  for (std::size_t i = 0; i < bytes.size(); ++i)
    for (std::uint8_t x : {0x01, 0x80, 0xFF}) {
      auto b = bytes;
      b[i] ^= x;
      attempt(b);
    }
  TVantra cube;
  EXPECT_THROW(Load(cube, std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 3)), EStreamError);
  EXPECT_THROW(Load(cube, {'g', 'a', 'r', 'b', 'a', 'g', 'e'}), EStreamError);
  EXPECT_FALSE(cube.Active());
}

TEST(CubeFile, FileSaveReplacesTheTargetAndMatchesTheGolden) {
  TSaved saved;
  const fs::path dir =
      fs::temp_directory_path() / ("qd_cube_file_test_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path p = dir / "sales.vtc";
  WriteFileBytes(p.string(), std::vector<std::uint8_t>{9});
  SaveCubeToFile(saved.Cube, p.string());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
  TVantra loaded;
  LoadCubeFromFile(loaded, p.string());
  EXPECT_EQ(Captions(*loaded.Dimensions()[0]), Captions(*saved.Cube.Dimensions()[0]));

  const std::string golden = std::string(QD_TEST_DATA_DIR) + "/cube_file/sales_recorded.vtc";
  if (std::getenv("QD_UPDATE_GOLDEN"))
    fs::copy_file(p, golden, fs::copy_options::overwrite_existing);
  EXPECT_EQ(ReadFileBytes(p.string()), ReadFileBytes(golden));
  // A save into a folder that does not exist fails and leaves nothing behind.
  EXPECT_THROW(SaveCubeToFile(saved.Cube, (dir / "missing" / "x.vtc").string()), Exception);
  // A target that cannot be replaced stays as it was, without a stray temporary.
  fs::create_directories(dir / "occupied");
  WriteFileBytes((dir / "occupied" / "keep").string(), std::vector<std::uint8_t>{7});
  EXPECT_THROW(SaveCubeToFile(saved.Cube, (dir / "occupied").string()), Exception);
  EXPECT_EQ(ReadFileBytes((dir / "occupied" / "keep").string()), (std::vector<std::uint8_t>{7}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 2);
  // Garbage on disk is a stream error.
  WriteFileBytes(p.string(), std::vector<std::uint8_t>{0xFF, 'n', 'o', 't', ' ', 'a', ' ', 'c'});
  TVantra fresh;
  EXPECT_THROW(LoadCubeFromFile(fresh, p.string()), EStreamError);
  EXPECT_FALSE(fresh.Active());
  fs::remove_all(dir);
}

// A built cube whose stored fields all differ from their defaults: a text-keyed
// dimension with attributes (one without values), parents, used members and
// components; an integer-keyed one with unsorted keys; two summaries; facts.
void FillEveryStoredField(TCustomVantra& cube) {
  TBuiltCube& b = cube.Built();
  auto text = std::make_unique<TDimension>();
  text->MapIndex = 3;
  text->BaseFieldName = "City";
  text->DisplayName = "城市";
  text->Composite = true;
  text->ComposedFields = "Province; City";
  text->Attributes.Add("Name");
  text->Attributes.Add("Empty");
  text->Attributes.Values(text->Attributes.IndexOf("Name")) = {"北京", "上海", "Tianjin"};
  text->Parents = {-1, 0, 0};
  text->TextKey = true;
  text->TextKeys = {"A", "B", "C"};
  text->TextKeysSorted = true;
  text->LookupLoaded = true;
  text->Group = TDimGroup::dgNone;
  text->TotalAppearance = TTotalAppearance::taInvisible;
  text->HasHierarchy = true;
  text->UsedMembers = {0, 2};
  text->Components = {{"id", "name", nullptr, "%s-", "Province"}, {"", "", nullptr, "", "City"}};
  text->DefaultAttributeName = "Name";
  text->DatabaseOrder = {2, 0, 1};
  text->SortType = TDimSortType::dsCustom;
  text->EnableTransformation = true;
  text->SeriesMemberCount = 70000;
  text->TransformMethod = TTransformMethod::tmEqualRange;
  auto keyed = std::make_unique<TDimension>();
  keyed->BaseFieldName = "Year";
  keyed->MemberKeys = {2025, -1, 2024};
  keyed->MemberKeysSorted = false;
  keyed->Group = TDimGroup::dgCol;
  b.Dimensions.push_back(std::move(text));
  b.Dimensions.push_back(std::move(keyed));
  for (const char* name : {"Amount", "Qty"}) {
    auto s = std::make_unique<TSummary>();
    s->BaseFieldName = name;
    s->MapIndex = 7;
    b.Summaries.push_back(std::move(s));
  }
  b.FactTable = std::make_unique<TFactTable>(2, 2);
  for (int r = 0; r < 3; ++r) {
    b.FactTable->Append();
    b.FactTable->SetMember(r, 0, r);
    b.FactTable->SetMember(r, 1, 2 - r);
    b.FactTable->SetValue(r, 0, 1.5 * r);
    b.FactTable->SetValue(r, 1, -r);
  }
  cube.SetActiveFlag(true);
}

TEST(CubeFile, EveryStoredFieldKeepsItsGoldenBytesAndReadsBackWhole) {
  TVantra cube;
  FillEveryStoredField(cube);
  const TBytes bytes = Written([&](TTagWriter& w) { WriteCubeStream(cube, w); });
  ExpectGolden("cube_stream.bin", bytes);

  // Read back, the cube writes the same bytes again: no field was lost or
  // landed in another member.
  TVantra back;
  TTagReader r(bytes);
  ReadCubeStream(back, r);
  EXPECT_TRUE(r.AtEnd());
  back.SetActiveFlag(true);
  EXPECT_EQ(Written([&](TTagWriter& w) { WriteCubeStream(back, w); }), bytes);
  const TDimension& d = *back.Dimensions()[0];
  EXPECT_EQ(d.Caption(1), "上海");
  EXPECT_TRUE(d.Attributes.Values(d.Attributes.IndexOf("Empty")).empty());
  EXPECT_EQ(back.Dimensions()[1]->MemberKeys, (std::vector<std::int32_t>{2025, -1, 2024}));
  EXPECT_FALSE(back.Dimensions()[1]->MemberKeysSorted);
  EXPECT_EQ(back.FactTable()->Value(2, 0), 3.0);
}

// The committed file, opened and saved again, gives the same bytes.
TEST(CubeFile, TheGoldenFileReadsBackWhole) {
  const std::string golden = std::string(QD_TEST_DATA_DIR) + "/cube_file/sales_recorded.vtc";
  const fs::path again =
      fs::temp_directory_path() / ("qd_cube_golden_" + std::to_string(::getpid()) + ".vtc");
  TVantra cube;
  LoadCubeFromFile(cube, golden);
  SaveCubeToFile(cube, again.string());
  EXPECT_EQ(ReadFileBytes(again.string()), ReadFileBytes(golden));
  fs::remove(again);
}

TEST(CubeFile, FilesThatWouldDecodeTooLargeAreRefused) {
  // Groups of eight matches of length 18: 17 bytes of code, 144 decoded.
  std::vector<std::uint8_t> code;
  for (int g = 0; g < 100; ++g) {
    code.push_back(0x00);
    for (int m = 0; m < 8; ++m) code.insert(code.end(), {0x00, 0x0F});
  }
  const fs::path p =
      fs::temp_directory_path() / ("qd_cube_file_large_" + std::to_string(::getpid()) + ".vtc");
  WriteFileBytes(p.string(), code);
  EXPECT_EQ(ReadContainerFile(p.string(), 14400).size(), 14400u);
  EXPECT_THROW(ReadContainerFile(p.string(), 14399), EStreamError);
  fs::remove(p);
}

TEST(CubeFile, DamagedOrForeignFilesSaySoWithTheNameBeforeTheDetail) {
  TSaved saved;
  test::TTempFolder dir("cube_file");
  const std::string p = dir.Path("销售.vtc");
  SaveCubeToFile(saved.Cube, p);
  std::vector<std::uint8_t> bytes = ReadFileBytes(p);
  bytes.resize(bytes.size() / 2);
  WriteFileBytes(p, bytes);
  TVantra cube;
  const std::string cut = test::ReadError([&] { LoadCubeFromFile(cube, p); });
  EXPECT_TRUE(cut.starts_with("文件已损坏或不是Cube文件：" + p + "（")) << cut;
  EXPECT_TRUE(cut.ends_with("）")) << cut;
  EXPECT_FALSE(cube.Active());

  // Another program's file, and a stream of a version this program cannot read.
  WriteFileAtomic(p, std::string_view("PK\3\4 a workbook"));
  EXPECT_THROW(LoadCubeFromFile(cube, p), EStreamError);
  WriteFileBytes(p, CompressBytes(WithVersion(Save(saved.Cube), 406)));
  EXPECT_EQ(test::ReadError([&] { LoadCubeFromFile(cube, p); }),
            "文件已损坏或不是Cube文件：" + p + "（Cannot read from the stream of an early version）");

  // What cannot be read at all is said as such, without calling it damaged.
  EXPECT_EQ(test::ReadError([&] { LoadCubeFromFile(cube, dir.Path("")); }),
            "无法读取“" + dir.Path("") + "”：它是文件夹，不是普通文件");
  const std::string fifo = dir.Path("pipe.vtc");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(test::ReadError([&] { LoadCubeFromFile(cube, fifo); }),
            "无法读取“" + fifo + "”：它是管道，不是普通文件");
}

}  // namespace
}  // namespace qd
