#include "export/xls_export.h"

#include <cstring>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_codec.h"

namespace qd {

namespace {

// Record numbers of the sheet.
constexpr std::uint16_t kBof = 0x0409, kCodePage = 0x0042, kFormat = 0x001E, kFont = 0x0031,
                        kHeader = 0x0014, kFooter = 0x0015, kBlank = 0x0001, kNumber = 0x0003,
                        kLabel = 0x0004, kMergedCells = 0x00E5, kProtect = 0x0012, kEof = 0x000A;
// The code page of the byte strings: GB18030's double-byte core.
constexpr std::uint16_t kChineseCodePage = 936;
// Rows and columns a sheet of this format holds.
constexpr int kMaxRows = 65536, kMaxCols = 256;
// Entries per merged-cells record, so that its length stays within the limit
// readers accept.
constexpr std::size_t kMergesPerRecord = 1027;

void PutWord(std::string& out, std::uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
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
  std::size_t n = 0;
  while (n < bytes.size()) {
    const std::size_t len = Gb18030CharLength(bytes, n);
    if (n + len > 255) break;
    n += len;
  }
  n = std::min(n, bytes.size());
  return static_cast<char>(n) + bytes.substr(0, n);
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

void TVantraGridExportToXLS::BeginExport() {
  // Cells beyond the sheet's limits would be written at wrapped positions or
  // dropped by readers: refuse the export instead.
  if (std::max(LastDataRow(), FixedRows() - 1) >= kMaxRows ||
      std::max(LastDataCol(), FixedCols() - 1) >= kMaxCols)
    throw EGenericError(Format(Msg(TMsg::SXlsGridTooLarge), kMaxRows, kMaxCols));
  FCells.str({});
  FCells.clear();
  FFonts.clear();
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
}

void TVantraGridExportToXLS::ExportData() {
  if (ExportOptions.PrintRowCaptions)
    for (int c = 0; c < FixedCols(); ++c) ExportColumn(c);
  for (int c = FirstDataCol(); c <= LastDataCol(); ++c) ExportColumn(c);
}

void TVantraGridExportToXLS::ExportCell(int col, int row) {
  TVantraGridExport::ExportCell(col, row);
  const TVantraGridExportCellParams& p = CurrentCell();
  const TGridExportCell& cell = SnapshotCell(col, row);

  std::string data;
  PutWord(data, Word(row));
  PutWord(data, Word(col));
  data += static_cast<char>(Protect ? 0x40 : 0x00);
  const int font = ExportOptions.UseFontStyles ? AddFont(p.Font) : 0;
  data += static_cast<char>((font & 3) << 6);
  std::uint8_t format = p.Alignment == TAlignment::taLeftJustify    ? 1
                        : p.Alignment == TAlignment::taRightJustify ? 3
                                                                    : 2;
  if (p.Borders & bsLeft) format |= 0x08;
  if (p.Borders & bsRight) format |= 0x10;
  if (p.Borders & bsTop) format |= 0x20;
  if (p.Borders & bsBottom) format |= 0x40;
  data += static_cast<char>(format);

  if (p.Kind == TExportCellKind::ekData) {
    char bytes[8];
    std::memcpy(bytes, &p.Value, 8);
    data.append(bytes, 8);
    WriteRecord(kNumber, data);
  } else if (!p.Text.empty()) {
    WriteRecord(kLabel, data + XlsByteString(p.Text));
  } else {
    WriteRecord(kBlank, data);
  }
  if (cell.ColSpan > 1 || cell.RowSpan > 1)
    FMerges.push_back(
        {Word(row), Word(row + cell.RowSpan - 1), Word(col), Word(col + cell.ColSpan - 1)});
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
  for (const char* f : {"General", "yyyy-m-d", "h:mm", "yyyy-m-d", "00.00¥"})
    WriteRecord(kFormat, XlsByteString(f));
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
  FMerges.clear();
}

}  // namespace qd
