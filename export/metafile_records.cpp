// The record formats of enhanced (EMF) and standard (WMF) metafiles, written
// as the table is drawn. Both keep one brush, one font and one pen alive and
// replace them when the colour, font or width changes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>

#include "engine/core/bytes.h"
#include "engine/core/text_codec.h"
#include "export/column_fit.h"
#include "export/metafile_export.h"

namespace qd {

namespace {

constexpr int kPpi = 96;

// Little-endian record bytes.
class TRecord {
 public:
  void U16(std::uint32_t v) { AppendBytes(Bytes, static_cast<std::uint16_t>(v)); }
  void U32(std::uint32_t v) { AppendBytes(Bytes, v); }
  void I32(int v) { U32(static_cast<std::uint32_t>(v)); }
  void I16(int v) { U16(static_cast<std::uint32_t>(std::clamp(v, -32768, 32767)) & 0xFFFF); }
  void Pad(std::size_t align) {
    while (Bytes.size() % align) Bytes.push_back('\0');
  }
  void Put(std::size_t at, std::uint32_t v) { Store(Bytes.data() + at, v); }
  std::string Bytes;
};

TColor Rgb(TColor c) { return ColorToRGB(c == clNone ? clWindowText : c); }

int FontPixels(const TExportFont& f) {
  return static_cast<int>(std::lround(f.Size * kPpi / 72.0));
}

// What both recorders share: the measuring and the state they track.
class TRecordingCanvas : public TPaintCanvas, public TMetafileSurface {
 public:
  TRecordingCanvas(int width, int height) : FWidth(width), FHeight(height) {}
  TPaintCanvas& Canvas() override { return *this; }
  void SetFont(const TExportFont& font) override {
    if (FHaveFont && font == FFont) return;
    FFont = font;
    FHaveFont = true;
    EmitFont();
  }
  void SetBrushColor(TColor color) override {
    if (FHaveBrush && Rgb(color) == FBrush) return;
    FBrush = Rgb(color);
    FHaveBrush = true;
    EmitBrush();
  }
  int TextWidth(std::string_view text) override { return TextPixelWidth(text, FFont, kPpi); }
  int TextHeight(std::string_view) override {
    return static_cast<int>(std::ceil(FontPixels(FFont) * 1.2));
  }
  void SetPenWidth(int width) override { FPenWidth = width; }

 protected:
  virtual void EmitFont() = 0;
  virtual void EmitBrush() = 0;
  int FWidth, FHeight;
  TExportFont FFont;
  bool FHaveFont = false, FHaveBrush = false;
  TColor FBrush = 0;
  int FPenWidth = 0;
  std::string FBody;
  std::uint32_t FRecords = 0, FLargest = 0;
};

// ---- EMF ----

enum : std::uint32_t {
  EMR_HEADER = 1, EMR_POLYPOLYLINE = 7, EMR_EOF = 14, EMR_SETMAPMODE = 17, EMR_SETBKMODE = 18,
  EMR_SETTEXTCOLOR = 24, EMR_SELECTOBJECT = 37, EMR_CREATEPEN = 38, EMR_CREATEBRUSHINDIRECT = 39,
  EMR_DELETEOBJECT = 40, EMR_RECTANGLE = 43, EMR_EXTCREATEFONTINDIRECTW = 82,
  EMR_EXTTEXTOUTW = 84,
};
constexpr std::uint32_t kWhiteBrush = 0x80000000, kNullPen = 0x80000008, kSystemFont = 0x8000000D;
constexpr std::uint32_t kBrush = 1, kFont = 2, kPen = 3;

class TEmfCanvas final : public TRecordingCanvas {
 public:
  TEmfCanvas(int width, int height) : TRecordingCanvas(width, height) {
    Emit(EMR_SETMAPMODE, [](TRecord& r) { r.U32(1); });  // MM_TEXT
    Emit(EMR_SETBKMODE, [](TRecord& r) { r.U32(1); });   // TRANSPARENT
    Select(kNullPen);
  }

  void FillRect(const TPaintRect& b) override {
    // With the null pen a rectangle leaves out its right and bottom edges.
    Emit(EMR_RECTANGLE, [&](TRecord& r) {
      for (int v : {b.Left, b.Top, b.Right + 1, b.Bottom + 1}) r.I32(v);
    });
  }

  void TextRect(const TPaintRect& clip, int x, int y, std::string_view text) override {
    const std::u16string u = Utf8ToUtf16(text);
    Emit(EMR_EXTTEXTOUTW, [&](TRecord& r) {
      for (int v : {clip.Left, clip.Top, clip.Right - 1, clip.Bottom - 1}) r.I32(v);
      r.U32(1);  // GM_COMPATIBLE
      r.U32(0);
      r.U32(0);
      r.I32(x);
      r.I32(y);
      r.U32(static_cast<std::uint32_t>(u.size()));
      r.U32(76);     // the string follows this fixed part
      r.U32(0x04);   // ETO_CLIPPED
      for (int v : {clip.Left, clip.Top, clip.Right, clip.Bottom}) r.I32(v);
      r.U32(0);      // no spacing array: the reader spaces the font itself
      for (char16_t c : u) r.U16(c);
      r.Pad(4);
    });
  }

  void PolyPolyline(const std::vector<TPaintPoint>& points, const std::vector<int>& counts) override {
    if (points.empty()) return;
    int l = points[0].X, t = points[0].Y, rr = l, b = t;
    for (const TPaintPoint& p : points) {
      l = std::min(l, p.X), t = std::min(t, p.Y), rr = std::max(rr, p.X), b = std::max(b, p.Y);
    }
    Emit(EMR_CREATEPEN, [&](TRecord& r) {
      r.U32(kPen);
      r.U32(0);  // PS_SOLID
      r.I32(FPenWidth);
      r.I32(0);
      r.U32(0);  // black
    });
    Select(kPen);
    Emit(EMR_POLYPOLYLINE, [&](TRecord& r) {
      for (int v : {l, t, rr, b}) r.I32(v);
      r.U32(static_cast<std::uint32_t>(counts.size()));
      r.U32(static_cast<std::uint32_t>(points.size()));
      for (int c : counts) r.U32(static_cast<std::uint32_t>(c));
      for (const TPaintPoint& p : points) r.I32(p.X), r.I32(p.Y);
    });
    Select(kNullPen);
    Delete(kPen);
  }

  void Save(std::ostream& out) override {
    Emit(EMR_EOF, [](TRecord& r) {
      r.U32(0);
      r.U32(16);
      r.U32(20);
    });
    TRecord h;
    h.U32(EMR_HEADER);
    h.U32(108);
    for (int v : {0, 0, std::max(FWidth, 1) - 1, std::max(FHeight, 1) - 1}) h.I32(v);
    for (int v : {0, 0, Hundredths(FWidth) - 1, Hundredths(FHeight) - 1}) h.I32(v);
    h.U32(0x464D4520);  // " EMF"
    h.U32(0x00010000);
    h.U32(static_cast<std::uint32_t>(108 + FBody.size()));
    h.U32(FRecords + 1);
    h.U16(4);  // handles: the table's slot 0 and our brush, font and pen
    h.U16(0);
    h.U32(0);
    h.U32(0);
    h.U32(0);
    // The reference device: 96 pixels per inch.
    for (int v : {960, 960, 254, 254, 0, 0, 0, 254000, 254000}) h.I32(v);
    out.write(h.Bytes.data(), static_cast<std::streamsize>(h.Bytes.size()));
    out.write(FBody.data(), static_cast<std::streamsize>(FBody.size()));
  }

 private:
  static int Hundredths(int pixels) { return static_cast<int>(std::lround(pixels * 2540.0 / kPpi)); }

  template <class F>
  void Emit(std::uint32_t type, F&& fill) {
    TRecord r;
    r.U32(type);
    r.U32(0);
    fill(r);
    r.Pad(4);
    r.Put(4, static_cast<std::uint32_t>(r.Bytes.size()));
    FBody += r.Bytes;
    ++FRecords;
  }
  void Select(std::uint32_t handle) {
    Emit(EMR_SELECTOBJECT, [&](TRecord& r) { r.U32(handle); });
  }
  void Delete(std::uint32_t handle) {
    Emit(EMR_DELETEOBJECT, [&](TRecord& r) { r.U32(handle); });
  }

  void EmitBrush() override {
    if (FBrushMade) {
      Select(kWhiteBrush);
      Delete(kBrush);
    }
    FBrushMade = true;
    Emit(EMR_CREATEBRUSHINDIRECT, [&](TRecord& r) {
      r.U32(kBrush);
      r.U32(0);  // BS_SOLID
      r.U32(FBrush);
      r.U32(0);
    });
    Select(kBrush);
  }

  void EmitFont() override {
    if (FFontMade) {
      Select(kSystemFont);
      Delete(kFont);
    }
    FFontMade = true;
    const std::u16string face = Utf8ToUtf16(FFont.Name);
    Emit(EMR_EXTCREATEFONTINDIRECTW, [&](TRecord& r) {
      r.U32(kFont);
      r.I32(-FontPixels(FFont));
      r.I32(0);
      r.I32(0);
      r.I32(0);
      r.I32(FFont.Bold ? 700 : 400);
      for (bool b : {FFont.Italic, FFont.Underline, FFont.StrikeOut})
        r.Bytes.push_back(b ? '\1' : '\0');
      r.Bytes.push_back(static_cast<char>(1));  // DEFAULT_CHARSET
      r.Bytes.append(4, '\0');
      for (std::size_t k = 0; k < 32; ++k) r.U16(k < face.size() && k < 31 ? face[k] : 0);
    });
    Select(kFont);
    Emit(EMR_SETTEXTCOLOR, [&](TRecord& r) { r.U32(Rgb(FFont.Color)); });
  }

  bool FBrushMade = false, FFontMade = false;
};

// ---- WMF ----

enum : std::uint16_t {
  META_EOF = 0x0000, META_SETBKMODE = 0x0102, META_SETTEXTCOLOR = 0x0209,
  META_SETWINDOWORG = 0x020B, META_SETWINDOWEXT = 0x020C, META_SELECTOBJECT = 0x012D,
  META_DELETEOBJECT = 0x01F0, META_CREATEPENINDIRECT = 0x02FA, META_CREATEFONTINDIRECT = 0x02FB,
  META_CREATEBRUSHINDIRECT = 0x02FC, META_POLYLINE = 0x0325, META_RECTANGLE = 0x041B,
  META_EXTTEXTOUT = 0x0A32,
};
// Object slots: a created object takes the lowest free one, so each kind is
// deleted before it is made again and keeps its slot.
constexpr std::uint16_t kWBrush = 0, kWFont = 1, kWNullPen = 2, kWPen = 3;

class TWmfCanvas final : public TRecordingCanvas {
 public:
  TWmfCanvas(int width, int height)
      : TRecordingCanvas(std::clamp(width, 1, 32767), std::clamp(height, 1, 32767)) {
    Emit(META_SETWINDOWORG, [](TRecord& r) { r.I16(0), r.I16(0); });
    Emit(META_SETWINDOWEXT, [&](TRecord& r) { r.I16(FHeight), r.I16(FWidth); });
    Emit(META_SETBKMODE, [](TRecord& r) { r.U16(1), r.U16(0); });
    // Brush and font placeholders keep slots 0 and 1 theirs.
    EmitBrush();
    Emit(META_CREATEFONTINDIRECT, [&](TRecord& r) { FontRecord(r); });
    Emit(META_CREATEPENINDIRECT, [](TRecord& r) {
      r.U16(5);  // PS_NULL
      r.I16(0), r.I16(0);
      r.U32(0);
    });
    Select(kWNullPen);
  }

  void FillRect(const TPaintRect& b) override {
    Emit(META_RECTANGLE, [&](TRecord& r) {
      for (int v : {b.Bottom + 1, b.Right + 1, b.Top, b.Left}) r.I16(v);
    });
  }

  void TextRect(const TPaintRect& clip, int x, int y, std::string_view text) override {
    const std::string ansi = Utf8ToAnsi(text);
    Emit(META_EXTTEXTOUT, [&](TRecord& r) {
      r.I16(y);
      r.I16(x);
      r.I16(static_cast<int>(ansi.size()));
      r.U16(0x04);  // ETO_CLIPPED
      for (int v : {clip.Left, clip.Top, clip.Right, clip.Bottom}) r.I16(v);
      r.Bytes += ansi;
    });
  }

  void PolyPolyline(const std::vector<TPaintPoint>& points, const std::vector<int>& counts) override {
    Emit(META_CREATEPENINDIRECT, [&](TRecord& r) {
      r.U16(0);  // PS_SOLID
      r.I16(FPenWidth), r.I16(0);
      r.U32(0);
    });
    Select(kWPen);
    std::size_t at = 0;
    for (int n : counts) {
      Emit(META_POLYLINE, [&](TRecord& r) {
        r.I16(n);
        for (int k = 0; k < n; ++k, ++at) r.I16(points[at].X), r.I16(points[at].Y);
      });
    }
    Select(kWNullPen);
    Emit(META_DELETEOBJECT, [](TRecord& r) { r.U16(kWPen); });
  }

  void Save(std::ostream& out) override {
    Emit(META_EOF, [](TRecord&) {});
    TRecord p;
    p.U32(0x9AC6CDD7);
    p.U16(0);
    for (int v : {0, 0, FWidth, FHeight}) p.I16(v);
    p.U16(kPpi);
    p.U32(0);
    std::uint16_t sum = 0;
    for (std::size_t k = 0; k < p.Bytes.size(); k += 2) sum ^= Load<std::uint16_t>(&p.Bytes[k]);
    p.U16(sum);
    TRecord h;
    h.U16(1);
    h.U16(9);
    h.U16(0x0300);
    h.U32(static_cast<std::uint32_t>(9 + FBody.size() / 2));
    h.U16(4);
    h.U32(FLargest);
    h.U16(0);
    out.write(p.Bytes.data(), static_cast<std::streamsize>(p.Bytes.size()));
    out.write(h.Bytes.data(), static_cast<std::streamsize>(h.Bytes.size()));
    out.write(FBody.data(), static_cast<std::streamsize>(FBody.size()));
  }

 private:
  template <class F>
  void Emit(std::uint16_t function, F&& fill) {
    TRecord r;
    r.U32(0);
    r.U16(function);
    fill(r);
    r.Pad(2);
    const auto words = static_cast<std::uint32_t>(r.Bytes.size() / 2);
    r.Put(0, words);
    FLargest = std::max(FLargest, words);
    FBody += r.Bytes;
    ++FRecords;
  }
  void Select(std::uint16_t slot) {
    Emit(META_SELECTOBJECT, [&](TRecord& r) { r.U16(slot); });
  }

  void FontRecord(TRecord& r) {
    r.I16(-FontPixels(FFont));
    r.I16(0), r.I16(0), r.I16(0);
    r.I16(FFont.Bold ? 700 : 400);
    for (bool b : {FFont.Italic, FFont.Underline, FFont.StrikeOut})
      r.Bytes.push_back(b ? '\1' : '\0');
    r.Bytes.push_back(static_cast<char>(134));  // GB2312_CHARSET: texts are GB18030
    r.Bytes.append(4, '\0');
    std::string face = Utf8ToAnsi(FFont.Name).substr(0, 31);
    face.resize(32, '\0');
    r.Bytes += face;
  }

  void EmitBrush() override {
    if (FBrushMade) Emit(META_DELETEOBJECT, [](TRecord& r) { r.U16(kWBrush); });
    FBrushMade = true;
    Emit(META_CREATEBRUSHINDIRECT, [&](TRecord& r) {
      r.U16(0);  // BS_SOLID
      r.U32(FBrush);
      r.U16(0);
    });
    Select(kWBrush);
  }

  void EmitFont() override {
    Emit(META_DELETEOBJECT, [](TRecord& r) { r.U16(kWFont); });
    Emit(META_CREATEFONTINDIRECT, [&](TRecord& r) { FontRecord(r); });
    Select(kWFont);
    Emit(META_SETTEXTCOLOR, [&](TRecord& r) { r.U32(Rgb(FFont.Color)); });
  }

  bool FBrushMade = false;
};

}  // namespace

std::unique_ptr<TMetafileSurface> MakeEnhancedMetafile(int width, int height) {
  return std::make_unique<TEmfCanvas>(width, height);
}

std::unique_ptr<TMetafileSurface> MakeStandardMetafile(int width, int height) {
  return std::make_unique<TWmfCanvas>(width, height);
}

}  // namespace qd
