// The progress of a long engine operation on a terminal: one line on stderr
// rewritten in place ("正在读取事实表... 已读取行数：1,500"), and Ctrl+C asks the
// operation to stop instead of killing the program.
#pragma once

#include <iosfwd>
#include <string>

#include "engine/core/progress.h"

namespace qd {

class TTerminalProgress : public TProgressSink {
 public:
  //! `interactive`: rewrite one line in place; otherwise print a line per caption.
  TTerminalProgress(std::ostream& out, bool interactive);
  //! On stderr, interactive when stderr is a terminal.
  TTerminalProgress();
  ~TTerminalProgress() override;

  void Begin(const std::string& title) override;
  void End() override;

 protected:
  void Display(const std::string& caption, const std::string& counter) override;
  void ProcessInput() override;
  void CaptionChanged(const std::string& caption) override;

 private:
  std::ostream& FOut;
  bool FInteractive;
  bool FLineOpen = false;  // an unfinished line is on the terminal
  bool FRunning = false;
};

}  // namespace qd
