#include "export/rtf_export.h"

#include <algorithm>
#include <cstdint>

#include "engine/core/text_codec.h"

namespace qd {

namespace {

void PutUnicode(std::string& out, std::uint32_t unit) {
  out += "\\u" + std::to_string(static_cast<std::int16_t>(static_cast<std::uint16_t>(unit))) + "?";
}

}  // namespace

std::string RtfEscape(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::uint32_t cp = NextCodePoint(utf8, i);
    if (cp == '\\' || cp == '{' || cp == '}') {
      out += '\\';
      out += static_cast<char>(cp);
    } else if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x10000) {
      PutUnicode(out, cp);
    } else {
      PutUnicode(out, 0xD800 + ((cp - 0x10000) >> 10));
      PutUnicode(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  return out;
}

int TVantraGridExportToRTF::ColorNumber(TColor color) {
  const TColor rgb = ColorToRGB(color);
  for (std::size_t i = 0; i < FColors.size(); ++i)
    if (FColors[i] == rgb) return static_cast<int>(i);
  FColors.push_back(rgb);
  return static_cast<int>(FColors.size() - 1);
}

int TVantraGridExportToRTF::FontNumber(const std::string& name) {
  for (std::size_t i = 0; i < FFonts.size(); ++i)
    if (FFonts[i] == name) return static_cast<int>(i);
  FFonts.push_back(name);
  return static_cast<int>(FFonts.size() - 1);
}

namespace {

// A4 in twips, and the margin on every side.
constexpr int kPaperShort = 11906, kPaperLong = 16838, kPageMargin = 720;

}  // namespace

int TVantraGridExportToRTF::Twips(int pixels) const {
  return static_cast<int>(static_cast<long long>(pixels) * 1440 / FResolution * FScale);
}

// A table wider than the portrait page turns the page; one wider than the
// landscape page is scaled down, widths and type alike, to fit its width.
void TVantraGridExportToRTF::FitPage() {
  long long width = 0;
  if (ExportOptions.PrintRowCaptions)
    for (int c = 0; c < FixedCols(); ++c) width += ColumnWidth(c);
  for (int c = FirstDataCol(); c <= LastDataCol(); ++c) width += ColumnWidth(c);
  const double twips = static_cast<double>(width) * 1440 / FResolution;
  FScale = 1;
  FLandscape = twips > kPaperShort - 2 * kPageMargin;
  const int room = (FLandscape ? kPaperLong : kPaperShort) - 2 * kPageMargin;
  if (twips > room) FScale = room / twips;
}

// Font size in half points, scaled with the table.
int TVantraGridExportToRTF::HalfPoints(int points) const {
  return std::max(8, static_cast<int>(points * 2 * FScale + 0.5));
}

void TVantraGridExportToRTF::WriteHeading() {
  for (std::size_t i = 0; i < HeadingLines().size(); ++i) {
    const bool caption = i == 0 && !CubeCaption.empty();
    WriteLine(std::string(caption ? "{\\pard\\b\\fs28 " : "{\\pard\\fs20 ") +
              RtfEscape(HeadingLines()[i]) + "\\par}");
  }
  if (!HeadingLines().empty()) WriteLine("{\\pard\\par}");
}

void TVantraGridExportToRTF::BeginExport() {
  FBody.str({});
  FColors.clear();
  FFonts.clear();
  const std::size_t columns = static_cast<std::size_t>(ExportedColCount());
  FPendingRows.assign(columns, 0);
  FPendingSpan.assign(columns, 0);
  FStartsCell.assign(columns, false);
  FSavedOutput = Output();
  SetOutput(&FBody);
  FResolution = PixelsPerInch > 0 ? PixelsPerInch : 96;
  ColorNumber(clBlack);
  ColorNumber(clWhite);
  FitPage();
  WriteHeading();
}

void TVantraGridExportToRTF::DefineCell(int col, int row, int& x, int& span) {
  const std::size_t oc = static_cast<std::size_t>(OutputCol(col));
  FStartsCell[oc] = span == 0;
  if (span == 0) {
    if (FPendingRows[oc] > 0) span = FPendingSpan[oc];
    const TGridExportCell& cell = SnapshotCell(col, row);
    if (span == 0) {
      span = cell.ColSpan;
      if (cell.RowSpan > 1) {
        FPendingRows[oc] = cell.RowSpan;
        FPendingSpan[oc] = span;
      }
    }
    int width = ColumnWidth(col);
    for (int i = 1; i < span; ++i) width += ColumnWidth(col + i);
    if (DrawBordersEnabled()) {
      const bool top = cell.Kind != TExportCellKind::ekEmpty || row == 0 || row == FirstDataRow();
      const bool bottom = FPendingRows[oc] < 2 || row == FixedRows() - 1 || row == LastDataRow();
      const std::pair<bool, const char*> sides[] = {
          {true, "\\clbrdrl"}, {top, "\\clbrdrt"}, {bottom, "\\clbrdrb"}, {true, "\\clbrdrr"}};
      for (const auto& [on, word] : sides) {
        if (!on) continue;
        WriteString(word);
        WriteString("\\brdrs");
        WriteLine("\\brdrcf0");
      }
    }
    x += Twips(width);
    // The cell's background colour (a shading pattern colour would paint it
    // black in word processors that draw the pattern).
    WriteString("\\clcbpat" + std::to_string(ColorNumber(CellColor(col, row))));
    WriteLine("\\cellx" + std::to_string(x));
  }
  if (span > 0) --span;
}

void TVantraGridExportToRTF::ExportRow(int row) {
  WriteString("\\trowd");
  WriteLine("\\trgaph40");
  int x = 0, span = 0;
  if (ExportOptions.PrintRowCaptions)
    for (int c = 0; c < FixedCols(); ++c) DefineCell(c, row, x, span);
  span = 0;
  for (int c = FirstDataCol(); c <= LastDataCol(); ++c) DefineCell(c, row, x, span);
  WriteLine("{\\trrh0");
  TVantraGridExport::ExportRow(row);
  WriteLine("\\pard\\intbl\\row}");
  for (std::size_t i = 0; i < FPendingRows.size(); ++i)
    if (FPendingRows[i] > 0 && --FPendingRows[i] == 0) FPendingSpan[i] = 0;
}

void TVantraGridExportToRTF::ExportCell(int col, int row) {
  TVantraGridExport::ExportCell(col, row);
  const TVantraGridExportCellParams& p = CurrentCell();
  std::string start = "\\pard\\intbl{";
  if (p.Kind != TExportCellKind::ekEmpty) {
    start += p.Alignment == TAlignment::taLeftJustify    ? "\\ql"
             : p.Alignment == TAlignment::taRightJustify ? "\\qr"
                                                         : "\\qc";
    start += "\\sb12\\sa12";
  } else {
    // One paragraph per defined cell: an empty cell inside a merged item has
    // no definition of its own and so no paragraph.
    if (!FStartsCell[static_cast<std::size_t>(OutputCol(col))]) return;
    start += "\\qc";
  }
  WriteString(start);
  std::string words;
  if (!ExportOptions.UseFontStyles) words = "\\fs" + std::to_string(HalfPoints(GridFont.Size));
  if (ExportOptions.UseFontStyles) {
    const TExportFont& f = p.Font;
    words += "\\fs" + std::to_string(HalfPoints(f.Size));
    if (f.Bold) words += "\\b";
    if (f.Italic) words += "\\i";
    if (f.StrikeOut) words += "\\strike";
    if (f.Underline) words += "\\ul";
    words += "\\f" + std::to_string(FontNumber(f.Name));
    // A font without a colour of its own is drawn in the text colour, not in
    // white (clNone's low bytes), which would hide it on a white cell.
    words += "\\cf" + std::to_string(ColorNumber(f.Color == clNone ? clWindowText : f.Color));
    words += "\\cb" + std::to_string(ColorNumber(p.Color));
  }
  WriteString(words + " ");
  WriteString(RtfEscape(p.Text));
  if (p.LowCount > 0 && !p.Text.empty())
    WriteString("{\\super " + RtfEscape(std::string(kLowCountMarker)) + "}");
  WriteLine("\\cell}");
}

void TVantraGridExportToRTF::EndExport() {
  if (!FootnoteLines().empty()) WriteLine("{\\pard\\par}");
  for (const std::string& line : FootnoteLines())
    WriteLine("{\\pard\\fs18 " + RtfEscape(line) + "\\par}");
  WriteString("}");
  SetOutput(FSavedOutput);
  WriteLine("{\\rtf0\\ansi");
  WriteString("{\\colortbl");
  for (TColor c : FColors)
    WriteString("\\red" + std::to_string(c & 0xFF) + "\\green" + std::to_string((c >> 8) & 0xFF) +
                "\\blue" + std::to_string((c >> 16) & 0xFF) + ";");
  WriteLine("}");
  WriteString("{\\fonttbl");
  for (std::size_t i = 0; i < FFonts.size(); ++i)
    WriteString("\\f" + std::to_string(i) + "\\fnil " + RtfEscape(FFonts[i]) + ";");
  WriteLine("}");
  const int paperW = FLandscape ? kPaperLong : kPaperShort;
  const int paperH = FLandscape ? kPaperShort : kPaperLong;
  const std::string margin = std::to_string(kPageMargin);
  WriteLine("\\paperw" + std::to_string(paperW) + "\\paperh" + std::to_string(paperH) +
            "\\margl" + margin + "\\margr" + margin + "\\margt" + margin + "\\margb" + margin +
            (FLandscape ? "\\landscape" : ""));
  WriteString(FBody.str());
  FBody.str({});
}

}  // namespace qd
