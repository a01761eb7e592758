// The chart's working data over grid models of small in-memory cubes, without
// widgets: categories and series, totals, filters, zero points, colours,
// order and the plan the renderer draws.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "tests/model/grid_test_cube.h"
#include "view/chart/chart_data.h"

namespace qd::test {
namespace {

// A category dimension on rows and a series dimension on columns, each fact
// one cell: values[s][c] of series s at category c; NaN leaves the cell empty.
class ChartMatrix : public ::testing::Test {
 protected:
  void Build(const std::vector<std::string>& categories, const std::vector<std::string>& series,
             const std::vector<std::vector<double>>& values) {
    cube.AddDim("Cat", categories, TDimGroup::dgRow);
    cube.AddDim("Ser", series, TDimGroup::dgCol);
    cube.AddSummary("Amount");
    for (int s = 0; s < static_cast<int>(values.size()); ++s)
      for (int c = 0; c < static_cast<int>(values[s].size()); ++c)
        if (!std::isnan(values[s][c])) cube.AddFact({c, s}, {values[s][c]});
    cube.Activate();
    model.SetCube(&cube);
  }
  void Rebuild() { data.Rebuild(&model); }
  //! Visible flags by "series/category".
  std::map<std::string, bool> Visible() const {
    std::map<std::string, bool> out;
    for (const auto& s : data.Series())
      for (const auto& c : data.Categories())
        out[s.Name + "/" + c.Name] = s.Points[static_cast<std::size_t>(c.Point)].Visible;
    return out;
  }
  std::vector<std::string> VisibleNames() const {
    std::vector<std::string> out;
    for (const auto& [name, visible] : Visible())
      if (visible) out.push_back(name);
    return out;
  }
  TColor ColorOf(const std::string& series, const std::string& category) const {
    for (const auto& s : data.Series())
      for (const auto& c : data.Categories())
        if (s.Name == series && c.Name == category)
          return s.Points[static_cast<std::size_t>(c.Point)].Color;
    ADD_FAILURE() << series << "/" << category;
    return 0;
  }

  TTestCube cube;
  TGridInfo model;
  TChartData data;
};

const double kNone = std::nan("");
constexpr int kRegionDim = 0, kProductDim = 1, kYearDim = 2;

class ChartSales : public ::testing::Test {
 protected:
  void SetUp() override {
    AddSampleSales(cube);
    cube.Activate();
    model.SetCube(&cube);
  }
  TLabelNode* RowLabel(const std::string& caption) {
    for (const auto& n : model.RowTree())
      if (model.GetNodeCaption(*n) == caption) return n.get();
    return nullptr;
  }
  std::vector<std::string> CategoryNames() const {
    std::vector<std::string> out;
    for (const auto& c : data.Categories()) out.push_back(c.Name);
    return out;
  }
  std::vector<std::string> SeriesNames() const {
    std::vector<std::string> out;
    for (const auto& s : data.Series()) out.push_back(s.Name);
    return out;
  }
  std::vector<double> Values(int series) const {
    std::vector<double> out;
    for (const auto& c : data.Categories())
      out.push_back(data.Series()[static_cast<std::size_t>(series)]
                        .Points[static_cast<std::size_t>(c.Point)]
                        .Value);
    return out;
  }

  TTestCube cube;
  TGridInfo model;
  TChartData data;
};

TEST_F(ChartSales, TakesMembersOfTheFirstDimensionsWithoutTotals) {
  for (TTotalAppearance totals : {TTotalAppearance::taFirst, TTotalAppearance::taLast}) {
    model.SetTotalAppearance(model.DimensionState(kRegionDim), totals);
    model.SetTotalAppearance(model.DimensionState(kYearDim), totals);
    data.Rebuild(&model);
    EXPECT_EQ(CategoryNames(), (std::vector<std::string>{"North", "南方"}));
    EXPECT_EQ(SeriesNames(), (std::vector<std::string>{"2024", "2025"}));
    EXPECT_EQ(Values(0), (std::vector<double>{10, 5}));
    EXPECT_EQ(Values(1), (std::vector<double>{20.5, 7}));
  }
  EXPECT_EQ(data.ValueTitle(), "Amount (Sum)");
  EXPECT_EQ(data.CategoryTitle(), "Region");

  data.Settings.UseDimension = TvtDimensionType::vtcColumns;
  data.Settings.ControlSummaryName = "qty";
  data.Rebuild(&model);
  EXPECT_EQ(CategoryNames(), (std::vector<std::string>{"2024", "2025"}));
  EXPECT_EQ(SeriesNames(), (std::vector<std::string>{"North", "南方"}));
  EXPECT_EQ(Values(0), (std::vector<double>{1, 2}));
  EXPECT_EQ(data.ValueTitle(), "Qty (Sum)");
  EXPECT_EQ(data.CategoryTitle(), "Year");
}

TEST_F(ChartSales, TotalSeriesHoldsEachCategorysTotalWhateverIsExpanded) {
  model.SetTotalAppearance(model.DimensionState(kYearDim), TTotalAppearance::taFirst);
  data.Settings.TotalDimension = true;
  data.Rebuild(&model);
  ASSERT_EQ(data.Series().size(), 1u);
  EXPECT_EQ(Values(0), (std::vector<double>{30.5, 12}));
  // The first data cell now lies under North > Apple: a total over the years
  // must still hold every product of the region.
  model.ExpandNode(*RowLabel("North"), 0, false);
  model.ExpandNode(*RowLabel("南方"), 0, false);
  data.Rebuild(&model);
  EXPECT_EQ(Values(0), (std::vector<double>{30.5, 12}));
  const TChartPlan plan = data.Plan();
  ASSERT_EQ(plan.Series.size(), 1u);
  EXPECT_EQ(plan.Series[0].Title, "");
}

TEST_F(ChartSales, StaysEmptyWithoutADimensionOrAShownSummary) {
  model.MoveDim(kYearDim, TDimGroup::dgPage, 0);
  data.Rebuild(&model);
  EXPECT_TRUE(data.Empty());
  EXPECT_TRUE(data.Plan().Series.empty());
  model.MoveDim(kYearDim, TDimGroup::dgCol, 0);
  model.MoveDim(kRegionDim, TDimGroup::dgPage, 0);
  model.MoveDim(kProductDim, TDimGroup::dgPage, 0);
  data.Rebuild(&model);
  EXPECT_TRUE(data.Empty());

  model.MoveDim(kRegionDim, TDimGroup::dgRow, 0);
  for (int s = 0; s < model.SummarySettings().Count(); ++s)
    model.SummarySettings().Items(s).SetVisible(false);
  data.Rebuild(&model);
  EXPECT_TRUE(data.Empty());
  data.Rebuild(nullptr);
  EXPECT_TRUE(data.Empty());
}

TEST_F(ChartSales, HiddenMembersAreNoCategories) {
  model.HideFollowingMembers(*RowLabel("North"), 0);
  data.Rebuild(&model);
  EXPECT_EQ(CategoryNames(), (std::vector<std::string>{"North"}));
}

TEST_F(ChartSales, SortsByNameValueAndGridOrder) {
  data.Settings.UseDimension = TvtDimensionType::vtcColumns;
  model.MoveDim(kYearDim, TDimGroup::dgRow, 0);
  model.MoveDim(kRegionDim, TDimGroup::dgCol, 0);
  data.Rebuild(&model);  // categories: Region on the columns
  ASSERT_EQ(CategoryNames(), (std::vector<std::string>{"North", "南方"}));
  data.Settings.SortType = TvtcSortType::vtcValue;  // first series 2024: North 10, 南方 5
  data.Sort();
  EXPECT_EQ(CategoryNames(), (std::vector<std::string>{"南方", "North"}));
  data.Settings.SortType = TvtcSortType::vtcGrid;
  data.Sort();
  EXPECT_EQ(CategoryNames(), (std::vector<std::string>{"North", "南方"}));
  EXPECT_EQ(data.Plan().Categories, CategoryNames());
}

TEST_F(ChartMatrix, NameOrderIgnoresCase) {
  Build({"beta", "Alpha", "gamma"}, {"S"}, {{1, 2, 3}});
  data.Settings.SortType = TvtcSortType::vtcName;
  Rebuild();
  EXPECT_EQ(data.Plan().Categories, (std::vector<std::string>{"Alpha", "beta", "gamma"}));
}

TEST_F(ChartMatrix, ZeroPointsAndEmptyCategories) {
  // E holds zeros in both series; D/S1 has no fact at all and counts as 0.
  Build({"A", "D", "E"}, {"S1", "S2"}, {{10, kNone, 0}, {30, 25, 0}});
  Rebuild();
  EXPECT_EQ(data.Series()[0].Points[1].Value, 0);
  EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"S1/A", "S2/A", "S2/D"}));
  TChartPlan plan = data.Plan();
  EXPECT_EQ(plan.Categories, (std::vector<std::string>{"A", "D", "E"}));
  ASSERT_EQ(plan.Series.size(), 2u);
  EXPECT_TRUE(plan.Series[0].Points[2].Null);
  EXPECT_TRUE(plan.Series[1].Points[1].Null);

  data.Settings.Filtered = true;
  data.Settings.Filter = {TvtChartFilterMode::vtfValuesBounds, -1e9, 1e9, 0};
  data.Fill();
  EXPECT_EQ(data.Plan().Categories, (std::vector<std::string>{"A", "D"}));

  data.Settings.ShowZero = true;
  data.Fill();
  EXPECT_EQ(data.Plan().Categories, (std::vector<std::string>{"A", "D", "E"}));
  EXPECT_FALSE(data.Plan().Series[0].Points[2].Null);
}

TEST_F(ChartMatrix, FiltersBoundsAndCountsAcrossSeries) {
  Build({"A", "B", "C", "D"}, {"S1", "S2"}, {{10, 20, 15, kNone}, {30, 5, 20, 25}});
  data.Settings.Filtered = true;
  data.Settings.Filter = {TvtChartFilterMode::vtfValuesBounds, 10, 20, 0};
  Rebuild();
  EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"S1/C"}));  // 10 and 20 are out
  EXPECT_EQ(data.Plan().Series.size(), 1u);                        // S2 shows nothing

  data.Settings.Filter = {TvtChartFilterMode::vtfMaxValuesCount, 0, 0, 3};
  data.Fill();  // the three largest of both series, the zero never a candidate
  EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"S1/B", "S2/A", "S2/D"}));

  data.Settings.Filter = {TvtChartFilterMode::vtfMinValuesCount, 0, 0, 2};
  data.Fill();
  EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"S1/A", "S2/B"}));

  data.Settings.Filter.ItemsCount = 0;
  data.Fill();
  EXPECT_TRUE(VisibleNames().empty());
  EXPECT_TRUE(data.Plan().Series.empty());
  EXPECT_TRUE(data.Plan().Categories.empty());
}

TEST_F(ChartMatrix, AnEqualValueDoesNotDisplaceTheLastKept) {
  Build({"A", "B"}, {"S1", "S2"}, {{20, 30}, {20, 20}});
  data.Settings.Filtered = true;
  data.Settings.Filter = {TvtChartFilterMode::vtfMaxValuesCount, 0, 0, 2};
  Rebuild();
  EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"S1/A", "S1/B"}));
  data.Settings.Filter.Mode = TvtChartFilterMode::vtfMinValuesCount;
  data.Fill();
  EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"S1/A", "S2/A"}));
}

TEST(ChartColor, HslEndpointsAndScale) {
  EXPECT_EQ(HslColor(0, 100, 50), 0x0000FFu);
  EXPECT_EQ(HslColor(120, 100, 50), 0x00FF00u);
  EXPECT_EQ(HslColor(240, 100, 50), 0xFF0000u);
  EXPECT_EQ(HslColor(0, 0, 50), 0x808080u);
  using enum TvtcColorSchema;
  EXPECT_EQ(ScaleColor(30, 5, 30, vtcHighestIsHot), clRed);
  EXPECT_EQ(ScaleColor(5, 5, 30, vtcHighestIsHot), HslColor(250, 50, 50));
  EXPECT_EQ(ScaleColor(5, 5, 30, vtcHighestIsCold), clRed);
  EXPECT_EQ(ScaleColor(7, 7, 7, vtcHighestIsCold), clRed);
  EXPECT_EQ(ScaleColor(17.5, 5, 30, vtcHighestIsHot), HslColor(125, 75, 50));
}

TEST_F(ChartMatrix, ColourScaleOverSeriesCategoriesOrAll) {
  Build({"A", "B"}, {"S1", "S2"}, {{10, 20}, {30, 40}});
  data.Settings.ColorSchemaDimension = TvtRangeType::vtrDefault;
  Rebuild();
  EXPECT_EQ(ColorOf("S1", "A"), clTeeColor);

  data.Settings.ColorSchemaDimension = TvtRangeType::vtrRows;
  data.Fill();
  EXPECT_EQ(ColorOf("S1", "B"), clRed);
  EXPECT_EQ(ColorOf("S2", "B"), clRed);
  EXPECT_EQ(ColorOf("S2", "A"), HslColor(250, 50, 50));

  data.Settings.ColorSchemaDimension = TvtRangeType::vtrColumns;
  data.Fill();
  EXPECT_EQ(ColorOf("S2", "A"), clRed);
  EXPECT_EQ(ColorOf("S1", "B"), HslColor(250, 50, 50));

  data.Settings.ColorSchemaDimension = TvtRangeType::vtrRowsCols;
  data.Settings.ColorSchema = TvtcColorSchema::vtcHighestIsCold;
  data.Fill();
  EXPECT_EQ(ColorOf("S1", "A"), clRed);
  EXPECT_EQ(ColorOf("S2", "B"), HslColor(250, 50, 50));

  // The handler sees the point's cell and has the last word.
  std::vector<TMemberKey> keys;
  data.OnColorRequest = [&keys](const TMemberKey& key, TColor& color) {
    keys.push_back(key);
    color = 0x123456;
  };
  data.Fill();
  EXPECT_EQ(ColorOf("S2", "A"), 0x123456u);
  EXPECT_EQ(keys.size(), 4u);
  EXPECT_EQ(keys[1], (TMemberKey{1, 0}));  // S1 at B: Cat node 1, Ser node 0
}

TEST_F(ChartMatrix, PlanDrawsSeriesInReverseWithTitlesPerKind) {
  Build({"A", "B", "C"}, {"S1", "S2", "S3"}, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  Rebuild();
  TChartPlan plan = data.Plan();
  ASSERT_EQ(plan.Series.size(), 3u);
  EXPECT_EQ(plan.Series[0].Title, "S3");
  EXPECT_EQ(plan.Series[2].Title, "S1");
  EXPECT_EQ(plan.Series[0].Entry, 2);
  EXPECT_EQ(plan.BottomTitle, "Cat");
  EXPECT_EQ(plan.LeftTitle, "Amount (Sum)");

  data.Settings.DefaultSeries = TvtSeries::csHorBar;
  plan = data.Plan();
  EXPECT_EQ(plan.BottomTitle, "Amount (Sum)");
  EXPECT_EQ(plan.LeftTitle, "Cat");
  data.Settings.DefaultSeries = TvtSeries::csPie;
  EXPECT_FALSE(data.Plan().SetAxisTitles);

  // A handler may hide a point: it stays as a gap.
  data.OnCanDrawItem = [](const TMemberKey& key, bool& visible) {
    if (key == TMemberKey{1, 2}) visible = false;  // S3 at B
  };
  plan = data.Plan();
  EXPECT_TRUE(plan.Series[0].Points[1].Null);
  EXPECT_FALSE(plan.Series[1].Points[1].Null);

  data.Settings.MaxDrawnCategories = 2;
  plan = data.Plan();
  EXPECT_EQ(plan.Categories.size(), 2u);
  EXPECT_EQ(plan.LeftOutCategories, 1);
  EXPECT_EQ(plan.Series[0].Points.size(), 2u);
}

// Marks are written as the grid writes the summary's values, never with an
// exponent, whatever the number's size.
TEST_F(ChartMatrix, MarksWriteTheSummarysMaskNeverAnExponent) {
  Build({"A", "B"}, {"S"}, {{12345678.9, 4115226.3}});
  Rebuild();
  TChartPlan plan = data.Plan();
  EXPECT_EQ(ChartMarkText(plan, TSeriesMarksStyle::smsValue, 0, 0), "12345678.90");
  EXPECT_EQ(ChartMarkText(plan, TSeriesMarksStyle::smsLabelValue, 0, 1), "B 4115226.30");
  EXPECT_EQ(ChartMarkText(plan, TSeriesMarksStyle::smsPercent, 0, 0), "75.00 %");
  EXPECT_EQ(ChartMarkText(plan, TSeriesMarksStyle::smsLabelPercent, 0, 1), "B 25.00 %");
  EXPECT_EQ(ChartMarkText(plan, TSeriesMarksStyle::smsLabel, 0, 1), "B");

  model.SummarySettings().Items(0).Function(0).SubFunction(0).FormatString = "#,##0.0";
  Rebuild();
  EXPECT_EQ(ChartMarkText(data.Plan(), TSeriesMarksStyle::smsValue, 0, 0), "12,345,678.9");
  model.SummarySettings().Items(0).Function(0).SubFunction(0).FormatString.clear();
  Rebuild();
  plan = data.Plan();
  EXPECT_EQ(ChartMarkText(plan, TSeriesMarksStyle::smsValue, 0, 0), "12,345,678.9");
  plan.Series[0].Points[0].Value = 1.5e20;
  EXPECT_EQ(ChartMarkText(plan, TSeriesMarksStyle::smsValue, 0, 0),
            "150,000,000,000,000,000,000");
}

TEST(ChartPointMessage, SaysLabelValueShareAndPosition) {
  TChartPlan plan;
  plan.Categories = {"North", "南方", "West"};
  // The gap at West counts in no total.
  plan.Series.push_back({0, "2024", {{1250.125, clTeeColor, false}, {-750, 0, false}, {9, 0, true}}});
  EXPECT_EQ(ChartPointMessage(plan, 0, 1, 12, 34),
            "X轴值：南方\nY轴值：-750\n占比：37.5 %\n点击位置：X12,Y34");
  EXPECT_EQ(ChartPointMessage(plan, 0, 0, 0, 0),
            "X轴值：North\nY轴值：1,250.125\n占比：62.5 %\n点击位置：X0,Y0");
}

}  // namespace
}  // namespace qd::test
