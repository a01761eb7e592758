// quarrydesk-cli commands that show a pivot of a cube as text.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qd {

//! pivot FACTS.csv --rows A,B [--cols C] [--page D] --summaries X,Y [--expand]:
//! builds a cube over the CSV file and prints the pivot's text dump.
int CliPivot(const std::vector<std::string>& args, std::ostream& out);

}  // namespace qd
