#include "app/integrity_commands.h"

#include <cstdio>
#include <ostream>

#include "app/cli_args.h"
#include "engine/cube/cube_file.h"
#include "engine/cube/cube_integrity.h"

namespace qd {
namespace {

// Line breaks and tabs of a stored text would break the line format.
std::string OneLine(std::string s) {
  for (char& c : s)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  return s;
}

// The messages of what differs in one file; empty when it holds.
std::vector<std::string> CheckFile(const std::string& file, bool& recorded) {
  TVantra cube;
  cube.Options().ShowProgressBar = false;
  cube.RefuseDamagedStreams = false;
  try {
    LoadCubeFromFile(cube, file);
  } catch (const std::exception& e) {
    recorded = true;
    return {OneLine(e.what())};
  }
  recorded = cube.Built().Integrity.Stored;
  return IntegrityDifferences(cube.Built());
}

}  // namespace

int CliVerify(const std::vector<std::string>& args, std::ostream& out) {
  const TCliArgs parsed(args, {}, std::vector<std::string_view>(args.size() + 1, "FILE"), 1);
  int status = 0;
  for (const std::string& file : parsed.Positional()) {
    bool recorded = false;
    const std::vector<std::string> differences = CheckFile(file, recorded);
    if (!differences.empty()) {
      status = 1;
      for (const std::string& d : differences) out << file << "\tdamaged\t" << OneLine(d) << '\n';
    } else {
      out << file << '\t' << (recorded ? "ok" : "no integrity record") << '\n';
    }
  }
  return status;
}

void WriteProvenance(const TCubeIntegrity& record, std::ostream& out) {
  if (!record.Stored) return;
  const auto line = [&](const char* key, const std::string& value) {
    if (!value.empty()) out << key << ": " << OneLine(value) << '\n';
  };
  line("source connection", record.Connection);
  line("source query", record.Query);
  line("built", record.BuildTime);
  out << "source rows: " << record.SourceRows << '\n';
  line("program", record.ProgramVersion);
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(record.Crc & 0xFFFFFFFF));
  out << "checksum: crc32c " << crc << '\n';
}

}  // namespace qd
