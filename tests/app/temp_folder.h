// A scratch folder for file tests, removed with everything in it.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace qd::testing {

class TTempFolder {
 public:
  TTempFolder() {
    static std::atomic<int> counter{0};
    FPath = std::filesystem::temp_directory_path() /
            ("qd_cfd_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(FPath);
    std::filesystem::create_directories(FPath);
  }
  ~TTempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  //! The folder with a trailing separator.
  std::string Folder() const { return FPath.string() + "/"; }
  std::string Path(std::string_view name) const { return Folder() + std::string(name); }
  std::string Write(std::string_view name, std::string_view bytes) const {
    std::filesystem::create_directories((FPath / name).parent_path());
    std::ofstream(Path(name), std::ios::binary) << bytes;
    return Path(name);
  }

 private:
  std::filesystem::path FPath;
};

}  // namespace qd::testing
