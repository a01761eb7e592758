#include "app/cli_interrupt.h"

#include <unistd.h>

#include <csignal>
#include <cstring>

namespace qd {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;
volatile std::sig_atomic_t gDeferred = 0;
volatile std::sig_atomic_t gHasCleanup = 0;
char gCleanupPath[4096];
int gScopes = 0;
struct sigaction gPrevious;

extern "C" void OnInterrupt(int) {
  if (gDeferred > 0 && !gInterrupted) {
    gInterrupted = 1;
    return;
  }
  gInterrupted = 1;
  if (gHasCleanup) ::unlink(gCleanupPath);
  // End an open progress line; only async-signal-safe calls here.
  const char newline = '\n';
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, &newline, 1);
  ::_exit(130);
}

}  // namespace

TCliInterruptScope::TCliInterruptScope() {
  if (gScopes++ > 0) return;
  gInterrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // Restart interrupted reads and writes: the work checks the flag itself.
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, &gPrevious);
}

TCliInterruptScope::~TCliInterruptScope() {
  if (--gScopes > 0) return;
  ::sigaction(SIGINT, &gPrevious, nullptr);
}

TCliDeferInterrupt::TCliDeferInterrupt() {
  gDeferred = gDeferred + 1;
}

TCliDeferInterrupt::~TCliDeferInterrupt() {
  gDeferred = gDeferred - 1;
}

bool CliInterrupted() {
  return gInterrupted != 0;
}

void SetCliCleanupFile(const std::string& path) {
  gHasCleanup = 0;
  if (path.empty() || path.size() >= sizeof gCleanupPath) return;
  std::memcpy(gCleanupPath, path.c_str(), path.size() + 1);
  gHasCleanup = 1;
}

}  // namespace qd
