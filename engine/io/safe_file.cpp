#include "engine/io/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <streambuf>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"

namespace qd {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTempMark = ".qdtmp";

[[noreturn]] void RaiseFileError(const std::string& path, int errorNumber) {
  throw EStreamError(Format(Msg(TMsg::SStreamFileError), path, SystemErrorText(errorNumber)));
}

[[noreturn]] void RaiseSaveError(const std::string& path, int errorNumber) {
  throw EStreamError(Format(Msg(TMsg::SFileSaveError), path, SystemErrorText(errorNumber)));
}

// What a file that is not a regular file is, for the message.
std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return Msg(TMsg::SFileKindFolder);
  if (S_ISFIFO(mode)) return Msg(TMsg::SFileKindPipe);
  if (S_ISSOCK(mode)) return Msg(TMsg::SFileKindSocket);
  return Msg(TMsg::SFileKindDevice);
}

class TFd {
 public:
  explicit TFd(int fd) : FFd(fd) {}
  ~TFd() {
    if (FFd >= 0) ::close(FFd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return FFd; }
  int Release() {
    const int fd = FFd;
    FFd = -1;
    return fd;
  }

 private:
  int FFd;
};

// Opens a file for reading without waiting for a writer of a pipe, and checks
// what it is before anything is read; the descriptor is blocking again.
int OpenChecked(const std::string& path, std::uint64_t limit, std::uint64_t& size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) RaiseFileError(path, errno);
  TFd guard(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) RaiseFileError(path, errno);
  if (!S_ISREG(st.st_mode))
    throw EStreamError(Format(Msg(TMsg::SFileNotRegular), path, KindOf(st.st_mode)));
  size = static_cast<std::uint64_t>(st.st_size);
  if (size > limit)
    throw EStreamError(Format(Msg(TMsg::SFileTooLarge), path, std::to_string(size),
                              std::to_string(limit)));
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return guard.Release();
}

// The process's umask, read without changing it where the system tells it.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("Umask:", 0) == 0)
      return static_cast<mode_t>(std::strtol(line.c_str() + 6, nullptr, 8));
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// A stream buffer over a file descriptor that remembers the first error.
class TFdStreamBuf final : public std::streambuf {
 public:
  explicit TFdStreamBuf(int fd) : FFd(fd), FBuffer(1 << 16) {
    setp(FBuffer.data(), FBuffer.data() + FBuffer.size());
  }
  int Error() const { return FError; }

 protected:
  int_type overflow(int_type c) override {
    if (!Flush()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return Flush() ? 0 : -1; }

 private:
  bool Flush() {
    const char* p = pbase();
    std::size_t n = static_cast<std::size_t>(pptr() - pbase());
    while (n > 0 && FError == 0) {
      const ssize_t w = ::write(FFd, p, n);
      if (w < 0) {
        if (errno != EINTR) FError = errno;
        continue;
      }
      p += w;
      n -= static_cast<std::size_t>(w);
    }
    setp(FBuffer.data(), FBuffer.data() + FBuffer.size());
    return FError == 0;
  }

  int FFd;
  std::vector<char> FBuffer;
  int FError = 0;
};

// A link that someone else put into a shared folder with the sticky bit (/tmp)
// is not followed, as the system does not follow it either where it protects
// such links: otherwise anyone could plant /tmp/report.htm pointing at a file
// of the user's and have it replaced. The write then meets the link itself,
// which a user cannot replace in such a folder.
bool PlantedLink(const fs::path& link) {
  const fs::path folder = link.has_parent_path() ? link.parent_path() : fs::path(".");
  struct stat l {}, dir {};
  if (::lstat(link.c_str(), &l) != 0 || !S_ISLNK(l.st_mode) || ::stat(folder.c_str(), &dir) != 0)
    return false;
  return (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH) && l.st_uid != ::geteuid() &&
         l.st_uid != dir.st_uid;
}

}  // namespace

std::uint64_t CheckReadableFile(const std::string& path, std::uint64_t limit) {
  std::uint64_t size = 0;
  TFd fd(OpenChecked(path, limit, size));
  return size;
}

std::vector<std::uint8_t> ReadRegularFile(const std::string& path, std::uint64_t limit) {
  std::uint64_t size = 0;
  TFd fd(OpenChecked(path, limit, size));
  std::vector<std::uint8_t> bytes;
  // Room for the look past the end below, so that reading a whole file of
  // hundreds of megabytes never reallocates and copies it.
  bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(limit, size + (1 << 16))));
  bytes.resize(static_cast<std::size_t>(size));
  std::size_t got = 0;
  // A file that grows while it is read is read up to the size it had, plus
  // what fits under the limit.
  for (;;) {
    if (got == bytes.size()) {
      if (bytes.size() >= limit) break;
      bytes.resize(std::min<std::uint64_t>(limit, bytes.size() + (1 << 16)));
    }
    const ssize_t r = ::read(fd.Get(), bytes.data() + got, bytes.size() - got);
    if (r < 0) {
      if (errno == EINTR) continue;
      RaiseFileError(path, errno);
    }
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  bytes.resize(got);
  return bytes;
}

std::string AtomicWriteTarget(const std::string& path) {
  std::error_code ec;
  fs::path p(path);
  // Follow a chain of links by hand, so that a dangling link names the file to create.
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++hops) {
    if (PlantedLink(p)) break;
    // A device or a pipe behind the link (/dev/stdout) is opened by this name,
    // through the system's own links, some of which name no file (pipe:[N]).
    if (struct stat st {}; ::stat(p.c_str(), &st) == 0 && !S_ISREG(st.st_mode) &&
                           !S_ISDIR(st.st_mode))
      break;
    fs::path next = fs::read_symlink(p, ec);
    if (ec) break;
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  return p.string();
}

bool IsTempFileOf(std::string_view name, std::string_view target) {
  if (target.empty() || name.size() <= target.size() + 2 || name[0] != '.' ||
      name.substr(1, target.size()) != target)
    return false;
  std::string_view rest = name.substr(1 + target.size());
  auto digitsAfter = [&](std::string_view mark) {
    if (!rest.starts_with(mark) || rest.size() == mark.size()) return false;
    for (char c : rest.substr(mark.size()))
      if (c < '0' || c > '9') return false;
    return true;
  };
  if (rest.starts_with(kTempMark)) return rest.size() == kTempMark.size() + 6;
  return digitsAfter(".tmp") || digitsAfter(".part");
}

int RemoveStaleTempFiles(const std::string& path, std::time_t maxAge) {
  const fs::path target(path);
  const std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
  const std::string name = target.filename().string();
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  const std::time_t now = std::time(nullptr);
  int removed = 0;
  while (const dirent* e = ::readdir(dir)) {
    if (!IsTempFileOf(e->d_name, name)) continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
      continue;
    if (now - st.st_mtime > maxAge && ::unlinkat(::dirfd(dir), e->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

// Whole blocks of a large sequential write, gathered in an aligned buffer and
// written through a second descriptor opened with O_DIRECT; the last partial
// block goes through the file's own descriptor. A file system that refuses
// direct writes gets every byte through the own descriptor.
class TAtomicFile::TBlockWriter {
 public:
  static constexpr std::size_t kBlock = 4096;
  static constexpr std::size_t kBuffer = std::size_t{4} << 20;

  TBlockWriter(const std::string& temp, int fd)
      : FFd(fd), FBuffer(static_cast<std::uint8_t*>(std::aligned_alloc(kBlock, kBuffer))) {
    if (!FBuffer) throw std::bad_alloc();
    FDirectFd = ::open(temp.c_str(), O_WRONLY | O_DIRECT | O_NOFOLLOW | O_CLOEXEC);
  }
  ~TBlockWriter() {
    if (FDirectFd >= 0) ::close(FDirectFd);
  }
  TBlockWriter(const TBlockWriter&) = delete;
  TBlockWriter& operator=(const TBlockWriter&) = delete;

  //! Appends bytes; 0 or the error of a write that failed.
  int Append(const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
      const std::size_t take = std::min(n, kBuffer - FFill);
      std::memcpy(FBuffer.get() + FFill, p, take);
      FFill += take;
      p += take;
      n -= take;
      if (FFill == kBuffer)
        if (const int error = Flush(kBuffer)) return error;
    }
    return 0;
  }
  //! Writes what is left; 0 or the error.
  int Finish() {
    if (const int error = Flush(FFill & ~(kBlock - 1))) return error;
    return Put(FFd, FFill);
  }

 private:
  struct TFree {
    void operator()(std::uint8_t* p) const { std::free(p); }
  };

  // Writes the first n bytes of the buffer (whole blocks) and keeps the rest.
  int Flush(std::size_t n) {
    if (n == 0) return 0;
    int error = FDirectFd >= 0 ? Put(FDirectFd, n) : Put(FFd, n);
    if (error == EINVAL && FDirectFd >= 0 && FOffset == 0) {
      // Direct writes refused after all: everything through the page cache.
      ::close(FDirectFd);
      FDirectFd = -1;
      error = Put(FFd, n);
    }
    if (error) return error;
    std::memmove(FBuffer.get(), FBuffer.get() + n, FFill - n);
    FFill -= n;
    return 0;
  }

  // Writes the first n buffered bytes at the file's current end; advances it.
  int Put(int fd, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
      const ssize_t w = ::pwrite(fd, FBuffer.get() + done, n - done,
                                 static_cast<off_t>(FOffset + done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (w == 0) return EIO;
      done += static_cast<std::size_t>(w);
    }
    FOffset += n;
    return 0;
  }

  int FFd;
  int FDirectFd = -1;
  std::unique_ptr<std::uint8_t, TFree> FBuffer;
  std::size_t FFill = 0;
  std::uint64_t FOffset = 0;
};

TAtomicFile::TAtomicFile(const std::string& path, TWrites writes)
    : FPath(path), FTarget(AtomicWriteTarget(path)) {
  const fs::path target(FTarget);
  if (target.filename().empty()) RaiseSaveError(FPath, EISDIR);
  std::error_code ec;
  if (fs::is_directory(target, ec)) RaiseSaveError(FPath, EISDIR);
  // A device or a pipe (/dev/null, a FIFO) is written in place: a file renamed over
  // it would take the device's place.
  if (struct stat st {}; ::stat(FTarget.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    if (PlantedLink(FTarget)) RaiseSaveError(FPath, EACCES);
    FFd = ::open(FTarget.c_str(), O_WRONLY | O_CLOEXEC);
    if (FFd < 0) RaiseSaveError(FPath, errno);
    FTemp = FTarget;
    FDirect = true;
    return;
  }
  RemoveStaleTempFiles(FTarget);
  std::string pattern =
      (target.parent_path() / ("." + target.filename().string() + std::string(kTempMark) + "XXXXXX"))
          .string();
  FFd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (FFd < 0) RaiseSaveError(FPath, errno);
  FTemp = pattern;
  if (writes == TWrites::wLargeSequential) {
    try {
      FBlocks = std::make_unique<TBlockWriter>(FTemp, FFd);
    } catch (...) {
      Discard();
      throw;
    }
  }
}

TAtomicFile::~TAtomicFile() {
  if (!FCommitted) Discard();
}

void TAtomicFile::Discard() noexcept {
  FStream.reset();
  FBuffer.reset();
  FBlocks.reset();
  if (FFd >= 0) ::close(FFd);
  FFd = -1;
  if (!FTemp.empty() && !FDirect) ::unlink(FTemp.c_str());
}

void TAtomicFile::Fail(int errorNumber) {
  Discard();
  FTemp.clear();
  RaiseSaveError(FPath, errorNumber);
}

std::ostream& TAtomicFile::Stream() {
  if (FBlocks) {
    // Blocks written so far go out first; the stream continues at the end.
    if (const int error = FBlocks->Finish()) Fail(error);
    FBlocks.reset();
    if (::lseek(FFd, 0, SEEK_END) < 0) Fail(errno);
  }
  if (!FStream) {
    FBuffer = std::make_unique<TFdStreamBuf>(FFd);
    FStream = std::make_unique<std::ostream>(FBuffer.get());
  }
  return *FStream;
}

void TAtomicFile::Write(std::span<const std::uint8_t> bytes) {
  if (FBlocks) {
    if (const int error = FBlocks->Append(bytes.data(), bytes.size())) Fail(error);
    return;
  }
  if (FStream) FStream->flush();
  WriteAll(FFd, bytes.data(), bytes.size());
}

void TAtomicFile::WriteAll(int fd, const std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
}

void TAtomicFile::Write(std::string_view text) {
  Write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

void TAtomicFile::Commit() {
  if (FCommitted) return;
  if (FBlocks) {
    if (const int error = FBlocks->Finish()) Fail(error);
    FBlocks.reset();
  }
  if (FStream) {
    FStream->flush();
    const int error = static_cast<TFdStreamBuf*>(FBuffer.get())->Error();
    if (error != 0 || !*FStream) Fail(error != 0 ? error : EIO);
  }
  if (FDirect) {
    FCommitted = true;
    Discard();
    return;
  }
  // Writers that opened the temporary file by name wrote through their own
  // descriptor: sync through a fresh one, which sees the same file.
  const int fd = ::open(FTemp.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) Fail(errno);
  TFd sync(fd);
  struct stat old {};
  if (::stat(FTarget.c_str(), &old) == 0) {
    // The owner first: changing it clears the set-user-ID and set-group-ID
    // bits, which the mode then puts back. Only a privileged user can give the
    // file another owner; the group is kept where the user belongs to it.
    [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid);
    if (::fchmod(fd, old.st_mode & 07777) != 0) Fail(errno);
  } else if (::fchmod(fd, 0666 & ~CurrentUmask()) != 0) {
    Fail(errno);
  }
  if (::fsync(fd) != 0) Fail(errno);
  if (::rename(FTemp.c_str(), FTarget.c_str()) != 0) Fail(errno);
  FCommitted = true;
  FTemp.clear();
  Discard();
  const fs::path folder = fs::path(FTarget).has_parent_path() ? fs::path(FTarget).parent_path()
                                                             : fs::path(".");
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

void WriteFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes) {
  TAtomicFile file(path);
  file.Write(bytes);
  file.Commit();
}

void WriteFileAtomic(const std::string& path, std::string_view text) {
  TAtomicFile file(path);
  file.Write(text);
  file.Commit();
}

void WriteFileAtomic(const std::string& path, const std::function<void(std::ostream&)>& write) {
  TAtomicFile file(path);
  write(file.Stream());
  file.Commit();
}

}  // namespace qd
