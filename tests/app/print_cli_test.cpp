// Printed and painted documents of quarrydesk-cli export, read back with
// poppler (pdfinfo, pdftotext) and LibreOffice where installed: a grid wider
// and taller than a page splits into pages across and then down, with the
// headers on every page and spanning labels continued as empty boxes.
#include <gtest/gtest.h>

#include "poppler_tools.h"

namespace qd::testing {

namespace {

// Three regions of 30 cities on rows; two years of 12 products on columns.
std::string WideTallCsv(const TTempFolder& io) {
  std::string csv = "region,city,year,product,amount\n";
  for (int r = 1; r <= 3; ++r)
    for (int c = 0; c < 30; ++c)
      for (int y : {2024, 2025})
        for (int p = 1; p <= 12; ++p)
          csv += "R" + std::to_string(r) + ",C" + std::to_string(r) + (c < 10 ? "0" : "") +
                 std::to_string(c) + "," + std::to_string(y) + ",P" + (p < 10 ? "0" : "") +
                 std::to_string(p) + "," + std::to_string(r * 100 + c + p) + "\n";
  return io.Write("sales.csv", csv);
}

bool Has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

}  // namespace

TEST(PrintCli, PdfSplitsAcrossThenDownWithHeadersOnEveryPage) {
  if (!HaveTool("pdftotext") || !HaveTool("pdfinfo")) GTEST_SKIP() << "poppler-utils missing";
  TTempFolder io;
  const std::string csv = WideTallCsv(io), pdf = io.Path("grid.pdf");
  const TCliRun run = RunCliProcess({"export", csv, "--rows", "region,city", "--cols",
                                     "year,product", "--summaries", "amount", "--expand", "all",
                                     "--to", pdf, "--quiet"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const int pages = PageCount(pdf, io);
  ASSERT_GT(pages, 4);
  // Pages run across first: the second page holds the next products of the
  // same cities.
  const std::string first = PageText(pdf, 1, io), second = PageText(pdf, 2, io);
  EXPECT_TRUE(Has(first, "P02") && Has(first, "C100"));
  EXPECT_FALSE(Has(second, "P02"));
  EXPECT_TRUE(Has(second, "C100"));
  for (int p = 1; p <= pages; ++p) {
    const std::string text = PageText(pdf, p, io);
    // The captions of the header rows and columns are repeated on each page.
    for (const char* header : {"region", "city", "year", "product", "amount"})
      EXPECT_TRUE(Has(text, header)) << header << " missing on page " << p << ":\n" << text;
  }
  // 2024 spans thirteen data columns: its text on the first page, an empty
  // box on the second, whose products still belong to it.
  EXPECT_TRUE(Has(first, "2024"));
  EXPECT_TRUE(Has(second, "P12")) << second;
  EXPECT_FALSE(Has(second, "2024")) << second;
  // Later pages down show later cities and no city of the first page.
  const std::string last = PageText(pdf, pages, io);
  EXPECT_FALSE(Has(last, "C100"));
  EXPECT_TRUE(Has(last, "C329"));
}

TEST(PrintCli, PaperSizeAndOrientationAreThePdfPages) {
  if (!HaveTool("pdfinfo")) GTEST_SKIP() << "poppler-utils missing";
  TTempFolder io;
  const std::string csv = WideTallCsv(io), pdf = io.Path("wide.pdf");
  const TCliRun run = RunCliProcess({"export", csv, "--rows", "region", "--cols", "year",
                                     "--summaries", "amount", "--to", pdf, "--page-size", "A3",
                                     "--landscape", "--quiet"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const std::string info = PdfInfo(pdf, io);
  EXPECT_TRUE(Has(info, "1191 x 842 pts (A3)")) << info;
  const TCliRun bad = RunCliProcess({"export", csv, "--to", pdf, "--page-size", "A9"});
  EXPECT_EQ(bad.Status, 2);
  EXPECT_TRUE(Has(bad.Err, "--page-size")) << bad.Err;
}

TEST(PrintCli, PicturesAreWholeDocumentsOfTheirFormat) {
  TTempFolder io;
  const std::string csv = WideTallCsv(io);
  for (const char* ext : {"svg", "emf", "wmf"}) {
    const std::string file = io.Path(std::string("grid.") + ext);
    const TCliRun run = RunCliProcess({"export", csv, "--rows", "region", "--cols", "year",
                                       "--summaries", "amount", "--to", file, "--quiet"});
    ASSERT_EQ(run.Status, 0) << ext << ": " << run.Err;
    const std::string bytes = ReadFileText(file);
    ASSERT_GT(bytes.size(), 100u) << ext;
    if (std::string(ext) == "svg") {
      EXPECT_TRUE(Has(bytes, "<svg")) << bytes.substr(0, 200);
      EXPECT_TRUE(Has(bytes, ">R2<")) << "member texts are SVG text";
      EXPECT_TRUE(Has(bytes, "</svg>"));
    } else if (std::string(ext) == "emf") {
      EXPECT_EQ(bytes.substr(40, 4), " EMF");
      // The header's byte count is the file's.
      const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
      EXPECT_EQ(b[48] | b[49] << 8 | b[50] << 16 | static_cast<std::uint32_t>(b[51]) << 24,
                bytes.size());
    } else {
      EXPECT_EQ(bytes.substr(0, 4), std::string("\xD7\xCD\xC6\x9A", 4));
      // The last record is the three-word end of file.
      EXPECT_EQ(bytes.substr(bytes.size() - 6), std::string("\x03\0\0\0\0\0", 6));
    }
  }
}

}  // namespace qd::testing
