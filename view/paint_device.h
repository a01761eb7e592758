// The grid painter's surfaces on Qt: a canvas over a QPainter, printers and
// PDF files as print devices, SVG files as vector pictures, and the grid's
// widths, heights and screen resolution handed to a painter.
#pragma once

#include <QPainter>
#include <iosfwd>
#include <memory>
#include <string>

#include "export/grid_print.h"
#include "export/metafile_export.h"

class QPagedPaintDevice;
class QPrinter;

namespace qd {

class TCustomVantraGrid;

//! A TColor as a Qt colour (system colours resolved, clNone as window text).
QColor ToQColor(TColor color);
QFont ToQFont(const TExportFont& font);

class TQtPaintCanvas : public TPaintCanvas {
 public:
  explicit TQtPaintCanvas(QPainter& painter) : FPainter(painter) {}
  void SetFont(const TExportFont& font) override;
  void SetBrushColor(TColor color) override { FBrush = ToQColor(color); }
  void FillRect(const TPaintRect& rect) override;
  int TextWidth(std::string_view text) override;
  int TextHeight(std::string_view text) override;
  void TextRect(const TPaintRect& clip, int x, int y, std::string_view text) override;
  void SetPenWidth(int width) override { FPenWidth = width; }
  void PolyPolyline(const std::vector<TPaintPoint>& points, const std::vector<int>& counts) override;

 private:
  QPainter& FPainter;
  QColor FBrush = Qt::white, FTextColor = Qt::black;
  int FPenWidth = 0;
};

//! A printer or a PDF writer as the printing writer's device: the printable
//! area is given in device pixels; the painter covers the whole paper.
class TQtPrintDevice : public TPrintDevice {
 public:
  TQtPrintDevice(QPagedPaintDevice& device, int resolution, QRect printable);
  TPaintCanvas& Canvas() override { return FCanvas; }
  int OffsetX() const override { return FPrintable.left(); }
  int OffsetY() const override { return FPrintable.top(); }
  int HorzRes() const override { return FPrintable.right() + 1; }
  int VertRes() const override { return FPrintable.bottom() + 1; }
  int PixelsPerInchX() const override { return FResolution; }
  int PixelsPerInchY() const override { return FResolution; }
  void BeginDoc() override;
  void NewPage() override;
  void EndDoc() override;

 private:
  QPagedPaintDevice& FDevice;
  int FResolution;
  QRect FPrintable;
  QPainter FPainter;
  TQtPaintCanvas FCanvas{FPainter};
};

//! The known page-size names, for messages.
const char* PageSizeNames();
//! False when the name is none of PageSizeNames (letter case ignored).
bool IsPageSizeName(const std::string& name);

//! Prints the grid as a PDF document onto the stream (600 pixels per inch).
void PrintGridToPdf(TVantraGridPrint& writer, const TPaperOptions& paper, std::ostream& out);
//! Prints the grid on a printer set up by the print dialog (or to its file).
void PrintGridOnPrinter(TVantraGridPrint& writer, QPrinter& printer);

//! The grid printed into a PDF document of pages on its paper.
class TVantraGridExportToPDF : public TVantraGridPrint {
 public:
  TPaperOptions Paper;
  void ExportToStream(std::ostream& stream) override { PrintGridToPdf(*this, Paper, stream); }
};

//! The grid as one SVG picture (QSvgGenerator), as large as the table.
class TVantraGridExportToSVG : public TVantraGridExportToMF {
 protected:
  std::unique_ptr<TMetafileSurface> CreateMetafile(int width, int height) override;
};

//! The widths and heights of the grid's columns and rows as the window shows
//! them, its screen resolution and the font of its cells, for a painter.
void BindPainterToGrid(TVantraGridPaint& painter, TCustomVantraGrid& grid);

}  // namespace qd
