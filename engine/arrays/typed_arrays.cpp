#include "engine/arrays/typed_arrays.h"

#include <cmath>

namespace qd {

void RaiseDuplicate() {
  throw EArrayError(Msg(TMsg::SArrayDuplicate));
}

int CompareInt32(std::int32_t a, std::int32_t b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

int CompareUInt32(std::uint32_t a, std::uint32_t b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

int CompareInt64(std::int64_t a, std::int64_t b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

int CompareDouble(double a, double b) {
  double d = a - b;
  if (std::fabs(d) < 1e-100) return 0;
  return d < 0 ? -1 : 1;
}

// ---- integer array -----------------------------------------------------------

void TIntegerArray::FillIdentity() {
  std::int32_t* items = Data();
  for (std::int32_t i = 0; i < Count(); ++i) items[i] = i;
}

void TIntegerArray::Write(TTagWriter& writer) const {
  WriteForm(writer, TStreamForm::sfValues);
}

std::int32_t TIntegerArray::Size() const {
  if (Count() == 0) return 0;
  std::int32_t size = 4 * kTagSize + FlagsSize() + SizeOfInteger(Count());
  const std::int32_t* items = Data();
  for (std::int32_t i = 0; i < Count(); ++i) size += SizeOfInteger(items[i]);
  return size;
}

void TIntegerArray::Read(TTagReader& reader) {
  ReadForm(reader, TStreamForm::sfValues);
}

void TIntegerArray::WriteItems(TTagWriter& writer) const {
  const std::int32_t* items = Data();
  for (std::int32_t i = 0; i < Count(); ++i) writer.WriteInteger(items[i]);
}

void TIntegerArray::ReadItems(TTagReader& reader, std::int32_t count) {
  SetCount(count);
  std::int32_t* items = Data();
  for (std::int32_t i = 0; i < count; ++i) items[i] = reader.ReadInteger();
}

// ---- pointer array -----------------------------------------------------------

std::int32_t TPointerArray::Add(void* p) {
  std::int32_t i = AppendEmpty();
  Put(i, p);
  return i;
}

std::int32_t TPointerArray::IndexOf(const void* p) const {
  const void* const* items = Data();
  for (std::int32_t i = 0; i < Count(); ++i)
    if (items[i] == p) return i;
  return -1;
}

}  // namespace qd
