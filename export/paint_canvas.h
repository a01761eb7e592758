// The drawing surface the grid painter draws on: the few operations a table
// of filled boxes, clipped texts and thin lines needs. Printers, PDF and SVG
// files (through Qt in the view) and the metafile recorders of this folder
// implement it.
#pragma once

#include <string_view>
#include <vector>

#include "export/export_options.h"

namespace qd {

struct TPaintPoint {
  int X = 0, Y = 0;
  bool operator==(const TPaintPoint&) const = default;
};

//! A rectangle; Right and Bottom lie just outside it.
struct TPaintRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TPaintRect&) const = default;
};

class TPaintCanvas {
 public:
  virtual ~TPaintCanvas() = default;

  //! The font of the texts that follow; its size is in points.
  virtual void SetFont(const TExportFont& font) = 0;
  //! The colour FillRect fills with.
  virtual void SetBrushColor(TColor color) = 0;
  virtual void FillRect(const TPaintRect& rect) = 0;
  //! Extent of one line of text in the current font, in surface units.
  virtual int TextWidth(std::string_view text) = 0;
  virtual int TextHeight(std::string_view text) = 0;
  //! Draws one line of text with its top-left corner at (x, y), clipped to `clip`.
  virtual void TextRect(const TPaintRect& clip, int x, int y, std::string_view text) = 0;
  //! Pen width of the lines; 0 is the thinnest line the surface draws.
  virtual void SetPenWidth(int width) = 0;
  //! Draws polylines: counts[k] points of `points` after those of the ones before.
  virtual void PolyPolyline(const std::vector<TPaintPoint>& points,
                            const std::vector<int>& counts) = 0;
};

//! A printer, or a file of pages: its canvas, its printable area and its pages.
class TPrintDevice {
 public:
  virtual ~TPrintDevice() = default;
  virtual TPaintCanvas& Canvas() = 0;
  //! Top-left corner of the printable area, in device pixels.
  virtual int OffsetX() const = 0;
  virtual int OffsetY() const = 0;
  //! Right and bottom edges of the printable area, in device pixels.
  virtual int HorzRes() const = 0;
  virtual int VertRes() const = 0;
  virtual int PixelsPerInchX() const = 0;
  virtual int PixelsPerInchY() const = 0;
  virtual void BeginDoc() = 0;
  virtual void NewPage() = 0;
  virtual void EndDoc() = 0;
};

}  // namespace qd
