#include "engine/aggregate/aggregate_scan.h"

#include <cstring>
#include <limits>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"

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
  }
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
  for (std::int32_t r = first; r < last; ++r) {
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
    if (skip) {
      if (slots) slots[r - first] = -1;
      continue;
    }
    for (std::size_t s = 0; s < summaries; ++s)
      std::memcpy(&values[s], record + FValueOffsets[s], 8);
    const std::int32_t slot = cells.Slot(key);
    cells.Add(slot, values.data());
    if (slots) slots[r - first] = slot;
  }
}

TBaseScan TFactScan::Run() const {
  const std::int32_t records = FFacts.RecordCount();
  TScanCells cells;
  Start(cells, records);
  TBigVector<std::int32_t> slots;
  if (FKeepRecordCells) slots.resize(static_cast<std::size_t>(records));
  Scan(0, records, cells, FKeepRecordCells ? slots.data() : nullptr);
  return cells.Finish(FKeepRecordCells ? &slots : nullptr);
}

TBaseScan ScanFacts(const TFactTable& facts, const TScanRequest& request) {
  return TFactScan(facts, request).Run();
}

}  // namespace qd
