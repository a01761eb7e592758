#include "export/xlsx_application.h"

#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "export/xlsx_sheet.h"

namespace qd {

namespace {

class TXlsxRange;

class TFontPart : public IExcelFont {
 public:
  explicit TFontPart(TXlsxRange& range) : FRange(range) {}
  std::string Name() const override;
  void SetName(const std::string& value) override;
  double Size() const override;
  void SetSize(double value) override;
  bool Bold() const override;
  void SetBold(bool value) override;
  bool Italic() const override;
  void SetItalic(bool value) override;
  bool Underline() const override;
  void SetUnderline(bool value) override;
  int Color() const override;
  void SetColor(int value) override;

 private:
  TXlsxRange& FRange;
};

class TInteriorPart : public IExcelInterior {
 public:
  explicit TInteriorPart(TXlsxRange& range) : FRange(range) {}
  int Color() const override;
  void SetColor(int value) override;

 private:
  TXlsxRange& FRange;
};

// Every border of the range (edge 0), or one outer edge. Cells share their
// edges with their neighbours: an edge set on the range's side is set on
// the neighbour's facing side too, as a spreadsheet shows one line there.
class TBordersPart : public IExcelBorders {
 public:
  TBordersPart(TXlsxRange& range, int edge) : FRange(range), FEdge(edge) {}
  int Weight() const override;
  void SetWeight(int value) override;
  int LineStyle() const override;
  void SetLineStyle(int value) override;

 private:
  void Change(const std::function<void(TXlsxBorder&)>& change);
  TXlsxRange& FRange;
  int FEdge;
};

class TXlsxRange : public IExcelRange {
 public:
  TXlsxRange(TXlsxSheet& sheet, const TXlsxRect& rect)
      : Sheet(sheet),
        Rect(rect),
        FFont(*this),
        FInterior(*this),
        FBorders{TBordersPart(*this, 0), TBordersPart(*this, xlEdgeLeft),
                 TBordersPart(*this, xlEdgeTop), TBordersPart(*this, xlEdgeBottom),
                 TBordersPart(*this, xlEdgeRight)} {}

  IExcelFont& Font() override { return FFont; }
  IExcelInterior& Interior() override { return FInterior; }
  IExcelBorders& Borders() override { return FBorders[0]; }
  IExcelBorders& Borders(int edge) override {
    if (edge < xlEdgeLeft || edge > xlEdgeRight) throw EGenericError("bad border edge");
    return FBorders[static_cast<std::size_t>(edge - xlEdgeLeft + 1)];
  }
  void Merge() override { Sheet.Merge(Rect); }
  void SetValue(const TExcelVariant& value) override {
    for (int r = Rect.Row0; r <= Rect.Row1; ++r)
      for (int c = Rect.Col0; c <= Rect.Col1; ++c) Sheet.SetValue(r, c, value);
  }
  void SetValue(const TExcelVariantArray& values) override {
    if (values.Rows != Rect.Row1 - Rect.Row0 + 1 || values.Cols != Rect.Col1 - Rect.Col0 + 1)
      throw EGenericError("the values do not fit the range");
    Sheet.Reserve(Rect);
    for (int r = 0; r < values.Rows; ++r)
      for (int c = 0; c < values.Cols; ++c)
        Sheet.SetValue(Rect.Row0 + r, Rect.Col0 + c, values.At(r, c));
  }
  std::string NumberFormat() const override { return First().NumberFormat; }
  void SetNumberFormat(const std::string& value) override {
    Restyle([&](TXlsxCellStyle& s) { s.NumberFormat = value; });
  }
  void AddComment(const std::string& text) override { Sheet.SetComment(Rect.Row0, Rect.Col0, text); }

  const TXlsxCellStyle& First() const { return Sheet.Style(Rect.Row0, Rect.Col0); }
  void Restyle(const std::function<void(TXlsxCellStyle&)>& change) { Sheet.Restyle(Rect, change); }

  TXlsxSheet& Sheet;
  const TXlsxRect Rect;

 private:
  TFontPart FFont;
  TInteriorPart FInterior;
  std::array<TBordersPart, 5> FBorders;
};

std::string TFontPart::Name() const { return FRange.First().FontName; }
void TFontPart::SetName(const std::string& v) { FRange.Restyle([&](auto& s) { s.FontName = v; }); }
double TFontPart::Size() const { return FRange.First().FontSize; }
void TFontPart::SetSize(double v) { FRange.Restyle([&](auto& s) { s.FontSize = v; }); }
bool TFontPart::Bold() const { return FRange.First().Bold; }
void TFontPart::SetBold(bool v) { FRange.Restyle([&](auto& s) { s.Bold = v; }); }
bool TFontPart::Italic() const { return FRange.First().Italic; }
void TFontPart::SetItalic(bool v) { FRange.Restyle([&](auto& s) { s.Italic = v; }); }
bool TFontPart::Underline() const { return FRange.First().Underline; }
void TFontPart::SetUnderline(bool v) { FRange.Restyle([&](auto& s) { s.Underline = v; }); }
// An automatic font colour reads as black.
int TFontPart::Color() const { return std::max(FRange.First().FontColor, 0); }
void TFontPart::SetColor(int v) { FRange.Restyle([&](auto& s) { s.FontColor = v & 0xFFFFFF; }); }

// Without a fill the interior reads as white.
int TInteriorPart::Color() const {
  const int fill = FRange.First().FillColor;
  return fill < 0 ? 0xFFFFFF : fill;
}
void TInteriorPart::SetColor(int v) { FRange.Restyle([&](auto& s) { s.FillColor = v & 0xFFFFFF; }); }

int TBordersPart::Weight() const {
  return FRange.First().Borders[static_cast<std::size_t>(FEdge ? FEdge - xlEdgeLeft : 0)].Weight;
}
int TBordersPart::LineStyle() const {
  return FRange.First().Borders[static_cast<std::size_t>(FEdge ? FEdge - xlEdgeLeft : 0)].LineStyle;
}

// A weight makes a line where there was none.
void TBordersPart::SetWeight(int value) {
  Change([&](TXlsxBorder& b) {
    b.Weight = value;
    if (b.LineStyle == xlLineStyleNone) b.LineStyle = xlContinuous;
  });
}

void TBordersPart::SetLineStyle(int value) {
  Change([&](TXlsxBorder& b) { b.LineStyle = value; });
}

void TBordersPart::Change(const std::function<void(TXlsxBorder&)>& change) {
  const TXlsxRect& r = FRange.Rect;
  if (FEdge == 0) {
    FRange.Restyle([&](TXlsxCellStyle& s) {
      for (TXlsxBorder& b : s.Borders) change(b);
    });
    return;
  }
  // The side of the range, and the facing side of its neighbours.
  const auto side = static_cast<std::size_t>(FEdge - xlEdgeLeft);
  const std::size_t facing = 3 - side;  // left ↔ right, top ↔ bottom
  TXlsxRect own = r, next = r;
  switch (FEdge) {
    case xlEdgeLeft:
      own.Col1 = r.Col0;
      next.Col0 = next.Col1 = r.Col0 - 1;
      break;
    case xlEdgeRight:
      own.Col0 = r.Col1;
      next.Col0 = next.Col1 = r.Col1 + 1;
      break;
    case xlEdgeTop:
      own.Row1 = r.Row0;
      next.Row0 = next.Row1 = r.Row0 - 1;
      break;
    default:
      own.Row0 = r.Row1;
      next.Row0 = next.Row1 = r.Row1 + 1;
      break;
  }
  FRange.Sheet.Restyle(own, [&](TXlsxCellStyle& s) { change(s.Borders[side]); });
  const bool inside = next.Row0 >= 0 && next.Col0 >= 0 && next.Row1 < FRange.Sheet.RowCount() &&
                      next.Col1 < FRange.Sheet.ColCount();
  if (inside) FRange.Sheet.Restyle(next, [&](TXlsxCellStyle& s) { change(s.Borders[facing]); });
}

}  // namespace

class TXlsxWorkbook : public IExcelWorkbook, public IExcelWorksheet {
 public:
  void SaveAs(const std::string& fileName) override { Sheet.Save(fileName); }
  std::unique_ptr<IExcelRange> Cells(int row, int col) override {
    return std::make_unique<TXlsxRange>(Sheet, TXlsxRect{row - 1, col - 1, row - 1, col - 1});
  }
  std::unique_ptr<IExcelRange> Range(const IExcelRange& topLeft,
                                     const IExcelRange& bottomRight) override {
    const auto* a = dynamic_cast<const TXlsxRange*>(&topLeft);
    const auto* b = dynamic_cast<const TXlsxRange*>(&bottomRight);
    if (!a || !b || &a->Sheet != &Sheet || &b->Sheet != &Sheet)
      throw EGenericError("a range of another sheet");
    return std::make_unique<TXlsxRange>(
        Sheet, TXlsxRect{std::min(a->Rect.Row0, b->Rect.Row0), std::min(a->Rect.Col0, b->Rect.Col0),
                         std::max(a->Rect.Row1, b->Rect.Row1), std::max(a->Rect.Col1, b->Rect.Col1)});
  }

  TXlsxSheet Sheet;
};

TXlsxApplication::TXlsxApplication() = default;
TXlsxApplication::~TXlsxApplication() = default;

IExcelWorksheet& TXlsxApplication::ActiveSheet() {
  if (FBooks.empty()) throw EGenericError(Msg(TMsg::SXlsxNoWorkbook));
  return *FBooks.back();
}

const TXlsxSheet* TXlsxApplication::ActiveSheetData() const {
  return FBooks.empty() ? nullptr : &FBooks.back()->Sheet;
}

IExcelWorkbook& TXlsxApplication::Add() {
  FBooks.push_back(std::make_unique<TXlsxWorkbook>());
  return *FBooks.back();
}

void TXlsxApplication::Close() {
  FBooks.clear();
}

namespace {

// Workbooks handed to the desktop stay while its program may still read them;
// a day later they are only litter, removed on the next hand-over.
void RemoveStaleWorkbooks(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  const auto dayAgo = fs::file_time_type::clock::now() - std::chrono::hours(24);
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() != 22 || !name.starts_with("quarrydesk-") || !name.ends_with(".xlsx")) continue;
    std::error_code e;
    if (it->is_regular_file(e) && it->last_write_time(e) < dayAgo && !e) fs::remove(it->path(), e);
  }
}

}  // namespace

void TXlsxApplication::SetVisible(bool value) {
  FVisible = value;
  if (!value) return;
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  RemoveStaleWorkbooks(folder);
  for (const auto& book : FBooks) {
    std::string path = (folder / "quarrydesk-XXXXXX.xlsx").string();
    const int fd = mkstemps(path.data(), 5);
    if (fd < 0) throw EGenericError(Format(Msg(TMsg::SXlsxCannotSave), path, "mkstemps"));
    close(fd);
    try {
      book->SaveAs(path);
      if (OnShow) OnShow(path);
    } catch (...) {
      // Nobody will open it: a workbook that could not be shown goes at once.
      std::error_code e;
      std::filesystem::remove(path, e);
      throw;
    }
  }
}

}  // namespace qd
