#include "engine/cube/cube_file.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "engine/cube/cube_file_blocks.h"
#include "engine/cube/cube_file_decode.h"
#include "engine/cube/cube_file_header.h"
#include "engine/cube/cube_integrity.h"
#include "engine/core/bytes.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/io/crc32c.h"
#include "engine/io/lzss.h"
#include "engine/io/safe_file.h"
#include "engine/core/messages.h"
#include "engine/core/progress.h"
#include "engine/arrays/string_array.h"
#include "engine/arrays/typed_arrays.h"

namespace qd {
namespace {

// Container.
constexpr TTag kContainer = 0x1200;
constexpr TTag kTagCube = 0x1205;
constexpr TTag kTagUserData = 0x1214;
using namespace cube_blocks;

void RequireActive(const TCustomVantra& cube) {
  if (!cube.Active()) throw ECubeError(Msg(TMsg::SCannotSaveInactiveCube));
}

// ---- Fact table ----

// The fact table's own block: its shape. The records come before it in the
// generic array form, one binary value of count × record size bytes, written
// by hand: their size and count are checked against each other on reading.
struct TFactShape {
  std::int32_t Dims = 0;
  std::int32_t Sums = 0;
};

// clang-format off
constexpr auto kFactShape = Block<TFactShape>(0xF00, {
    Field<&TFactShape::Dims>(0xF05),
    Field<&TFactShape::Sums>(0xF0A),
});
// clang-format on
static_assert(WellFormed(kFactShape));

void WriteFacts(TTagWriter& w, const TFactTable& f) {
  if (f.RecordCount() > 0) {
    w.WriteTag(array_form::kBase);
    w.WriteIntegerField(array_form::kTagItemSize, f.RecordSize());
    w.WriteByteField(array_form::kTagDuplicates, static_cast<std::uint8_t>(TDuplicates::dupAccept));
    w.WriteIntegerField(array_form::kTagCount, f.RecordCount());
    w.WriteTag(array_form::kTagItems);
    w.WriteBinary(f.Data(), static_cast<std::size_t>(f.RecordCount()) * f.RecordSize());
    w.WriteTag(EndTag(array_form::kBase));
  }
  WriteFields(w, kFactShape, TFactShape{f.DimCount(), f.SumCount()});
}

std::unique_ptr<TFactTable> ReadFacts(TTagReader& r) {
  std::int32_t recordSize = 0, count = 0;
  std::span<const std::uint8_t> records;
  if (NextTagIs(r, array_form::kBase)) {
    r.ReadBlock(array_form::kBase, [&](TTag tag) {
      switch (tag) {
        case array_form::kTagItemSize:
          recordSize = r.ReadInteger();
          return true;
        case array_form::kTagCount:
          count = r.ReadInteger();
          return true;
        case array_form::kTagItems:
          records = r.ReadBinary();
          return true;
        default:
          return false;
      }
    });
  }
  TFactShape shape;
  ReadFields(r, kFactShape, shape);
  if (shape.Dims < 0 || shape.Sums < 0 || shape.Dims > 0xFFFF || shape.Sums > 0xFFFF || count < 0)
    RaiseBadValue();
  auto facts = std::make_unique<TFactTable>(shape.Dims, shape.Sums);
  if (count > 0 || !records.empty()) {
    if (recordSize != facts->RecordSize() || recordSize <= 0 ||
        records.size() != static_cast<std::size_t>(count) * static_cast<std::size_t>(recordSize))
      RaiseBadValue();
    // Records decoded straight into a block stay where they are.
    if (void* block = TAdoptableBlock::Take(records))
      facts->Adopt(block, records.data(), count);
    else
      facts->Assign(records.data(), count);
  }
  return facts;
}

void CheckFacts(const TBuiltCube& b) {
  const TFactTable& f = *b.FactTable;
  if (f.DimCount() != static_cast<int>(b.Dimensions.size()) ||
      f.SumCount() != static_cast<int>(b.Summaries.size()))
    RaiseBadValue();
  std::vector<std::int32_t> counts;
  for (const auto& d : b.Dimensions) counts.push_back(d->MemberCount());
  for (std::int32_t r = 0; r < f.RecordCount(); ++r)
    for (int d = 0; d < f.DimCount(); ++d) {
      const std::int32_t m = f.Member(r, d);
      if (m < 0 || m >= counts[static_cast<std::size_t>(d)]) RaiseBadValue();
    }
}

// ---- Cube stream ----

// The version is checked as soon as it is read.
constexpr auto kVersion = Custom<TBuiltCube>(
    0x505, TFieldKind::fkInteger, [](const TBuiltCube&) { return true; },
    [](TTagWriter& w, TTag t, const TBuiltCube&) { w.WriteIntegerField(t, kCubeStreamVersion); },
    [](TTagReader& r, TBuiltCube&) {
      const std::int32_t v = r.ReadInteger();
      if (v < kFirstAcceptedCubeVersion || v > kCubeStreamVersion)
        throw ECubeError(Msg(TMsg::SEarlyStreamVersion));
    });

// Dimensions and summaries: object arrays of their blocks, as object values.
template <class T, class F>
void WriteBuiltList(TTagWriter& w, TTag tag, const std::vector<std::unique_ptr<T>>& list,
                    F&& writeOne) {
  WriteObjectInPlace(w, tag, [&] {
    WriteObjectArray(w, list, [&](const std::unique_ptr<T>& item) { writeOne(*item); });
  });
}

template <class T, class F>
std::vector<std::unique_ptr<T>> ReadBuiltList(TTagReader& r, F&& readOne) {
  std::vector<std::unique_ptr<T>> list;
  ReadObjectInPlace(r, [&] {
    ReadObjectArray(r, [&] {
      auto item = std::make_unique<T>();
      readOne(*item);
      list.push_back(std::move(item));
    });
  });
  return list;
}

constexpr auto kDimensionList = Custom<TBuiltCube>(
    0x519, TFieldKind::fkObject, [](const TBuiltCube& b) { return !b.Dimensions.empty(); },
    [](TTagWriter& w, TTag t, const TBuiltCube& b) {
      WriteBuiltList(w, t, b.Dimensions, [&](const TDimension& d) { WriteDimension(w, d); });
    },
    [](TTagReader& r, TBuiltCube& b) {
      b.Dimensions = ReadBuiltList<TDimension>(r, [&](TDimension& d) {
        ReadCommon(r, d);
        ReadDimensionBlock(r, d);
        CheckDimension(d);
      });
    },
    [](TBuiltCube& b) { b.Dimensions.clear(); });

constexpr auto kSummaryList = Custom<TBuiltCube>(
    0x51E, TFieldKind::fkObject, [](const TBuiltCube& b) { return !b.Summaries.empty(); },
    [](TTagWriter& w, TTag t, const TBuiltCube& b) {
      WriteBuiltList(w, t, b.Summaries, [&](const TSummary& s) { WriteCommon(w, s); });
    },
    [](TTagReader& r, TBuiltCube& b) {
      b.Summaries = ReadBuiltList<TSummary>(r, [&](TSummary& s) { ReadCommon(r, s); });
    },
    [](TBuiltCube& b) { b.Summaries.clear(); });

constexpr auto kFactTable = Custom<TBuiltCube>(
    0x514, TFieldKind::fkObject, [](const TBuiltCube& b) { return b.FactTable != nullptr; },
    [](TTagWriter& w, TTag t, const TBuiltCube& b) {
      WriteObjectInPlace(w, t, [&] { WriteFacts(w, *b.FactTable); });
    },
    [](TTagReader& r, TBuiltCube& b) {
      std::unique_ptr<TFactTable> facts;
      ReadObjectInPlace(r, [&] { facts = ReadFacts(r); });
      b.FactTable = std::move(facts);
    },
    [](TBuiltCube& b) { b.FactTable.reset(); });

// ---- Weighted records ----

// A cube aggregated in the database says so (0x523, the TBuildMode ordinal)
// and keeps its records' counts and moments beside the fact table (0x528, an
// object value: 0xA05 doubles per record, 0xA0A records, 0xA0F the doubles as
// one binary value). Readers that do not know the tags skip them; files of
// cubes built from every row hold neither.
constexpr TTag kWeightsBase = 0xA00;
constexpr TTag kTagWeightStride = 0xA05;
constexpr TTag kTagWeightCount = 0xA0A;
constexpr TTag kTagWeightData = 0xA0F;

bool HasWeights(const TBuiltCube& b) {
  return b.FactTable && b.FactTable->Weights();
}

void WriteWeights(TTagWriter& w, const TFactWeights& weights) {
  w.WriteTag(kWeightsBase);
  w.WriteIntegerField(kTagWeightStride, static_cast<std::int32_t>(weights.Stride()));
  w.WriteIntegerField(kTagWeightCount, weights.RecordCount());
  w.WriteTag(kTagWeightData);
  w.WriteBinary(reinterpret_cast<const std::uint8_t*>(weights.Data().data()),
                weights.Data().size() * sizeof(double));
  w.WriteTag(EndTag(kWeightsBase));
}

// The weights must fit the fact table read before them, and every record
// must stand for one fact at least.
std::unique_ptr<TFactWeights> ReadWeights(TTagReader& r, const TFactTable* facts) {
  std::int32_t stride = 0, count = 0;
  std::span<const std::uint8_t> bytes;
  r.ReadBlock(kWeightsBase, [&](TTag tag) {
    switch (tag) {
      case kTagWeightStride:
        stride = r.ReadInteger();
        return true;
      case kTagWeightCount:
        count = r.ReadInteger();
        return true;
      case kTagWeightData:
        bytes = r.ReadBinary();
        return true;
      default:
        return false;
    }
  });
  if (!facts) RaiseBadValue();
  auto weights = std::make_unique<TFactWeights>(facts->SumCount());
  if (stride != static_cast<std::int32_t>(weights->Stride()) || count != facts->RecordCount() ||
      bytes.size() != static_cast<std::size_t>(count) * weights->Stride() * sizeof(double))
    RaiseBadValue();
  weights->Resize(count);
  if (!bytes.empty()) std::memcpy(weights->Data().data(), bytes.data(), bytes.size());
  for (std::int32_t i = 0; i < count; ++i)
    if (!(weights->Count(i) >= 1) || !std::isfinite(weights->Count(i))) RaiseBadValue();
  return weights;
}

constexpr auto kBuildMode = Custom<TBuiltCube>(
    0x523, TFieldKind::fkByte, HasWeights,
    [](TTagWriter& w, TTag t, const TBuiltCube&) {
      w.WriteByteField(t, static_cast<std::uint8_t>(TBuildMode::bmAggregatedInDatabase));
    },
    [](TTagReader& r, TBuiltCube& b) {
      const std::uint8_t mode = r.ReadByte();
      if (mode > static_cast<std::uint8_t>(TBuildMode::bmAggregatedInDatabase)) RaiseBadValue();
      b.StoredMode = static_cast<TBuildMode>(mode);
    },
    [](TBuiltCube& b) { b.StoredMode = TBuildMode::bmEveryRow; });

constexpr auto kWeights = Custom<TBuiltCube>(
    0x528, TFieldKind::fkObject, HasWeights,
    [](TTagWriter& w, TTag t, const TBuiltCube& b) {
      WriteObjectInPlace(w, t, [&] { WriteWeights(w, *b.FactTable->Weights()); });
    },
    [](TTagReader& r, TBuiltCube& b) {
      std::unique_ptr<TFactWeights> weights;
      ReadObjectInPlace(r, [&] { weights = ReadWeights(r, b.FactTable.get()); });
      b.FactTable->SetWeights(std::move(weights));
    });

// The integrity record comes last, so that only the stream's end tag follows
// it when its checksum is taken; the checksum leaves the record out. Where
// the cube stream being written began:
constexpr TTag kCubeStreamBase = 0x500;
constexpr TTag kTagIntegrity = 0x5F0;
thread_local std::size_t tCubeStreamBegin = 0;

constexpr auto kIntegrityRecord = Custom<TBuiltCube>(
    kTagIntegrity, TFieldKind::fkObject, nullptr,
    [](TTagWriter& w, TTag t, const TBuiltCube& b) {
      const std::span<const std::uint8_t> written = w.Stream().Bytes().subspan(
          tCubeStreamBegin, w.Stream().Position() - tCubeStreamBegin);
      const TTag end = EndTag(kCubeStreamBase);
      const std::uint8_t endBytes[2] = {static_cast<std::uint8_t>(end & 0xFF),
                                        static_cast<std::uint8_t>(end >> 8)};
      WriteIntegrityRecord(w, t, b, Crc32c(Crc32c(0, written), endBytes));
    },
    [](TTagReader& r, TBuiltCube& b) { ReadIntegrityRecord(r, b.Integrity); },
    [](TBuiltCube& b) { b.Integrity = {}; });

// clang-format off
constexpr auto kCubeStream = Block<TBuiltCube>(kCubeStreamBase, {
    kVersion,
    kDimensionList,
    kSummaryList,
    kFactTable,
    kBuildMode,
    kWeights,
    kIntegrityRecord,
});
// clang-format on
static_assert(WellFormed(kCubeStream));

}  // namespace

void WriteCubeStream(const TCustomVantra& cube, TTagWriter& w) {
  RequireActive(cube);
  // Room for the fact records and a share for the members up front, so that
  // the stream does not grow by copying hundreds of megabytes.
  std::size_t hint = 1 << 20;
  if (const TFactTable* f = cube.FactTable())
    hint += static_cast<std::size_t>(f->RecordCount()) * static_cast<std::size_t>(f->RecordSize());
  for (const auto& d : cube.Dimensions()) hint += 32 * static_cast<std::size_t>(d->MemberCount());
  std::vector<std::uint8_t>& buffer = w.Stream().Buffer();
  if (buffer.capacity() < buffer.size() + hint) buffer.reserve(buffer.size() + hint);
  tCubeStreamBegin = w.Stream().Position();
  WriteFields(w, kCubeStream, cube.Built());
}

void ReadCubeStream(TCustomVantra& cube, TTagReader& r) {
  TBuiltCube& b = cube.Built();
  const std::size_t begin = r.Position();
  ReadFields(r, kCubeStream, b);
  if (b.Integrity.Stored) {
    const auto stream = r.Data().subspan(begin, r.Position() - begin);
    b.Integrity.ComputedCrc = ChecksumOutsideField(stream, kCubeStreamBase, kTagIntegrity);
    if (b.Integrity.ComputedCrc != b.Integrity.Crc && cube.RefuseDamagedStreams)
      throw ECubeError(Msg(TMsg::SCubeChecksumMismatch));
  }
  // A cube stream without a fact table still loads as a cube without records.
  if (!b.FactTable)
    b.FactTable = std::make_unique<TFactTable>(static_cast<int>(b.Dimensions.size()),
                                               static_cast<int>(b.Summaries.size()));
  CheckFacts(b);
  // The mode and the weights come together or not at all.
  if ((b.StoredMode == TBuildMode::bmAggregatedInDatabase) != (b.FactTable->Weights() != nullptr))
    RaiseBadValue();
}

void SaveCubeToStream(const TCustomVantra& cube, TMemoryStream& stream,
                      std::span<const std::uint8_t> user) {
  RequireActive(cube);
  TTagWriter w(stream);
  w.WriteTag(kContainer);
  WriteObjectInPlace(w, kTagCube, [&] { WriteCubeStream(cube, w); });
  if (!user.empty()) {
    w.WriteTag(kTagUserData);
    w.WriteBinary(user.data(), user.size());
  }
  w.WriteTag(EndTag(kContainer));
}

void ReadCubeObject(TCustomVantra& cube, TTagReader& r) {
  bool started = false;
  try {
    ReadObjectInPlace(r, [&] {
      if (cube.Active()) cube.SetActive(false);
      cube.DoBeforeOpen();
      started = true;
      TBuiltCube& b = cube.Built();
      b.KeySet.Clear();
      b.LookupFields.clear();
      ReadCubeStream(cube, r);
    });
  } catch (...) {
    // Also when the cube stream ends before or after its stated size.
    if (started) AbandonCubeLoad(cube);
    throw;
  }
}

void AbandonCubeLoad(TCustomVantra& cube) {
  cube.SetActiveFlag(false);
  cube.Built().DiscardLists();
  cube.Built().FactTable.reset();
}

void FinishCubeLoad(TCustomVantra& cube) {
  cube.SetActiveFlag(true);
  cube.DoAfterOpen();
  cube.NotifyGridModels(TCubeChange::ccLoaded);
}

namespace {

void LoadCubeFromReader(TCustomVantra& cube, TTagReader& r, TUserBuffer* user) {
  bool read = false;
  if (user) user->Received = 0;
  try {
    r.ReadBlock(kContainer, [&](TTag tag) {
      if (tag == kTagCube) {
        if (read) RaiseBadValue();  // one cube per container (see ReadCubeObject)
        ReadCubeObject(cube, r);
        read = true;
        return true;
      }
      if (tag == kTagUserData) return ReadUserData(r, user);
      return false;
    });
  } catch (...) {
    // A cube already read is not left half-announced: a container that breaks
    // after it leaves the cube inactive, as any other malformed stream does.
    if (read) AbandonCubeLoad(cube);
    throw;
  }
  if (read) FinishCubeLoad(cube);
}

}  // namespace

void LoadCubeFromStream(TCustomVantra& cube, TMemoryStream& stream, TUserBuffer* user) {
  TTagReader r(stream);
  try {
    LoadCubeFromReader(cube, r, user);
  } catch (...) {
    stream.Seek(r.Position());
    throw;
  }
  stream.Seek(r.Position());
}

bool ReadUserData(TTagReader& r, TUserBuffer* user) {
  if (!user || !user->Data) return false;
  const auto bytes = r.ReadBinary();
  const std::size_t n = std::min(bytes.size(), user->Size);
  if (n > 0) std::memcpy(user->Data, bytes.data(), n);
  user->Received = n;
  return true;
}

void WriteContainerFile(const std::string& path, std::span<const std::uint8_t> container) {
  CompressToFile(container, path);
}

std::vector<std::uint8_t> DecodeContainer(std::span<const std::uint8_t> code, std::size_t limit) {
  if (code.size() > limit || DecodedSize(code) > limit) RaiseBadValue();
  return DecompressBytes(code);
}

std::vector<std::uint8_t> ReadContainerFile(const std::string& path, std::size_t limit) {
  return DecodeContainer(ReadRegularFile(path, limit), limit);
}

void SaveCubeToFile(const TCustomVantra& cube, const std::string& path,
                    std::span<const std::uint8_t> user) {
  RequireActive(cube);
  TBusyCursorScope cursor(TBusyCursor::crHourGlass);
  TMemoryStream s;
  SaveCubeToStream(cube, s, user);
  WriteContainerFile(path, s.Bytes());
}

void LoadCubeFromFile(TCustomVantra& cube, const std::string& path, TUserBuffer* user) {
  TBusyCursorScope cursor(TBusyCursor::crHourGlass);
  std::vector<std::uint8_t> code = ReadRegularFile(path);
  ReadDamageable(path, TMsg::SCubeFileDamaged, [&] {
    TContainerBlock block = DecodeCubeContainer(code, kMaxContainerBytes, TRecords::rKeep, true);
    std::vector<std::uint8_t>().swap(code);  // not held beside the decoded records
    TAdoptableBlock adoptable(block);
    TTagReader r(block.Bytes());
    LoadCubeFromReader(cube, r, user);
  });
}

namespace {

// The cube stream's fields before the fact table, then the record count the
// fact table states before its records.
void ReadHead(TTagReader& r, TCubeFileHeader& h, std::size_t& factObjectEnd) {
  r.ExpectTag(kContainer);
  while (r.ReadTag() != kTagCube) r.SkipValue();
  r.ReadBytes(5);  // the object value's code and size
  TBuiltCube b;
  r.ExpectTag(kCubeStreamBase);
  for (TTag tag = r.ReadTag(); tag != kFactTable.Tag; tag = r.ReadTag()) {
    const TFieldDecl<TBuiltCube>* field = nullptr;
    for (const auto* f : {&kVersion, &kDimensionList, &kSummaryList})
      if (f->Tag == tag) field = f;
    if (field)
      field->Read(r, b);
    else
      r.SkipValue();
  }
  r.ReadBytes(1);
  factObjectEnd = Load<std::uint32_t>(r.ReadBytes(4).data());
  factObjectEnd += r.Position();
  std::int32_t recordSize = 0;
  r.ExpectTag(array_form::kBase);
  for (TTag tag = r.ReadTag(); tag != array_form::kTagItems; tag = r.ReadTag()) {
    if (tag == array_form::kTagCount)
      h.RecordCount = r.ReadInteger();
    else if (tag == array_form::kTagItemSize)
      recordSize = r.ReadInteger();
    else
      r.SkipValue();
  }
  const auto expected = static_cast<std::int32_t>(4 * b.Dimensions.size() + 8 * b.Summaries.size());
  if (h.RecordCount < 0 || recordSize != expected) RaiseBadValue();
  h.Dimensions = std::move(b.Dimensions);
  h.Summaries = std::move(b.Summaries);
}

// The rest of the cube stream behind the passed-over records: the integrity
// record, checked against the checksum of everything else.
void ReadTail(const TContainerBlock& block, std::size_t factObjectEnd, TCubeFileHeader& h) {
  const std::size_t gone = block.RecordsLength;
  if (factObjectEnd < block.RecordsAt + gone) RaiseBadValue();
  TTagReader r(block.Bytes());
  r.Seek(block.RecordsAt);
  r.ReadBytes(factObjectEnd - gone - block.RecordsAt);
  std::uint32_t crc = Crc32c(block.CrcThroughRecords, block.Bytes().subspan(block.RecordsAt, r.Position() - block.RecordsAt));
  TBuiltCube b;
  for (;;) {
    const std::size_t at = r.Position();
    const TTag tag = r.ReadTag();
    if (tag == kIntegrityRecord.Tag) {
      kIntegrityRecord.Read(r, b);
      continue;
    }
    if (tag == kBuildMode.Tag)
      kBuildMode.Read(r, b);
    else if (tag != EndTag(kCubeStreamBase))
      r.SkipValue();
    crc = Crc32c(crc, block.Bytes().subspan(at, r.Position() - at));
    if (tag == EndTag(kCubeStreamBase)) break;
  }
  h.Mode = b.StoredMode;
  h.Integrity = std::move(b.Integrity);
  if (h.Integrity.Stored) {
    h.Integrity.ComputedCrc = crc;
    if (h.Integrity.ComputedCrc != h.Integrity.Crc) throw ECubeError(Msg(TMsg::SCubeChecksumMismatch));
  }
}

// A container not laid out for the quick way is loaded whole.
void LoadHeaderWhole(const TContainerBlock& block, TCubeFileHeader& h) {
  TVantra cube;
  TTagReader r(block.Bytes());
  LoadCubeFromReader(cube, r, nullptr);
  h.HasCube = cube.Active();
  if (!h.HasCube) return;
  TBuiltCube& b = cube.Built();
  h.RecordCount = b.FactTable ? b.FactTable->RecordCount() : 0;
  h.Mode = b.StoredMode;
  h.Dimensions = std::move(b.Dimensions);
  h.Summaries = std::move(b.Summaries);
  h.Integrity = std::move(b.Integrity);
}

void ReadHeader(const TContainerBlock& block, bool integrity, TCubeFileHeader& h) {
  const TFactItems items = FindFactItems(block.Bytes());
  if (!items.Found || (integrity && !block.RecordsPassed)) return LoadHeaderWhole(block, h);
  TTagReader r(block.Bytes().first(items.Offset));
  std::size_t factObjectEnd = 0;
  ReadHead(r, h, factObjectEnd);
  h.HasCube = true;
  if (integrity) ReadTail(block, factObjectEnd, h);
}

}  // namespace

TCubeFileHeader ReadCubeFileHeader(const std::string& path, bool integrity) {
  std::vector<std::uint8_t> code = ReadRegularFile(path);
  TCubeFileHeader h;
  ReadDamageable(path, TMsg::SCubeFileDamaged, [&] {
    const TContainerBlock block = DecodeCubeContainer(
        code, kMaxContainerBytes, integrity ? TRecords::rPassOver : TRecords::rStopBefore);
    ReadHeader(block, integrity, h);
  });
  return h;
}

TCubeFileHeader ReadCubeHeader(const TContainerBlock& block) {
  TCubeFileHeader h;
  ReadHeader(block, false, h);
  return h;
}

void ReadDamageable(const std::string& path, TMsg damaged, const std::function<void()>& read) {
  const auto message = [&](const std::exception& e) {
    return Format(Msg(damaged), path, e.what());
  };
  try {
    read();
  } catch (const EStreamError& e) {
    throw EStreamError(message(e));
  } catch (const EArrayError& e) {
    throw EArrayError(message(e));
  } catch (const ECubeError& e) {
    throw ECubeError(message(e));
  } catch (const std::length_error& e) {
    throw EStreamError(message(e));
  }
}

}  // namespace qd
