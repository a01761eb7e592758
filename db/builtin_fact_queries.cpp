#include "db/builtin_fact_queries.h"

#include "engine/core/text_helpers.h"

namespace qd {
namespace {

// Year, quarter and month texts of a date column, for the queries without
// calculated fields. Dates are ISO text in SQLite and DATE in PostgreSQL; the
// cast gives "yyyy-mm-dd" in both.
#define QD_ISO(col) "SUBSTR(CAST(" col " AS VARCHAR(10)), "
#define QD_YEAR(col) QD_ISO(col) "1, 4) || '年'"
#define QD_MONTH(col) QD_ISO(col) "6, 2) || '月'"
#define QD_QUARTER(col) \
  "CASE WHEN " QD_ISO(col) "6, 2) <= '03' THEN '第1季度' WHEN " QD_ISO(col) \
  "6, 2) <= '06' THEN '第2季度' WHEN " QD_ISO(col) "6, 2) <= '09' THEN '第3季度' ELSE '第4季度' END"

#define QD_JOIN_BRANCH " JOIN d_branch b ON b.branch_code = f.mgr_branch"
#define QD_JOIN_CHANNEL " JOIN d_channel c ON c.channel_code = f.channel_code"
#define QD_JOIN_PRODUCT " JOIN d_product p ON p.pol_code = f.pol_code"

// Premium receipts of one company ('G' the listed company, 'J' the group).
#define QD_PREMIUM_INNER(corp)                                                                    \
  "SELECT b.city_branch_name, b.branch_alias_name, b.town_branch_name, f.mgr_branch, "            \
  "f.pay_time AS f_pay_time, f.moneyin_itrvl AS f_moneyin_itrvl, c.channel_name AS "              \
  "f_sales_channels, f.stat_type AS stat_type_name, p.class_name AS dict_value, p.detail_name "   \
  "AS pol_def_03, p.group_flag AS f_group_flag, f.group_date, f.amnt, f.total_num "               \
  "FROM f_premium f" QD_JOIN_BRANCH QD_JOIN_CHANNEL QD_JOIN_PRODUCT " WHERE f.corp_flag = '" corp \
  "'"

#define QD_EXPENSE_INNER                                                                     \
  "SELECT b.city_branch_name, b.town_branch_name, f.mgr_branch, f.group_date, f.pay_class, " \
  "f.pay_item, f.pay_type, c.channel_name AS f_sales_channels, p.class_name AS dict_value, " \
  "p.detail_name AS pol_def_03, f.amount, f.cnt "                                            \
  "FROM f_expense f" QD_JOIN_BRANCH QD_JOIN_CHANNEL QD_JOIN_PRODUCT

#define QD_SURRENDER(corp) \
  "SELECT t.city_branch_name, t.town_branch_name, t.f_moneyin_itrvl, t.stat_year, "             \
  "t.stat_quarter, t.stat_month, t.uw_year, t.dict_value, t.pol_name, SUM(t.surr_amnt) AS "     \
  "surr_amnt, SUM(t.new_prem) AS new_prem, SUM(t.renew_prem) AS renew_prem, t.mgr_branch "      \
  "FROM (SELECT b.city_branch_name, b.town_branch_name, f.moneyin_itrvl AS f_moneyin_itrvl, "   \
  QD_YEAR("f.surr_date") " AS stat_year, " QD_QUARTER("f.surr_date") " AS stat_quarter, "       \
  QD_MONTH("f.surr_date") " AS stat_month, CAST(f.uw_year AS VARCHAR(4)) || '年' AS uw_year, "   \
  "p.class_name AS dict_value, p.pol_name, f.surr_amnt, f.new_prem, f.renew_prem, f.mgr_branch " \
  "FROM f_surrender f" QD_JOIN_BRANCH QD_JOIN_PRODUCT " WHERE f.corp_flag = '" corp "') t "       \
  "GROUP BY t.city_branch_name, t.town_branch_name, t.f_moneyin_itrvl, t.stat_year, "           \
  "t.stat_quarter, t.stat_month, t.uw_year, t.dict_value, t.pol_name, t.mgr_branch"

// Receivables and payables still open at the end of each day.
#define QD_OPEN_ITEMS(table, where) \
  "SELECT t.city_branch_name, t.town_branch_name, t.stat_year, t.stat_quarter, t.stat_month, "  \
  "t.f_sales_channels, t.dict_value, t.pol_name, t.f_group_flag, SUM(t.amount) AS sum_amnt, "   \
  "SUM(t.cnt) AS sum_num, t.mgr_branch "                                                        \
  "FROM (SELECT b.city_branch_name, b.town_branch_name, " QD_YEAR("f.due_date") " AS stat_year, " \
  QD_QUARTER("f.due_date") " AS stat_quarter, " QD_MONTH("f.due_date") " AS stat_month, "       \
  "c.channel_name AS f_sales_channels, p.class_name AS dict_value, p.pol_name, p.group_flag AS " \
  "f_group_flag, f.amount, f.cnt, f.mgr_branch FROM " table " f" QD_JOIN_BRANCH QD_JOIN_CHANNEL  \
  QD_JOIN_PRODUCT where ") t "                                                                  \
  "GROUP BY t.city_branch_name, t.town_branch_name, t.stat_year, t.stat_quarter, t.stat_month, " \
  "t.f_sales_channels, t.dict_value, t.pol_name, t.f_group_flag, t.mgr_branch"

#define QD_PREMIUM_OUTER                                                                          \
  "SELECT t.city_branch_name, t.branch_alias_name, t.town_branch_name, t.f_pay_time, "            \
  "t.f_moneyin_itrvl, t.f_sales_channels, t.stat_type_name AS \"Stat_type_name\", t.dict_value, " \
  "SUM(t.amnt) AS amnt, SUM(t.total_num) AS total_num, t.mgr_branch, t.group_date, "              \
  "t.f_group_flag, t.pol_def_03 FROM ("

#define QD_PREMIUM_GROUP                                                                     \
  ") t GROUP BY t.city_branch_name, t.branch_alias_name, t.town_branch_name, t.f_pay_time, " \
  "t.f_moneyin_itrvl, t.f_sales_channels, t.stat_type_name, t.dict_value, t.mgr_branch, "    \
  "t.group_date, t.f_group_flag, t.pol_def_03"

const TBuiltinFactQuery kQueries[] = {
    {"GRecFact", "GRecCube", "StatADOConnection", 60, true,
     QD_PREMIUM_OUTER QD_PREMIUM_INNER("G") QD_PREMIUM_GROUP},
    {"GRec_2Fact", "GRec_2Cube", "StatADOConnection", 60, true,
     QD_PREMIUM_OUTER QD_PREMIUM_INNER("G") QD_PREMIUM_GROUP},
    {"GPayFact", "GPayCube", "StatADOConnection", 60, true,
     "SELECT t.city_branch_name, t.town_branch_name, t.pay_class, t.f_sales_channels, "
     "t.dict_value, "
     "t.pol_def_03, SUM(t.amount) AS pay_amnt, SUM(t.cnt) AS pay_num, t.mgr_branch, "
     "t.group_date, "
     "t.pay_item, t.pay_type FROM (" QD_EXPENSE_INNER
     " WHERE f.corp_flag = 'G' AND p.detail_name <> '团体年金') t "
     "GROUP BY t.city_branch_name, t.town_branch_name, t.pay_class, t.f_sales_channels, "
     "t.dict_value, t.pol_def_03, t.mgr_branch, t.group_date, t.pay_item, t.pay_type"},
    {"GPsnFact", "GPsnCube", "StatADOConnection", 60, false,
     "SELECT t.city_branch_name, t.town_branch_name, t.area_name, t.wp_name, t.stat_year, "
     "t.stat_quarter, t.stat_month, t.dict_value, t.f_moneyin_itrvl, SUM(t.amnt) AS amnt, "
     "SUM(t.total_num) AS total_num, t.mgr_branch, t.pol_name "
     "FROM (SELECT b.city_branch_name, b.town_branch_name, a.area_name, "
     "w.wp_name, " QD_YEAR("f.group_date") " AS stat_year, " QD_QUARTER(
         "f.group_date") " AS stat_quarter, " QD_MONTH("f.group_date") " AS stat_month, "
                                                                       "p.class_name AS "
                                                                       "dict_value, "
                                                                       "f.moneyin_itrvl AS "
                                                                       "f_moneyin_itrvl, "
                                                                       "f.amnt, "
                                                                       "f.total_num, "
                                                                       "b.branch_code AS "
                                                                       "mgr_branch, "
                                                                       "p.pol_name "
                                                                       "FROM "
                                                                       "f_agent_newbiz f "
                                                                       "JOIN d_workplace w "
                                                                       "ON w.wp_code = "
                                                                       "f.wp_code "
                                                                       "JOIN d_sales_area "
                                                                       "a ON a.area_code = "
                                                                       "w.area_code "
                                                                       "JOIN d_branch b ON "
                                                                       "b.branch_code = "
                                                                       "a.branch_"
                                                                       "cod"
                                                                       "e" QD_JOIN_PRODUCT ") t "
                                                                       "GROUP BY "
                                                                       "t.city_branch_name,"
                                                                       " t.town_branch_"
                                                                       "name, t.area_name, "
                                                                       "t.wp_name, "
                                                                       "t.stat_year, "
                                                                       "t.stat_quarter, "
                                                                       "t.stat_month, "
                                                                       "t.dict_value, "
                                                                       "t.f_moneyin_itrvl, "
                                                                       "t.mgr_branch, "
                                                                       "t.pol_name"},
    {"GgrpFact", "GgrpCube", "StatADOConnection", 60, true,
     "SELECT b.city_branch_name, b.town_branch_name, c.channel_name AS f_sales_channels, "
     "p.pol_name, SUM(f.premium) AS prem_amnt, SUM(f.claim) AS claim_amnt, f.mgr_branch, "
     "f.group_date, p.class_name AS dict_value "
     "FROM f_short_claim f" QD_JOIN_BRANCH QD_JOIN_CHANNEL QD_JOIN_PRODUCT
     " GROUP BY b.city_branch_name, b.town_branch_name, c.channel_name, p.pol_name, "
     "f.mgr_branch, "
     "f.group_date, p.class_name"},
    {"GGrp_2Fact", "GGrp_2Cube", "StatADOConnection", 60, true,
     "SELECT b.city_branch_name, b.town_branch_name, p.pol_name, SUM(f.premium) AS "
     "prem_amnt, "
     "SUM(f.cnt) AS pol_num, SUM(f.mgmt_fee) AS mgmt_fee, f.mgr_branch, f.group_date, "
     "p.class_name AS dict_value "
     "FROM f_group_kpi f" QD_JOIN_BRANCH QD_JOIN_PRODUCT
     " GROUP BY b.city_branch_name, b.town_branch_name, p.pol_name, f.mgr_branch, "
     "f.group_date, "
     "p.class_name"},
    {"JRecFact", "JRecCube", "StatADOConnection", 60, true,
     QD_PREMIUM_OUTER QD_PREMIUM_INNER("J") QD_PREMIUM_GROUP},
    {"JPayFact", "JPayCube", "StatADOConnection", 60, true,
     "SELECT t.city_branch_name, t.town_branch_name, t.pay_class, t.f_sales_channels, "
     "t.dict_value, "
     "SUM(t.amount) AS pay_amnt, SUM(t.cnt) AS pay_num, t.mgr_branch, t.group_date, "
     "t.pol_def_03 "
     "FROM (" QD_EXPENSE_INNER " WHERE f.corp_flag = 'J') t "
     "GROUP BY t.city_branch_name, t.town_branch_name, t.pay_class, t.f_sales_channels, "
     "t.dict_value, t.mgr_branch, t.group_date, t.pol_def_03"},
    {"GTbFact", "GTbCube", "StatADOConnection", 60, false, QD_SURRENDER("G")},
    {"JTbFact", "JTbCube", "StatADOConnection", 60, false, QD_SURRENDER("J")},
    {"GCdFact", "GCdCube", "BaseDBConnection", 60, false,
     "SELECT t.city_branch_name, t.town_branch_name, t.f_moneyin_itrvl, t.stat_year, "
     "t.stat_quarter, t.stat_month, t.f_sales_channels, t.f_group_flag, t.dict_value, "
     "t.pol_name, "
     "SUM(t.prem) AS cd_prem, SUM(t.cnt) AS cd_num, t.mgr_branch "
     "FROM (SELECT b.city_branch_name, b.town_branch_name, f.moneyin_itrvl AS "
     "f_moneyin_itrvl, " QD_YEAR("f.cd_date") " AS stat_year, " QD_QUARTER(
         "f.cd_date") " AS stat_quarter, " QD_MONTH("f.cd_date") " AS stat_month, "
                                                                 "c.channel_name AS "
                                                                 "f_sales_channels, "
                                                                 "p.group_flag AS "
                                                                 "f_group_flag, "
                                                                 "p.class_name AS "
                                                                 "dict_value, p.pol_name, "
                                                                 "f.prem, f.cnt, "
                                                                 "f.mgr_branch "
                                                                 "FROM f_withdrawal "
                                                                 "f" QD_JOIN_BRANCH QD_JOIN_CHANNEL
                                                                     QD_JOIN_PRODUCT ") t "
                                                                 "GROUP BY "
                                                                 "t.city_branch_name, "
                                                                 "t.town_branch_name, "
                                                                 "t.f_moneyin_itrvl, "
                                                                 "t.stat_year, "
                                                                 "t.stat_quarter, "
                                                                 "t.stat_month, "
                                                                 "t.f_sales_channels, "
                                                                 "t.f_group_flag, "
                                                                 "t.dict_value, "
                                                                 "t.pol_name, "
                                                                 "t.mgr_branch"},
    {"GCustFact", "GCustCube", "BaseDBConnection", 400, false,
     "SELECT t.dict_value, t.pol_def_03, t.age_band, t.sex, t.occupation, t.pol_status, "
     "t.f_moneyin_itrvl, SUM(t.prem) AS uw_prem, COUNT(*) AS uw_num, t.pol_name "
     "FROM (SELECT p.class_name AS dict_value, p.detail_name AS pol_def_03, "
     "CASE WHEN f.age < 18 THEN '0-17岁' WHEN f.age < 26 THEN '18-25岁' WHEN f.age < 36 "
     "THEN "
     "'26-35岁' WHEN f.age < 46 THEN '36-45岁' WHEN f.age < 56 THEN '46-55岁' WHEN f.age < "
     "66 "
     "THEN '56-65岁' ELSE '66岁以上' END AS age_band, f.sex, f.occupation, f.pol_status, "
     "f.moneyin_itrvl AS f_moneyin_itrvl, f.prem, p.pol_name FROM f_policy "
     "f" QD_JOIN_PRODUCT ") t "
     "GROUP BY t.dict_value, t.pol_def_03, t.age_band, t.sex, t.occupation, t.pol_status, "
     "t.f_moneyin_itrvl, t.pol_name"},
    {"GPay_2Fact", "GPay_2Cube", "StatADOConnection", 60, true,
     "SELECT t.city_branch_name, t.town_branch_name, t.pay_type, t.pay_item, t.dict_value, "
     "t.pol_def_03, SUM(t.amount) AS pay_amnt, SUM(t.cnt) AS pay_num, t.mgr_branch, "
     "t.group_date, "
     "t.pay_class, t.f_sales_channels FROM (" QD_EXPENSE_INNER
     " WHERE f.corp_flag = 'G' AND p.detail_name <> '团体年金') t "
     "GROUP BY t.city_branch_name, t.town_branch_name, t.pay_type, t.pay_item, "
     "t.dict_value, "
     "t.pol_def_03, t.mgr_branch, t.group_date, t.pay_class, t.f_sales_channels"},
    {"GPsn_2Fact", "GPsn_2Cube", "StatADOConnection", 60, false,
     "SELECT b.city_branch_name, b.town_branch_name, "
     "SUBSTR(f.stat_month, 1, 4) || '年' || SUBSTR(f.stat_month, 6, 2) || '月' AS "
     "stat_month, "
     "f.agent_rank, f.begin_cnt, f.end_cnt, f.join_cnt, f.leave_cnt, f.promote_cnt, "
     "f.demote_cnt, "
     "f.avg_cnt, f.active_cnt, f.new_active_cnt, f.elite_cnt, f.perform_cnt, "
     "f.new_pol_cnt, "
     "f.new_prem, f.std_prem, f.reg_prem, f.long_pol_cnt, f.short_pol_cnt, f.short_prem, "
     "f.recruit_cnt, f.supervisor_cnt, f.licensed_cnt, f.new_licensed_cnt, f.training_cnt, "
     "f.attendance_cnt, f.leave_licensed_cnt, f.mgr_branch "
     "FROM f_agent_month f" QD_JOIN_BRANCH},
    {"GPsn_3Fact", "GPsn_3Cube", "StatADOConnection", 60, false,
     "SELECT b.city_branch_name, b.town_branch_name, a.area_name, w.wp_name, "
     "SUBSTR(f.stat_month, 1, 4) || '年' || SUBSTR(f.stat_month, 6, 2) || '月' AS "
     "stat_month, "
     "f.agent_rank, f.appr_total, f.appr_pass, f.appr_fail, f.appr_keep, f.appr_should_up, "
     "f.appr_up, f.appr_defer_up, f.appr_watch, f.appr_exempt, f.appr_terminate, "
     "f.appr_should_down, f.appr_down, b.branch_code AS mgr_branch "
     "FROM f_agent_appraisal f JOIN d_workplace w ON w.wp_code = f.wp_code "
     "JOIN d_sales_area a ON a.area_code = w.area_code "
     "JOIN d_branch b ON b.branch_code = a.branch_code"},
    {"GB03Fact", "GB03Cube", "BaseDBConnection", 100, false, QD_OPEN_ITEMS("f_receivable", "")},
    {"GB04Fact", "GB04Cube", "BaseDBConnection", 60, false,
     QD_OPEN_ITEMS("f_payable", " WHERE f.corp_flag = 'G'")},
    {"JB04Fact", "JB04Cube", "BaseDBConnection", 60, false,
     QD_OPEN_ITEMS("f_payable", " WHERE f.corp_flag = 'J'")},
    {"GXqFact", "GXqCube", "BaseDBConnection", 240, false,
     "SELECT t.city_branch_name, t.branch_alias_name, t.stat_quarter, t.stat_month, "
     "t.dict_value, "
     "t.pol_def_03, SUM(t.prem) AS prem_total, SUM(t.cnt) AS pol_num, t.mgr_branch, "
     "t.town_branch_name FROM (SELECT b.city_branch_name, b.branch_alias_name, " QD_QUARTER(
         "f.due_date") " AS stat_quarter, " QD_MONTH("f.due_date") " AS stat_month, "
                                                                   "p.class_name AS "
                                                                   "dict_value, "
                                                                   "p.detail_name AS "
                                                                   "pol_def_03, f.prem, "
                                                                   "f.cnt, f.mgr_branch, "
                                                                   "b.town_branch_name "
                                                                   "FROM f_renewal_due "
                                                                   "f" QD_JOIN_BRANCH
                                                                       QD_JOIN_PRODUCT ") t "
                                                                   "GROUP BY "
                                                                   "t.city_branch_name, "
                                                                   "t.branch_alias_name, "
                                                                   "t.stat_quarter, "
                                                                   "t.stat_month, "
                                                                   "t.dict_value, "
                                                                   "t.pol_def_03, "
                                                                   "t.mgr_branch, "
                                                                   "t.town_branch_name"},
};

}  // namespace

std::span<const TBuiltinFactQuery> BuiltinFactQueries() {
  return kQueries;
}

const TBuiltinFactQuery* FindBuiltinFactQuery(std::string_view queryName) {
  for (const TBuiltinFactQuery& q : kQueries) {
    if (SameText(q.QueryName, queryName)) return &q;
  }
  return nullptr;
}

}  // namespace qd
