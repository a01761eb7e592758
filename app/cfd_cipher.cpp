#include "app/cfd_cipher.h"

#include <chrono>
#include <random>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"

namespace qd {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHex(std::string& out, unsigned value) {
  out += kHexDigits[(value >> 4) & 0xF];
  out += kHexDigits[value & 0xF];
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Value of one or two hexadecimal digits.
unsigned HexValue(std::string_view digits) {
  unsigned value = 0;
  for (char c : digits) {
    int d = HexDigit(c);
    if (d < 0) {
      value = 256;
      break;
    }
    value = value * 16 + static_cast<unsigned>(d);
  }
  if (digits.empty() || value > 255)
    throw EGenericError(Format(Msg(TMsg::SCfdBadCipherDigits), std::string(digits)));
  return value;
}

// Cycles through the key bytes 1..L, starting before the first.
class TKeyCycle {
 public:
  explicit TKeyCycle(std::string_view key) : FKey(key.empty() ? CfdDefaultKey : key) {}
  unsigned Next() {
    FIndex = FIndex < FKey.size() ? FIndex + 1 : 1;
    return static_cast<unsigned char>(FKey[FIndex - 1]);
  }

 private:
  std::string_view FKey;
  std::size_t FIndex = 0;
};

}  // namespace

std::string EncryptString(std::string_view text, std::string_view key) {
  std::mt19937 gen(static_cast<std::uint32_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count()));
  std::uniform_int_distribution<int> seed(0, 255);
  return EncryptString(text, key, static_cast<std::uint8_t>(seed(gen)));
}

std::string EncryptString(std::string_view text, std::string_view key, std::uint8_t seed) {
  TKeyCycle keys(key);
  unsigned s = seed;
  std::string out;
  out.reserve(2 + 2 * text.size());
  AppendHex(out, s);
  for (char ch : text) {
    s = (s + static_cast<unsigned char>(ch)) % 255;
    s ^= keys.Next();
    AppendHex(out, s);
  }
  return out;
}

std::string UnEncryptString(std::string_view cipher, std::string_view key) {
  TKeyCycle keys(key);
  unsigned p = HexValue(cipher.substr(0, 2));
  std::string out;
  // The first pair after the seed is always decoded; later pairs only while
  // both of their digits are present.
  for (std::size_t pos = 2; pos == 2 || pos + 1 < cipher.size(); pos += 2) {
    unsigned c = HexValue(pos < cipher.size() ? cipher.substr(pos, 2) : std::string_view());
    unsigned v = c ^ keys.Next();
    out += static_cast<char>(p < v ? v - p : v + 255 - p);
    p = c;
  }
  return out;
}

}  // namespace qd
