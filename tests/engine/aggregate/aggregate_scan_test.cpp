// The fact scan against record-by-record additions into one accumulator per
// summary.
#include "engine/aggregate/aggregate_scan.h"

#include <gtest/gtest.h>

#include <random>

namespace qd {
namespace {

struct TScanCase {
  std::unique_ptr<TFactTable> facts;
  std::vector<std::vector<std::int32_t>> digits;  // per active position
  std::vector<std::uint64_t> multipliers;
  std::vector<std::uint8_t> pageAccepted;
};

// Dimensions 0..2 active (dimension 1 has parent members: digit -1), dimension
// 3 a filtered page. `wide` makes the key space too large for a direct table.
TScanCase MakeCase(std::uint64_t seed, bool wide) {
  std::mt19937_64 rng(seed);
  TScanCase c;
  const int members[] = {6, 9, 4, 5};
  c.facts = std::make_unique<TFactTable>(4, 3);
  for (int i = 0; i < 5000; ++i) {
    std::int32_t r = c.facts->Append();
    for (int d = 0; d < 4; ++d)
      c.facts->SetMember(r, d, static_cast<std::int32_t>(rng() % members[d]));
    for (int s = 0; s < 3; ++s)
      c.facts->SetValue(r, s, static_cast<double>(rng() % 2001) / 7 - 100);
  }
  for (int d = 0; d < 3; ++d) {
    std::vector<std::int32_t> digit(members[d]);
    for (int m = 0; m < members[d]; ++m) digit[m] = d == 1 && m % 4 == 0 ? -1 : members[d] - 1 - m;
    c.digits.push_back(digit);
  }
  c.multipliers = wide ? std::vector<std::uint64_t>{std::uint64_t{1} << 40, 1 << 20, 1}
                       : std::vector<std::uint64_t>{50, 5, 1};
  c.pageAccepted = {1, 0, 1, 1, 0};
  return c;
}

TEST(FactScan, EqualsRecordByRecordAccumulationOnRandomFacts) {
  for (bool wide : {false, true}) {
    TScanCase c = MakeCase(wide ? 2 : 1, wide);
    std::vector<TScanDim> dims;
    for (int p = 0; p < 3; ++p) dims.push_back({p, c.multipliers[p], c.digits[p]});
    TScanFilter filter{3, c.pageAccepted};
    TBaseScan scan = ScanFacts(*c.facts, dims, {&filter, 1}, 3, true);
    ASSERT_EQ(scan.BadRecord, -1);

    std::vector<TSummaryArray> reference(3);
    std::vector<std::int64_t> recordKey(c.facts->RecordCount(), -1);
    for (std::int32_t r = 0; r < c.facts->RecordCount(); ++r) {
      std::int64_t key = 0;
      bool skip = !c.pageAccepted[c.facts->Member(r, 3)];
      for (int p = 0; p < 3; ++p) {
        std::int32_t digit = c.digits[p][c.facts->Member(r, p)];
        if (digit < 0) skip = true;
        key += static_cast<std::int64_t>(digit) * static_cast<std::int64_t>(c.multipliers[p]);
      }
      if (skip) continue;
      recordKey[r] = key;
      for (int s = 0; s < 3; ++s) reference[s].Add(key, c.facts->Value(r, s));
    }
    auto keys = std::make_shared<TKeyList>();
    for (int s = 0; s < 3; ++s) {
      auto want = reference[s].ToTotals(keys);
      EXPECT_EQ(*scan.Keys, *keys);
      EXPECT_EQ(scan.Totals[s]->Sums, want->Sums);  // same order of additions: exact
      EXPECT_EQ(scan.Totals[s]->Counts, want->Counts);
      EXPECT_EQ(scan.Totals[s]->Mins, want->Mins);
      EXPECT_EQ(scan.Totals[s]->Maxs, want->Maxs);
      EXPECT_EQ(&scan.Totals[s]->Keys(), scan.Keys.get());
    }
    for (std::int32_t r = 0; r < c.facts->RecordCount(); ++r) {
      std::int32_t cell = scan.RecordCell[r];
      if (recordKey[r] < 0) {
        EXPECT_EQ(cell, -1);
      } else {
        ASSERT_GE(cell, 0);
        EXPECT_EQ((*scan.Keys)[cell], recordKey[r]);
      }
    }
  }
}

TEST(FactScan, StopsAtAMemberOutsideItsDimension) {
  TScanCase c = MakeCase(3, false);
  c.facts->SetMember(17, 1, 9);
  std::vector<TScanDim> dims;
  for (int p = 0; p < 3; ++p) dims.push_back({p, c.multipliers[p], c.digits[p]});
  TBaseScan scan = ScanFacts(*c.facts, dims, {}, 3, true);
  EXPECT_EQ(scan.BadRecord, 17);
  EXPECT_EQ(scan.BadDimension, 1);
  EXPECT_TRUE(scan.Totals.empty());

  c.facts->SetMember(17, 1, 0);
  c.facts->SetMember(20, 3, -1);
  TScanFilter filter{3, c.pageAccepted};
  scan = ScanFacts(*c.facts, dims, {&filter, 1}, 3, false);
  EXPECT_EQ(scan.BadRecord, 20);
  EXPECT_EQ(scan.BadDimension, 3);

  // No active dimension: everything lands in key 0.
  scan = ScanFacts(*c.facts, {}, {}, 1, false);
  ASSERT_EQ(scan.Keys->size(), 1u);
  EXPECT_EQ(scan.Totals[0]->Counts[0], c.facts->RecordCount());
}

}  // namespace
}  // namespace qd
