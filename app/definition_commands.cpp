#include "app/definition_commands.h"

#include <filesystem>
#include <ostream>

#include "app/cfdm_file.h"
#include "app/cli_args.h"
#include "app/cube_definition.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"

namespace qd {

int CliEncrypt(const std::vector<std::string>& args, std::ostream& out) {
  const TCliArgs parsed(args, {}, {"DEF.cfd"}, 1);
  std::string name = std::filesystem::absolute(parsed.Positional(0)).lexically_normal().string();
  if (!std::filesystem::is_regular_file(name))
    throw EGenericError(Format(Msg(TMsg::SAppFileReadError), name));
  std::string cfdm = CryptCFD(name, ProgramFolder());
  out << Msg(TMsg::SCfdCryptDone) << '\n' << Msg(TMsg::SCfdCryptOutputName) << cfdm << '\n';
  return 0;
}

}  // namespace qd
