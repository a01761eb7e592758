// Member order of dimension states: name sorts in the locale's collation,
// database order, custom comparisons, month names and caption attributes.
#include <algorithm>

#include <gtest/gtest.h>

#include "engine/core/locale_text.h"
#include "grid_test_cube.h"
#include "model/member_order.h"

namespace qd::test {
namespace {

using enum TDimGroup;

std::vector<std::string> RowCaptions(TGridInfo& grid) {
  std::vector<std::string> out;
  for (int r = 0; r < grid.RowLineCount(); ++r)
    if (const TLabelNode* line = grid.GetRowLine(r)) out.push_back(grid.GetNodeCaption(*line));
  return out;
}

// One row dimension with the given captions, every member with one fact.
class MemberOrder : public ::testing::Test {
 protected:
  void Build(std::vector<std::string> captions) {
    const int n = static_cast<int>(captions.size());
    cube.AddDim("City", std::move(captions), dgRow);
    cube.AddSummary("Amount");
    for (int m = 0; m < n; ++m) cube.AddFact({m}, {1.0 + m});
    cube.Activate();
    grid.SetCube(&cube);
  }
  TDimensionState& City() { return grid.DimensionState(0); }

  TTestCube cube;
  TGridInfo grid;
};

TEST_F(MemberOrder, NameSortsFollowPinyinAndKeepCase) {
  Build({"天津", "上海", "重庆", "北京", "b", "B", "a", "A", "10", "9"});
  grid.SetSortType(City(), TDimSortType::dsNameAsc, true);
  const std::vector<std::string> ascending = {"10",   "9",    "a",    "A",    "b",    "B",
                                              "北京", "重庆", "上海", "天津", "Total"};
  EXPECT_EQ(RowCaptions(grid), ascending);

  grid.SetSortType(City(), TDimSortType::dsNameDesc, true);
  std::vector<std::string> descending(ascending.rbegin() + 1, ascending.rend());
  descending.push_back("Total");
  EXPECT_EQ(RowCaptions(grid), descending);
}

TEST_F(MemberOrder, CaptionComparisonIsATotalOrderSearchesCanUse) {
  std::vector<std::string> captions = {"重庆", "Zürich", "zurich", "北京", "上海", "Ａ",
                                       "A",    "a",      "a\x01",  "",     "天津", "z"};
  std::sort(captions.begin(), captions.end(), [](const std::string& a, const std::string& b) {
    return CompareCaptionText(a, b) < 0;
  });
  for (std::size_t i = 0; i < captions.size(); ++i) {
    EXPECT_EQ(CompareCaptionText(captions[i], captions[i]), 0);
    for (std::size_t j = i + 1; j < captions.size(); ++j) {
      EXPECT_LT(CompareCaptionText(captions[i], captions[j]), 0)
          << captions[i] << " " << captions[j];
      EXPECT_GT(CompareCaptionText(captions[j], captions[i]), 0);
    }
    const auto found = std::lower_bound(
        captions.begin(), captions.end(), captions[i],
        [](const std::string& a, const std::string& b) { return CompareCaptionText(a, b) < 0; });
    EXPECT_EQ(found - captions.begin(), static_cast<std::ptrdiff_t>(i));
  }
}

TEST_F(MemberOrder, DatabaseOrderUsesTheSortKeys) {
  Build({"x", "y", "z"});
  cube.Dims()[0]->DatabaseOrder = {2, 0, 1};
  cube.Notify(TCubeChange::ccFactsRefreshed);  // member trees rebuilt with the new keys
  grid.SetSortType(City(), TDimSortType::dsNameDesc, true);
  grid.SetSortType(City(), TDimSortType::dsDatabase, true);
  EXPECT_EQ(RowCaptions(grid), (std::vector<std::string>{"y", "z", "x", "Total"}));
}

TEST_F(MemberOrder, CustomOrderNeedsAHandlerAndKeepsTiesInNodeOrder) {
  Build({"三月", "一月", "十二月", "其它", "二月", "Total?"});
  grid.SetSortType(City(), TDimSortType::dsCustom, true);
  EXPECT_EQ(RowCaptions(grid), (std::vector<std::string>{"三月", "一月", "十二月", "其它", "二月",
                                                         "Total?", "Total"}));

  int calls = 0;
  grid.OnCompareDimensionMembers = [&](const TDimensionState&, int, int) {
    ++calls;
    return 0;
  };
  grid.SetSortType(City(), TDimSortType::dsCustom, true);
  EXPECT_GT(calls, 0);
  EXPECT_EQ(RowCaptions(grid), (std::vector<std::string>{"三月", "一月", "十二月", "其它", "二月",
                                                         "Total?", "Total"}));

  // The application's handler for a month dimension; names that are no month
  // (number -1) come first, in node order.
  grid.OnCompareDimensionMembers = CompareMonthNames;
  grid.SetSortType(City(), TDimSortType::dsCustom, true);
  EXPECT_EQ(RowCaptions(grid), (std::vector<std::string>{"其它", "Total?", "一月", "二月", "三月",
                                                         "十二月", "Total"}));

  // A handler that answers at random must not break the sort.
  unsigned seed = 7;
  grid.OnCompareDimensionMembers = [&](const TDimensionState&, int, int) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % 3) - 1;
  };
  grid.SetSortType(City(), TDimSortType::dsCustom, true);
  auto shown = RowCaptions(grid);
  std::sort(shown.begin(), shown.end());
  EXPECT_EQ(shown.size(), 7u);
  EXPECT_TRUE(std::adjacent_find(shown.begin(), shown.end()) == shown.end());
}

TEST_F(MemberOrder, MonthNamesAndCaptionsCompareAsTheLocaleDoes) {
  Build({"一月", "十一月", "二月", "March", "2024", "2025"});
  ASSERT_EQ(LongMonthNames().size(), 12u);
  EXPECT_EQ(LongMonthNames().front(), "一月");
  EXPECT_EQ(LongMonthNames().back(), "十二月");
  EXPECT_EQ(LongMonthNumber("十一月"), 11);
  EXPECT_EQ(LongMonthNumber("11月"), -1);
  const TDimensionState& s = City();
  EXPECT_EQ(CompareMonthNames(s, 0, 1), -1);  // 一月 < 十一月, though 十 sorts before 一 by name
  EXPECT_EQ(CompareMonthNames(s, 1, 2), 1);
  EXPECT_EQ(CompareMonthNames(s, 0, 0), 0);
  EXPECT_EQ(CompareMonthNames(s, 3, 0), -1);  // no month of the locale: -1
  EXPECT_EQ(CompareMonthNames(s, 3, 4), 0);
  EXPECT_EQ(CompareCaptions(s, 4, 5), -1);
  EXPECT_EQ(CompareCaptions(s, 5, 4), 1);
  EXPECT_EQ(CompareCaptions(s, 0, 0), 0);
  EXPECT_EQ(GetFieldName(s), "City");
  EXPECT_EQ(GetMemberCaption(s, 1), "十一月");
  EXPECT_EQ(GetMemberCaption(s, 99), "");
}

TEST_F(MemberOrder, AttributesRelabelMembersAndGroupCopies) {
  TDimension& d = cube.AddDim("City", {"k0", "k1", "k2"}, dgRow);
  const int zh = d.Attributes.Add("ZH");
  d.Attributes.Values(zh) = {"上海", "北京", "天津"};
  const int empty = d.Attributes.Add("Empty");
  (void)empty;
  cube.AddSummary("Amount");
  for (int m = 0; m < 3; ++m) cube.AddFact({m}, {1.0});
  cube.Activate();
  grid.SetCube(&cube);
  grid.MoveMemberToGroup(*grid.RowTree().at(2), 0);  // k2 into "其它"

  grid.SetAttribute(City(), "ZH", false);
  EXPECT_EQ(City().Attribute, "ZH");
  EXPECT_EQ(City().Node(0).Caption, "k0");  // stored only

  grid.SetSortType(City(), TDimSortType::dsNameAsc, false);
  grid.SetAttribute(City(), "ZH", true);
  EXPECT_EQ(RowCaptions(grid), (std::vector<std::string>{"北京", "其它", "上海", "Total"}));
  EXPECT_EQ(City().Node(City().NodeOfMember(2)).Caption, "天津");  // the copy in the group
  EXPECT_EQ(City().Groups[0]->Caption, "其它");

  grid.SetAttribute(City(), "Empty", true);  // an attribute without values: text keys
  EXPECT_EQ(City().Node(0).Caption, "k0");
}

}  // namespace
}  // namespace qd::test
