#include "view/chart/vantra_chart.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSvgGenerator>
#include <cerrno>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/io/safe_file.h"
#include "view/message_guard.h"
#include "view/vantra_grid.h"
#include "view/view_reactions.h"

namespace qd {

TVantraChart::TVantraChart(QWidget* parent) : QChartView(parent) {
  setRenderHint(QPainter::Antialiasing);
  chart()->legend()->setAlignment(Qt::AlignBottom);
  // Axis labels group their thousands as the grid's figures do (35,900,000, not 35900000).
  chart()->setLocale(QLocale(QLocale::Chinese, QLocale::China));
  chart()->setLocalizeNumbers(true);
  FNote = new QLabel(this);
  FNote->setStyleSheet("color: #800000; background: rgba(255, 255, 255, 200); padding: 2px;");
  FNote->hide();
  FOverlay = new TChartOverlay(chart());
  connect(chart(), &QChart::plotAreaChanged, this, [this] {
    ColorBars();
    PlaceMarks();
  });
  FData.OnColorRequest = [this](const TMemberKey& key, TColor& color) {
    if (OnColorRequest) OnColorRequest(*this, key, color);
  };
  FData.OnCanDrawItem = [this](const TMemberKey& key, bool& visible) {
    if (OnCanDrawItem) OnCanDrawItem(*this, key, visible);
  };
}

TVantraChart::~TVantraChart() {
  // The model keeps its listeners; one must never reach a chart that is gone.
  if (FModel) FModel->RemoveListener(this);
}

// ---- Binding ----

void TVantraChart::SetVantGrid(TCustomVantraGrid* grid) {
  if (grid == FGrid) return;
  Unbind();
  FGrid = grid;
  if (!grid) return;
  // The grid's model dies inside the grid's destructor, before QObject
  // announces it: from here on neither may be touched.
  connect(grid, &QObject::destroyed, this, [this] {
    FModel = nullptr;
    FGrid = nullptr;
    Rebuild();
  });
  FModel = &grid->Model();
  FModel->AddListener(this);  // posts ckCube: the chart builds when it arrives
}

void TVantraChart::Unbind() {
  if (FGrid) disconnect(FGrid, &QObject::destroyed, this, nullptr);
  if (FModel) FModel->RemoveListener(this);
  FModel = nullptr;
  FGrid = nullptr;
  Rebuild();
}

void TVantraChart::GridInfoChanged(TGridInfo& model, TChangeKind kind) {
  if (&model != FModel) return;
  switch (ChartReactionTo(kind)) {
    case TChartReaction::crRebuild:
      Rebuild();
      break;
    case TChartReaction::crRebuildGrid:
      if (SortType() == TvtcSortType::vtcGrid) Rebuild();
      break;
    case TChartReaction::crNone:
      break;
  }
}

// ---- Properties ----

void TVantraChart::SetUseDimension(TvtDimensionType value) {
  if (value == UseDimension()) return;
  FData.Settings.UseDimension = value;
  Rebuild();
}

void TVantraChart::SetTotalDimension(bool value) {
  if (value == TotalDimension()) return;
  FData.Settings.TotalDimension = value;
  Rebuild();
}

void TVantraChart::SetDefaultSeries(TvtSeries value) {
  if (value == DefaultSeries()) return;
  FData.Settings.DefaultSeries = value;
  Rebuild();
}

void TVantraChart::SetSortType(TvtcSortType value) {
  FData.Settings.SortType = value;
  if (value == TvtcSortType::vtcGrid) {
    Rebuild();
    return;
  }
  FData.Sort();
  Refill();
}

void TVantraChart::SetFiltered(bool value) {
  FData.Settings.Filtered = value;
  Refill();
}

void TVantraChart::SetShowZero(bool value) {
  FData.Settings.ShowZero = value;
  Refill();
}

void TVantraChart::SetColorSchema(TvtcColorSchema value) {
  FData.Settings.ColorSchema = value;
  Refill();
}

void TVantraChart::SetColorSchemaDimension(TvtRangeType value) {
  FData.Settings.ColorSchemaDimension = value;
  Refill();
}

void TVantraChart::SetControlSummaryName(const std::string& value) {
  if (value == ControlSummaryName()) return;
  FData.Settings.ControlSummaryName = value;
  Rebuild();
}

void TVantraChart::SetMaxDrawnCategories(int value) {
  FData.Settings.MaxDrawnCategories = value;
  Redraw();
}

void TVantraChart::SetMarksVisible(bool value) {
  FMarksVisible = value;
  PlaceMarks();
}

void TVantraChart::SetDefaultMarkStyle(TSeriesMarksStyle value) {
  FMarkStyle = value;
  PlaceMarks();
}

// ---- Working data ----

void TVantraChart::Rebuild() {
  ++FRebuilds;
  Guard([this] {
    FData.Rebuild(FModel && FModel->IsActive() ? FModel : nullptr);
    Redraw();
  });
}

void TVantraChart::Refill() {
  Guard([this] {
    if (!FModel || !FModel->IsActive()) {
      FData.Rebuild(nullptr);
    } else {
      FData.Fill();
    }
    Redraw();
  });
}

void TVantraChart::Redraw() {
  TChartPlan plan = FData.Plan();
  const bool same = FDrawn && plan == FPlan;
  FPlan = std::move(plan);
  if (!same) Draw();  // an unchanged plan keeps its series: nothing flickers
  FDrawn = true;
  const QString note = LeftOutNote();
  FNote->setText(note);
  FNote->adjustSize();
  FNote->move(8, 4);
  FNote->setVisible(!note.isEmpty());
}

QString TVantraChart::LeftOutNote() const {
  if (FPlan.LeftOutCategories <= 0) return {};
  const int drawn = static_cast<int>(FPlan.Categories.size());
  return QString::fromStdString(Format(Msg(TMsg::SChartLeftOut), drawn + FPlan.LeftOutCategories,
                                       drawn, FPlan.LeftOutCategories));
}

// ---- Mouse ----

void TVantraChart::mousePressEvent(QMouseEvent* event) {
  FMouse = event->position().toPoint();
  QChartView::mousePressEvent(event);
}

void TVantraChart::mouseReleaseEvent(QMouseEvent* event) {
  FMouse = event->position().toPoint();
  QChartView::mouseReleaseEvent(event);
}

void TVantraChart::resizeEvent(QResizeEvent* event) {
  QChartView::resizeEvent(event);
  FNote->move(8, 4);
  if (ArrangePies()) PlaceMarks();  // their marks move with them
}

void TVantraChart::PointClicked(QAbstractSeries* series, int point) {
  if (!OnClickSeries || !series) return;
  const int index = series->property("qdPlanSeries").toInt();
  if (index < 0 || index >= static_cast<int>(FPlan.Series.size())) return;
  if (point < 0 || point >= static_cast<int>(FPlan.Categories.size())) return;
  Guard([&] { OnClickSeries(*this, index, point, FMouse.x(), FMouse.y()); });
}

// ---- Output ----

void TVantraChart::SaveToFile(const std::string& fileName) {
  const QString name = QString::fromStdString(fileName);
  const QString suffix = QFileInfo(name).suffix().toLower();
  const QSize size = this->size().isEmpty() ? QSize(800, 600) : this->size();
  LayOut();
  if (suffix != "png" && suffix != "svg" && suffix != "pdf")
    throw ECubeError(Format(Msg(TMsg::SChartUnknownFormat), fileName));
  auto failed = [&fileName](int error) {
    return ECubeError(Format(Msg(TMsg::SChartSaveFailed), fileName, SystemErrorText(error)));
  };
  // Painted in memory first: the painters do not report a failed write, and
  // the old file stays whole until the complete picture replaces it.
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  bool ok = true;
  if (suffix == "png") {
    QImage image(size * 2, QImage::Format_ARGB32);
    image.setDevicePixelRatio(2);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      render(&painter, QRectF(QPointF(0, 0), size));
    }
    ok = image.save(&buffer, "PNG");
  } else if (suffix == "svg") {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(QString::fromStdString(FData.ValueTitle()));
    QPainter painter;
    ok = painter.begin(&svg);
    if (ok) {
      render(&painter);
      ok = painter.end();
    }
  } else {
    QPdfWriter pdf(&buffer);
    pdf.setPageOrientation(QPageLayout::Landscape);
    pdf.setTitle(QString::fromStdString(FData.ValueTitle()));
    QPainter painter;
    ok = painter.begin(&pdf);
    if (ok) {
      render(&painter);
      ok = painter.end();
    }
  }
  if (!ok || buffer.data().isEmpty()) throw failed(EIO);
  TAtomicFile out(fileName);
  out.Write(std::span(reinterpret_cast<const std::uint8_t*>(buffer.data().constData()),
                      static_cast<std::size_t>(buffer.data().size())));
  out.Commit();
}

void TVantraChart::LayOut() {
  // Qt Charts places axes, labels and the legend on its next event turn and
  // lets the items of removed axes go later still.
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TVantraChart::Print(QPrinter& printer) {
  LayOut();
  QPainter painter;
  if (!painter.begin(&printer)) return;
  render(&painter);
  painter.end();
}

void TVantraChart::PrintPreview() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Landscape);
  QPrintPreviewDialog preview(&printer, this);
  connect(&preview, &QPrintPreviewDialog::paintRequested, this,
          [this](QPrinter* p) { Print(*p); });
  preview.exec();
  viewport()->update();
}

}  // namespace qd
