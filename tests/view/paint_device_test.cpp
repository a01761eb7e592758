// The grid painted through Qt: the SVG picture of the window's grid (a golden
// file) and printing on a printer that writes a PDF file, which needs no
// printer installed.
#include <QPrinter>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "view/paint_device.h"
#include "view_test_grid.h"

namespace qd::test {

namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class PaintDevice : public ViewGrid {};

}  // namespace

TEST_F(PaintDevice, SvgOfTheWindowGridMatchesItsGoldenFile) {
  TVantraGridExportToSVG svg;
  svg.SetGrid(&Model());
  BindPainterToGrid(svg, *control);
  std::ostringstream out;
  svg.ExportToStream(out);
  const std::string path = std::string(QD_TEST_DATA_DIR) + "/export/grid.svg";
  if (const char* u = std::getenv("QD_UPDATE_GOLDEN"); u && std::string(u) == "1")
    std::ofstream(path, std::ios::binary) << out.str();
  ASSERT_TRUE(std::filesystem::exists(path)) << "run with QD_UPDATE_GOLDEN=1";
  EXPECT_EQ(ReadBytes(path), out.str()) << "golden file " << path;
}

TEST_F(PaintDevice, PrinterWritingAPdfFilePrintsTheGrid) {
  const std::string file =
      (std::filesystem::temp_directory_path() / ("qd_print_" + std::to_string(::getpid()) + ".pdf"))
          .string();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(file));
  TVantraGridPrint print;
  print.SetGrid(&Model());
  BindPainterToGrid(print, *control);
  PrintGridOnPrinter(print, printer);
  const std::string bytes = ReadBytes(file);
  ASSERT_GT(bytes.size(), 500u);
  EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
  if (std::system("command -v pdftotext >/dev/null 2>&1") == 0) {
    const std::string text = file + ".txt";
    ASSERT_EQ(std::system(("pdftotext '" + file + "' '" + text + "'").c_str()), 0);
    const std::string words = ReadBytes(text);
    std::filesystem::remove(text);
    for (const char* w : {"Region", "Year", "南方", "Amount"})
      EXPECT_NE(words.find(w), std::string::npos) << w << " in\n" << words;
  }
  std::filesystem::remove(file);
}

}  // namespace qd::test
