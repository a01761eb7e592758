// The fact scan against record-by-record additions into one accumulator per
// summary, in dense and hashed cells, whole and in merged record ranges.
#include "engine/aggregate/aggregate_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <stdexcept>
#include <string>

#include "engine/aggregate/aggregate_two_pass.h"
#include "engine/core/errors.h"
#include "engine/core/worker_threads.h"

namespace qd {
namespace {

struct TScanCase {
  std::unique_ptr<TFactTable> facts;
  TScanRequest request;
};

// Dimensions 0..2 active (dimension 1 has parent members: digit -1), dimension
// 3 a filtered page; summaries 2 and 0 of three. `wide` makes the key space
// too large for dense cells.
TScanCase MakeCase(std::uint64_t seed, bool wide, int records = 5000) {
  std::mt19937_64 rng(seed);
  TScanCase c;
  const int members[] = {6, 9, 4, 5};
  c.facts = std::make_unique<TFactTable>(4, 3);
  for (int i = 0; i < records; ++i) {
    std::int32_t r = c.facts->Append();
    for (int d = 0; d < 4; ++d)
      c.facts->SetMember(r, d, static_cast<std::int32_t>(rng() % members[d]));
    for (int s = 0; s < 3; ++s)
      c.facts->SetValue(r, s, static_cast<double>(rng() % 2001) / 7 - 100);
  }
  const std::uint64_t multipliers[] = {wide ? std::uint64_t{1} << 40 : 50,
                                       wide ? std::uint64_t{1} << 20 : 5, 1};
  for (int d = 0; d < 3; ++d) {
    TScanDim& dim = c.request.Dims.emplace_back();
    dim.DimIndex = d;
    dim.Multiplier = multipliers[d];
    dim.Name = "D" + std::to_string(d);
    for (int m = 0; m < members[d]; ++m)
      dim.MemberDigit.push_back(d == 1 && m % 4 == 0 ? -1 : members[d] - 1 - m);
  }
  c.request.Filters.push_back({3, {1, 0, 1, 1, 0}, "Page"});
  c.request.Summaries = {2, 0};
  return c;
}

// Key of record r, -1 when the request skips it.
std::int64_t NaiveKey(const TScanCase& c, std::int32_t r) {
  std::int64_t key = 0;
  bool skip = !c.request.Filters[0].MemberAccepted[c.facts->Member(r, 3)];
  for (const TScanDim& d : c.request.Dims) {
    const std::int32_t digit = d.MemberDigit[c.facts->Member(r, d.DimIndex)];
    skip = skip || digit < 0;
    key += static_cast<std::int64_t>(digit) * static_cast<std::int64_t>(d.Multiplier);
  }
  return skip ? -1 : key;
}

void ExpectRecordCells(const TScanCase& c, const TBaseScan& scan) {
  ASSERT_EQ(scan.RecordCell.size(), static_cast<std::size_t>(c.facts->RecordCount()));
  for (std::int32_t r = 0; r < c.facts->RecordCount(); ++r) {
    const std::int64_t key = NaiveKey(c, r);
    const std::int32_t cell = scan.RecordCell[r];
    if (key < 0) {
      EXPECT_EQ(cell, -1) << r;
    } else {
      ASSERT_GE(cell, 0) << r;
      EXPECT_EQ((*scan.Keys)[cell], key) << r;
    }
  }
}

TEST(FactScan, EqualsRecordByRecordAccumulationInDenseAndHashedCells) {
  for (bool wide : {false, true}) {
    TScanCase c = MakeCase(wide ? 2 : 1, wide);
    c.request.KeepRecordCells = true;
    const TFactScan prepared(*c.facts, c.request);
    TScanCells cells;
    prepared.Start(cells, c.facts->RecordCount());
    EXPECT_EQ(cells.Dense(), !wide);
    const TBaseScan scan = prepared.Run();

    std::vector<TSummaryArray> reference(2);
    for (std::int32_t r = 0; r < c.facts->RecordCount(); ++r) {
      const std::int64_t key = NaiveKey(c, r);
      if (key < 0) continue;
      for (int i = 0; i < 2; ++i) reference[i].Add(key, c.facts->Value(r, c.request.Summaries[i]));
    }
    auto keys = std::make_shared<TKeyList>();
    ASSERT_EQ(scan.Totals.size(), 2u);
    for (int i = 0; i < 2; ++i) {
      auto want = reference[i].ToTotals(keys);
      EXPECT_EQ(*scan.Keys, *keys);
      EXPECT_EQ(scan.Totals[i]->Sums, want->Sums);  // same order of additions: exact
      EXPECT_EQ(scan.Totals[i]->Counts, want->Counts);
      EXPECT_EQ(scan.Totals[i]->Mins, want->Mins);
      EXPECT_EQ(scan.Totals[i]->Maxs, want->Maxs);
      EXPECT_EQ(&scan.Totals[i]->Keys(), scan.Keys.get());
    }
    ExpectRecordCells(c, scan);
  }
}

// Two accumulators over the two halves of the records, merged in order, hold
// what one accumulator over all records holds; the second half's record slots
// follow the merge.
TEST(FactScan, RangesMergeIntoTheWholeScan) {
  for (bool wide : {false, true}) {
    TScanCase c = MakeCase(wide ? 4 : 3, wide);
    const TBaseScan whole = ScanFacts(*c.facts, c.request);
    const TFactScan prepared(*c.facts, c.request);
    const std::int32_t n = c.facts->RecordCount(), half = n / 3;
    TScanCells first, second;
    prepared.Start(first, half);
    prepared.Start(second, n - half);
    TBigVector<std::int32_t> slots(static_cast<std::size_t>(n));
    prepared.Scan(0, half, first, slots.data());
    prepared.Scan(half, n, second, slots.data() + half);
    const std::vector<std::int32_t> map = first.Merge(second);
    for (std::int32_t r = half; r < n; ++r)
      if (slots[r] >= 0) slots[r] = map[static_cast<std::size_t>(slots[r])];
    const TBaseScan merged = first.Finish(&slots);

    EXPECT_EQ(*merged.Keys, *whole.Keys);
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(merged.Totals[i]->Counts, whole.Totals[i]->Counts);
      EXPECT_EQ(merged.Totals[i]->Mins, whole.Totals[i]->Mins);
      EXPECT_EQ(merged.Totals[i]->Maxs, whole.Totals[i]->Maxs);
      ASSERT_EQ(merged.Totals[i]->Size(), whole.Totals[i]->Size());
      for (std::size_t k = 0; k < whole.Totals[i]->Size(); ++k)
        EXPECT_NEAR(merged.Totals[i]->Sums[k], whole.Totals[i]->Sums[k], 1e-9) << k;
    }
    ExpectRecordCells(c, merged);
  }
}

// A large table is scanned in two ranges merged in order: one thread and two
// give the same bits, with the counts, extremes and cells of the naive scan.
TEST(FactScan, OneThreadAndTwoGiveTheSameBits) {
  SetScanRangeRecords(1000);
  for (bool wide : {false, true}) {
    TScanCase c = MakeCase(wide ? 7 : 6, wide);
    c.request.KeepRecordCells = true;
    SetWorkerThreads(1);
    const TBaseScan one = ScanFacts(*c.facts, c.request);
    SetWorkerThreads(2);
    const TBaseScan two = ScanFacts(*c.facts, c.request);
    c.request.KeepRecordCells = false;
    SetScanRangeRecords(0);
    const TBaseScan whole = ScanFacts(*c.facts, c.request);
    SetScanRangeRecords(1000);

    EXPECT_EQ(*one.Keys, *two.Keys);
    EXPECT_EQ(*one.Keys, *whole.Keys);
    EXPECT_EQ(one.RecordCell, two.RecordCell);
    ExpectRecordCells(c, two);
    ASSERT_EQ(two.Totals.size(), 2u);
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(one.Totals[i]->Sums, two.Totals[i]->Sums);
      EXPECT_EQ(two.Totals[i]->Counts, whole.Totals[i]->Counts);
      EXPECT_EQ(two.Totals[i]->Mins, whole.Totals[i]->Mins);
      EXPECT_EQ(two.Totals[i]->Maxs, whole.Totals[i]->Maxs);
      for (std::size_t k = 0; k < whole.Totals[i]->Size(); ++k)
        EXPECT_NEAR(two.Totals[i]->Sums[k], whole.Totals[i]->Sums[k], 1e-9) << k;
    }
  }
  SetWorkerThreads(0);
  SetScanRangeRecords(0);
}

// The records' cells told range by range, on one thread or two, are those a
// scan keeping them gives, and the values grouped from them equal the values
// grouped from the kept cells; a key list lacking a record's key, or counts
// that do not fit the records, raise instead of misplacing values.
TEST(FactScan, RecordCellsToldRangeByRangeGroupTheValuesAsKeptCells) {
  SetScanRangeRecords(1000);
  for (bool wide : {false, true}) {
    TScanCase c = MakeCase(wide ? 9 : 8, wide, 300000);
    c.request.KeepRecordCells = true;
    const TBaseScan kept = ScanFacts(*c.facts, c.request);
    c.request.KeepRecordCells = false;
    const TFactScan scan(*c.facts, c.request);
    for (int threads : {1, 2}) {
      SetWorkerThreads(threads);
      std::vector<std::int32_t> told;
      scan.ForEachRecordCell(*kept.Keys, [&](std::int32_t first, std::span<const std::int32_t> cells) {
        EXPECT_EQ(first, static_cast<std::int32_t>(told.size()));
        told.insert(told.end(), cells.begin(), cells.end());
      });
      EXPECT_TRUE(std::equal(told.begin(), told.end(), kept.RecordCell.begin(), kept.RecordCell.end()));
    }
    SetWorkerThreads(0);

    const TTotals& totals = *kept.Totals[0];
    const int summary = c.request.Summaries[0];
    const auto ranges = [&](const TFactScan::TRecordCellVisit& visit) {
      scan.ForEachRecordCell(*kept.Keys, visit);
    };
    const TDPFactData fromKept(*c.facts, summary, kept.RecordCell, totals.Size());
    const TDPFactData fromRanges(*c.facts, summary, ranges, totals.Counts);
    ASSERT_EQ(fromRanges.CellCount(), fromKept.CellCount());
    for (std::size_t k = 0; k < totals.Size(); ++k) {
      const auto a = fromRanges.CellValues(k), b = fromKept.CellValues(k);
      ASSERT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << k;
    }

    TKeyList fewer = *kept.Keys;
    fewer.erase(fewer.begin() + static_cast<std::ptrdiff_t>(fewer.size() / 2));
    EXPECT_THROW(scan.ForEachRecordCell(fewer, [](std::int32_t, std::span<const std::int32_t>) {}),
                 EGenericError);
    for (int off : {-1, 1}) {
      std::vector<std::int32_t> counts = totals.Counts;
      counts[1] += off;
      EXPECT_THROW(TDPFactData(*c.facts, summary, ranges, counts), EGenericError) << off;
    }
  }
  SetScanRangeRecords(0);
}

// Every part runs to its end; the error of the lowest failing part is raised.
TEST(WorkerThreads, RunsEveryPartAndRaisesTheFirstError) {
  for (int threads : {1, 2}) {
    SetWorkerThreads(threads);
    std::vector<int> ran(5, 0);
    try {
      RunParts(5, [&](int part) {
        ran[static_cast<std::size_t>(part)] = 1;
        if (part == 1 || part == 3) throw std::runtime_error("part " + std::to_string(part));
      });
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "part 1");
    }
    EXPECT_EQ(ran, std::vector<int>(5, 1)) << threads;
  }
  SetWorkerThreads(0);
}

// The message names the dimension whose member is outside it, on an active
// position and on a filter, also in a record an earlier position skips.
TEST(FactScan, RaisesNamingTheDimensionOfAMemberOutsideIt) {
  auto expectError = [](const TScanCase& c, const std::string& fragment) {
    try {
      ScanFacts(*c.facts, c.request);
      ADD_FAILURE() << "no error";
    } catch (const ECubeError& e) {
      EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
    }
  };
  TScanCase c = MakeCase(5, false);
  c.facts->SetMember(17, 1, 9);
  expectError(c, "\"D1\"");
  c.facts->SetMember(17, 1, 1);
  c.facts->SetMember(20, 3, -1);
  expectError(c, "\"Page\"");
  c.facts->SetMember(20, 3, 0);
  c.facts->SetMember(30, 1, 0);  // a parent member: the record is skipped
  c.facts->SetMember(30, 2, 4);
  expectError(c, "\"D2\"");
  c.facts->SetMember(30, 2, 0);
  EXPECT_NO_THROW(ScanFacts(*c.facts, c.request));

  // No active dimension: everything lands in key 0.
  const TBaseScan scan = ScanFacts(*c.facts, {{}, {}, {0}, false});
  ASSERT_EQ(scan.Keys->size(), 1u);
  EXPECT_EQ(scan.Totals[0]->Counts[0], c.facts->RecordCount());
}

}  // namespace
}  // namespace qd
