#include "engine/io/tagged_stream.h"

#include <cstring>
#include <limits>

#include "engine/core/bytes.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_codec.h"

namespace qd {
namespace {

bool FitsInt8(std::int64_t v) {
  return v >= -128 && v <= 127;
}
bool FitsInt16(std::int64_t v) {
  return v >= -32768 && v <= 32767;
}
bool FitsInt32(std::int64_t v) {
  return v >= std::numeric_limits<std::int32_t>::min() &&
         v <= std::numeric_limits<std::int32_t>::max();
}

template <typename T>
void PutLE(TMemoryStream& s, T v) {
  std::uint8_t b[sizeof(T)];
  Store(b, v);
  s.Write(b, sizeof b);
}

template <typename T>
T GetLE(std::span<const std::uint8_t> b) {
  return Load<T>(b.data());
}

// Payload bytes of the value codes with a fixed payload; -1 marks codes whose
// payload carries its own length (15, 16, 17, 18, 19).
constexpr int kFixedPayload[20] = {0, 0, 1, 1,  1, 2,  4,  8,  0,  0,
                                   4, 8, 8, 10, 8, -1, -1, -1, -1, -1};

}  // namespace

std::int32_t SizeOfInteger(std::int32_t v) {
  return FitsInt8(v) ? 2 : FitsInt16(v) ? 3 : 5;
}

std::int32_t SizeOfInt64(std::int64_t v) {
  return FitsInt32(v) ? SizeOfInteger(static_cast<std::int32_t>(v)) : 9;
}

std::int32_t SizeOfAnsiString(std::size_t ansiLength) {
  return static_cast<std::int32_t>(ansiLength + (ansiLength < 256 ? 2 : 5));
}

std::int32_t SizeOfString(std::string_view utf8) {
  return SizeOfAnsiString(Utf8ToAnsi(utf8).size());
}

std::int32_t SizeOfBinary(std::size_t length) {
  return static_cast<std::int32_t>(length + 5);
}

std::int32_t SizeOfObjectField(const TStreamedObject* object) {
  if (object == nullptr) return 0;
  std::int32_t size = object->Size();
  return size > 0 ? 7 + size : 0;
}

// ---- writer ----------------------------------------------------------------

void TTagWriter::WriteCode(TValueCode code) {
  PutLE(FStream, static_cast<std::uint8_t>(code));
}

void TTagWriter::WriteTag(TTag tag) {
  PutLE(FStream, tag);
}

void TTagWriter::WriteInteger(std::int32_t v) {
  if (FitsInt8(v)) {
    WriteCode(TValueCode::vcInt8);
    PutLE(FStream, static_cast<std::int8_t>(v));
  } else if (FitsInt16(v)) {
    WriteCode(TValueCode::vcInt16);
    PutLE(FStream, static_cast<std::int16_t>(v));
  } else {
    WriteCode(TValueCode::vcInt32);
    PutLE(FStream, v);
  }
}

void TTagWriter::WriteInt64(std::int64_t v) {
  if (FitsInt32(v)) {
    WriteInteger(static_cast<std::int32_t>(v));
    return;
  }
  WriteCode(TValueCode::vcInt64);
  PutLE(FStream, v);
}

void TTagWriter::WriteByte(std::uint8_t v) {
  WriteCode(TValueCode::vcByte);
  PutLE(FStream, v);
}

void TTagWriter::WriteBoolean(bool v) {
  WriteCode(v ? TValueCode::vcTrue : TValueCode::vcFalse);
}

void TTagWriter::WriteString(std::string_view utf8) {
  WriteAnsiString(Utf8ToAnsi(utf8));
}

void TTagWriter::WriteAnsiString(std::string_view ansi) {
  if (ansi.size() < 256) {
    WriteCode(TValueCode::vcString);
    PutLE(FStream, static_cast<std::uint8_t>(ansi.size()));
  } else {
    if (ansi.size() > std::numeric_limits<std::int32_t>::max())
      throw EStreamError(Msg(TMsg::SInvalidPropertyValue));
    WriteCode(TValueCode::vcLString);
    PutLE(FStream, static_cast<std::uint32_t>(ansi.size()));
  }
  FStream.Write(ansi.data(), ansi.size());
}

void TTagWriter::WriteBinary(const void* data, std::size_t length) {
  if (length > std::numeric_limits<std::int32_t>::max())
    throw EStreamError(Msg(TMsg::SInvalidPropertyValue));
  WriteCode(TValueCode::vcBinary);
  PutLE(FStream, static_cast<std::uint32_t>(length));
  FStream.Write(data, length);
}

void TTagWriter::WriteObjectField(TTag tag, const TStreamedObject* object) {
  if (object == nullptr) return;
  std::int32_t size = object->Size();
  if (size <= 0) return;
  WriteTag(tag);
  WriteCode(TValueCode::vcObject);
  PutLE(FStream, size);
  object->Write(*this);
}

void TTagWriter::WriteRawBlock(TTag tag, const TStreamedObject* object) {
  if (object == nullptr || object->Size() <= 0) return;
  WriteTag(tag);
  object->Write(*this);
}

void TTagWriter::WriteIntegerField(TTag tag, std::int32_t v) {
  WriteTag(tag);
  WriteInteger(v);
}

void TTagWriter::WriteInt64Field(TTag tag, std::int64_t v) {
  WriteTag(tag);
  WriteInt64(v);
}

void TTagWriter::WriteByteField(TTag tag, std::uint8_t v) {
  WriteTag(tag);
  WriteByte(v);
}

void TTagWriter::WriteBooleanField(TTag tag, bool v) {
  WriteTag(tag);
  WriteBoolean(v);
}

void TTagWriter::WriteStringField(TTag tag, std::string_view utf8) {
  WriteTag(tag);
  WriteString(utf8);
}

// ---- reader ----------------------------------------------------------------

TTagReader::TTagReader(std::span<const std::uint8_t> data, std::size_t position)
    : FData(data), FPos(position < data.size() ? position : data.size()) {}

void TTagReader::Seek(std::size_t position) {
  FPos = position < FData.size() ? position : FData.size();
}

void TTagReader::Require(std::size_t n) const {
  if (n > Remaining())
    throw EStreamError(Format(Msg(TMsg::SStreamTruncated), FPos, n, Remaining()));
}

std::span<const std::uint8_t> TTagReader::ReadBytes(std::size_t n) {
  Require(n);
  auto bytes = FData.subspan(FPos, n);
  FPos += n;
  return bytes;
}

std::uint8_t TTagReader::ReadU8() {
  return ReadBytes(1)[0];
}

std::uint32_t TTagReader::ReadU32() {
  return GetLE<std::uint32_t>(ReadBytes(4));
}

void TTagReader::RaiseInvalidValue() const {
  throw EStreamError(Msg(TMsg::SInvalidPropertyValue));
}

TTag TTagReader::ReadTag() {
  return GetLE<TTag>(ReadBytes(2));
}

void TTagReader::ExpectTag(TTag tag) {
  std::size_t start = FPos;
  if (Remaining() >= 2 && ReadTag() == tag) return;
  FPos = start;
  throw EStreamError(Format(Msg(TMsg::SInvalidStreamData), start, tag));
}

std::int32_t TTagReader::ReadInteger() {
  switch (static_cast<TValueCode>(ReadU8())) {
    case TValueCode::vcInt8:
      return GetLE<std::int8_t>(ReadBytes(1));
    case TValueCode::vcInt16:
      return GetLE<std::int16_t>(ReadBytes(2));
    case TValueCode::vcInt32:
      return GetLE<std::int32_t>(ReadBytes(4));
    default:
      RaiseInvalidValue();
  }
}

std::int64_t TTagReader::ReadInt64() {
  Require(1);
  if (static_cast<TValueCode>(FData[FPos]) == TValueCode::vcInt64) {
    ++FPos;
    return GetLE<std::int64_t>(ReadBytes(8));
  }
  return ReadInteger();
}

std::uint8_t TTagReader::ReadByte() {
  Require(1);
  if (static_cast<TValueCode>(FData[FPos]) == TValueCode::vcByte) {
    ++FPos;
    return ReadU8();
  }
  return static_cast<std::uint8_t>(ReadInteger());
}

bool TTagReader::ReadBoolean() {
  return static_cast<TValueCode>(ReadU8()) == TValueCode::vcTrue;
}

std::string TTagReader::ReadAnsiString() {
  std::size_t length;
  switch (static_cast<TValueCode>(ReadU8())) {
    case TValueCode::vcString:
      length = ReadU8();
      break;
    case TValueCode::vcLString:
      length = ReadU32();
      break;
    default:
      RaiseInvalidValue();
  }
  auto bytes = ReadBytes(length);
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::string TTagReader::ReadString() {
  return AnsiToUtf8(ReadAnsiString());
}

std::span<const std::uint8_t> TTagReader::ReadBinary() {
  if (static_cast<TValueCode>(ReadU8()) != TValueCode::vcBinary) RaiseInvalidValue();
  return ReadBytes(ReadU32());
}

void TTagReader::ReadObject(TStreamedObject& object) {
  if (static_cast<TValueCode>(ReadU8()) != TValueCode::vcObject) RaiseInvalidValue();
  ReadBytes(4);  // the stored size only serves readers that skip the value
  object.Read(*this);
}

void TTagReader::SkipValue() {
  unsigned code = ReadU8() & 0x7F;
  if (code >= std::size(kFixedPayload)) RaiseInvalidValue();
  int fixed = kFixedPayload[code];
  if (fixed >= 0) {
    ReadBytes(static_cast<std::size_t>(fixed));
    return;
  }
  switch (code) {
    case 15:
      ReadBytes(ReadU8());
      break;
    case 17:
      ReadBytes(2 * static_cast<std::size_t>(ReadU32()));
      break;
    default:  // 16, 18, 19: a 4-byte length or size, then that many bytes
      ReadBytes(ReadU32());
      break;
  }
}

TTagReader::TNesting::TNesting(TTagReader& r) : FReader(r) {
  if (++FReader.FDepth > kMaxNesting) {
    --FReader.FDepth;
    FReader.RaiseInvalidValue();
  }
}

void TTagReader::ReadBlock(TTag base, const std::function<bool(TTag)>& field) {
  ExpectTag(base);
  const TTag end = EndTag(base);
  for (;;) {
    TTag tag = ReadTag();
    if (tag == end) return;
    if (!field(tag)) SkipValue();
  }
}

}  // namespace qd
