// Encrypted definition files (*.cfdm): the definition with its connection and
// query texts in one ciphertext, so that it can be moved without companions.
// The plaintext is GB18030 text of CR LF lines in three marked sections.
#pragma once

#include <string>
#include <string_view>

namespace qd {

//! Names of the files a *.cfdm is unpacked into, inside its folder.
inline constexpr std::string_view CfdmConnectionTemp = "_RM_CFDCFile";
inline constexpr std::string_view CfdmQueryTemp = "_RM_CFDQFile";
inline constexpr std::string_view CfdmDefinitionTemp = "_RM_CFDFile";

//! The plaintext (UTF-8) of a definition and its two companion files. Throws
//! ECubeError with the user's message when a companion file is missing.
std::string BuildCfdmPlaintext(const std::string& cfdName, std::string_view programFolder);

//! Encrypts a definition into the same name with the extension ".cfdm"
//! (overwriting it) and returns that name. Throws ECubeError when a companion
//! file is missing or a text holds a NUL byte, which the cipher cannot carry.
std::string CryptCFD(const std::string& cfdName, std::string_view programFolder);

//! The name with its extension replaced (or added).
std::string ChangeFileExt(std::string_view fileName, std::string_view ext);

//! Unpacks a *.cfdm into the three temporary files of its folder and returns
//! the full name of the temporary definition, or "" when the plaintext has no
//! definition section. Throws when the file cannot be read or decoded.
std::string SaveCFDMToCFD(const std::string& cfdmName, std::string_view programFolder);

//! Deletes the three temporary files of a folder when it goes out of scope.
class TCfdmTempFiles {
 public:
  explicit TCfdmTempFiles(std::string folder) : FFolder(std::move(folder)) {}
  ~TCfdmTempFiles() { Remove(); }
  TCfdmTempFiles(const TCfdmTempFiles&) = delete;
  TCfdmTempFiles& operator=(const TCfdmTempFiles&) = delete;
  void Remove() noexcept;

 private:
  std::string FFolder;
};

}  // namespace qd
