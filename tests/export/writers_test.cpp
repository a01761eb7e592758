// Whole documents of every writer for a small pivot (golden files), and the
// cases that break documents: spans, skipped covered cells, empty cells,
// borders, escaping, ranges and the caption switches.
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <sstream>

#include <gtest/gtest.h>

#include "engine/core/bytes.h"
#include "engine/core/errors.h"
#include "export/html_export.h"
#include "export/rtf_export.h"
#include "export/xls_export.h"
#include "export/xml_export.h"
#include "export_test_grid.h"
#include "tests/engine/file_test_support.h"

namespace qd::test {
namespace {

struct TRecord {
  std::uint16_t Number;
  std::string Data;
};

std::vector<TRecord> XlsRecords(const std::string& bytes) {
  std::vector<TRecord> out;
  std::size_t i = 0;
  auto word = [&](std::size_t at) { return Load<std::uint16_t>(bytes.data() + at); };
  while (i + 4 <= bytes.size()) {
    const std::uint16_t number = word(i), length = word(i + 2);
    EXPECT_LE(i + 4 + length, bytes.size());
    out.push_back({number, bytes.substr(i + 4, length)});
    i += 4 + length;
  }
  EXPECT_EQ(i, bytes.size());
  return out;
}

std::uint16_t DataWord(const std::string& d, std::size_t at) {
  return Load<std::uint16_t>(d.data() + at);
}

class ExportWriters : public ExportGrid {
 protected:
  void SetUp() override {
    ExportGrid::SetUp();
    ExpandToFunctions();
  }
  void Bind(TVantraGridExport& exporter) {
    exporter.SetGrid(&grid);
    exporter.Name = "XMLExport";
    exporter.CubeCaption = "销售分析";
  }
  // The caption, the page line of Channel and an empty row.
  static constexpr int kHeadingRows = 3;
};

TEST_F(ExportWriters, WholeDocumentsMatchTheirGoldenFiles) {
  {
    TVantraGridExportToXLS xls;
    Bind(xls);
    xls.Header = "Quarrydesk";
    ExpectExportGolden("pivot.xls", ExportText(xls));
  }
  {
    TVantraGridExportToHTML html;
    Bind(html);
    html.Title = "Simple HTML export";
    ExpectExportGolden("pivot.htm", ExportText(html));
  }
  {
    TVantraGridExportToXML xml;
    Bind(xml);
    xml.Specification = TvtXMLSpecification::xmlSpreadsheet;
    ExpectExportGolden("pivot_spreadsheet.xml", ExportText(xml));
    xml.Specification = TvtXMLSpecification::xmlAnalysis;
    xml.CubeName = "Vantra demo";
    ExpectExportGolden("pivot_analysis.xml", ExportText(xml));
  }
  {
    TVantraGridExportToRTF rtf;
    Bind(rtf);
    ExpectExportGolden("pivot.rtf", ExportText(rtf));
  }
}

TEST_F(ExportWriters, StylesBordersAndFontsMatchTheirGoldenFiles) {
  auto styled = [](TVantraGridExport& e) {
    e.ExportOptions.UseFontStyles = true;
    e.ExportOptions.DrawBorders = true;
    e.ExportOptions.CaptionFont.Bold = true;
    e.ExportOptions.LabelFont.Italic = true;
    e.ExportOptions.LabelColor = clSilver;
  };
  TVantraGridExportToXML xml;
  Bind(xml);
  xml.Specification = TvtXMLSpecification::xmlSpreadsheet;
  styled(xml);
  ExpectExportGolden("styled_spreadsheet.xml", ExportText(xml));
  TVantraGridExportToRTF rtf;
  Bind(rtf);
  styled(rtf);
  ExpectExportGolden("styled.rtf", ExportText(rtf));
  TVantraGridExportToHTML html;
  Bind(html);
  styled(html);
  html.TableOnly = true;
  ExpectExportGolden("styled_table.htm", ExportText(html));
}

TEST_F(ExportWriters, XlsCarriesCodePageFontsMergesAndProtection) {
  TVantraGridExportToXLS xls;
  Bind(xls);
  xls.Protect = true;
  const auto records = XlsRecords(ExportText(xls));
  ASSERT_GE(records.size(), 3u);
  EXPECT_EQ(records[0].Number, 0x0409);
  EXPECT_EQ(records[1].Number, 0x0042);
  EXPECT_EQ(DataWord(records[1].Data, 0), 936);
  int fonts = 0, numbers = 0, zeroNumbers = 0, texts = 0;
  std::vector<std::array<int, 4>> merges;
  for (const TRecord& r : records) {
    fonts += r.Number == 0x0031;
    if (r.Number == 0x0001 || r.Number == 0x0003 || r.Number == 0x0004) {
      EXPECT_EQ(static_cast<unsigned char>(r.Data[4]), 0x40);  // locked
    }
    if (r.Number == 0x0003) {
      const double v = Load<double>(r.Data.data() + 7);
      ++numbers;
      zeroNumbers += v == 0;
    }
    if (r.Number == 0x0004) {
      ++texts;
      EXPECT_EQ(static_cast<unsigned char>(r.Data[7]) + 8u, r.Data.size());
    }
    if (r.Number == 0x00E5)
      for (int i = 0; i < DataWord(r.Data, 0); ++i)
        merges.push_back({DataWord(r.Data, 2 + 8 * i), DataWord(r.Data, 4 + 8 * i),
                          DataWord(r.Data, 6 + 8 * i), DataWord(r.Data, 8 + 8 * i)});
  }
  EXPECT_EQ(fonts, 1);  // the grid's font only, without font styles
  auto s = BuildGridExportStructure(grid);
  int valued = 0;
  for (const TGridExportCell& cell : s->Cells) valued += cell.Kind == TExportCellKind::ekData && !cell.Empty;
  EXPECT_EQ(numbers, valued);  // cells without a value are blank, not 0
  EXPECT_EQ(zeroNumbers, 0);
  EXPECT_GT(texts, 0);
  // "Year" spans the three header columns: one merge entry, below the heading.
  ASSERT_FALSE(merges.empty());
  EXPECT_EQ(merges[0], (std::array<int, 4>{kHeadingRows, kHeadingRows, 0, 2}));
  EXPECT_EQ(records[records.size() - 2].Number, 0x0012);
  EXPECT_EQ(records.back().Number, 0x000A);
}

// Numbers keep the masks of their sub-functions, the currency format is in
// the declared code page, and every exported column gets its width.
TEST_F(ExportWriters, XlsCellsNameTheirMaskAndColumnsTheirWidth) {
  TVantraGridExportToXLS xls;
  Bind(xls);
  std::vector<std::string> formats;
  int widths = 0, maskedNumbers = 0, numbers = 0;
  for (const TRecord& r : XlsRecords(ExportText(xls))) {
    if (r.Number == 0x001E) formats.push_back(r.Data.substr(1));
    widths += r.Number == 0x007D;
    if (r.Number == 0x0003) {
      ++numbers;
      const int format = static_cast<unsigned char>(r.Data[5]) & 0x3F;
      ASSERT_LT(format, static_cast<int>(formats.size()));
      maskedNumbers += formats[static_cast<std::size_t>(format)] == "0.00";
    }
  }
  ASSERT_EQ(formats.size(), 6u);
  EXPECT_EQ(formats[4], "00.00\xA3\xA4");  // full-width yen in code page 936
  EXPECT_EQ(formats[5], "0.00");
  EXPECT_EQ(maskedNumbers, numbers);
  auto s = BuildGridExportStructure(grid);
  EXPECT_EQ(widths, s->ColCount);
}

TEST_F(ExportWriters, XlsTextsAreGb18030AndCutWholeCharacters) {
  // Characters outside code page 936 would stop a reader of the declared page.
  EXPECT_EQ(XlsByteString("a¥😀南"), std::string("\x05" "a??\xC4\xCF", 6));
  EXPECT_EQ(XlsByteString("南方"), std::string("\x04\xC4\xCF\xB7\xBD", 5));
  std::string longText;
  for (int i = 0; i < 200; ++i) longText += "南";
  const std::string cut = XlsByteString(longText);
  EXPECT_EQ(static_cast<unsigned char>(cut[0]), 254);  // 127 whole characters
  EXPECT_EQ(cut.size(), 255u);
}

TEST_F(ExportWriters, SpreadsheetIndexesTheCellAfterSkippedCoveredCells) {
  TVantraGridExportToXML xml;
  Bind(xml);
  xml.Specification = TvtXMLSpecification::xmlSpreadsheet;
  const std::string doc = ExportText(xml);
  // Row 0: "Year" covers columns 1-3; the label 2024 follows at column 4.
  // (Style s1 is the heading's caption.)
  EXPECT_NE(doc.find("<Cell ss:MergeAcross=\"2\" ss:StyleID=\"s2\">"), std::string::npos);
  EXPECT_NE(doc.find("<Cell ss:MergeAcross=\"1\" ss:Index=\"4\" ss:StyleID=\"s2\">"),
            std::string::npos)
      << doc;
  EXPECT_NE(doc.find("<Data ss:Type=\"Number\">20.5</Data>"), std::string::npos);
}

TEST_F(ExportWriters, EventsChangeTextsAndBordersOfOneCellOnly) {
  auto hook = [](TVantraGridExport*, int col, int row, std::string& value, TExportFont&, TColor&,
                 bool& borders) {
    if (col != 3 || row != 3) return;  // the first data cell
    value = "x{y}";
    borders = false;
  };
  TVantraGridExportToXLS xls;
  Bind(xls);
  xls.ExportOptions.DrawBorders = true;
  xls.OnExportDataCell = hook;
  int withBorders = 0, without = 0;
  for (const TRecord& r : XlsRecords(ExportText(xls))) {
    if (r.Number != 0x0003) continue;
    const bool first = DataWord(r.Data, 0) == 3 + kHeadingRows && DataWord(r.Data, 2) == 3;
    const int bits = static_cast<unsigned char>(r.Data[6]) & 0x78;
    EXPECT_EQ(bits, first ? 0 : 0x78);
    (first ? without : withBorders)++;
  }
  EXPECT_EQ(without, 1);
  EXPECT_GT(withBorders, 1);

  TVantraGridExportToRTF rtf;
  Bind(rtf);
  rtf.OnExportDataCell = hook;
  EXPECT_NE(ExportText(rtf).find(" x\\{y\\}\\cell}"), std::string::npos);

  TVantraGridExportToHTML html;
  Bind(html);
  html.OnExportLabelCell = [](TVantraGridExport*, std::string& value, TExportFont&, TColor& color,
                              bool&, const TLabelNode* node) {
    if (node->IsTotal()) value = "a<b&c\"";
    color = clSilver;
  };
  const std::string page = ExportText(html);
  EXPECT_NE(page.find(">a&lt;b&amp;c&quot;</TD> "), std::string::npos);
  EXPECT_NE(page.find("BGCOLOR=#C0C0C0"), std::string::npos);
}

TEST_F(ExportWriters, MarkupCharactersAreEscapedInXmlAndRtf) {
  cube.Dims()[kRegion]->TextKeys[0] = "a<b&c \"q\" \\{x}";
  cube.Notify(TCubeChange::ccFactsRefreshed);
  grid.ProcessNotifications();
  TVantraGridExportToXML xml;
  Bind(xml);
  const std::string analysis = ExportText(xml);
  EXPECT_NE(analysis.find("<Caption>a&lt;b&amp;c &quot;q&quot; \\{x}</Caption>"),
            std::string::npos);
  EXPECT_EQ(analysis.find("a<b"), std::string::npos);
  EXPECT_EQ(RtfEscape("a\\b{c}南😀"), "a\\\\b\\{c\\}\\u21335?\\u-10179?\\u-8704?");
}

TEST_F(ExportWriters, RangesAndCaptionSwitchesSelectTheExportedCells) {
  TVantraGridExportToHTML html;
  Bind(html);
  html.TableOnly = true;
  const std::string all = ExportText(html);
  html.FinishDataCol = 1000;
  html.StartDataCol = 1;  // inside the header columns: raised to the first data column
  EXPECT_EQ(ExportText(html), all);

  html.ExportOptions.PrintColCaptions = false;
  const std::string noHeaderRows = ExportText(html);
  EXPECT_EQ(noHeaderRows.find("Amount"), std::string::npos);
  EXPECT_NE(noHeaderRows.find("North"), std::string::npos);
  html.ExportOptions.PrintColCaptions = true;
  html.ExportOptions.PrintRowCaptions = false;
  const std::string noHeaderCols = ExportText(html);
  EXPECT_EQ(noHeaderCols.find("North"), std::string::npos);
  EXPECT_NE(noHeaderCols.find("Amount"), std::string::npos);

  // Only the first data column: the column label 2024 is cut to that column.
  auto s = BuildGridExportStructure(grid);
  html.ExportOptions.PrintRowCaptions = true;
  html.StartDataCol = html.FinishDataCol = 0;
  html.FinishDataCol = s->FixedCols;
  html.StartDataCol = s->FixedCols - 1;
  const std::string first = ExportText(html);
  EXPECT_NE(first.find("<td ALIGN=\"LEFT\">2024</TD>"), std::string::npos) << first;
  EXPECT_EQ(first.find("2025"), std::string::npos);
}

// Shading patterns painted black in word processors: cells carry a
// background colour. A table wider than the page turns it, and scales down
// what still does not fit.
TEST_F(ExportWriters, RtfPagesHoldTheirTable) {
  TVantraGridExportToRTF rtf;
  Bind(rtf);
  const std::string narrow = ExportText(rtf);
  EXPECT_EQ(narrow.find("\\clshdng"), std::string::npos);
  EXPECT_NE(narrow.find("\\clcbpat1\\cellx"), std::string::npos);
  EXPECT_NE(narrow.find("\\paperw11906\\paperh16838"), std::string::npos);
  EXPECT_EQ(narrow.find("\\landscape"), std::string::npos);

  auto rightEdge = [](const std::string& doc) {
    int widest = 0;
    for (auto i = doc.find("\\cellx"); i != std::string::npos; i = doc.find("\\cellx", i + 1))
      widest = std::max(widest, std::stoi(doc.substr(i + 6)));
    return widest;
  };
  for (const auto& [width, scaled] : {std::pair{110, false}, std::pair{400, true}}) {
    rtf.ColumnWidths = [width](int) { return width; };
    const std::string doc = ExportText(rtf);
    EXPECT_NE(doc.find("\\paperw16838\\paperh11906"), std::string::npos) << width;
    EXPECT_NE(doc.find("\\landscape"), std::string::npos);
    EXPECT_LE(rightEdge(doc), 16838 - 2 * 720);
    EXPECT_EQ(doc.find("\\sa12\\fs20 ") == std::string::npos, scaled) << "type shrinks with the table";
  }
}

TEST_F(ExportWriters, NoGridOrNoActiveCubeWritesNothing) {
  TVantraGridExportToHTML html;
  EXPECT_EQ(ExportText(html), "");
  cube.Deactivate();
  grid.ProcessNotifications();
  TVantraGridExportToRTF rtf;
  Bind(rtf);
  EXPECT_EQ(ExportText(rtf), "");
}

TEST_F(ExportWriters, FormattedDataCellsUseTheirSubFunctionFormat) {
  TVantraGridExportToXML xml;
  Bind(xml);
  const std::string doc = ExportText(xml);
  EXPECT_NE(doc.find("<FmtValue>20.50</FmtValue>"), std::string::npos);
  EXPECT_NE(doc.find("<Value xsi:type=\"xsd:double\">20.5</Value>"), std::string::npos);
}

}  // namespace
}  // namespace qd::test

namespace qd::test {
namespace {

TEST_F(ExportWriters, XmlIsWrittenInTheDeclaredEncoding) {
  TVantraGridExportToXML xml;
  Bind(xml);
  xml.Specification = TvtXMLSpecification::xmlSpreadsheet;
  const std::string utf8 = ExportText(xml);
  EXPECT_EQ(utf8.rfind("<?xml version=\"1.0\"?>\r\n", 0), 0u);
  EXPECT_NE(utf8.find("南方"), std::string::npos);
  xml.Encoding = "GB2312";
  const std::string gb = ExportText(xml);
  EXPECT_EQ(gb.rfind("<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n", 0), 0u);
  EXPECT_NE(gb.find("\xC4\xCF\xB7\xBD"), std::string::npos);  // 南方
  xml.Encoding = "ISO-8859-1";  // not what the bytes are: declared as they are
  EXPECT_EQ(ExportText(xml).rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", 0), 0u);
}

// A sheet of the XLS format holds 256 columns: a wider grid is refused
// before anything is written, instead of writing cells at wrapped positions.
TEST(ExportXlsLimits, GridsWiderThanASheetAreRefused) {
  TTestCube cube;
  std::vector<std::string> many;
  for (int i = 0; i < 300; ++i) many.push_back("m" + std::to_string(i));
  cube.AddDim("Item", many, TDimGroup::dgCol);
  cube.AddSummary("Amount");
  for (int i = 0; i < 300; ++i) cube.AddFact({i}, {1.0 * i});
  cube.Activate();
  TGridInfo grid;
  grid.SetCube(&cube);
  grid.ProcessNotifications();
  TVantraGridExportToXLS xls;
  xls.SetGrid(&grid);
  std::ostringstream out;
  EXPECT_THROW(xls.ExportToStream(out), EGenericError);
  EXPECT_EQ(out.str(), "");
  xls.FinishDataCol = 200;  // a range that fits is exported
  EXPECT_NO_THROW(xls.ExportToStream(out));
  EXPECT_GT(out.str().size(), 0u);

  // A refused export leaves the document it would have replaced as it was.
  const TTempFolder dir("export");
  const std::string path = dir.Path("report.xls");
  xls.ExportToFile(path);
  const std::string before = ReadText(path);
  xls.FinishDataCol = 0;
  EXPECT_THROW(xls.ExportToFile(path), EGenericError);
  EXPECT_EQ(ReadText(path), before);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"report.xls"});
}

// A disk that fills up half-way through a document: the previous document
// stays whole, and no fragment is left beside it.
TEST_F(ExportWriters, ADocumentThatCannotBeWrittenWholeLeavesTheOldOne) {
  ExpandAll();
  const TTempFolder dir("export");
  const std::string path = dir.Path("report.htm");
  const std::string old(300000, 'x');
  std::ofstream(path, std::ios::binary) << old;
  TVantraGridExportToHTML html;
  html.SetGrid(&grid);
  const int status = RunInChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{512, 512};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      html.ExportToFile(path);
    } catch (const Exception& e) {
      return std::string(e.what()).find(path) != std::string::npos ? 0 : 2;
    }
    return 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadText(path), old);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"report.htm"});
  html.ExportToFile(path);
  EXPECT_NE(ReadText(path).find("<TABLE"), std::string::npos);
}

}  // namespace
}  // namespace qd::test
