// Colours, fonts and switches of the pivot grid control. Every setter stores
// the value and pushes it at once to the part that uses it, which repaints.
#pragma once

#include <QColor>
#include <QFont>
#include <cstdint>

#include "model/label_node.h"
#include "model/layout_estimate.h"
#include "view/color_schema.h"

namespace qd {

class TCustomVantraGrid;

enum class TvtVisualStyle : std::uint8_t { vsNormal = 0, vsXP = 1 };

//! What the internal grid paints with; TVisualSettings fills it.
struct TGridLook {
  QColor CaptionColor, LabelColor, LabelSumColor, DataColor, GridLineColor, BackgroundColor;
  QFont CaptionFont, LabelFont, DataFont;
  TvtVisualStyle VisualStyle = TvtVisualStyle::vsNormal;
  TvtcColorSchema ColorSchema = TvtcColorSchema::vtcHighestIsHot;
  bool FormatNulls = false;
  bool ShowColorHint = true;
  bool ShowPopups = true;
  bool ShowExtraAttributes = true;
};

class TVisualSettings {
 public:
  explicit TVisualSettings(TCustomVantraGrid& grid);

  QColor BackgroundColor() const { return FLook.BackgroundColor; }
  void SetBackgroundColor(const QColor& c);
  QColor CaptionColor() const { return FLook.CaptionColor; }
  void SetCaptionColor(const QColor& c);
  QFont CaptionFont() const { return FLook.CaptionFont; }
  void SetCaptionFont(const QFont& f);
  QColor DimPanelColor() const { return FDimPanelColor; }
  void SetDimPanelColor(const QColor& c);
  QFont DimPanelFont() const { return FDimPanelFont; }
  void SetDimPanelFont(const QFont& f);
  int DimPanelLines() const { return FDimPanelLines; }
  //! Values below 1 are ignored.
  void SetDimPanelLines(int lines);
  QColor LabelColor() const { return FLook.LabelColor; }
  void SetLabelColor(const QColor& c);
  QColor LabelSumColor() const { return FLook.LabelSumColor; }
  void SetLabelSumColor(const QColor& c);
  QFont LabelFont() const { return FLook.LabelFont; }
  void SetLabelFont(const QFont& f);
  QColor DataColor() const { return FLook.DataColor; }
  void SetDataColor(const QColor& c);
  QFont DataFont() const { return FLook.DataFont; }
  void SetDataFont(const QFont& f);
  QColor GridLineColor() const { return FLook.GridLineColor; }
  void SetGridLineColor(const QColor& c);
  TvtcColorSchema ColorSchema() const { return FLook.ColorSchema; }
  void SetColorSchema(TvtcColorSchema s);
  TvtVisualStyle VisualStyle() const { return FLook.VisualStyle; }
  void SetVisualStyle(TvtVisualStyle s);
  bool WordWrap() const;
  void SetWordWrap(bool on);
  TSubLevelNodeType LowestSubLevelNode() const;
  void SetLowestSubLevelNode(TSubLevelNodeType t);
  bool ShowSummarySettings() const { return FShowSummarySettings; }
  void SetShowSummarySettings(bool on);
  bool ShowDimensionSettings() const { return FShowDimensionSettings; }
  void SetShowDimensionSettings(bool on);
  //! Read from the saved-states button itself.
  bool ShowMoreIconsButton() const;
  void SetShowMoreIconsButton(bool on);
  bool FormatNulls() const { return FLook.FormatNulls; }
  void SetFormatNulls(bool on);
  bool ShowColorHint() const { return FLook.ShowColorHint; }
  void SetShowColorHint(bool on);
  bool ShowPivotControlButton() const { return FShowPivotControlButton; }
  void SetShowPivotControlButton(bool on);
  bool PivotVisible() const { return FPivotVisible; }
  void SetPivotVisible(bool on);
  int PivotWidth() const { return FPivotWidth; }
  void SetPivotWidth(int width);
  bool ShowPopups() const { return FLook.ShowPopups; }
  void SetShowPopups(bool on);
  bool ShowExtraAttributes() const { return FLook.ShowExtraAttributes; }
  void SetShowExtraAttributes(bool on);

  const TGridLook& Look() const { return FLook; }

  //! Above these a new layout is computed only after the user agreed.
  TLayoutLimits LayoutLimits;

 private:
  void PushLook();
  TCustomVantraGrid& FGrid;
  TGridLook FLook;
  QColor FDimPanelColor;
  QFont FDimPanelFont;
  int FDimPanelLines = 1;
  bool FShowSummarySettings = true, FShowDimensionSettings = true;
  bool FShowPivotControlButton = true, FPivotVisible = true;
  int FPivotWidth = 150;
};

}  // namespace qd
