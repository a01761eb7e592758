#include "app/terminal_progress.h"

#include <unistd.h>

#include <chrono>
#include <iostream>

#include "app/cli_interrupt.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"

namespace qd {
namespace {

// A terminal line is rewritten at most this often; ticks come far faster.
constexpr double kRedrawSeconds = 0.1;
// The rate is shown once it means something.
constexpr double kRateAfterSeconds = 0.5;

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TTerminalProgress::TTerminalProgress(std::ostream& out, TDisplay display)
    : Clock(SteadySeconds), FOut(out), FDisplay(display) {}

TTerminalProgress::TTerminalProgress(bool quiet)
    : TTerminalProgress(std::cerr,
                        !quiet && isatty(STDERR_FILENO) ? TDisplay::Line : TDisplay::Silent) {}

TTerminalProgress::~TTerminalProgress() {
  if (FScope) End();
}

void TTerminalProgress::Begin(const std::string& title) {
  if (!FScope) {
    FScope = std::make_unique<TCliInterruptScope>();
    FDefer = std::make_unique<TCliDeferInterrupt>();
  }
  FPhaseStart = Clock();
  FLastDisplay = -1;
  if (FDisplay == TDisplay::Log) FOut << title << '\n' << std::flush;
}

void TTerminalProgress::End() {
  // The last count, when the line shows an earlier one.
  if (FLineOpen && FDrawnCount >= 0 && FDrawnCount != Count()) Draw(Caption(), CounterText());
  if (FLineOpen) FOut << '\n' << std::flush;
  FLineOpen = false;
  FDefer.reset();
  FScope.reset();
}

void TTerminalProgress::Erase() {
  if (FLineOpen) FOut << "\r\x1b[K" << std::flush;
  FLineOpen = false;
}

void TTerminalProgress::Display(const std::string& caption, const std::string& counter) {
  if (FDisplay != TDisplay::Line) return;
  const double now = Clock();
  if (FLastDisplay >= 0 && now - FLastDisplay < kRedrawSeconds) return;
  Draw(caption, counter);
}

void TTerminalProgress::Draw(const std::string& caption, const std::string& counter) {
  const double now = Clock();
  FLastDisplay = now;
  FDrawnCount = Count();
  // Carriage return, the text, then erase what a longer earlier text left.
  FOut << '\r' << caption << ' ' << counter;
  const double elapsed = now - FPhaseStart;
  if (elapsed >= kRateAfterSeconds)
    FOut << Format(Msg(TMsg::SCliRate), static_cast<double>(Count()) / elapsed);
  FOut << "\x1b[K" << std::flush;
  FLineOpen = true;
}

void TTerminalProgress::ProcessInput() {
  if (CliInterrupted()) RequestCancel();
}

void TTerminalProgress::CaptionChanged(const std::string& caption) {
  FPhaseStart = Clock();
  FLastDisplay = -1;
  FDrawnCount = -1;
  if (FDisplay == TDisplay::Line) {
    FOut << '\r' << caption << "\x1b[K" << std::flush;
    FLineOpen = true;
  } else if (FDisplay == TDisplay::Log) {
    FOut << caption << '\n' << std::flush;
  }
}

}  // namespace qd
