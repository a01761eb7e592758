// The cells the fact scan accumulates into: per cell key the record count and,
// per summary, the sum, minimum and maximum of the values added under it.
// Cells are numbered in order of first appearance and lie side by side, so an
// accumulator holds only the cells its records reach. While the key space is
// small the slot of a key is found in an array indexed by the key itself (4
// bytes a key, most of them never used); otherwise behind an open-addressing
// index. Like every accumulator it has four steps: Start, Add,
// Merge (two accumulators over separate record ranges combine, in a fixed
// order, into what one accumulator over both ranges would hold), Finish.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/aggregate/aggregate.h"
#include "engine/aggregate/aggregate_buffer.h"

namespace qd {

//! The base totals of a scan: the keys that received records, ascending, and
//! per summary its sums, counts, minimums and maximums aligned with them.
struct TBaseScan {
  TKeyListPtr Keys = std::make_shared<TKeyList>();
  //! In the order of the summaries asked for; every one shares Keys.
  std::vector<std::unique_ptr<TTotals>> Totals;
  //! Per fact record, the position of its key in Keys, -1 when the record was
  //! skipped. Empty unless asked for.
  TBigVector<std::int32_t> RecordCell;
};

class TScanCells {
 public:
  //! A dense key index takes at most this many bytes.
  static constexpr std::uint64_t kDenseBytes = std::uint64_t{16} << 20;
  //! Key spaces up to this size are always dense (within kDenseBytes).
  static constexpr std::uint64_t kDenseKeys = std::uint64_t{1} << 16;

  //! Empties the accumulator for keys below `keyBound` and `summaries` values
  //! per record. Dense when the key index fits kDenseBytes and the key space
  //! is no larger than kDenseKeys or four times the `records` to be added.
  void Start(std::uint64_t keyBound, int summaries, std::int64_t records);
  bool Dense() const { return FDense; }
  int Summaries() const { return FSummaries; }

  //! The slot of a key, created empty on first use.
  std::int32_t Slot(std::uint64_t key) {
    if (!FDense) return HashedSlot(key);
    std::int32_t& entry = FIndex[static_cast<std::size_t>(key)];
    if (entry == 0) entry = NewSlot(key) + 1;
    return entry - 1;
  }
  //! Asks the memory for where Slot(key) will look, ahead of time.
  void Prefetch(std::uint64_t key) const {
    if (FDense) __builtin_prefetch(FIndex.data() + key);
  }
  //! Adds one record, its values in summary order, to a slot.
  void Add(std::int32_t slot, const double* values) {
    double* c = &FCells[static_cast<std::size_t>(slot) * FStride];
    if (c[0] == 0) {
      c[0] = 1;
      for (int s = 0; s < FSummaries; ++s, c += 3) c[1] = c[2] = c[3] = values[s];
      return;
    }
    c[0] += 1;
    for (int s = 0; s < FSummaries; ++s, c += 3) {
      const double v = values[s];
      c[1] += v;
      if (v < c[2]) c[2] = v;
      if (!(v <= c[3])) c[3] = v;
    }
  }

  //! Adds one weighted record: `count` facts whose values sum to `values`,
  //! with per summary their minimum and maximum.
  void AddWeighted(std::int32_t slot, const double* values, double count, const double* mins,
                   const double* maxs) {
    double* c = &FCells[static_cast<std::size_t>(slot) * FStride];
    const bool first = c[0] == 0;
    c[0] += count;
    for (int s = 0; s < FSummaries; ++s, c += 3) {
      if (first) {
        c[1] = values[s];
        c[2] = mins[s];
        c[3] = maxs[s];
        continue;
      }
      c[1] += values[s];
      if (mins[s] < c[2]) c[2] = mins[s];
      if (!(maxs[s] <= c[3])) c[3] = maxs[s];
    }
  }

  //! Adds the cells of `other` (started with the same bound and summaries) as
  //! if its records came after this one's. Returns, per slot of `other`, its
  //! slot here (-1 for slots without records).
  std::vector<std::int32_t> Merge(const TScanCells& other);
  //! The cells in ascending key order. `recordSlots`, when given, holds slots
  //! of this accumulator (or -1) and is turned into cell positions.
  TBaseScan Finish(TBigVector<std::int32_t>* recordSlots) const;

 private:
  std::int32_t HashedSlot(std::uint64_t key);
  std::int32_t NewSlot(std::uint64_t key);
  void GrowIndex();
  //! Slots with records, in ascending key order.
  std::vector<std::int32_t> OrderedSlots() const;
  const double* Cell(std::int32_t slot) const {
    return &FCells[static_cast<std::size_t>(slot) * FStride];
  }
  std::int32_t SlotCount() const { return static_cast<std::int32_t>(FKeys.size()); }

  bool FDense = true;
  int FSummaries = 0;
  std::size_t FStride = 1;  // count, then sum, min, max per summary
  std::uint64_t FKeyBound = 0;
  TBigVector<double> FCells;
  // The key of each slot; slot + 1 per index entry, 0 for none (dense: the
  // entry of a key is at the key, else found by hashing).
  std::vector<std::uint64_t> FKeys;
  std::vector<std::int32_t> FIndex;
  std::uint64_t FIndexMask = 0;
};

}  // namespace qd
