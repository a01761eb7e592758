// The demo content beside the programs: each demo definition builds, its
// region → city → branch hierarchy (composite parts, or the organisation
// table as a lookup) rolls up to the database's own sums and its
// premium bands cover every receipt; the built-in cubes agree with each other
// where they show the same quantity; the catalog has all three branches filled.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "app/builtin_cubes.h"
#include "app/cfdm_file.h"
#include "app/cube_catalog.h"
#include "app/data_module.h"
#include "app/make_cfd.h"
#include "app/realtime_cube.h"
#include "db/db_connection.h"

namespace qd {
namespace {

namespace fs = std::filesystem;
using Sums = std::map<std::string, double>;

std::string ProgramDir() {
  return fs::path(QD_DEMO_DB).parent_path().string() + "/";
}

int DimIndex(const TVantra& cube, std::string_view baseField) {
  for (int d = 0; d < cube.DimensionCount(); ++d)
    if (cube.Dimensions()[d]->BaseFieldName == baseField) return d;
  ADD_FAILURE() << "no dimension " << baseField;
  return 0;
}

int SumIndex(const TVantra& cube, std::string_view baseField) {
  for (int s = 0; s < cube.SummaryCount(); ++s)
    if (cube.Summaries()[s]->BaseFieldName == baseField) return s;
  ADD_FAILURE() << "no summary " << baseField;
  return 0;
}

// Caption of a fact record's member of dimension d, or of its ancestor at
// `level` (0 = the top) when the dimension has a hierarchy.
std::string CaptionAt(const TVantra& cube, int d, std::int32_t r, int level = -1) {
  const TDimension& dim = *cube.Dimensions()[d];
  std::int32_t m = cube.FactTable()->Member(r, d);
  if (level >= 0 && !dim.Parents.empty()) {
    std::vector<std::int32_t> chain{m};
    while (dim.Parents[chain.back()] >= 0) chain.push_back(dim.Parents[chain.back()]);
    m = chain[chain.size() - 1 - std::min<std::size_t>(level, chain.size() - 1)];
  }
  return dim.Caption(m);
}

// Sums of summary s over the fact records that pass `keep`, by the key of each.
Sums SumBy(const TVantra& cube, int s, const std::function<std::string(std::int32_t)>& key,
           const std::function<bool(std::int32_t)>& keep = {}) {
  Sums out;
  const TFactTable& f = *cube.FactTable();
  for (std::int32_t r = 0; r < f.RecordCount(); ++r)
    if (!keep || keep(r)) out[key(r)] += f.Value(r, s);
  return out;
}

Sums SqlSums(const std::string& sql) {
  TDbConnection db("Provider=SQLite;Data Source=" + std::string(QD_DEMO_DB));
  TDbQuery q(&db, sql);
  q.Open();
  Sums out;
  for (; !q.Eof(); q.Next()) out[q.Fields(0).AsString()] = q.Fields(1).AsFloat();
  return out;
}

void ExpectSameSums(const Sums& got, const Sums& want) {
  ASSERT_EQ(got.size(), want.size());
  for (const auto& [k, v] : want) {
    ASSERT_TRUE(got.count(k)) << k;
    EXPECT_NEAR(got.at(k), v, 0.005 + std::fabs(v) * 1e-12) << k;
  }
}

// The query's rows with their region and city, read off the organisation
// table for a query that returns only the branch code.
std::string WithRegionAndCity(const std::string& sql, bool lookup) {
  if (!lookup) return sql;
  return "SELECT r.org_name AS region, c.org_name AS city_branch_name, t.* FROM (" + sql +
         ") t JOIN d_org b ON b.org_code = t.mgr_branch JOIN d_org c ON c.org_code = "
         "b.parent_code JOIN d_org r ON r.org_code = c.parent_code";
}

struct TDemoDefinition {
  const char* File;
  const char* Org;     // base field of the branch dimension
  bool Lookup;         // its members come from the organisation table
  const char* Amount;  // summary field rolled up
  const char* Band;    // range dimension's field, or nullptr
  int Bands;
};

void PrintTo(const TDemoDefinition& demo, std::ostream* os) { *os << demo.File; }

class DemoDefinitions : public ::testing::TestWithParam<TDemoDefinition> {};

TEST_P(DemoDefinitions, BuildAndRollUpTheBranchHierarchyToTheSqlSums) {
  const TDemoDefinition& demo = GetParam();
  const std::string file = ProgramDir() + demo.File;
  TStandaloneCube c;
  ASSERT_NO_THROW(BuildDefinitionFile(file, ProgramDir(), c.Target));
  ASSERT_TRUE(c.Cube.Active());

  // The query as the build ran it: for the encrypted one, from the ciphertext.
  std::string sql = c.Query.SQL();
  if (file.ends_with(".cfdm")) {
    EXPECT_EQ(sql, DecodeCfdm(file).Query);
  }
  const std::string amount = demo.Amount;
  const int s = SumIndex(c.Cube, amount);
  const int org = DimIndex(c.Cube, demo.Org);
  ASSERT_TRUE(c.Cube.Dimensions()[org]->HasHierarchy);
  if (demo.Lookup) {  // every row of the table is a member, with or without facts
    EXPECT_EQ(c.Cube.Dimensions()[org]->MemberCount(),
              static_cast<int>(SqlSums("SELECT org_code, 0 FROM d_org").size()));
  }
  const std::string rows = WithRegionAndCity(sql, demo.Lookup);

  ExpectSameSums(SumBy(c.Cube, s, [&](std::int32_t r) { return CaptionAt(c.Cube, org, r, 0); }),
                 SqlSums("SELECT region, SUM(" + amount + ") FROM (" + rows + ") t GROUP BY region"));
  ExpectSameSums(SumBy(c.Cube, s, [&](std::int32_t r) { return CaptionAt(c.Cube, org, r, 1); }),
                 SqlSums("SELECT city_branch_name, SUM(" + amount + ") FROM (" + rows +
                         ") t GROUP BY city_branch_name"));
  const Sums regions = SumBy(c.Cube, s, [&](std::int32_t r) { return CaptionAt(c.Cube, org, r, 0); });
  EXPECT_EQ(regions.size(), 4u);

  if (!demo.Band) return;
  const int band = DimIndex(c.Cube, demo.Band);
  EXPECT_EQ(c.Cube.Dimensions()[band]->MemberCount(), demo.Bands);
  const Sums bands = SumBy(c.Cube, s, [&](std::int32_t r) { return CaptionAt(c.Cube, band, r); });
  EXPECT_EQ(bands.size(), static_cast<std::size_t>(demo.Bands));  // no empty band
  double all = 0;
  for (const auto& [k, v] : bands) all += v;
  const Sums total = SqlSums("SELECT 'all', SUM(" + amount + ") FROM (" + sql + ") t");
  EXPECT_NEAR(all, total.at("all"), 0.005 + total.at("all") * 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Demo, DemoDefinitions,
    ::testing::Values(
        TDemoDefinition{"机构保费分析.cfd", "region; city_branch_name; town_branch_name", false,
                        "amnt", "prem_band", 5},
        TDemoDefinition{"短期险赔付分析.cfd", "mgr_branch", true, "claim", nullptr, 0},
        TDemoDefinition{"代理人新单分析.cfdm",
                        "region; city_branch_name; town_branch_name; area_name", false, "amnt",
                        "prem_band", 4}));

// Built-in cubes of the demo database, built once for the suite.
class DemoDatabase : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("QD_DEMO_DB", QD_DEMO_DB, 1);
    Dm = new TDataModule1;
    Dm->DataModuleCreate();
  }
  static void TearDownTestSuite() {
    delete Dm;
    Dm = nullptr;
  }
  static TVantra& Built(std::string_view name) {
    for (int i = 0; i < Dm->BuiltinCount(); ++i) {
      TVantra& cube = Dm->BuiltinCube(i);
      if (cube.Name != name) continue;
      cube.Options().ShowProgressBar = false;
      if (!cube.Active()) cube.SetActive(true);
      return cube;
    }
    throw std::runtime_error("no built-in cube " + std::string(name));
  }
  static TDataModule1* Dm;
};
TDataModule1* DemoDatabase::Dm = nullptr;

// The agents' new premium (agent cube) is the first-year premium of the agent
// channel in the premium cube, year by year; the monthly head-count cube
// carries the same new premium; group KPI premium is the group direct channel.
TEST_F(DemoDatabase, TheSameQuantityAgreesAcrossCubes) {
  TVantra& premium = Built("GRecCube");
  const int channel = DimIndex(premium, "f_sales_channels");
  const int stat = DimIndex(premium, "Stat_type_name");
  const int year = DimIndex(premium, "Year");
  const int amnt = SumIndex(premium, "amnt");
  const Sums agentChannel = SumBy(
      premium, amnt, [&](std::int32_t r) { return CaptionAt(premium, year, r); },
      [&](std::int32_t r) {
        return CaptionAt(premium, channel, r) == "个人营销" && CaptionAt(premium, stat, r) == "首期";
      });
  ASSERT_EQ(agentChannel.size(), 3u);

  TVantra& agents = Built("GPsnCube");
  const int agentYear = DimIndex(agents, "stat_year");
  ExpectSameSums(SumBy(agents, SumIndex(agents, "amnt"),
                       [&](std::int32_t r) { return CaptionAt(agents, agentYear, r); }),
                 agentChannel);

  TVantra& heads = Built("GPsn_2Cube");
  const int month = DimIndex(heads, "stat_month");
  ExpectSameSums(SumBy(heads, SumIndex(heads, "new_prem"),
                       [&](std::int32_t r) { return CaptionAt(heads, month, r).substr(0, 7); }),
                 agentChannel);

  const Sums groupDirect = SumBy(
      premium, amnt, [](std::int32_t) { return std::string("all"); },
      [&](std::int32_t r) { return CaptionAt(premium, channel, r) == "团体直销"; });
  TVantra& kpi = Built("GGrp_2Cube");
  ExpectSameSums(SumBy(kpi, SumIndex(kpi, "prem_amnt"), [](std::int32_t) { return std::string("all"); }),
                 groupDirect);
}

// Each month begins with the head count the month before ended with, and no
// rank is empty.
TEST_F(DemoDatabase, HeadCountsCarryFromMonthToMonthInEveryRank) {
  TVantra& heads = Built("GPsn_2Cube");
  const int town = DimIndex(heads, "town_branch_name");
  const int rank = DimIndex(heads, "agent_rank");
  const int month = DimIndex(heads, "stat_month");
  const int begin = SumIndex(heads, "begin_cnt");
  const int end = SumIndex(heads, "end_cnt");
  std::map<std::string, std::pair<double, double>> byKey;  // town|rank|month → begin, end
  Sums activeByRank;
  const TFactTable& f = *heads.FactTable();
  for (std::int32_t r = 0; r < f.RecordCount(); ++r) {
    const std::string key = CaptionAt(heads, town, r) + "|" + CaptionAt(heads, rank, r) + "|";
    byKey[key + CaptionAt(heads, month, r)] = {f.Value(r, begin), f.Value(r, end)};
    activeByRank[CaptionAt(heads, rank, r)] += f.Value(r, SumIndex(heads, "active_cnt"));
  }
  int carried = 0;
  for (const auto& [key, counts] : byKey) {
    // "2022年01月": the next month's key.
    const std::string m = key.substr(key.rfind('|') + 1);
    int y = std::stoi(m.substr(0, 4)), mo = std::stoi(m.substr(7, 2)) + 1;
    if (mo == 13) y += 1, mo = 1;
    char next[32];
    std::snprintf(next, sizeof next, "%04d年%02d月", y, mo);
    auto it = byKey.find(key.substr(0, key.rfind('|') + 1) + next);
    if (it == byKey.end()) continue;
    EXPECT_EQ(it->second.first, counts.second) << key;
    ++carried;
  }
  EXPECT_GT(carried, 1000);
  ASSERT_EQ(activeByRank.size(), 6u);
  for (const auto& [r, active] : activeByRank) EXPECT_GT(active, 0) << r;
}

// Short-term loss ratios differ by product and by year.
TEST_F(DemoDatabase, LossRatiosVaryByProductAndYear) {
  TVantra& claims = Built("GgrpCube");
  const int product = DimIndex(claims, "pol_name");
  const int year = DimIndex(claims, "Year");
  auto key = [&](std::int32_t r) {
    return CaptionAt(claims, product, r) + "|" + CaptionAt(claims, year, r);
  };
  const Sums prem = SumBy(claims, SumIndex(claims, "prem_amnt"), key);
  const Sums claim = SumBy(claims, SumIndex(claims, "claim_amnt"), key);
  double lo = 10, hi = 0;
  std::map<std::string, std::pair<double, double>> byProduct;  // lowest, highest yearly ratio
  for (const auto& [k, p] : prem) {
    const double ratio = claim.at(k) / p;
    lo = std::min(lo, ratio);
    hi = std::max(hi, ratio);
    auto& [a, b] = byProduct.try_emplace(k.substr(0, k.find('|')), 10.0, 0.0).first->second;
    a = std::min(a, ratio);
    b = std::max(b, ratio);
  }
  EXPECT_GT(hi - lo, 0.3);
  for (const auto& [p, range] : byProduct) EXPECT_GT(range.second - range.first, 0.01) << p;
}

TEST(DemoCatalog, AllThreeBranchesAreFilled) {
  setenv("QD_DEMO_DB", QD_DEMO_DB, 1);
  TDataModule1 dm;
  dm.DataModuleCreate();
  const std::vector<TCatalogNode> roots = BuildCubeCatalog(ProgramDir(), dm.CatalogNames());
  ASSERT_EQ(roots.size(), 3u);
  ASSERT_EQ(roots[0].Children.size(), 1u);
  EXPECT_EQ(roots[0].Children[0].Text, "演示");
  ASSERT_EQ(roots[0].Children[0].Children.size(), 2u);
  EXPECT_EQ(roots[0].Children[0].Children[0].Text, "机构保费");
  std::vector<std::string> realtime;
  for (const TCatalogNode& n : roots[1].Children) realtime.push_back(n.Text);
  EXPECT_EQ(realtime, (std::vector<std::string>{"机构保费分析", "短期险赔付分析"}));
  EXPECT_EQ(roots[2].Children.size(), 19u);
}

}  // namespace
}  // namespace qd
