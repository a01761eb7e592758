// Encrypted definition files (*.cfdm): the definition with its connection and
// query texts in one ciphertext, so that it can be moved without companions.
// The plaintext is GB18030 text of CR LF lines in three marked sections.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qd {

//! Names of the files earlier versions unpacked a *.cfdm into, inside its
//! folder, with the connection string in plain text. Nothing writes them now;
//! opening a *.cfdm removes any that a killed run left behind.
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

//! The three texts of a *.cfdm, decoded in memory (UTF-8, CR LF lines as the
//! companion files had them). A section without its closing marker runs to
//! the end of the plaintext.
struct TCfdmContents {
  std::string Connection;
  std::string Query;
  std::optional<std::string> Definition;  //!< nullopt without an "---Ini---" section
};

//! Reads and decodes a *.cfdm. Throws when the file cannot be read or decoded.
TCfdmContents DecodeCfdm(const std::string& cfdmName);

//! Removes the files earlier versions left in `folder` (see CfdmConnectionTemp).
void RemoveCfdmTempFiles(const std::string& folder) noexcept;

}  // namespace qd
