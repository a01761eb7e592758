#include "export/xml_export.h"

#include "engine/cube/dim_map.h"
#include "engine/core/format.h"
#include "engine/core/text_codec.h"
#include "model/format_mask.h"

namespace qd {

bool TVantraGridExportToXMLStyle::Matches(const TVantraGridExportToXMLStyle& o) const {
  return SameText(FontName, o.FontName) && FontSize == o.FontSize && FontColor == o.FontColor &&
         Bold == o.Bold && Italic == o.Italic && Color == o.Color && Alignment == o.Alignment &&
         Borders == o.Borders && FormatString == o.FormatString && Marked == o.Marked;
}

std::string XmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
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
        if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t' && ch != '\n' && ch != '\r')
          out += ' ';
        else
          out += ch;
    }
  }
  return out;
}

namespace {

std::string AttrText(const std::vector<std::pair<std::string, std::string>>& attrs) {
  std::string out;
  for (const auto& [name, value] : attrs) out += " " + name + "=\"" + XmlEscape(value) + "\"";
  return out;
}

bool IsGbName(const std::string& name) {
  return SameText(name, "GB18030") || SameText(name, "GBK") || SameText(name, "GB2312");
}

}  // namespace

bool TVantraGridExportToXML::WritesGb18030() const {
  return IsGbName(Encoding);
}

void TVantraGridExportToXML::Line(const std::string& text) {
  WriteLine(std::string(static_cast<std::size_t>(std::max(0, FDepth * TagIndent)), ' ') + text);
}

void TVantraGridExportToXML::Open(const std::string& tag, const TAttrs& attrs) {
  Line("<" + tag + AttrText(attrs) + ">");
  ++FDepth;
}

void TVantraGridExportToXML::Close(const std::string& tag) {
  --FDepth;
  Line("</" + tag + ">");
}

void TVantraGridExportToXML::Content(const std::string& tag, const TAttrs& attrs,
                                     const std::string& content) {
  Line("<" + tag + AttrText(attrs) + ">" + XmlEscape(content) + "</" + tag + ">");
}

void TVantraGridExportToXML::Empty(const std::string& tag, const TAttrs& attrs) {
  Line("<" + tag + AttrText(attrs) + "/>");
}

void TVantraGridExportToXML::BeginExport() {
  FDepth = 0;
  FCellOrdinal = 0;
  FSkip = false;
  FStyles.clear();
  FDocument.str({});
  FSheet.str({});
  // The whole document is collected first, so that it can be written in the
  // declared encoding at the end.
  FRealOutput = Output();
  SetOutput(&FDocument);
  std::string declaration = "<?xml version=\"1.0\"";
  if (!Encoding.empty()) {
    const bool known = WritesGb18030() || SameText(Encoding, "UTF-8");
    declaration += " encoding=\"" + (known ? Encoding : std::string("UTF-8")) + "\"";
  }
  Line(declaration + "?>");
  if (Specification == TvtXMLSpecification::xmlAnalysis)
    BeginAnalysis();
  else
    BeginSpreadsheet();
}

void TVantraGridExportToXML::EndExport() {
  if (Specification == TvtXMLSpecification::xmlAnalysis)
    EndAnalysis();
  else
    EndSpreadsheet();
  SetOutput(FRealOutput);
  const std::string text = FDocument.str();
  WriteString(WritesGb18030() ? Utf8ToAnsi(text) : text);
  FDocument.str({});
  FStyles.clear();
}

void TVantraGridExportToXML::ExportData() {
  if (Specification == TvtXMLSpecification::xmlAnalysis) {
    ++FDepth;
    for (int r = FirstDataRow(); r <= LastDataRow(); ++r)
      for (int c = FirstDataCol(); c <= LastDataCol(); ++c) ExportCell(c, r);
    --FDepth;
    return;
  }
  Open("Table", {{"ss:ExpandedColumnCount", std::to_string(ExportedColCount())},
                 {"ss:ExpandedRowCount", std::to_string(ExportedRowCount() + HeadingRows() +
                                                        FootnoteRows())},
                 {"x:FullColumns", "1"},
                 {"x:FullRows", "1"}});
  WriteColumns();
  WriteHeading();
  if (ExportOptions.PrintColCaptions)
    for (int r = 0; r < FixedRows(); ++r) ExportRow(r);
  for (int r = FirstDataRow(); r <= LastDataRow(); ++r) ExportRow(r);
  WriteFootnotes();
  Close("Table");
}

void TVantraGridExportToXML::ExportRow(int row) {
  if (Specification == TvtXMLSpecification::xmlAnalysis) {
    TVantraGridExport::ExportRow(row);
    return;
  }
  Open("Row");
  FSkip = false;
  TVantraGridExport::ExportRow(row);
  Close("Row");
}

void TVantraGridExportToXML::ExportCell(int col, int row) {
  TVantraGridExport::ExportCell(col, row);
  if (Specification == TvtXMLSpecification::xmlAnalysis)
    WriteAnalysisCell(col, row);
  else
    WriteSpreadsheetCell(col, row);
}

// ---- Spreadsheet ----

// Column widths in points, so that readers show whole names and numbers.
void TVantraGridExportToXML::WriteColumns() {
  const int ppi = PixelsPerInch > 0 ? PixelsPerInch : 96;
  auto column = [&](int col) {
    Empty("Column", {{"ss:AutoFitWidth", "0"},
                     {"ss:Width", FormatGeneral(ColumnWidth(col) * 72.0 / ppi, 6)}});
  };
  if (ExportOptions.PrintRowCaptions)
    for (int c = 0; c < FixedCols(); ++c) column(c);
  for (int c = FirstDataCol(); c <= LastDataCol(); ++c) column(c);
}

// The heading lines in the first column above the table, the caption in
// bold, and an empty row before the table.
void TVantraGridExportToXML::WriteHeading() {
  if (HeadingLines().empty()) return;
  TVantraGridExportToXMLStyle caption = FStyles.front();
  caption.Bold = true;
  caption.Alignment = TAlignment::taLeftJustify;
  for (std::size_t i = 0; i < HeadingLines().size(); ++i) {
    Open("Row");
    const bool bold = i == 0 && !CubeCaption.empty();
    Open("Cell", bold ? TAttrs{{"ss:StyleID", "s" + std::to_string(FindOrAddStyle(caption))}}
                      : TAttrs{});
    Content("Data", {{"ss:Type", "String"}}, HeadingLines()[i]);
    Close("Cell");
    Close("Row");
  }
  Open("Row");
  Close("Row");
}

int TVantraGridExportToXML::FootnoteRows() const {
  return FootnoteLines().empty() ? 0 : static_cast<int>(FootnoteLines().size()) + 1;
}

// An empty row under the table, then the footnote lines in the first column.
void TVantraGridExportToXML::WriteFootnotes() {
  if (FootnoteLines().empty()) return;
  Open("Row");
  Close("Row");
  for (const std::string& line : FootnoteLines()) {
    Open("Row");
    Open("Cell");
    Content("Data", {{"ss:Type", "String"}}, line);
    Close("Cell");
    Close("Row");
  }
}

void TVantraGridExportToXML::BeginSpreadsheet() {
  Line(
      "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
      "  xmlns:o=\"urn:schemas-microsoft-com:office:office\"\n"
      "  xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\n"
      "  xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
      "  xmlns:html=\"http://www.w3.org/TR/REC-html40\">");
  ++FDepth;
  TVantraGridExportToXMLStyle zero;
  zero.FontName = GridFont.Name;
  zero.FontSize = GridFont.Size;
  zero.FontColor = GridFont.Color;
  zero.Color = clWhite;
  FStyles.push_back(zero);
  SetOutput(&FSheet);
  // A worksheet needs a name to be read.
  std::string name = !CubeName.empty() ? CubeName : !Name.empty() ? Name : "Sheet1";
  Open("Worksheet", {{"ss:Name", name}});
}

int TVantraGridExportToXML::FindOrAddStyle(const TVantraGridExportToXMLStyle& style) {
  for (std::size_t i = 0; i < FStyles.size(); ++i)
    if (FStyles[i].Matches(style)) return static_cast<int>(i);
  FStyles.push_back(style);
  return static_cast<int>(FStyles.size() - 1);
}

void TVantraGridExportToXML::WriteSpreadsheetCell(int col, int row) {
  const TVantraGridExportCellParams& p = CurrentCell();
  const TGridExportCell& cell = SnapshotCell(col, row);
  TVantraGridExportToXMLStyle style;
  style.FontName = p.Font.Name;
  style.FontSize = p.Font.Size;
  style.FontColor = p.Font.Color;
  style.Bold = ExportOptions.UseFontStyles && p.Font.Bold;
  style.Italic = ExportOptions.UseFontStyles && p.Font.Italic;
  style.Color = p.Color;
  style.Alignment = p.Alignment;
  style.Borders = p.Borders;
  style.FormatString = p.FormatString;
  style.Marked = p.LowCount > 0 && !cell.Empty;
  const int s = FindOrAddStyle(style);
  if (cell.Kind == TExportCellKind::ekEmpty || (s == 0 && p.Text.empty())) {
    FSkip = true;
    return;
  }
  TAttrs attrs;
  if (cell.ColSpan > 1) attrs.emplace_back("ss:MergeAcross", std::to_string(cell.ColSpan - 1));
  if (cell.RowSpan > 1) attrs.emplace_back("ss:MergeDown", std::to_string(cell.RowSpan - 1));
  if (FSkip) {
    attrs.emplace_back("ss:Index", std::to_string(OutputCol(col) + 1));
    FSkip = false;
  }
  if (s != 0) attrs.emplace_back("ss:StyleID", "s" + std::to_string(s));
  if (p.Text.empty()) {
    Empty("Cell", attrs);
    return;
  }
  const bool header = col < FixedCols() || row < FixedRows();
  std::string data = p.Text;
  if (p.Kind == TExportCellKind::ekData) {
    data = FormatGeneral(p.Value);
    if (const auto comma = data.find(','); comma != std::string::npos) data[comma] = '.';
  }
  Open("Cell", attrs);
  Content("Data", {{"ss:Type", header ? "String" : "Number"}}, data);
  if (style.Marked) {
    Open("Comment");
    Content("ss:Data", {{"xmlns", "http://www.w3.org/TR/REC-html40"}}, LowCountNote(p.LowCount));
    Close("Comment");
  }
  Close("Cell");
}

void TVantraGridExportToXML::WriteStyle(int k) {
  const TVantraGridExportToXMLStyle& s = FStyles[static_cast<std::size_t>(k)];
  if (k == 0)
    Open("Style", {{"ss:ID", "Default"}, {"ss:Name", "Normal"}});
  else
    Open("Style", {{"ss:ID", "s" + std::to_string(k)}});
  if (k == 0)
    Empty("Alignment", {{"ss:Vertical", "Bottom"}});
  else if (s.Alignment != TAlignment::taRightJustify)
    Empty("Alignment", {{"ss:Horizontal", s.Alignment == TAlignment::taCenter ? "Center" : "Left"},
                        {"ss:Vertical", "Center"}});
  if (s.Borders) {
    Open("Borders");
    const std::pair<std::uint8_t, const char*> sides[] = {
        {bsBottom, "Bottom"}, {bsLeft, "Left"}, {bsRight, "Right"}, {bsTop, "Top"}};
    for (const auto& [bit, position] : sides)
      if (s.Borders & bit)
        Empty("Border",
              {{"ss:Position", position}, {"ss:LineStyle", "Continuous"}, {"ss:Weight", "1"}});
    Close("Borders");
  } else if (k == 0) {
    Line("<Borders/>");
  }
  if (k == 0) {
    Empty("Font", {{"ss:FontName", s.FontName}, {"x:CharSet", std::to_string(GridFont.Charset)}});
  } else {
    TAttrs collected;
    if (s.FontSize != GridFont.Size) collected.emplace_back("ss:Size", std::to_string(s.FontSize));
    if (s.FontColor != GridFont.Color)
      collected.emplace_back("ss:Color", "#" + ColorHex(s.FontColor));
    if (s.Bold) collected.emplace_back("ss:Bold", "1");
    if (s.Italic) collected.emplace_back("ss:Italic", "1");
    if (!collected.empty() || !SameText(s.FontName, GridFont.Name)) {
      std::string attrs = AttrText(collected);
      Line("<Font ss:FontName=\"" + XmlEscape(s.FontName) + "\" " +
           (attrs.empty() ? "" : attrs.substr(1)) + "/>");
    }
  }
  if (s.Color != clWhite)
    Empty("Interior", {{"ss:Color", "#" + ColorHex(s.Color)}, {"ss:Pattern", "Solid"}});
  else if (k == 0)
    Line("<Interior/>");
  const std::string code = s.FormatString.empty() ? std::string()
                                                  : SpreadsheetNumberFormat(s.FormatString);
  if (s.Marked)
    Empty("NumberFormat", {{"ss:Format", MarkedNumberFormat(code)}});
  else if (!code.empty())
    Empty("NumberFormat", {{"ss:Format", code}});
  Close("Style");
}

void TVantraGridExportToXML::EndSpreadsheet() {
  SetOutput(&FDocument);
  if (!FStyles.empty()) {
    Open("Styles");
    for (int k = 0; k < static_cast<int>(FStyles.size()); ++k) WriteStyle(k);
    Close("Styles");
  }
  WriteString(FSheet.str());
  FSheet.str({});
  Close("Worksheet");
  Close("Workbook");
}

}  // namespace qd
