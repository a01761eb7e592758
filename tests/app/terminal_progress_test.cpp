#include "app/terminal_progress.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

#include "engine/core/errors.h"

namespace qd {

TEST(TerminalProgress, RewritesOneLineAndEndsIt) {
  std::ostringstream out;
  TTerminalProgress bar(out, true);
  bar.Begin("正在建立Cube数据...");
  bar.SetCaption("正在读取事实表...");
  bar.SetCounterFormat("已读取行数：%.0n");
  for (int i = 0; i < 1000; ++i) bar.Tick();
  bar.End();
  EXPECT_EQ(out.str(),
            "\r正在读取事实表...\x1b[K"
            "\r正在读取事实表... 已读取行数：500\x1b[K"
            "\r正在读取事实表... 已读取行数：1,000\x1b[K\n");
}

TEST(TerminalProgress, LogsCaptionsWhenNotATerminal) {
  std::ostringstream out;
  TTerminalProgress bar(out, false);
  bar.Begin("build");
  bar.SetCaption("read");
  for (int i = 0; i < 600; ++i) bar.Tick();
  bar.End();
  EXPECT_EQ(out.str(), "build\nread\n");
}

TEST(TerminalProgress, InterruptCancelsAtTheNextUpdate) {
  std::ostringstream out;
  TTerminalProgress bar(out, false);
  bar.Begin("build");
  std::raise(SIGINT);
  for (int i = 0; i < 499; ++i) bar.Tick();
  EXPECT_THROW(bar.Tick(), EUserCanceledError);
  bar.End();
  // After End the default handling is back; a new run starts uncancelled.
  bar.ClearCancel();
  bar.Begin("again");
  for (int i = 0; i < 1000; ++i) bar.Tick();
  bar.End();
}

}  // namespace qd
