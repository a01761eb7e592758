#include "app/auto_save.h"

#include <langinfo.h>
#include <locale.h>

#include <filesystem>

#include "app/ini_file.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_codec.h"
#include "engine/core/text_helpers.h"

namespace qd {
namespace {

std::string StrFTime(const char* format, const std::tm& tm, locale_t loc) {
  char buf[256];
  std::size_t n = loc ? strftime_l(buf, sizeof buf, format, &tm, loc)
                      : std::strftime(buf, sizeof buf, format, &tm);
  return std::string(buf, n);
}

// A message of several lines as one log line.
std::string OneLine(std::string_view text) {
  std::string out;
  for (char c : Trim(text)) {
    if (c == '\r') continue;
    out += c == '\n' ? ' ' : c;
  }
  return out;
}

}  // namespace

std::string FormatLogDateTime(std::time_t when) {
  std::tm tm{};
  localtime_r(&when, &tm);
  locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
  std::string text;
  const char* name = loc ? nl_langinfo_l(_NL_LOCALE_NAME(LC_TIME), loc) : nullptr;
  std::string_view locName = name ? name : "C";
  if (!loc || locName == "C" || locName == "POSIX" || locName.starts_with("C.")) {
    text = StrFTime("%Y-%m-%d %H:%M:%S", tm, nullptr);
  } else {
    std::string format = std::string(nl_langinfo_l(D_FMT, loc)) + " " + nl_langinfo_l(T_FMT, loc);
    text = StrFTime(format.c_str(), tm, loc);
  }
  if (loc) freelocale(loc);
  return IsValidUtf8(text) ? text : AnsiToUtf8(text);
}

TAutoSaveLog::TAutoSaveLog(std::string fileName, TClock clock)
    : FFileName(std::move(fileName)), FClock(std::move(clock)) {
  if (!FClock) FClock = [] { return FormatLogDateTime(std::time(nullptr)); };
}

void TAutoSaveLog::CubeStarted(std::string_view name) {
  FLines.push_back(Format(Msg(TMsg::SAutoSaveStarted), FClock(), name));
}
void TAutoSaveLog::CubeBuilt(std::string_view name) {
  FLines.push_back(Format(Msg(TMsg::SAutoSaveBuilt), name));
}
void TAutoSaveLog::CubeNotBuilt(std::string_view name, std::string_view reason) {
  FLines.push_back(Format(Msg(TMsg::SAutoSaveNotBuilt), name));
  if (!reason.empty()) FLines.push_back(Format(Msg(TMsg::SAutoSaveReason), OneLine(reason)));
}
void TAutoSaveLog::CubeNote(std::string_view note) {
  FLines.push_back(Format(Msg(TMsg::SAutoSaveNote), OneLine(note)));
}
void TAutoSaveLog::CubeNotSaved(std::string_view name) {
  FLines.push_back(Format(Msg(TMsg::SAutoSaveNotSaved), name));
}

void TAutoSaveLog::Save() const {
  std::string text;
  for (const std::string& line : FLines) text += line + "\r\n";
  WriteFileBytes(FFileName, Utf8ToAnsi(text));
}

std::optional<std::string> AutoSaveOutputFolder(std::string_view argument) {
  std::string folder(Trim(argument, kSpaceAndControls));
  if (folder.empty()) return std::nullopt;
  if (folder.back() != '/') folder += '/';
  return folder;
}

TAutoSaveResult AutoSaveCube(const std::optional<std::string>& argument,
                             const std::vector<std::string>& cubeNames, TCubeGenerator& generator,
                             TAutoSaveLog::TClock clock) {
  if (!argument) return TAutoSaveResult::NoArgument;
  std::optional<std::string> folder = AutoSaveOutputFolder(*argument);
  if (!folder || !std::filesystem::is_directory(*folder)) return TAutoSaveResult::MissingFolder;

  TAutoSaveLog log(*folder + std::string(AutoSaveLogName), std::move(clock));
  for (const std::string& name : cubeNames) {
    if (name.empty()) continue;
    log.CubeStarted(name);
    bool built = false;
    std::string reason;
    try {
      built = generator.BuildCube(name);
      if (!built) reason = generator.FailureReason();
    } catch (const EUserCanceledError&) {
      // The user stopped the whole run, not just this cube.
      log.CubeNotBuilt(name);
      log.Save();
      throw;
    } catch (const std::exception& e) {
      built = false;
      reason = e.what();
    }
    if (built) {
      log.CubeBuilt(name);
      for (const std::string& note : generator.BuildNotes()) log.CubeNote(note);
      try {
        generator.SaveCube(*folder + name + ".vtc");
      } catch (const std::exception&) {
        log.CubeNotSaved(name);
      }
    } else {
      log.CubeNotBuilt(name, reason);
    }
    log.Save();
  }
  log.Save();
  return TAutoSaveResult::Done;
}

}  // namespace qd
