#include "engine/cube/cube_integrity.h"

#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "engine/core/bytes.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/io/crc32c.h"
#include "engine/io/object_values.h"
#include "engine/io/saved_fields.h"

namespace qd {
namespace {

// Per summary 16 bytes: the sum as a little-endian double, the count as a
// little-endian 64-bit integer.
constexpr std::size_t kTotalBytes = 16;

constexpr auto kTotals = Custom<TCubeIntegrity>(
    0x1623, TFieldKind::fkObject, [](const TCubeIntegrity& i) { return !i.Totals.empty(); },
    [](TTagWriter& w, TTag t, const TCubeIntegrity& i) {
      std::vector<std::uint8_t> bytes(i.Totals.size() * kTotalBytes);
      for (std::size_t s = 0; s < i.Totals.size(); ++s) {
        Store(bytes.data() + s * kTotalBytes, i.Totals[s].Sum);
        Store(bytes.data() + s * kTotalBytes + 8, i.Totals[s].Count);
      }
      w.WriteTag(t);
      w.WriteBinary(bytes.data(), bytes.size());
    },
    [](TTagReader& r, TCubeIntegrity& i) {
      const std::span<const std::uint8_t> bytes = r.ReadBinary();
      if (bytes.size() % kTotalBytes != 0) RaiseBadValue();
      i.Totals.resize(bytes.size() / kTotalBytes);
      for (std::size_t s = 0; s < i.Totals.size(); ++s) {
        i.Totals[s].Sum = Load<double>(bytes.data() + s * kTotalBytes);
        i.Totals[s].Count = Load<std::int64_t>(bytes.data() + s * kTotalBytes + 8);
      }
    },
    [](TCubeIntegrity& i) { i.Totals.clear(); });

// clang-format off
constexpr auto kIntegrity = Block<TCubeIntegrity>(0x1600, {
    Always<&TCubeIntegrity::Crc>(0x1605),
    Field<&TCubeIntegrity::Connection>(0x160A),
    Field<&TCubeIntegrity::Query>(0x160F),
    Field<&TCubeIntegrity::BuildTime>(0x1614),
    Field<&TCubeIntegrity::SourceRows>(0x1619),
    Field<&TCubeIntegrity::ProgramVersion>(0x161E),
    kTotals,
});
// clang-format on
static_assert(WellFormed(kIntegrity));

// The time now, or SOURCE_DATE_EPOCH when set, so that builds of the same
// data can give the same file.
std::string UtcNow() {
  std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch)
    now = static_cast<std::time_t>(std::strtoll(epoch, nullptr, 10));
  std::tm tm{};
  gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

std::string Exact(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

std::string Hex(std::int64_t crc) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(crc & 0xFFFFFFFF));
  return text;
}

// With `weigh`, a weighted record counts the facts it stands for; without,
// every record counts one.
std::vector<TGrandTotal> Totals(const TFactTable& facts, bool weigh) {
  const TFactWeights* weights = weigh ? facts.Weights() : nullptr;
  std::vector<TGrandTotal> totals(static_cast<std::size_t>(facts.SumCount()));
  for (std::int32_t r = 0; r < facts.RecordCount(); ++r)
    for (std::size_t s = 0; s < totals.size(); ++s) {
      const double v = facts.Value(r, static_cast<int>(s));
      if (std::isnan(v)) continue;
      totals[s].Sum += v;
      totals[s].Count += weights ? std::llround(weights->Count(r)) : 1;
    }
  return totals;
}

}  // namespace

std::vector<TGrandTotal> GrandTotals(const TFactTable& facts) {
  return Totals(facts, true);
}

void StampProvenance(TCubeIntegrity& record, const TDataOrigin& origin, std::int64_t rows) {
  record = {};
  record.Connection = origin.Connection;
  record.Query = origin.Query;
  // Records in memory have no source to date; their cubes stay the same
  // bytes whenever they are built.
  if (!origin.Connection.empty() || !origin.Query.empty()) record.BuildTime = UtcNow();
  record.SourceRows = rows;
  record.ProgramVersion = Msg(TMsg::SProductName) + ' ' + Msg(TMsg::SProductVersion);
}

void WriteIntegrityRecord(TTagWriter& w, TTag tag, const TBuiltCube& cube, std::uint32_t crc) {
  TCubeIntegrity record = cube.Integrity;
  record.Crc = crc;
  record.Totals = cube.FactTable ? GrandTotals(*cube.FactTable) : std::vector<TGrandTotal>{};
  WriteObjectInPlace(w, tag, [&] { WriteFields(w, kIntegrity, record); });
}

void ReadIntegrityRecord(TTagReader& r, TCubeIntegrity& record) {
  ReadObjectInPlace(r, [&] { ReadFields(r, kIntegrity, record); });
  record.Stored = true;
}

std::uint32_t ChecksumOutsideField(std::span<const std::uint8_t> block, TTag base, TTag field) {
  TTagReader walk(block);
  walk.ExpectTag(base);
  std::size_t from = block.size(), to = block.size();
  for (;;) {
    const std::size_t at = walk.Position();
    const TTag tag = walk.ReadTag();
    if (tag == EndTag(base)) break;
    walk.SkipValue();
    if (tag == field) {
      from = at;
      to = walk.Position();
    }
  }
  return Crc32c(Crc32c(0, block.first(from)), block.subspan(to));
}

std::vector<std::string> IntegrityDifferences(const TBuiltCube& cube) {
  const TCubeIntegrity& stored = cube.Integrity;
  std::vector<std::string> out;
  if (!stored.Stored) return out;
  if (stored.Crc != stored.ComputedCrc)
    out.push_back(Format(Msg(TMsg::SIntegrityChecksum), Hex(stored.Crc), Hex(stored.ComputedCrc)));
  const std::vector<TGrandTotal> now =
      cube.FactTable ? GrandTotals(*cube.FactTable) : std::vector<TGrandTotal>{};
  if (now.size() != stored.Totals.size()) {
    out.push_back(Format(Msg(TMsg::SIntegritySummaryCount), std::to_string(stored.Totals.size()),
                         std::to_string(now.size())));
    return out;
  }
  // A cube grouped in the database whose file was written while the record
  // counted its groups rather than their facts holds the number of records.
  const std::vector<TGrandTotal> records =
      cube.FactTable && cube.FactTable->Weights() ? Totals(*cube.FactTable, false) : now;
  for (std::size_t s = 0; s < now.size(); ++s) {
    const std::string& name = s < cube.Summaries.size() ? cube.Summaries[s]->DisplayName : "";
    const TGrandTotal& a = stored.Totals[s];
    if (std::bit_cast<std::uint64_t>(a.Sum) != std::bit_cast<std::uint64_t>(now[s].Sum))
      out.push_back(Format(Msg(TMsg::SIntegritySum), name, Exact(a.Sum), Exact(now[s].Sum)));
    if (a.Count != now[s].Count && a.Count != records[s].Count)
      out.push_back(Format(Msg(TMsg::SIntegrityCount), name, std::to_string(a.Count),
                           std::to_string(now[s].Count)));
  }
  return out;
}

}  // namespace qd
