#include "engine/aggregate/aggregate_scan.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/worker_threads.h"

namespace qd {

namespace {

constexpr std::uint64_t kSkip = std::numeric_limits<std::uint64_t>::max();

[[noreturn]] void RaiseInternal() {
  throw EGenericError(Msg(TMsg::SInternalCalcError));
}

}  // namespace

TFactScan::TFactScan(const TFactTable& facts, const TScanRequest& request)
    : FFacts(facts), FKeepRecordCells(request.KeepRecordCells) {
  auto checkDim = [&](int d) {
    if (d < 0 || d >= facts.DimCount()) RaiseInternal();
    return 4 * d;
  };
  for (const TScanDim& dim : request.Dims) {
    TPosition& p = FPositions.emplace_back(TPosition{checkDim(dim.DimIndex), dim.Name, {}});
    std::uint64_t largest = 0;
    p.Share.reserve(dim.MemberDigit.size());
    for (std::int32_t digit : dim.MemberDigit) {
      const std::uint64_t share =
          digit < 0 ? kSkip : static_cast<std::uint64_t>(digit) * dim.Multiplier;
      p.Share.push_back(share);
      if (share != kSkip && share > largest) largest = share;
    }
    FKeyBound += largest;
  }
  for (const TScanFilter& filter : request.Filters) {
    TPosition& p = FPositions.emplace_back(TPosition{checkDim(filter.DimIndex), filter.Name, {}});
    p.Share.reserve(filter.MemberAccepted.size());
    for (std::uint8_t accepted : filter.MemberAccepted) p.Share.push_back(accepted ? 0 : kSkip);
  }
  for (int s : request.Summaries) {
    if (s < 0 || s >= facts.SumCount()) RaiseInternal();
    FValueOffsets.push_back(facts.ValueOffset(s));
    FSummaries.push_back(s);
  }
  if (const TFactWeights* w = facts.Weights();
      w && (w->RecordCount() != facts.RecordCount() || w->SumCount() != facts.SumCount()))
    RaiseInternal();
}

void TFactScan::Start(TScanCells& cells, std::int64_t records) const {
  cells.Start(FKeyBound, static_cast<int>(FValueOffsets.size()), records);
}

void TFactScan::RaiseBadMember(std::int32_t record, std::size_t position,
                               std::uint32_t member) const {
  throw ECubeError(Format(Msg(TMsg::SBadFactMember), record, FPositions[position].Name,
                          static_cast<std::int32_t>(member)));
}

void TFactScan::Scan(std::int32_t first, std::int32_t last, TScanCells& cells,
                     std::int32_t* slots) const {
  // The hot loop reads flat copies of the positions.
  struct TFlat {
    int Offset;
    std::uint32_t Members;
    const std::uint64_t* Share;
  };
  std::vector<TFlat> positions;
  for (const TPosition& p : FPositions)
    positions.push_back({p.Offset, static_cast<std::uint32_t>(p.Share.size()), p.Share.data()});
  const std::size_t summaries = FValueOffsets.size();
  std::vector<double> values(summaries);
  const TFactWeights* weights = FFacts.Weights();
  std::vector<double> mins(weights ? summaries : 0), maxs(weights ? summaries : 0);
  // Records go in blocks: first the keys of a block, each key's slot asked
  // for ahead, then the values, so that the slot look-ups overlap.
  constexpr std::int32_t kBlock = 64;
  std::uint64_t keys[kBlock];
  bool skips[kBlock];
  for (std::int32_t begin = first; begin < last;) {
    const std::int32_t end = last - begin > kBlock ? begin + kBlock : last;
    for (std::int32_t r = begin; r < end; ++r) {
      const std::uint8_t* record = FFacts.Record(r);
      std::uint64_t key = 0;
      bool skip = false;
      // Every member is checked, also in records that an earlier one skips.
      for (const TFlat& p : positions) {
        std::uint32_t m;
        std::memcpy(&m, record + p.Offset, 4);
        if (m >= p.Members) RaiseBadMember(r, static_cast<std::size_t>(&p - positions.data()), m);
        const std::uint64_t share = p.Share[m];
        skip |= share == kSkip;
        key += share;
      }
      keys[r - begin] = key;
      skips[r - begin] = skip;
      if (!skip) cells.Prefetch(key);
    }
    for (std::int32_t r = begin; r < end; ++r) {
      if (skips[r - begin]) {
        if (slots) slots[r - first] = -1;
        continue;
      }
      const std::uint8_t* record = FFacts.Record(r);
      for (std::size_t s = 0; s < summaries; ++s)
        std::memcpy(&values[s], record + FValueOffsets[s], 8);
      const std::int32_t slot = cells.Slot(keys[r - begin]);
      if (weights) {
        for (std::size_t s = 0; s < summaries; ++s) {
          const double* parts = weights->Parts(r, FSummaries[s]);
          mins[s] = parts[TFactWeights::wpMin];
          maxs[s] = parts[TFactWeights::wpMax];
        }
        cells.AddWeighted(slot, values.data(), weights->Count(r), mins.data(), maxs.data());
      } else {
        cells.Add(slot, values.data());
      }
      if (slots) slots[r - first] = slot;
    }
    begin = end;
  }
}

TBaseScan TFactScan::Run() const {
  const std::int32_t records = FFacts.RecordCount();
  const int parts = records / ScanRangeRecords() >= 2 ? 2 : 1;
  std::vector<std::int32_t> bounds(static_cast<std::size_t>(parts) + 1);
  for (int i = 0; i <= parts; ++i)
    bounds[static_cast<std::size_t>(i)] =
        static_cast<std::int32_t>(static_cast<std::int64_t>(records) * i / parts);
  TBigVector<std::int32_t> slots;
  if (FKeepRecordCells) slots.resize(static_cast<std::size_t>(records));
  std::vector<TScanCells> cells(static_cast<std::size_t>(parts));
  RunParts(parts, [&](int part) {
    const auto i = static_cast<std::size_t>(part);
    // Every part sizes its cells for the whole table, so that all choose alike.
    Start(cells[i], records);
    Scan(bounds[i], bounds[i + 1], cells[i], FKeepRecordCells ? slots.data() + bounds[i] : nullptr);
  });
  for (std::size_t i = 1; i < cells.size(); ++i) {
    const std::vector<std::int32_t> map = cells[0].Merge(cells[i]);
    if (!FKeepRecordCells) continue;
    for (std::int32_t r = bounds[i]; r < bounds[i + 1]; ++r) {
      std::int32_t& slot = slots[static_cast<std::size_t>(r)];
      if (slot >= 0) slot = map[static_cast<std::size_t>(slot)];
    }
  }
  return cells[0].Finish(FKeepRecordCells ? &slots : nullptr);
}

void TFactScan::ForEachRecordCell(const std::vector<std::int64_t>& keys,
                                  const TRecordCellVisit& visit) const {
  const std::int32_t records = FFacts.RecordCount();
  // Each range in two halves on the worker threads when the table is large,
  // each half into cells of its own, both seeded in ascending key order so
  // that their slots are the positions in `keys`.
  const int parts = records / ScanRangeRecords() >= 2 ? 2 : 1;
  std::vector<TScanCells> cells(static_cast<std::size_t>(parts));
  for (TScanCells& c : cells) {
    Start(c, records);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      const std::int64_t key = keys[i];
      if (key < 0 || static_cast<std::uint64_t>(key) >= FKeyBound || (i > 0 && key <= keys[i - 1]))
        RaiseInternal();
      c.Slot(static_cast<std::uint64_t>(key));
    }
  }
  const auto known = static_cast<std::int32_t>(keys.size());
  constexpr std::int32_t kRange = 1 << 18;
  std::vector<std::int32_t> slots(static_cast<std::size_t>(std::min(kRange, records)));
  for (std::int32_t first = 0; first < records;) {
    const std::int32_t n = std::min(kRange, records - first);
    RunParts(parts, [&](int part) {
      const std::int32_t a = n / parts * part, b = part + 1 == parts ? n : n / parts * (part + 1);
      Scan(first + a, first + b, cells[static_cast<std::size_t>(part)], slots.data() + a);
    });
    const std::span<const std::int32_t> range(slots.data(), static_cast<std::size_t>(n));
    for (const std::int32_t slot : range)
      if (slot >= known) RaiseInternal();
    visit(first, range);
    first += n;
  }
}

namespace {
constexpr std::int32_t kDefaultRangeRecords = 1 << 18;
std::atomic<std::int32_t> gRangeRecords{kDefaultRangeRecords};
}  // namespace

std::int32_t ScanRangeRecords() {
  return gRangeRecords.load(std::memory_order_relaxed);
}

void SetScanRangeRecords(std::int32_t records) {
  gRangeRecords.store(records > 0 ? records : kDefaultRangeRecords, std::memory_order_relaxed);
}

TBaseScan ScanFacts(const TFactTable& facts, const TScanRequest& request) {
  return TFactScan(facts, request).Run();
}

}  // namespace qd
