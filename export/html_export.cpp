#include "export/html_export.h"

#include "engine/core/text_helpers.h"

namespace qd {

namespace {

std::string Quoted(const std::string& v) {
  return "\"" + v + "\"";
}

const char* AlignWord(TAlignment a) {
  switch (a) {
    case TAlignment::taLeftJustify:
      return "LEFT";
    case TAlignment::taRightJustify:
      return "RIGHT";
    case TAlignment::taCenter:
      return "CENTER";
  }
  return "LEFT";
}

}  // namespace

std::string HtmlCellText(const std::string& text) {
  std::string out;
  for (char ch : text) {
    switch (ch) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += ch;
    }
  }
  return out.empty() ? "&nbsp;" : out;
}

void TVantraGridExportToHTML::BeginExport() {
  if (!TableOnly) {
    WriteLine("<HTML>");
    WriteLine("<HEAD>");
    // Texts are UTF-8; without this line browsers guess the encoding.
    WriteLine("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\"/>");
    // The title is text like the cells; markup characters in it are escaped.
    const std::string& title = IsBlank(CubeCaption, " \t") ? Title : CubeCaption;
    if (!IsBlank(title, " \t")) WriteLine("<TITLE>" + HtmlCellText(title) + "</TITLE>");
    WriteLine("<META NAME=\"Generator\" CONTENT=\"VantraGrid Export\"/>");
    WriteLine("</HEAD>");
    WriteLine("<BODY>");
  }
  WriteLine("<TABLE  BORDER=" + Quoted(std::to_string(Border)) +
            "  CELLSPACING=" + Quoted(std::to_string(CellSpacing)) + "  CELLPADDING=" +
            Quoted(std::to_string(CellPadding)) + "  BGCOLOR=#" + ColorHex(BGColor) + ">");
  WriteHeading();
  WriteColumns();
}

// The heading as the table's caption, so that a table-only export keeps it:
// the cube's caption in bold, each page line below it.
void TVantraGridExportToHTML::WriteHeading() {
  if (HeadingLines().empty()) return;
  std::string text;
  for (std::size_t i = 0; i < HeadingLines().size(); ++i) {
    const std::string line = HtmlCellText(HeadingLines()[i]);
    text += i == 0 && !CubeCaption.empty() ? "<B>" + line + "</B>" : "<BR>" + line;
  }
  if (text.rfind("<BR>", 0) == 0) text.erase(0, 4);
  WriteLine("<CAPTION STYLE=\"text-align: left\">" + text + "</CAPTION>");
}

void TVantraGridExportToHTML::WriteColumns() {
  WriteLine("<COLGROUP>");
  auto column = [&](int col) { WriteLine("<COL WIDTH=" + Quoted(std::to_string(ColumnWidth(col))) + ">"); };
  if (ExportOptions.PrintRowCaptions)
    for (int c = 0; c < FixedCols(); ++c) column(c);
  for (int c = FirstDataCol(); c <= LastDataCol(); ++c) column(c);
  WriteLine("</COLGROUP>");
}

void TVantraGridExportToHTML::EndExport() {
  WriteLine("</TABLE>");
  for (const std::string& line : FootnoteLines())
    WriteLine("<P STYLE=\"font-size: smaller\">" + HtmlCellText(line) + "</P>");
  if (!TableOnly) {
    WriteLine("</BODY>");
    WriteLine("</HTML>");
  }
}

void TVantraGridExportToHTML::ExportRow(int row) {
  WriteLine("<TR>");
  TVantraGridExport::ExportRow(row);
  WriteLine("</TR>");
}

void TVantraGridExportToHTML::ExportCell(int col, int row) {
  TVantraGridExport::ExportCell(col, row);
  const TGridExportCell& cell = SnapshotCell(col, row);
  if (cell.Kind == TExportCellKind::ekEmpty) return;
  const TVantraGridExportCellParams& p = CurrentCell();
  std::string opening = " <td";
  if (cell.ColSpan > 1) opening += " COLSPAN=" + Quoted(std::to_string(cell.ColSpan));
  if (cell.RowSpan > 1) opening += " ROWSPAN=" + Quoted(std::to_string(cell.RowSpan));
  std::string attributes = "ALIGN=" + Quoted(AlignWord(p.Alignment));
  if (p.Color != BGColor) attributes += " BGCOLOR=#" + ColorHex(p.Color);
  // Row headers keep their texts on one line instead of one character a line.
  if (col < FixedCols() && row >= FixedRows()) attributes += " STYLE=\"white-space: nowrap\"";
  std::string beginTags, endTags;
  if (ExportOptions.UseFontStyles) {
    const TExportFont& f = p.Font;
    beginTags = "<FONT STYLE=\"font-family: " + f.Name + "; font-size: " + std::to_string(f.Size) +
                "pt; color: #" + ColorHex(f.Color) + "\">";
    endTags = "</FONT>";
    const std::pair<bool, const char*> styles[] = {
        {f.Bold, "B"}, {f.Italic, "I"}, {f.Underline, "U"}, {f.StrikeOut, "STRIKE"}};
    for (const auto& [on, tag] : styles) {
      if (!on) continue;
      beginTags += std::string("<") + tag + ">";
      endTags = std::string("</") + tag + ">" + endTags;
    }
  }
  std::string value = HtmlCellText(p.Text);
  if (p.LowCount > 0 && !p.Text.empty()) {
    value += "<SUP>" + std::string(kLowCountMarker) + "</SUP>";
    attributes += " TITLE=" + Quoted(HtmlCellText(LowCountNote(p.LowCount)));
  }
  if (OnExportHTMLCell) OnExportHTMLCell(this, value, cell, attributes, beginTags, endTags);
  WriteLine(opening + (attributes.empty() ? "" : " " + attributes) + ">" + beginTags + value +
            endTags + "</TD> ");
}

}  // namespace qd
