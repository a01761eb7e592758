// Editing of the memory dataset: edit, insert, append, post, cancel, delete and
// the field reads and writes of the record being edited.
#include <cstring>
#include <limits>

#include "engine/core/format.h"
#include "engine/data/memo_dataset.h"
#include "engine/core/messages.h"

namespace qd {
namespace {

using enum TDataSetState;

const std::vector<TVariant> kNoVariants;

}  // namespace

template <typename Op>
void TvtMemoDataSet::Guarded(const TDataSetErrorEvent& handler, Op op) {
  for (;;) {
    try {
      op();
      return;
    } catch (const Exception& e) {
      if (!handler) throw;
      TDataAction action = TDataAction::daFail;
      handler(*this, e, action);
      if (action == TDataAction::daRetry) continue;
      throw;  // daAbort too: the caller must learn that nothing was done
    }
  }
}

// ---- field buffers ---------------------------------------------------------

const std::uint8_t* TvtMemoDataSet::ActiveBuffer() const {
  if (FFilterIndex >= 0) return RecordData(FFilterIndex);
  if (FEditing) return FEditBuffer.data();
  if (FCur >= 0) return RecordData(FCur);
  return nullptr;
}

const std::vector<TVariant>& TvtMemoDataSet::ActiveVariants() const {
  if (FFilterIndex >= 0) return FRecords[FFilterIndex]->FVariants;
  if (FEditing) return FEditVariants;
  if (FCur >= 0) return FRecords[FCur]->FVariants;
  return kNoVariants;
}

bool TvtMemoDataSet::DataIsNull(int field) const {
  const std::uint8_t* buf = ActiveBuffer();
  return !buf || FLayout.IsNull(buf, field);
}

TVariant TvtMemoDataSet::DataValue(int field) const {
  const std::uint8_t* buf = ActiveBuffer();
  if (!buf) return {};
  return FLayout.Read(buf, ActiveVariants(), field);
}

void TvtMemoDataSet::SetDataValue(int field, const TVariant& v) {
  if (!FEditing) throw EGenericError(Msg(TMsg::SMemoNotEditing));
  FLayout.Write(FEditBuffer.data(), FEditVariants, field, v, Fields(field).DisplayLabel());
  CalcCurrentRecord();
}

// ---- editing ---------------------------------------------------------------

void TvtMemoDataSet::Edit() {
  CheckOpen();
  if (State() == dsEdit || State() == dsInsert) return;
  if (FCur < 0) throw EGenericError(Msg(TMsg::SMemoNoDataFound));
  Fire(BeforeEdit);
  Guarded(OnEditError, [&] {
    const std::uint8_t* data = RecordData(FCur);
    FEditBuffer.assign(RecordSize(), 0);
    if (data) std::memcpy(FEditBuffer.data(), data, RecordSize());
    FEditVariants = FRecords[FCur]->FVariants;
  });
  FEditing = true;
  SetState(dsEdit);
  Fire(AfterEdit);
}

void TvtMemoDataSet::Insert() {
  StartInsert(false);
}

void TvtMemoDataSet::Append() {
  StartInsert(true);
}

void TvtMemoDataSet::StartInsert(bool append) {
  CheckOpen();
  CheckBrowseMode();
  // Refuse at once when the post could never find room.
  if (Count() >= FCapacity && FIncCapacity == 0) throw EGenericError(Msg(TMsg::SMemoCannotAppend));
  Fire(BeforeInsert);
  FEditBuffer.assign(RecordSize(), 0);
  FEditVariants.assign(FLayout.VariantCount(), TVariant{});
  FSavedCur = FCur;
  FAppending = append;
  FEditing = true;
  SetState(dsInsert);
  try {
    Fire(OnNewRecord);
  } catch (...) {
    Cancel();
    throw;
  }
  Fire(AfterInsert);
}

void TvtMemoDataSet::AddRecord() {
  GrowIfFull();
  if (FNextID > std::numeric_limits<std::int32_t>::max())
    throw EGenericError(Msg(TMsg::SMemoCannotAppend));
  int index = Count();
  FRecords.reserve(FRecords.size() + 1);
  std::unique_ptr<TvtRecord> rec(new TvtRecord(this, static_cast<std::int32_t>(FNextID), index));
  for (int f = 0; f < FLayout.FieldCount(); ++f) {
    if (FLayout.Slot(f).Type == TFieldType::ftAutoInc)
      FLayout.Write(FEditBuffer.data(), FEditVariants, f, std::int64_t{FNextAutoInc}, {});
  }
  if (RecordSize() > 0) std::memcpy(RecordData(index), FEditBuffer.data(), RecordSize());
  rec->FVariants = std::move(FEditVariants);
  FRecords.push_back(std::move(rec));
  ++FNextID;
  ++FNextAutoInc;
}

void TvtMemoDataSet::Post() {
  CheckOpen();
  if (State() == dsEdit) {
    Fire(BeforePost);
    Guarded(OnPostError, [&] {
      if (RecordSize() > 0) std::memcpy(RecordData(FCur), FEditBuffer.data(), RecordSize());
      FRecords[FCur]->FVariants = FEditVariants;
    });
  } else if (State() == dsInsert) {
    Fire(BeforePost);
    Guarded(OnPostError, [&] { AddRecord(); });
  } else {
    return;
  }
  bool inserted = State() == dsInsert;
  FEditing = false;
  FEditBuffer.clear();
  FEditVariants.clear();
  SetState(dsBrowse);
  if (inserted) {
    MoveTo(FAppending ? Count() - 1 : (FSavedCur < 0 ? 0 : FSavedCur));
  } else {
    CalcCurrentRecord();
  }
  Fire(AfterPost);
}

void TvtMemoDataSet::Cancel() {
  if (State() != dsEdit && State() != dsInsert) return;
  Fire(BeforeCancel);
  bool inserting = State() == dsInsert;
  FEditing = false;
  FEditBuffer.clear();
  FEditVariants.clear();
  SetState(dsBrowse);
  if (inserting) FCur = FSavedCur;
  if (FCur >= 0) CalcCurrentRecord();
  Fire(AfterCancel);
}

void TvtMemoDataSet::RemoveRecord(int index) {
  std::size_t rs = RecordSize();
  if (rs > 0) {
    std::size_t later = static_cast<std::size_t>(Count() - index - 1) * rs;
    std::memmove(RecordData(index), RecordData(index + 1), later);
    std::memset(RecordData(Count() - 1), 0, rs);
  }
  FRecords.erase(FRecords.begin() + index);
  for (int i = index; i < Count(); ++i) FRecords[i]->FIndex = i;
}

void TvtMemoDataSet::Delete() {
  CheckOpen();
  if (State() == dsInsert) {
    Cancel();
    return;
  }
  if (State() == dsEdit) Cancel();
  if (FCur < 0) throw EGenericError(Msg(TMsg::SMemoDataSetEmpty));
  Fire(BeforeDelete);
  Guarded(OnDeleteError, [&] { RemoveRecord(FCur); });
  int pos = std::min(FCur, Count() - 1);
  if (pos >= 0 && FFiltered) {
    int back = NextAccepted(pos, -1);
    pos = back >= 0 ? back : NextAccepted(pos + 1, 1);
  }
  if (pos >= 0) {
    MoveTo(pos);
  } else {
    FCur = -1;
    SetBof(true);
    SetEof(true);
  }
  Fire(AfterDelete);
  Fire(AfterScroll);
}

}  // namespace qd
