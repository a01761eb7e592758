// The progress of a long engine operation on a terminal: one line on stderr
// rewritten in place ("正在读取事实表... 已读取行数：1,500（30,000 行/秒）"),
// and Ctrl+C asks the operation to stop instead of killing the program.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "engine/core/progress.h"

namespace qd {

class TCliInterruptScope;
class TCliDeferInterrupt;

class TTerminalProgress : public TProgressSink {
 public:
  enum class TDisplay : unsigned char {
    Line,    //!< one line rewritten in place (a terminal)
    Log,     //!< a line per title and caption
    Silent,  //!< nothing shown; Ctrl+C still cancels
  };
  TTerminalProgress(std::ostream& out, TDisplay display);
  //! `interactive`: Line, otherwise Log.
  TTerminalProgress(std::ostream& out, bool interactive)
      : TTerminalProgress(out, interactive ? TDisplay::Line : TDisplay::Log) {}
  //! On stderr: Line when stderr is a terminal and not `quiet`, else Silent.
  explicit TTerminalProgress(bool quiet = false);
  ~TTerminalProgress() override;

  void Begin(const std::string& title) override;
  void End() override;
  //! Removes an open line instead of ending it (before output on the terminal).
  void Erase();

  //! Seconds on a steady clock; tests replace it.
  std::function<double()> Clock;

 protected:
  void Display(const std::string& caption, const std::string& counter) override;
  void ProcessInput() override;
  void CaptionChanged(const std::string& caption) override;

 private:
  void Draw(const std::string& caption, const std::string& counter);

  std::ostream& FOut;
  TDisplay FDisplay;
  bool FLineOpen = false;  // an unfinished line is on the terminal
  std::unique_ptr<TCliInterruptScope> FScope;
  std::unique_ptr<TCliDeferInterrupt> FDefer;
  double FPhaseStart = 0;    // when the current caption was set
  double FLastDisplay = -1;  // when the line was last rewritten
  std::int64_t FDrawnCount = -1;  // the count the line shows; -1 none
};

}  // namespace qd
