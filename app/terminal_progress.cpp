#include "app/terminal_progress.h"

#include <unistd.h>

#include <csignal>
#include <iostream>

namespace qd {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;
using THandler = void (*)(int);
THandler gPreviousHandler = SIG_DFL;
int gRunning = 0;  // sinks between Begin and End

extern "C" void OnInterrupt(int) {
  gInterrupted = 1;
}

}  // namespace

TTerminalProgress::TTerminalProgress(std::ostream& out, bool interactive)
    : FOut(out), FInteractive(interactive) {}

TTerminalProgress::TTerminalProgress() : TTerminalProgress(std::cerr, isatty(STDERR_FILENO) != 0) {}

TTerminalProgress::~TTerminalProgress() {
  if (FRunning) End();
}

void TTerminalProgress::Begin(const std::string& title) {
  if (!FRunning && gRunning++ == 0) {
    gInterrupted = 0;
    gPreviousHandler = std::signal(SIGINT, OnInterrupt);
  }
  FRunning = true;
  if (!FInteractive) FOut << title << '\n' << std::flush;
}

void TTerminalProgress::End() {
  if (FLineOpen) FOut << '\n' << std::flush;
  FLineOpen = false;
  if (FRunning && --gRunning == 0)
    std::signal(SIGINT, gPreviousHandler == SIG_ERR ? SIG_DFL : gPreviousHandler);
  FRunning = false;
}

void TTerminalProgress::Display(const std::string& caption, const std::string& counter) {
  if (!FInteractive) return;
  // Carriage return, the text, then erase what a longer earlier text left.
  FOut << '\r' << caption << ' ' << counter << "\x1b[K" << std::flush;
  FLineOpen = true;
}

void TTerminalProgress::ProcessInput() {
  if (gInterrupted) RequestCancel();
}

void TTerminalProgress::CaptionChanged(const std::string& caption) {
  if (!FRunning) return;
  if (FInteractive) {
    FOut << '\r' << caption << "\x1b[K" << std::flush;
    FLineOpen = true;
  } else {
    FOut << caption << '\n' << std::flush;
  }
}

}  // namespace qd
