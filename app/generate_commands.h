// Command-line entry points that build cubes from the database: the unattended
// generation of the built-in cubes, a cube from a definition file, and a cube
// straight from a connection string and a query.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/auto_save.h"

namespace qd {

class TDataModule1;
class TProgressSink;

//! The generation over the data module's catalog into the folder `argument`
//! names; `failed` receives the number of cubes not built or not saved. The
//! builds report to `progress` when given; a Cancel there ends the run
//! (EUserCanceledError).
TAutoSaveResult GenerateBuiltinCubes(TDataModule1& dm, const std::string& argument, int& failed,
                                     TAutoSaveLog::TClock clock = {},
                                     TProgressSink* progress = nullptr);

//! `generate FOLDER [--quiet] [--timing]`: prints the log; exit status 1 when
//! a cube failed.
int CliGenerate(const std::vector<std::string>& args, std::ostream& out);
//! `build DEF.cfd|DEF.cfdm [-o OUT.vtc] [--quiet] [--timing]`.
int CliBuild(const std::vector<std::string>& args, std::ostream& out);
//! `import --connection STR --query SQL --rows F1,F2 --cols F3 --page F4
//! --summaries F5,F6 [--key F7] -o OUT.vtc [--quiet] [--timing]`. The cube
//! file is written whole or not at all.
int CliImport(const std::vector<std::string>& args, std::ostream& out);

//! The same two with the stream that receives the timing lines.
int RunBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& timing);
int RunImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& timing);

}  // namespace qd
