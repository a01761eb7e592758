// The contracts of quarrydesk-cli as a whole: each command's --help, the exit
// status of usage errors and failed work, the hints for misspelt names, and
// Ctrl+C during a build.
#include "app/cli.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "app/cli_args.h"
#include "app/cli_output.h"
#include "cli_process.h"

namespace qd {
namespace {

const std::string kCube = std::string(QD_TEST_DATA_DIR) + "/cube_file/sales.vtc";

struct TRun {
  int Status;
  std::string Out, Err;
};

TRun Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = RunCli(args, out, err);
  return {status, out.str(), err.str()};
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(Cli, VersionHelpAndUnknownCommands) {
  EXPECT_EQ(Cli({"--version"}).Out, "Quarrydesk Version 2.00\n");
  TRun help = Cli({"--help"});
  EXPECT_EQ(help.Status, 0);
  EXPECT_TRUE(Has(help.Out, "用法：quarrydesk-cli COMMAND")) << help.Out;
  for (const TCliCommand& c : CliCommands()) EXPECT_TRUE(Has(help.Out, c.Usage)) << c.Name;
  // No command at all is a usage error; the help goes to stderr then.
  TRun none = Cli({});
  EXPECT_EQ(none.Status, 2);
  EXPECT_EQ(none.Out, "");
  EXPECT_TRUE(Has(none.Err, "用法："));

  TRun typo = Cli({"pivto"});
  EXPECT_EQ(typo.Status, 2);
  EXPECT_EQ(typo.Err,
            "quarrydesk-cli: 未知命令“pivto”，您是不是要找“pivot”？（参见 quarrydesk-cli --help）\n");
  EXPECT_EQ(Cli({"frobnicate"}).Err,
            "quarrydesk-cli: 未知命令“frobnicate”（参见 quarrydesk-cli --help）\n");
  EXPECT_EQ(Cli({"help", "frobnicate"}).Status, 2);
}

// Every command: --help and -h anywhere print its usage on stdout and exit 0
// without doing any work; an unknown option exits 2 naming it.
TEST(Cli, EveryCommandHasHelpAndRejectsUnknownOptions) {
  for (const TCliCommand& c : CliCommands()) {
    const std::string usage = std::string("用法：quarrydesk-cli ") + c.Usage + "\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{c.Name, "--help"}, {c.Name, "/no/such/file", "-h"},
          {"help", c.Name}}) {
      TRun help = Cli(args);
      EXPECT_EQ(help.Status, 0) << c.Name;
      EXPECT_EQ(help.Out.rfind(usage, 0), 0u) << help.Out;
      EXPECT_TRUE(Has(help.Out, "-h, --help")) << c.Name;
      EXPECT_EQ(help.Err, "");
    }
    TRun bad = Cli({c.Name, "--bogus"});
    EXPECT_EQ(bad.Status, 2) << c.Name;
    EXPECT_EQ(bad.Err, std::string("quarrydesk-cli ") + c.Name +
                           ": 未知选项“--bogus”（参见 quarrydesk-cli " + c.Name + " --help）\n");
  }
}

TEST(Cli, MissingAndMalformedArgumentsExitTwoNamingTheArgument) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"info"}, "缺少参数 FILE"},
      {{"members", kCube}, "缺少参数 DIM"},
      {{"info", kCube, "extra"}, "多余的参数“extra”"},
      {{"pivot", kCube, "--rows"}, "选项“--rows”缺少参数"},
      {{"pivot", kCube, "--format", "xml"}, "选项“--format”的参数“xml”无效（可用：grid|cells|csv|json）"},
      {{"pivot", kCube, "--expand=some"}, "选项“--expand”的参数“some”无效"},
      {{"pivot", kCube, "--timing=yes"}, "选项“--timing”不带参数"},
      {{"pivot", kCube, "--rows", "City", "--rows", "Year"}, "选项“--rows”只能给出一次"},
      {{"pivot", kCube, "--filter", "City"}, "过滤条件“City”应写成 维度=成员[,成员…]"},
      {{"pivot", kCube, "--filter", "City= ,"}, "过滤条件“City= ,”"},
      {{"export", kCube}, "缺少参数 --to OUT"},
      {{"export", kCube, "--to", "a.doc"}, "“a.doc”不是支持的文档类型（可用：.xls、.xlsx、.htm、.html、.xml、.rtf、.csv、.json、.pdf、.svg、.emf、.wmf）"},
      {{"export", kCube, "--to", "-"}, "写到标准输出时需要用 --format 指定格式"},
      {{"export", kCube, "--to", "-", "--format", "xls"}, "xls 格式不能写到标准输出"},
      {{"import", "--query", "SELECT 1", "-o", "x.vtc"}, "缺少参数 --connection"},
      {{"import", "--connection", "c", "--query", "q", "-o", "-"}, "Cube文件不能写到标准输出"},
      {{"build", "a.cfd", "--output", ""}, "Cube文件不能写到标准输出"},
      {{"generate"}, "缺少参数 FOLDER"},
  };
  for (const auto& [args, message] : cases) {
    TRun run = Cli(args);
    EXPECT_EQ(run.Status, 2) << args.back();
    EXPECT_TRUE(Has(run.Err, message)) << run.Err;
    EXPECT_EQ(run.Err.find('\n'), run.Err.size() - 1) << "one line: " << run.Err;
  }
  // Values may follow "=", and "--" ends the options.
  EXPECT_EQ(Cli({"pivot", "--rows=City", "--format=cells", "--", kCube}).Status, 0);
}

TEST(Cli, MisspeltNamesGetTheClosestNameAsAHint) {
  EXPECT_EQ(ClosestName("Ciyt", {"City", "Year"}), "City");    // two letters swapped
  EXPECT_EQ(ClosestName("yaer", {"City", "Year"}), "Year");    // letter case ignored
  EXPECT_EQ(ClosestName("险种分", {"险种分类", "渠道"}), "险种分类");  // one character missing
  EXPECT_EQ(ClosestName("Amuont", {"Amount"}), "Amount");
  EXPECT_EQ(ClosestName("Region", {"City", "Year"}), std::nullopt);
  EXPECT_EQ(ClosestName("ab", {"xy"}), std::nullopt);

  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"pivot", kCube, "--rows", "Ciyt"}, "没有名为“Ciyt”的维度，您是不是要找“City”？"},
      {{"pivot", kCube, "--rows", "城"}, "没有名为“城”的维度，您是不是要找“城市”？"},
      {{"pivot", kCube, "--summaries", "Amoun"}, "没有名为“Amoun”的合计项，您是不是要找“Amount”？"},
      {{"pivot", kCube, "--functions", "Sun"}, "没有名为“Sun”的函数，您是不是要找“Sum”？"},
      {{"pivot", kCube, "--subfunctions", "rowrnk"}, "没有名为“rowrnk”的子函数，您是不是要找“rowrank”？"},
      {{"pivot", kCube, "--filter", "Year=21"}, "维度“Year”没有名为“21”的成员，您是不是要找“20”？"},
      {{"pivot", kCube, "--rowz", "City"}, "未知选项“--rowz”，您是不是要找“--rows”？"},
      {{"members", kCube, "Yaer"}, "没有名为“Yaer”的维度，您是不是要找“Year”？"},
      // Nothing close: the names there are.
      {{"pivot", kCube, "--rows", "Region"}, "没有名为“Region”的维度（可用的有：城市、City、Year）"},
  };
  for (const auto& [args, message] : cases) {
    TRun run = Cli(args);
    EXPECT_EQ(run.Status, 2) << message;
    EXPECT_TRUE(Has(run.Err, message)) << run.Err;
  }
}

// A file output replaces its target only when committed; until then, and
// after a failure, the target is as it was and nothing else is left.
TEST(CliOutput, ReplacesTheTargetOnlyWhenCommitted) {
  testing::TTempFolder dir;
  const std::string target = dir.Write("out.csv", "old");
  auto files = [&] {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Folder())) ++n;
    return n;
  };
  std::ostringstream standard;
  {
    TCliOutput output(target, standard);
    output.Stream() << "new";
    EXPECT_EQ(files(), 2);
  }
  EXPECT_EQ(testing::ReadFileText(target), "old");
  EXPECT_EQ(files(), 1);
  {
    TCliOutput output(target, standard);
    output.WriteFile([](const std::string& path) { std::ofstream(path) << "whole"; });
    output.Commit();
  }
  EXPECT_EQ(testing::ReadFileText(target), "whole");
  EXPECT_EQ(files(), 1);
  {
    TCliOutput output("-", standard);
    output.Stream() << "to stdout";
    output.Commit();
  }
  EXPECT_EQ(standard.str(), "to stdout");
  try {
    TCliOutput output(dir.Path("missing/out.csv"), standard);
    ADD_FAILURE() << "a folder that is not there takes no file";
  } catch (const EGenericError& e) {
    EXPECT_EQ(std::string(e.what()),
              "无法写入文件“" + dir.Path("missing/out.csv") + "”！文件或文件夹不存在");
  }
}

// A pipe (like /dev/null, a device) is written in place: renaming a finished
// file over it would put a plain file where the pipe was.
TEST(CliOutput, WritesAPipeInPlace) {
  testing::TTempFolder dir;
  const std::string fifo = dir.Path("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    std::ifstream in(fifo, std::ios::binary);
    received.assign(std::istreambuf_iterator<char>(in), {});
  });
  std::ostringstream standard;
  {
    TCliOutput output(fifo, standard);
    EXPECT_FALSE(output.IsStandardOutput());
    output.Stream() << "through the pipe";
    output.Commit();
  }
  reader.join();
  EXPECT_EQ(received, "through the pipe");
  struct stat st {};
  ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A file the user protected keeps its mode; a link keeps pointing at the file
// it named, which gets the new contents.
TEST(CliOutput, KeepsTheTargetsModeAndWritesThroughALink) {
  testing::TTempFolder dir;
  const std::string real = dir.Write("real.csv", "old");
  ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
  std::filesystem::create_symlink(real, dir.Path("link.csv"));
  std::ostringstream standard;
  {
    TCliOutput output(dir.Path("link.csv"), standard);
    output.Stream() << "new";
    output.Commit();
  }
  EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("link.csv")));
  EXPECT_EQ(testing::ReadFileText(real), "new");
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

// A disk that fills up during an export (a file-size limit here): the command
// fails naming the document, whose old contents stay as they were, and no
// temporary file is left.
TEST(CliProcess, AnExportThatRunsOutOfSpaceKeepsTheOldDocument) {
  testing::TTempFolder dir;
  const std::string old(3000, 'x');
  const std::string target = dir.Write("report.htm", old);
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 600;
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);  // a write fails instead of killing
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  testing::TCliRun run = testing::RunCliProcess({"export", kCube, "--to", target});
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "quarrydesk-cli export: 无法写入文件“" + target + "”！文件超过了允许的大小\n");
  EXPECT_EQ(testing::ReadFileText(target), old);
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Folder())) ++files;
  EXPECT_EQ(files, 1);
}

// The process itself: stdout carries only the output, stderr one Chinese
// line; failed work exits 1.
TEST(CliProcess, ExitStatusAndStreams) {
  testing::TCliRun help = testing::RunCliProcess({"facts", "--help"});
  EXPECT_EQ(help.Status, 0);
  EXPECT_EQ(help.Out.rfind("用法：quarrydesk-cli facts", 0), 0u);
  EXPECT_EQ(help.Err, "");

  testing::TCliRun missing = testing::RunCliProcess({"info", "/nonexistent/x.vtc"});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_EQ(missing.Out, "");
  EXPECT_EQ(missing.Err,
            "quarrydesk-cli info: 无法读写文件 /nonexistent/x.vtc：文件或文件夹不存在\n");

  testing::TCliRun typo = testing::RunCliProcess({"pivot", kCube, "--cols", "Yera"});
  EXPECT_EQ(typo.Status, 2);
  EXPECT_EQ(typo.Out, "");
  EXPECT_TRUE(Has(typo.Err, "您是不是要找“Year”")) << typo.Err;

  testing::TCliRun ok = testing::RunCliProcess({"pivot", kCube, "--timing", "--quiet"});
  EXPECT_EQ(ok.Status, 0);
  EXPECT_EQ(ok.Out.rfind("城市\tAmount\n", 0), 0u) << ok.Out;
  EXPECT_TRUE(Has(ok.Err, "load: ") && Has(ok.Err, "output: ")) << ok.Err;
}

// Ctrl+C while an import reads its rows: exit 130 with the cancel message,
// and neither the cube file nor a temporary file is left.
TEST(CliProcess, InterruptDuringAnImportLeavesNoFile) {
  testing::TTempFolder dir;
  const std::string sql =
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000000) "
      "SELECT i % 97 AS k, i * 0.5 AS v FROM n";
  testing::TCliRun run = testing::RunCliProcess(
      {"import", "--connection", std::string("Provider=SQLite;Data Source=") + QD_DEMO_DB,
       "--query", sql, "--rows", "k", "--summaries", "v", "-o", dir.Path("big.vtc")},
      1.5);
  EXPECT_EQ(run.Status, 130);
  EXPECT_EQ(run.Out, "");
  EXPECT_EQ(run.Err, "quarrydesk-cli import: 用户中止了进程\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir.Folder()));
}

}  // namespace
}  // namespace qd
