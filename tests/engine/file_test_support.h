// Shared pieces of the file tests: a scratch folder, whole-file reads, and
// children that run a save under a file-size limit or as an unprivileged user
// (the tests run as root in CI, where permission bits would not stop a write).
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace qd::test {

//! A scratch folder, removed with everything in it.
class TTempFolder {
 public:
  explicit TTempFolder(std::string_view prefix = "cfd") {
    static std::atomic<int> counter{0};
    FPath = std::filesystem::temp_directory_path() /
            ("qd_" + std::string(prefix) + "_" + std::to_string(::getpid()) + "_" +
             std::to_string(counter++));
    std::filesystem::remove_all(FPath);
    std::filesystem::create_directories(FPath);
  }
  ~TTempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  //! The folder with a trailing separator.
  std::string Folder() const { return FPath.string() + "/"; }
  std::string Path(std::string_view name) const { return Folder() + std::string(name); }
  std::string Write(std::string_view name, std::string_view bytes) const {
    std::filesystem::create_directories((FPath / name).parent_path());
    std::ofstream(Path(name), std::ios::binary) << bytes;
    return Path(name);
  }
  //! The names in the folder (hidden ones too), sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(FPath))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path FPath;
};

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline unsigned ModeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

//! A file with a given modification time.
inline void WriteAged(const std::string& path, std::chrono::system_clock::time_point when) {
  std::ofstream(path, std::ios::binary) << "left over";
  const auto since = when - std::chrono::system_clock::now();
  std::filesystem::last_write_time(
      path, std::filesystem::file_time_type::clock::now() +
                std::chrono::duration_cast<std::filesystem::file_time_type::duration>(since));
}

//! Runs `body` in a forked child and returns its exit status (its result), or
//! 100 + the signal that ended it. Resource limits and identities set in the
//! child stay there.
inline int RunInChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    int code = 99;
    try {
      code = body();
    } catch (...) {
      code = 98;
    }
    std::_Exit(code);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

//! In a child: continue as the unprivileged user "nobody" when running as root,
//! so that permission bits count.
inline void DropPrivileges() {
  if (::geteuid() != 0) return;
  if (::setgid(65534) != 0 || ::setuid(65534) != 0) std::_Exit(97);
}

//! The message of the error `f` raises ("" when it raises none).
template <typename F>
std::string ReadError(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

}  // namespace qd::test
