#include "app/ini_file.h"

#include <sys/stat.h>

#include <cstdint>
#include <vector>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_codec.h"
#include "engine/io/safe_file.h"

namespace qd {
namespace {

// The section name of a "[name]" line, or nullopt for any other line.
std::optional<std::string> SectionName(std::string_view line) {
  std::string_view t = Trim(line, kSpaceAndControls);
  if (t.empty() || t.front() != '[') return std::nullopt;
  const std::size_t close = t.find(']');
  std::string_view name =
      t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
  return std::string(Trim(name, kSpaceAndControls));
}

// The key of a "key=value" line (comments and other lines give nullopt).
std::optional<std::string> KeyName(std::string_view line) {
  std::string_view t = Trim(line, kSpaceAndControls);
  if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return std::string(Trim(line.substr(0, eq), kSpaceAndControls));
}

}  // namespace

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::optional<std::string> ReadWholeFile(const std::string& fileName) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0) return std::nullopt;
  const std::vector<std::uint8_t> bytes = ReadRegularFile(fileName);
  return std::string(bytes.begin(), bytes.end());
}

void WriteFileBytes(const std::string& fileName, std::string_view bytes) {
  WriteFileAtomic(fileName, bytes);
}

TIniFile::TIniFile(const std::string& fileName) : FFileName(fileName) {
  if (auto bytes = ReadWholeFile(fileName)) SetText(DecodeTextFile(*bytes));
}

void TIniFile::SetText(std::string_view text) {
  FLines = SplitLines(text);
}

std::string TIniFile::GetText() const {
  std::string text;
  for (const std::string& line : FLines) text += line + "\r\n";
  return text;
}

std::optional<TIniFile::TLocation> TIniFile::Locate(std::string_view section,
                                                    std::string_view key) const {
  std::optional<TLocation> found;
  for (std::size_t i = 0; i < FLines.size(); ++i) {
    std::optional<std::string> name = SectionName(FLines[i]);
    if (found) {
      if (name) break;
      if (!found->KeyLine) {
        std::optional<std::string> k = KeyName(FLines[i]);
        if (k && SameText(*k, key)) found->KeyLine = i;
      }
      found->EndLine = i + 1;
    } else if (name && SameText(*name, section)) {
      found = TLocation{i, i + 1, std::nullopt};
    }
  }
  return found;
}

std::optional<std::string> TIniFile::Find(std::string_view section, std::string_view key) const {
  std::optional<TLocation> at = Locate(section, key);
  if (!at || !at->KeyLine) return std::nullopt;
  const std::string& line = FLines[*at->KeyLine];
  return std::string(Trim(std::string_view(line).substr(line.find('=') + 1), kSpaceAndControls));
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
  std::optional<std::string> v = Find(section, key);
  return v ? *v : std::string(defaultValue);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string line = std::string(key) + "=" + std::string(value);
  std::optional<TLocation> at = Locate(section, key);
  if (!at) {
    FLines.push_back("[" + std::string(section) + "]");
    FLines.push_back(line);
  } else if (at->KeyLine) {
    FLines[*at->KeyLine] = line;
  } else {
    // After the last non-blank line of the section, before trailing blank lines.
    std::size_t pos = at->EndLine;
    while (pos > at->SectionLine + 1 && IsBlank(FLines[pos - 1], kSpaceAndControls)) --pos;
    FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(pos), line);
  }
}

void TIniFile::SaveToFile(const std::string& fileName) const {
  WriteFileBytes(fileName, GetText());
}

}  // namespace qd
