// quarrydesk-cli commands that pivot a stored cube (.vtc) or grid-data file
// (.vtg) and print the grid's cells or write them as an export document.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qd {

//! pivot FILE.vtc|FILE.vtg [layout options] [--format grid|cells] [--timing]:
//! `grid` prints the snapshot as tab-separated rows; `cells` prints one line
//! per data cell: row path, column path, summary, function, sub-function and
//! the value (%.17g, empty without a value).
int CliPivotCube(const std::vector<std::string>& args, std::ostream& out);

//! export FILE --to OUT.xls|.xlsx|.htm|.html|.xml|.rtf [--xmla] [layout options]
//! [--timing]: writes the pivot as a document (.xml is the spreadsheet dialect
//! unless --xmla).
int CliExport(const std::vector<std::string>& args, std::ostream& out);

//! True for the file names CliPivotCube reads (.vtc, .vtg; any letter case).
bool IsStoredPivotFile(const std::string& path);

}  // namespace qd
