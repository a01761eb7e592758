#include "engine/io/streamed_object.h"

namespace qd {

void TStreamedObject::Write(TTagWriter&) const {}

void TStreamedObject::Read(TTagReader&) {}

std::int32_t TStreamedObject::Size() const {
  return 0;
}

}  // namespace qd
