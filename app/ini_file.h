// A small INI reader and writer for definition files. Section and key names
// match without regard to ASCII letter case, values are trimmed, and a ";"
// inside a value is part of the value (only a line that starts with ";" is a
// comment). Files are decoded as UTF-8 when valid, otherwise as GB18030.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/text_helpers.h"

namespace qd {

class TIniFile {
 public:
  TIniFile() = default;
  //! Reads the file; a file that does not exist gives an empty INI, so every
  //! key reads as its default. One that cannot be read, or is no regular file,
  //! raises the file error (see ReadWholeFile).
  explicit TIniFile(const std::string& fileName);

  //! Replaces the contents with already decoded UTF-8 text.
  void SetText(std::string_view text);
  //! The lines as they will be saved, joined with CR LF after each line.
  std::string GetText() const;

  //! The trimmed value of the first matching key of the first matching
  //! section; nullopt when there is none.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue = {}) const;

  //! Sets the key, keeping its place when it exists, otherwise appending it to
  //! the section (which is appended to the end when missing).
  void WriteString(std::string_view section, std::string_view key, std::string_view value);

  //! Writes the lines as UTF-8 with CR LF atomically; throws EStreamError on failure.
  void SaveToFile(const std::string& fileName) const;

  const std::string& FileName() const { return FFileName; }

 private:
  struct TLocation {
    std::size_t SectionLine;             //!< line of the "[section]" header
    std::size_t EndLine;                 //!< first line after the section
    std::optional<std::size_t> KeyLine;  //!< line of the key within it
  };
  std::optional<TLocation> Locate(std::string_view section, std::string_view key) const;

  std::string FFileName;
  std::vector<std::string> FLines;
};

//! Splits text into lines at CR LF, LF or a lone CR; a final line break adds
//! no empty line.
std::vector<std::string> SplitLines(std::string_view text);

//! Reads a whole file as bytes; nullopt when there is no such file. A file that
//! cannot be read, or is a folder, pipe, device or larger than 2 GB, raises
//! EStreamError with the reason, before anything is read.
std::optional<std::string> ReadWholeFile(const std::string& fileName);

//! Replaces a file with bytes atomically (the old file stays as it was when
//! writing fails); throws EStreamError naming the file.
void WriteFileBytes(const std::string& fileName, std::string_view bytes);

}  // namespace qd
