// The fact table of a built cube: one fixed-size record per fact, held in one
// contiguous byte block so that it can be written and read as a whole.
//
// Record layout (D dimensions, S summaries), little-endian:
//   bytes [0, 4·D)          D signed 32-bit member indexes, in dimension-index order
//   bytes [4·D, 4·D + 8·S)  S IEEE doubles, in summary-index order
// A record is not aligned to 8 bytes when D is odd; the accessors below read
// through Load and Store, which the compiler turns into plain unaligned moves.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/bytes.h"
#include "engine/cube/fact_weights.h"

namespace qd {

class TFactTable {
 public:
  TFactTable(int dimCount, int sumCount);
  ~TFactTable();
  TFactTable(const TFactTable&) = delete;
  TFactTable& operator=(const TFactTable&) = delete;

  int DimCount() const { return FDimCount; }
  int SumCount() const { return FSumCount; }
  //! 4·D + 8·S.
  int RecordSize() const { return FRecordSize; }
  //! Byte offset of summary s inside a record: 4·D + 8·s.
  int ValueOffset(int s) const { return 4 * FDimCount + 8 * s; }
  std::int32_t RecordCount() const { return FCount; }

  // ---- Direct access (the fast path for aggregation). No range checks. ----
  //! The whole block: RecordCount() · RecordSize() bytes.
  const std::uint8_t* Data() const { return FData; }
  const std::uint8_t* Record(std::int32_t r) const { return FData + Offset(r); }
  std::uint8_t* MutableRecord(std::int32_t r) { return FData + Offset(r); }
  //! Member index of dimension d in record r.
  std::int32_t Member(std::int32_t r, int d) const { return Load<std::int32_t>(Record(r) + 4 * d); }
  //! Value of summary s in record r.
  double Value(std::int32_t r, int s) const { return Load<double>(Record(r) + ValueOffset(s)); }
  void SetMember(std::int32_t r, int d, std::int32_t m) { Store(MutableRecord(r) + 4 * d, m); }
  void SetValue(std::int32_t r, int s, double v) { Store(MutableRecord(r) + ValueOffset(s), v); }

  // ---- Cursor ----
  //! Goes to record 0; Eof() when the table is empty.
  void First() { GoTo(0); }
  //! Goes to record r; Eof() when r is outside the records.
  void GoTo(std::int32_t r);
  //! Moves on; Eof() past the last record.
  void Next() { GoTo(FCurrent + 1); }
  bool Eof() const { return FEof; }
  std::int32_t RecNo() const { return FCurrent; }
  //! The current record; nullptr at Eof.
  const std::uint8_t* CurrentRecord() const { return FEof ? nullptr : Record(FCurrent); }
  std::int32_t CurMember(int d) const { return Member(FCurrent, d); }
  double CurValue(int s) const { return Value(FCurrent, s); }
  void SetCurMember(int d, std::int32_t m) { SetMember(FCurrent, d, m); }
  void SetCurValue(int s, double v) { SetValue(FCurrent, s, v); }

  // ---- Building ----
  //! Appends a zeroed record and makes it current; returns its number.
  std::int32_t Append();
  //! Drops every record from r on (r ≤ RecordCount()); the cursor goes to Eof.
  void Truncate(std::int32_t r);
  void Clear() { Truncate(0); }
  //! Makes room for n records without changing the count.
  void Reserve(std::int32_t n);
  //! Replaces the records with `count` records of raw bytes in the layout above
  //! (the reader of stored cubes uses this).
  void Assign(const std::uint8_t* bytes, std::int32_t count);
  //! Takes over a malloc'ed block whose bytes from `records` on hold `count`
  //! records in the layout above: the reader of stored cubes decodes a file
  //! straight into such a block. The block is freed with the table.
  void Adopt(void* block, const std::uint8_t* records, std::int32_t count);

  // ---- Weighted records (a cube aggregated in the database) ----
  //! The counts and moments beside the records; nullptr for one record per fact.
  const TFactWeights* Weights() const { return FWeights.get(); }
  TFactWeights* Weights() { return FWeights.get(); }
  //! Gives the table weighted records (of its summary count), or none.
  void SetWeights(std::unique_ptr<TFactWeights> weights) { FWeights = std::move(weights); }
  TBuildMode Mode() const {
    return FWeights ? TBuildMode::bmAggregatedInDatabase : TBuildMode::bmEveryRow;
  }

  //! Bytes held, including spare room.
  std::int64_t AllocatedBytes() const { return static_cast<std::int64_t>(FCapacity) * FRecordSize; }

 private:
  std::int64_t Offset(std::int32_t r) const { return static_cast<std::int64_t>(r) * FRecordSize; }
  void Grow(std::int32_t minCapacity);

  int FDimCount, FSumCount, FRecordSize;
  // The records; an adopted block may hold other bytes before them.
  std::uint8_t* FData = nullptr;
  void* FBlock = nullptr;
  std::int32_t FCount = 0, FCapacity = 0;
  std::int32_t FCurrent = 0;
  bool FEof = true;
  std::unique_ptr<TFactWeights> FWeights;
};

}  // namespace qd
