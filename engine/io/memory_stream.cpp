#include "engine/io/memory_stream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"

namespace qd {
namespace {

struct TFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using TFilePtr = std::unique_ptr<std::FILE, TFileCloser>;

[[noreturn]] void RaiseFileError(const std::string& path) {
  throw EStreamError(Format(Msg(TMsg::SStreamFileError), path, SystemErrorText(errno)));
}

}  // namespace

void TMemoryStream::Write(const void* data, std::size_t n) {
  if (n == 0) return;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  if (FPosition == FBytes.size()) {
    // Appending: no zero fill of memory that is written at once.
    FBytes.insert(FBytes.end(), bytes, bytes + n);
  } else {
    if (FPosition + n > FBytes.size()) FBytes.resize(FPosition + n);
    std::memcpy(FBytes.data() + FPosition, bytes, n);
  }
  FPosition += n;
}

void TMemoryStream::Read(void* data, std::size_t n) {
  if (n > Remaining())
    throw EStreamError(Format(Msg(TMsg::SStreamTruncated), FPosition, n, Remaining()));
  if (n == 0) return;
  std::memcpy(data, FBytes.data() + FPosition, n);
  FPosition += n;
}

void TMemoryStream::Seek(std::size_t position) {
  FPosition = position < FBytes.size() ? position : FBytes.size();
}

void TMemoryStream::SetSize(std::size_t size) {
  FBytes.resize(size);
  if (FPosition > size) FPosition = size;
}

void TMemoryStream::Clear() {
  FBytes.clear();
  FBytes.shrink_to_fit();
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& path) {
  FBytes = ReadFileBytes(path);
  FPosition = 0;
}

void TMemoryStream::SaveToFile(const std::string& path) const {
  WriteFileBytes(path, FBytes);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  TFilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) RaiseFileError(path);
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[65536];
  for (;;) {
    std::size_t got = std::fread(chunk, 1, sizeof chunk, f.get());
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (got < sizeof chunk) break;
  }
  if (std::ferror(f.get())) RaiseFileError(path);
  return bytes;
}

void WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
  TFilePtr f(std::fopen(path.c_str(), "wb"));
  if (!f) RaiseFileError(path);
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
    RaiseFileError(path);
  if (std::fclose(f.release()) != 0) RaiseFileError(path);
}

}  // namespace qd
