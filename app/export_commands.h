// quarrydesk-cli commands that pivot a stored cube (.vtc), a grid-data file
// (.vtg) or a CSV file and print the grid or its cells, or write them as an
// export document.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "export/grid_print.h"

namespace qd {

//! pivot FILE [layout options] [--format grid|cells|csv|json] [-o OUT]:
//! `grid` prints the snapshot as tab-separated rows; `cells` prints one line
//! per data cell: row path, column path, summary, function, sub-function and
//! the value (%.17g, empty without a value); `csv` and `json` give the same
//! cells with one field per row and column dimension.
int CliPivot(const std::vector<std::string>& args, std::ostream& out);

//! export FILE --to OUT.xls|.xlsx|.htm|.html|.xml|.rtf|.csv|.json|.pdf|.svg|.emf|.wmf|-
//! [--format F] [--xmla] [--page-size A4] [--landscape] [layout options]:
//! writes the pivot as a document (.xml is the spreadsheet dialect unless
//! --xmla; .pdf is the grid printed on pages, .svg, .emf and .wmf one picture).
int CliExport(const std::vector<std::string>& args, std::ostream& out);

//! Makes the writers that paint through Qt ("pdf", "svg"); a program built
//! with Qt installs it, without it those formats fail with a message.
using TPageWriterFactory = std::function<std::unique_ptr<TVantraGridExport>(
    const std::string& format, const TPaperOptions& paper)>;
void SetPageWriterFactory(TPageWriterFactory factory);

}  // namespace qd
