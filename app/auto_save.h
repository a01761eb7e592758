// Unattended generation: started with a folder argument, the program builds
// every built-in cube, saves each as a local cube file into that folder and
// keeps a log there, "CubeAutoSave.log", rewritten after every cube.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

inline constexpr std::string_view AutoSaveLogName = "CubeAutoSave.log";

//! The date and time of a log line in the locale's date and long time formats
//! (ISO form under the plain C and C.UTF-8 locales).
std::string FormatLogDateTime(std::time_t when);

//! The generation log: lines in memory, saved as GB18030 text with CR LF.
class TAutoSaveLog {
 public:
  using TClock = std::function<std::string()>;
  //! `clock` gives the date and time of a start line; by default the current
  //! time through FormatLogDateTime.
  explicit TAutoSaveLog(std::string fileName, TClock clock = {});

  void Clear() { FLines.clear(); }
  void CubeStarted(std::string_view name);
  void CubeBuilt(std::string_view name);
  //! The not-built line, then the reason (when known) on a line of its own.
  void CubeNotBuilt(std::string_view name, std::string_view reason = {});
  //! A note on a line of its own under the cube's lines (values that were not
  //! numbers, for example).
  void CubeNote(std::string_view note);
  void CubeNotSaved(std::string_view name);

  const std::vector<std::string>& Lines() const { return FLines; }
  const std::string& FileName() const { return FFileName; }
  //! Replaces the file with all lines; throws EGenericError when it cannot be written.
  void Save() const;

 private:
  std::string FFileName;
  TClock FClock;
  std::vector<std::string> FLines;
};

//! The built-in cubes as the generation sees them.
class TCubeGenerator {
 public:
  virtual ~TCubeGenerator() = default;
  //! Binds the grid to the named built-in cube and activates it without
  //! showing messages; false when the activation failed.
  virtual bool BuildCube(const std::string& name) = 0;
  //! Saves the cube just built to a local cube file with CubeUserData; throws on failure.
  virtual void SaveCube(const std::string& fileName) = 0;
  //! Why the last BuildCube gave false; empty when unknown.
  virtual std::string FailureReason() const { return {}; }
  //! Notes on the cube just built, one line each.
  virtual std::vector<std::string> BuildNotes() const { return {}; }
};

//! The output folder of an argument: trimmed, with a trailing separator.
//! nullopt when the trimmed argument is empty.
std::optional<std::string> AutoSaveOutputFolder(std::string_view argument);

enum class TAutoSaveResult : std::uint8_t {
  NoArgument,     //!< nothing to do, the program goes on
  MissingFolder,  //!< no log written; the program ends
  Done            //!< every cube tried and the log saved; the program ends
};

//! Runs the generation over `cubeNames` (table order; empty names are skipped).
//! `argument` is the first command-line argument, nullopt when there is none.
//! A log that cannot be written ends the run with its EGenericError; a build
//! cancelled by the user (EUserCanceledError) is logged as not built and ends
//! the run with that error.
TAutoSaveResult AutoSaveCube(const std::optional<std::string>& argument,
                             const std::vector<std::string>& cubeNames, TCubeGenerator& generator,
                             TAutoSaveLog::TClock clock = {});

}  // namespace qd
