#include "view/settings_form.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QSpinBox>
#include <algorithm>
#include <limits>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "engine/core/messages.h"

namespace qd {

namespace {

QString Q(TMsg id) { return QString::fromStdString(Msg(id)); }

}  // namespace

TDisplaySettings ReadDisplaySettings(const TVisualSettings& v) {
  TDisplaySettings s;
  s.VisualStyle = v.VisualStyle();
  s.ColorSchema = v.ColorSchema();
  s.BackgroundColor = v.BackgroundColor();
  s.DimPanelColor = v.DimPanelColor();
  s.CaptionColor = v.CaptionColor();
  s.LabelColor = v.LabelColor();
  s.DataColor = v.DataColor();
  s.LabelSumColor = v.LabelSumColor();
  s.GridLineColor = v.GridLineColor();
  s.CaptionFont = v.CaptionFont();
  s.LabelFont = v.LabelFont();
  s.DataFont = v.DataFont();
  s.DimPanelFont = v.DimPanelFont();
  s.WordWrap = v.WordWrap();
  s.LayoutLimits = v.LayoutLimits;
  return s;
}

void WriteDisplaySettings(const TDisplaySettings& s, TVisualSettings& v) {
  v.SetVisualStyle(s.VisualStyle);
  v.SetColorSchema(s.ColorSchema);
  v.SetBackgroundColor(s.BackgroundColor);
  v.SetDimPanelColor(s.DimPanelColor);
  v.SetCaptionColor(s.CaptionColor);
  v.SetLabelColor(s.LabelColor);
  v.SetDataColor(s.DataColor);
  v.SetLabelSumColor(s.LabelSumColor);
  v.SetGridLineColor(s.GridLineColor);
  v.SetCaptionFont(s.CaptionFont);
  v.SetLabelFont(s.LabelFont);
  v.SetDataFont(s.DataFont);
  v.SetDimPanelFont(s.DimPanelFont);
  v.SetWordWrap(s.WordWrap);
  v.LayoutLimits = s.LayoutLimits;
}

TSettingsPanel::TSettingsPanel(QWidget* parent) : QLabel(parent) {
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setAutoFillBackground(true);
  setAlignment(Qt::AlignCenter);
  setMinimumSize(90, 24);
  setCursor(Qt::PointingHandCursor);
}

void TSettingsPanel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
    OnClick();
}

TSettingsFRM::TSettingsFRM(QWidget* parent) : QDialog(parent) {
  setWindowTitle(Q(TMsg::SSettingsCaption));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  ChooseColor = [this](const QColor& preset) {
    const QColor c = QColorDialog::getColor(preset, this);
    return c.isValid() ? c : preset;
  };
  ChooseFont = [this](const QFont& preset) {
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, preset, this);
    return ok ? f : preset;
  };

  auto* style = new QGroupBox(Q(TMsg::SSettingsStyleGroup), this);
  FNormal = new QRadioButton(Q(TMsg::SSettingsFlat), style);
  FXP = new QRadioButton(Q(TMsg::SSettingsXP), style);
  auto* styleLayout = new QVBoxLayout(style);
  styleLayout->addWidget(FNormal);
  styleLayout->addWidget(FXP);
  auto* schema = new QGroupBox(Q(TMsg::SSettingsSchemaGroup), this);
  FHot = new QRadioButton(Q(TMsg::SSettingsHighestHot), schema);
  FCold = new QRadioButton(Q(TMsg::SSettingsHighestCold), schema);
  auto* schemaLayout = new QVBoxLayout(schema);
  schemaLayout->addWidget(FHot);
  schemaLayout->addWidget(FCold);

  auto* panels = new QGridLayout;
  const TMsg colorCaptions[] = {TMsg::SSettingsCaptionColor,  TMsg::SSettingsLabelColor,
                                TMsg::SSettingsDataColor,     TMsg::SSettingsDimPanelColor,
                                TMsg::SSettingsBackgroundColor, TMsg::SSettingsLabelSumColor,
                                TMsg::SSettingsGridLineColor};
  for (int i = 0; i < 7; ++i) {
    panels->addWidget(new QLabel(Q(colorCaptions[i]), this), i, 0);
    FColorPanels[i] = new TSettingsPanel(this);
    FColorPanels[i]->OnClick = [this, i] { ColorPanelClick(static_cast<TColorPanel>(i)); };
    panels->addWidget(FColorPanels[i], i, 1);
  }
  const TMsg fontCaptions[] = {TMsg::SSettingsCaptionFont, TMsg::SSettingsLabelFont,
                               TMsg::SSettingsDataFont, TMsg::SSettingsDimPanelFont};
  for (int i = 0; i < 4; ++i) {
    panels->addWidget(new QLabel(Q(fontCaptions[i]), this), i, 2);
    FFontPanels[i] = new TSettingsPanel(this);
    FFontPanels[i]->setText(QStringLiteral("Text"));
    FFontPanels[i]->OnClick = [this, i] { FontPanelClick(static_cast<TFontPanel>(i)); };
    panels->addWidget(FFontPanels[i], i, 3);
  }
  FWordWrap = new QCheckBox(Q(TMsg::SSettingsWordWrap), this);
  panels->addWidget(FWordWrap, 5, 2, 1, 2);

  auto* limits = new QGroupBox(Q(TMsg::SSettingsLayoutLimits), this);
  auto* limitsForm = new QFormLayout(limits);
  FLimitCells = new QSpinBox(limits);
  FLimitCells->setRange(1000, std::numeric_limits<int>::max());
  FLimitCells->setSingleStep(1'000'000);
  FLimitCells->setGroupSeparatorShown(true);
  FLimitMegabytes = new QSpinBox(limits);
  FLimitMegabytes->setRange(1, 1024 * 1024);
  FLimitMegabytes->setSingleStep(256);
  limitsForm->addRow(Q(TMsg::SSettingsLimitCells), FLimitCells);
  limitsForm->addRow(Q(TMsg::SSettingsLimitMegabytes), FLimitMegabytes);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(Q(TMsg::SSettingsOk), QDialogButtonBox::AcceptRole);
  buttons->addButton(Q(TMsg::SSettingsCancel), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* top = new QHBoxLayout;
  top->addWidget(style);
  top->addWidget(schema);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(panels);
  layout->addWidget(limits);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed dialog frame
}

QRadioButton& TSettingsFRM::StyleButton(TvtVisualStyle s) const {
  return s == TvtVisualStyle::vsXP ? *FXP : *FNormal;
}

QRadioButton& TSettingsFRM::SchemaButton(TvtcColorSchema s) const {
  return s == TvtcColorSchema::vtcHighestIsCold ? *FCold : *FHot;
}

QColor& TSettingsFRM::ColorOf(TColorPanel p) {
  QColor* colors[] = {&FSettings.CaptionColor,    &FSettings.LabelColor,
                      &FSettings.DataColor,       &FSettings.DimPanelColor,
                      &FSettings.BackgroundColor, &FSettings.LabelSumColor,
                      &FSettings.GridLineColor};
  return *colors[p];
}

QFont& TSettingsFRM::FontOf(TFontPanel p) {
  QFont* fonts[] = {&FSettings.CaptionFont, &FSettings.LabelFont, &FSettings.DataFont,
                    &FSettings.DimPanelFont};
  return *fonts[p];
}

void TSettingsFRM::SetSettings(const TDisplaySettings& settings) {
  FSettings = settings;
  StyleButton(settings.VisualStyle).setChecked(true);
  SchemaButton(settings.ColorSchema).setChecked(true);
  FWordWrap->setChecked(settings.WordWrap);
  FLimitCells->setValue(static_cast<int>(
      std::clamp<std::int64_t>(settings.LayoutLimits.Cells, 1000, std::numeric_limits<int>::max())));
  FLimitMegabytes->setValue(static_cast<int>(
      std::clamp<std::int64_t>(settings.LayoutLimits.Bytes >> 20, 1, 1024 * 1024)));
  ShowPanels();
}

void TSettingsFRM::ShowPanels() {
  for (int i = 0; i < 7; ++i) {
    QPalette pal = FColorPanels[i]->palette();
    pal.setColor(QPalette::Window, ColorOf(static_cast<TColorPanel>(i)));
    FColorPanels[i]->setPalette(pal);
  }
  for (int i = 0; i < 4; ++i) FFontPanels[i]->setFont(FontOf(static_cast<TFontPanel>(i)));
}

void TSettingsFRM::ColorPanelClick(TColorPanel p) {
  ColorOf(p) = ChooseColor(ColorOf(p));
  ShowPanels();
}

void TSettingsFRM::FontPanelClick(TFontPanel p) {
  FontOf(p) = ChooseFont(FontOf(p));
  ShowPanels();
}

TDisplaySettings TSettingsFRM::Settings() const {
  TDisplaySettings s = FSettings;
  s.VisualStyle = FXP->isChecked() ? TvtVisualStyle::vsXP : TvtVisualStyle::vsNormal;
  s.ColorSchema =
      FCold->isChecked() ? TvtcColorSchema::vtcHighestIsCold : TvtcColorSchema::vtcHighestIsHot;
  s.WordWrap = FWordWrap->isChecked();
  s.LayoutLimits.Cells = FLimitCells->value();
  s.LayoutLimits.Bytes = std::int64_t{FLimitMegabytes->value()} << 20;
  return s;
}

}  // namespace qd
