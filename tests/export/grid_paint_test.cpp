// The grid painter on a recording canvas: the table's size, scaled printing,
// pages across and down with the headers on each, items continued across a
// page break, and row-label wrapping.
#include <algorithm>
#include <sstream>

#include "engine/core/text_codec.h"
#include "export/grid_print.h"
#include "export/metafile_export.h"
#include "tests/export/export_test_grid.h"
#include "tests/export/recording_canvas.h"

namespace qd::test {

namespace {

struct TRecordingSurface : TMetafileSurface {
  TRecordingCanvas* Recorder;
  TPaintCanvas& Canvas() override { return *Recorder; }
  void Save(std::ostream& out) override { out << "saved"; }
};

class TRecordingPicture : public TVantraGridExportToMF {
 public:
  TRecordingCanvas Recorder;
  int MadeWidth = 0, MadeHeight = 0;

 protected:
  std::unique_ptr<TMetafileSurface> CreateMetafile(int width, int height) override {
    MadeWidth = width;
    MadeHeight = height;
    auto s = std::make_unique<TRecordingSurface>();
    s->Recorder = &Recorder;
    return s;
  }
};

class GridPaint : public ExportGrid {
 protected:
  //! Every member expanded, one header row of summaries: 9 × 12 cells, 3 × 2 fixed.
  void SetUp() override {
    ExportGrid::SetUp();
    ExpandAll();
    grid.SetLowestSubLevelNode(TSubLevelNodeType::ltSummary);
    grid.ProcessNotifications();
  }
  void Bind(TVantraGridPaint& painter) {
    painter.SetGrid(&grid);
    painter.ColumnWidths = [](int) { return 64; };
  }
};

}  // namespace

TEST_F(GridPaint, PictureIsAsLargeAsTheTableAndPlacesTextsInTheirBoxes) {
  TRecordingPicture picture;
  Bind(picture);
  std::ostringstream out;
  picture.ExportToStream(out);
  EXPECT_EQ(out.str(), "saved");
  // 9 columns of 64 and 12 rows of 20 pixels; the thinnest lines add nothing.
  EXPECT_EQ(picture.MadeWidth, 9 * 64);
  EXPECT_EQ(picture.MadeHeight, 12 * 20);
  EXPECT_EQ(picture.Recorder.PenWidth, 0);
  ASSERT_EQ(picture.Recorder.Pages.size(), 1u);
  // "Year" spans the three header columns: one box, text at the margin.
  const auto* year = picture.Recorder.FindText(0, "Year");
  ASSERT_TRUE(year);
  EXPECT_EQ(year->Clip, (TPaintRect{0, 0, 192, 20}));
  EXPECT_EQ(year->X, 2);
  EXPECT_EQ(year->Y, 2);
  // Numbers are right-aligned: "42.50" (5 characters of 7) ends at the inner edge.
  const auto* total = picture.Recorder.FindText(0, "42.50");
  ASSERT_TRUE(total);
  EXPECT_EQ(total->Clip, (TPaintRect{448, 220, 512, 240}));
  EXPECT_EQ(total->X, 512 - 2 - 35);
  // North covers four rows and is drawn once.
  int norths = 0;
  for (const auto& t : picture.Recorder.Pages[0].Texts) norths += t.Text == "North";
  EXPECT_EQ(norths, 1);
}

TEST_F(GridPaint, PrinterScalesScreenPixelsAndThickensLines) {
  TVantraGridPrint print;
  Bind(print);
  TRecordingDevice device;
  device.Ppi = 600;
  device.Width = device.Height = 100000;
  print.Print(device);
  EXPECT_EQ(device.Docs, 1);
  EXPECT_EQ(device.Ends, 1);
  ASSERT_EQ(device.Recorder.Pages.size(), 1u);
  // 64 screen pixels at 96 per inch are 400 printer pixels at 600; lines are 6 wide.
  EXPECT_EQ(device.Recorder.PenWidth, 6);
  const auto* cell = device.Recorder.FindText(0, "42.50");
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->Clip.Width(), 406);
  EXPECT_EQ(cell->Clip.Left, 7 * 406);
}

TEST_F(GridPaint, PagesRunAcrossThenDownWithHeadersRepeatedAndSpansContinued) {
  TVantraGridPrint print;
  Bind(print);
  TRecordingDevice device;
  // Three header columns and three data columns across (65 each with the
  // line); two header rows and five data rows down (21 each).
  device.Width = 6 * 65;
  device.Height = 7 * 21;
  print.Print(device);
  ASSERT_EQ(device.Recorder.Pages.size(), 4u);
  for (int page = 0; page < 4; ++page) {
    for (const char* header : {"Year", "Region", "Product"})
      EXPECT_TRUE(device.Recorder.FindText(page, header)) << header << " on page " << page;
  }
  // 2025 spans data columns 5 and 6: its text on the first page across, an
  // empty box of one column at the left of the column headers on the second.
  EXPECT_TRUE(device.Recorder.FindText(0, "2025"));
  EXPECT_FALSE(device.Recorder.FindText(1, "2025"));
  EXPECT_TRUE(device.Recorder.HasFill(1, (TPaintRect{195, 0, 260, 21})));
  // 南方 covers data rows 6 to 10: its text on the first page down, an empty
  // box of four rows below the column headers on the next.
  EXPECT_TRUE(device.Recorder.FindText(0, "南方"));
  EXPECT_FALSE(device.Recorder.FindText(2, "南方"));
  EXPECT_TRUE(device.Recorder.HasFill(2, (TPaintRect{0, 42, 65, 42 + 4 * 21})));
  // Each page shows its own rows: Kale only on the second page down.
  EXPECT_FALSE(device.Recorder.FindText(0, "Kale"));
  EXPECT_TRUE(device.Recorder.FindText(2, "Kale"));
  EXPECT_TRUE(device.Recorder.FindText(3, "Kale"));
}

TEST_F(GridPaint, ColumnWiderThanThePageGetsAPageOfItsOwnAndNoPageIsWithoutData) {
  TVantraGridPrint print;
  Bind(print);
  print.ColumnWidths = [](int col) { return col == 3 ? 2000 : 64; };
  TRecordingDevice device;
  device.Width = 6 * 65;
  print.Print(device);
  // Column 3 alone, then 4..6 and 7..8: three pages, each with data.
  ASSERT_EQ(device.Recorder.Pages.size(), 3u);
  EXPECT_TRUE(device.Recorder.FindText(0, "15.00"));
  EXPECT_TRUE(device.Recorder.FindText(1, "2.00"));
  EXPECT_TRUE(device.Recorder.FindText(2, "42.50"));
}

TEST_F(GridPaint, NothingIsPrintedWithoutAnActiveGrid) {
  TVantraGridPrint print;
  TRecordingDevice device;
  print.Print(device);
  cube.Deactivate();
  grid.ProcessNotifications();
  print.SetGrid(&grid);
  print.Print(device);
  EXPECT_EQ(device.Docs, 0);
}

TEST(WrapText, BreaksAtSpacesAndCutsWordsThatDoNotFit) {
  auto width = [](std::string_view t) {
    int n = 0;
    for (std::size_t i = 0; i < t.size(); ++n) NextCodePoint(t, i);
    return 10 * n;
  };
  // Pieces fit when narrower than 60: up to five characters.
  EXPECT_EQ(WrapText("ab cd efgh", 60, width), (std::vector<std::string>{"ab cd", "efgh"}));
  EXPECT_EQ(WrapText("abcdefghijkl xy", 60, width),
            (std::vector<std::string>{"abcde", "fghij", "kl xy"}));
  EXPECT_EQ(WrapText("ab  abcdefg", 60, width),
            (std::vector<std::string>{"ab", "abcde", "fg"}));
  EXPECT_EQ(WrapText("华东地区分公司", 40, width),
            (std::vector<std::string>{"华东地", "区分公", "司"}));
  // Not even one character fits: wrapping stops.
  EXPECT_EQ(WrapText("abc", 10, width), (std::vector<std::string>{}));
}

}  // namespace qd::test
