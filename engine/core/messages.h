// The message table: every caption and message text shown to the user, in one
// place (resources/strings/*.def), looked up by identifier.
#pragma once

#include <string>

namespace qd {

enum class TMsg : int {
#define QD_MSG(id, text) id,
#include "resources/strings/all.inc"
#undef QD_MSG
  Count_
};

//! The UTF-8 text of a message.
const std::string& Msg(TMsg id);

//! The identifier's name, for diagnostics ("SArrayIndexError").
const char* MsgName(TMsg id);

//! Why a file operation failed, from its errno value, in the program's
//! language ("没有访问权限"); "系统错误 N" for the rarer values.
std::string SystemErrorText(int errorNumber);

}  // namespace qd
