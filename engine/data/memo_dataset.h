// An in-memory table of typed fields. The record-level views of a grid cell
// (its fact records, the fact editor, in-place editing) browse and edit fact
// records through it; each record's tag remembers the fact record it shows.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/data/dataset.h"
#include "engine/core/errors.h"
#include "engine/data/memo_layout.h"

namespace qd {

class TvtMemoDataSet;

//! What an error event asks for: raise the error, drop it silently, or retry.
enum class TDataAction : std::uint8_t { daFail = 0, daAbort = 1, daRetry = 2 };

//! One record of a memory dataset.
class TvtRecord {
 public:
  TvtMemoDataSet* Owner() const { return FOwner; }
  //! Issued in increasing order while the dataset is open; never reused then.
  std::int32_t ID() const { return FID; }
  //! Position in the owner's record list.
  int Index() const { return FIndex; }
  //! The record's bytes in the owner's block.
  const std::uint8_t* Data() const;
  //! Free for the owner's user; the cell views keep a fact record number here.
  int Tag = -1;

 private:
  friend class TvtMemoDataSet;
  TvtRecord(TvtMemoDataSet* owner, std::int32_t id, int index)
      : FOwner(owner), FID(id), FIndex(index) {}
  TvtMemoDataSet* FOwner;
  std::int32_t FID;
  int FIndex;
  std::vector<TVariant> FVariants;  // values of ftVariant fields
};

//! The memory dataset: all records in one contiguous block of Capacity
//! records, record i at offset i × RecordSize().
class TvtMemoDataSet : public TDataSet {
 public:
  using TNotifyEvent = std::function<void(TDataSet&)>;
  using TFilterRecordEvent = std::function<void(TDataSet&, bool& accept)>;
  using TDataSetErrorEvent = std::function<void(TDataSet&, const Exception&, TDataAction&)>;

  //! Largest capacity a dataset accepts.
  static constexpr int kMaxCapacity = 134217727;

  TvtMemoDataSet();
  ~TvtMemoDataSet() override;

  //! The data fields, used when the dataset opens.
  std::vector<TFieldDef> FieldDefs;
  void AddFieldDef(const std::string& name, TFieldType type, int size = 0,
                   const std::string& displayLabel = {});

  int Capacity() const { return FCapacity; }
  //! Raises "List capacity out of bounds (%d)" below the record count or above
  //! kMaxCapacity; keeps the records when open.
  void SetCapacity(int n);
  int IncCapacity() const { return FIncCapacity; }
  //! Growth step when an append finds the block full; 0 makes a full block final.
  void SetIncCapacity(int n);
  //! Fired before the block grows by IncCapacity.
  TNotifyEvent OnIncCapacity;

  //! With Filtered set, navigation shows only the records OnFilterRecord accepts.
  bool Filtered() const { return FFiltered; }
  void SetFiltered(bool value);
  const TFilterRecordEvent& OnFilterRecord() const { return FOnFilterRecord; }
  void SetOnFilterRecord(TFilterRecordEvent handler);
  //! Receives errors raised by OnFilterRecord (the record then counts as
  //! accepted); unassigned, they are dropped.
  std::function<void(TDataSet&, std::exception_ptr)> OnFilterError;

  // Events of the dataset's life and editing.
  TNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit, BeforePost, AfterPost;
  TNotifyEvent BeforeCancel, AfterCancel, BeforeDelete, AfterDelete, OnNewRecord;
  TNotifyEvent BeforeScroll, AfterScroll;
  TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;

  //! Size of one record in the block.
  std::size_t RecordSize() const { return FLayout.RecordSize(); }
  //! The records in list order (unfiltered).
  int Count() const { return static_cast<int>(FRecords.size()); }
  TvtRecord& Records(int i) const;
  //! The record under the cursor; nullptr when there is none or while inserting.
  TvtRecord* CurrentRecord() const;

  std::int64_t RecordCount() const override { return Count(); }
  bool CanModify() const override { return true; }
  void Edit() override;
  void Insert() override;
  void Append() override;
  void Post() override;
  void Cancel() override;
  void Delete() override;

  void SetRecNo(std::int64_t n) override;
  //! The current record's ID as 4 bytes.
  TBookmark GetBookmark() const override;
  //! True for the bookmark of a record that still exists.
  bool BookmarkValid(const TBookmark& bookmark) const override;
  //! Raises "Record not found" for a record that no longer exists; a record the
  //! filter rejects leaves the cursor where it was.
  void GotoBookmark(const TBookmark& bookmark) override;
  using TDataSet::Locate;
  bool Locate(std::string_view keyFields, const std::vector<TVariant>& keyValues,
              TLocateOptions options) override;

 protected:
  void DoOpen() override;
  void DoClose() override;
  void DoAfterOpen() override;
  void DoAfterClose() override;
  void DoAfterScroll() override;
  bool DoFirst() override;
  bool DoNext() override;
  bool DoPrior() override;
  bool DoLast() override;
  std::int64_t DoRecNo() const override;
  bool DataIsNull(int field) const override;
  TVariant DataValue(int field) const override;
  void SetDataValue(int field, const TVariant& v) override;

 private:
  friend class TvtRecord;
  void CheckOpen() const;
  //! Posts a pending edit or insert before the cursor moves.
  void CheckBrowseMode();
  bool Accepts(int index);
  int NextAccepted(int from, int step);
  void MoveTo(int index);
  //! MoveTo between the scroll events.
  void ScrollTo(int index);
  void StartInsert(bool append);
  void AddRecord();
  void RemoveRecord(int index);
  void GrowIfFull();
  const std::uint8_t* ActiveBuffer() const;
  const std::vector<TVariant>& ActiveVariants() const;
  std::uint8_t* RecordData(int index) const;
  int FindByID(std::int32_t id) const;
  bool MatchesCurrent(const std::vector<TField*>& fields, const std::vector<TVariant>& values,
                      TLocateOptions options) const;
  void Fire(const TNotifyEvent& event) {
    if (event) event(*this);
  }
  template <typename Op>
  void Guarded(const TDataSetErrorEvent& handler, Op op);

  TMemoLayout FLayout;
  std::vector<std::unique_ptr<TvtRecord>> FRecords;
  std::unique_ptr<std::uint8_t[]> FBlock;
  int FCapacity = 0;
  int FIncCapacity = 0;
  std::int64_t FNextID;
  std::int32_t FNextAutoInc = 1;
  int FCur = -1;  // index of the current record, -1 when none
  // Edit and insert state: the record being edited, its variants, where the
  // cursor was before an insert and whether the insert is an append.
  std::vector<std::uint8_t> FEditBuffer;
  std::vector<TVariant> FEditVariants;
  int FSavedCur = -1;
  bool FAppending = false;
  bool FEditing = false;
  bool FFiltered = false;
  TFilterRecordEvent FOnFilterRecord;
  int FFilterIndex = -1;  // record shown to OnFilterRecord, -1 when none
};

}  // namespace qd
