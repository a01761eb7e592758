#include "view/paint_device.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <QSvgGenerator>
#include <ostream>

#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "view/vantra_grid.h"
#include "view/internal_grid.h"

namespace qd {

namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

void WriteBuffer(const QByteArray& bytes, std::ostream& out) {
  out.write(bytes.constData(), static_cast<std::streamsize>(bytes.size()));
}

struct TPageSizeName {
  const char* Name;
  QPageSize::PageSizeId Id;
};
constexpr TPageSizeName kPageSizes[] = {
    {"A3", QPageSize::A3},         {"A4", QPageSize::A4},         {"A5", QPageSize::A5},
    {"B5", QPageSize::B5},         {"Letter", QPageSize::Letter}, {"Legal", QPageSize::Legal},
};

QPageSize::PageSizeId PageSizeId(const std::string& name) {
  for (const TPageSizeName& p : kPageSizes)
    if (Q(name).compare(QLatin1String(p.Name), Qt::CaseInsensitive) == 0) return p.Id;
  return QPageSize::A4;
}

// A picture recorded by QSvgGenerator into memory.
class TSvgSurface : public TMetafileSurface {
 public:
  TSvgSurface(int width, int height) {
    FGenerator.setOutputDevice(&FBuffer);
    FGenerator.setSize(QSize(width, height));
    FGenerator.setViewBox(QRect(0, 0, width, height));
    FGenerator.setResolution(96);
    if (!FPainter.begin(&FGenerator)) throw EGenericError("SVG");
  }
  TPaintCanvas& Canvas() override { return FCanvas; }
  void Save(std::ostream& out) override {
    FPainter.end();
    WriteBuffer(FBuffer.data(), out);
  }

 private:
  QBuffer FBuffer;
  QSvgGenerator FGenerator;
  QPainter FPainter;
  TQtPaintCanvas FCanvas{FPainter};
};

}  // namespace

QColor ToQColor(TColor color) {
  const TColor rgb = ColorToRGB(color == clNone ? clWindowText : color);
  return QColor(static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                static_cast<int>((rgb >> 16) & 0xFF));
}

QFont ToQFont(const TExportFont& f) {
  QFont font(Q(f.Name));
  font.setPointSize(f.Size > 0 ? f.Size : 10);
  font.setBold(f.Bold);
  font.setItalic(f.Italic);
  font.setUnderline(f.Underline);
  font.setStrikeOut(f.StrikeOut);
  return font;
}

// ---- Canvas ----

void TQtPaintCanvas::SetFont(const TExportFont& font) {
  FPainter.setFont(ToQFont(font));
  FTextColor = ToQColor(font.Color);
}

void TQtPaintCanvas::FillRect(const TPaintRect& r) {
  FPainter.fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), FBrush);
}

int TQtPaintCanvas::TextWidth(std::string_view text) {
  return FPainter.fontMetrics().horizontalAdvance(Q(text));
}

int TQtPaintCanvas::TextHeight(std::string_view) { return FPainter.fontMetrics().height(); }

void TQtPaintCanvas::TextRect(const TPaintRect& clip, int x, int y, std::string_view text) {
  FPainter.save();
  FPainter.setClipRect(QRect(clip.Left, clip.Top, clip.Width(), clip.Height()));
  FPainter.setPen(FTextColor);
  FPainter.drawText(QPoint(x, y + FPainter.fontMetrics().ascent()), Q(text));
  FPainter.restore();
}

void TQtPaintCanvas::PolyPolyline(const std::vector<TPaintPoint>& points,
                                  const std::vector<int>& counts) {
  QPen pen(Qt::black);
  pen.setWidth(FPenWidth);
  pen.setCapStyle(Qt::SquareCap);
  FPainter.setPen(pen);
  std::size_t at = 0;
  QPolygon line;
  for (int n : counts) {
    line.clear();
    for (int k = 0; k < n; ++k, ++at) line << QPoint(points[at].X, points[at].Y);
    FPainter.drawPolyline(line);
  }
}

// ---- Print devices ----

TQtPrintDevice::TQtPrintDevice(QPagedPaintDevice& device, int resolution, QRect printable)
    : FDevice(device), FResolution(resolution), FPrintable(printable) {}

void TQtPrintDevice::BeginDoc() {
  if (!FPainter.begin(&FDevice)) throw EGenericError(Msg(TMsg::SPrintCannotStart));
}

void TQtPrintDevice::NewPage() { FDevice.newPage(); }

void TQtPrintDevice::EndDoc() {
  if (FPainter.isActive()) FPainter.end();
}

const char* PageSizeNames() { return "A3、A4、A5、B5、Letter、Legal"; }

bool IsPageSizeName(const std::string& name) {
  for (const TPageSizeName& p : kPageSizes)
    if (Q(name).compare(QLatin1String(p.Name), Qt::CaseInsensitive) == 0) return true;
  return false;
}

void PrintGridToPdf(TVantraGridPrint& writer, const TPaperOptions& page, std::ostream& out) {
  constexpr int kResolution = 600;
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter pdf(&buffer);
    pdf.setCreator(QStringLiteral("Quarrydesk"));
    pdf.setResolution(kResolution);
    pdf.setPageLayout(QPageLayout(QPageSize(PageSizeId(page.PageSize)),
                                  page.Landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                  QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    const QRect paper = pdf.pageLayout().fullRectPixels(kResolution);
    const int margin = static_cast<int>(page.MarginMillimeters * kResolution / 25.4);
    TQtPrintDevice device(pdf, kResolution, paper.adjusted(margin, margin, -margin, -margin));
    writer.Print(device);
  }
  WriteBuffer(buffer.data(), out);
}

void PrintGridOnPrinter(TVantraGridPrint& writer, QPrinter& printer) {
  printer.setFullPage(true);
  const int resolution = printer.resolution();
  TQtPrintDevice device(printer, resolution, printer.pageLayout().paintRectPixels(resolution));
  writer.Print(device);
}

std::unique_ptr<TMetafileSurface> TVantraGridExportToSVG::CreateMetafile(int width, int height) {
  return std::make_unique<TSvgSurface>(width, height);
}

// ---- The grid's measures ----

void BindPainterToGrid(TVantraGridPaint& painter, TCustomVantraGrid& grid) {
  TInternalGrid& cells = grid.InternalGrid();
  painter.ColumnWidths = [&cells](int col) { return cells.ColWidth(col); };
  painter.RowHeights = [&cells](int row) { return cells.RowHeight(row); };
  painter.PixelsPerInch = cells.logicalDpiX();
}

}  // namespace qd
