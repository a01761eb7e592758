// Files read and written without surprises. Reading takes regular files only and
// checks their size before a byte is read, so a pipe, a device or a folder is
// refused at once and a huge file costs nothing. Writing goes to a temporary file
// beside the target that is synced and renamed over it: the target holds either
// its old bytes or the complete new ones, keeps its mode and owner, and a
// symbolic link keeps pointing at the file it named, which is the one replaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

//! The largest file the program reads whole (2 GB).
constexpr std::uint64_t kMaxReadBytes = 0x7FFFFFFF;

//! Checks that `path` names a readable regular file of at most `limit` bytes
//! and returns its size. EStreamError naming the file otherwise: the system's
//! reason when it cannot be opened, the kind of file for a folder, pipe, device
//! or socket, the size for a file that is too large. Never blocks on a pipe.
std::uint64_t CheckReadableFile(const std::string& path, std::uint64_t limit = kMaxReadBytes);

//! The bytes of a regular file, checked as CheckReadableFile does first.
std::vector<std::uint8_t> ReadRegularFile(const std::string& path,
                                          std::uint64_t limit = kMaxReadBytes);

//! The file an atomic write replaces: `path` itself, or the file a symbolic
//! link (or chain of links) at `path` points to. A link another user put into
//! a shared folder with the sticky bit (/tmp) is not followed, nor one that
//! leads to a device or a pipe, which is opened by its name.
std::string AtomicWriteTarget(const std::string& path);

//! A new version of a file, written beside it under a hidden temporary name
//! ("." + name + ".qdtmp" + six characters, mode 0600 while it is written) and
//! put in place by Commit. Destroying it without Commit removes the temporary
//! file and leaves the target as it was. Errors are EStreamError naming the
//! target, never the temporary file.
class TAtomicFile {
 public:
  //! How the bytes reach the file.
  enum class TWrites : std::uint8_t {
    //! Through the system's page cache; Write and Stream may be mixed.
    wBuffered = 0,
    //! A large file written in one sequence by Write alone: whole 4 KB blocks
    //! go to the disk directly where the file system allows it, which spares
    //! copying them into the page cache; the rest as wBuffered.
    wLargeSequential = 1,
  };

  //! Creates the temporary file; a target that is a device or a pipe is opened
  //! and written in place instead. Temporary files of earlier writes beside the
  //! target that are more than a day old (left by a killed process) are removed.
  explicit TAtomicFile(const std::string& path, TWrites writes = TWrites::wBuffered);
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  //! The path as given by the caller.
  const std::string& Path() const { return FPath; }
  //! For writers that open a file by name themselves.
  const std::string& TempPath() const { return FTemp; }
  //! True for a device or a pipe, which is written in place: TempPath() is then
  //! the target itself, never to be removed.
  bool InPlace() const { return FDirect; }
  void Write(std::span<const std::uint8_t> bytes);
  void Write(std::string_view text);
  //! A stream that writes to the temporary file.
  std::ostream& Stream();
  //! Syncs the data, gives the file the owner and then the mode of the file it
  //! replaces (a new file gets 0666 less the umask), renames it over the target
  //! and syncs the folder.
  void Commit();

 private:
  class TBlockWriter;

  void Discard() noexcept;
  [[noreturn]] void Fail(int errorNumber);
  void WriteAll(int fd, const std::uint8_t* p, std::size_t n);

  std::string FPath, FTarget, FTemp;
  int FFd = -1;
  std::unique_ptr<std::streambuf> FBuffer;
  std::unique_ptr<std::ostream> FStream;
  std::unique_ptr<TBlockWriter> FBlocks;  // wLargeSequential
  bool FCommitted = false;
  bool FDirect = false;  // the target is a device or a pipe, written in place
};

//! Replaces the file at `path` with `bytes` through TAtomicFile.
void WriteFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes);
void WriteFileAtomic(const std::string& path, std::string_view text);
//! Replaces the file at `path` with what `write` puts into the stream.
void WriteFileAtomic(const std::string& path, const std::function<void(std::ostream&)>& write);

//! True when `name` is a temporary file that an atomic write of `target` (a
//! file name without folder) leaves behind when it is killed, also the names
//! earlier versions of the program used.
bool IsTempFileOf(std::string_view name, std::string_view target);
//! Removes the temporary files of `path` in its folder older than `maxAge`
//! seconds; returns how many were removed. Never raises.
int RemoveStaleTempFiles(const std::string& path, std::time_t maxAge = 24 * 60 * 60);

}  // namespace qd
