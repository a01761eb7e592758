#include "engine/core/progress.h"

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"

namespace qd {
namespace {

TBusyCursorScope::THook& CursorHook() {
  static TBusyCursorScope::THook hook;
  return hook;
}

}  // namespace

void TProgressSink::SetCaption(const std::string& caption) {
  FCaption = caption;
  CaptionChanged(caption);
}

std::string TProgressSink::CounterText() const {
  if (FCounterFormat.empty()) return std::to_string(FCount);
  return Format(FCounterFormat, static_cast<double>(FCount));
}

void TProgressSink::Update() {
  Display(FCaption, CounterText());
  ProcessInput();
}

void TProgressSink::RaiseCanceled() {
  throw EUserCanceledError(Msg(TMsg::SUserCanceled));
}

TBusyCursorScope::TBusyCursorScope(TBusyCursor cursor) {
  if (CursorHook()) CursorHook()(static_cast<int>(cursor));
}

TBusyCursorScope::~TBusyCursorScope() {
  if (CursorHook()) CursorHook()(-1);
}

void TBusyCursorScope::SetHook(THook hook) {
  CursorHook() = std::move(hook);
}

}  // namespace qd
