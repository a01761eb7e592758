// Every change kind the model posts, made by the model operation that posts it
// and delivered through the event loop: afterwards the cell grid shows the
// model's current layout (not nodes of an earlier one) and the pivot areas
// show the model's axes.
#include <functional>

#include "export/grid_layout.h"
#include "view/pivot_panels.h"
#include "view/view_reactions.h"
#include "view_test_grid.h"

namespace qd::test {
namespace {

using enum TChangeKind;

TLabelNode& FirstRowLabel(TGridInfo& m) {
  for (const auto& n : m.RowTree())
    if (n->HasButton()) return *n;
  throw std::runtime_error("no row label with a button");
}

using TMake = std::function<void(TGridInfo&, TTestCube& cube, TTestCube& other)>;

// One model operation per kind, in kind order, each posting that kind last.
const std::vector<std::pair<TChangeKind, TMake>>& KindCases() {
  static const std::vector<std::pair<TChangeKind, TMake>> cases{
      {ckCube,
       [](TGridInfo&, TTestCube& c, TTestCube&) { c.Notify(TCubeChange::ccFactsRefreshed); }},
      {ckAxes, [](TGridInfo& m, TTestCube&, TTestCube&) { m.MoveDim(kYear, TDimGroup::dgRow, 0); }},
      {ckWordWrap, [](TGridInfo& m, TTestCube&, TTestCube&) { m.SetWordWrap(true); }},
      {ckLabels,
       [](TGridInfo& m, TTestCube&, TTestCube&) { m.ExpandNode(FirstRowLabel(m), 0, false); }},
      {ckRowOrder, [](TGridInfo& m, TTestCube&, TTestCube&) { m.ToggleValueSort(0); }},
      {ckColOrder,
       [](TGridInfo& m, TTestCube&, TTestCube&) {
         m.SetSortType(m.DimensionState(kYear), TDimSortType::dsNameDesc, true);
       }},
      {ckStateApplied,
       [](TGridInfo& m, TTestCube&, TTestCube&) {
         const TPivotState saved = m.CaptureState();
         m.MoveDim(kRegion, TDimGroup::dgPage, 0);
         m.ApplyState(saved);
       }},
      {ckDimExpansion,
       [](TGridInfo& m, TTestCube&, TTestCube&) { m.ExpandAll(m.DimensionState(kRegion)); }},
      {ckMembers,
       [](TGridInfo& m, TTestCube&, TTestCube&) { m.MoveMemberToGroup(FirstRowLabel(m), 0); }},
      {ckCubeBound, [](TGridInfo& m, TTestCube&, TTestCube& other) { m.SetCube(&other); }},
      {ckDataColumns, [](TGridInfo& m, TTestCube&,
                         TTestCube&) { m.SetLowestSubLevelNode(TSubLevelNodeType::ltFunction); }},
      {ckTotals,
       [](TGridInfo& m, TTestCube&, TTestCube&) {
         m.SetTotalAppearance(m.DimensionState(kRegion), TTotalAppearance::taFirst);
       }},
  };
  return cases;
}

class ChangeReactions : public ViewGrid, public ::testing::WithParamInterface<std::size_t> {
 protected:
  void SetUp() override {
    ViewGrid::SetUp();
    AddSampleSales(other);
    other.Activate();
    Model().AddListener(&posted);
    QApplication::processEvents();
    posted.Kinds.clear();
  }
  void TearDown() override {
    Model().RemoveListener(&posted);
    control.reset();  // the model lets go of `other`
  }

  // The grid's layout, item for item and node for node, is a fresh one of
  // the model; every panel of the areas is a dimension of the model's axis.
  void ExpectGridShowsTheModel() {
    const TGridLayout fresh(Model());
    const TGridLayout& shown = Grid().Layout();
    ASSERT_EQ(shown.Valid(), fresh.Valid());
    EXPECT_EQ(Grid().RowCount(), fresh.RowCount());
    EXPECT_EQ(Grid().ColCount(), fresh.ColCount());
    EXPECT_EQ(Grid().FixedRows(), fresh.FixedRows());
    ASSERT_EQ(shown.HeaderItems().size(), fresh.HeaderItems().size());
    for (std::size_t i = 0; i < fresh.HeaderItems().size(); ++i) {
      const TGridLayoutItem &a = shown.HeaderItems()[i], &b = fresh.HeaderItems()[i];
      EXPECT_TRUE(a.Col == b.Col && a.Row == b.Row && a.ColSpan == b.ColSpan &&
                  a.RowSpan == b.RowSpan && a.Label == b.Label && a.Caption == b.Caption &&
                  a.SubLevel == b.SubLevel)
          << "header item " << i << " is not the model's";
    }
    for (TDimGroup g : {TDimGroup::dgRow, TDimGroup::dgCol, TDimGroup::dgPage}) {
      std::vector<int> dims;
      for (const TDimPivotPanel* p : control->Area(g).Panels()) {
        dims.push_back(p->DimId());
        EXPECT_EQ(p->State(), &Model().DimensionState(p->DimId()));
      }
      EXPECT_EQ(dims, Model().AxisDims(g));
    }
    control->grab();  // paints every cell from the layout
  }

  TTestCube other;
  TRecorder posted;
};

TEST(ChangeKinds, EveryKindHasAnOperationThatPostsIt) {
  ASSERT_EQ(KindCases().size(), kChangeKindCount);
  for (std::size_t k = 0; k < kChangeKindCount; ++k)
    EXPECT_EQ(static_cast<std::size_t>(KindCases()[k].first), k);
}

TEST_P(ChangeReactions, TheGridShowsTheModelsLayoutAfterTheNotification) {
  const auto& [kind, make] = KindCases().at(GetParam());
  make(Model(), cube, other);
  QApplication::processEvents();
  EXPECT_EQ(Model().PendingNotifications(), 0u);
  ASSERT_FALSE(posted.Kinds.empty());
  EXPECT_EQ(posted.Kinds.back(), kind) << "the operation posts another kind last";
  ExpectGridShowsTheModel();
}

INSTANTIATE_TEST_SUITE_P(AllKinds, ChangeReactions,
                         ::testing::Range<std::size_t>(0, kChangeKindCount));

}  // namespace
}  // namespace qd::test
