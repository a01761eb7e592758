#include "engine/io/memory_stream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/io/safe_file.h"

namespace qd {

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
  return ReadRegularFile(path);
}

void WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
  WriteFileAtomic(path, bytes);
}

}  // namespace qd
