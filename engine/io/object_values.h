// Object values and the object-array form of the tagged stream format. An
// object value (code 19) is written in place, its size patched in once its
// block is complete; lists of objects are written in the array form (0x100,
// 0x114 count, 0x119, the elements' blocks, 0x1FF). Readers refuse objects
// nested deeper than TTagReader::kMaxNesting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/io/tagged_stream.h"

namespace qd {

//! Raises the stream error "非法属性值".
[[noreturn]] void RaiseBadValue();

//! Writes code 19 and a size placeholder; returns where the size goes.
std::size_t BeginObjectValue(TTagWriter& w);
//! Patches the size in, or takes the field (from `start`) back out when the
//! block is empty.
void EndObjectValue(TTagWriter& w, std::size_t start, std::size_t sizePos);
//! Reads code 19 and the size; returns where the object must end.
std::size_t BeginObjectRead(TTagReader& r);

//! An object field whose block `block` writes in place: tag, code 19, and a size
//! patched in once the block is complete. Nothing remains when the block is empty.
template <typename F>
void WriteObjectInPlace(TTagWriter& w, TTag tag, F&& block) {
  const std::size_t start = w.Stream().Position();
  w.WriteTag(tag);
  const std::size_t sizePos = BeginObjectValue(w);
  block();
  EndObjectValue(w, start, sizePos);
}

//! Reads an object value's code and size, then its block with `read`; the block
//! must end exactly where the size says. Objects nested deeper than
//! TTagReader::kMaxNesting are refused.
template <typename F>
void ReadObjectInPlace(TTagReader& r, F&& read) {
  const std::size_t end = BeginObjectRead(r);
  TTagReader::TNesting nesting(r);
  read();
  if (r.Position() != end) RaiseBadValue();
}

//! The object-array form: 0x100, 0x114 count, 0x119, `writeOne` for every item
//! (each writes its own block), 0x1FF. Nothing at all for no items.
template <class T, class F>
void WriteObjectArray(TTagWriter& w, const std::vector<T>& items, F&& writeOne) {
  if (items.empty()) return;
  w.WriteTag(array_form::kBase);
  w.WriteIntegerField(array_form::kTagCount, static_cast<std::int32_t>(items.size()));
  w.WriteTag(array_form::kTagItems);
  for (const T& item : items) writeOne(item);
  w.WriteTag(EndTag(array_form::kBase));
}

//! Reads an object array, calling `element` once per stored element; a count
//! that the remaining bytes cannot hold is refused.
template <typename F>
void ReadObjectArray(TTagReader& r, F&& element) {
  std::int32_t count = 0;
  r.ReadBlock(array_form::kBase, [&](TTag tag) {
    if (tag == array_form::kTagCount) {
      count = r.ReadInteger();
      return true;
    }
    if (tag != array_form::kTagItems) return false;
    // Every element takes at least a begin and an end tag.
    if (count < 0 || static_cast<std::size_t>(count) > r.Remaining() / (2 * kTagSize))
      RaiseBadValue();
    for (std::int32_t i = 0; i < count; ++i) element();
    return true;
  });
}

//! True when the next two bytes are `tag` (nothing is consumed).
bool NextTagIs(const TTagReader& r, TTag tag);

}  // namespace qd
