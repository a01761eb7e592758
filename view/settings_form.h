// The display settings dialog: visual style, colour scheme, the grid's
// colours and fonts as clickable panels, and word wrap. It edits a plain copy
// of the settings; OK writes them back to the grid.
#pragma once

#include <QColor>
#include <QLabel>
#include <QDialog>
#include <QFont>
#include <functional>

#include "view/visual_settings.h"

class QCheckBox;
class QRadioButton;
class QSpinBox;

namespace qd {

//! What the dialog edits.
struct TDisplaySettings {
  TvtVisualStyle VisualStyle = TvtVisualStyle::vsNormal;
  TvtcColorSchema ColorSchema = TvtcColorSchema::vtcHighestIsHot;
  QColor BackgroundColor, DimPanelColor, CaptionColor, LabelColor, DataColor, LabelSumColor,
      GridLineColor;
  QFont CaptionFont, LabelFont, DataFont, DimPanelFont;
  bool WordWrap = false;
  //! Above these the window asks before it computes a layout.
  TLayoutLimits LayoutLimits;
};

TDisplaySettings ReadDisplaySettings(const TVisualSettings& visual);
//! Style, schema, background, dimension panel, caption, label, data, label
//! sum and grid line colours, then caption, label, data and dimension panel
//! fonts, then word wrap.
void WriteDisplaySettings(const TDisplaySettings& settings, TVisualSettings& visual);

//! A panel showing a colour as its background or the text "Text" in a font;
//! a click runs OnClick.
class TSettingsPanel : public QLabel {
 public:
  explicit TSettingsPanel(QWidget* parent);
  std::function<void()> OnClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

class TSettingsFRM : public QDialog {
 public:
  explicit TSettingsFRM(QWidget* parent = nullptr);

  void SetSettings(const TDisplaySettings& settings);
  //! The settings as the controls now show them.
  TDisplaySettings Settings() const;

  //! The colour and font dialogs; tests replace them. They return the preset
  //! when cancelled.
  std::function<QColor(const QColor& preset)> ChooseColor;
  std::function<QFont(const QFont& preset)> ChooseFont;

  enum TColorPanel { cpCaption, cpLabel, cpData, cpDimPanel, cpBackground, cpLabelSum, cpGridLine };
  enum TFontPanel { fpCaption, fpLabel, fpData, fpDimPanel };
  TSettingsPanel& ColorPanel(TColorPanel p) const { return *FColorPanels[p]; }
  TSettingsPanel& FontPanel(TFontPanel p) const { return *FFontPanels[p]; }
  QRadioButton& StyleButton(TvtVisualStyle s) const;
  QRadioButton& SchemaButton(TvtcColorSchema s) const;
  QCheckBox& WordWrapCB() const { return *FWordWrap; }
  //! The size guard's limits: data cells, and memory in MB.
  QSpinBox& LimitCellsBox() const { return *FLimitCells; }
  QSpinBox& LimitMegabytesBox() const { return *FLimitMegabytes; }

 private:
  QColor& ColorOf(TColorPanel p);
  QFont& FontOf(TFontPanel p);
  void ColorPanelClick(TColorPanel p);
  void FontPanelClick(TFontPanel p);
  void ShowPanels();

  TDisplaySettings FSettings;
  TSettingsPanel* FColorPanels[7];
  TSettingsPanel* FFontPanels[4];
  QRadioButton *FNormal, *FXP, *FHot, *FCold;
  QCheckBox* FWordWrap;
  QSpinBox *FLimitCells, *FLimitMegabytes;
};

}  // namespace qd
