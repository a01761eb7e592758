#include "view/chart/chart_toolbar.h"

#include <QFileDialog>
#include <QMenu>
#include <QStyle>
#include <QToolButton>

#include "engine/core/messages.h"
#include "view/chart/vantra_chart.h"
#include "view/message_guard.h"

namespace qd {

namespace {

constexpr const char* kImage = "qdImage";

QString Q(TMsg id) {
  return QString::fromStdString(Msg(id));
}

}  // namespace

TChartToolBar::TChartToolBar(TVantraChart& chart, QWidget* parent)
    : QToolBar(parent), FChart(chart) {
  setIconSize(QSize(16, 16));
  using enum TvtSeries;
  FDimBtn = AddButton();
  AddItem(FDimBtn, Msg(TMsg::SChartUseRows), 0,
          [this] { FChart.SetUseDimension(TvtDimensionType::vtcRows); });
  AddItem(FDimBtn, Msg(TMsg::SChartUseColumns), 1,
          [this] { FChart.SetUseDimension(TvtDimensionType::vtcColumns); });
  FColorBtn = AddButton();
  AddItem(FColorBtn, Msg(TMsg::SChartHighestHot), 3,
          [this] { FChart.SetColorSchema(TvtcColorSchema::vtcHighestIsHot); });
  AddItem(FColorBtn, Msg(TMsg::SChartHighestCold), 2,
          [this] { FChart.SetColorSchema(TvtcColorSchema::vtcHighestIsCold); });
  FSortBtn = AddButton();
  AddItem(FSortBtn, Msg(TMsg::SChartSortGrid), 6,
          [this] { FChart.SetSortType(TvtcSortType::vtcGrid); });
  AddItem(FSortBtn, Msg(TMsg::SChartSortName), 5,
          [this] { FChart.SetSortType(TvtcSortType::vtcName); });
  AddItem(FSortBtn, Msg(TMsg::SChartSortValue), 4,
          [this] { FChart.SetSortType(TvtcSortType::vtcValue); });
  FSeriesBtn = AddButton();
  const std::pair<TMsg, TvtSeries> kinds[] = {{TMsg::SChartBar, csBar},     {TMsg::SChartLine, csLine},
                                              {TMsg::SChartHorBar, csHorBar}, {TMsg::SChartPoint, csPoint},
                                              {TMsg::SChartPie, csPie},     {TMsg::SChartArea, csArea}};
  const int images[] = {8, 10, 9, 7, 11, 12};
  for (int i = 0; i < 6; ++i) {
    const TvtSeries kind = kinds[i].second;
    AddItem(FSeriesBtn, Msg(kinds[i].first), images[i], [this, kind] { FChart.SetDefaultSeries(kind); });
  }
  addSeparator();
  FPrintBtn = AddButton();
  FPrintBtn->setToolTip(Q(TMsg::SChartPrint));
  FPrintBtn->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
  connect(FPrintBtn, &QToolButton::clicked, this, [this] { PrintButtonClick(); });
  FSaveBtn = AddButton();
  FSaveBtn->setToolTip(Q(TMsg::SChartSave));
  FSaveBtn->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
  connect(FSaveBtn, &QToolButton::clicked, this, [this] { SaveChartClick(); });
  ShowPrintPreview = [](TVantraChart& c) { c.PrintPreview(); };
  ChooseSaveFile = [this] {
    return QFileDialog::getSaveFileName(this, Q(TMsg::SChartSave), QString(), Q(TMsg::SChartSaveFilter))
        .toStdString();
  };
  ResetChartControls();
}

QToolButton* TChartToolBar::AddButton() {
  auto* button = new QToolButton(this);
  button->setAutoRaise(true);
  addWidget(button);
  return button;
}

QAction* TChartToolBar::AddItem(QToolButton* button, const std::string& caption, int image,
                                std::function<void()> apply) {
  if (!button->menu()) {
    button->setMenu(new QMenu(button));
    button->setPopupMode(QToolButton::InstantPopup);
  }
  QAction* item = button->menu()->addAction(QIcon(ChartGlyph(image)), QString::fromStdString(caption));
  connect(item, &QAction::triggered, this, [button, caption, image, apply] {
    Guard(apply);
    button->setIcon(QIcon(ChartGlyph(image)));
    button->setToolTip(QString::fromStdString(caption));
    button->setProperty(kImage, image);
  });
  return item;
}

int TChartToolBar::ImageIndex(const QToolButton& button) {
  return button.property(kImage).isValid() ? button.property(kImage).toInt() : -1;
}

void TChartToolBar::ResetChartControls() {
  for (QToolButton* b : {FDimBtn, FColorBtn, FSortBtn, FSeriesBtn})
    b->menu()->actions().front()->trigger();
}

void TChartToolBar::PrintButtonClick() {
  if (ShowPrintPreview) ShowPrintPreview(FChart);
  FChart.viewport()->update();
}

void TChartToolBar::SaveChartClick() {
  const std::string file = ChooseSaveFile ? ChooseSaveFile() : std::string();
  if (file.empty()) return;
  Guard([&] { FChart.SaveToFile(file); });
}

}  // namespace qd
