// The base of the typed-array family: a contiguous, growable block of fixed-size
// items with an optional sorted mode, a duplicates policy, bounds-checked access
// and a tagged stream form. Typed arrays are in engine/typed_arrays.h, the
// string array in engine/string_array.h.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/io/streamed_object.h"
#include "engine/io/tagged_stream.h"

namespace qd {

//! What a sorted array does when an added item equals one it holds.
enum class TDuplicates : std::uint8_t { dupIgnore = 0, dupAccept = 1, dupError = 2 };

//! Compares the items at two positions: < 0, 0 or > 0.
using TIndexCompare = std::function<int(std::int32_t, std::int32_t)>;

class TBaseArray : public TStreamedObject {
 public:
  static constexpr TTag kBaseTag = array_form::kBase;
  static constexpr TTag kTagItemSize = array_form::kTagItemSize;
  static constexpr TTag kTagDuplicates = array_form::kTagDuplicates;
  static constexpr TTag kTagSorted = array_form::kTagSorted;
  static constexpr TTag kTagCount = array_form::kTagCount;
  static constexpr TTag kTagItems = array_form::kTagItems;
  static constexpr std::int32_t kInitialCapacity = 32;

  //! Capacity 32, count 0, unsorted, dupAccept.
  explicit TBaseArray(std::int32_t itemSize);
  //! Capacity and count n, items zero.
  TBaseArray(std::int32_t itemSize, std::int32_t count);
  ~TBaseArray() override = default;
  TBaseArray(const TBaseArray&) = delete;
  TBaseArray& operator=(const TBaseArray&) = delete;

  std::int32_t Count() const { return FCount; }
  //! 0 ≤ n ≤ MaxCount(); grows the capacity to exactly n when needed. Items that
  //! become visible again keep their old contents.
  virtual void SetCount(std::int32_t n);
  std::int32_t Capacity() const { return FCapacity; }
  //! Count() ≤ n ≤ MaxCount(); new storage is zeroed.
  void SetCapacity(std::int32_t n);
  bool Sorted() const { return FSorted; }
  //! Only stores the flag; the string array also sorts when it goes on.
  virtual void SetSorted(bool value);
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates value) { FDuplicates = value; }
  std::int32_t ItemSize() const { return FItemSize; }
  //! 2147483647 div the item size.
  std::int32_t MaxCount() const { return FMaxCount; }

  //! Address of item i (0 ≤ i < Count()); valid until the capacity changes.
  void* ItemAddress(std::int32_t i);
  const void* ItemAddress(std::int32_t i) const;
  //! Adds one item at the end without storing anything in it (zero when the
  //! storage is fresh); returns its index.
  std::int32_t AppendEmpty();

  //! Count and capacity 0.
  virtual void Clear();
  //! Removes item i; the vacated last slot is zeroed.
  virtual void Delete(std::int32_t i);
  //! Quicksort by positions; only when the array is not flagged sorted and holds
  //! more than one item.
  virtual void Sort(const TIndexCompare& compare);
  //! Swaps items i and j.
  virtual void Exchange(std::int32_t i, std::int32_t j);
  //! Sorts in the class's natural order: ascending for double and string
  //! arrays; no operation for the others (use Sort(compare)).
  virtual void Sort() {}
  //! Clear, then copy count, items, sorted flag and duplicates mode. Arrays of
  //! another item size raise EArrayError (record arrays take the source's size).
  virtual void Assign(const TBaseArray& source);

  //! Generic form: 0x100, item size, duplicates, sorted, count, items as one
  //! binary value, 0x1FF. An empty array writes nothing.
  void Write(TTagWriter& writer) const override;
  void Read(TTagReader& reader) override;
  std::int32_t Size() const override;

 protected:
  //! For arrays whose item size is set by reading (record arrays).
  TBaseArray(std::int32_t itemSize, bool fixedItemSize);

  //! Raises "数组越界: %d" with the value.
  [[noreturn]] static void RaiseIndexError(std::int64_t value);
  void CheckIndex(std::int32_t i) const {
    if (i < 0 || i >= FCount) RaiseIndexError(i);
  }
  //! Opens an empty slot at i (0 ≤ i ≤ Count()), growing when full.
  void InsertSlot(std::int32_t i);
  std::uint8_t* RawItems() { return FData.data(); }
  const std::uint8_t* RawItems() const { return FData.data(); }
  //! Reading sets the item size from the stream; fixed-size arrays refuse others.
  void SetItemSize(std::int32_t itemSize);
  //! Copies the sorted flag and the duplicates mode.
  void SetFlagsFrom(const TBaseArray& source);

  //! The stream forms, declared once in base_array.cpp. The generic form stores
  //! the item size and the items as one binary value; the value form stores
  //! each item as a value of its own; the object form stores neither flags nor
  //! item size, only the count and each object's blocks.
  enum class TStreamForm : std::uint8_t { sfGeneric, sfValues, sfObjects };
  //! Writes the block of `form`; nothing when the array is empty.
  void WriteForm(TTagWriter& writer, TStreamForm form) const;
  //! Reads the block of `form`: count and items replace the array's, and flags
  //! the block leaves out read as dupIgnore and unsorted (the writer leaves
  //! them out exactly then).
  void ReadForm(TTagReader& reader, TStreamForm form);
  //! The items after 0x119 (generic form: one binary value).
  virtual void WriteItems(TTagWriter& writer) const;
  //! Reads `count` items after 0x119 into the empty array; the count is
  //! already checked against the bytes left.
  virtual void ReadItems(TTagReader& reader, std::int32_t count);
  //! The fewest bytes one stored item takes, so that a count the rest of the
  //! stream cannot hold is refused before anything is allocated.
  virtual std::int32_t MinStoredItemSize() const { return FItemSize; }
  //! Bytes of the flags that WriteForm writes.
  std::int32_t FlagsSize() const;

  // Storage hooks: arrays whose items are not plain bytes override all four.
  //! Reallocates to n items, keeping the first min(old, n) and zeroing new ones.
  virtual void ResizeStorage(std::int32_t n);
  //! Moves n items from position `from` to position `to` (ranges may overlap).
  virtual void MoveItems(std::int32_t from, std::int32_t to, std::int32_t n);
  virtual void ZeroItem(std::int32_t i);
  virtual void SwapItems(std::int32_t i, std::int32_t j);
  //! Address of the item at i, already range-checked.
  virtual void* ItemPointer(std::int32_t i);

 private:
  friend struct TArrayFields;
  void Grow();
  void QuickSort(std::int32_t l, std::int32_t r, const TIndexCompare& compare);

  std::vector<std::uint8_t> FData;
  std::int32_t FItemSize;
  std::int32_t FMaxCount;
  std::int32_t FCapacity = 0;
  std::int32_t FCount = 0;
  bool FSorted = false;
  bool FFixedItemSize = true;
  TDuplicates FDuplicates = TDuplicates::dupAccept;
  std::int32_t FStoredCount = 0;  //!< the count of a block being read, until its items
};

//! Raw records of any fixed size; the fact table derives from it.
class TRecordArray : public TBaseArray {
 public:
  explicit TRecordArray(std::int32_t recordSize) : TBaseArray(recordSize, false) {}
  void* Record(std::int32_t i) { return ItemAddress(i); }
  const void* Record(std::int32_t i) const { return ItemAddress(i); }
  //! Appends a copy of one record; returns its index.
  std::int32_t Append(const void* record);
  //! Inserts a copy of one record at i (0 ≤ i ≤ Count()).
  void Insert(std::int32_t i, const void* record);
};

}  // namespace qd
