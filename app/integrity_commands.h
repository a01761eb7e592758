// quarrydesk-cli commands that check cube files and tell two cubes apart.
// Their output is a contract for scripts: UTF-8, tab-separated, one record
// per line.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qd {

struct TCubeIntegrity;

//! verify FILE…: per file "FILE⇥ok", "FILE⇥no integrity record" or
//! "FILE⇥damaged⇥WHAT" (one line for each thing that differs). Exit status 1
//! when any file is damaged or cannot be read, else 0.
int CliVerify(const std::vector<std::string>& args, std::ostream& out);

//! The provenance lines `info` prints for a cube that was loaded with its
//! integrity record; nothing without one.
void WriteProvenance(const TCubeIntegrity& record, std::ostream& out);

}  // namespace qd
