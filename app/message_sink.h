// Where the application shell's user-facing messages go: the workbench shows
// each one in a message box, the command-line tool prints it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qd {

class TMessageSink {
 public:
  virtual ~TMessageSink() = default;
  //! Shows one message; line breaks inside it are part of the text.
  virtual void ShowMessage(const std::string& text) = 0;
};

//! Prints every message as its own line(s) on a stream.
class TStreamMessageSink : public TMessageSink {
 public:
  explicit TStreamMessageSink(std::ostream& out) : FOut(out) {}
  void ShowMessage(const std::string& text) override { FOut << text << '\n'; }

 private:
  std::ostream& FOut;
};

//! Keeps the messages, in order; for callers that decide later where they go.
class TMessageList : public TMessageSink {
 public:
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  std::vector<std::string> Messages;
};

}  // namespace qd
