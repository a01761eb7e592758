#include "export/xls_export.h"

#include <algorithm>
#include <iterator>

#include "engine/core/bytes.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_codec.h"
#include "export/column_fit.h"
#include "model/format_mask.h"

namespace qd {

namespace {

// Record numbers of the sheet.
constexpr std::uint16_t kBof = 0x0409, kCodePage = 0x0042, kFormat = 0x001E, kFont = 0x0031,
                        kHeader = 0x0014, kFooter = 0x0015, kColInfo = 0x007D, kBlank = 0x0001,
                        kNumber = 0x0003, kLabel = 0x0004, kMergedCells = 0x00E5,
                        kProtect = 0x0012, kEof = 0x000A;
// The standard number formats every sheet starts with: general, short date,
// short time, short date, currency (the currency sign full-width, as code
// page 936 has it).
constexpr const char* kStandardFormats[] = {"General", "yyyy-m-d", "h:mm", "yyyy-m-d", "00.00￥"};
constexpr std::size_t kStandardFormatCount = std::size(kStandardFormats);
// The code page of the byte strings: GB18030's double-byte core.
constexpr std::uint16_t kChineseCodePage = 936;
// Rows and columns a sheet of this format holds.
constexpr int kMaxRows = 65536, kMaxCols = 256;
// Entries per merged-cells record, so that its length stays within the limit
// readers accept.
constexpr std::size_t kMergesPerRecord = 1027;

void PutWord(std::string& out, std::uint16_t v) {
  AppendBytes(out, v);
}

std::uint16_t Word(int v) {
  return static_cast<std::uint16_t>(v);
}

// Length of the GB18030 character that starts at bytes[i].
std::size_t Gb18030CharLength(const std::string& bytes, std::size_t i) {
  const auto b = static_cast<unsigned char>(bytes[i]);
  if (b < 0x80 || i + 1 >= bytes.size()) return 1;
  const auto b2 = static_cast<unsigned char>(bytes[i + 1]);
  return b2 >= 0x30 && b2 <= 0x39 ? 4 : 2;
}

}  // namespace

std::string XlsByteString(const std::string& utf8) {
  const std::string bytes = Utf8ToAnsi(utf8);
  // Four-byte GB18030 sequences are outside code page 936, the one the sheet
  // declares; readers stop at them.
  std::string text;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t len = std::min(Gb18030CharLength(bytes, i), bytes.size() - i);
    const std::string ch = len == 4 ? std::string("?") : bytes.substr(i, len);
    if (text.size() + ch.size() > 255) break;
    text += ch;
    i += len;
  }
  return static_cast<char>(text.size()) + text;
}

void TVantraGridExportToXLS::WriteRecord(std::uint16_t number, const std::string& data) {
  std::string head;
  PutWord(head, number);
  PutWord(head, Word(static_cast<int>(data.size())));
  WriteString(head);
  WriteString(data);
}

int TVantraGridExportToXLS::AddFont(const TExportFont& font) {
  for (std::size_t i = 0; i < FFonts.size(); ++i)
    if (SameFontFace(FFonts[i], font)) return static_cast<int>(i);
  if (FFonts.size() >= kMaxFonts) return 0;
  FFonts.push_back(font);
  return static_cast<int>(FFonts.size() - 1);
}

int TVantraGridExportToXLS::AddFormat(const std::string& mask, bool marked) {
  if (mask.empty() && !marked) return 0;
  std::string code = mask.empty() ? std::string() : SpreadsheetNumberFormat(mask);
  if (marked) code = MarkedNumberFormat(code);
  for (std::size_t i = 0; i < FFormats.size(); ++i)
    if (FFormats[i] == code) return static_cast<int>(kStandardFormatCount + i);
  if (kStandardFormatCount + FFormats.size() >= kMaxFormats) return 0;
  FFormats.push_back(code);
  return static_cast<int>(kStandardFormatCount + FFormats.size() - 1);
}

void TVantraGridExportToXLS::BeginExport() {
  // Cells beyond the sheet's limits would be written at wrapped positions or
  // dropped by readers: refuse the export instead.
  if (std::max(LastDataRow(), FixedRows() - 1) + HeadingRows() >= kMaxRows ||
      std::max(LastDataCol(), FixedCols() - 1) >= kMaxCols)
    throw EGenericError(Format(Msg(TMsg::SXlsGridTooLarge), kMaxRows, kMaxCols));
  FCells.str({});
  FCells.clear();
  FFonts.clear();
  FFormats.clear();
  FMerges.clear();
  FRealOutput = Output();
  SetOutput(&FCells);
  if (ExportOptions.UseFontStyles) {
    AddFont(ExportOptions.DataFont);
    AddFont(ExportOptions.CaptionFont);
    AddFont(ExportOptions.LabelFont);
  } else {
    AddFont(GridFont);
  }
  WriteHeading();
}

// A left-aligned text in the first column of a sheet row.
void TVantraGridExportToXLS::WriteTextLine(int sheetRow, const std::string& text) {
  std::string data;
  PutWord(data, Word(sheetRow));
  PutWord(data, 0);
  data += static_cast<char>(Protect ? 0x40 : 0x00);
  data += static_cast<char>(0);
  data += static_cast<char>(1);  // left aligned
  WriteRecord(kLabel, data + XlsByteString(text));
}

// The heading lines down the first column, above the table.
void TVantraGridExportToXLS::WriteHeading() {
  for (std::size_t i = 0; i < HeadingLines().size(); ++i)
    WriteTextLine(static_cast<int>(i), HeadingLines()[i]);
}

// One column-width record per exported column, in 1/256 of the width of a
// digit of the sheet's font.
void TVantraGridExportToXLS::WriteColumnWidths() {
  const int ppi = PixelsPerInch > 0 ? PixelsPerInch : 96;
  const TExportFont& font = FFonts.empty() ? GridFont : FFonts.front();
  const double digit = std::max(1, TextPixelWidth("0", font, ppi));
  auto write = [&](int col) {
    std::string data;
    PutWord(data, Word(col));
    PutWord(data, Word(col));
    PutWord(data, Word(std::min(65535, static_cast<int>(ColumnWidth(col) / digit * 256))));
    PutWord(data, 0);
    PutWord(data, 0);
    PutWord(data, 0);
    WriteRecord(kColInfo, data);
  };
  if (ExportOptions.PrintRowCaptions)
    for (int c = 0; c < FixedCols(); ++c) write(c);
  for (int c = FirstDataCol(); c <= LastDataCol(); ++c) write(c);
}

void TVantraGridExportToXLS::ExportData() {
  if (ExportOptions.PrintRowCaptions)
    for (int c = 0; c < FixedCols(); ++c) ExportColumn(c);
  for (int c = FirstDataCol(); c <= LastDataCol(); ++c) ExportColumn(c);
  // The footnote one empty row under the table, as far as the sheet reaches.
  const int below = std::max(LastDataRow(), FixedRows() - 1) + HeadingRows() + 2;
  for (std::size_t i = 0; i < FootnoteLines().size(); ++i)
    if (below + static_cast<int>(i) < kMaxRows)
      WriteTextLine(below + static_cast<int>(i), FootnoteLines()[i]);
}

void TVantraGridExportToXLS::ExportCell(int col, int row) {
  TVantraGridExport::ExportCell(col, row);
  const TVantraGridExportCellParams& p = CurrentCell();
  const TGridExportCell& cell = SnapshotCell(col, row);

  const int sheetRow = row + HeadingRows();
  const bool number = p.Kind == TExportCellKind::ekData && !cell.Empty;
  std::string data;
  PutWord(data, Word(sheetRow));
  PutWord(data, Word(col));
  data += static_cast<char>(Protect ? 0x40 : 0x00);
  const int font = ExportOptions.UseFontStyles ? AddFont(p.Font) : 0;
  const int format = number ? AddFormat(p.FormatString, p.LowCount > 0) : 0;
  data += static_cast<char>(((font & 3) << 6) | format);
  std::uint8_t look = p.Alignment == TAlignment::taLeftJustify    ? 1
                      : p.Alignment == TAlignment::taRightJustify ? 3
                                                                  : 2;
  if (p.Borders & bsLeft) look |= 0x08;
  if (p.Borders & bsRight) look |= 0x10;
  if (p.Borders & bsTop) look |= 0x20;
  if (p.Borders & bsBottom) look |= 0x40;
  data += static_cast<char>(look);

  // A data cell without a value stays blank: 0 would read as a real zero.
  if (number) {
    AppendBytes(data, p.Value);
    WriteRecord(kNumber, data);
  } else if (!p.Text.empty()) {
    WriteRecord(kLabel, data + XlsByteString(p.Text));
  } else {
    WriteRecord(kBlank, data);
  }
  if (cell.ColSpan > 1 || cell.RowSpan > 1)
    FMerges.push_back({Word(sheetRow), Word(sheetRow + cell.RowSpan - 1), Word(col),
                       Word(col + cell.ColSpan - 1)});
}

void TVantraGridExportToXLS::EndExport() {
  SetOutput(FRealOutput);
  std::string bof;
  PutWord(bof, 0x0000);
  PutWord(bof, 0x0010);
  PutWord(bof, 0x0000);
  WriteRecord(kBof, bof);
  std::string codePage;
  PutWord(codePage, kChineseCodePage);
  WriteRecord(kCodePage, codePage);
  for (const char* f : kStandardFormats) WriteRecord(kFormat, XlsByteString(f));
  for (const std::string& f : FFormats) WriteRecord(kFormat, XlsByteString(f));
  for (const TExportFont& f : FFonts) {
    std::string data;
    PutWord(data, Word(f.Size * 20));
    data += static_cast<char>((f.Bold ? 0x01 : 0) | (f.Italic ? 0x02 : 0) |
                              (f.Underline ? 0x04 : 0) | (f.StrikeOut ? 0x08 : 0));
    data += '\0';
    data += "\xFF\x7F";
    data += XlsByteString(f.Name);
    WriteRecord(kFont, data);
  }
  if (!Header.empty()) WriteRecord(kHeader, XlsByteString(Header));
  if (!Footer.empty()) WriteRecord(kFooter, XlsByteString(Footer));
  WriteColumnWidths();
  WriteString(FCells.str());
  for (std::size_t first = 0; first < FMerges.size(); first += kMergesPerRecord) {
    const std::size_t n = std::min(kMergesPerRecord, FMerges.size() - first);
    std::string data;
    PutWord(data, Word(static_cast<int>(n)));
    for (std::size_t i = first; i < first + n; ++i)
      for (std::uint16_t w : FMerges[i]) PutWord(data, w);
    WriteRecord(kMergedCells, data);
  }
  if (Protect) {
    std::string data;
    PutWord(data, 1);
    WriteRecord(kProtect, data);
  }
  WriteRecord(kEof, {});
  FCells.str({});
  FFonts.clear();
  FFormats.clear();
  FMerges.clear();
}

}  // namespace qd
