#!/usr/bin/env python3
"""Writes the Quarrydesk demo database: a deterministic, seeded SQLite database
of a provincial life-insurance company (city and town branches, sales channels,
product classes and products, payment modes and terms, three years of premiums,
expenses, claims, surrenders, withdrawals, receivables and payables, agents'
head counts and appraisals, policies with ages and occupations).

Python 3 standard library only. The same --seed and --scale give the same rows.

Usage:
  gen_demo_db.py --out quarrydesk_demo.db            # about 300k fact rows
  gen_demo_db.py --out big.db --scale 10             # about 3M fact rows
  gen_demo_db.py --out demo.db --pg-sql demo_pg.sql  # also a psql load script

The column types are written so that the same DDL runs on SQLite and
PostgreSQL; dates are ISO text in SQLite (declared DATE) and DATE in PostgreSQL.
"""

import argparse
import datetime
import math
import os
import random
import sqlite3
import sys

# ---- reference data ---------------------------------------------------------

CITIES = [
    ("3301", "杭州", ["西湖", "拱墅", "萧山", "余杭", "富阳", "临安", "桐庐", "建德", "淳安"]),
    ("3302", "宁波", ["海曙", "江北", "鄞州", "镇海", "北仑", "余姚", "慈溪", "宁海", "象山"]),
    ("3303", "温州", ["鹿城", "瓯海", "龙湾", "瑞安", "乐清", "永嘉", "平阳", "苍南"]),
    ("3304", "嘉兴", ["南湖", "秀洲", "嘉善", "海盐", "海宁", "平湖", "桐乡"]),
    ("3305", "湖州", ["吴兴", "南浔", "德清", "长兴", "安吉"]),
    ("3306", "绍兴", ["越城", "柯桥", "上虞", "诸暨", "嵊州", "新昌"]),
    ("3307", "金华", ["婺城", "金东", "兰溪", "义乌", "东阳", "永康", "武义", "浦江"]),
    ("3308", "衢州", ["柯城", "衢江", "江山", "常山", "开化", "龙游"]),
    ("3309", "舟山", ["定海", "普陀", "岱山"]),
    ("3310", "台州", ["椒江", "黄岩", "路桥", "临海", "温岭", "玉环", "天台", "仙居"]),
    ("3311", "丽水", ["莲都", "龙泉", "青田", "缙云", "遂昌", "松阳", "云和", "庆元"]),
]

# The four sales regions and the cities each takes in, in the order they are shown.
REGIONS = [("R1", "浙北", ["3301", "3304", "3305"]), ("R2", "浙东", ["3302", "3306", "3309"]),
           ("R3", "浙中西", ["3307", "3308"]), ("R4", "浙南", ["3303", "3310", "3311"])]

CHANNELS = [("01", "个人营销"), ("02", "银行邮政代理"), ("03", "团体直销"),
            ("04", "专业代理"), ("05", "电话销售"), ("06", "网络销售")]
PERSONAL_CHANNELS = [("01", 55), ("02", 25), ("04", 8), ("05", 7), ("06", 5)]
GROUP_CHANNELS = [("03", 80), ("04", 20)]

# pol_code, name, class, detail, 个团标志, term, weight
PRODUCTS = [
    ("1101", "鸿寿终身寿险", "传统寿险", "终身寿险", "个人", "长期", 6),
    ("1102", "安康定期寿险", "传统寿险", "定期寿险", "个人", "长期", 4),
    ("1201", "鸿鑫两全保险（分红型）", "分红险", "分红两全", "个人", "长期", 14),
    ("1202", "金彩年华年金保险（分红型）", "分红险", "分红年金", "个人", "长期", 12),
    ("1203", "美满一生年金保险（分红型）", "分红险", "分红年金", "个人", "长期", 8),
    ("1301", "金账户终身寿险（万能型）", "万能险", "万能寿险", "个人", "长期", 7),
    ("1401", "创富投资连结保险", "投资连结险", "投连寿险", "个人", "长期", 2),
    ("1501", "福寿年金保险", "年金险", "个人年金", "个人", "长期", 6),
    ("1601", "康宁终身重大疾病保险", "长期健康险", "重大疾病", "个人", "长期", 10),
    ("1602", "安心长期护理保险", "长期健康险", "长期护理", "个人", "长期", 3),
    ("2101", "个人意外伤害保险", "意外险", "个人意外", "个人", "短期", 5),
    ("2102", "学生平安保险", "意外险", "学平险", "个人", "短期", 4),
    ("2201", "住院医疗保险", "短期健康险", "个人医疗", "个人", "短期", 4),
    ("3101", "团体年金保险", "年金险", "团体年金", "团体", "长期", 3),
    ("3201", "团体意外伤害保险", "意外险", "团体意外", "团体", "短期", 4),
    ("3301", "团体补充医疗保险", "短期健康险", "团体医疗", "团体", "短期", 5),
    ("3401", "团体定期寿险", "传统寿险", "团体定寿", "团体", "短期", 3),
]

AGENT_CHANNEL = "01"          # the agents' channel (个人营销)
GROUP_DIRECT_CHANNEL = "03"   # 团体直销

# Expected loss ratio of each short-term product, and how each year ran.
LOSS_RATIOS = {"2101": 0.32, "2102": 0.24, "2201": 0.68, "3201": 0.45, "3301": 0.82,
               "3401": 0.38}
LOSS_YEAR = {"2022": 0.92, "2023": 1.08, "2024": 1.0}

PAY_MODES_LONG = [("趸交", 15), ("年交", 60), ("半年交", 5), ("季交", 8), ("月交", 12)]
PAY_MODES_SHORT = [("趸交", 85), ("年交", 10), ("月交", 5)]

EXPENSE_CLASSES = [  # 支出类别, 支出项目 list, weight
    ("满期给付", ["满期保险金", "生存保险金"], 10),
    ("年金给付", ["年金领取", "养老金给付"], 8),
    ("死伤医疗给付", ["身故保险金", "残疾保险金", "医疗保险金", "重疾保险金"], 12),
    ("赔款支出", ["意外医疗赔款", "住院医疗赔款", "意外身故赔款"], 15),
    ("退保金", ["全部退保", "部分领取"], 10),
    ("手续费支出", ["代理手续费", "银保手续费"], 20),
    ("佣金支出", ["首年佣金", "续年佣金"], 25),
]
PAY_TYPES = [("转账", 60), ("现金", 10), ("银行代付", 25), ("支票", 5)]

RANKS = ["业务员", "业务主任", "高级业务主任", "业务经理", "高级业务经理", "区域总监"]
RANK_SHARE = [0.62, 0.16, 0.09, 0.07, 0.04, 0.02]
# Share of a branch's new premium that each rank's own sales make (sums to 1).
RANK_PREMIUM = [0.46, 0.18, 0.13, 0.11, 0.08, 0.04]

OCCUPATIONS = [("一类（内勤）", 40), ("二类（外勤）", 25), ("三类（轻体力）", 18),
               ("四类（中体力）", 10), ("五类（重体力）", 5), ("六类（高危）", 2)]
POLICY_STATES = [("有效", 78), ("失效", 6), ("满期终止", 5), ("退保终止", 7), ("理赔终止", 4)]

DATE_FROM = datetime.date(2022, 1, 1)
DATE_TO = datetime.date(2024, 12, 31)

# Base row counts at --scale 1 (about 300k fact rows in all). The agent, group
# KPI and claims facts are drawn from the premium rows, so they have no count.
BASE_ROWS = {
    "f_premium": 90_000, "f_expense": 40_000, "f_surrender": 20_000,
    "f_withdrawal": 10_000, "f_policy": 30_000, "f_receivable": 10_000,
    "f_payable": 15_000, "f_renewal_due": 15_000,
}

DDL = """
CREATE TABLE d_branch (
  branch_code VARCHAR(8) PRIMARY KEY, town_branch_name VARCHAR(40) NOT NULL,
  branch_alias_name VARCHAR(20) NOT NULL, city_code VARCHAR(8) NOT NULL,
  city_branch_name VARCHAR(40) NOT NULL);
CREATE TABLE d_org (
  org_code VARCHAR(8) PRIMARY KEY, org_name VARCHAR(40) NOT NULL, parent_code VARCHAR(8),
  org_level INTEGER NOT NULL);
CREATE TABLE d_channel (channel_code VARCHAR(4) PRIMARY KEY, channel_name VARCHAR(20) NOT NULL);
CREATE TABLE d_product (
  pol_code VARCHAR(8) PRIMARY KEY, pol_name VARCHAR(60) NOT NULL, class_name VARCHAR(20) NOT NULL,
  detail_name VARCHAR(20) NOT NULL, group_flag VARCHAR(4) NOT NULL, term_type VARCHAR(4) NOT NULL);
CREATE TABLE d_sales_area (
  area_code VARCHAR(10) PRIMARY KEY, branch_code VARCHAR(8) NOT NULL, area_name VARCHAR(40) NOT NULL);
CREATE TABLE d_workplace (
  wp_code VARCHAR(12) PRIMARY KEY, area_code VARCHAR(10) NOT NULL, wp_name VARCHAR(40) NOT NULL);
CREATE TABLE f_premium (
  corp_flag CHAR(1) NOT NULL, mgr_branch VARCHAR(8) NOT NULL, group_date DATE, channel_code VARCHAR(4) NOT NULL,
  pol_code VARCHAR(8) NOT NULL, moneyin_itrvl VARCHAR(8) NOT NULL, pay_time VARCHAR(8) NOT NULL,
  stat_type VARCHAR(4) NOT NULL, amnt NUMERIC(16,2) NOT NULL, total_num INTEGER NOT NULL);
CREATE TABLE f_expense (
  corp_flag CHAR(1) NOT NULL, mgr_branch VARCHAR(8) NOT NULL, group_date DATE, channel_code VARCHAR(4) NOT NULL,
  pol_code VARCHAR(8) NOT NULL, pay_class VARCHAR(20) NOT NULL, pay_item VARCHAR(20) NOT NULL,
  pay_type VARCHAR(8) NOT NULL, amount NUMERIC(16,2) NOT NULL, cnt INTEGER NOT NULL);
CREATE TABLE f_agent_newbiz (
  wp_code VARCHAR(12) NOT NULL, group_date DATE NOT NULL, pol_code VARCHAR(8) NOT NULL,
  moneyin_itrvl VARCHAR(8) NOT NULL, amnt NUMERIC(16,2) NOT NULL, total_num INTEGER NOT NULL);
CREATE TABLE f_short_claim (
  mgr_branch VARCHAR(8) NOT NULL, group_date DATE, channel_code VARCHAR(4) NOT NULL,
  pol_code VARCHAR(8) NOT NULL, premium NUMERIC(16,2) NOT NULL, claim NUMERIC(16,2) NOT NULL);
CREATE TABLE f_group_kpi (
  mgr_branch VARCHAR(8) NOT NULL, group_date DATE, pol_code VARCHAR(8) NOT NULL,
  premium NUMERIC(16,2) NOT NULL, cnt INTEGER NOT NULL, mgmt_fee NUMERIC(16,2) NOT NULL);
CREATE TABLE f_surrender (
  corp_flag CHAR(1) NOT NULL, mgr_branch VARCHAR(8) NOT NULL, surr_date DATE NOT NULL,
  uw_year INTEGER NOT NULL, pol_code VARCHAR(8) NOT NULL, moneyin_itrvl VARCHAR(8) NOT NULL,
  surr_amnt NUMERIC(16,2) NOT NULL, new_prem NUMERIC(16,2) NOT NULL, renew_prem NUMERIC(16,2) NOT NULL);
CREATE TABLE f_withdrawal (
  mgr_branch VARCHAR(8) NOT NULL, cd_date DATE NOT NULL, channel_code VARCHAR(4) NOT NULL,
  pol_code VARCHAR(8) NOT NULL, moneyin_itrvl VARCHAR(8) NOT NULL, prem NUMERIC(16,2) NOT NULL,
  cnt INTEGER NOT NULL);
CREATE TABLE f_policy (
  pol_no VARCHAR(20) PRIMARY KEY, pol_code VARCHAR(8) NOT NULL, sex VARCHAR(2) NOT NULL,
  occupation VARCHAR(20) NOT NULL, pol_status VARCHAR(8) NOT NULL, moneyin_itrvl VARCHAR(8) NOT NULL,
  age INTEGER NOT NULL, prem NUMERIC(16,2) NOT NULL);
CREATE TABLE f_agent_month (
  stat_month VARCHAR(7) NOT NULL, mgr_branch VARCHAR(8) NOT NULL, agent_rank VARCHAR(12) NOT NULL,
  begin_cnt INTEGER, end_cnt INTEGER, join_cnt INTEGER, leave_cnt INTEGER, promote_cnt INTEGER,
  demote_cnt INTEGER, avg_cnt NUMERIC(12,2), active_cnt INTEGER, new_active_cnt INTEGER,
  elite_cnt INTEGER, perform_cnt INTEGER, new_pol_cnt INTEGER, new_prem NUMERIC(16,2),
  std_prem NUMERIC(16,2), reg_prem NUMERIC(16,2), long_pol_cnt INTEGER, short_pol_cnt INTEGER,
  short_prem NUMERIC(16,2), recruit_cnt INTEGER, supervisor_cnt INTEGER, licensed_cnt INTEGER,
  new_licensed_cnt INTEGER, training_cnt INTEGER, attendance_cnt INTEGER, leave_licensed_cnt INTEGER);
CREATE TABLE f_agent_appraisal (
  stat_month VARCHAR(7) NOT NULL, wp_code VARCHAR(12) NOT NULL, agent_rank VARCHAR(12) NOT NULL,
  appr_total INTEGER, appr_pass INTEGER, appr_fail INTEGER, appr_keep INTEGER,
  appr_should_up INTEGER, appr_up INTEGER, appr_defer_up INTEGER, appr_watch INTEGER,
  appr_exempt INTEGER, appr_terminate INTEGER, appr_should_down INTEGER, appr_down INTEGER);
CREATE TABLE f_receivable (
  mgr_branch VARCHAR(8) NOT NULL, due_date DATE NOT NULL, channel_code VARCHAR(4) NOT NULL,
  pol_code VARCHAR(8) NOT NULL, amount NUMERIC(16,2) NOT NULL, cnt INTEGER NOT NULL);
CREATE TABLE f_payable (
  corp_flag CHAR(1) NOT NULL, mgr_branch VARCHAR(8) NOT NULL, due_date DATE NOT NULL,
  channel_code VARCHAR(4) NOT NULL, pol_code VARCHAR(8) NOT NULL, amount NUMERIC(16,2) NOT NULL,
  cnt INTEGER NOT NULL);
CREATE TABLE m_premium_sum (
  stat_month VARCHAR(7) NOT NULL, group_flag CHAR(1) NOT NULL, mgr_branch VARCHAR(8) NOT NULL,
  gf_flag VARCHAR(4) NOT NULL, sales_channel VARCHAR(20) NOT NULL, moneyin_itrvl VARCHAR(8) NOT NULL,
  pay_time VARCHAR(12) NOT NULL, pol_code VARCHAR(8) NOT NULL, total_amnt NUMERIC(18,2) NOT NULL,
  total_num INTEGER NOT NULL);
CREATE TABLE f_renewal_due (
  mgr_branch VARCHAR(8) NOT NULL, due_date DATE NOT NULL, pol_code VARCHAR(8) NOT NULL,
  prem NUMERIC(16,2) NOT NULL, cnt INTEGER NOT NULL);
"""

# The monthly premium summary, derived from the premium facts by the database.
SUMMARY_SQL = """
INSERT INTO m_premium_sum
SELECT SUBSTR(CAST(f.group_date AS VARCHAR(10)), 1, 7), f.corp_flag, f.mgr_branch, p.group_flag,
       c.channel_name, f.moneyin_itrvl, f.pay_time, f.pol_code, SUM(f.amnt), SUM(f.total_num)
FROM f_premium f JOIN d_product p ON p.pol_code = f.pol_code
JOIN d_channel c ON c.channel_code = f.channel_code
GROUP BY SUBSTR(CAST(f.group_date AS VARCHAR(10)), 1, 7), f.corp_flag, f.mgr_branch, p.group_flag,
         c.channel_name, f.moneyin_itrvl, f.pay_time, f.pol_code;
"""


class Gen:
    def __init__(self, seed, scale):
        self.r = random.Random(seed)
        self.scale = scale
        self.branches = []      # (code, town, alias, city_code, city, weight)
        for city_code, city, towns in CITIES:
            for i, town in enumerate(towns):
                code = f"{city_code}{i + 1:02d}"
                weight = 3.0 if i == 0 else 1.0 + self.r.random() * 1.5
                self.branches.append((code, f"{city}{town}支公司", town, city_code,
                                      f"{city}分公司", weight))
        self.areas, self.workplaces = [], []
        for b in self.branches:
            for a in range(1 + int(b[5])):
                area_code = f"{b[0]}{a + 1:02d}"
                self.areas.append((area_code, b[0], f"{b[2]}营销{'一二三四五'[a]}区"))
                for w in range(1 + self.r.randrange(3)):
                    self.workplaces.append((f"{area_code}{w + 1:02d}", area_code,
                                            f"{b[2]}{'一二三四五'[a]}区第{w + 1}职场"))
        self.days = (DATE_TO - DATE_FROM).days + 1
        self.personal = [p for p in PRODUCTS if p[4] == "个人"]
        self.group = [p for p in PRODUCTS if p[4] == "团体"]
        self.branch_cum = self.cumulative([b[5] for b in self.branches])
        self._premium = None
        self._newbiz = None
        self.product_cum = self.cumulative([p[6] for p in PRODUCTS])

    @staticmethod
    def cumulative(weights):
        out, s = [], 0.0
        for w in weights:
            s += w
            out.append(s)
        return out

    def pick_cum(self, items, cum):
        x = self.r.random() * cum[-1]
        lo, hi = 0, len(cum) - 1
        while lo < hi:
            mid = (lo + hi) // 2
            if cum[mid] < x:
                lo = mid + 1
            else:
                hi = mid
        return items[lo]

    def pick(self, weighted):
        total = sum(w for _, w in weighted)
        x = self.r.random() * total
        for item, w in weighted:
            x -= w
            if x < 0:
                return item
        return weighted[-1][0]

    def n(self, table):
        return int(BASE_ROWS[table] * self.scale)

    def branch(self):
        return self.pick_cum(self.branches, self.branch_cum)

    def product(self, only=None):
        if only is None:
            return self.pick_cum(PRODUCTS, self.product_cum)
        return self.pick([(p, p[6]) for p in only])

    def date(self, start=DATE_FROM, days=None):
        # January and the quarter ends sell more ("开门红" and closing pushes).
        days = days or self.days
        while True:
            d = start + datetime.timedelta(days=self.r.randrange(days))
            boost = 2.2 if d.month == 1 else 1.4 if d.month in (3, 6, 9, 12) else 1.0
            if self.r.random() * 2.2 < boost:
                return d.isoformat()

    def money(self, median, spread=1.0):
        return round(median * math.exp(self.r.gauss(0, 0.8 * spread)), 2)

    def channel_for(self, p):
        return self.pick(GROUP_CHANNELS if p[4] == "团体" else PERSONAL_CHANNELS)

    def pay_mode(self, p):
        return self.pick(PAY_MODES_SHORT if p[5] == "短期" else PAY_MODES_LONG)

    # ---- fact tables ----

    def premium_rows(self):
        """The premium receipts, generated once and shared: the agent, group KPI
        and claims facts are read off them, so every cube tells the same story."""
        if self._premium is None:
            self._premium = []
            for _ in range(self.n("f_premium")):
                p = self.product()
                mode = self.pay_mode(p)
                first = mode == "趸交" or p[5] == "短期" or self.r.random() < 0.45
                year = 1 if first else 2 + min(8, int(self.r.expovariate(0.45)))
                self._premium.append(
                    ("G" if self.r.random() < 0.8 else "J", self.branch()[0], self.date(),
                     self.channel_for(p), p[0], mode,
                     "第%02d年" % year + ("" if year < 10 else "及以上"),
                     "首期" if first else "续期", self.money(8000 if mode == "趸交" else 3000),
                     1 + int(self.r.expovariate(0.6))))
        return self._premium

    def premium(self):
        return iter(self.premium_rows())

    def expense(self):
        classes = [(c, c[2]) for c in EXPENSE_CLASSES]
        for _ in range(self.n("f_expense")):
            c = self.pick(classes)
            p = self.product()
            yield ("G" if self.r.random() < 0.8 else "J", self.branch()[0], self.date(),
                   self.channel_for(p), p[0], c[0], c[1][self.r.randrange(len(c[1]))],
                   self.pick(PAY_TYPES), self.money(2500), 1 + int(self.r.expovariate(0.5)))

    def agent_newbiz_rows(self):
        """New business of the agents: the listed company's first-year premium of
        the agent channel, each receipt booked to a workplace of its branch."""
        if self._newbiz is None:
            by_branch = {}
            for wp in self.workplaces:
                by_branch.setdefault(wp[1][:6], []).append(wp[0])
            self._newbiz = [
                (self.r.choice(by_branch[row[1]]), row[2], row[4], row[5], row[8], row[9])
                for row in self.premium_rows()
                if row[0] == "G" and row[3] == AGENT_CHANNEL and row[7] == "首期"]
        return self._newbiz

    def agent_newbiz(self):
        return iter(self.agent_newbiz_rows())

    def short_claim(self):
        """Premium and claims of the listed company's short-term business; the loss
        ratio depends on the product and the year."""
        short = {p[0] for p in PRODUCTS if p[5] == "短期"}
        for row in self.premium_rows():
            if row[0] != "G" or row[4] not in short:
                continue
            ratio = LOSS_RATIOS[row[4]] * LOSS_YEAR[row[2][:4]]
            claim = 0.0
            if self.r.random() < 0.7:
                claim = round(row[8] * max(0.0, self.r.gauss(ratio / 0.7, 0.25)), 2)
            yield (row[1], row[2], row[3], row[4], row[8], claim)

    def group_kpi(self):
        """Group business of the listed company's group direct channel."""
        for row in self.premium_rows():
            if row[0] == "G" and row[3] == GROUP_DIRECT_CHANNEL:
                yield (row[1], row[2], row[4], row[8], row[9],
                       round(row[8] * self.r.uniform(0.01, 0.05), 2))

    def surrender(self):
        long_personal = [p for p in self.personal if p[5] == "长期"]
        for _ in range(self.n("f_surrender")):
            p = self.product(long_personal)
            d = self.date()
            uw = int(d[:4]) - min(12, int(self.r.expovariate(0.35)))
            new = self.money(3000) if uw == int(d[:4]) else 0.0
            yield ("G" if self.r.random() < 0.8 else "J", self.branch()[0], d, uw, p[0],
                   self.pay_mode(p), self.money(6000), new, self.money(2500) if not new else 0.0)

    def withdrawal(self):
        for _ in range(self.n("f_withdrawal")):
            p = self.product()
            yield (self.branch()[0], self.date(), self.channel_for(p), p[0], self.pay_mode(p),
                   self.money(3500), 1 + int(self.r.expovariate(1.5)))

    def policy(self):
        for i in range(self.n("f_policy")):
            p = self.product(self.personal)
            age = min(80, max(0, int(self.r.gauss(38, 14))))
            if p[3] == "学平险":
                age = self.r.randrange(3, 18)
            yield ("P%010d" % (i + 1), p[0], "男" if self.r.random() < 0.48 else "女",
                   self.pick(OCCUPATIONS), self.pick(POLICY_STATES), self.pay_mode(p), age,
                   self.money(3000))

    def months(self):
        for y in range(DATE_FROM.year, DATE_TO.year + 1):
            for m in range(1, 13):
                yield f"{y}-{m:02d}"

    def agent_month(self):
        """Monthly head counts per branch and rank: a month begins with the head
        count the month before ended with; joins come in at the lowest rank and
        promotions move agents up one rank. The new business of the month is the
        agents' new premium (f_agent_newbiz), shared among the ranks."""
        sales = {}
        for wp, d, _, _, amnt, num in self.agent_newbiz_rows():
            key = (wp[:6], d[:7])
            prem, pols = sales.get(key, (0.0, 0))
            sales[key] = (prem + amnt, pols + num)
        months = list(self.months())
        for b in self.branches:
            size = int(60 * b[5] * self.scale) + 10
            heads = [max(3, round(size * share)) for share in RANK_SHARE]
            for month in months:
                prem, pols = sales.get((b[0], month), (0.0, 0))
                shares = [round(prem * x, 2) for x in RANK_PREMIUM[:-1]]
                shares.append(round(prem - sum(shares), 2))
                moved = [0] + [int(heads[i] * self.r.uniform(0.0, 0.03)) for i in range(len(RANKS) - 1)]
                for i, rank in enumerate(RANKS):
                    yield self.agent_month_row(month, b[0], i, heads, moved, shares[i], pols)

    def agent_month_row(self, month, branch, i, heads, moved, prem, pols):
        rank = RANKS[i]
        begin = heads[i]
        join = int(begin * self.r.uniform(0.02, 0.12)) if i == 0 else 0
        up_in, up_out = moved[i], moved[i + 1] if i + 1 < len(moved) else 0
        leave = min(begin - up_out, int(begin * self.r.uniform(0.0, 0.08)))
        demote = int(begin * self.r.uniform(0, 0.02)) if i > 0 else 0
        end = max(1, begin + join + up_in - up_out - leave)
        heads[i] = end
        active = max(1, int(end * self.r.uniform(0.3, 0.7)))
        lic = int(end * self.r.uniform(0.85, 1.0))
        new_prem = prem
        new_pol = int(round(pols * RANK_PREMIUM[i]))
        short_cnt = int(new_pol * self.r.uniform(0.1, 0.4))
        return (month, branch, rank, begin, end, join, leave, up_out, demote,
                round((begin + end) / 2, 2), active, int(join * self.r.uniform(0.2, 0.6)),
                int(active * self.r.uniform(0.05, 0.2)), int(end * self.r.uniform(0.4, 0.8)),
                new_pol, new_prem, round(new_prem * self.r.uniform(0.6, 1.0), 2),
                round(new_prem * self.r.uniform(0.5, 0.9), 2), new_pol - short_cnt, short_cnt,
                round(short_cnt * self.money(400), 2), int(end * self.r.uniform(0, 0.1)),
                end if rank != "业务员" else 0, lic, int(join * self.r.uniform(0.5, 1.0)),
                int(end * self.r.uniform(1, 4)), int(end * self.r.uniform(15, 22)),
                int(leave * self.r.uniform(0.7, 1.0)))

    def agent_appraisal(self):
        quarter_ends = [m for m in self.months() if m[5:] in ("03", "06", "09", "12")]
        for wp in self.workplaces:
            size = 8 + self.r.randrange(30)
            for month in quarter_ends:
                for rank, share in zip(RANKS, RANK_SHARE):
                    total = int(size * share * self.r.uniform(0.8, 1.2))
                    passed = int(total * self.r.uniform(0.5, 0.9))
                    should_up = int(passed * self.r.uniform(0, 0.2)) if rank != RANKS[-1] else 0
                    up = int(should_up * self.r.uniform(0.6, 1.0))
                    should_down = round((total - passed) * self.r.uniform(0.2, 0.8)) if rank != RANKS[0] else 0
                    yield (month, wp[0], rank, total, passed, total - passed, passed - should_up,
                           should_up, up, should_up - up, int(total * self.r.uniform(0, 0.1)),
                           int(total * self.r.uniform(0, 0.05)), int((total - passed) * self.r.uniform(0, 0.3)),
                           should_down, round(should_down * self.r.uniform(0.5, 1.0)))

    def receivable(self):
        for _ in range(self.n("f_receivable")):
            p = self.product()
            yield (self.branch()[0], self.date(), self.channel_for(p), p[0], self.money(2800),
                   1 + int(self.r.expovariate(1.0)))

    def payable(self):
        for _ in range(self.n("f_payable")):
            p = self.product()
            yield ("G" if self.r.random() < 0.75 else "J", self.branch()[0], self.date(),
                   self.channel_for(p), p[0], self.money(3200), 1 + int(self.r.expovariate(1.0)))

    def renewal_due(self):
        renewable = [p for p in self.personal if p[5] == "长期"]
        for _ in range(self.n("f_renewal_due")):
            p = self.product(renewable)
            yield (self.branch()[0], self.date(datetime.date(2025, 1, 1), 365), p[0],
                   self.money(3000), 1 + int(self.r.expovariate(0.7)))


FACT_TABLES = ["f_premium", "f_expense", "f_agent_newbiz", "f_short_claim", "f_group_kpi",
               "f_surrender", "f_withdrawal", "f_policy", "f_agent_month", "f_agent_appraisal",
               "f_receivable", "f_payable", "f_renewal_due"]


def org_rows(g):
    """The organisation as one table: regions, their cities, the cities' branches,
    each row naming its parent's code (a lookup hierarchy in one table)."""
    for code, name, _ in REGIONS:
        yield code, name, None, 1
    for code, name, cities in REGIONS:
        for city in cities:
            yield city, next(b[4] for b in g.branches if b[3] == city), code, 2
    for b in g.branches:
        yield b[0], b[1], b[3], 3


def tables(g):
    yield "d_branch", (b[:5] for b in g.branches)
    yield "d_org", org_rows(g)
    yield "d_channel", iter(CHANNELS)
    yield "d_product", (p[:6] for p in PRODUCTS)
    yield "d_sales_area", iter(g.areas)
    yield "d_workplace", iter(g.workplaces)
    for name in FACT_TABLES:
        yield name, getattr(g, name[2:])()


def pg_text(v):
    if v is None:
        return "\\N"
    s = str(v)
    return s.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--out", required=True, help="SQLite database to write (replaced)")
    ap.add_argument("--seed", type=int, default=20040315)
    ap.add_argument("--scale", type=float, default=1.0, help="multiplies the fact rows (1 = about 300k)")
    ap.add_argument("--pg-sql", help="also write a psql script that creates and loads the same tables")
    args = ap.parse_args()
    if args.scale <= 0:
        ap.error("--scale must be positive")

    tmp = args.out + ".tmp"
    if os.path.exists(tmp):
        os.remove(tmp)
    db = sqlite3.connect(tmp)
    db.executescript("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;" + DDL)
    pg = open(args.pg_sql + ".tmp", "w", encoding="utf-8") if args.pg_sql else None
    if pg:
        pg.write("\\set ON_ERROR_STOP on\nSET client_encoding = 'UTF8';\nSET client_min_messages = warning;\nBEGIN;\n")
        pg.write("".join(f"DROP TABLE IF EXISTS {name};\n" for name in
                         ["d_branch", "d_org", "d_channel", "d_product", "d_sales_area", "d_workplace",
                          "m_premium_sum"] + FACT_TABLES))
        pg.write(DDL)
    g = Gen(args.seed, args.scale)
    total = 0
    for name, rows in tables(g):
        cols = [r[1] for r in db.execute(f"PRAGMA table_info({name})")]
        insert = f"INSERT INTO {name} VALUES ({','.join('?' * len(cols))})"
        if pg:
            pg.write(f"COPY {name} ({', '.join(cols)}) FROM stdin;\n")
        batch = []
        count = 0
        for row in rows:
            batch.append(row)
            if pg:
                pg.write("\t".join(pg_text(v) for v in row) + "\n")
            if len(batch) == 10000:
                db.executemany(insert, batch)
                count += len(batch)
                batch.clear()
        db.executemany(insert, batch)
        count += len(batch)
        if pg:
            pg.write("\\.\n")
        if name.startswith("f_"):
            total += count
    db.executescript(SUMMARY_SQL)
    db.commit()
    db.execute("ANALYZE")
    db.close()
    os.replace(tmp, args.out)
    if pg:
        pg.write(SUMMARY_SQL + "COMMIT;\nANALYZE;\n")
        pg.close()
        os.replace(args.pg_sql + ".tmp", args.pg_sql)
    print(f"gen_demo_db: {total} fact rows -> {args.out}", file=sys.stderr)


if __name__ == "__main__":
    main()
