#include "view/chart/chart_data.h"

#include <algorithm>
#include <cmath>
#include <queue>

#include "engine/arrays/string_array.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_helpers.h"
#include "model/format_mask.h"
#include "model/function_defs.h"
#include "model/grid_info.h"

namespace qd {

namespace {

std::uint32_t Channel(double v) {
  return static_cast<std::uint32_t>(std::clamp(std::lround(v * 255.0), 0L, 255L));
}

double HueToRgb(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.0 / 6) return p + (q - p) * 6 * t;
  if (t < 1.0 / 2) return q;
  if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

//! The labels of a tree that are members (totals skipped).
std::vector<const TLabelNode*> MemberLabels(const TLabelNodes& tree) {
  std::vector<const TLabelNode*> out;
  out.reserve(tree.size());
  for (const auto& n : tree)
    if (!n->IsTotal()) out.push_back(n.get());
  return out;
}

//! A number with thousands separators and at most `decimals` decimals
//! ("#,##0.###" for three).
std::string TrimmedNumber(double value, int decimals) {
  std::string text = FormatThousands(value, decimals);
  if (text.find('.') == std::string::npos) return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

//! A point's share in percent of its series' absolute total.
double Share(const TChartDrawSeries& s, const TChartDrawPoint& p) {
  double total = 0;
  for (const TChartDrawPoint& q : s.Points)
    if (!q.Null) total += std::fabs(q.Value);
  return total == 0 ? 0 : std::fabs(p.Value) * 100 / total;
}

}  // namespace

std::string ChartPointMessage(const TChartPlan& plan, int series, int point, int x, int y) {
  const TChartDrawSeries& s = plan.Series.at(static_cast<std::size_t>(series));
  const TChartDrawPoint& p = s.Points.at(static_cast<std::size_t>(point));
  return Msg(TMsg::SChartPointX) + plan.Categories.at(static_cast<std::size_t>(point)) + "\n" +
         Msg(TMsg::SChartPointY) + TrimmedNumber(p.Value, 3) + "\n" + Msg(TMsg::SChartPointShare) +
         TrimmedNumber(Share(s, p), 2) + " %\n" + Format(Msg(TMsg::SChartClickAt), x, y);
}

std::string ChartMarkText(const TChartPlan& plan, TSeriesMarksStyle style, int series, int point) {
  const TChartDrawSeries& s = plan.Series.at(static_cast<std::size_t>(series));
  const TChartDrawPoint& p = s.Points.at(static_cast<std::size_t>(point));
  const std::string& label = plan.Categories.at(static_cast<std::size_t>(point));
  auto value = [&] {
    return plan.ValueFormat.empty() ? TrimmedNumber(p.Value, 3)
                                    : FormatFloat(plan.ValueFormat, p.Value);
  };
  auto percent = [&] { return FormatThousands(Share(s, p), 2) + " %"; };
  switch (style) {
    case TSeriesMarksStyle::smsPercent: return percent();
    case TSeriesMarksStyle::smsLabel: return label;
    case TSeriesMarksStyle::smsLabelPercent: return label + " " + percent();
    case TSeriesMarksStyle::smsLabelValue: return label + " " + value();
    case TSeriesMarksStyle::smsValue: break;
  }
  return value();
}

TColor HslColor(int hue, int saturation, int lightness) {
  const double h = (((hue % 360) + 360) % 360) / 360.0;
  const double s = std::clamp(saturation, 0, 100) / 100.0;
  const double l = std::clamp(lightness, 0, 100) / 100.0;
  if (s == 0) return Channel(l) | Channel(l) << 8 | Channel(l) << 16;
  const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
  const double p = 2 * l - q;
  const double r = HueToRgb(p, q, h + 1.0 / 3), g = HueToRgb(p, q, h),
               b = HueToRgb(p, q, h - 1.0 / 3);
  return Channel(r) | Channel(g) << 8 | Channel(b) << 16;
}

TColor ScaleColor(double value, double minimum, double maximum, TvtcColorSchema schema) {
  if (minimum == maximum) return clRed;
  double x = schema == TvtcColorSchema::vtcHighestIsCold ? (maximum - value) / (maximum - minimum)
                                                         : (value - minimum) / (maximum - minimum);
  // A point outside the measured range (hidden by the filter) takes the end it passed.
  x = std::clamp(x, 0.0, 1.0);
  const int hue = static_cast<int>(std::lround((1 - x) * 250));
  const int saturation = static_cast<int>(std::trunc(x * 50)) + 50;
  return HslColor(hue, saturation, 50);
}

void TChartData::Clear() {
  FSeries.clear();
  FCategories.clear();
  FPointMembers.clear();
  FValueTitle.clear();
  FCategoryTitle.clear();
  FValueFormat.clear();
  FSummary = FFunction = -1;
  FKeySize = 0;
  FUsedPos = FOtherPos = -1;
}

bool TChartData::ChooseSummary(TGridInfo& model) {
  TSummarySettings& settings = model.SummarySettings();
  for (int s = 0; s < settings.Count() && FSummary < 0; ++s) {
    const TSummaryInfo& info = settings.Items(s);
    if (SameText(info.IsCalculated() ? info.DisplayName : info.FieldName,
                 Settings.ControlSummaryName))
      FSummary = s;
  }
  for (int s = 0; s < settings.Count() && FSummary < 0; ++s)
    if (settings.Items(s).Visible()) FSummary = s;
  if (FSummary < 0) return false;
  const TSummaryInfo& info = settings.Items(FSummary);
  for (int f = 0; f < kFunctionCount && FFunction < 0; ++f)
    if (info.Function(f).Visible()) FFunction = f;
  if (FFunction < 0) return false;
  const TFunctionDefs& defs = model.FunctionDefs();
  const std::string& functionName =
      FFunction < defs.Count() ? defs.Items(FFunction).DisplayName : FunctionDisplayName(FFunction);
  FValueTitle = info.DisplayName + " (" + functionName + ")";
  // The grid writes a calculated summary's values with its first function's mask.
  FValueFormat = info.Function(info.IsCalculated() ? 0 : FFunction).SubFunction(0).FormatString;
  return true;
}

void TChartData::Rebuild(TGridInfo* model) {
  Clear();
  if (!model || !model->IsActive() || !ChooseSummary(*model)) return;
  const bool byRows = Settings.UseDimension == TvtDimensionType::vtcRows;
  const std::vector<int>& usedDims = byRows ? model->RowDims() : model->ColDims();
  const std::vector<int>& otherDims = byRows ? model->ColDims() : model->RowDims();
  const TLabelNodes& usedTree = byRows ? model->RowTree() : model->ColTree();
  const TLabelNodes& otherTree = byRows ? model->ColTree() : model->RowTree();
  if (usedDims.empty() || otherDims.empty() || usedTree.empty() || otherTree.empty()) {
    FValueTitle.clear();
    return;
  }
  const std::vector<const TLabelNode*> categories = MemberLabels(usedTree);
  std::vector<const TLabelNode*> series;
  if (!Settings.TotalDimension) {
    series = MemberLabels(otherTree);
  } else {
    const TDimensionState& other = model->DimensionState(otherDims.front());
    series.push_back(other.TotalAppearance == TTotalAppearance::taFirst ? otherTree.front().get()
                                                                        : otherTree.back().get());
  }
  FCategoryTitle = model->DimensionState(usedDims.front()).DisplayName;
  FKeySize = static_cast<std::size_t>(model->Aggregation().ActiveCount());
  FUsedPos = model->Aggregation().ActivePosition(usedDims.front());
  FOtherPos = model->Aggregation().ActivePosition(otherDims.front());

  FCategories.reserve(categories.size());
  for (std::size_t c = 0; c < categories.size(); ++c) {
    FCategories.push_back({model->GetNodeCaption(*categories[c]), categories[c]->Member,
                           static_cast<int>(c)});
    FPointMembers.push_back(categories[c]->Member);
  }
  TSummaryInfo& info = model->SummarySettings().Items(FSummary);
  FSeries.reserve(series.size());
  for (const TLabelNode* label : series) {
    TChartSeriesEntry entry;
    entry.Name = model->GetNodeCaption(*label);
    entry.Member = Settings.TotalDimension ? -1 : label->Member;
    FSeries.push_back(std::move(entry));
    std::vector<TChartPoint>& points = FSeries.back().Points;
    points.reserve(categories.size());
    for (std::size_t c = 0; c < categories.size(); ++c) {
      const TCellValue v = info.GetValue(PointKey(static_cast<int>(FSeries.size()) - 1,
                                                  static_cast<int>(c)),
                                         FFunction);
      points.push_back({v.HasValue ? v.Value : 0.0, clTeeColor, true});
    }
  }
  Sort();
  Fill();
}

TMemberKey TChartData::PointKey(int entry, int point) const {
  // Every other dimension stands at its total: the first data cell's members
  // of deeper dimensions would narrow a category to one of their members.
  TMemberKey key(FKeySize, -1);
  if (FUsedPos < 0 || entry < 0 || entry >= static_cast<int>(FSeries.size())) return key;
  if (point >= 0 && point < static_cast<int>(FPointMembers.size()))
    key[static_cast<std::size_t>(FUsedPos)] = FPointMembers[static_cast<std::size_t>(point)];
  if (FOtherPos >= 0) key[static_cast<std::size_t>(FOtherPos)] = FSeries[entry].Member;
  return key;
}

void TChartData::Sort() {
  auto by = [this](auto&& less) { std::stable_sort(FCategories.begin(), FCategories.end(), less); };
  switch (Settings.SortType) {
    case TvtcSortType::vtcName:
      by([](const TChartCategory& a, const TChartCategory& b) {
        return CompareText(a.Name, b.Name) < 0;
      });
      break;
    case TvtcSortType::vtcValue: {
      if (FSeries.empty()) break;
      const auto& first = FSeries.front().Points;
      by([&first](const TChartCategory& a, const TChartCategory& b) {
        return first[static_cast<std::size_t>(a.Point)].Value <
               first[static_cast<std::size_t>(b.Point)].Value;
      });
      break;
    }
    case TvtcSortType::vtcGrid:
      by([](const TChartCategory& a, const TChartCategory& b) { return a.Point < b.Point; });
      break;
  }
}

void TChartData::Fill() {
  ComputeVisibility();
  ComputeColors();
}

void TChartData::ComputeVisibility() {
  const TvtChartFilter& filter = Settings.Filter;
  const bool counting = Settings.Filtered && filter.Mode != TvtChartFilterMode::vtfValuesBounds;
  const bool smallest = filter.Mode == TvtChartFilterMode::vtfMinValuesCount;
  // The candidates kept so far, the worst on top; among equal values the one
  // admitted last is evicted first.
  struct TCandidate {
    double Value;
    std::size_t Order;
    TChartPoint* Point;
  };
  auto worse = [smallest](const TCandidate& a, const TCandidate& b) {
    if (a.Value != b.Value) return smallest ? a.Value < b.Value : a.Value > b.Value;
    return a.Order < b.Order;
  };
  std::priority_queue<TCandidate, std::vector<TCandidate>, decltype(worse)> kept(worse);
  std::size_t order = 0;
  for (TChartSeriesEntry& s : FSeries)
    for (TChartPoint& p : s.Points) {
      p.Visible = true;
      if (p.Value == 0 && !Settings.ShowZero) {
        p.Visible = false;
      } else if (Settings.Filtered && !counting) {
        p.Visible = filter.MinValue < p.Value && p.Value < filter.MaxValue;
      } else if (counting) {
        const TCandidate c{p.Value, order++, &p};
        if (static_cast<int>(kept.size()) < filter.ItemsCount) {
          kept.push(c);
        } else if (!kept.empty() && (smallest ? c.Value < kept.top().Value
                                              : c.Value > kept.top().Value)) {
          kept.top().Point->Visible = false;
          kept.pop();
          kept.push(c);
        } else {
          p.Visible = false;
        }
      }
    }
}

void TChartData::ComputeColors() {
  const TvtRangeType range = Settings.ColorSchemaDimension;
  for (TChartSeriesEntry& s : FSeries)
    for (TChartPoint& p : s.Points) p.Color = clTeeColor;
  if (range != TvtRangeType::vtrDefault) {
    // Colours one group of points from the range of its measured points.
    auto colorGroup = [this](const std::vector<TChartPoint*>& group) {
      bool any = false;
      double lo = 0, hi = 0;
      for (const TChartPoint* p : group) {
        if (Settings.Filtered && !p->Visible) continue;
        lo = any ? std::min(lo, p->Value) : p->Value;
        hi = any ? std::max(hi, p->Value) : p->Value;
        any = true;
      }
      if (!any) return;
      for (TChartPoint* p : group) p->Color = ScaleColor(p->Value, lo, hi, Settings.ColorSchema);
    };
    std::vector<TChartPoint*> group;
    if (range == TvtRangeType::vtrRows || range == TvtRangeType::vtrRowsCols) {
      for (TChartSeriesEntry& s : FSeries) {
        for (TChartPoint& p : s.Points) group.push_back(&p);
        if (range == TvtRangeType::vtrRows) {
          colorGroup(group);
          group.clear();
        }
      }
      colorGroup(group);
    } else {
      for (std::size_t c = 0; c < FCategories.size(); ++c) {
        group.clear();
        for (TChartSeriesEntry& s : FSeries) group.push_back(&s.Points[c]);
        colorGroup(group);
      }
    }
  }
  if (!OnColorRequest) return;
  for (std::size_t e = 0; e < FSeries.size(); ++e)
    for (std::size_t i = 0; i < FSeries[e].Points.size(); ++i)
      OnColorRequest(PointKey(static_cast<int>(e), static_cast<int>(i)), FSeries[e].Points[i].Color);
}

TChartPlan TChartData::Plan() const {
  TChartPlan plan;
  plan.Kind = Settings.DefaultSeries;
  const std::size_t count = FCategories.size();
  // The series in which each category's point is visible.
  std::vector<int> shown(count, 0);
  for (const TChartSeriesEntry& s : FSeries)
    for (std::size_t c = 0; c < count; ++c)
      if (s.Points[c].Visible) ++shown[c];
  std::vector<const TChartCategory*> drawn;
  for (const TChartCategory& c : FCategories) {
    if (Settings.Filtered && shown[static_cast<std::size_t>(c.Point)] == 0) continue;
    if (static_cast<int>(drawn.size()) >= std::max(1, Settings.MaxDrawnCategories)) {
      ++plan.LeftOutCategories;
      continue;
    }
    drawn.push_back(&c);
    plan.Categories.push_back(c.Name);
  }
  for (int e = static_cast<int>(FSeries.size()) - 1; e >= 0; --e) {
    const TChartSeriesEntry& entry = FSeries[static_cast<std::size_t>(e)];
    if (std::none_of(entry.Points.begin(), entry.Points.end(),
                     [](const TChartPoint& p) { return p.Visible; }))
      continue;
    TChartDrawSeries series{e, Settings.TotalDimension ? std::string() : entry.Name, {}};
    series.Points.reserve(drawn.size());
    for (const TChartCategory* c : drawn) {
      const TChartPoint& p = entry.Points[static_cast<std::size_t>(c->Point)];
      bool visible = p.Visible;
      if (OnCanDrawItem) OnCanDrawItem(PointKey(e, c->Point), visible);
      series.Points.push_back({p.Value, p.Color, !visible});
    }
    plan.Series.push_back(std::move(series));
  }
  plan.ValueFormat = FValueFormat;
  if (Settings.DefaultSeries != TvtSeries::csPie) {
    plan.SetAxisTitles = true;
    const bool horizontal = Settings.DefaultSeries == TvtSeries::csHorBar;
    plan.BottomTitle = horizontal ? FValueTitle : FCategoryTitle;
    plan.LeftTitle = horizontal ? FCategoryTitle : FValueTitle;
  }
  return plan;
}

}  // namespace qd
