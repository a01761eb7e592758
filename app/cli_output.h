// What quarrydesk-cli commands write: a document on standard output or in a
// file that is replaced only when it is complete, and records as CSV
// (RFC 4180) or JSON.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/io/safe_file.h"

namespace qd {

//! A command's output: standard output for "-" (or no name), otherwise a file
//! written atomically (TAtomicFile: beside the target under a temporary name,
//! renamed over it by Commit with the target's mode, through a link to the file
//! it names). Until then the target is untouched; an error, a Ctrl+C or the end
//! of the object without Commit removes the temporary file. A target that
//! exists and is no regular file (a device such as /dev/null, a pipe) is
//! written in place.
class TCliOutput {
 public:
  //! Raises EGenericError at once when the target folder cannot take the file.
  TCliOutput(const std::string& target, std::ostream& standardOutput);
  ~TCliOutput();
  TCliOutput(const TCliOutput&) = delete;
  TCliOutput& operator=(const TCliOutput&) = delete;

  bool IsStandardOutput() const { return !FFile; }
  //! The stream to write to (standard output, or the temporary file).
  std::ostream& Stream();
  //! For writers that create their file themselves: runs `write` with the
  //! temporary file's name; Ctrl+C meanwhile only marks the output cancelled.
  void WriteFile(const std::function<void(const std::string& path)>& write);
  //! Makes the output final. Raises EUserCanceledError (removing the
  //! temporary file) when Ctrl+C was pressed, EGenericError when the data
  //! could not be written.
  void Commit();

 private:
  void Discard();

  std::string FTarget;
  std::ostream& FStandardOutput;
  std::unique_ptr<TAtomicFile> FFile;
  bool FCommitted = false;
};

//! Records written as CSV (RFC 4180: CR LF line ends, fields quoted when they
//! hold a comma, quote or line break) with a header row of the keys, or as a
//! JSON array of objects with one line per object.
class TRecordWriter {
 public:
  enum class TFormat : unsigned char { Csv, Json };
  TRecordWriter(std::ostream& out, TFormat format, std::vector<std::string> keys);
  //! Fields in key order.
  void Text(std::string_view value);
  //! %.17g; empty in CSV and null in JSON without a value; JSON has no NaN or
  //! infinity and writes null for them too.
  void Number(std::optional<double> value);
  void EndRecord();
  //! Ends the document (the JSON array).
  void Finish();

 private:
  void Separate();

  std::ostream& FOut;
  TFormat FFormat;
  std::vector<std::string> FKeys;
  std::size_t FField = 0;
  bool FFirstRecord = true;
};

//! Times the phases of a command: with timing on, End prints "name: seconds"
//! on stderr for the time since the previous phase ended. With QD_TIMING_CPU
//! set in the environment the line goes on with " cpu seconds", the
//! processor time of all the command's threads in the phase.
class TPhaseClock {
 public:
  explicit TPhaseClock(bool enabled);
  void End(const char* phase);

 private:
  bool FEnabled;
  bool FCpu;
  double FStart;
  double FCpuStart;
};

//! %.17g: enough digits to read the same double back.
std::string ExactNumber(double v);

//! The format named by a file's extension ("csv" for "a.CSV"), empty when none.
std::string FormatOfExtension(const std::string& path);

}  // namespace qd
