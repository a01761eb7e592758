// The base class of every object that saves itself in the tagged stream format
// (engine/tagged_stream.h).
#pragma once

#include <cstdint>

namespace qd {

class TTagWriter;
class TTagReader;

//! A persisted object. Each class owns a base tag B (a multiple of 256): its
//! block is the tag B, field entries tagged B + 5, B + 10, …, and the end tag
//! B + 255. A subclass writes its parent's block first and then its own, and
//! reads them back in the same order. The base writes and reads nothing.
class TStreamedObject {
 public:
  virtual ~TStreamedObject() = default;

  //! Appends the object's block(s).
  virtual void Write(TTagWriter& writer) const;
  //! Reads what Write wrote; fields that do not occur keep their current value.
  //! Malformed or truncated data raises EStreamError; fields read so far stay set.
  virtual void Read(TTagReader& reader);
  //! Exactly the number of bytes Write appends; 0 means "write nothing at all"
  //! (an object field of size 0 is omitted from its parent's block).
  virtual std::int32_t Size() const;
};

}  // namespace qd
