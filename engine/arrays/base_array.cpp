#include "engine/arrays/base_array.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/io/saved_fields.h"

namespace qd {
namespace {

constexpr std::int32_t kMaxInt = std::numeric_limits<std::int32_t>::max();

std::int32_t CheckedItemSize(std::int32_t itemSize) {
  if (itemSize <= 0) throw EArrayError(Msg(TMsg::SArrayGeneralError));
  return itemSize;
}

}  // namespace

TBaseArray::TBaseArray(std::int32_t itemSize) : TBaseArray(itemSize, true) {}

TBaseArray::TBaseArray(std::int32_t itemSize, bool fixedItemSize)
    : FItemSize(CheckedItemSize(itemSize)),
      FMaxCount(kMaxInt / FItemSize),
      FFixedItemSize(fixedItemSize) {
  // Storage hooks are not virtual yet inside the constructor, so the plain
  // byte storage is sized here directly; derived classes size their own.
  FData.resize(static_cast<std::size_t>(kInitialCapacity) * FItemSize);
  FCapacity = kInitialCapacity;
}

TBaseArray::TBaseArray(std::int32_t itemSize, std::int32_t count) : TBaseArray(itemSize, true) {
  if (count < 0 || count > FMaxCount) RaiseIndexError(count);
  FData.assign(static_cast<std::size_t>(count) * FItemSize, 0);
  FCapacity = count;
  FCount = count;
}

void TBaseArray::RaiseIndexError(std::int64_t value) {
  throw EArrayError(Format(Msg(TMsg::SArrayIndexError), value));
}

void TBaseArray::ResizeStorage(std::int32_t n) {
  FData.resize(static_cast<std::size_t>(n) * FItemSize);
  FData.shrink_to_fit();
}

void TBaseArray::MoveItems(std::int32_t from, std::int32_t to, std::int32_t n) {
  if (n <= 0) return;
  std::memmove(FData.data() + static_cast<std::size_t>(to) * FItemSize,
               FData.data() + static_cast<std::size_t>(from) * FItemSize,
               static_cast<std::size_t>(n) * FItemSize);
}

void TBaseArray::ZeroItem(std::int32_t i) {
  std::memset(FData.data() + static_cast<std::size_t>(i) * FItemSize, 0, FItemSize);
}

void TBaseArray::SwapItems(std::int32_t i, std::int32_t j) {
  if (i == j) return;
  std::uint8_t* a = FData.data() + static_cast<std::size_t>(i) * FItemSize;
  std::uint8_t* b = FData.data() + static_cast<std::size_t>(j) * FItemSize;
  std::swap_ranges(a, a + FItemSize, b);
}

void TBaseArray::SetCapacity(std::int32_t n) {
  if (n < FCount || n > FMaxCount) RaiseIndexError(n);
  if (n == FCapacity) return;
  ResizeStorage(n);
  FCapacity = n;
}

void TBaseArray::Grow() {
  std::int64_t delta = FCapacity <= 128 ? 32 : FCapacity / 4;
  std::int64_t target = FCapacity + delta;
  if (target > FMaxCount) target = FMaxCount;
  if (target <= FCount) RaiseIndexError(static_cast<std::int64_t>(FCount) + 1);
  SetCapacity(static_cast<std::int32_t>(target));
}

void TBaseArray::SetCount(std::int32_t n) {
  if (n < 0 || n > FMaxCount) RaiseIndexError(n);
  if (n > FCapacity) SetCapacity(n);
  FCount = n;
}

void TBaseArray::SetSorted(bool value) {
  FSorted = value;
}

void* TBaseArray::ItemPointer(std::int32_t i) {
  return FData.data() + static_cast<std::size_t>(i) * FItemSize;
}

void* TBaseArray::ItemAddress(std::int32_t i) {
  CheckIndex(i);
  return ItemPointer(i);
}

const void* TBaseArray::ItemAddress(std::int32_t i) const {
  CheckIndex(i);
  return const_cast<TBaseArray*>(this)->ItemPointer(i);
}

void TBaseArray::InsertSlot(std::int32_t i) {
  if (i < 0 || i > FCount) RaiseIndexError(i);
  if (FCount == FCapacity) Grow();
  MoveItems(i, i + 1, FCount - i);
  ZeroItem(i);
  ++FCount;
}

std::int32_t TBaseArray::AppendEmpty() {
  if (FCount == FCapacity) Grow();
  return FCount++;
}

void TBaseArray::Clear() {
  FCount = 0;
  ResizeStorage(0);
  FCapacity = 0;
}

void TBaseArray::Delete(std::int32_t i) {
  CheckIndex(i);
  MoveItems(i + 1, i, FCount - i - 1);
  ZeroItem(FCount - 1);
  --FCount;
}

void TBaseArray::Exchange(std::int32_t i, std::int32_t j) {
  CheckIndex(i);
  CheckIndex(j);
  SwapItems(i, j);
}

void TBaseArray::Sort(const TIndexCompare& compare) {
  if (FSorted || FCount <= 1) return;
  QuickSort(0, FCount - 1, compare);
}

void TBaseArray::QuickSort(std::int32_t l, std::int32_t r, const TIndexCompare& compare) {
  // Hoare partition around the middle position, which follows its item when it
  // is exchanged. The smaller side recurses and the larger one loops, which
  // bounds the stack without changing the outcome.
  while (l < r) {
    std::int32_t i = l, j = r, p = l + (r - l) / 2;
    do {
      while (compare(i, p) < 0) ++i;
      while (compare(j, p) > 0) --j;
      if (i <= j) {
        Exchange(i, j);
        if (p == i)
          p = j;
        else if (p == j)
          p = i;
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - l < r - i) {
      if (l < j) QuickSort(l, j, compare);
      l = i;
    } else {
      if (i < r) QuickSort(i, r, compare);
      r = j;
    }
  }
}

void TBaseArray::SetFlagsFrom(const TBaseArray& source) {
  FSorted = source.FSorted;
  FDuplicates = source.FDuplicates;
}

void TBaseArray::Assign(const TBaseArray& source) {
  if (&source == this) return;
  if (source.FItemSize != FItemSize) {
    if (FFixedItemSize) throw EArrayError(Msg(TMsg::SArrayGeneralError));
    Clear();
    SetItemSize(source.FItemSize);
  }
  Clear();
  SetCount(source.FCount);
  if (FCount > 0)
    std::memcpy(FData.data(), source.FData.data(), static_cast<std::size_t>(FCount) * FItemSize);
  SetFlagsFrom(source);
}

void TBaseArray::SetItemSize(std::int32_t itemSize) {
  if (itemSize == FItemSize) return;
  if (FFixedItemSize || itemSize <= 0) throw EStreamError(Msg(TMsg::SInvalidPropertyValue));
  Clear();
  FItemSize = itemSize;
  FMaxCount = kMaxInt / FItemSize;
}

// ---- stream form -------------------------------------------------------------

// The fields of the three stream forms, in write order. The items depend on
// the count before them: the count is kept until the items come, and each
// class reads its own items.
struct TArrayFields {
  static void ReadCount(TTagReader& r, TBaseArray& a) {
    const std::int32_t count = r.ReadInteger();
    if (count < 0 || count > a.FMaxCount ||
        static_cast<std::size_t>(count) > r.Remaining() / a.MinStoredItemSize())
      RaiseBadValue();
    a.FStoredCount = count;
  }

  static constexpr auto kItemSize = Custom<TBaseArray>(
      array_form::kTagItemSize, TFieldKind::fkInteger, nullptr,
      [](TTagWriter& w, TTag t, const TBaseArray& a) { w.WriteIntegerField(t, a.FItemSize); },
      [](TTagReader& r, TBaseArray& a) { a.SetItemSize(r.ReadInteger()); });
  static constexpr auto kDuplicates =
      Ordinal<&TBaseArray::FDuplicates, TDuplicates::dupError>(array_form::kTagDuplicates);
  static constexpr auto kSorted = Field<&TBaseArray::FSorted>(array_form::kTagSorted);
  static constexpr auto kCount = Custom<TBaseArray>(
      array_form::kTagCount, TFieldKind::fkInteger, nullptr,
      [](TTagWriter& w, TTag t, const TBaseArray& a) { w.WriteIntegerField(t, a.FCount); },
      ReadCount, [](TBaseArray& a) { a.FStoredCount = 0; });
  static constexpr auto kItems = Custom<TBaseArray>(
      array_form::kTagItems, TFieldKind::fkItems, nullptr,
      [](TTagWriter& w, TTag t, const TBaseArray& a) {
        w.WriteTag(t);
        a.WriteItems(w);
      },
      [](TTagReader& r, TBaseArray& a) {
        a.Clear();
        a.ReadItems(r, a.FStoredCount);
      },
      [](TBaseArray& a) { a.Clear(); });

  // clang-format off
  static constexpr auto kGeneric = Block<TBaseArray>(array_form::kBase, {
      kItemSize, kDuplicates, kSorted, kCount, kItems,
  });
  static constexpr auto kValues = Block<TBaseArray>(array_form::kBase, {
      kDuplicates, kSorted, kCount, kItems,
  });
  static constexpr auto kObjects = Block<TBaseArray>(array_form::kBase, {
      kCount, kItems,
  });
  // clang-format on
  static_assert(WellFormed(kGeneric) && WellFormed(kValues) && WellFormed(kObjects));
};

void TBaseArray::WriteForm(TTagWriter& writer, TStreamForm form) const {
  if (FCount == 0) return;
  switch (form) {
    case TStreamForm::sfGeneric:
      return WriteFields(writer, TArrayFields::kGeneric, *this);
    case TStreamForm::sfValues:
      return WriteFields(writer, TArrayFields::kValues, *this);
    case TStreamForm::sfObjects:
      return WriteFields(writer, TArrayFields::kObjects, *this);
  }
}

void TBaseArray::ReadForm(TTagReader& reader, TStreamForm form) {
  switch (form) {
    case TStreamForm::sfGeneric:
      return ReadFields(reader, TArrayFields::kGeneric, *this);
    case TStreamForm::sfValues:
      return ReadFields(reader, TArrayFields::kValues, *this);
    case TStreamForm::sfObjects:
      return ReadFields(reader, TArrayFields::kObjects, *this);
  }
}

std::int32_t TBaseArray::FlagsSize() const {
  return (FDuplicates != TDuplicates::dupIgnore ? kTagSize + SizeOfByte() : 0) +
         (FSorted ? kTagSize + SizeOfBoolean() : 0);
}

void TBaseArray::WriteItems(TTagWriter& writer) const {
  writer.WriteBinary(FData.data(), static_cast<std::size_t>(FCount) * FItemSize);
}

void TBaseArray::ReadItems(TTagReader& reader, std::int32_t count) {
  const auto bytes = reader.ReadBinary();
  if (bytes.size() != static_cast<std::size_t>(count) * FItemSize) RaiseBadValue();
  SetCount(count);
  if (!bytes.empty()) std::memcpy(FData.data(), bytes.data(), bytes.size());
}

void TBaseArray::Write(TTagWriter& writer) const {
  WriteForm(writer, TStreamForm::sfGeneric);
}

std::int32_t TBaseArray::Size() const {
  if (FCount == 0) return 0;
  return kTagSize + kTagSize + SizeOfInteger(FItemSize) + FlagsSize() + kTagSize +
         SizeOfInteger(FCount) + kTagSize +
         SizeOfBinary(static_cast<std::size_t>(FCount) * FItemSize) + kTagSize;
}

void TBaseArray::Read(TTagReader& reader) {
  ReadForm(reader, TStreamForm::sfGeneric);
}

// ---- record array --------------------------------------------------------------

std::int32_t TRecordArray::Append(const void* record) {
  std::int32_t i = AppendEmpty();
  std::memcpy(ItemAddress(i), record, ItemSize());
  return i;
}

void TRecordArray::Insert(std::int32_t i, const void* record) {
  InsertSlot(i);
  std::memcpy(ItemAddress(i), record, ItemSize());
}

}  // namespace qd
