// Ctrl+C in quarrydesk-cli. While a command runs, an interrupt either stops
// the program at once (exit status 130) or, inside a deferring scope (a build
// under progress, a file being written), only asks the work to stop: the
// progress cancels at its next update and a pending output is not committed.
// A second Ctrl+C always stops at once. Stopping at once removes the one
// registered cleanup file, so no partial output is left behind.
#pragma once

#include <string>

namespace qd {

//! Installs the interrupt handler for its lifetime (nested scopes share one);
//! the outermost scope clears an earlier interrupt and restores the previous
//! handling when it ends.
class TCliInterruptScope {
 public:
  TCliInterruptScope();
  ~TCliInterruptScope();
  TCliInterruptScope(const TCliInterruptScope&) = delete;
  TCliInterruptScope& operator=(const TCliInterruptScope&) = delete;
};

//! While alive, a first Ctrl+C only sets the flag CliInterrupted() reports.
class TCliDeferInterrupt {
 public:
  TCliDeferInterrupt();
  ~TCliDeferInterrupt();
  TCliDeferInterrupt(const TCliDeferInterrupt&) = delete;
  TCliDeferInterrupt& operator=(const TCliDeferInterrupt&) = delete;
};

//! True once Ctrl+C was pressed inside the current interrupt scope.
bool CliInterrupted();

//! The file an immediate stop removes; an empty path registers none. The
//! path is kept in a fixed buffer; longer paths are not registered.
void SetCliCleanupFile(const std::string& path);

}  // namespace qd
