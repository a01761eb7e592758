#include "app/auto_save.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "app/ini_file.h"
#include "engine/core/errors.h"
#include "engine/core/text_codec.h"
#include "temp_folder.h"

namespace qd {
namespace {

// Built-in cubes that fail to build or to save on demand, and that look at the
// log on disk whenever a cube starts.
class TFakeGenerator : public TCubeGenerator {
 public:
  std::string LogFile;
  std::vector<std::string> Built, Saved;
  std::vector<std::size_t> LogLinesSeen;

  bool BuildCube(const std::string& name) override {
    std::optional<std::string> log = ReadWholeFile(LogFile);
    LogLinesSeen.push_back(log ? SplitLines(*log).size() : 0);
    Built.push_back(name);
    if (name == "坏查询") return false;
    if (name == "抛出") throw ECubeError("boom");
    return true;
  }
  void SaveCube(const std::string& fileName) override {
    if (fileName.ends_with("库存.vtc")) throw ECubeError("disk full");
    Saved.push_back(fileName);
  }
  std::string FailureReason() const override { return "no such table: f_sales\nline 2"; }
  std::vector<std::string> BuildNotes() const override {
    if (Built.back() != "销售") return {};
    return {"保费有 2 个值不是数字，已按 0 计算（第一个在第 3 行：“abc”）"};
  }
};

const TAutoSaveLog::TClock kClock = [] { return std::string("2026-12-09 12:00:00"); };

}  // namespace

TEST(AutoSave, LogsEveryCubeInGb18030AndRewritesTheLogAfterEachCube) {
  testing::TTempFolder tmp;
  TFakeGenerator gen;
  gen.LogFile = tmp.Path("CubeAutoSave.log");
  std::string arg = "  " + tmp.Folder().substr(0, tmp.Folder().size() - 1) + " ";
  EXPECT_EQ(AutoSaveCube(arg, {"销售", "", "库存", "坏查询", "抛出"}, gen, kClock),
            TAutoSaveResult::Done);

  EXPECT_EQ(gen.Built, (std::vector<std::string>{"销售", "库存", "坏查询", "抛出"}));
  EXPECT_EQ(gen.Saved, std::vector<std::string>{tmp.Path("销售.vtc")});
  EXPECT_EQ(gen.LogLinesSeen, (std::vector<std::size_t>{0, 3, 6, 9}));
  // Why a cube was not built, and what its build noticed, on lines of their own.
  std::string expected =
      "2026-12-09 12:00:00；开始生成Cube：销售－－－\r\n"
      "　　销售，成功生成！\r\n"
      "　　　　注意：保费有 2 个值不是数字，已按 0 计算（第一个在第 3 行：“abc”）\r\n"
      "2026-12-09 12:00:00；开始生成Cube：库存－－－\r\n"
      "　　库存，成功生成！\r\n"
      "　　库存，保存成本地Cube文件时出错！\r\n"
      "2026-12-09 12:00:00；开始生成Cube：坏查询－－－\r\n"
      "　　坏查询，生成失败！\r\n"
      "　　　　原因：no such table: f_sales line 2\r\n"
      "2026-12-09 12:00:00；开始生成Cube：抛出－－－\r\n"
      "　　抛出，生成失败！\r\n"
      "　　　　原因：boom\r\n";
  EXPECT_EQ(*ReadWholeFile(gen.LogFile), Utf8ToAnsi(expected));
}

TEST(AutoSave, NoArgumentOrNoFolderEndsWithoutBuildingOrLogging) {
  testing::TTempFolder tmp;
  TFakeGenerator gen;
  EXPECT_EQ(AutoSaveCube(std::nullopt, {"销售"}, gen), TAutoSaveResult::NoArgument);
  EXPECT_EQ(AutoSaveCube(tmp.Path("missing"), {"销售"}, gen), TAutoSaveResult::MissingFolder);
  EXPECT_EQ(AutoSaveCube("   ", {"销售"}, gen), TAutoSaveResult::MissingFolder);
  EXPECT_TRUE(gen.Built.empty());
  EXPECT_FALSE(std::filesystem::exists(tmp.Path("missing")));
  EXPECT_EQ(AutoSaveOutputFolder(" /data/cubes "), "/data/cubes/");
  EXPECT_EQ(AutoSaveOutputFolder("/data/cubes/"), "/data/cubes/");
}

TEST(AutoSave, UnwritableLogEndsTheRunWithAnError) {
  testing::TTempFolder tmp;
  std::filesystem::create_directories(tmp.Path("CubeAutoSave.log"));  // a folder in the way
  TFakeGenerator gen;
  EXPECT_THROW(AutoSaveCube(tmp.Folder(), {"销售", "库存"}, gen, kClock), Exception);
  EXPECT_EQ(gen.Built.size(), 1u);
}

TEST(AutoSave, DateAndTimeFollowTheLocaleWithAnIsoFormUnderC) {
  const char* old = std::getenv("LC_ALL");
  std::string saved = old ? old : "";
  for (const char* locale : {"C", "C.UTF-8"}) {
    setenv("LC_ALL", locale, 1);
    std::string text = FormatLogDateTime(std::time(nullptr));
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")))
        << locale << ": " << text;
  }
  if (old)
    setenv("LC_ALL", saved.c_str(), 1);
  else
    unsetenv("LC_ALL");
}

}  // namespace qd
