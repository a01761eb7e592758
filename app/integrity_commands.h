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

//! diff A B [layout options]: the two files laid out alike, then one line per
//! changed cell ("changed⇥KEY⇥OLD⇥NEW⇥DELTA⇥RELATIVE", KEY as in pivot's cells
//! format), per member only in A or B ("only-a⇥DIMENSION⇥MEMBER", "only-b…")
//! and per changed grand total ("total⇥SUMMARY⇥Sum|Count⇥OLD⇥NEW⇥DELTA⇥RELATIVE").
//! Exit status 0 when equal, 1 when different, 2 on trouble.
int CliDiff(const std::vector<std::string>& args, std::ostream& out);

//! explain FILE --cell ROWPATH COLPATH --by DIM [--top N] [layout options]:
//! "delta⇥VALUE", then per member of DIM, largest first, "MEMBER⇥CHANGE⇥SHARE"
//! for the compare-with-previous cell of that row and column line.
int CliExplain(const std::vector<std::string>& args, std::ostream& out);

//! The provenance lines `info` prints for a cube that was loaded with its
//! integrity record; nothing without one.
void WriteProvenance(const TCubeIntegrity& record, std::ostream& out);

}  // namespace qd
