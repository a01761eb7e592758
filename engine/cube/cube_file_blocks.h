// The blocks a stored cube is made of: the common block of dimensions and
// summaries, the dimension block with its attribute list and components, and
// the helpers that write object values in place. Shared by the cube file code.
#pragma once

#include <cstdint>
#include <limits>

#include "engine/core/bytes.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/cube/dimension.h"
#include "engine/io/tagged_stream.h"

namespace qd::cube_blocks {

//! Raises the stream error "非法属性值".
[[noreturn]] void RaiseBadValue();

// An object field whose block is written in place: tag, code 19, a size that is
// filled in once the block is complete. Nothing remains when the block is empty.
template <typename F>
void WriteObjectInPlace(TTagWriter& w, TTag tag, F&& block) {
  TMemoryStream& s = w.Stream();
  const std::size_t start = s.Position();
  w.WriteTag(tag);
  const std::uint8_t code = static_cast<std::uint8_t>(TValueCode::vcObject);
  w.WriteBytes(&code, 1);
  const std::size_t sizePos = s.Position();
  std::uint8_t sizeBytes[4] = {};
  w.WriteBytes(sizeBytes, 4);
  block();
  const std::size_t end = s.Position();
  const std::size_t size = end - sizePos - 4;
  if (size == 0) {
    s.SetSize(start);
    return;
  }
  if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw EStreamError(Msg(TMsg::SInvalidPropertyValue));
  Store(sizeBytes, static_cast<std::uint32_t>(size));
  s.Seek(sizePos);
  s.Write(sizeBytes, 4);
  s.Seek(end);
}

// Reads an object value's code and size, then the block with `read`; the block
// must end exactly where the size says.
template <typename F>
void ReadObjectInPlace(TTagReader& r, F&& read) {
  const auto head = r.ReadBytes(1);
  if (head[0] != static_cast<std::uint8_t>(TValueCode::vcObject)) RaiseBadValue();
  const std::uint32_t size = Load<std::uint32_t>(r.ReadBytes(4).data());
  r.Require(size);
  const std::size_t end = r.Position() + size;
  read();
  if (r.Position() != end) RaiseBadValue();
}

template <typename F>
void ReadElements(TTagReader& r, F&& element) {
  std::int32_t count = 0;
  r.ReadBlock(TBaseArray::kBaseTag, [&](TTag tag) {
    if (tag == TBaseArray::kTagCount) {
      count = r.ReadInteger();
      return true;
    }
    if (tag != TBaseArray::kTagItems) return false;
    // Every element takes at least a begin and an end tag.
    if (count < 0 || static_cast<std::size_t>(count) > r.Remaining() / (2 * kTagSize))
      RaiseBadValue();
    for (std::int32_t i = 0; i < count; ++i) element();
    return true;
  });
}

void WriteCommon(TTagWriter& w, const TDimensionOrSummary& d);
void ReadCommon(TTagReader& r, TDimensionOrSummary& d);
//! The common block followed by the dimension block.
void WriteDimension(TTagWriter& w, const TDimension& d);
//! The dimension block only; binds the default attribute afterwards.
void ReadDimensionBlock(TTagReader& r, TDimension& d);
//! Raises the stream error when parents or used members leave the member range.
void CheckDimension(const TDimension& d);

}  // namespace qd::cube_blocks
