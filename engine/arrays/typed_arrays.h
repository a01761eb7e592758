// The typed arrays: integers, longwords, 64-bit integers, doubles, pointers and
// owned objects over the storage, growth and stream form of TBaseArray.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <type_traits>

#include "engine/arrays/base_array.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"

namespace qd {

//! Raises "在数据组中定义了重复项。".
[[noreturn]] void RaiseDuplicate();
int CompareInt32(std::int32_t a, std::int32_t b);
int CompareUInt32(std::uint32_t a, std::uint32_t b);
int CompareInt64(std::int64_t a, std::int64_t b);
//! Values closer than 1e-100 are equal.
int CompareDouble(double a, double b);

//! Items of one trivially copyable type with checked access.
template <typename T>
class TTypedArray : public TBaseArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  using TItem = T;
  TTypedArray() : TBaseArray(sizeof(T)) {}
  explicit TTypedArray(std::int32_t count) : TBaseArray(sizeof(T), count) {}

  T Get(std::int32_t i) const {
    T v;
    std::memcpy(&v, ItemAddress(i), sizeof(T));
    return v;
  }
  T operator[](std::int32_t i) const { return Get(i); }
  void Put(std::int32_t i, T v) { std::memcpy(ItemAddress(i), &v, sizeof(T)); }
  //! 0 ≤ i ≤ Count(); shifts the items from i up by one.
  void Insert(std::int32_t i, T v) {
    InsertSlot(i);
    Put(i, v);
  }
  //! Every item set to v.
  void Fill(T v) {
    for (std::int32_t i = 0; i < Count(); ++i) Put(i, v);
  }
  //! The contiguous items (Count() of them); invalidated by growth.
  T* Data() { return reinterpret_cast<T*>(RawItems()); }
  const T* Data() const { return reinterpret_cast<const T*>(RawItems()); }
};

//! Typed items with an order: sorted mode, binary search and duplicates policy.
//! Compare(a, b) returns < 0, 0 or > 0.
template <typename T, int (*Compare)(T, T)>
class TOrderedArray : public TTypedArray<T> {
 public:
  using TTypedArray<T>::TTypedArray;
  using TTypedArray<T>::Get;
  using TTypedArray<T>::Count;

  //! Binary search (sorted arrays). Found: under dupAccept the position of the
  //! first equal item, otherwise the equal item met. Absent: the insertion point.
  bool Find(T v, std::int32_t& index) const {
    std::int64_t low = 0, high = static_cast<std::int64_t>(Count()) - 1;
    bool found = false;
    while (low <= high) {
      std::int64_t mid = (low + high) / 2;
      int c = Compare(Get(static_cast<std::int32_t>(mid)), v);
      if (c < 0) {
        low = mid + 1;
      } else {
        high = mid - 1;
        if (c == 0) {
          found = true;
          if (this->Duplicates() != TDuplicates::dupAccept) low = mid;
        }
      }
    }
    index = static_cast<std::int32_t>(low);
    return found;
  }
  //! Sorted: Find, -1 when absent; unsorted: the first equal item or -1.
  std::int32_t IndexOf(T v) const {
    std::int32_t index;
    if (this->Sorted()) return Find(v, index) ? index : -1;
    for (std::int32_t i = 0; i < Count(); ++i)
      if (Compare(Get(i), v) == 0) return i;
    return -1;
  }
  //! Unsorted: appends. Sorted: inserts in order; an equal item is skipped under
  //! dupIgnore (its position is returned), raises under dupError and is
  //! inserted before the equal ones under dupAccept. Returns the position.
  std::int32_t Add(T v) {
    std::int32_t index = Count();
    if (this->Sorted() && Find(v, index)) {
      if (this->Duplicates() == TDuplicates::dupIgnore) return index;
      if (this->Duplicates() == TDuplicates::dupError) RaiseDuplicate();
    }
    this->Insert(index, v);
    return index;
  }
  //! Quicksort ascending unless flagged sorted.
  void SortAscending() {
    TBaseArray::Sort([this](std::int32_t i, std::int32_t j) { return Compare(Get(i), Get(j)); });
  }
};

//! Signed 32-bit integers; its stream form stores each item as a compact integer.
class TIntegerArray : public TOrderedArray<std::int32_t, CompareInt32> {
 public:
  using TOrderedArray::TOrderedArray;
  //! Items 0, 1, …, Count() − 1.
  void FillIdentity();

  //! 0x100, duplicates, sorted, 0x114 count, 0x119 and count integers, 0x1FF.
  void Write(TTagWriter& writer) const override;
  void Read(TTagReader& reader) override;
  std::int32_t Size() const override;

 protected:
  void WriteItems(TTagWriter& writer) const override;
  void ReadItems(TTagReader& reader, std::int32_t count) override;
  //! A stored integer takes at least two bytes.
  std::int32_t MinStoredItemSize() const override { return 2; }
};

class TLongwordArray : public TOrderedArray<std::uint32_t, CompareUInt32> {
 public:
  using TOrderedArray::TOrderedArray;
};

class TInt64Array : public TOrderedArray<std::int64_t, CompareInt64> {
 public:
  using TOrderedArray::TOrderedArray;
};

class TDoubleArray : public TOrderedArray<double, CompareDouble> {
 public:
  using TOrderedArray::TOrderedArray;
  //! Ascending (unless flagged sorted).
  void Sort() override { SortAscending(); }
  using TBaseArray::Sort;
};

//! Untyped pointers, never sorted.
class TPointerArray : public TTypedArray<void*> {
 public:
  using TTypedArray::TTypedArray;
  //! Appends; returns the index.
  std::int32_t Add(void* p);
  //! First entry equal to p, or -1.
  std::int32_t IndexOf(const void* p) const;
};

//! Owned objects: the array deletes every object it holds when the object is
//! deleted from it, replaced by Put, cut off by SetCount, or cleared.
template <typename T>
class TObjectArray : public TPointerArray {
 public:
  TObjectArray() = default;
  ~TObjectArray() override { FreeFrom(0, Capacity()); }

  T* Get(std::int32_t i) const { return static_cast<T*>(TPointerArray::Get(i)); }
  T* operator[](std::int32_t i) const { return Get(i); }
  //! Takes ownership; returns the index.
  std::int32_t Add(std::unique_ptr<T> object) { return TPointerArray::Add(object.release()); }
  void Insert(std::int32_t i, std::unique_ptr<T> object) {
    InsertSlot(i);
    TPointerArray::Put(i, object.release());
  }
  //! Replaces (and deletes) the object at i.
  void Put(std::int32_t i, std::unique_ptr<T> object) {
    T* old = Get(i);
    TPointerArray::Put(i, object.release());
    delete old;
  }
  //! Removes the object at i without deleting it.
  std::unique_ptr<T> Extract(std::int32_t i) {
    std::unique_ptr<T> object(Get(i));
    TPointerArray::Put(i, nullptr);
    TBaseArray::Delete(i);
    return object;
  }
  void Delete(std::int32_t i) override { Extract(i).reset(); }
  void SetCount(std::int32_t n) override {
    if (n >= 0 && n < Count()) FreeFrom(n, Count());
    TPointerArray::SetCount(n);
  }
  //! Each slot is set to nil before its object is deleted.
  void Clear() override {
    FreeFrom(0, Capacity());
    TPointerArray::Clear();
  }
  //! Object arrays are not copied item by item: that would share ownership.
  void Assign(const TBaseArray&) override { throw EArrayError(Msg(TMsg::SArrayGeneralError)); }

 private:
  void FreeFrom(std::int32_t from, std::int32_t to) {
    void** slots = Data();
    for (std::int32_t i = from; i < to; ++i) {
      T* object = static_cast<T*>(slots[i]);
      slots[i] = nullptr;
      delete object;
    }
  }
};

//! Owned streamed objects. Stream form: 0x100, 0x114 count, 0x119 and each
//! object's own blocks one after another, 0x1FF. Reading creates the objects
//! with the factory (default: T's default constructor).
template <typename T>
class TStreamedObjectArray : public TObjectArray<T> {
  static_assert(std::is_base_of_v<TStreamedObject, T>);

 public:
  using TFactory = std::function<std::unique_ptr<T>()>;
  TStreamedObjectArray() = default;
  explicit TStreamedObjectArray(TFactory factory) : FFactory(std::move(factory)) {}

  void Write(TTagWriter& writer) const override {
    this->WriteForm(writer, TBaseArray::TStreamForm::sfObjects);
  }
  std::int32_t Size() const override {
    if (this->Count() == 0) return 0;
    std::int32_t size = 4 * kTagSize + SizeOfInteger(this->Count());
    for (std::int32_t i = 0; i < this->Count(); ++i) size += this->Get(i)->Size();
    return size;
  }
  void Read(TTagReader& reader) override {
    this->ReadForm(reader, TBaseArray::TStreamForm::sfObjects);
  }

 protected:
  void WriteItems(TTagWriter& writer) const override {
    for (std::int32_t i = 0; i < this->Count(); ++i) this->Get(i)->Write(writer);
  }
  //! Objects join the array one by one, so that a read that fails part way
  //! leaves only whole objects.
  void ReadItems(TTagReader& reader, std::int32_t count) override {
    this->SetCapacity(count);
    for (std::int32_t i = 0; i < count; ++i) {
      std::unique_ptr<T> object = Create();
      T* raw = object.get();
      this->Add(std::move(object));
      raw->Read(reader);
    }
  }
  //! Each object's block takes at least its begin and end tags.
  std::int32_t MinStoredItemSize() const override { return 2 * kTagSize; }

 private:
  std::unique_ptr<T> Create() const {
    if (FFactory) return FFactory();
    if constexpr (std::is_default_constructible_v<T>)
      return std::make_unique<T>();
    else
      throw EStreamError(Msg(TMsg::SArrayGeneralError));
  }
  TFactory FFactory;
};

}  // namespace qd
