#include "export/xlsx_sheet.h"

#include <xlsxwriter.h>

#include <algorithm>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/io/safe_file.h"
#include "export/column_fit.h"
#include "model/format_mask.h"

namespace qd {

namespace {

const TXlsxCellStyle kDefaultStyle;
const TExcelVariant kEmpty;

std::string StyleKey(const TXlsxCellStyle& s) {
  std::string key = s.FontName + '\x1F' + FormatGeneral(s.FontSize) + '\x1F' +
                    std::to_string(s.Bold) + std::to_string(s.Italic) +
                    std::to_string(s.Underline) + '\x1F' + std::to_string(s.FontColor) + '\x1F' +
                    std::to_string(s.FillColor) + '\x1F' + s.NumberFormat;
  for (const TXlsxBorder& b : s.Borders)
    key += '\x1F' + std::to_string(b.LineStyle) + ',' + std::to_string(b.Weight);
  return key;
}

// 0x00BBGGRR as libxlsxwriter's 0xRRGGBB.
lxw_color_t Rgb(int color) {
  const auto c = static_cast<unsigned>(color);
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

std::uint8_t BorderStyle(const TXlsxBorder& b) {
  if (b.LineStyle == xlLineStyleNone) return LXW_BORDER_NONE;
  switch (b.Weight) {
    case xlHairline:
      return LXW_BORDER_HAIR;
    case xlMedium:
      return LXW_BORDER_MEDIUM;
    case xlThick:
      return LXW_BORDER_THICK;
    default:
      return LXW_BORDER_THIN;
  }
}

lxw_format* MakeFormat(lxw_workbook* book, const TXlsxCellStyle& s) {
  lxw_format* f = workbook_add_format(book);
  format_set_font_name(f, s.FontName.c_str());
  format_set_font_size(f, s.FontSize);
  if (s.Bold) format_set_bold(f);
  if (s.Italic) format_set_italic(f);
  if (s.Underline) format_set_underline(f, LXW_UNDERLINE_SINGLE);
  if (s.FontColor >= 0) format_set_font_color(f, Rgb(s.FontColor));
  if (s.FillColor >= 0) {
    format_set_pattern(f, LXW_PATTERN_SOLID);
    format_set_bg_color(f, Rgb(s.FillColor));
  }
  if (s.NumberFormat != "General") format_set_num_format(f, s.NumberFormat.c_str());
  format_set_left(f, BorderStyle(s.Borders[0]));
  format_set_top(f, BorderStyle(s.Borders[1]));
  format_set_bottom(f, BorderStyle(s.Borders[2]));
  format_set_right(f, BorderStyle(s.Borders[3]));
  return f;
}

}  // namespace

const TXlsxCellStyle& TXlsxSheet::Style(int row, int col) const {
  if (row < 0 || col < 0 || row >= FRows || col >= FCols) return kDefaultStyle;
  return FStyles[static_cast<std::size_t>(FStyleIds[Index(row, col)])];
}

const TExcelVariant& TXlsxSheet::Value(int row, int col) const {
  if (row < 0 || col < 0 || row >= FRows || col >= FCols) return kEmpty;
  return FValues[Index(row, col)];
}

void TXlsxSheet::SetValue(int row, int col, TExcelVariant value) {
  Reserve({row, col, row, col});
  FValues[Index(row, col)] = std::move(value);
}

void TXlsxSheet::Reserve(const TXlsxRect& rect) {
  if (rect.Row0 < 0 || rect.Col0 < 0 || rect.Row1 >= kMaxRows || rect.Col1 >= kMaxCols)
    throw EGenericError(Format(Msg(TMsg::SXlsxTooLarge), kMaxRows, kMaxCols));
  const int rows = std::max(FRows, rect.Row1 + 1), cols = std::max(FCols, rect.Col1 + 1);
  if (rows == FRows && cols == FCols) return;
  if (cols == FCols) {
    FStyleIds.resize(static_cast<std::size_t>(rows) * cols, 0);
    FValues.resize(static_cast<std::size_t>(rows) * cols);
  } else {
    std::vector<int> ids(static_cast<std::size_t>(rows) * cols, 0);
    std::vector<TExcelVariant> values(ids.size());
    for (int r = 0; r < FRows; ++r)
      for (int c = 0; c < FCols; ++c) {
        const std::size_t to = static_cast<std::size_t>(r) * cols + c;
        ids[to] = FStyleIds[Index(r, c)];
        values[to] = std::move(FValues[Index(r, c)]);
      }
    FStyleIds = std::move(ids);
    FValues = std::move(values);
  }
  FRows = rows;
  FCols = cols;
}

int TXlsxSheet::StyleId(const TXlsxCellStyle& style) {
  const auto [it, added] = FStyleIndex.emplace(StyleKey(style), static_cast<int>(FStyles.size()));
  if (added) FStyles.push_back(style);
  return it->second;
}

// Every cell of one style changes alike: each distinct style is changed once.
void TXlsxSheet::Restyle(const TXlsxRect& rect,
                         const std::function<void(TXlsxCellStyle&)>& change) {
  if (FStyleIndex.empty()) FStyleIndex.emplace(StyleKey(FStyles.front()), 0);
  Reserve(rect);
  std::unordered_map<int, int> changed;
  for (int r = rect.Row0; r <= rect.Row1; ++r)
    for (int c = rect.Col0; c <= rect.Col1; ++c) {
      int& id = FStyleIds[Index(r, c)];
      auto it = changed.find(id);
      if (it == changed.end()) {
        TXlsxCellStyle style = FStyles[static_cast<std::size_t>(id)];
        change(style);
        const bool same = style == FStyles[static_cast<std::size_t>(id)];
        it = changed.emplace(id, same ? id : StyleId(style)).first;
      }
      id = it->second;
    }
}

int TXlsxSheet::FittedWidth(int col) const {
  std::vector<bool> merged(static_cast<std::size_t>(FRows), false);
  for (const TXlsxRect& m : FMerges)
    if (col >= m.Col0 && col <= m.Col1 && m.Col0 != m.Col1)
      for (int r = m.Row0; r <= m.Row1 && r < FRows; ++r) merged[static_cast<std::size_t>(r)] = true;
  int width = 64;
  std::unordered_map<std::string, TFormatMask> masks;
  for (int r = 0; r < FRows; ++r) {
    const TExcelVariant& v = FValues[Index(r, col)];
    if (std::holds_alternative<std::monostate>(v) || merged[static_cast<std::size_t>(r)]) continue;
    const TXlsxCellStyle& s = Style(r, col);
    std::string text;
    if (const double* number = std::get_if<double>(&v)) {
      if (s.NumberFormat == "General") {
        text = FormatGeneral(*number);
      } else {
        auto mask = masks.find(s.NumberFormat);
        if (mask == masks.end()) mask = masks.emplace(s.NumberFormat, s.NumberFormat).first;
        text = mask->second.Format(*number);
      }
    } else {
      // A text runs on into an empty neighbour, as spreadsheets show it.
      if (col + 1 >= FCols || std::holds_alternative<std::monostate>(Value(r, col + 1))) continue;
      text = std::get<std::string>(v);
    }
    TExportFont font;
    font.Name = s.FontName;
    font.Size = static_cast<int>(s.FontSize + 0.5);
    font.Bold = s.Bold;
    width = std::max(width, TextPixelWidth(text, font, 96) + kCellTextMargin);
  }
  return std::min(width, kMaxFittedColWidth);
}

void TXlsxSheet::Save(const std::string& fileName) const {
  // The workbook goes to a temporary file beside the target that replaces it
  // only once complete; a folder that cannot take it fails here.
  TAtomicFile file(fileName);
  lxw_workbook* book = workbook_new(file.TempPath().c_str());
  if (!book) throw EGenericError(Format(Msg(TMsg::SXlsxCannotSave), fileName, ""));
  lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
  std::vector<lxw_format*> formats(FStyles.size(), nullptr);
  // Every written cell names its format, the normal style too, so that
  // readers see the sheet's font rather than their own default.
  auto format = [&](int row, int col) -> lxw_format* {
    const int id = FStyleIds[Index(row, col)];
    lxw_format*& f = formats[static_cast<std::size_t>(id)];
    if (!f) f = MakeFormat(book, FStyles[static_cast<std::size_t>(id)]);
    return f;
  };
  std::vector<bool> covered(FValues.size(), false);
  for (const TXlsxRect& m : FMerges) {
    worksheet_merge_range(sheet, m.Row0, static_cast<lxw_col_t>(m.Col0), m.Row1,
                          static_cast<lxw_col_t>(m.Col1), "", format(m.Row0, m.Col0));
    for (int r = m.Row0; r <= m.Row1; ++r)
      for (int c = m.Col0; c <= m.Col1; ++c)
        if (r != m.Row0 || c != m.Col0) covered[Index(r, c)] = true;
  }
  for (int r = 0; r < FRows; ++r)
    for (int c = 0; c < FCols; ++c) {
      if (covered[Index(r, c)]) continue;
      const TExcelVariant& v = FValues[Index(r, c)];
      const auto col = static_cast<lxw_col_t>(c);
      if (const double* number = std::get_if<double>(&v))
        worksheet_write_number(sheet, r, col, *number, format(r, c));
      else if (const std::string* text = std::get_if<std::string>(&v))
        worksheet_write_string(sheet, r, col, text->c_str(), format(r, c));
      else if (FStyleIds[Index(r, c)] != 0)
        worksheet_write_blank(sheet, r, col, format(r, c));
    }
  for (const auto& [cell, text] : FComments)
    worksheet_write_comment(sheet, static_cast<lxw_row_t>(cell.first),
                            static_cast<lxw_col_t>(cell.second), text.c_str());
  for (int c = 0; c < FCols; ++c)
    worksheet_set_column_pixels(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                                static_cast<std::uint32_t>(FittedWidth(c)), nullptr);
  const lxw_error error = workbook_close(book);
  if (error != LXW_NO_ERROR)
    throw EGenericError(Format(Msg(TMsg::SXlsxCannotSave), fileName, lxw_strerror(error)));
  file.Commit();
}

}  // namespace qd
