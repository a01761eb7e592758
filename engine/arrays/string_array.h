// The string array: UTF-8 strings, each with an attached (not owned) object,
// ordered without regard to case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/arrays/base_array.h"

namespace qd {

//! Locale-aware comparison without regard to case (Chinese collation, so Han
//! text orders by pinyin): < 0, 0 or > 0. Sorting and searching both use it.
int CompareText(std::string_view a, std::string_view b);
//! The same order computed by the collator alone (CompareText takes a shortcut
//! for plain ASCII text); for checks.
int CompareTextByCollator(std::string_view a, std::string_view b);

class TStringArray : public TBaseArray {
 public:
  TStringArray();

  const std::string& Get(std::int32_t i) const;
  const std::string& operator[](std::int32_t i) const { return Get(i); }
  void Put(std::int32_t i, std::string s);
  void* GetObject(std::int32_t i) const;
  void PutObject(std::int32_t i, void* object);

  //! As for the other ordered arrays (see TOrderedArray::Add); returns the position.
  std::int32_t Add(std::string s);
  //! Add, then stores the object at the returned position (also when dupIgnore
  //! returned an existing entry, whose object it replaces).
  std::int32_t AddObject(std::string s, void* object);
  //! 0 ≤ i ≤ Count(); the new entry has no object.
  void Insert(std::int32_t i, std::string s);
  bool Find(std::string_view s, std::int32_t& index) const;
  std::int32_t IndexOf(std::string_view s) const;

  //! Sorts the items first when the flag goes from false to true.
  void SetSorted(bool value) override;
  //! By CompareText, unless flagged sorted.
  void Sort() override;
  using TBaseArray::Sort;
  //! Empties every string; count and objects stay.
  virtual void ClearStrings();
  //! Adds a copy of every string of `source` (objects nil).
  virtual void AddStrings(const TStringArray& source);
  //! Only from another string array: clear, copy its strings in their order
  //! (objects nil), its sorted flag and duplicates mode.
  void Assign(const TBaseArray& source) override;
  std::vector<std::string> ToVector() const;

  //! 0x100, duplicates, sorted, 0x114 count, 0x119 and count strings, 0x1FF.
  //! Objects are not written. When a string cannot be read the array is
  //! cleared and EArrayError "一般性数组错误。" is raised.
  void Write(TTagWriter& writer) const override;
  void Read(TTagReader& reader) override;
  std::int32_t Size() const override;

 protected:
  void WriteItems(TTagWriter& writer) const override;
  void ReadItems(TTagReader& reader, std::int32_t count) override;
  //! A stored string takes at least two bytes.
  std::int32_t MinStoredItemSize() const override { return 2; }
  void ResizeStorage(std::int32_t n) override;
  void MoveItems(std::int32_t from, std::int32_t to, std::int32_t n) override;
  void ZeroItem(std::int32_t i) override;
  void SwapItems(std::int32_t i, std::int32_t j) override;
  void* ItemPointer(std::int32_t i) override;

 private:
  struct TEntry {
    std::string Text;
    void* Object = nullptr;
  };
  std::vector<TEntry> FItems;  // one entry per slot of the capacity
};

}  // namespace qd
