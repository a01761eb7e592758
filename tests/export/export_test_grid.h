// A small pivot for the export tests, the snapshot drawn as text, and golden
// files under tests/data/export.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/grid_export.h"
#include "export/grid_export_structure.h"
#include "tests/model/grid_test_cube.h"

namespace qd::test {

constexpr int kRegion = 0, kProduct = 1, kYear = 2, kChannel = 3;

// Region (flat, with a Chinese member) and Product (Fruit > Apple, Pear;
// Veg > Kale) on rows, Year on columns, Channel on the page axis; two
// summaries, Sum's value only.
class ExportGrid : public ::testing::Test {
 protected:
  void SetUp() override {
    AddSampleSales(cube);
    cube.Activate();
    grid.SetCube(&cube);
    grid.ProcessNotifications();
  }
  void ExpandAll() {
    for (int d : {kRegion, kProduct, kYear}) grid.ExpandAll(grid.DimensionState(d));
    grid.ProcessNotifications();
  }
  //! Every member expanded, the columns down to the functions.
  void ExpandToFunctions() {
    ExpandAll();
    grid.SetLowestSubLevelNode(TSubLevelNodeType::ltFunction);
    grid.ProcessNotifications();
  }

  TTestCube cube;
  TGridInfo grid;
};

//! Each cell as kind:text, with {colspan,rowspan} when it covers more than
//! one cell; cells covered by an item show "^".
inline std::string SnapshotPicture(const TGridInfo& grid, const TGridExportStructure& s) {
  std::vector<bool> covered(s.Cells.size());
  for (int r = 0; r < s.RowCount; ++r)
    for (int c = 0; c < s.ColCount; ++c) {
      const TGridExportCell& cell = s.Cell(c, r);
      for (int y = r; y < r + cell.RowSpan && y < s.RowCount; ++y)
        for (int x = c; x < c + cell.ColSpan && x < s.ColCount; ++x)
          if (x != c || y != r) covered[static_cast<std::size_t>(x + y * s.ColCount)] = true;
    }
  std::ostringstream out;
  out << s.ColCount << "x" << s.RowCount << " fixed " << s.FixedCols << "," << s.FixedRows << "\n";
  for (int r = 0; r < s.RowCount; ++r) {
    for (int c = 0; c < s.ColCount; ++c) {
      const TGridExportCell& cell = s.Cell(c, r);
      out << (c ? " | " : "");
      if (cell.Kind == TExportCellKind::ekEmpty) {
        out << (covered[static_cast<std::size_t>(c + r * s.ColCount)] ? "^" : "");
        continue;
      }
      out << static_cast<int>(cell.Kind) << ":" << ExportCellText(grid, cell);
      if (cell.Kind == TExportCellKind::ekData && cell.Empty) out << "(none)";
      if (cell.ColSpan != 1 || cell.RowSpan != 1)
        out << "{" << cell.ColSpan << "," << cell.RowSpan << "}";
    }
    out << "\n";
  }
  return out.str();
}

//! The document an exporter writes onto a stream.
inline std::string ExportText(TVantraGridExport& exporter) {
  std::ostringstream out;
  exporter.ExportToStream(out);
  return out.str();
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

//! Compares bytes with tests/data/export/<name>; QD_UPDATE_GOLDEN=1 rewrites it.
inline void ExpectExportGolden(const std::string& name, const std::string& bytes) {
  const std::string path = std::string(QD_TEST_DATA_DIR) + "/export/" + name;
  if (const char* u = std::getenv("QD_UPDATE_GOLDEN"); u && std::string(u) == "1") {
    std::ofstream(path, std::ios::binary) << bytes;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << "missing golden file " << path << "; run with QD_UPDATE_GOLDEN=1\n" << bytes;
  EXPECT_EQ(ReadFileBytes(path), bytes) << "golden file " << path;
}

}  // namespace qd::test
