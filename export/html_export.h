// The pivot grid as an HTML table, optionally wrapped in a minimal document;
// header items that cover several cells get COLSPAN and ROWSPAN.
#pragma once

#include <functional>
#include <string>

#include "export/grid_export.h"

namespace qd {

class TVantraGridExportToHTML;

//! Last chance to change a cell's markup: the escaped text, the snapshot cell,
//! the attributes after the spans, and the markup before and after the text.
using TExportHTMLCellEvent = std::function<void(
    TVantraGridExportToHTML* sender, std::string& value, const TGridExportCell& exportNode,
    std::string& additionalTDTags, std::string& beginTags, std::string& endTags)>;

class TVantraGridExportToHTML : public TVantraGridExport {
 public:
  //! Document title, written when not blank; the cube's caption takes its
  //! place when there is one.
  std::string Title;
  int Border = 1;
  int CellPadding = 1;
  int CellSpacing = 1;
  //! The table's background; cells of another colour get their own.
  TColor BGColor = clWindow;
  //! Writes only the table, without the document around it.
  bool TableOnly = false;
  TExportHTMLCellEvent OnExportHTMLCell;

 protected:
  void BeginExport() override;
  void EndExport() override;
  void ExportCell(int col, int row) override;
  void ExportRow(int row) override;

 private:
  void WriteHeading();
  void WriteColumns();
};

//! & < > and the double quote as character references ("&amp;", "&lt;",
//! "&gt;", "&quot;"); an empty text becomes "&nbsp;".
std::string HtmlCellText(const std::string& text);

}  // namespace qd
