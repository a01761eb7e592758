// The string cipher of encrypted definition files: a running sum modulo 255
// mixed with a repeating key, written as uppercase hexadecimal after a random
// two-digit seed. Bytes 0 and 255 do not survive a round trip.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qd {

//! The key the program uses for its encrypted definition files.
inline constexpr std::string_view CfdApplicationKey = "qmtrvex";
//! The key used when an empty key is given.
inline constexpr std::string_view CfdDefaultKey = "wolkan";

//! Ciphertext of 2 + 2 × text.size() uppercase hexadecimal digits; the seed is
//! drawn from a generator seeded from the clock, so each call differs.
std::string EncryptString(std::string_view text, std::string_view key);
//! The same with a given seed (0..255).
std::string EncryptString(std::string_view text, std::string_view key, std::uint8_t seed);

//! Decodes a ciphertext (digits in either case). A pair that is not
//! hexadecimal, or a ciphertext of only the seed, throws EGenericError.
std::string UnEncryptString(std::string_view cipher, std::string_view key);

}  // namespace qd
