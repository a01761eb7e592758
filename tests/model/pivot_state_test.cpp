// Pivot states: their stream form, capturing and applying layouts, and the
// model's named states.
#include "model/pivot_state.h"

#include <gtest/gtest.h>

#include "../engine/stream_test_support.h"
#include "engine/core/errors.h"
#include "grid_test_cube.h"
#include "model/grid_dump.h"

namespace qd::test {
namespace {

template <class T>
std::vector<std::uint8_t> Bytes(const T& object) {
  TMemoryStream s;
  TTagWriter w(s);
  object.Write(w);
  EXPECT_EQ(static_cast<std::int32_t>(s.Size()), object.Size());
  return s.Buffer();
}

bool Contains(const std::vector<std::uint8_t>& bytes, const std::vector<std::uint8_t>& part) {
  return std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

template <class T>
T Parse(const std::vector<std::uint8_t>& bytes) {
  T object;
  TTagReader r(bytes);
  object.Read(r);
  EXPECT_TRUE(r.AtEnd());
  return object;
}

TPivotState SampleState() {
  TPivotState s;
  s.RowDims = {"Region", "城市"};
  s.ColDims = {"Year"};
  s.RowExpansion = {{3, 1, 0, true, {{0, 2, 0, false, {}}}}, {1, 1, 2, false, {}}};
  TStreamedDimState& d = s.DimStates.emplace_back();
  d.FieldName = "Region";
  d.DisplayName = "地区";
  d.SortType = 2;
  d.Group = 1;
  d.Multiplier = std::int64_t{1} << 40;
  d.TotalAppearance = 2;
  d.Attribute = "Code";
  d.Members.IdentifiedByText = true;
  TSaveMember header;
  header.IsGroupHeader = true;
  header.GroupCaption = "其它";
  d.Members.Items = {header, {}, {}};
  d.Members.Items[1].TextKey = "北";
  d.Members.Items[1].InGroup = true;
  d.Members.Items[1].Hidden = true;
  d.Members.Items[2].MemberKey = -70000;
  s.DimStates.emplace_back().FieldName = "Year";
  TStreamedSumInfo& sum = s.Summaries.Items.emplace_back();
  sum.Calculated = true;
  sum.Formula = "[V] * 2";
  sum.DisplayName = "双倍";
  sum.Functions.resize(16);
  for (auto& f : sum.Functions) f.SubFunctions.resize(9);
  sum.Functions[3].SubFunctions[8] = {};
  sum.Functions[3].SubFunctions[8].Visible = true;
  sum.Functions[3].SubFunctions[8].FormatString = std::string(300, '#');
  sum.Functions[3].SubFunctions[8].Alignment = 2;
  return s;
}

void ExpectSame(const TPivotState& a, const TPivotState& b) {
  EXPECT_TRUE(a == b);
  EXPECT_EQ(a.RowDims, b.RowDims);
  EXPECT_EQ(a.ColDims, b.ColDims);
  EXPECT_EQ(a.RowExpansion, b.RowExpansion);
  EXPECT_EQ(a.ColExpansion, b.ColExpansion);
  EXPECT_EQ(a.DimStates, b.DimStates);
  EXPECT_EQ(a.Summaries, b.Summaries);
}

TEST(PivotStateStream, FieldsAreWrittenOnlyUnderTheirConditions) {
  // Defaults: only the begin and end tags.
  EXPECT_EQ(Bytes(TSaveMember()), (std::vector<std::uint8_t>{0x00, 0x0A, 0xFF, 0x0A}));
  EXPECT_EQ(Bytes(TStreamedSubFunction()), (std::vector<std::uint8_t>{0x00, 0x11, 0xFF, 0x11}));
  // Names and the attribute are written even when empty.
  TStreamedDimState d;
  d.FieldName = "a";
  EXPECT_EQ(Bytes(d), (std::vector<std::uint8_t>{0x00, 0x0C, 0x05, 0x0C, 15, 1, 'a', 0x0A, 0x0C, 15,
                                                 0, 0x23, 0x0C, 15, 0, 0xFF, 0x0C}));
  // A multiplier that fits 32 bits is a plain integer; GB18030 strings.
  d.Multiplier = 128;
  d.DisplayName = "维";
  const auto b = Bytes(d);
  EXPECT_TRUE(Contains(b, {0x19, 0x0C, 5, 0x80, 0x00}));
  EXPECT_TRUE(Contains(b, {0x0A, 0x0C, 15, 2, 0xCE, 0xAC}));
  // Empty lists write nothing: no states, no names, no expansion.
  EXPECT_TRUE(Bytes(TPivotStates()).empty());
  EXPECT_TRUE(Bytes(TStreamedSummarySettings()).empty());
  EXPECT_EQ(Bytes(TPivotState()), (std::vector<std::uint8_t>{0x00, 0x06, 0xFF, 0x06}));
}

TEST(PivotStateStream, StatesRoundTripWithEveryField) {
  const TPivotState s = SampleState();
  ExpectSame(Parse<TPivotState>(Bytes(s)), s);

  TPivotStates states;
  states.Add("日报", s);
  states.Add("Empty", TPivotState());
  const auto back = Parse<TPivotStates>(Bytes(states));
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.Name(0), "日报");
  EXPECT_EQ(back.Name(1), "Empty");
  ExpectSame(back.State(0), s);
  EXPECT_EQ(back.IndexOf("empty"), 1);
  EXPECT_EQ(back.IndexOf("none"), -1);
}

// Named states in which every stored field of every layout class is set to a
// value that is written, each value different from the others.
TPivotStates EveryStoredField() {
  TPivotState s = SampleState();
  s.RowExpansion[0].Children[0].DimIndex = 5;
  s.ColExpansion = {{7, 3, 1, false, {}}};
  TSaveMember& m = s.DimStates[0].Members.Items[2];
  m.TextKey = "键";
  m.GroupCaption = "组";
  m.GroupIndex = 4;
  m.Reserved = 11;
  m.IsGroupHeader = true;
  TStreamedSumInfo& plain = s.Summaries.Items.emplace_back();
  plain.FieldName = "Amount";
  plain.DisplayName = "金额";
  plain.Functions.resize(16);
  for (auto& f : plain.Functions) f.SubFunctions.resize(9);
  plain.Functions[0].SubFunctions[0] = {};
  plain.Functions[0].SubFunctions[0].Visible = true;
  plain.Functions[15].SubFunctions[1].FormatString = "0.00";
  plain.Functions[15].SubFunctions[1].Alignment = 1;
  TPivotStates states;
  states.Add("日报", s);
  states.Add("空", TPivotState());
  return states;
}

TEST(PivotStateStream, EveryStoredFieldKeepsItsGoldenBytesAndReadsBackWhole) {
  const TPivotStates states = EveryStoredField();
  const auto bytes = Bytes(states);
  ExpectGolden("pivot_states.bin", bytes);
  const auto back = Parse<TPivotStates>(bytes);
  EXPECT_TRUE(back == states);
  EXPECT_EQ(Bytes(back), bytes);
}

TEST(PivotStateStream, UnknownFieldsAreSkippedAndDamageIsAStreamError) {
  // An unknown string field and an unknown object field inside a save member.
  std::vector<std::uint8_t> b = {0x00, 0x0A, 0x50, 0x0A, 15, 2, 'x',  'y',  0x55, 0x0A, 19,   3,
                                 0,    0,    0,    1,    2,  3, 0x05, 0x0A, 4,    7,    0xFF, 0x0A};
  EXPECT_EQ(Parse<TSaveMember>(b).MemberKey, 7);

  const auto bytes = Bytes(SampleState());
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + n);
    TPivotState s;
    TTagReader r(cut);
    EXPECT_THROW(s.Read(r), EStreamError) << n;
  }
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    auto bad = bytes;
    bad[i] ^= 0xFF;
    TPivotState s;
    TTagReader r(bad);
    try {
      s.Read(r);
    } catch (const Exception&) {
    }
  }
}

TEST(PivotStateStream, DeepExpansionIsRefused) {
  TOpenDimNodes nodes{{}};
  TOpenDimNode* at = &nodes[0];
  for (int i = 0; i < 300; ++i) {
    at->Children.push_back({});
    at = &at->Children[0];
  }
  TMemoryStream s;
  TTagWriter w(s);
  WriteOpenDimNodes(w, nodes);
  TOpenDimNodes back;
  TTagReader r(s.Bytes());
  EXPECT_THROW(ReadOpenDimNodes(r, back), EStreamError);
}

// Region (N, S, E, W) on rows, Year on columns, Kind on pages.
struct TStateGrid {
  TTestCube Cube;
  TGridInfo Grid;
  TStateGrid() {
    Cube.AddDim("Region", {"N", "S", "E", "W"}, TDimGroup::dgRow);
    Cube.AddDim("Year", {"2024", "2025"}, TDimGroup::dgCol);
    Cube.AddDim("Kind", {"a", "b"}, TDimGroup::dgPage);
    Cube.AddSummary("V");
    Cube.AddSummary("W");
    int v = 1;
    for (int r = 0; r < 4; ++r)
      for (int y = 0; y < 2; ++y)
        for (int k = 0; k < 2; ++k) Cube.AddFact({r, y, k}, {double(v++), 1});
    Cube.Activate();
    Grid.SetCube(&Cube);
  }
  TDimensionState& Region() { return Grid.DimensionState(0); }
};

TEST(PivotStateApply, ALayoutComesBackAsCaptured) {
  TStateGrid g;
  TGridInfo& grid = g.Grid;
  grid.MoveDim(2, TDimGroup::dgRow, 1);  // Kind under Region
  grid.SetTotalAppearance(g.Region(), TTotalAppearance::taFirst);
  grid.ExpandNode(*grid.RowTree()[1], 0, false);
  TSummaryInfo& calc = grid.SummarySettings().Add();
  calc.FieldName = calc.DisplayName = "Twice";
  calc.SetFormula("[V]*2");
  grid.SummarySettings().Items(0).Function(2).SubFunction(3).Visible = true;
  grid.SummarySettings().Items(0).Function(2).SubFunction(3).Alignment = TAlignment::taCenter;
  grid.SummarySettings().Renumber();
  grid.BeginUpdate();
  grid.EndUpdate(ckCube);
  const std::string before = DumpGrid(grid);
  const TPivotState saved = grid.CaptureState();
  EXPECT_EQ(saved.RowDims, (std::vector<std::string>{"Region", "Kind"}));
  EXPECT_EQ(saved.ColDims, (std::vector<std::string>{"Year"}));
  ASSERT_EQ(saved.RowExpansion.size(), 1u);
  EXPECT_EQ(saved.RowExpansion[0].DimIndex, 0);
  ASSERT_EQ(saved.Summaries.Items.size(), 3u);
  EXPECT_TRUE(saved.Summaries.Items[2].Calculated);
  EXPECT_EQ(saved.Summaries.Items[2].Formula, "[V]*2");
  EXPECT_TRUE(saved.Summaries.Items[2].FieldName.empty());

  // Undo everything, then apply the saved layout.
  grid.MoveDim(2, TDimGroup::dgPage, 0);
  grid.MoveDim(0, TDimGroup::dgCol, 0);
  grid.SetTotalAppearance(g.Region(), TTotalAppearance::taInvisible);
  grid.SummarySettings().Delete(2);
  grid.SummarySettings().Items(0).Function(2).SubFunction(3).Visible = false;
  ASSERT_NE(DumpGrid(grid), before);
  grid.ProcessNotifications();
  TRecorder listener;
  grid.AddListener(&listener);
  grid.ApplyState(Parse<TPivotState>(Bytes(saved)));
  grid.ProcessNotifications();
  EXPECT_EQ(listener.Kinds, (std::vector<TChangeKind>{ckCube, ckStateApplied}));
  EXPECT_EQ(DumpGrid(grid), before);
  ExpectSame(grid.CaptureState(), saved);
  EXPECT_EQ(grid.SummarySettings().Items(0).Function(2).SubFunction(3).Alignment,
            TAlignment::taCenter);
  grid.RemoveListener(&listener);
}

TEST(PivotStateApply, UnknownNamesAreSkippedAndTheRestGoesToPages) {
  TStateGrid g;
  TGridInfo& grid = g.Grid;
  TSummaryInfo& old = grid.SummarySettings().Add();
  old.FieldName = old.DisplayName = "Old";
  old.SetFormula("[V]");
  TPivotState s;
  s.RowDims = {"nowhere", "year", "YEAR"};
  s.DimStates.emplace_back().FieldName = "Gone";
  TStreamedDimState& region = s.DimStates.emplace_back();
  region.FieldName = "REGION";
  region.DisplayName = "地区";
  region.Members.Items.resize(1);
  region.Members.Items[0].MemberKey = 99;  // no such member
  region.Members.Items[0].Hidden = true;
  TStreamedSumInfo& plain = s.Summaries.Items.emplace_back();
  plain.FieldName = "w";
  plain.DisplayName = "重量";
  TStreamedSumInfo& gone = s.Summaries.Items.emplace_back();
  gone.FieldName = "NotInCube";
  TStreamedSumInfo& calc = s.Summaries.Items.emplace_back();
  calc.Calculated = true;
  calc.DisplayName = "New";
  calc.Formula = " [W] + 1 ";
  grid.ApplyState(s);
  EXPECT_EQ(grid.RowDims(), (std::vector<int>{1}));
  EXPECT_TRUE(grid.ColDims().empty());
  EXPECT_EQ(grid.PageDims(), (std::vector<int>{0, 2}));
  EXPECT_EQ(g.Region().Group, TDimGroup::dgPage);
  EXPECT_EQ(g.Region().DisplayName, "地区");
  EXPECT_FALSE(g.Region().FilterActive);
  const TSummarySettings& settings = grid.SummarySettings();
  ASSERT_EQ(settings.Count(), 3);
  EXPECT_EQ(settings.Items(0).DisplayName, "V");
  EXPECT_EQ(settings.Items(1).DisplayName, "重量");
  EXPECT_EQ(settings.Items(2).FieldName, "New");
  EXPECT_EQ(settings.Items(2).Formula(), "[W] + 1");
  EXPECT_TRUE(settings.Items(2).IsCalculated());
  EXPECT_EQ(settings.Items(2).Id, 2);
  EXPECT_EQ(grid.RowLineCount(), 3);  // 2024, 2025, Total
}

TEST(PivotStateApply, HiddenMembersInsideGroupsComeBackInTheirGroup) {
  TStateGrid g;
  TGridInfo& grid = g.Grid;
  TPivotState s = grid.CaptureState();
  TSaveMembers& members = s.DimStates[0].Members;
  ASSERT_TRUE(members.IdentifiedByText);
  ASSERT_EQ(members.Items.size(), 1u);  // the group "其它"
  TSaveMember h;
  h.IsGroupHeader = true;
  h.GroupCaption = "南方";
  h.GroupIndex = 1;
  members.Items.push_back(h);
  members.Items[0].GroupCaption = "其余";
  for (const char* key : {"S", "W"}) {
    TSaveMember m;
    m.TextKey = key;
    m.InGroup = true;
    m.GroupIndex = 1;
    m.Hidden = std::string(key) == "W";
    members.Items.push_back(m);
  }
  TSaveMember e;
  e.TextKey = "E";
  e.Hidden = true;
  members.Items.push_back(e);
  grid.ApplyState(s);

  const TDimensionState& region = g.Region();
  ASSERT_EQ(region.Groups.size(), 2u);
  EXPECT_EQ(region.Groups[0]->Caption, "其余");
  EXPECT_EQ(region.Groups[1]->Caption, "南方");
  ASSERT_EQ(region.Groups[1]->Children.size(), 2u);
  EXPECT_EQ(region.Groups[1]->Children[0]->Caption, "S");
  EXPECT_TRUE(region.Groups[1]->Children[0]->Visible);
  EXPECT_EQ(region.Groups[1]->Children[1]->Caption, "W");
  EXPECT_FALSE(region.Groups[1]->Children[1]->Visible);
  ASSERT_EQ(region.Members.size(), 2u);  // N and the hidden E
  EXPECT_FALSE(region.Members[1]->Visible);
  EXPECT_TRUE(region.FilterActive);

  // Captured again: headers, grouped members, then hidden members.
  const TSaveMembers again = grid.CaptureState().DimStates[0].Members;
  EXPECT_EQ(again, members);
  // And the same after a trip through the stream into a fresh model.
  TGridInfo other;
  other.SetCube(&g.Cube);
  other.ApplyState(Parse<TPivotState>(Bytes(grid.CaptureState())));
  EXPECT_EQ(other.CaptureState().DimStates[0].Members, members);
  EXPECT_EQ(DumpGrid(other), DumpGrid(grid));
}

TEST(PivotStates, NamedStatesKeepTheirSpellingAndFireEvents) {
  TStateGrid g;
  TGridInfo& grid = g.Grid;
  std::vector<std::string> events;
  grid.OnPivotStateSaved = [&](TGridInfo* sender, const std::string& name) {
    EXPECT_EQ(sender, &grid);
    events.push_back("saved " + name);
  };
  grid.OnPivotStateDeleted = [&](TGridInfo*, const std::string& name) {
    events.push_back("deleted " + name);
  };
  grid.SavePivotState("Daily");
  grid.MoveDim(1, TDimGroup::dgRow, 1);
  grid.SavePivotState("DAILY");  // overwrites, keeps the first spelling
  EXPECT_EQ(grid.PivotStates().Count(), 1);
  EXPECT_EQ(grid.CurrentPivotState(), "Daily");
  EXPECT_EQ(grid.PivotStates().State(0).RowDims.size(), 2u);
  grid.MoveDim(1, TDimGroup::dgCol, 0);
  grid.SavePivotState("Wide");
  EXPECT_EQ(grid.PivotStateIndex("wide"), 1);

  // Restoring the current state does nothing; another one applies it.
  grid.MoveDim(0, TDimGroup::dgPage, 0);
  grid.RestorePivotState("WIDE");
  EXPECT_TRUE(grid.RowDims().empty());
  grid.RestorePivotState("daily");
  EXPECT_EQ(grid.CurrentPivotState(), "Daily");
  EXPECT_EQ(grid.RowDims(), (std::vector<int>{0, 1}));
  grid.RestorePivotState("");
  EXPECT_EQ(grid.CurrentPivotState(), "");
  grid.RestorePivotState("missing");
  EXPECT_EQ(grid.CurrentPivotState(), "");

  grid.RestorePivotState("Wide");
  grid.DeletePivotState("Daily");
  EXPECT_EQ(grid.CurrentPivotState(), "Wide");
  grid.DeletePivotState("wIDE");
  grid.DeletePivotState("missing");
  EXPECT_EQ(grid.CurrentPivotState(), "");
  EXPECT_EQ(events, (std::vector<std::string>{"saved Daily", "saved Daily", "saved Wide",
                                              "deleted Daily", "deleted Wide"}));

  // States go when the cube closes.
  grid.SavePivotState("x");
  g.Cube.Deactivate();
  EXPECT_EQ(grid.PivotStates().Count(), 0);
  EXPECT_EQ(grid.CurrentPivotState(), "");
}

}  // namespace
}  // namespace qd::test
