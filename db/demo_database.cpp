#include "db/demo_database.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace qd {

std::string DemoDatabasePath() {
  if (const char* env = std::getenv("QD_DEMO_DB"); env && *env) return env;
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  std::filesystem::path dir = ec ? std::filesystem::current_path() : exe.parent_path();
  return (dir / "quarrydesk_demo.db").string();
}

std::string DemoConnectionString() {
  std::string quoted;
  for (char c : DemoDatabasePath()) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return "Provider=SQLite;Data Source=\"" + quoted + "\"";
}

}  // namespace qd
