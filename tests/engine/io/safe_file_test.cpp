// Files written whole or not at all, and reads that refuse what is no file.
#include "engine/io/safe_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>

#include "engine/core/errors.h"
#include "../file_test_support.h"

namespace qd::test {
namespace {

namespace fs = std::filesystem;

TEST(AtomicWrite, ReplacesTheFileAndLeavesNoTemporaryFile) {
  TTempFolder dir("atomic");
  const std::string path = dir.Path("report.htm");
  WriteFileAtomic(path, std::string_view("old"));
  WriteFileAtomic(path, [](std::ostream& out) { out << "new " << 42; });
  EXPECT_EQ(ReadText(path), "new 42");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"report.htm"}));
}

// A pipe, like a device such as /dev/null, is written in place: renaming a
// finished file over it would leave a plain file where the pipe was.
TEST(AtomicWrite, WritesAPipeInPlace) {
  TTempFolder dir("atomic");
  const std::string path = dir.Path("pipe");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadText(path); });
  WriteFileAtomic(path, std::string_view("through the pipe"));
  reader.join();
  EXPECT_EQ(received, "through the pipe");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"pipe"}));
}

TEST(AtomicWrite, AFailedWriteLeavesTheOldFileByteIdenticalAndRemovesItsTemporaryFile) {
  TTempFolder dir("atomic");
  const std::string path = dir.Path("report.htm");
  const std::string old(200000, 'x');
  WriteFileAtomic(path, std::string_view(old));
  // The writer fails half-way: an error while the document is produced.
  EXPECT_THROW(WriteFileAtomic(path,
                               [](std::ostream& out) {
                                 out << std::string(100000, 'y');
                                 throw EGenericError("表格太大");
                               }),
               EGenericError);
  EXPECT_EQ(ReadText(path), old);
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"report.htm"}));

  // A full disk, made by a file-size limit in a child process.
  const int status = RunInChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{65536, 65536};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      WriteFileAtomic(path, std::string_view(std::string(1 << 20, 'z')));
    } catch (const EStreamError& e) {
      // The message names the file the user asked for, not the temporary one.
      const std::string m = e.what();
      return m.find(path) != std::string::npos && m.find("qdtmp") == std::string::npos ? 0 : 2;
    }
    return 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadText(path), old);
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"report.htm"}));
}

// Large files written in one sequence go to the disk in whole blocks beside the
// page cache: pieces of any size, past the block buffer, with a partial last
// block and a stream after them come out whole; where the file system refuses
// direct writes (tmpfs) the same bytes go through the page cache; a full disk
// fails as any other write.
TEST(AtomicWrite, LargeSequentialWritesKeepEveryByteAndFailLikeOthers) {
  std::vector<std::uint8_t> bytes((9u << 20) + 1234);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
  auto write = [&](const std::string& path) {
    TAtomicFile file(path, TAtomicFile::TWrites::wLargeSequential);
    for (std::size_t at = 0; at < bytes.size(); at += 300001)
      file.Write(std::span(bytes).subspan(at, std::min<std::size_t>(300001, bytes.size() - at)));
    file.Stream() << "end";
    file.Commit();
  };
  std::vector<std::uint8_t> expected = bytes;
  expected.insert(expected.end(), {'e', 'n', 'd'});
  TTempFolder dir("atomic");
  const std::string path = dir.Path("cube.vtc");
  write(path);
  EXPECT_EQ(ReadRegularFile(path), expected);
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"cube.vtc"}));
  if (fs::is_directory("/dev/shm")) {
    const std::string shm = "/dev/shm/qd_atomic_" + std::to_string(::getpid()) + ".vtc";
    write(shm);
    EXPECT_EQ(ReadRegularFile(shm), expected);
    fs::remove(shm);
  }

  const int status = RunInChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1 << 20, 1 << 20};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      write(path);
    } catch (const EStreamError& e) {
      return std::string(e.what()).find(path) != std::string::npos ? 0 : 2;
    }
    return 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadRegularFile(path), expected);
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"cube.vtc"}));
}

TEST(AtomicWrite, KeepsTheModeOfTheReplacedFileAndGivesANewFileTheUmaskDefault) {
  TTempFolder dir("atomic");
  const std::string secret = dir.Path("secret.vtc");
  WriteFileAtomic(secret, std::string_view("1"));
  ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
  WriteFileAtomic(secret, std::string_view("2"));
  EXPECT_EQ(ModeOf(secret), 0600u);
  ASSERT_EQ(::chmod(secret.c_str(), 0640), 0);
  WriteFileAtomic(secret, std::string_view("3"));
  EXPECT_EQ(ModeOf(secret), 0640u);
  // Giving the new file its owner clears the set-ID bits; they come back.
  ASSERT_EQ(::chmod(secret.c_str(), 06750), 0);
  WriteFileAtomic(secret, std::string_view("4"));
  EXPECT_EQ(ModeOf(secret), 06750u);

  const mode_t mask = ::umask(027);
  WriteFileAtomic(dir.Path("new.vtc"), std::string_view("n"));
  ::umask(mask);
  EXPECT_EQ(ModeOf(dir.Path("new.vtc")), 0640u);
}

TEST(AtomicWrite, WritesThroughASymbolicLinkToTheFileItNames) {
  TTempFolder dir("atomic");
  fs::create_directories(dir.Path("real"));
  const std::string real = dir.Path("real/cube.vtc");
  WriteFileAtomic(real, std::string_view("old"));
  fs::create_symlink("real/cube.vtc", dir.Path("link.vtc"));
  WriteFileAtomic(dir.Path("link.vtc"), std::string_view("new"));
  EXPECT_TRUE(fs::is_symlink(dir.Path("link.vtc")));
  EXPECT_EQ(ReadText(real), "new");
  // A link to a file that does not exist yet creates that file.
  fs::create_symlink("real/later.vtc", dir.Path("dangling.vtc"));
  WriteFileAtomic(dir.Path("dangling.vtc"), std::string_view("made"));
  EXPECT_TRUE(fs::is_symlink(dir.Path("dangling.vtc")));
  EXPECT_EQ(ReadText(dir.Path("real/later.vtc")), "made");
}

// A link someone else planted in a shared folder such as /tmp is not followed:
// the user's file it points at is never replaced.
TEST(AtomicWrite, DoesNotFollowALinkSomeoneElsePlantedInASharedFolder) {
  TTempFolder dir("atomic");
  const std::string victim = dir.Path("own.txt");
  WriteFileAtomic(victim, std::string_view("precious"));
  fs::create_directories(dir.Path("shared"));
  ASSERT_EQ(::chmod(dir.Path("shared").c_str(), 01777), 0);
  const std::string planted = dir.Path("shared/report.htm");
  fs::create_symlink(victim, planted);
  if (::geteuid() != 0 || ::lchown(planted.c_str(), 65534, 65534) != 0)
    GTEST_SKIP() << "giving the link another owner needs root";
  try {
    WriteFileAtomic(planted, std::string_view("dump"));  // root may replace the link itself
  } catch (const EStreamError&) {
  }
  EXPECT_EQ(ReadText(victim), "precious");
  // One's own link there is followed as anywhere else.
  fs::remove(planted);
  fs::create_symlink(victim, planted);
  WriteFileAtomic(planted, std::string_view("mine"));
  EXPECT_EQ(ReadText(victim), "mine");
}

// /dev/stdout and /proc/self/fd/N lead to a pipe through links that name no
// file; the pipe is written in place.
TEST(AtomicWrite, WritesAPipeBehindTheSystemsOwnLinks) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  WriteFileAtomic("/proc/self/fd/" + std::to_string(fds[1]), std::string_view("piped"));
  ::close(fds[1]);
  char buffer[16] = {};
  EXPECT_EQ(::read(fds[0], buffer, sizeof buffer), 5);
  ::close(fds[0]);
  EXPECT_EQ(std::string(buffer), "piped");
}

TEST(AtomicWrite, RemovesItsOwnTemporaryFilesOlderThanADayOnTheNextSave) {
  TTempFolder dir("atomic");
  const std::string path = dir.Path("sales.vtc");
  const auto twoDaysAgo = std::chrono::system_clock::now() - std::chrono::hours(48);
  for (const char* name : {".sales.vtc.tmp4242", ".sales.vtc.qdtmpAb12Cd", ".sales.vtc.part77"})
    WriteAged(dir.Path(name), twoDaysAgo);
  WriteAged(dir.Path(".sales.vtc.tmp5151"), std::chrono::system_clock::now());  // a save running now
  WriteAged(dir.Path(".sales.vtc.tmpnotes"), twoDaysAgo);                       // not ours
  WriteAged(dir.Path(".other.vtc.tmp1"), twoDaysAgo);                           // another target's
  WriteFileAtomic(path, std::string_view("cube"));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{".other.vtc.tmp1", ".sales.vtc.tmp5151",
                                                   ".sales.vtc.tmpnotes", "sales.vtc"}));
}

TEST(AtomicWrite, AReadOnlyFolderFailsNamingTheTargetAndKeepsTheOldFile) {
  TTempFolder dir("atomic");
  fs::create_directories(dir.Path("locked"));
  const std::string path = dir.Path("locked/book.xls");
  WriteFileAtomic(path, std::string_view("old"));
  ASSERT_EQ(::chmod(dir.Path("locked").c_str(), 0555), 0);
  const int status = RunInChild([&] {
    DropPrivileges();
    try {
      WriteFileAtomic(path, std::string_view("new"));
    } catch (const EStreamError& e) {
      return std::string(e.what()).find(path) != std::string::npos ? 0 : 2;
    }
    return 1;
  });
  ::chmod(dir.Path("locked").c_str(), 0755);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadText(path), "old");
}

TEST(SafeRead, RefusesPipesDevicesAndFoldersAtOnceWithTheirKind) {
  TTempFolder dir("read");
  const std::string fifo = dir.Path("cube.vtc");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Nobody writes to the pipe: a blocking open would never return.
  EXPECT_EQ(ReadError([&] { ReadRegularFile(fifo); }),
            "无法读取“" + fifo + "”：它是管道，不是普通文件");
  EXPECT_EQ(ReadError([] { ReadRegularFile("/dev/zero"); }),
            "无法读取“/dev/zero”：它是设备，不是普通文件");
  EXPECT_EQ(ReadError([&] { CheckReadableFile(dir.Path("")); }).find("文件夹") != std::string::npos,
            true);
  EXPECT_NE(ReadError([&] { ReadRegularFile(dir.Path("missing.vtc")); }).find("missing.vtc"),
            std::string::npos);
}

TEST(SafeRead, RefusesAFileOverTheLimitFromItsSizeAlone) {
  TTempFolder dir("read");
  const std::string big = dir.Path("big.vtc");
  // A sparse file of 3 GB: refused by its size, without reading or allocating.
  {
    std::ofstream touch(big);
  }
  fs::resize_file(big, 3ull << 30);
  EXPECT_EQ(ReadError([&] { ReadRegularFile(big); }),
            "无法读取“" + big + "”：文件有 3221225472 字节，超过上限 2147483647 字节");
  fs::resize_file(big, 10);
  EXPECT_EQ(ReadRegularFile(big, 10).size(), 10u);
  EXPECT_THROW(ReadRegularFile(big, 9), EStreamError);
}

TEST(SafeRead, TempFileNamesOfATarget) {
  EXPECT_TRUE(IsTempFileOf(".a.vtc.qdtmpX1y2Z3", "a.vtc"));
  EXPECT_TRUE(IsTempFileOf(".a.vtc.tmp123", "a.vtc"));
  EXPECT_TRUE(IsTempFileOf(".a.vtc.part9", "a.vtc"));
  EXPECT_FALSE(IsTempFileOf(".a.vtc.qdtmpX1", "a.vtc"));
  EXPECT_FALSE(IsTempFileOf(".a.vtc.tmp", "a.vtc"));
  EXPECT_FALSE(IsTempFileOf(".a.vtc.tmp12a", "a.vtc"));
  EXPECT_FALSE(IsTempFileOf("a.vtc.tmp12", "a.vtc"));
  EXPECT_FALSE(IsTempFileOf(".b.vtc.tmp12", "a.vtc"));
}

}  // namespace
}  // namespace qd::test
