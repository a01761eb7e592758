#include "engine/core/messages.h"

#include <array>
#include <cerrno>

#include "engine/core/format.h"

namespace qd {
namespace {

struct TMsgEntry {
  const char* Name;
  const char* Text;
};

constexpr TMsgEntry kEntries[] = {
#define QD_MSG(id, text) {#id, text},
#include "resources/strings/all.inc"
#undef QD_MSG
};

static_assert(std::size(kEntries) == static_cast<std::size_t>(TMsg::Count_));

// Filled once, on first use, from the constant table above.
const std::array<std::string, std::size(kEntries)>& Table() {
  static const auto table = [] {
    std::array<std::string, std::size(kEntries)> t;
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = kEntries[i].Text;
    return t;
  }();
  return table;
}

}  // namespace

const std::string& Msg(TMsg id) { return Table().at(static_cast<std::size_t>(id)); }

const char* MsgName(TMsg id) { return kEntries[static_cast<std::size_t>(id)].Name; }

std::string SystemErrorText(int errorNumber) {
  switch (errorNumber) {
    case ENOENT: return Msg(TMsg::SSysNoEntry);
    case EACCES:
    case EPERM: return Msg(TMsg::SSysAccess);
    case EISDIR: return Msg(TMsg::SSysIsDirectory);
    case ENOTDIR: return Msg(TMsg::SSysNotDirectory);
    case ENOSPC:
    case EDQUOT: return Msg(TMsg::SSysNoSpace);
    case EROFS: return Msg(TMsg::SSysReadOnly);
    case EMFILE:
    case ENFILE: return Msg(TMsg::SSysTooManyFiles);
    case ENAMETOOLONG: return Msg(TMsg::SSysNameTooLong);
    case EFBIG: return Msg(TMsg::SSysTooLarge);
    case EIO: return Msg(TMsg::SSysIo);
    case ELOOP: return Msg(TMsg::SSysLinkLoop);
    default: return Format(Msg(TMsg::SSysOther), errorNumber);
  }
}

}  // namespace qd
