#include "view/visual_settings.h"

#include <QApplication>
#include <QPalette>
#include <QToolButton>

#include "view/internal_grid.h"
#include "view/pivot_panels.h"
#include "view/vantra_grid.h"

namespace qd {

TVisualSettings::TVisualSettings(TCustomVantraGrid& grid) : FGrid(grid) {
  const QPalette pal = QApplication::palette();
  const QColor face = pal.color(QPalette::Button);
  FLook.BackgroundColor = FLook.CaptionColor = FLook.LabelColor = FLook.LabelSumColor = face;
  FLook.GridLineColor = face;
  FLook.DataColor = pal.color(QPalette::ToolTipBase);
  FLook.CaptionFont = QApplication::font();
  FLook.CaptionFont.setBold(true);
  FLook.LabelFont = FLook.DataFont = QApplication::font();
  FDimPanelColor = face;
  FDimPanelFont = QApplication::font();
}

void TVisualSettings::PushLook() {
  FGrid.ApplyLook();
}

void TVisualSettings::SetBackgroundColor(const QColor& c) {
  FLook.BackgroundColor = c;
  PushLook();
}
void TVisualSettings::SetCaptionColor(const QColor& c) {
  FLook.CaptionColor = c;
  PushLook();
}
void TVisualSettings::SetCaptionFont(const QFont& f) {
  FLook.CaptionFont = f;
  PushLook();
}
void TVisualSettings::SetDimPanelColor(const QColor& c) {
  FDimPanelColor = c;
  FGrid.ApplyDimPanels();
}
void TVisualSettings::SetDimPanelFont(const QFont& f) {
  FDimPanelFont = f;
  FGrid.RecomputeDimPanelHeight();
}
void TVisualSettings::SetDimPanelLines(int lines) {
  if (lines < 1) return;
  FDimPanelLines = lines;
  FGrid.RecomputeDimPanelHeight();
}
void TVisualSettings::SetLabelColor(const QColor& c) {
  FLook.LabelColor = c;
  PushLook();
}
void TVisualSettings::SetLabelSumColor(const QColor& c) {
  FLook.LabelSumColor = c;
  PushLook();
}
void TVisualSettings::SetLabelFont(const QFont& f) {
  FLook.LabelFont = f;
  PushLook();
}
void TVisualSettings::SetDataColor(const QColor& c) {
  FLook.DataColor = c;
  PushLook();
}
void TVisualSettings::SetDataFont(const QFont& f) {
  FLook.DataFont = f;
  PushLook();
}
void TVisualSettings::SetGridLineColor(const QColor& c) {
  FLook.GridLineColor = c;
  PushLook();
}
void TVisualSettings::SetColorSchema(TvtcColorSchema s) {
  FLook.ColorSchema = s;
  PushLook();
}
void TVisualSettings::SetVisualStyle(TvtVisualStyle s) {
  FLook.VisualStyle = s;
  PushLook();
  FGrid.ApplyDimPanels();
}
bool TVisualSettings::WordWrap() const {
  return FGrid.Model().WordWrap();
}
void TVisualSettings::SetWordWrap(bool on) {
  FGrid.Model().SetWordWrap(on);
}
TSubLevelNodeType TVisualSettings::LowestSubLevelNode() const {
  return FGrid.Model().LowestSubLevelNode();
}
void TVisualSettings::SetLowestSubLevelNode(TSubLevelNodeType t) {
  FGrid.Model().SetLowestSubLevelNode(t);
}
void TVisualSettings::SetShowSummarySettings(bool on) {
  FShowSummarySettings = on;
  FGrid.ApplyToolButtons();
}
void TVisualSettings::SetShowDimensionSettings(bool on) {
  FShowDimensionSettings = on;
  FGrid.ApplyToolButtons();
}
bool TVisualSettings::ShowMoreIconsButton() const {
  return !FGrid.ToolStrip().StatesButton()->isHidden();
}
void TVisualSettings::SetShowMoreIconsButton(bool on) {
  FGrid.ToolStrip().StatesButton()->setVisible(on);
  FGrid.ApplyToolButtons();
}
void TVisualSettings::SetFormatNulls(bool on) {
  FLook.FormatNulls = on;
  PushLook();
}
void TVisualSettings::SetShowColorHint(bool on) {
  FLook.ShowColorHint = on;
  PushLook();
}
void TVisualSettings::SetShowPivotControlButton(bool on) {
  FShowPivotControlButton = on;
  FGrid.ApplyToggleButton();
}
void TVisualSettings::SetPivotVisible(bool on) {
  FPivotVisible = on;
  FGrid.ApplyPivotVisible();
}
void TVisualSettings::SetPivotWidth(int width) {
  FPivotWidth = width;
  FGrid.ApplyPivotWidth();
}
void TVisualSettings::SetShowPopups(bool on) {
  FLook.ShowPopups = on;
  PushLook();
}
void TVisualSettings::SetShowExtraAttributes(bool on) {
  FLook.ShowExtraAttributes = on;
  PushLook();
}

}  // namespace qd
