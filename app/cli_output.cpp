#include "app/cli_output.h"

#include <time.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <ostream>

#include "app/cli_interrupt.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_codec.h"
#include "engine/core/text_helpers.h"

namespace qd {
namespace {

[[noreturn]] void RaiseWriteError(const std::string& path, int errorNumber) {
  throw EGenericError(Format(Msg(TMsg::SAppFileWriteError), path) +
                      SystemErrorText(errorNumber));
}

void WriteCsvField(std::ostream& out, std::string_view v) {
  if (v.find_first_of(",\"\r\n") == std::string_view::npos) {
    out << v;
    return;
  }
  out << '"';
  for (char c : v) {
    if (c == '"') out << '"';
    out << c;
  }
  out << '"';
}

// A JSON string; bytes that are no valid UTF-8 become U+FFFD.
void WriteJsonString(std::ostream& out, std::string_view v) {
  std::string checked;
  if (!IsValidUtf8(v)) {
    for (unsigned char c : v)
      if (c < 0x80)
        checked += static_cast<char>(c);
      else
        checked += "\xEF\xBF\xBD";
    v = checked;
  }
  out << '"';
  for (char c : v) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out << '\\' << c;
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out << buf;
    } else {
      out << c;
    }
  }
  out << '"';
}

}  // namespace

TCliOutput::TCliOutput(const std::string& target, std::ostream& standardOutput)
    : FTarget(target), FStandardOutput(standardOutput) {
  if (target.empty() || target == "-") return;
  if (std::filesystem::is_directory(target)) RaiseWriteError(target, EISDIR);
  try {
    FFile = std::make_unique<TAtomicFile>(target);
  } catch (const EStreamError& e) {
    throw EGenericError(e.what());
  }
  if (!FFile->InPlace()) SetCliCleanupFile(FFile->TempPath());
}

TCliOutput::~TCliOutput() {
  if (!FCommitted) Discard();
}

void TCliOutput::Discard() {
  if (!FFile) return;
  FFile.reset();
  SetCliCleanupFile({});
}

std::ostream& TCliOutput::Stream() {
  return FFile ? FFile->Stream() : FStandardOutput;
}

void TCliOutput::WriteFile(const std::function<void(const std::string& path)>& write) {
  TCliDeferInterrupt defer;
  write(FFile->TempPath());
}

void TCliOutput::Commit() {
  if (IsStandardOutput()) {
    FStandardOutput.flush();
    FCommitted = true;
    return;
  }
  if (CliInterrupted()) {
    Discard();
    throw EUserCanceledError(Msg(TMsg::SUserCanceled));
  }
  try {
    FFile->Commit();
  } catch (const EStreamError& e) {
    throw EGenericError(e.what());
  }
  SetCliCleanupFile({});
  FCommitted = true;
}

TRecordWriter::TRecordWriter(std::ostream& out, TFormat format, std::vector<std::string> keys)
    : FOut(out), FFormat(format), FKeys(std::move(keys)) {
  if (FFormat == TFormat::Json) {
    FOut << "[\n";
    return;
  }
  for (std::size_t i = 0; i < FKeys.size(); ++i) {
    if (i) FOut << ',';
    WriteCsvField(FOut, FKeys[i]);
  }
  FOut << "\r\n";
}

void TRecordWriter::Separate() {
  if (FFormat == TFormat::Csv) {
    if (FField) FOut << ',';
  } else {
    FOut << (FField ? "," : FFirstRecord ? "{" : ",\n{");
    WriteJsonString(FOut, FField < FKeys.size() ? FKeys[FField] : std::string());
    FOut << ':';
  }
  ++FField;
}

void TRecordWriter::Text(std::string_view value) {
  Separate();
  if (FFormat == TFormat::Csv)
    WriteCsvField(FOut, value);
  else
    WriteJsonString(FOut, value);
}

void TRecordWriter::Number(std::optional<double> value) {
  Separate();
  if (FFormat == TFormat::Csv) {
    if (value) FOut << ExactNumber(*value);
  } else {
    FOut << (value && std::isfinite(*value) ? ExactNumber(*value) : std::string("null"));
  }
}

void TRecordWriter::EndRecord() {
  FOut << (FFormat == TFormat::Csv ? "\r\n" : "}");
  FField = 0;
  FFirstRecord = false;
}

void TRecordWriter::Finish() {
  if (FFormat == TFormat::Json) FOut << (FFirstRecord ? "]\n" : "\n]\n");
}

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Processor seconds of the whole process.
double CpuNow() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

TPhaseClock::TPhaseClock(bool enabled)
    : FEnabled(enabled),
      FCpu(enabled && std::getenv("QD_TIMING_CPU")),
      FStart(Now()),
      FCpuStart(CpuNow()) {}

void TPhaseClock::End(const char* phase) {
  const double now = Now(), cpu = CpuNow();
  if (FEnabled) {
    char line[96];
    if (FCpu)
      std::snprintf(line, sizeof line, "%s: %.6f cpu %.6f\n", phase, now - FStart, cpu - FCpuStart);
    else
      std::snprintf(line, sizeof line, "%s: %.6f\n", phase, now - FStart);
    std::cerr << line << std::flush;
  }
  FStart = now;
  FCpuStart = cpu;
}

std::string ExactNumber(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::string FormatOfExtension(const std::string& path) {
  std::string ext = Lower(std::filesystem::path(path).extension().string());
  if (!ext.empty()) ext.erase(0, 1);
  return ext;
}

}  // namespace qd
