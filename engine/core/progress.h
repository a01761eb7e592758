// Progress of long engine operations (cube builds, lookup reads) and the user's
// Cancel. The engine reports to a TProgressSink; the workbench shows a dialog,
// quarrydesk-cli a bar on stderr, and a build without a display uses the base
// class, which shows nothing and is never cancelled.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qd {

class TProgressSink {
 public:
  //! Ticks between two display updates and input checks.
  static constexpr std::int64_t kTicksPerUpdate = 500;

  virtual ~TProgressSink() = default;

  //! The whole operation starts or ends (the dialog shows or hides).
  virtual void Begin(const std::string& title) { (void)title; }
  virtual void End() {}

  //! Counter := 0.
  void Reset() { FCount = 0; }
  //! Phase caption ("正在读取事实表..."); shown at once.
  void SetCaption(const std::string& caption);
  //! Counter text template applied to the count as a real ("已读取行数：%.0n");
  //! empty shows the plain count.
  void SetCounterFormat(const std::string& fmt) { FCounterFormat = fmt; }

  //! One record done. Every kTicksPerUpdate-th tick updates the display and
  //! processes pending input; once Cancel was requested, the tick raises
  //! EUserCanceledError "用户中止了进程".
  void Tick() {
    if (++FCount % kTicksPerUpdate == 0) Update();
    if (FCanceled) RaiseCanceled();
  }

  //! Asks the running operation to stop at its next tick (the Cancel button).
  void RequestCancel() { FCanceled = true; }
  bool CancelRequested() const { return FCanceled; }
  void ClearCancel() { FCanceled = false; }

  std::int64_t Count() const { return FCount; }
  const std::string& Caption() const { return FCaption; }
  //! The counter text for the current count.
  std::string CounterText() const;

 protected:
  //! Shows caption and counter text; called on every kTicksPerUpdate-th tick.
  virtual void Display(const std::string& caption, const std::string& counter) {
    (void)caption;
    (void)counter;
  }
  //! Lets the user interface handle pending input (which may request Cancel).
  virtual void ProcessInput() {}
  //! Called when the caption changes.
  virtual void CaptionChanged(const std::string& caption) { (void)caption; }

 private:
  void Update();
  [[noreturn]] void RaiseCanceled();

  std::int64_t FCount = 0;
  std::string FCaption, FCounterFormat;
  bool FCanceled = false;
};

//! Wait cursors the engine asks for around blocking work. The workbench installs
//! a hook that sets the mouse cursor; without a hook nothing happens.
enum class TBusyCursor : std::uint8_t { crHourGlass = 0, crSQLWait = 1 };

//! Shows `cursor` for the lifetime of the object and restores the previous one.
class TBusyCursorScope {
 public:
  //! The hook receives the cursor ordinal to show on entry and -1 on exit (restore).
  using THook = std::function<void(int cursorOrMinusOne)>;
  explicit TBusyCursorScope(TBusyCursor cursor);
  ~TBusyCursorScope();
  TBusyCursorScope(const TBusyCursorScope&) = delete;
  TBusyCursorScope& operator=(const TBusyCursorScope&) = delete;

  static void SetHook(THook hook);
};

}  // namespace qd
