// The one place where errors meet the user: every slot, event handler and
// timer that can raise goes through Guard, which shows the error's text in a
// message box. Tests install a handler instead, so that no box blocks them.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace qd {

using TShowMessage = std::function<void(const std::string& text)>;

//! Replaces where messages go (nullptr restores the message box); returns the
//! previous handler.
TShowMessage SetMessageHandler(TShowMessage handler);
//! Shows a message: the installed handler, else a modal message box with the
//! information icon.
void ShowMessage(const std::string& text);
//! Shows an error the same way, with the critical icon in the box.
void ShowError(const std::string& text);

//! Runs `work`; an exception is shown as an error with its text and Guard
//! returns false.
template <class F>
bool Guard(F&& work) noexcept {
  try {
    work();
    return true;
  } catch (const std::exception& e) {
    ShowError(e.what());
  } catch (...) {
    ShowError("?");
  }
  return false;
}

}  // namespace qd
