#include "bench/bench_data.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string_view>

namespace qd::bench {
namespace {

std::string DataDir() {
  const char* env = std::getenv("QD_BENCH_DATA");
  std::string dir = env ? env : QD_BENCH_DATA_DIR;
  std::filesystem::create_directories(dir);
  return dir;
}

std::string Generate(std::int64_t rows, bool sqlite) {
  std::string base = DataDir() + "/facts_" + std::to_string(rows);
  std::string csv = base + ".csv", db = base + ".db";
  std::string want = sqlite ? db : csv;
  if (std::filesystem::exists(want)) return want;
  std::string cmd = "python3 '" + std::string(QD_GEN_FACTS) + "' --rows " + std::to_string(rows) +
                    " --out '" + csv + ".tmp'" + (sqlite ? " --sqlite '" + db + ".tmp'" : "");
  std::fprintf(stderr, "generating %s\n", want.c_str());
  if (std::system(cmd.c_str()) != 0) throw std::runtime_error("gen_facts.py failed: " + cmd);
  std::filesystem::rename(csv + ".tmp", csv);
  if (sqlite) std::filesystem::rename(db + ".tmp", db);
  return want;
}

std::int64_t StatusField(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::atoll(line.c_str() + std::strlen(key)) * 1024;
  return 0;
}

}  // namespace

std::string FactsCsvPath(std::int64_t rows) {
  return Generate(rows, false);
}
std::string FactsSqlitePath(std::int64_t rows) {
  return Generate(rows, true);
}

const TFactColumns& FactColumns(std::int64_t rows) {
  static std::map<std::int64_t, std::unique_ptr<TFactColumns>> cache;
  auto& slot = cache[rows];
  if (slot) return *slot;
  slot = std::make_unique<TFactColumns>();
  TFactColumns& c = *slot;
  std::ifstream in(FactsCsvPath(rows));
  std::string line;
  std::getline(in, line);  // header
  for (auto* v : {&c.city, &c.branch, &c.channel, &c.product, &c.pay_mode, &c.group_date})
    v->reserve(rows);
  c.amnt.reserve(rows);
  c.total_num.reserve(rows);
  while (std::getline(in, line)) {
    std::string_view s(line);
    std::string_view f[8];
    for (int i = 0; i < 8; ++i) {
      std::size_t p = s.find(',');
      f[i] = s.substr(0, p);
      s = p == std::string_view::npos ? std::string_view{} : s.substr(p + 1);
    }
    c.city.emplace_back(f[0]);
    c.branch.emplace_back(f[1]);
    c.channel.emplace_back(f[2]);
    c.product.emplace_back(f[3]);
    c.pay_mode.emplace_back(f[4]);
    c.group_date.emplace_back(f[5]);
    c.amnt.push_back(std::strtod(std::string(f[6]).c_str(), nullptr));
    c.total_num.push_back(std::atoi(std::string(f[7]).c_str()));
  }
  return c;
}

void TakeRowsArgument(int& argc, char** argv, std::int64_t& rows) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--rows=", 7) == 0) {
      rows = std::atoll(argv[i] + 7);
      for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
      --argc;
      return;
    }
  }
}

std::int64_t PeakRssBytes() {
  return StatusField("VmHWM:");
}
std::int64_t CurrentRssBytes() {
  return StatusField("VmRSS:");
}

}  // namespace qd::bench
