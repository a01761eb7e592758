// The built-in fact queries against the demo database: each runs, delivers
// what its cube reads, and agrees with aggregates the database computes itself;
// on the private PostgreSQL server (QD_TEST_PG, demo data loaded) every query
// returns the same rows as on SQLite.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include "db/builtin_fact_queries.h"
#include "db/db_connection.h"
#include "db_test_util.h"

namespace qd {
namespace {

std::string DemoConnection() {
  return std::string("Provider=SQLite;Data Source=") + QD_DEMO_DB;
}

double Scalar(TDbConnection& conn, const std::string& sql) {
  TDbQuery q(&conn, sql);
  q.Open();
  return q.Fields(0).AsFloat();
}

// What each query must agree with: a measure's total, and the count of
// distinct members of one dimension, both computed by the database from the base tables.
struct TCheck {
  const char* Query;
  const char* Measure;
  const char* MeasureSql;
  const char* Dimension;
  const char* DimensionSql;
};

#define QD_EXPENSE_G_NO_GROUP_ANNUITY                                                          \
  " FROM f_expense f JOIN d_product p ON p.pol_code = f.pol_code WHERE f.corp_flag = 'G' AND " \
  "p.detail_name <> '团体年金'"

const TCheck kChecks[] = {
    {"GRecFact", "amnt", "SELECT SUM(amnt) FROM f_premium WHERE corp_flag = 'G'", "Stat_type_name",
     "SELECT COUNT(DISTINCT stat_type) FROM f_premium"},
    {"GRec_2Fact", "total_num", "SELECT SUM(total_num) FROM f_premium WHERE corp_flag = 'G'",
     "city_branch_name", "SELECT COUNT(DISTINCT city_code) FROM d_branch"},
    {"GPayFact", "pay_amnt", "SELECT SUM(f.amount)" QD_EXPENSE_G_NO_GROUP_ANNUITY, "pay_class",
     "SELECT COUNT(DISTINCT f.pay_class)" QD_EXPENSE_G_NO_GROUP_ANNUITY},
    {"GPsnFact", "amnt", "SELECT SUM(amnt) FROM f_agent_newbiz", "wp_name",
     "SELECT COUNT(DISTINCT wp_code) FROM f_agent_newbiz"},
    {"GgrpFact", "claim_amnt", "SELECT SUM(claim) FROM f_short_claim", "pol_name",
     "SELECT COUNT(DISTINCT pol_code) FROM f_short_claim"},
    {"GGrp_2Fact", "mgmt_fee", "SELECT SUM(mgmt_fee) FROM f_group_kpi", "town_branch_name",
     "SELECT COUNT(DISTINCT mgr_branch) FROM f_group_kpi"},
    {"JRecFact", "amnt", "SELECT SUM(amnt) FROM f_premium WHERE corp_flag = 'J'", "f_pay_time",
     "SELECT COUNT(DISTINCT pay_time) FROM f_premium WHERE corp_flag = 'J'"},
    {"JPayFact", "pay_num", "SELECT SUM(cnt) FROM f_expense WHERE corp_flag = 'J'", "pay_class",
     "SELECT COUNT(DISTINCT pay_class) FROM f_expense WHERE corp_flag = 'J'"},
    {"GTbFact", "surr_amnt", "SELECT SUM(surr_amnt) FROM f_surrender WHERE corp_flag = 'G'",
     "uw_year", "SELECT COUNT(DISTINCT uw_year) FROM f_surrender WHERE corp_flag = 'G'"},
    {"JTbFact", "renew_prem", "SELECT SUM(renew_prem) FROM f_surrender WHERE corp_flag = 'J'",
     "stat_month", "SELECT 12"},
    {"GCdFact", "cd_num", "SELECT SUM(cnt) FROM f_withdrawal", "stat_year", "SELECT 3"},
    {"GCustFact", "uw_num", "SELECT COUNT(*) FROM f_policy", "age_band",
     "SELECT COUNT(DISTINCT CASE WHEN age < 18 THEN 0 WHEN age < 26 THEN 1 WHEN age < 36 THEN 2 "
     "WHEN age < 46 THEN 3 WHEN age < 56 THEN 4 WHEN age < 66 THEN 5 ELSE 6 END) FROM f_policy"},
    {"GPay_2Fact", "pay_num", "SELECT SUM(f.cnt)" QD_EXPENSE_G_NO_GROUP_ANNUITY, "pay_item",
     "SELECT COUNT(DISTINCT f.pay_item)" QD_EXPENSE_G_NO_GROUP_ANNUITY},
    {"GPsn_2Fact", "leave_licensed_cnt", "SELECT SUM(leave_licensed_cnt) FROM f_agent_month",
     "agent_rank", "SELECT COUNT(DISTINCT agent_rank) FROM f_agent_month"},
    {"GPsn_3Fact", "appr_down", "SELECT SUM(appr_down) FROM f_agent_appraisal", "stat_month",
     "SELECT COUNT(DISTINCT stat_month) FROM f_agent_appraisal"},
    {"GB03Fact", "sum_amnt", "SELECT SUM(amount) FROM f_receivable", "stat_quarter", "SELECT 4"},
    {"GB04Fact", "sum_num", "SELECT SUM(cnt) FROM f_payable WHERE corp_flag = 'G'",
     "f_sales_channels",
     "SELECT COUNT(DISTINCT channel_code) FROM f_payable WHERE corp_flag = 'G'"},
    {"JB04Fact", "sum_amnt", "SELECT SUM(amount) FROM f_payable WHERE corp_flag = 'J'",
     "f_group_flag", "SELECT 2"},
    {"GXqFact", "prem_total", "SELECT SUM(prem) FROM f_renewal_due", "pol_def_03",
     "SELECT COUNT(DISTINCT p.detail_name) FROM f_renewal_due f JOIN d_product p ON p.pol_code = "
     "f.pol_code"},
};

TEST(DemoQueries, EveryQueryAgreesWithTheDatabasesOwnAggregates) {
  ASSERT_EQ(BuiltinFactQueries().size(), 19u);
  ASSERT_EQ(std::size(kChecks), 19u);
  TDbConnection conn(DemoConnection());
  for (const TCheck& c : kChecks) {
    SCOPED_TRACE(c.Query);
    const TBuiltinFactQuery* def = FindBuiltinFactQuery(c.Query);
    ASSERT_NE(def, nullptr);
    TDbQuery q(&conn, def->Sql);
    q.Open();
    ASSERT_FALSE(q.Eof());
    if (def->DateFields) {
      ASSERT_NE(q.FindField("Group_date"), nullptr);
      EXPECT_EQ(q.FindField("group_date")->DataType(), TFieldType::ftDate);
    }
    if (TField* city = q.FindField("city_branch_name")) {
      EXPECT_EQ(city->DataType(), TFieldType::ftString);
    }
    TField& measure = q.FieldByName(c.Measure);
    TField& dim = q.FieldByName(c.Dimension);
    double total = 0;
    std::map<std::string, int> members;
    for (; !q.Eof(); q.Next()) {
      total += measure.AsFloat();
      ++members[dim.AsString()];
    }
    double want = Scalar(conn, c.MeasureSql);
    EXPECT_NEAR(total, want, std::max(1e-6, std::fabs(want) * 1e-9));
    EXPECT_GT(want, 0);
    EXPECT_EQ(static_cast<double>(members.size()), Scalar(conn, c.DimensionSql));
  }
}

TEST(DemoQueries, DateTextsComeOutTheSameWayInEveryQuery) {
  TDbConnection conn(DemoConnection());
  TDbQuery q(&conn, FindBuiltinFactQuery("GCdFact")->Sql);
  q.Open();
  std::map<std::string, std::string> quarterOfMonth;
  for (; !q.Eof(); q.Next()) {
    std::string y = q.FieldByName("stat_year").AsString(),
                m = q.FieldByName("stat_month").AsString();
    ASSERT_EQ(y.size(), 4u + 3u) << y;  // "2023年"
    quarterOfMonth[m] = q.FieldByName("stat_quarter").AsString();
  }
  EXPECT_EQ(quarterOfMonth["01月"], "第1季度");
  EXPECT_EQ(quarterOfMonth["06月"], "第2季度");
  EXPECT_EQ(quarterOfMonth["07月"], "第3季度");
  EXPECT_EQ(quarterOfMonth["12月"], "第4季度");
  EXPECT_EQ(quarterOfMonth.size(), 12u);
}

// Rows of a query as sortable keys (texts) and numbers, to compare two databases.
struct TRow {
  std::string Key;
  std::vector<double> Numbers;
  bool operator<(const TRow& o) const { return Key < o.Key; }
};

std::vector<TRow> ReadRows(TDbConnection& conn, const char* sql) {
  TDbQuery q(&conn, sql);
  q.Open();
  std::vector<TRow> rows;
  for (; !q.Eof(); q.Next()) {
    TRow r;
    for (int i = 0; i < q.FieldCount(); ++i) {
      TField& f = q.Fields(i);
      if (IsIntegerFieldType(f.DataType()) || IsRealFieldType(f.DataType()))
        r.Numbers.push_back(f.AsFloat());
      else
        r.Key += f.AsString() + '|';
    }
    rows.push_back(std::move(r));
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

class DemoQueriesOnPostgreSql : public ::testing::TestWithParam<const char*> {};

TEST_P(DemoQueriesOnPostgreSql, ReturnTheSameRowsAsOnSqlite) {
  const char* pg = std::getenv("QD_TEST_PG");
  if (!pg || !*pg) GTEST_SKIP() << "QD_TEST_PG is not set (scripts/test starts a server)";
  TDbConnection lite(DemoConnection()), server(pg);
  const TBuiltinFactQuery* def = FindBuiltinFactQuery(GetParam());
  ASSERT_NE(def, nullptr);
  auto a = ReadRows(lite, def->Sql), b = ReadRows(server, def->Sql);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(a[i].Key, b[i].Key);
    ASSERT_EQ(a[i].Numbers.size(), b[i].Numbers.size());
    for (std::size_t j = 0; j < a[i].Numbers.size(); ++j)
      ASSERT_NEAR(a[i].Numbers[j], b[i].Numbers[j], 1e-6 + std::fabs(b[i].Numbers[j]) * 1e-12);
  }
}

INSTANTIATE_TEST_SUITE_P(Builtin, DemoQueriesOnPostgreSql,
                         ::testing::Values("GRecFact", "GRec_2Fact", "GPayFact", "GPsnFact",
                                           "GgrpFact", "GGrp_2Fact", "JRecFact", "JPayFact",
                                           "GTbFact", "JTbFact", "GCdFact", "GCustFact",
                                           "GPay_2Fact", "GPsn_2Fact", "GPsn_3Fact", "GB03Fact",
                                           "GB04Fact", "JB04Fact", "GXqFact"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace qd
