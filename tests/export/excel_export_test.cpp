// The spreadsheet automation export into our workbook application: values in
// place, blanks for cells without a value, masks, merges, block colours and
// borders as the sheet ends up holding them; saving, failing and showing.
#include <chrono>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "engine/core/errors.h"
#include "export/excel_export.h"
#include "export/xlsx_application.h"
#include "export/xlsx_sheet.h"
#include "export_test_grid.h"
#include "tests/app/temp_folder.h"

namespace qd::test {
namespace {

class ExcelExport : public ExportGrid {
 protected:
  void SetUp() override {
    ExportGrid::SetUp();
    ExpandToFunctions();
    exporter.SetGrid(&grid);
    exporter.CubeCaption = "销售分析";
  }
  const TXlsxSheet& Export() {
    exporter.ExportToExcelApp(app, 1, 1);
    return *app.ActiveSheetData();
  }
  // The caption, the page line and an empty row come first.
  static constexpr int kTop = 3;

  TVantraGridExportToExcel exporter;
  TXlsxApplication app;
};

TEST_F(ExcelExport, ValuesMasksAndMergesLandWhereTheSnapshotHasThem) {
  const TXlsxSheet& sheet = Export();
  auto s = BuildGridExportStructure(grid);
  EXPECT_EQ(sheet.Value(0, 0), TExcelVariant(std::string("销售分析")));
  EXPECT_TRUE(sheet.Style(0, 0).Bold);
  EXPECT_EQ(sheet.Value(1, 0), TExcelVariant(std::string("Channel：全部")));
  int blanks = 0;
  for (int r = 0; r < s->RowCount; ++r)
    for (int c = 0; c < s->ColCount; ++c) {
      const TGridExportCell& cell = s->Cell(c, r);
      const TExcelVariant& v = sheet.Value(kTop + r, c);
      if (cell.Kind == TExportCellKind::ekData) {
        EXPECT_EQ(sheet.Style(kTop + r, c).NumberFormat, "0.00");
        if (cell.Empty) {
          ++blanks;
          EXPECT_TRUE(std::holds_alternative<std::monostate>(v)) << c << "," << r;
        } else {
          EXPECT_EQ(v, TExcelVariant(cell.Value));
        }
      } else {
        const std::string text = ExportCellText(grid, cell);
        EXPECT_EQ(v, text.empty() ? TExcelVariant() : TExcelVariant(text)) << c << "," << r;
      }
    }
  EXPECT_GT(blanks, 0);
  // "Year" spans the three header columns of the first table row.
  ASSERT_FALSE(sheet.Merges().empty());
  const TXlsxRect& year = sheet.Merges().front();
  EXPECT_EQ(std::tie(year.Row0, year.Col0, year.Row1, year.Col1),
            std::make_tuple(kTop, 0, kTop, 2));
}

TEST_F(ExcelExport, BlocksTakeTheirColoursAndHandlersTheirBordersOff) {
  exporter.ExportOptions.LabelColor = clSilver;
  exporter.ExportOptions.DrawBorders = true;
  exporter.OnExportDataCell = [](TVantraGridExport*, int col, int row, std::string&, TExportFont&,
                                 TColor&, bool& borders) {
    if (col == 4 && row == 4) borders = false;
  };
  const TXlsxSheet& sheet = Export();
  EXPECT_EQ(sheet.Style(kTop + 0, 4).FillColor, 0xC0C0C0);  // a column label
  EXPECT_EQ(sheet.Style(kTop + 4, 0).FillColor, 0xC0C0C0);  // a row label
  EXPECT_EQ(sheet.Style(kTop + 4, 4).FillColor, -1);        // data
  for (const TXlsxBorder& b : sheet.Style(kTop + 4, 4).Borders)
    EXPECT_EQ(b.LineStyle, xlLineStyleNone);
  // The neighbours lose the shared edges only.
  EXPECT_EQ(sheet.Style(kTop + 4, 5).Borders[0].LineStyle, xlLineStyleNone);
  EXPECT_EQ(sheet.Style(kTop + 4, 5).Borders[3].LineStyle, xlContinuous);
  EXPECT_EQ(sheet.Style(kTop + 3, 4).Borders[2].LineStyle, xlLineStyleNone);
  EXPECT_EQ(sheet.Style(kTop + 5, 5).Borders[1], (TXlsxBorder{xlContinuous, xlThin}));
}

TEST_F(ExcelExport, FilesAreSavedAndTheApplicationQuitsAlsoAfterAFailure) {
  struct TWatched : TXlsxApplication {
    bool* Quitted;
    explicit TWatched(bool* q) : Quitted(q) {}
    void Quit() override {
      *Quitted = true;
      TXlsxApplication::Quit();
    }
  };
  bool quitted = false;
  exporter.CreateApplication = [&] { return std::make_unique<TWatched>(&quitted); };
  const qd::testing::TTempFolder folder;
  const std::string path = folder.Path("excel_export.xlsx");
  exporter.ExportToFile(path);
  EXPECT_TRUE(quitted);
  std::ifstream in(path, std::ios::binary);
  char zip[2] = {};
  in.read(zip, 2);
  EXPECT_EQ(std::string(zip, 2), "PK");

  quitted = false;
  EXPECT_THROW(exporter.ExportToFile("/nonexistent-folder/x.xlsx"), Exception);
  EXPECT_TRUE(quitted);

  exporter.CreateApplication = [] { return std::unique_ptr<IExcelApplication>(); };
  EXPECT_THROW(exporter.ExportToFile(path), EGenericError);
}

TEST_F(ExcelExport, AShownApplicationHandsItsWorkbookOver) {
  std::string shown;
  app.OnShow = [&](const std::string& path) { shown = path; };
  Export();
  app.SetVisible(true);
  ASSERT_FALSE(shown.empty());
  EXPECT_TRUE(shown.ends_with(".xlsx"));
  EXPECT_GT(std::filesystem::file_size(shown), 1000u);
  std::filesystem::remove(shown);

  // Workbooks left from a day ago go at the next hand-over; a recent one (the
  // spreadsheet may still be reading it) and other files stay. A workbook
  // that cannot be shown is removed at once.
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path();
  const fs::path stale = folder / "quarrydesk-stale1.xlsx", recent = folder / "quarrydesk-fresh1.xlsx",
                 other = folder / "quarrydesk-other-file.xlsx";
  for (const fs::path& p : {stale, recent, other}) std::ofstream(p) << "x";
  const auto twoDaysAgo = fs::file_time_type::clock::now() - std::chrono::hours(48);
  fs::last_write_time(stale, twoDaysAgo);
  fs::last_write_time(other, twoDaysAgo);
  app.OnShow = [&](const std::string& path) {
    shown = path;
    throw EGenericError("no spreadsheet program");
  };
  EXPECT_THROW(app.SetVisible(true), EGenericError);
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(recent));
  EXPECT_TRUE(fs::exists(other));
  EXPECT_FALSE(fs::exists(shown));
  fs::remove(recent);
  fs::remove(other);
}

TEST(XlsxSheet, GrowingKeepsCellsInPlaceAndRefusesCellsBeyondTheSheet) {
  TXlsxSheet sheet;
  sheet.SetValue(1, 1, 2.5);
  sheet.Restyle({0, 0, 1, 1}, [](TXlsxCellStyle& s) { s.Bold = true; });
  sheet.SetValue(3, 5, std::string("x"));  // more rows and columns
  EXPECT_EQ(sheet.Value(1, 1), TExcelVariant(2.5));
  EXPECT_TRUE(sheet.Style(1, 1).Bold);
  EXPECT_FALSE(sheet.Style(3, 5).Bold);
  EXPECT_EQ(sheet.Value(3, 5), TExcelVariant(std::string("x")));
  EXPECT_THROW(sheet.SetValue(TXlsxSheet::kMaxRows, 0, 1.0), EGenericError);
}

}  // namespace
}  // namespace qd::test
