#include "app/cfdm_file.h"

#include <filesystem>
#include <vector>

#include "app/cfd_cipher.h"
#include "app/cube_definition.h"
#include "app/ini_file.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_codec.h"

namespace qd {
namespace {

constexpr std::string_view kCrLf = "\r\n";

struct TSection {
  std::string_view Open, Close;
};
constexpr TSection kConnection = {"---ConnectString---", "---ConnectString Over---"};
constexpr TSection kQuery = {"---QueryString---", "---QueryString Over---"};
constexpr TSection kIni = {"---Ini---", "---Ini Over---"};

// A text file's lines, each followed by CR LF, and one CR LF more.
std::string CompanionText(const std::string& fileName) {
  std::optional<std::string> bytes = ReadWholeFile(fileName);
  if (!bytes) throw EGenericError(Format(Msg(TMsg::SAppFileReadError), fileName));
  if (bytes->find('\0') != std::string::npos)
    throw ECubeError(Format(Msg(TMsg::SCfdCryptNulByte), fileName));
  std::string text = DecodeTextFile(*bytes);
  std::string out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    out.append(text, start, i - start).append(kCrLf);
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  out.append(text, start).append(kCrLf);
  return out;
}

}  // namespace

std::string ChangeFileExt(std::string_view fileName, std::string_view ext) {
  std::size_t dot = fileName.find_last_of('.');
  std::size_t slash = fileName.find_last_of('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    dot = fileName.size();
  return std::string(fileName.substr(0, dot)) + std::string(ext);
}

std::string BuildCfdmPlaintext(const std::string& cfdName, std::string_view programFolder) {
  std::string folder = FolderOf(cfdName, programFolder);
  TIniFile ini(cfdName);
  std::string plain;
  auto line = [&plain](std::string_view s) { plain.append(s).append(kCrLf); };

  std::string conn = ResolveDefinitionFileName(ini.ReadString("DB", "ConnectString"), folder);
  line(kConnection.Open);
  if (conn.empty() || !std::filesystem::is_regular_file(conn))
    throw ECubeError(Msg(TMsg::SCfdCryptNoConnectionFile));
  plain += CompanionText(conn);
  line(kConnection.Close);

  std::string query = ResolveDefinitionFileName(ini.ReadString("DB", "QueryString"), folder);
  line(kQuery.Open);
  if (query.empty() || !std::filesystem::is_regular_file(query))
    throw ECubeError(Msg(TMsg::SCfdCryptNoQueryFile));
  plain += CompanionText(query);
  line(kQuery.Close);

  line(kIni.Open);
  plain += CompanionText(cfdName);
  line(kIni.Close);
  return plain;
}

std::string CryptCFD(const std::string& cfdName, std::string_view programFolder) {
  std::string plain = BuildCfdmPlaintext(cfdName, programFolder);
  std::string cfdmName = ChangeFileExt(cfdName, ".cfdm");
  WriteFileBytes(cfdmName, EncryptString(Utf8ToAnsi(plain), CfdApplicationKey));
  return cfdmName;
}

TCfdmContents DecodeCfdm(const std::string& cfdmName) {
  std::optional<std::string> cipher = ReadWholeFile(cfdmName);
  if (!cipher) throw EGenericError(Format(Msg(TMsg::SAppFileReadError), cfdmName));
  // A line break added in transfer is no part of the ciphertext.
  std::string plain = DecodeTextFile(
      UnEncryptString(std::string(Trim(*cipher, kSpaceAndControls)), CfdApplicationKey));
  std::vector<std::string> lines = SplitLines(plain);

  TCfdmContents contents;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    for (const TSection& s : {kConnection, kQuery, kIni}) {
      if (lines[i] != s.Open) continue;
      std::string text;
      for (++i; i < lines.size() && lines[i] != s.Close; ++i) text.append(lines[i]).append(kCrLf);
      if (s.Open == kConnection.Open) contents.Connection = std::move(text);
      if (s.Open == kQuery.Open) contents.Query = std::move(text);
      if (s.Open == kIni.Open) contents.Definition = std::move(text);
      break;
    }
    if (i >= lines.size()) break;
  }
  return contents;
}

void RemoveCfdmTempFiles(const std::string& folder) noexcept {
  for (std::string_view name : {CfdmConnectionTemp, CfdmQueryTemp, CfdmDefinitionTemp}) {
    std::error_code ec;
    std::filesystem::remove(folder + std::string(name), ec);
  }
}

}  // namespace qd
