// The chart's toolbar: four drop-down buttons that set the chart's categories
// axis, colour direction, order and series kind (each button shows the image
// and hint of its last choice), printing with a preview, and saving the chart
// as PNG, SVG or PDF.
#pragma once

#include <QToolBar>
#include <functional>
#include <string>

class QAction;
class QToolButton;

namespace qd {

class TVantraChart;

//! The chart toolbar's image list, by index.
const QPixmap& ChartGlyph(int index);
constexpr int kChartGlyphCount = 13;

class TChartToolBar : public QToolBar {
 public:
  TChartToolBar(TVantraChart& chart, QWidget* parent = nullptr);

  QToolButton& DimBtn() const { return *FDimBtn; }
  QToolButton& ColorBtn() const { return *FColorBtn; }
  QToolButton& SortBtn() const { return *FSortBtn; }
  QToolButton& SeriesBtn() const { return *FSeriesBtn; }
  QToolButton& PrintButton() const { return *FPrintBtn; }
  QToolButton& SaveButton() const { return *FSaveBtn; }
  //! The image index a button shows now.
  static int ImageIndex(const QToolButton& button);

  //! Row values, highest is dark, grid order, bar series: the first item of
  //! each button, in this order.
  void ResetChartControls();

  //! The save dialog; tests replace it (an empty result is Cancel).
  std::function<std::string()> ChooseSaveFile;
  //! The print preview; tests replace it.
  std::function<void(TVantraChart&)> ShowPrintPreview;

 private:
  QToolButton* AddButton();
  //! A drop-down item that runs `apply` and shows its image and hint on the button.
  QAction* AddItem(QToolButton* button, const std::string& caption, int image,
                   std::function<void()> apply);
  void SaveChartClick();
  void PrintButtonClick();

  TVantraChart& FChart;
  QToolButton *FDimBtn, *FColorBtn, *FSortBtn, *FSeriesBtn, *FPrintBtn, *FSaveBtn;
};

}  // namespace qd
