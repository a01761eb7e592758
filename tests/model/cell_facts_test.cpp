// The fact records behind data cells: which records a cell is made of
// (checked against a scan driven by the label paths on random pivots), the
// cell-details dataset, and editing fact values through the editor seam.
#include <functional>
#include <random>

#include <gtest/gtest.h>

#include "engine/core/errors.h"
#include "engine/data/memo_dataset.h"
#include "grid_test_cube.h"
#include "model/cell_facts.h"

namespace qd::test {
namespace {

using enum TDimGroup;

// A test cube whose fact records carry key fields and can be written.
class TEditableCube : public TTestCube {
 public:
  TKeySet Keys;
  TKeySet* KeySet() override { return &Keys; }
  TFactTable* WritableFactTable() override { return Facts(); }

  //! One key row per fact record: its number as "F<r>" text.
  void FillKeys() {
    Keys.Clear();
    Keys.AddColumn("FactNo", TFieldType::ftString);
    Keys.Layout();
    TvtMemoDataSet row;
    row.AddFieldDef("FactNo", TFieldType::ftString, 8);
    row.SetCapacity(1);
    row.Open();
    row.Append();
    for (int r = 0; r < Facts()->RecordCount(); ++r) {
      row.Fields(0).SetValue("F" + std::to_string(r));
      Keys.AppendRow();
      Keys.StoreField(0, row.Fields(0));
    }
    row.Cancel();
  }
};

class TStubEditor : public IFactTableEditor {
 public:
  bool Execute(TvtMemoDataSet& records) override {
    ++Shown;
    if (Change) Change(records);
    return Ok;
  }
  std::function<void(TvtMemoDataSet&)> Change;
  bool Ok = true;
  int Shown = 0;
};

// Region (row) North, South; Year (column) 2024, 2025; Channel on the page
// axis, marked composite so that the details leave it out.
class CellFacts : public ::testing::Test {
 protected:
  void SetUp() override {
    cube.AddDim("Region", {"NorthÀ", "South"}, dgRow).DisplayName = "地区";
    cube.AddDim("Year", {"2024", "2025"}, dgCol);
    cube.AddDim("Channel", {"Shop", "Web"}, dgPage).Composite = true;
    cube.AddSummary("Amount").DisplayName = "金额";
    cube.AddFact({0, 0, 0}, {10});
    cube.AddFact({1, 0, 1}, {5});
    cube.AddFact({0, 1, 1}, {20});
    cube.AddFact({0, 0, 1}, {7});
    cube.Activate();
    cube.FillKeys();
    grid.SetCube(&cube);
    grid.FactTableEditor = &editor;
    grid.ProcessNotifications();
    owner.Kinds.clear();
  }
  TEditableCube cube;
  TStubEditor editor;
  TRecorder owner;
  TGridInfo grid{&owner};
};

TEST_F(CellFacts, DetailsListTheValueAndTheCaptionOfEveryPlainDimension) {
  EXPECT_EQ(grid.GetCellFactRecords(0, 0), (std::vector<std::int32_t>{0, 3}));  // North/2024
  EXPECT_EQ(grid.GetCellFactRecords(2, 0), (std::vector<std::int32_t>{0, 1, 3}));
  EXPECT_TRUE(grid.GetCellFactRecords(0, 5).empty());  // outside the grid
  auto ds = grid.GetCellFacts(0, 0);
  ASSERT_NE(ds, nullptr);
  ASSERT_EQ(ds->FieldCount(), 3);
  EXPECT_EQ(ds->Fields(0).FieldName(), "Amount");
  EXPECT_EQ(ds->Fields(0).DisplayLabel(), "金额");
  EXPECT_EQ(ds->Fields(1).DisplayLabel(), "地区");
  EXPECT_EQ(ds->Fields(2).FieldName(), "Year");
  EXPECT_TRUE(ds->Fields(1).ReadOnly());
  EXPECT_FALSE(ds->Fields(0).ReadOnly());
  ASSERT_EQ(ds->RecordCount(), 2);
  ds->Last();
  EXPECT_EQ(ds->Fields(0).AsFloat(), 7);
  EXPECT_EQ(ds->Fields(1).AsString(), "NorthÀ");
  EXPECT_EQ(ds->Fields(2).AsString(), "2024");
  EXPECT_EQ(ds->CurrentRecord()->Tag, 3);
  EXPECT_EQ(grid.GetCellFacts(1, 1), nullptr);  // South/2025 has no records
}

TEST_F(CellFacts, AcceptedEditsAreWrittenBackAndReaggregated) {
  std::vector<std::string> keys;
  grid.OnEditFactTable = [&](TGridListener* sender, TDataSet& modified, bool& accept) {
    EXPECT_EQ(sender, &owner);
    EXPECT_FALSE(accept);
    for (modified.First(); !modified.Eof(); modified.Next())
      keys.push_back(modified.Fields(0).AsString() + "=" + modified.Fields(1).AsString());
    accept = true;
  };
  editor.Change = [](TvtMemoDataSet& records) {
    records.Last();
    records.Edit();
    records.Fields(0).SetValue(70.0);
    records.Post();
  };
  grid.EditCellFacts(0, 0);
  EXPECT_EQ(editor.Shown, 1);
  EXPECT_EQ(keys, (std::vector<std::string>{"F3=70"}));  // only the changed record
  EXPECT_EQ(cube.Facts()->Value(3, 0), 70);
  EXPECT_EQ(cube.Facts()->Value(0, 0), 10);
  EXPECT_EQ(grid.GetCellValue(0, 0).Value, 80);
  EXPECT_EQ(grid.GetCellValue(2, 2).Value, 105);
  grid.ProcessNotifications();
  EXPECT_EQ(owner.Kinds, (std::vector<TChangeKind>{ckMembers}));
}

TEST_F(CellFacts, RefusedOrCancelledEditsChangeNothing) {
  editor.Change = [](TvtMemoDataSet& records) {
    records.First();
    records.Edit();
    records.Fields(0).SetValue(1.0);
    records.Post();
  };
  int asked = 0;
  grid.OnEditFactTable = [&](TGridListener*, TDataSet&, bool&) { ++asked; };
  grid.EditCellFacts(0, 0);  // the handler leaves Accept false
  editor.Ok = false;
  grid.EditCellFacts(0, 0);  // the editor was cancelled
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(cube.Facts()->Value(0, 0), 10);
  EXPECT_EQ(grid.GetCellValue(0, 0).Value, 17);
  grid.EditCellFacts(1, 1);  // no records: no editor
  EXPECT_EQ(editor.Shown, 2);
  grid.ProcessNotifications();
  EXPECT_TRUE(owner.Kinds.empty());
}

TEST_F(CellFacts, InPlaceEditsWriteTheDetailsValuesBack) {
  auto details = grid.GetCellFacts(0, 0);
  ASSERT_NE(details, nullptr);
  details->First();
  details->Edit();
  details->Fields(0).SetValue(1.5);
  details->Post();
  grid.WriteCellFacts(0, *details);
  EXPECT_EQ(cube.Facts()->Value(0, 0), 1.5);
  EXPECT_EQ(cube.Facts()->Value(3, 0), 7);
  EXPECT_EQ(grid.GetCellValue(0, 0).Value, 8.5);
  grid.ProcessNotifications();
  EXPECT_EQ(owner.Kinds, (std::vector<TChangeKind>{ckMembers}));
}

// On a cube grouped in the database each record is a group: the details end
// with the facts it stands for, and neither the editor nor an in-place edit
// changes a group's sum (its power sums and extremes would no longer fit).
TEST_F(CellFacts, GroupRecordsShowTheirFactCountAndAreNotEdited) {
  WeighAsEqualFacts(*cube.Facts(), [](std::int32_t r) { return r + 1.0; });
  auto ds = grid.GetCellFacts(0, 0);  // North/2024: records 0 and 3
  ASSERT_NE(ds, nullptr);
  ASSERT_EQ(ds->FieldCount(), 4);
  EXPECT_EQ(ds->Fields(3).DisplayLabel(), "记录数");
  EXPECT_TRUE(ds->Fields(3).ReadOnly());
  ds->First();
  EXPECT_EQ(ds->Fields(0).AsFloat(), 10);
  EXPECT_EQ(ds->Fields(3).AsInteger(), 1);
  ds->Last();
  EXPECT_EQ(ds->Fields(3).AsInteger(), 4);

  bool readOnly = false;
  editor.Change = [&](TvtMemoDataSet& records) { readOnly = records.Fields(0).ReadOnly(); };
  int asked = 0;
  grid.OnEditFactTable = [&](TGridListener*, TDataSet&, bool& accept) { accept = ++asked > 0; };
  grid.EditCellFacts(0, 0);
  EXPECT_EQ(editor.Shown, 1);
  EXPECT_TRUE(readOnly);
  EXPECT_EQ(asked, 0);
  ds->First();
  ds->Edit();
  ds->Fields(0).SetValue(1.5);
  ds->Post();
  grid.WriteCellFacts(0, *ds);
  EXPECT_EQ(cube.Facts()->Value(0, 0), 10);
  EXPECT_EQ(cube.Facts()->Value(3, 0), 7);
  grid.ProcessNotifications();
  EXPECT_TRUE(owner.Kinds.empty());
}

// A write whose aggregation fails (a member went bad behind the model's back)
// propagates the error and ends the update and the busy state.
TEST_F(CellFacts, AWriteThatCannotBeAggregatedEndsTheUpdate) {
  std::vector<bool> busy;
  grid.OnBusyChanged = [&](bool b) { busy.push_back(b); };
  auto details = grid.GetCellFacts(0, 0);
  ASSERT_NE(details, nullptr);
  cube.Facts()->SetMember(1, 1, 7);
  EXPECT_THROW(grid.WriteCellFacts(0, *details), ECubeError);
  EXPECT_EQ(grid.UpdateCount(), 0);
  EXPECT_EQ(busy, (std::vector<bool>{true, false}));
  EXPECT_FALSE(cube.IsActive());
}

// Random cubes with hierarchies and hidden members on every axis: the records
// of each cell are those whose members lie under every member named on the
// cell's row and column label paths and are visible where a filter is active.
TEST(CellFactRecords, MatchAScanDrivenByTheLabelPaths) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    TTestCube cube;
    const int dims = pick(2, 4);
    for (int d = 0; d < dims; ++d) {
      const int members = pick(1, 5);
      std::vector<std::string> captions;
      std::vector<int> parents;
      const bool hierarchy = pick(0, 1) == 0;
      for (int m = 0; m < members; ++m) {
        captions.push_back("d" + std::to_string(d) + "m" + std::to_string(m));
        if (hierarchy) parents.push_back(m == 0 || pick(0, 2) == 0 ? -1 : pick(0, m - 1));
      }
      cube.AddDim("D" + std::to_string(d), captions, static_cast<TDimGroup>(pick(0, 2)), parents);
    }
    cube.AddSummary("V");
    for (int r = pick(0, 40); r > 0; --r) {
      std::vector<int> members;
      for (const auto& d : cube.Dims())
        members.push_back(pick(0, static_cast<int>(d->TextKeys.size()) - 1));
      cube.AddFact(members, {static_cast<double>(pick(1, 9))});
    }
    cube.Activate();
    TGridInfo grid;
    grid.SetCube(&cube);
    for (int d = 0; d < grid.DimensionStateCount(); ++d) {
      TDimensionState& s = grid.DimensionState(d);
      for (int node = 0; node < s.NodeCount(); ++node)
        if (pick(0, 5) == 0) s.Node(node).Visible = false;
      s.UpdateFilterActive();
    }
    grid.Aggregation().DropActive();
    grid.BeginUpdate();
    grid.EndUpdate(ckAxes);
    for (int axis = 0; axis < 2; ++axis)
      for (int d : grid.AxisDims(static_cast<TDimGroup>(axis)))
        grid.ExpandAll(grid.DimensionState(d));

    const TFactTable& facts = *cube.Facts();
    auto under = [&](const TDimensionState& s, int node, int target) {
      for (; node >= 0; node = s.ParentNode(node))
        if (node == target) return true;
      return false;
    };
    for (int row = 0; row < grid.RowLineCount(); ++row)
      for (int column = 0; column < grid.DataColumnCount(); ++column) {
        std::vector<std::int32_t> expected;
        for (std::int32_t r = 0; r < facts.RecordCount(); ++r) {
          bool in = true;
          for (const TLabelNode* line : {grid.GetRowLine(row), grid.GetColumnLine(column)})
            for (const TLabelNode* n = line; n && in; n = n->Parent)
              if (!n->IsTotal())
                in = under(*n->State, n->State->NodeOfMember(facts.Member(r, n->DimIndex)),
                           n->Member);
          for (int d = 0; d < grid.DimensionStateCount() && in; ++d) {
            const TDimensionState& s = grid.DimensionState(d);
            in = !s.FilterActive || s.IsNodeVisible(s.NodeOfMember(facts.Member(r, d)));
          }
          if (in) expected.push_back(r);
        }
        ASSERT_EQ(grid.GetCellFactRecords(row, column), expected) << row << "," << column;
      }
    if (::testing::Test::HasFailure()) break;
  }
}

}  // namespace
}  // namespace qd::test
