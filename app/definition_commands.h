// Command-line entry points for definition files.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qd {

//! `encrypt DEF.cfd`: writes DEF.cfdm beside the definition and prints the
//! confirmation; a missing companion file is thrown as its message.
int CliEncrypt(const std::vector<std::string>& args, std::ostream& out);

}  // namespace qd
