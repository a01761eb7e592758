#include "engine/io/object_values.h"

#include <limits>

#include "engine/core/bytes.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"

namespace qd {

void RaiseBadValue() {
  throw EStreamError(Msg(TMsg::SInvalidPropertyValue));
}

bool NextTagIs(const TTagReader& r, TTag tag) {
  if (r.Remaining() < kTagSize) return false;
  TTagReader peek(r);
  return peek.ReadTag() == tag;
}

std::size_t BeginObjectValue(TTagWriter& w) {
  const std::uint8_t code = static_cast<std::uint8_t>(TValueCode::vcObject);
  w.WriteBytes(&code, 1);
  const std::size_t sizePos = w.Stream().Position();
  const std::uint8_t zero[4] = {};
  w.WriteBytes(zero, 4);
  return sizePos;
}

void EndObjectValue(TTagWriter& w, std::size_t start, std::size_t sizePos) {
  TMemoryStream& s = w.Stream();
  const std::size_t end = s.Position();
  const std::size_t size = end - sizePos - 4;
  if (size == 0) {
    s.SetSize(start);
    return;
  }
  if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) RaiseBadValue();
  std::uint8_t sizeBytes[4];
  Store(sizeBytes, static_cast<std::uint32_t>(size));
  s.Seek(sizePos);
  s.Write(sizeBytes, 4);
  s.Seek(end);
}

std::size_t BeginObjectRead(TTagReader& r) {
  const auto head = r.ReadBytes(1);
  if (head[0] != static_cast<std::uint8_t>(TValueCode::vcObject)) RaiseBadValue();
  const std::uint32_t size = Load<std::uint32_t>(r.ReadBytes(4).data());
  r.Require(size);
  return r.Position() + size;
}

}  // namespace qd
