// The exception family. Every error the engine, model and views raise derives
// from Exception and carries its complete, user-visible message (UTF-8).
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace qd {

//! Root of every Quarrydesk error; what() is the exact message text.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  const std::string Message() const { return what(); }
};

//! The generic error for the few conditions that raise no specific class.
class EGenericError : public Exception {
  using Exception::Exception;
};

//! Cube definition, build, save and load.
class ECubeError : public Exception {
  using Exception::Exception;
};

//! A fact value missing from a lookup dimension; also too many members.
class ELookupHasntTheValueError : public Exception {
  using Exception::Exception;
};

//! Cancel pressed during a long operation.
class EUserCanceledError : public Exception {
  using Exception::Exception;
};

//! Malformed, truncated or unexpected tagged stream data.
class EStreamError : public Exception {
  using Exception::Exception;
};

//! Typed-array bounds, duplicates and item failures.
class EArrayError : public Exception {
  using Exception::Exception;
};

//! Formula errors; Position is the 1-based character position in the source text
//! (0 when unknown).
class EParseError : public Exception {
 public:
  EParseError(const std::string& message, int position)
      : Exception(message), Position(position) {}
  int Position = 0;
};

//! Errors of the dimension-map and fact-table editors.
class ECubeDesignError : public Exception {
  using Exception::Exception;
};

//! The message of `e` followed by those of the errors it was raised for
//! (std::throw_with_nested), each after "：" — the database's own reason
//! behind a failed build, for a log.
inline std::string MessageWithCauses(const std::exception& e) {
  std::string text = e.what();
  try {
    std::rethrow_if_nested(e);
  } catch (const std::exception& cause) {
    text += "：" + MessageWithCauses(cause);
  } catch (...) {
  }
  return text;
}

}  // namespace qd
