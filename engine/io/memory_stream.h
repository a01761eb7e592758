// An in-memory byte stream with a position: the buffer that whole files are
// built in before compression and parsed from after decompression.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qd {

class TMemoryStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> bytes) : FBytes(std::move(bytes)) {}

  //! Writes n bytes at the position, extending the stream as needed.
  void Write(const void* data, std::size_t n);
  //! Reads exactly n bytes from the position; EStreamError when fewer remain
  //! (nothing is read then).
  void Read(void* data, std::size_t n);

  std::size_t Position() const { return FPosition; }
  //! Moves the position; positions past the end are clamped to the end.
  void Seek(std::size_t position);
  std::size_t Size() const { return FBytes.size(); }
  std::size_t Remaining() const { return FBytes.size() - FPosition; }
  //! Truncates or zero-extends; the position is clamped to the new size.
  void SetSize(std::size_t size);
  void Clear();

  std::span<const std::uint8_t> Bytes() const { return FBytes; }
  std::vector<std::uint8_t>& Buffer() { return FBytes; }

  //! Whole-file helpers; failures raise EStreamError naming the file.
  void LoadFromFile(const std::string& path);
  void SaveToFile(const std::string& path) const;

 private:
  std::vector<std::uint8_t> FBytes;
  std::size_t FPosition = 0;
};

//! Reads a whole regular file of at most 2 GB; EStreamError when it cannot be
//! opened or read, or is no regular file or too large (see safe_file.h).
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
//! Replaces a whole file atomically (see safe_file.h); EStreamError on failure,
//! which leaves the previous file as it was.
void WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace qd
