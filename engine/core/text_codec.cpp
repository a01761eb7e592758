#include "engine/core/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace qd {
namespace {

class TIconv {
 public:
  TIconv(const char* to, const char* from) : FCd(iconv_open(to, from)) {
    if (FCd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~TIconv() { iconv_close(FCd); }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;

  // Converts in one go; an invalid sequence is replaced by `bad` and skipped
  // byte by byte. Returns false when any sequence was invalid.
  bool Convert(std::string_view in, std::string& out, std::string_view bad) {
    iconv(FCd, nullptr, nullptr, nullptr, nullptr);
    out.clear();
    out.reserve(in.size() * 3 / 2 + 8);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    bool clean = true;
    char buf[4096];
    while (srcLeft > 0) {
      char* dst = buf;
      std::size_t dstLeft = sizeof buf;
      std::size_t r = iconv(FCd, &src, &srcLeft, &dst, &dstLeft);
      out.append(buf, dst - buf);
      if (r == static_cast<std::size_t>(-1)) {
        if (errno == E2BIG) continue;
        clean = false;  // EILSEQ or EINVAL (truncated sequence at the end)
        out.append(bad);
        ++src;
        --srcLeft;
        iconv(FCd, nullptr, nullptr, nullptr, nullptr);
      }
    }
    char* dst = buf;
    std::size_t dstLeft = sizeof buf;
    iconv(FCd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, dst - buf);
    return clean;
  }

 private:
  iconv_t FCd;
};

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  if (!IsValidUtf8(utf8)) return std::string(utf8);
  thread_local TIconv cd("GB18030", "UTF-8");
  std::string out;
  cd.Convert(utf8, out, "?");
  return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
  if (IsAscii(ansi)) return std::string(ansi);
  thread_local TIconv cd("UTF-8", "GB18030");
  std::string out;
  cd.Convert(ansi, out, "\xEF\xBF\xBD");
  return out;
}

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int len;
    std::uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4, cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (int k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
        cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
}

std::string DecodeTextFile(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return AnsiToUtf8(bytes);
}

std::uint32_t NextCodePoint(std::string_view text, std::size_t& i) {
  const auto b = static_cast<unsigned char>(text[i++]);
  if (b < 0x80) return b;
  int more = b >= 0xF0 && b < 0xF8 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
  if (more < 0) return 0xFFFD;
  const std::size_t start = i;
  std::uint32_t cp = b & (0x3F >> more);
  for (; more > 0; --more) {
    if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      i = start;
      return 0xFFFD;
    }
    cp = (cp << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  }
  return cp;
}

std::u32string CodePoints(std::string_view text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t len = b < 0x80         ? 1
                      : (b >> 5) == 6  ? 2
                      : (b >> 4) == 14 ? 3
                      : (b >> 3) == 30 ? 4
                                       : 1;
    if (i + len > text.size()) len = 1;
    char32_t cp = len == 1 ? b : b & (0x7Fu >> len);
    for (std::size_t k = 1; k < len; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    out.push_back(cp);
    i += len;
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t cp = NextCodePoint(text, i);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

}  // namespace qd
