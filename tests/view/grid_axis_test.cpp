// The grid's axes: section starts and the section at a position against a
// naive sum on random sizes set in random order, and the cell grid's
// geometry on such an axis (visible rows, the cell under a point, scrolling
// the current cell into view) against naive walks.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <random>

#include "view/grid_axis.h"
#include "view_test_grid.h"

namespace qd::test {
namespace {

// Start of section i by summing, as the grid did before it cached them.
std::int64_t NaiveStart(const std::vector<int>& sizes, int line, int i) {
  std::int64_t pos = 0;
  for (int k = 0; k < i; ++k) pos += sizes[static_cast<std::size_t>(k)] + line;
  return pos;
}

int NaiveSectionAt(const std::vector<int>& sizes, int line, std::int64_t pos) {
  if (pos < 0) return -1;
  for (int k = 0; k < static_cast<int>(sizes.size()); ++k)
    if (pos < NaiveStart(sizes, line, k + 1)) return k;
  return static_cast<int>(sizes.size());
}

TEST(GridAxis, StartsAndSectionsAgreeWithANaiveSumWhateverTheOrderOfChanges) {
  std::mt19937 rng(7);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 40; ++round) {
    TGridAxis axis;
    const int count = pick(1, 300), line = pick(0, 2);
    axis.SetCount(count);
    axis.SetDefaultSize(pick(5, 30));
    axis.SetLineWidth(line);
    std::vector<int> sizes(static_cast<std::size_t>(count), axis.DefaultSize());
    for (int change = 0; change < 60; ++change) {
      // Sizes change anywhere, queries land anywhere, in any order.
      const int i = pick(0, count - 1), size = pick(0, 60);
      axis.SetSize(i, size);
      sizes[static_cast<std::size_t>(i)] = size;
      const int q = pick(0, count);
      ASSERT_EQ(axis.Start(q), NaiveStart(sizes, line, q)) << "round " << round;
      const std::int64_t pos = pick(-2, static_cast<int>(NaiveStart(sizes, line, count)) + 5);
      const int at = axis.SectionAt(pos);
      const int naive = NaiveSectionAt(sizes, line, pos);
      // Zero-sized sections without lines share a start: any of them holds pos.
      if (at != naive && at >= 0 && at < count)
        EXPECT_EQ(axis.Start(at), NaiveStart(sizes, line, naive)) << pos;
      else
        EXPECT_EQ(at, naive) << pos;
    }
    axis.SetCount(count + 10);  // new sections take the default size
    EXPECT_EQ(axis.Size(count + 5), axis.DefaultSize());
    EXPECT_EQ(axis.Extent(count, count + 10), 10 * (axis.DefaultSize() + line));
  }
}

class TallGrid : public ::testing::Test {
 protected:
  void SetUp() override {
    control.resize(600, 400);
    control.show();
    g.SetRowCount(5000);
    g.SetColCount(30);
    g.SetFixedRows(2);
    g.SetFixedCols(1);
    std::mt19937 rng(3);
    for (int r = 0; r < g.RowCount(); ++r) {
      const int h = std::uniform_int_distribution<int>(12, 70)(rng);
      g.SetRowHeight(r, h);
      heights.push_back(h);
    }
  }
  int NaiveRowTop(int row) const {
    int y = 0;
    for (int r = 0; r < g.FixedRows(); ++r) y += heights[static_cast<std::size_t>(r)] + 1;
    if (row < g.FixedRows()) {
      y = 0;
      for (int r = 0; r < row; ++r) y += heights[static_cast<std::size_t>(r)] + 1;
      return y;
    }
    for (int r = g.TopRow(); r < row; ++r) y += heights[static_cast<std::size_t>(r)] + 1;
    for (int r = row; r < g.TopRow(); ++r) y -= heights[static_cast<std::size_t>(r)] + 1;
    return y;
  }
  TVantraGrid control{(TestApp(), nullptr)};  // the application comes first
  TInternalGrid& g = control.InternalGrid();
  std::vector<int> heights;
};

TEST_F(TallGrid, JumpsShowTheCurrentRowAtTheBottomAndPointsFindTheirCells) {
  const int h = g.viewport()->height();
  QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
  QApplication::sendEvent(&g, &end);
  ASSERT_EQ(g.Current().Y, g.RowCount() - 1);
  const int last = g.RowCount() - 1;
  // The last row ends inside the viewport, and one row further up would not fit.
  EXPECT_LE(NaiveRowTop(last) + heights.back(), h);
  EXPECT_EQ(g.RowTop(last), NaiveRowTop(last));
  const int top = g.TopRow();
  int withOneMore = g.FixedHeight();
  for (int r = top - 1; r <= last; ++r) withOneMore += heights[static_cast<std::size_t>(r)] + 1;
  EXPECT_GT(withOneMore - 1, h);

  // Visible rows: those starting inside the viewport.
  int visible = 0;
  for (int r = top; r < g.RowCount() && NaiveRowTop(r) < h; ++r) ++visible;
  EXPECT_EQ(g.VisibleRowCount(), visible);

  // The cell under points down the data area.
  const int pastLast = NaiveRowTop(last) + heights.back() + 1;
  for (int y = g.FixedHeight(); y < h; y += 7) {
    const int row = g.MouseCoord(5 + g.FixedWidth(), y).Y;
    if (y >= pastLast) {
      EXPECT_EQ(row, -1) << "below the last row";
      continue;
    }
    ASSERT_GE(row, top);
    EXPECT_LE(NaiveRowTop(row), y);
    EXPECT_GT(NaiveRowTop(row) + heights[static_cast<std::size_t>(row)] + 1, y);
  }
  EXPECT_EQ(g.MouseCoord(5, 3).Y, 0) << "a fixed row";

  // Back to the top, and a move by one row down keeps the view when it fits.
  QKeyEvent home(QEvent::KeyPress, Qt::Key_Home, Qt::ControlModifier);
  QApplication::sendEvent(&g, &home);
  EXPECT_EQ(g.TopRow(), g.FixedRows());
  g.SetCurrent(g.FixedCols(), g.FixedRows() + 1);
  EXPECT_EQ(g.TopRow(), g.FixedRows());
}

}  // namespace
}  // namespace qd::test
