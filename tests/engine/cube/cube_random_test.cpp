#include <gtest/gtest.h>

#include <map>
#include <random>

#include "cube_test_util.h"
#include "engine/cube/text_key_index.h"

namespace qd {
namespace {

using namespace qd::test;

// The naive build: members in order of first appearance found by linear search,
// text compared without regard to case.
struct TNaiveDim {
  std::vector<std::string> Texts;
  std::vector<std::int32_t> Ints;
  int Find(const std::string& s) {
    for (std::size_t i = 0; i < Texts.size(); ++i)
      if (CompareText(Texts[i], s) == 0) return static_cast<int>(i);
    Texts.push_back(s);
    return static_cast<int>(Texts.size()) - 1;
  }
  int Find(std::int32_t k) {
    for (std::size_t i = 0; i < Ints.size(); ++i)
      if (Ints[i] == k) return static_cast<int>(i);
    Ints.push_back(k);
    return static_cast<int>(Ints.size()) - 1;
  }
};

}  // namespace

TEST(CubeRandom, MatchesANaiveBuild) {
  std::mt19937 rng(20261209);
  for (int round = 0; round < 4; ++round) {
    const int rows = 3000 + 1000 * round;
    auto data = std::make_unique<TMemoryTable>("q");
    data->AddColumn("T", TFieldType::ftString);
    data->AddColumn("N", TFieldType::ftInteger);
    data->AddColumn("L", TFieldType::ftInteger);
    data->AddColumn("P", TFieldType::ftString);
    data->AddColumn("V", TFieldType::ftFloat);
    data->AddColumn("W", TFieldType::ftInteger);
    // A lookup over half of the L values: the others are skipped.
    auto lookup =
        MakeTable("tbL", {{"Id", TFieldType::ftInteger}, {"Name", TFieldType::ftString}}, {});
    std::vector<int> ids(40);
    for (int i = 0; i < 40; ++i) ids[static_cast<std::size_t>(i)] = i * 2;
    std::shuffle(ids.begin(), ids.end(), rng);
    for (int id : ids) lookup->AppendRow({I(id), S(("n" + std::to_string(id)).c_str())});
    const char* letters[] = {"a", "B", "b", "c", "D", "e"};
    std::uniform_int_distribution<int> text(0, 300 + 200 * round), num(-50, 50), l(0, 79),
        small(0, 5);
    std::uniform_real_distribution<double> val(-1000, 1000);
    for (int r = 0; r < rows; ++r) {
      int t = text(rng);
      data->PushText(0, (t % 3 ? "k" : "K") + std::to_string(t));
      data->PushInt(1, num(rng));
      data->PushInt(2, l(rng));
      data->PushText(3, letters[small(rng)]);
      if (small(rng) == 0)
        data->PushNull(4);
      else
        data->PushFloat(4, val(rng));
      data->PushInt(5, num(rng));
      data->EndRow();
    }
    TVantra cube;
    cube.Options().ShowProgressBar = false;
    cube.Options().SetLookupHasntTheValue(TLookupHasntTheValue::lvIgnoreSumValue);
    cube.SetDataSet(data.get());
    DefineMap(cube, {"T", "N", "L"}, {"V", "W"});
    TDimSum& ld = *cube.DimensionMap().FindPlain("L");
    ld.SetLookupDataSet(lookup.get());
    ld.ID_Field = "Id";
    ld.SetDefaultAttribute("Name");
    TDimSum& comp = cube.DimensionMap().Add();
    comp.Composite = true;
    comp.DimSumType = TDimSumType::dsDimension;
    cube.AddCompositePart(comp, "P");
    cube.AddCompositePart(comp, "N");
    cube.SetActive(true);

    TNaiveDim t, n, path;
    std::vector<std::array<std::int32_t, 4>> members;
    std::vector<std::array<double, 2>> sums;
    std::vector<std::int32_t> parents;
    data->First();
    for (; !data->Eof(); data->Next()) {
      // Dimensions before the lookup keep the members of a skipped record.
      std::int32_t tm = t.Find(data->Fields(0).AsString());
      std::int32_t nm = n.Find(data->Fields(1).AsInteger());
      std::int32_t lv = data->Fields(2).AsInteger();
      if (lv % 2) continue;  // not in the lookup
      std::string p = data->Fields(3).AsString();
      std::size_t before = path.Texts.size();
      std::int32_t top = path.Find(p);
      if (path.Texts.size() > before) parents.push_back(-1);
      before = path.Texts.size();
      std::int32_t leaf = path.Find(p + ";" + data->Fields(1).AsString());
      if (path.Texts.size() > before) parents.push_back(top);
      members.push_back({tm, nm, lv / 2, leaf});
      sums.push_back(
          {data->Fields(4).IsNull() ? 0 : data->Fields(4).AsFloat(), data->Fields(5).AsFloat()});
    }

    const TFactTable& f = *cube.FactTable();
    ASSERT_EQ(f.RecordCount(), static_cast<std::int32_t>(members.size()));
    for (std::int32_t r = 0; r < f.RecordCount(); ++r) {
      for (int d = 0; d < 4; ++d)
        ASSERT_EQ(f.Member(r, d), members[static_cast<std::size_t>(r)][static_cast<std::size_t>(d)])
            << r;
      ASSERT_EQ(f.Value(r, 0), sums[static_cast<std::size_t>(r)][0]);
      ASSERT_EQ(f.Value(r, 1), sums[static_cast<std::size_t>(r)][1]);
    }
    const TDimensions& dims = cube.Dimensions();
    EXPECT_EQ(Captions(*dims[0]), t.Texts);
    EXPECT_EQ(dims[1]->MemberKeys, n.Ints);
    EXPECT_EQ(dims[2]->MemberCount(), 40);
    EXPECT_EQ(dims[2]->Caption(3), "n6");
    EXPECT_EQ(dims[3]->TextKeys, path.Texts);
    EXPECT_EQ(dims[3]->Parents, parents);
    // Every used member occurs, and nothing else.
    std::vector<std::int32_t> used;
    for (const auto& m : members) used.push_back(m[2]);
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    EXPECT_EQ(dims[2]->UsedMembers, used);
  }
}

}  // namespace qd

namespace qd {

// The fast paths of the member index (ASCII folding, remembered spellings) must
// give the members the collation alone gives.
TEST(CubeRandom, TextKeyIndexAgreesWithTheCollation) {
  const std::vector<std::string> pieces = {"a", "A",    "b", "B", "ａ", "Ａ", "上", "海", "é",
                                           "E", "\x01", " ", "-", "1",  "１", "ß",  "ss"};
  std::mt19937 rng(7);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1), len(1, 3);
  TTextKeyIndex index;
  std::vector<std::string> members;  // naive: first spelling of each collation class
  for (int i = 0; i < 3000; ++i) {
    std::string s;
    for (std::size_t n = len(rng); n > 0; --n) s += pieces[pick(rng)];
    int expected = -1;
    for (std::size_t m = 0; m < members.size() && expected < 0; ++m)
      if (CompareText(members[m], s) == 0) expected = static_cast<int>(m);
    int found = index.Find(s);
    ASSERT_EQ(found, expected) << s;
    if (found < 0) {
      index.Add(s, static_cast<std::int32_t>(members.size()));
      members.push_back(s);
    }
  }
  EXPECT_GT(members.size(), 100u);
}

}  // namespace qd
