// Cells whose function rests on too few facts: marked in every document with
// a footnote under the table, the cell staying a number in spreadsheets.
#include <gtest/gtest.h>

#include "engine/core/text_codec.h"
#include "export/grid_paint.h"
#include "export/grid_print.h"
#include "export/html_export.h"
#include "export/rtf_export.h"
#include "export/xls_export.h"
#include "export/xml_export.h"
#include "model/cell_evidence.h"
#include "tests/export/export_test_grid.h"
#include "tests/export/recording_canvas.h"

namespace qd::test {
namespace {

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto i = text.find(part); i != std::string::npos; i = text.find(part, i + part.size())) ++n;
  return n;
}

const std::string kFootnote = "* 仅基于少量记录";

// Sum and Variance of Amount; each leaf holds one fact, so its variance
// rests on one record, while the totals of two or more facts do not.
class LowCountExport : public ExportGrid {
 protected:
  void SetUp() override {
    ExportGrid::SetUp();
    ExpandToFunctions();
    TSummaryInfo& amount = grid.SummarySettings().Items(0);
    amount.Function(static_cast<int>(TFunction::stVariance)).SubFunction(sfValue).Visible = true;
    grid.Aggregation().DropActive();
    grid.BeginUpdate();
    grid.EndUpdate(ckAxes);
    grid.ProcessNotifications();
  }
  template <class T>
  std::string Export(T& writer, int firstCol = 0, int lastCol = 0) {
    writer.SetGrid(&grid);
    writer.StartDataCol = firstCol;
    writer.FinishDataCol = lastCol;
    return ExportText(writer);
  }
  //! The snapshot's marked cells, each checked against the model.
  int MarkedCells(int firstCol = 0, int lastCol = 1 << 20) {
    const auto s = BuildGridExportStructure(grid);
    int marked = 0;
    for (int r = s->FixedRows; r < s->RowCount; ++r)
      for (int c = std::max(s->FixedCols, firstCol); c < s->ColCount && c <= lastCol; ++c) {
        const TGridExportCell& cell = s->Cell(c, r);
        const auto low = CellLowCount(grid, r - s->FixedRows, c - s->FixedCols);
        EXPECT_EQ(cell.LowCount, cell.Empty ? 0 : low.value_or(0)) << c << "," << r;
        marked += cell.LowCount > 0;
      }
    return marked;
  }
  //! Grid columns of the first and second data column (Sum and Variance of 2024).
  int SumCol() { return BuildGridExportStructure(grid)->FixedCols; }
};

TEST(LowCountFormat, TheMarkerFollowsEveryShownSection) {
  EXPECT_EQ(MarkedNumberFormat(""), "General\"*\"");
  EXPECT_EQ(MarkedNumberFormat("0.00"), "0.00\"*\"");
  EXPECT_EQ(MarkedNumberFormat("#,##0;[Red]-#,##0"), "#,##0\"*\";[Red]-#,##0\"*\"");
  // An empty section hides its values and stays empty.
  EXPECT_EQ(MarkedNumberFormat("0;;0"), "0\"*\";;0\"*\"");
  // Semicolons in quotes, brackets and after a backslash do not end a section.
  EXPECT_EQ(MarkedNumberFormat("\"a;b\"0"), "\"a;b\"0\"*\"");
  EXPECT_EQ(MarkedNumberFormat("[$;-804]0"), "[$;-804]0\"*\"");
  EXPECT_EQ(MarkedNumberFormat("0\\;0"), "0\\;0\"*\"");
}

TEST_F(LowCountExport, TextDocumentsMarkExactlyTheCellsOnTooFewFactsAndExplainThem) {
  const int marked = MarkedCells();
  ASSERT_GT(marked, 0);

  TVantraGridExportToHTML html;
  const std::string page = Export(html);
  EXPECT_EQ(Occurrences(page, "<SUP>*</SUP>"), static_cast<std::size_t>(marked));
  EXPECT_EQ(Occurrences(page, "TITLE=\"仅基于 1 条记录\""), static_cast<std::size_t>(marked));
  EXPECT_EQ(Occurrences(page, kFootnote), 1u);
  EXPECT_LT(page.find("</TABLE>"), page.find(kFootnote));

  TVantraGridExportToRTF rtf;
  const std::string doc = Export(rtf);
  EXPECT_EQ(Occurrences(doc, "{\\super *}"), static_cast<std::size_t>(marked));
  EXPECT_LT(doc.rfind("\\row}"), doc.find("\\par}", doc.rfind("\\row}")));

  // Only the Sum column of 2024: nothing marked, no footnote in any writer.
  const int sum = SumCol();
  EXPECT_EQ(MarkedCells(sum, sum), 0);
  TVantraGridExportToXML xml;
  xml.Specification = TvtXMLSpecification::xmlSpreadsheet;
  for (const std::string& part : {Export(html, sum - 1, sum), Export(rtf, sum - 1, sum)}) {
    EXPECT_EQ(part.find("*"), std::string::npos);
    EXPECT_EQ(part.find("仅基于"), std::string::npos);
  }
  EXPECT_EQ(Export(xml, sum - 1, sum).find("Comment"), std::string::npos);
}

// Spreadsheets keep the value a number: the marker is part of its format,
// the exact count a note on the cell, the footnote a row under the table.
TEST_F(LowCountExport, SpreadsheetCellsStayNumbersWithAMarkedFormat) {
  const int marked = MarkedCells();
  TVantraGridExportToXML xml;
  xml.Specification = TvtXMLSpecification::xmlSpreadsheet;
  const std::string book = Export(xml);
  EXPECT_EQ(Occurrences(book, "<Comment>"), static_cast<std::size_t>(marked));
  EXPECT_NE(book.find("ss:Format=\"0.00&quot;*&quot;\""), std::string::npos) << book;
  EXPECT_NE(book.find(kFootnote), std::string::npos);
  // The declared row count takes the empty row and the footnote (after the
  // heading: the page line of Channel and an empty row).
  const auto s = BuildGridExportStructure(grid);
  const int heading = 2;
  EXPECT_NE(book.find("ss:ExpandedRowCount=\"" + std::to_string(s->RowCount + heading + 2) + "\""),
            std::string::npos);

  TVantraGridExportToXLS xls;
  const std::string bytes = Export(xls);
  EXPECT_NE(bytes.find("0.00\"*\""), std::string::npos);
  EXPECT_NE(bytes.find(Utf8ToAnsi("仅基于少量记录")), std::string::npos);
}

// On paper the marker follows the number and the footnote sits under the
// last page's table, or on a page of its own when that page is full.
TEST_F(LowCountExport, PrintedPagesEndWithTheFootnote) {
  const auto s = BuildGridExportStructure(grid);
  const int tableHeight = s->RowCount * (kDefaultExportRowHeight + 1) + 1;
  for (const int height : {1000, tableHeight}) {
    TRecordingDevice device;
    device.Width = 2000;
    device.Height = height;
    TVantraGridPrint print;
    print.SetGrid(&grid);
    print.Print(device);
    const auto& pages = device.Recorder.Pages;
    const auto& last = pages.back().Texts;
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(last.back().Text.rfind(kFootnote, 0), 0u) << height;
    EXPECT_EQ(pages.size(), height == 1000 ? 1u : 2u);
    int markedTexts = 0, lowest = 0;
    for (const auto& t : pages.front().Texts) {
      markedTexts += t.Text.size() > 1 && t.Text.back() == '*';
      if (t.Text.rfind(kFootnote, 0) != 0) lowest = std::max(lowest, t.Y);
    }
    EXPECT_EQ(markedTexts, MarkedCells());
    if (height == 1000) {
      EXPECT_GT(last.back().Y, lowest);
    }
  }
}

}  // namespace
}  // namespace qd::test
