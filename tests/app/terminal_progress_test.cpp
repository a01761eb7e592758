#include "app/terminal_progress.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

#include "app/cli_interrupt.h"
#include "engine/core/errors.h"

namespace qd {
namespace {

// Ticks one record at a time on a clock that advances `step` seconds per tick.
void TickWithClock(TTerminalProgress& bar, double& now, int ticks, double step) {
  for (int i = 0; i < ticks; ++i) {
    now += step;
    bar.Tick();
  }
}

}  // namespace

TEST(TerminalProgress, RewritesOneLineWithTheRateAndEndsIt) {
  std::ostringstream out;
  TTerminalProgress bar(out, true);
  double now = 100;
  bar.Clock = [&] { return now; };
  bar.Begin("正在建立Cube数据...");
  bar.SetCaption("正在读取事实表...");
  bar.SetCounterFormat("已读取行数：%.0n");
  TickWithClock(bar, now, 1000, 1.0 / 1024);  // 1,024 rows a second
  bar.End();
  EXPECT_EQ(out.str(),
            "\r正在读取事实表...\x1b[K"
            "\r正在读取事实表... 已读取行数：500\x1b[K"  // too early for a rate
            "\r正在读取事实表... 已读取行数：1,000（1,024 行/秒）\x1b[K\n");
}

TEST(TerminalProgress, RedrawsAtMostTenTimesASecondEndsOnTheLastCountOrErases) {
  for (bool erase : {false, true}) {
    std::ostringstream out;
    TTerminalProgress bar(out, TTerminalProgress::TDisplay::Line);
    double now = 0;
    bar.Clock = [&] { return now; };
    bar.Begin("build");
    bar.SetCaption("read");
    TickWithClock(bar, now, 5000, 0.00001);  // ten updates within 0.05 s: one drawn
    EXPECT_EQ(out.str(), "\rread\x1b[K\rread 500\x1b[K");
    if (erase) bar.Erase();
    bar.End();
    EXPECT_EQ(out.str(), erase ? "\rread\x1b[K\rread 500\x1b[K\r\x1b[K"
                               : "\rread\x1b[K\rread 500\x1b[K\rread 5000\x1b[K\n");
  }
}

TEST(TerminalProgress, LogsCaptionsWhenNotATerminalAndShowsNothingWhenSilent) {
  std::ostringstream log, silent;
  for (auto* out : {&log, &silent}) {
    TTerminalProgress bar(*out, out == &log ? TTerminalProgress::TDisplay::Log
                                           : TTerminalProgress::TDisplay::Silent);
    bar.Begin("build");
    bar.SetCaption("read");
    for (int i = 0; i < 600; ++i) bar.Tick();
    bar.End();
  }
  EXPECT_EQ(log.str(), "build\nread\n");
  EXPECT_EQ(silent.str(), "");
}

TEST(TerminalProgress, InterruptCancelsAtTheNextUpdate) {
  std::ostringstream out;
  TTerminalProgress bar(out, TTerminalProgress::TDisplay::Silent);
  bar.Begin("build");
  std::raise(SIGINT);
  EXPECT_TRUE(CliInterrupted());
  for (int i = 0; i < 499; ++i) bar.Tick();
  EXPECT_THROW(bar.Tick(), EUserCanceledError);
  bar.End();
  // After End the default handling is back; a new run starts uncancelled.
  bar.ClearCancel();
  bar.Begin("again");
  EXPECT_FALSE(CliInterrupted());
  for (int i = 0; i < 1000; ++i) bar.Tick();
  bar.End();
}

}  // namespace qd
