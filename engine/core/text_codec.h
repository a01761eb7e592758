// Conversion between the UTF-8 used inside the program and the GB18030 bytes
// that stored formats hold wherever they keep "ANSI" text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qd {

//! UTF-8 → GB18030. Text that is not valid UTF-8 is passed through unchanged.
std::string Utf8ToAnsi(std::string_view utf8);

//! GB18030 → UTF-8. Bytes that are not valid GB18030 become U+FFFD.
std::string AnsiToUtf8(std::string_view ansi);

//! The code point of the UTF-8 sequence at text[i], advancing i past it; an
//! invalid or truncated sequence gives U+FFFD and advances past its first byte.
std::uint32_t NextCodePoint(std::string_view text, std::size_t& i);

//! UTF-8 as UTF-16 (surrogate pairs above U+FFFF); a damaged sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

//! The code points of UTF-8 text, for comparing it character by character. A
//! byte that starts no complete sequence stands for itself, so that two
//! different damaged texts never compare equal; continuation bytes are not
//! checked.
std::u32string CodePoints(std::string_view text);

//! True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

//! Text read from a file: UTF-8 when it is valid UTF-8 (a BOM is dropped),
//! otherwise decoded as GB18030.
std::string DecodeTextFile(std::string_view bytes);

}  // namespace qd
