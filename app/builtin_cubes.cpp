#include "app/builtin_cubes.h"

namespace qd {
namespace {

using enum TFieldType;
using enum TBuiltinRole;

// Items shared by several maps.
constexpr TBuiltinItem kCity{"city_branch_name", ftString, "市级机构", brRow};
constexpr TBuiltinItem kTown{"town_branch_name", ftString, "机构名称", brRow};
constexpr TBuiltinItem kTownDetail{"town_branch_name", ftString, "机构明细", brRow};
constexpr TBuiltinItem kAlias{"branch_alias_name", ftString, "机构简称", brRow};
constexpr TBuiltinItem kYear{"Year", ftString, "年份", brCol};
constexpr TBuiltinItem kQuarter{"Quarter", ftString, "季度", brCol};
constexpr TBuiltinItem kMonth{"Month", ftString, "月份", brCol};
constexpr TBuiltinItem kStatYear{"stat_year", ftString, "年份", brCol};
constexpr TBuiltinItem kStatYearOnly{"stat_year", ftString, "年度", brCol};
constexpr TBuiltinItem kStatQuarter{"stat_quarter", ftString, "季度", brCol};
constexpr TBuiltinItem kStatMonth{"stat_month", ftString, "月份", brCol};
constexpr TBuiltinItem kMgrBranch{"mgr_branch", ftString, "机构代码", brPlainPage};
constexpr TBuiltinItem kGroupDate{"group_date", ftDateTime, "业务日期", brPlain};
constexpr TBuiltinItem kAmnt{"amnt", ftBCD, "保费收入", brSummary};
constexpr TBuiltinItem kTotalNum{"total_num", ftInteger, "保单件数", brSummary};

constexpr TBuiltinItem GRec[] = {kCity,
                                 kAlias,
                                 {"f_pay_time", ftString, "保费期次", brRow},
                                 {"f_moneyin_itrvl", ftString, "缴费方式", brRow},
                                 kYear,
                                 kQuarter,
                                 kMonth,
                                 {"f_sales_channels", ftString, "销售渠道", brPage},
                                 {"Stat_type_name", ftString, "首期续期", brPage},
                                 {"dict_value", ftString, "险种分类", brPage},
                                 kAmnt,
                                 kTotalNum,
                                 {"town_branch_name", ftString, "机构名称", brPlain},
                                 kMgrBranch,
                                 kGroupDate,
                                 {"f_group_flag", ftString, "个团标志", brPlain},
                                 {"pol_def_03", ftString, nullptr, brPlain}};

constexpr TBuiltinItem GRec2[] = {kCity,
                                  kTown,
                                  {"f_pay_time", ftString, "保费期次", brRow},
                                  {"f_moneyin_itrvl", ftString, "缴费方式", brRow},
                                  kYear,
                                  kQuarter,
                                  kMonth,
                                  {"dict_value", ftString, "险种分类", brPage},
                                  {"pol_def_03", ftString, "险种明细", brPage},
                                  {"Stat_type_name", ftString, "首期续期", brPage},
                                  kAmnt,
                                  kTotalNum,
                                  {"branch_alias_name", ftString, "机构简称", brPlain},
                                  {"f_sales_channels", ftString, "销售渠道", brPlain},
                                  kMgrBranch,
                                  kGroupDate,
                                  {"f_group_flag", ftString, "个团标志", brPlain}};

constexpr TBuiltinItem GPay[] = {kCity,
                                 kTown,
                                 kYear,
                                 kQuarter,
                                 kMonth,
                                 {"pay_class", ftString, "支出类别", brPage},
                                 {"f_sales_channels", ftString, "销售渠道", brPage},
                                 {"dict_value", ftString, "险种分类", brPage},
                                 {"pol_def_03", ftString, "险种明细", brPage},
                                 {"pay_amnt", ftBCD, "支出金额", brSummary},
                                 {"pay_num", ftInteger, "支出件数", brSummary},
                                 kMgrBranch,
                                 kGroupDate,
                                 {"pay_item", ftString, "支出项目", brPlain},
                                 {"pay_type", ftString, "付费类型", brPlain}};

constexpr TBuiltinItem GPsn[] = {kCity,
                                 kTown,
                                 {"area_name", ftString, "营销区部", brRow},
                                 {"wp_name", ftString, "营销职场", brRow},
                                 kStatYear,
                                 kStatQuarter,
                                 kStatMonth,
                                 {"dict_value", ftString, "险种分类", brPage},
                                 {"f_moneyin_itrvl", ftString, "缴费方式", brPage},
                                 kAmnt,
                                 kTotalNum,
                                 kMgrBranch,
                                 {"pol_name", ftString, "险种名称", brPlain}};

constexpr TBuiltinItem Ggrp[] = {kCity,
                                 kTown,
                                 {"f_sales_channels", ftString, "销售渠道", brRow},
                                 kYear,
                                 kQuarter,
                                 kMonth,
                                 {"pol_name", ftString, "险种名称", brPage},
                                 {"prem_amnt", ftBCD, "保费收入", brSummary},
                                 {"claim_amnt", ftBCD, "赔款支出", brSummary},
                                 kMgrBranch,
                                 kGroupDate,
                                 {"dict_value", ftString, "险种分类", brPlain}};

constexpr TBuiltinItem GGrp2[] = {kCity,
                                  kTown,
                                  kYear,
                                  kQuarter,
                                  kMonth,
                                  {"pol_name", ftString, "险种名称", brPage},
                                  {"prem_amnt", ftBCD, "保费", brSummary},
                                  {"pol_num", ftInteger, "件数", brSummary},
                                  {"mgmt_fee", ftBCD, "管理费", brSummary},
                                  kMgrBranch,
                                  kGroupDate,
                                  {"dict_value", ftString, "险种分类", brPlain}};

constexpr TBuiltinItem JRec[] = {kCity,
                                 kTown,
                                 {"f_pay_time", ftString, "保费期次", brRow},
                                 {"f_moneyin_itrvl", ftString, "缴费方式", brRow},
                                 kYear,
                                 kQuarter,
                                 kMonth,
                                 {"f_sales_channels", ftString, "销售渠道", brPage},
                                 {"Stat_type_name", ftString, "首期续期", brPage},
                                 {"dict_value", ftString, "险种分类", brPage},
                                 kAmnt,
                                 kTotalNum,
                                 {"branch_alias_name", ftString, "机构简称", brPlain},
                                 kMgrBranch,
                                 kGroupDate,
                                 {"f_group_flag", ftString, "个团标志", brPlain},
                                 {"pol_def_03", ftString, "险种明细", brPlain}};

constexpr TBuiltinItem JPay[] = {kCity,
                                 kTown,
                                 kYear,
                                 kQuarter,
                                 kMonth,
                                 {"pay_class", ftString, "支出类别", brPage},
                                 {"f_sales_channels", ftString, "销售渠道", brPage},
                                 {"dict_value", ftString, "险种分类", brPage},
                                 {"pay_amnt", ftBCD, "支出金额", brSummary},
                                 {"pay_num", ftInteger, "支出件数", brSummary},
                                 kMgrBranch,
                                 kGroupDate,
                                 {"pol_def_03", ftString, "险种明细", brPlain}};

constexpr TBuiltinItem Tb[] = {kCity,
                               kTown,
                               {"f_moneyin_itrvl", ftString, "缴费方式", brRow},
                               kStatYear,
                               kStatQuarter,
                               kStatMonth,
                               {"uw_year", ftString, "承保年度", brPage},
                               {"dict_value", ftString, "险种分类", brPage},
                               {"pol_name", ftString, "险种名称", brPage},
                               {"surr_amnt", ftBCD, "退保金额", brSummary},
                               {"new_prem", ftBCD, "新单保费", brSummary},
                               {"renew_prem", ftBCD, "续期保费", brSummary},
                               kMgrBranch};

constexpr TBuiltinItem GCd[] = {kCity,
                                kTown,
                                {"f_moneyin_itrvl", ftString, "缴费方式", brRow},
                                kStatYearOnly,
                                kStatQuarter,
                                kStatMonth,
                                {"f_sales_channels", ftString, "销售渠道", brPage},
                                {"f_group_flag", ftString, "个团标志", brPage},
                                {"dict_value", ftString, "险种分类", brPage},
                                {"pol_name", ftString, "险种名称", brPage},
                                {"cd_prem", ftBCD, "撤单保费", brSummary},
                                {"cd_num", ftInteger, "撤单件数", brSummary},
                                kMgrBranch};

constexpr TBuiltinItem GCust[] = {
    {"dict_value", ftString, "险种分类", brRow},       {"pol_def_03", ftString, "险种明细", brRow},
    {"age_band", ftString, "年龄段", brCol},           {"sex", ftString, "性别", brPage},
    {"occupation", ftString, "职业大类", brPage},      {"pol_status", ftString, "保单状态", brPage},
    {"f_moneyin_itrvl", ftString, "缴费方式", brPage}, {"uw_prem", ftBCD, "承保保费", brSummary},
    {"uw_num", ftInteger, "承保件数", brSummary},      {"pol_name", ftString, "险种名称", brPlain}};

constexpr TBuiltinItem GPay2[] = {kCity,
                                  kTown,
                                  {"pay_type", ftString, "付费类型", brRow},
                                  kYear,
                                  kQuarter,
                                  kMonth,
                                  {"pay_item", ftString, "支出项目", brPage},
                                  {"dict_value", ftString, "险种分类", brPage},
                                  {"pol_def_03", ftString, "险种明细", brPage},
                                  {"pay_amnt", ftBCD, "支出金额", brSummary},
                                  {"pay_num", ftInteger, "支出件数", brSummary},
                                  kMgrBranch,
                                  kGroupDate,
                                  {"pay_class", ftString, "支出类别", brPlain},
                                  {"f_sales_channels", ftString, "销售渠道", brPlain}};

constexpr TBuiltinItem GPsn2[] = {kCity,
                                  kTownDetail,
                                  kStatMonth,
                                  {"agent_rank", ftString, "人员职级", brPage},
                                  {"begin_cnt", ftInteger, "期初人数", brSummary},
                                  {"end_cnt", ftInteger, "期末人数", brSummary},
                                  {"join_cnt", ftInteger, "新增人数", brSummary},
                                  {"leave_cnt", ftInteger, "离司人数", brSummary},
                                  {"promote_cnt", ftInteger, "晋升人数", brSummary},
                                  {"demote_cnt", ftInteger, "降级人数", brSummary},
                                  {"avg_cnt", ftBCD, "平均人力", brSummary},
                                  {"active_cnt", ftInteger, "有效人力", brSummary},
                                  {"new_active_cnt", ftInteger, "新人有效人力", brSummary},
                                  {"elite_cnt", ftInteger, "绩优人力", brSummary},
                                  {"perform_cnt", ftInteger, "举绩人数", brSummary},
                                  {"new_pol_cnt", ftInteger, "新单件数", brSummary},
                                  {"new_prem", ftBCD, "新单保费", brSummary},
                                  {"std_prem", ftBCD, "标准保费", brSummary},
                                  {"reg_prem", ftBCD, "期交保费", brSummary},
                                  {"long_pol_cnt", ftInteger, "长险件数", brSummary},
                                  {"short_pol_cnt", ftInteger, "短险件数", brSummary},
                                  {"short_prem", ftBCD, "短险保费", brSummary},
                                  {"recruit_cnt", ftInteger, "增员人数", brSummary},
                                  {"supervisor_cnt", ftInteger, "主管人数", brSummary},
                                  {"licensed_cnt", ftInteger, "持证人数", brSummary},
                                  {"new_licensed_cnt", ftInteger, "新增持证", brSummary},
                                  {"training_cnt", ftInteger, "培训人次", brSummary},
                                  {"attendance_cnt", ftInteger, "出勤人次", brSummary},
                                  {"leave_licensed_cnt", ftInteger, "离司持证", brSummary},
                                  kMgrBranch};

constexpr TBuiltinItem GPsn3[] = {kCity,
                                  kTownDetail,
                                  {"area_name", ftString, "营销区部", brRow},
                                  {"wp_name", ftString, "营销职场", brRow},
                                  kStatMonth,
                                  {"agent_rank", ftString, "人员职级", brPage},
                                  {"appr_total", ftInteger, "参加合同考核人数", brSummary},
                                  {"appr_pass", ftInteger, "达标人数", brSummary},
                                  {"appr_fail", ftInteger, "未达标人数", brSummary},
                                  {"appr_keep", ftInteger, "维持人数", brSummary},
                                  {"appr_should_up", ftInteger, "应晋升人数", brSummary},
                                  {"appr_up", ftInteger, "实际晋升人数", brSummary},
                                  {"appr_defer_up", ftInteger, "暂缓晋升人数", brSummary},
                                  {"appr_watch", ftInteger, "观察期人数", brSummary},
                                  {"appr_exempt", ftInteger, "免考核人数", brSummary},
                                  {"appr_terminate", ftInteger, "解约人数", brSummary},
                                  {"appr_should_down", ftInteger, "应下降人数", brSummary},
                                  {"appr_down", ftInteger, "实际下降人数", brSummary},
                                  kMgrBranch};

constexpr TBuiltinItem OpenItems[] = {kCity,
                                      kTown,
                                      kStatYearOnly,
                                      kStatQuarter,
                                      kStatMonth,
                                      {"f_sales_channels", ftString, "销售渠道", brPage},
                                      {"dict_value", ftString, "险种分类", brPage},
                                      {"pol_name", ftString, "险种名称", brPage},
                                      {"f_group_flag", ftString, "个团标志", brPage},
                                      {"sum_amnt", ftBCD, "累计金额", brSummary},
                                      {"sum_num", ftInteger, "累计件数", brSummary},
                                      kMgrBranch};

constexpr TBuiltinItem GXq[] = {kCity,
                                kAlias,
                                kStatQuarter,
                                kStatMonth,
                                {"dict_value", ftString, "险种分类", brPage},
                                {"pol_def_03", ftString, "险种明细", brPage},
                                {"prem_total", ftBCD, "保费合计", brSummary},
                                {"pol_num", ftInteger, "保单件数", brSummary},
                                kMgrBranch,
                                {"town_branch_name", ftString, "机构名称", brPlain}};

const TBuiltinCubeMap kMaps[] = {
    {"GRecCube", GRec},      {"GRec_2Cube", GRec2},   {"GPayCube", GPay},
    {"GPsnCube", GPsn},      {"GgrpCube", Ggrp},      {"GGrp_2Cube", GGrp2},
    {"JRecCube", JRec},      {"JPayCube", JPay},      {"GTbCube", Tb},
    {"JTbCube", Tb},         {"GCdCube", GCd},        {"GCustCube", GCust},
    {"GPay_2Cube", GPay2},   {"GPsn_2Cube", GPsn2},   {"GPsn_3Cube", GPsn3},
    {"GB03Cube", OpenItems}, {"GB04Cube", OpenItems}, {"JB04Cube", OpenItems},
    {"GXqCube", GXq}};

}  // namespace

std::span<const TBuiltinCubeMap> BuiltinCubeMaps() {
  return kMaps;
}

void ApplyBuiltinMap(const TBuiltinCubeMap& map, TCustomVantra& cube) {
  TDimSums& items = cube.DimensionMap();
  items.Clear();
  for (const TBuiltinItem& b : map.Items) {
    TDimSum& item = items.Add();
    item.BaseFieldName = b.FieldName;
    item.BaseFieldType = b.Type;
    item.DisplayName = b.DisplayName ? b.DisplayName : b.FieldName;
    item.TotalAppearance = TTotalAppearance::taLast;
    switch (b.Role) {
      case brRow:
      case brCol:
      case brPage:
        item.DimSumType = TDimSumType::dsDimension;
        item.DimGroup = b.Role == brRow   ? TDimGroup::dgRow
                        : b.Role == brCol ? TDimGroup::dgCol
                                          : TDimGroup::dgPage;
        item.SortType = TDimSortType::dsNameAsc;
        break;
      case brSummary:
        item.DimSumType = TDimSumType::dsSummary;
        break;
      case brPlain:
        break;
      case brPlainPage:
        item.DimGroup = TDimGroup::dgPage;
        break;
    }
  }
}

}  // namespace qd
