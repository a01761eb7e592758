// Shared pieces of the stream tests: byte helpers, golden files and a small
// streamed class with one field of every kind.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/io/memory_stream.h"
#include "engine/arrays/string_array.h"
#include "engine/io/tagged_stream.h"
#include "engine/arrays/typed_arrays.h"

namespace qd::test {

using TBytes = std::vector<std::uint8_t>;

//! A container with its first field written twice: the block's bytes up to
//! the end of that field, then that field and the rest again.
inline TBytes WithFirstFieldTwice(const TBytes& container) {
  TTagReader r(container);
  r.ReadTag();
  const std::size_t first = r.Position();
  r.ReadTag();
  r.SkipValue();
  const std::size_t firstEnd = r.Position();
  TBytes twice(container.begin(), container.begin() + static_cast<std::ptrdiff_t>(firstEnd));
  twice.insert(twice.end(), container.begin() + static_cast<std::ptrdiff_t>(first),
               container.end());
  return twice;
}

inline TBytes Bytes(std::initializer_list<int> list) {
  TBytes out;
  for (int b : list) out.push_back(static_cast<std::uint8_t>(b));
  return out;
}

//! What `write` appends to a fresh stream.
template <typename F>
TBytes Written(F&& write) {
  TMemoryStream stream;
  TTagWriter writer(stream);
  write(writer);
  return TBytes(stream.Bytes().begin(), stream.Bytes().end());
}

inline TBytes WrittenObject(const TStreamedObject& object) {
  return Written([&](TTagWriter& w) { object.Write(w); });
}

//! Compares with tests/data/streams/<name>; QD_UPDATE_GOLDEN=1 rewrites the file.
inline void ExpectGolden(const std::string& name, const TBytes& actual) {
  const std::string path = std::string(QD_TEST_DATA_DIR) + "/streams/" + name;
  const char* update = std::getenv("QD_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(actual.data()), actual.size());
    return;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << "missing golden file " << path;
  TBytes expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(actual, expected) << "golden file " << name << " differs";
}

//! A streamed class with a field of every kind (base tag 0x300).
class TSample : public TStreamedObject {
 public:
  static constexpr TTag kBase = 0x300;
  std::string Name;
  std::int32_t Number = 0;
  std::int64_t Big = 0;
  std::uint8_t Kind = 0;
  bool Flag = false;
  TIntegerArray Keys;
  TStringArray Captions;

  void Write(TTagWriter& w) const override {
    w.WriteTag(kBase);
    if (!Name.empty()) w.WriteStringField(kBase + 5, Name);
    if (Number != 0) w.WriteIntegerField(kBase + 10, Number);
    if (Big != 0) w.WriteInt64Field(kBase + 15, Big);
    if (Kind != 0) w.WriteByteField(kBase + 20, Kind);
    if (Flag) w.WriteBooleanField(kBase + 25, true);
    w.WriteObjectField(kBase + 30, &Keys);
    w.WriteRawBlock(kBase + 35, &Captions);
    w.WriteTag(EndTag(kBase));
  }
  void Read(TTagReader& r) override {
    r.ReadBlock(kBase, [&](TTag tag) {
      switch (tag) {
        case kBase + 5:
          Name = r.ReadString();
          return true;
        case kBase + 10:
          Number = r.ReadInteger();
          return true;
        case kBase + 15:
          Big = r.ReadInt64();
          return true;
        case kBase + 20:
          Kind = r.ReadByte();
          return true;
        case kBase + 25:
          Flag = r.ReadBoolean();
          return true;
        case kBase + 30:
          r.ReadObject(Keys);
          return true;
        case kBase + 35:
          Captions.Read(r);
          return true;
        default:
          return false;
      }
    });
  }
  std::int32_t Size() const override {
    return 2 * kTagSize + (Name.empty() ? 0 : kTagSize + SizeOfString(Name)) +
           (Number != 0 ? kTagSize + SizeOfInteger(Number) : 0) +
           (Big != 0 ? kTagSize + SizeOfInt64(Big) : 0) +
           (Kind != 0 ? kTagSize + SizeOfByte() : 0) + (Flag ? kTagSize + SizeOfBoolean() : 0) +
           SizeOfObjectField(&Keys) + (Captions.Size() > 0 ? kTagSize + Captions.Size() : 0);
  }
};

}  // namespace qd::test
