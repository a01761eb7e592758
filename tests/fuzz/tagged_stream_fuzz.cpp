// Parses arbitrary bytes as tagged stream data: every array form, a nested
// object with fields of each kind, and the skipper. Bad data must end in a
// Quarrydesk exception, never a crash, a leak or an out-of-bounds read; data
// that parses must write back to bytes that parse to the same content.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/core/errors.h"
#include "engine/arrays/string_array.h"
#include "engine/io/tagged_stream.h"
#include "engine/arrays/typed_arrays.h"

namespace {

using qd::TTag;
using qd::TTagReader;
using qd::TTagWriter;

class TNode : public qd::TStreamedObject {
 public:
  static constexpr TTag kBase = 0x500;
  std::string Name;
  std::int64_t Big = 0;
  bool Flag = false;
  qd::TIntegerArray Keys;
  qd::TStringArray Captions;
  qd::TDoubleArray Values;

  void Write(TTagWriter& w) const override {
    w.WriteTag(kBase);
    if (!Name.empty()) w.WriteStringField(kBase + 5, Name);
    if (Big != 0) w.WriteInt64Field(kBase + 10, Big);
    if (Flag) w.WriteBooleanField(kBase + 15, true);
    w.WriteObjectField(kBase + 20, &Keys);
    w.WriteRawBlock(kBase + 25, &Captions);
    w.WriteObjectField(kBase + 30, &Values);
    w.WriteTag(qd::EndTag(kBase));
  }
  void Read(TTagReader& r) override {
    r.ReadBlock(kBase, [&](TTag tag) {
      switch (tag) {
        case kBase + 5:
          Name = r.ReadString();
          return true;
        case kBase + 10:
          Big = r.ReadInt64();
          return true;
        case kBase + 15:
          Flag = r.ReadBoolean();
          return true;
        case kBase + 20:
          r.ReadObject(Keys);
          return true;
        case kBase + 25:
          Captions.Read(r);
          return true;
        case kBase + 30:
          r.ReadObject(Values);
          return true;
        default:
          return false;
      }
    });
  }
};

struct TAnyRecords : qd::TRecordArray {
  TAnyRecords() : qd::TRecordArray(1) {}
};

template <typename T>
std::vector<std::uint8_t> WriteBack(const T& object) {
  qd::TMemoryStream stream;
  TTagWriter writer(stream);
  object.Write(writer);
  if (static_cast<std::int32_t>(stream.Size()) != object.Size() &&
      object.Size() != 0)  // TNode does not report a size
    std::abort();
  return {stream.Bytes().begin(), stream.Bytes().end()};
}

template <typename T, typename Same>
void ParseAndCheck(std::span<const std::uint8_t> data, Same same) {
  T first;
  try {
    TTagReader reader(data);
    first.Read(reader);
  } catch (const qd::Exception&) {
    return;
  }
  std::vector<std::uint8_t> bytes = WriteBack(first);
  if (bytes.empty()) return;  // an empty array writes nothing
  T second;
  TTagReader again(bytes);
  second.Read(again);  // must not throw: it is our own output
  if (!same(first, second)) std::abort();
}

template <typename A>
bool SameItems(const A& a, const A& b) {
  if (a.Count() == 0 && b.Count() == 0) return true;  // an empty array keeps no flags
  if (a.Count() != b.Count() || a.Sorted() != b.Sorted() || a.Duplicates() != b.Duplicates())
    return false;
  for (std::int32_t i = 0; i < a.Count(); ++i)
    if (!(a[i] == b[i]) && !(a[i] != a[i])) return false;  // NaN compares unequal
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the reader, the rest is the stream.
  std::span<const std::uint8_t> body(data + 1, size - 1);
  switch (data[0] % 6) {
    case 0:
      ParseAndCheck<qd::TIntegerArray>(body, SameItems<qd::TIntegerArray>);
      break;
    case 1:
      ParseAndCheck<qd::TStringArray>(body, [](const auto& a, const auto& b) {
        return a.Count() == b.Count();  // text may be normalised by the code page
      });
      break;
    case 2:
      ParseAndCheck<qd::TDoubleArray>(body, SameItems<qd::TDoubleArray>);
      break;
    case 3:
      ParseAndCheck<TAnyRecords>(body, [](const auto& a, const auto& b) {
        return a.Count() == b.Count() && a.ItemSize() == b.ItemSize();
      });
      break;
    case 4:
      ParseAndCheck<TNode>(body, [](const TNode& a, const TNode& b) {
        return a.Big == b.Big && a.Flag == b.Flag && SameItems(a.Keys, b.Keys) &&
               a.Captions.Count() == b.Captions.Count();
      });
      break;
    default: {
      // The skipper alone: values one after another until the data ends.
      TTagReader reader(body);
      try {
        while (!reader.AtEnd()) reader.SkipValue();
      } catch (const qd::Exception&) {
      }
      break;
    }
  }
  return 0;
}
