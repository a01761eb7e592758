// The chart's working data, without widgets: the categories and series taken
// from the first dimension of each axis of a grid model, the value of one
// summary and function at every point, the order of the categories, which
// points the filter lets through and their colours, and the plan of what the
// renderer draws. TVantraChart keeps one and draws its plan.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/model_aggregation.h"
#include "view/color_schema.h"

namespace qd {

class TGridInfo;

//! Which axis gives the categories: the first dimension of that axis.
enum class TvtDimensionType : std::uint8_t { vtcRows = 0, vtcColumns = 1 };
//! The kind of every series drawn.
enum class TvtSeries : std::uint8_t {
  csLine = 0,
  csBar = 1,
  csHorBar = 2,
  csArea = 3,
  csPoint = 4,
  csPie = 5
};
//! The order of the categories.
enum class TvtcSortType : std::uint8_t { vtcName = 0, vtcValue = 1, vtcGrid = 2 };
//! Over which points the colour scale is measured; vtrDefault draws no scale.
enum class TvtRangeType : std::uint8_t { vtrDefault = 0, vtrRows = 1, vtrColumns = 2, vtrRowsCols = 3 };
enum class TvtChartFilterMode : std::uint8_t {
  vtfValuesBounds = 0,    //!< open bounds MinValue < value < MaxValue
  vtfMinValuesCount = 1,  //!< the ItemsCount smallest values
  vtfMaxValuesCount = 2,  //!< the ItemsCount largest values
};
//! What the mark beside a point says.
enum class TSeriesMarksStyle : std::uint8_t {
  smsValue = 0,
  smsPercent = 1,
  smsLabel = 2,
  smsLabelPercent = 3,
  smsLabelValue = 4,
};

//! A colour as 0x00BBGGRR.
using TColor = std::uint32_t;
//! The renderer chooses the colour.
constexpr TColor clTeeColor = 0x20000000;
constexpr TColor clRed = 0x0000FF;

//! The colour of hue 0..360 degrees, saturation and lightness 0..100 percent.
TColor HslColor(int hue, int saturation, int lightness);
//! A point's place on the colour scale from `minimum` to `maximum`: pure red
//! when they are equal, else a hue from 250° (coldest) down to 0°.
TColor ScaleColor(double value, double minimum, double maximum, TvtcColorSchema schema);

struct TvtChartFilter {
  TvtChartFilterMode Mode = TvtChartFilterMode::vtfValuesBounds;
  double MinValue = 0;
  double MaxValue = 0;
  int ItemsCount = 0;
  bool operator==(const TvtChartFilter&) const = default;
};

//! The published settings the working data depends on.
struct TChartSettings {
  TvtDimensionType UseDimension = TvtDimensionType::vtcRows;
  bool TotalDimension = false;
  TvtSeries DefaultSeries = TvtSeries::csBar;
  TvtcSortType SortType = TvtcSortType::vtcGrid;
  TvtChartFilter Filter;
  bool Filtered = false;
  bool ShowZero = false;
  TvtcColorSchema ColorSchema = TvtcColorSchema::vtcHighestIsHot;
  TvtRangeType ColorSchemaDimension = TvtRangeType::vtrRows;
  std::string ControlSummaryName;
  //! Categories drawn at most; the rest are left out of the plan and counted.
  int MaxDrawnCategories = 1000;
};

struct TChartPoint {
  double Value = 0;
  TColor Color = clTeeColor;
  bool Visible = true;
};

//! One series: a member label of the other axis (or its total) with one point
//! per category, in the categories' grid order.
struct TChartSeriesEntry {
  std::string Name;
  int Member = -1;  //!< node index of the member, -1 for the total series
  std::vector<TChartPoint> Points;
};

struct TChartCategory {
  std::string Name;
  int Member = -1;  //!< node index in the used dimension
  int Point = 0;    //!< index of its point in every series
};

struct TChartDrawPoint {
  double Value = 0;
  TColor Color = clTeeColor;
  bool Null = false;  //!< a gap: the category has no visible point in this series
  bool operator==(const TChartDrawPoint&) const = default;
};

struct TChartDrawSeries {
  int Entry = 0;  //!< the series entry drawn
  std::string Title;
  //! One per drawn category, in the plan's category order.
  std::vector<TChartDrawPoint> Points;
  bool operator==(const TChartDrawSeries&) const = default;
};

//! What the renderer draws: the series in creation order (the other axis's
//! members from the last to the first), the drawn categories and the titles.
struct TChartPlan {
  TvtSeries Kind = TvtSeries::csBar;
  std::vector<std::string> Categories;
  std::vector<TChartDrawSeries> Series;
  bool SetAxisTitles = false;  //!< false for pies: the titles stay as they are
  std::string BottomTitle, LeftTitle;
  //! Categories beyond MaxDrawnCategories, not drawn.
  int LeftOutCategories = 0;
  //! The charted summary's format mask, as the grid writes its values.
  std::string ValueFormat;
  bool operator==(const TChartPlan&) const = default;
};

//! May change a point's colour; the key has one node index per active
//! dimension, -1 for all members.
using TChartColorRequest = std::function<void(const TMemberKey& key, TColor& color)>;
//! May hide or show a point.
using TChartCanDrawItem = std::function<void(const TMemberKey& key, bool& visible)>;

//! The message of a click on a drawn point: its category, its value, its
//! share of the series' absolute total and the click position, one per line.
std::string ChartPointMessage(const TChartPlan& plan, int series, int point, int x, int y);
//! The text of a drawn point's mark in the given style: its value under the
//! plan's format mask (grouped digits when there is none), its share of the
//! series' absolute total, its category, or a category with either.
std::string ChartMarkText(const TChartPlan& plan, TSeriesMarksStyle style, int series, int point);

class TChartData {
 public:
  TChartSettings Settings;
  TChartColorRequest OnColorRequest;
  TChartCanDrawItem OnCanDrawItem;

  //! Takes the categories, series and values from the model again (nothing
  //! while it is missing or inactive), then sorts and fills.
  void Rebuild(TGridInfo* model);
  //! Orders the categories by Settings.SortType.
  void Sort();
  //! Point visibility after ShowZero and the filter, then the colours.
  void Fill();
  //! The series, points and titles to draw, asking OnCanDrawItem per point.
  TChartPlan Plan() const;

  bool Empty() const { return FSeries.empty(); }
  const std::vector<TChartSeriesEntry>& Series() const { return FSeries; }
  //! In sorted order.
  const std::vector<TChartCategory>& Categories() const { return FCategories; }
  //! The summary's display name with the function's name in parentheses.
  const std::string& ValueTitle() const { return FValueTitle; }
  //! The used dimension's display name.
  const std::string& CategoryTitle() const { return FCategoryTitle; }
  //! The cell key of a point (series entry, category's point index).
  TMemberKey PointKey(int entry, int point) const;

 private:
  void Clear();
  bool ChooseSummary(TGridInfo& model);
  void ComputeVisibility();
  void ComputeColors();

  std::vector<TChartSeriesEntry> FSeries;
  std::vector<TChartCategory> FCategories;
  //! The used dimension's member of each point index (grid order).
  std::vector<int> FPointMembers;
  std::string FValueTitle, FCategoryTitle, FValueFormat;
  int FSummary = -1, FFunction = -1;
  std::size_t FKeySize = 0;
  int FUsedPos = -1, FOtherPos = -1;
};

}  // namespace qd
