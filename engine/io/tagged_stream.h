// The tagged stream format: objects write themselves as blocks of 16-bit tags
// followed by typed values, so that readers skip what they do not know.
//
// A field entry is a tag followed by one value; a value is a one-byte value code
// and its payload (all numbers little-endian):
//   3 byte (1) · 4/5/6 integer of 8/16/32 bits · 7 integer of 64 bits ·
//   8 false · 9 true · 15 string (1-byte length) · 16 string (4-byte length) ·
//   18 binary (4-byte length) · 19 object (4-byte size, then the object's block).
// Strings are stored as GB18030 bytes and are UTF-8 inside the program.
// A raw block is a nested object's block written right after a field tag,
// without value code or size.
//
// Reading a block has one shape (see TTagReader::ReadBlock): expect the begin
// tag, then read tags until the end tag, handing known tags to the class and
// skipping the value of any other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "engine/io/memory_stream.h"
#include "engine/io/streamed_object.h"

namespace qd {

using TTag = std::uint16_t;

//! Value codes. Codes the writer never produces are still skipped by readers.
enum class TValueCode : std::uint8_t {
  vcByte = 3,
  vcInt8 = 4,
  vcInt16 = 5,
  vcInt32 = 6,
  vcInt64 = 7,
  vcFalse = 8,
  vcTrue = 9,
  vcString = 15,
  vcLString = 16,
  vcBinary = 18,
  vcObject = 19,
};

//! Tags of the array form (typed arrays, and lists of objects written as one
//! array: 0x100, 0x114 count, 0x119 and the elements' blocks, 0x1FF).
namespace array_form {
constexpr TTag kBase = 0x100;
constexpr TTag kTagItemSize = 0x105;
constexpr TTag kTagDuplicates = 0x10A;
constexpr TTag kTagSorted = 0x10F;
constexpr TTag kTagCount = 0x114;
constexpr TTag kTagItems = 0x119;
}  // namespace array_form

//! The end tag of the block that begins with base tag `base`.
constexpr TTag EndTag(TTag base) {
  return static_cast<TTag>(base + 255);
}

// Sizes of values in bytes, value code included (tag excluded unless named).
constexpr std::int32_t kTagSize = 2;
std::int32_t SizeOfInteger(std::int32_t v);
std::int32_t SizeOfInt64(std::int64_t v);
constexpr std::int32_t SizeOfByte() {
  return 2;
}
constexpr std::int32_t SizeOfBoolean() {
  return 1;
}
//! Size of a string value whose stored (GB18030) form has `ansiLength` bytes.
std::int32_t SizeOfAnsiString(std::size_t ansiLength);
//! Size of a UTF-8 string once written (converts it to count its stored bytes).
std::int32_t SizeOfString(std::string_view utf8);
std::int32_t SizeOfBinary(std::size_t length);
//! Bytes of a whole object field entry (tag, code, size, block); 0 when the
//! object is absent or empty, since such a field is not written.
std::int32_t SizeOfObjectField(const TStreamedObject* object);

//! Appends tagged values to a memory stream at its position.
class TTagWriter {
 public:
  explicit TTagWriter(TMemoryStream& stream) : FStream(stream) {}

  void WriteTag(TTag tag);
  //! Code 4, 5 or 6, whichever is the smallest that holds v.
  void WriteInteger(std::int32_t v);
  //! Code 7 outside the 32-bit range, otherwise as WriteInteger.
  void WriteInt64(std::int64_t v);
  void WriteByte(std::uint8_t v);
  void WriteBoolean(bool v);
  //! A UTF-8 string, stored as GB18030 with code 15 below 256 bytes, else 16.
  void WriteString(std::string_view utf8);
  //! Bytes that are already in their stored form.
  void WriteAnsiString(std::string_view ansi);
  void WriteBinary(const void* data, std::size_t length);
  //! Field entry "tag, code 19, size, block"; nothing when the object is null
  //! or its Size() is 0.
  void WriteObjectField(TTag tag, const TStreamedObject* object);
  //! Field tag followed by the object's block without code or size; nothing
  //! when the object is null or empty.
  void WriteRawBlock(TTag tag, const TStreamedObject* object);

  // Field-entry shorthands: the tag, then the value.
  void WriteIntegerField(TTag tag, std::int32_t v);
  void WriteInt64Field(TTag tag, std::int64_t v);
  void WriteByteField(TTag tag, std::uint8_t v);
  void WriteBooleanField(TTag tag, bool v);
  void WriteStringField(TTag tag, std::string_view utf8);

  //! Bytes written without any framing (for custom payloads).
  void WriteBytes(const void* data, std::size_t length) { FStream.Write(data, length); }
  TMemoryStream& Stream() { return FStream; }

 private:
  void WriteCode(TValueCode code);
  TMemoryStream& FStream;
};

//! Reads tagged values from bytes it does not own. It never reads past the end:
//! every length and count is checked against what remains, and running out of
//! data raises EStreamError. Positions are offsets into the bytes.
class TTagReader {
 public:
  explicit TTagReader(std::span<const std::uint8_t> data, std::size_t position = 0);
  explicit TTagReader(const TMemoryStream& stream)
      : TTagReader(stream.Bytes(), stream.Position()) {}

  std::size_t Position() const { return FPos; }
  //! All the bytes the reader reads from.
  std::span<const std::uint8_t> Data() const { return FData; }
  void Seek(std::size_t position);
  std::size_t Remaining() const { return FData.size() - FPos; }
  bool AtEnd() const { return FPos == FData.size(); }

  TTag ReadTag();
  //! Reads a tag; when it is not `tag`, steps back to where it started and
  //! raises "非法流数据在位置 %x. Tag %x expected".
  void ExpectTag(TTag tag);

  //! Codes 4, 5, 6 sign-extended; any other code raises "非法属性值".
  std::int32_t ReadInteger();
  //! Code 7, or an integer.
  std::int64_t ReadInt64();
  //! Code 3, or the low byte of an integer.
  std::uint8_t ReadByte();
  //! True for code 9; any other code reads as false.
  bool ReadBoolean();
  //! A string value (codes 15, 16) converted to UTF-8.
  std::string ReadString();
  //! A string value in its stored bytes.
  std::string ReadAnsiString();
  //! A binary value (code 18): a view of its bytes inside the reader's data.
  std::span<const std::uint8_t> ReadBinary();
  //! An object value (code 19): the stored size is skipped over and the object
  //! reads its block.
  void ReadObject(TStreamedObject& object);
  //! Skips one value of any code (low seven bits; above 19 raises "非法属性值").
  void SkipValue();

  //! Reads one block: expects `base`, then calls `field(tag)` for each tag until
  //! the end tag. `field` reads the value and returns true for tags it knows;
  //! for false the value is skipped.
  void ReadBlock(TTag base, const std::function<bool(TTag)>& field);

  //! Objects nested inside each other deeper than this are refused: no stored
  //! file has them, and following them would only exhaust the stack.
  static constexpr int kMaxNesting = 256;
  //! Counts one level of nesting while it lives; beyond kMaxNesting it raises
  //! the stream error "非法属性值".
  class TNesting {
   public:
    explicit TNesting(TTagReader& r);
    ~TNesting() { --FReader.FDepth; }
    TNesting(const TNesting&) = delete;
    TNesting& operator=(const TNesting&) = delete;

   private:
    TTagReader& FReader;
  };

  //! n raw bytes, checked against what remains.
  std::span<const std::uint8_t> ReadBytes(std::size_t n);
  //! Raises EStreamError unless n more bytes are available.
  void Require(std::size_t n) const;

 private:
  std::uint8_t ReadU8();
  std::uint32_t ReadU32();
  [[noreturn]] void RaiseInvalidValue() const;
  std::span<const std::uint8_t> FData;
  std::size_t FPos = 0;
  int FDepth = 0;
};

}  // namespace qd
