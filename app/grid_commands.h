// quarrydesk-cli commands that show a pivot of a cube as text.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qd {

//! pivot FACTS.csv --rows A,B [--cols C] [--page D] --summaries X,Y [--expand]:
//! builds a cube over the CSV file and prints the pivot's text dump. A stored
//! cube or grid-data file goes to CliPivotCube (app/export_commands.h).
int CliPivot(const std::vector<std::string>& args, std::ostream& out);

}  // namespace qd
