// quarrydesk-cli commands that pivot a stored cube (.vtc), a grid-data file
// (.vtg) or a CSV file and print the grid or its cells, or write them as an
// export document.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qd {

//! pivot FILE [layout options] [--format grid|cells|csv|json] [-o OUT]:
//! `grid` prints the snapshot as tab-separated rows; `cells` prints one line
//! per data cell: row path, column path, summary, function, sub-function and
//! the value (%.17g, empty without a value); `csv` and `json` give the same
//! cells with one field per row and column dimension.
int CliPivot(const std::vector<std::string>& args, std::ostream& out);

//! export FILE --to OUT.xls|.xlsx|.htm|.html|.xml|.rtf|.csv|.json|- [--format F]
//! [--xmla] [layout options]: writes the pivot as a document (.xml is the
//! spreadsheet dialect unless --xmla).
int CliExport(const std::vector<std::string>& args, std::ostream& out);

}  // namespace qd
