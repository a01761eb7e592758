// The command line of one quarrydesk-cli command: its options declared once and
// read in one pass, and the usage errors (exit status 2) that name the argument
// as it was typed, with the closest valid name as a hint.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/errors.h"
#include "engine/core/messages.h"

namespace qd {

//! A usage error: unknown option, missing or malformed argument, unknown name.
//! quarrydesk-cli exits with status 2 for it.
class ECliUsageError : public Exception {
  using Exception::Exception;
};

struct TCliOption {
  std::string_view Name;     //!< "--rows"
  bool Valued = false;       //!< takes the next argument ("--rows A" or "--rows=A")
  bool Repeatable = false;   //!< may be given more than once; the values add up
  std::string_view Alias{};  //!< "-o"
};

//! The options every command that works on data accepts.
inline constexpr TCliOption kTimingOption{"--timing"};
inline constexpr TCliOption kQuietOption{"--quiet"};

class TCliArgs {
 public:
  //! Reads `args`: declared options, plain arguments (and "-") in order, and
  //! after "--" only plain arguments. `positional` names the plain arguments
  //! ("FILE"); the first `required` of them must be given, no more than all.
  TCliArgs(const std::vector<std::string>& args, std::vector<TCliOption> options,
           std::vector<std::string_view> positional = {}, std::size_t required = 0);

  bool Has(std::string_view option) const;
  //! The value given (the last one when repeated), nullopt when absent.
  std::optional<std::string> Value(std::string_view option) const;
  //! Every value given, in order.
  std::vector<std::string> Values(std::string_view option) const;
  //! The value, which must be one of `choices`; `fallback` when absent.
  std::string Choice(std::string_view option, const std::vector<std::string>& choices,
                     std::string_view fallback) const;
  const std::vector<std::string>& Positional() const { return FPositional; }
  //! A plain argument, empty when not given.
  std::string Positional(std::size_t i) const {
    return i < FPositional.size() ? FPositional[i] : std::string();
  }

 private:
  struct TGiven {
    std::string Option;
    std::string Value;
  };
  std::vector<TCliOption> FOptions;
  std::vector<TGiven> FGiven;
  std::vector<std::string> FPositional;
};

//! The candidate closest to `typed` (edit distance over characters, Latin
//! letter case ignored) when it is a plausible typo: at most one edit for
//! short names, a third of the length for longer ones.
std::optional<std::string> ClosestName(std::string_view typed,
                                       const std::vector<std::string>& candidates);

//! Raises ECliUsageError with `message` and a hint: the closest candidate
//! ("您是不是要找…") or, when none is close, the candidates themselves.
[[noreturn]] void RaiseUnknownName(const std::string& message, std::string_view typed,
                                   const std::vector<std::string>& candidates);

//! The message and the argument: ECliUsageError(Format(Msg(id), args…)).
[[noreturn]] void RaiseUsage(TMsg id, std::string_view argument);

}  // namespace qd
