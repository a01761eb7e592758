// What every document opens with (the cube's caption and the members each
// page dimension selects), the column widths fitted to the texts, and the
// axes of the analysis dialect that a reader places the cells by.
#include <algorithm>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "export/column_fit.h"
#include "export/document_heading.h"
#include "export/html_export.h"
#include "export/rtf_export.h"
#include "export/xls_export.h"
#include "export/xml_export.h"
#include "export_test_grid.h"

namespace qd::test {
namespace {

class ExportHeading : public ExportGrid {
 protected:
  void Hide(int dim, const std::string& caption) {
    TDimensionState& state = grid.DimensionState(dim);
    for (int n = 0; n < state.NodeCount(); ++n)
      if (state.Node(n).Caption == caption) state.Node(n).Visible = false;
    grid.ApplyFilter(state);
    grid.ProcessNotifications();
  }
};

TEST_F(ExportHeading, EveryWriterOpensWithTheCaptionAndThePageSelection) {
  Hide(kChannel, "Shop");
  TVantraGridExportToXLS xls;
  TVantraGridExportToHTML html;
  TVantraGridExportToRTF rtf;
  TVantraGridExportToXML xml;
  xml.Specification = TvtXMLSpecification::xmlSpreadsheet;
  const std::pair<TVantraGridExport*, std::string (*)(const std::string&)> writers[] = {
      {&xls, [](const std::string& t) { return XlsByteString(t); }},
      {&html, [](const std::string& t) { return t; }},
      {&rtf, [](const std::string& t) { return RtfEscape(t); }},
      {&xml, [](const std::string& t) { return t; }}};
  for (const auto& [writer, encoded] : writers) {
    writer->SetGrid(&grid);
    writer->CubeCaption = "销售分析";
    const std::string doc = ExportText(*writer);
    const auto caption = doc.find(encoded("销售分析"));
    const auto page = doc.find(encoded("Channel：Web"));
    ASSERT_NE(caption, std::string::npos) << typeid(*writer).name();
    ASSERT_NE(page, std::string::npos) << typeid(*writer).name();
    EXPECT_LT(caption, page);
    EXPECT_LT(page, doc.find(encoded("Region"))) << "the heading precedes the table";
  }
}

TEST_F(ExportHeading, PageLinesNameTheSelectedMembersByTheirTopmostWholeSubtree) {
  grid.MoveDim(kProduct, TDimGroup::dgPage, 0);
  grid.ProcessNotifications();
  EXPECT_EQ(qd::DocumentHeading(grid, "Cube"),
            (std::vector<std::string>{"Cube", "Product：全部", "Channel：全部"}));
  Hide(kProduct, "Pear");
  EXPECT_EQ(SelectedMembersText(grid.DimensionState(kProduct)), "Apple、Veg");
  EXPECT_TRUE(qd::DocumentHeading(grid, "").front().starts_with("Product："));
}

TEST(ExportHeadingMembers, LongSelectionsAreCountedInsteadOfListed) {
  TTestCube cube;
  std::vector<std::string> many;
  for (int i = 0; i < 30; ++i) many.push_back("m" + std::to_string(i));
  cube.AddDim("Item", many, TDimGroup::dgPage);
  cube.AddDim("Row", {"r"}, TDimGroup::dgRow);
  cube.AddSummary("Amount");
  cube.AddFact({0, 0}, {1.0});
  cube.Activate();
  TGridInfo grid;
  grid.SetCube(&cube);
  grid.ProcessNotifications();
  TDimensionState& item = grid.DimensionState(0);
  item.Node(0).Visible = false;
  grid.ApplyFilter(item);
  EXPECT_EQ(SelectedMembersText(item), "m1、m2、m3、m4、m5、m6、m7、m8、m9、m10等29项");
}

TEST_F(ExportHeading, WithoutCaptionAndPageDimensionsTheTableComesFirst) {
  grid.MoveDim(kChannel, TDimGroup::dgRow, 2);
  grid.ProcessNotifications();
  TVantraGridExportToHTML html;
  html.SetGrid(&grid);
  html.TableOnly = true;
  const std::string doc = ExportText(html);
  EXPECT_EQ(doc.find("<CAPTION"), std::string::npos);
  EXPECT_EQ(doc.rfind("<TABLE", 0), 0u);
}

// Records the widths the writers would use.
class TWidthProbe : public TVantraGridExport {
 public:
  std::vector<int> Widths;

 protected:
  void BeginExport() override {
    for (int c = 0; c < Snapshot().ColCount; ++c) Widths.push_back(ColumnWidth(c));
  }
};

TEST_F(ExportHeading, ColumnsFitTheirTextsUnlessTheViewSuppliesWidths) {
  TTestCube wide;
  wide.AddDim("Branch", {"杭州市西湖区城西支公司营业部", "b"}, TDimGroup::dgRow);
  wide.AddDim("Year", {"2024"}, TDimGroup::dgCol);
  wide.AddSummary("Amount");
  wide.AddFact({0, 0}, {123456789012.25});
  wide.AddFact({1, 0}, {1});
  wide.Activate();
  TGridInfo model;
  model.SetCube(&wide);
  model.ProcessNotifications();

  TWidthProbe probe;
  probe.SetGrid(&model);
  std::ostringstream out;
  probe.ExportToStream(out);
  ASSERT_EQ(probe.Widths.size(), 3u);  // the branch column, 2024 and Total
  // 14 CJK characters at 10 points are 187 pixels at 96 per inch; the number
  // needs its 16 characters.
  EXPECT_GE(probe.Widths[0], 187);
  EXPECT_LT(probe.Widths[0], 260);
  EXPECT_GE(probe.Widths[1], TextPixelWidth("123456789012.25", probe.ExportOptions.DataFont, 96));
  EXPECT_EQ(*std::min_element(probe.Widths.begin(), probe.Widths.end()) >= kDefaultExportColWidth,
            true);

  probe.Widths.clear();
  probe.ColumnWidths = [](int col) { return 30 + col; };
  probe.ExportToStream(out);
  EXPECT_EQ(probe.Widths, (std::vector<int>{30, 31, 32}));
}

TEST_F(ExportHeading, AnalysisCellOrdinalsMatchTheTuplesOfBothAxes) {
  ExpandAll();
  TVantraGridExportToXML xml;
  xml.SetGrid(&grid);
  const std::string doc = ExportText(xml);
  auto section = [&](const std::string& from, const std::string& to) {
    const auto a = doc.find(from);
    return doc.substr(a, doc.find(to, a) - a);
  };
  auto count = [](const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto i = text.find(what); i != std::string::npos; i = text.find(what, i + 1)) ++n;
    return n;
  };
  const std::string columns = section("<Axis name=\"Axis0\">", "</Axis>");
  const std::string rows = section("<Axis name=\"Axis1\">", "</Axis>");
  auto s = BuildGridExportStructure(grid);
  const std::size_t dataCols = static_cast<std::size_t>(s->ColCount - s->FixedCols);
  const std::size_t dataRows = static_cast<std::size_t>(s->RowCount - s->FixedRows);
  EXPECT_EQ(count(columns, "<Tuple>"), dataCols);
  EXPECT_EQ(count(rows, "<Tuple>"), dataRows);
  EXPECT_EQ(count(doc, "<Cell CellOrdinal="), dataCols * dataRows);
  // Every column tuple ends with its header path: the summary, then Sum.
  EXPECT_EQ(count(columns, "<Caption>Sum</Caption>"), dataCols);
  EXPECT_EQ(count(columns, "<Caption>Amount</Caption>") + count(columns, "<Caption>Qty</Caption>"),
            dataCols);
  // The page dimension is the slicer.
  EXPECT_NE(section("<Axis name=\"SlicerAxis\">", "</Axis>").find("<Caption>全部</Caption>"),
            std::string::npos);
}

}  // namespace
}  // namespace qd::test
