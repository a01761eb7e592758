// A canvas that records what is drawn, page by page, and a print device
// around it, for the tests of the grid painter and of printed documents.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "engine/core/text_codec.h"
#include "export/paint_canvas.h"

namespace qd::test {

// Records what is drawn, page by page.
class TRecordingCanvas : public TPaintCanvas {
 public:
  struct TText {
    TPaintRect Clip;
    int X, Y;
    std::string Text;
  };
  struct TPage {
    std::vector<TPaintRect> Fills;
    std::vector<TText> Texts;
    int Lines = 0;
  };
  std::vector<TPage> Pages{1};
  int PenWidth = -1;

  void SetFont(const TExportFont&) override {}
  void SetBrushColor(TColor) override {}
  void FillRect(const TPaintRect& r) override { Pages.back().Fills.push_back(r); }
  int TextWidth(std::string_view text) override {
    int n = 0;
    for (std::size_t i = 0; i < text.size(); ++n) NextCodePoint(text, i);
    return 7 * n;
  }
  int TextHeight(std::string_view) override { return 12; }
  void TextRect(const TPaintRect& clip, int x, int y, std::string_view text) override {
    Pages.back().Texts.push_back({clip, x, y, std::string(text)});
  }
  void SetPenWidth(int width) override { PenWidth = width; }
  void PolyPolyline(const std::vector<TPaintPoint>&, const std::vector<int>& counts) override {
    Pages.back().Lines += static_cast<int>(counts.size());
  }

  const TText* FindText(int page, const std::string& text) const {
    for (const TText& t : Pages[static_cast<std::size_t>(page)].Texts)
      if (t.Text == text) return &t;
    return nullptr;
  }
  bool HasFill(int page, const TPaintRect& r) const {
    const auto& f = Pages[static_cast<std::size_t>(page)].Fills;
    return std::find(f.begin(), f.end(), r) != f.end();
  }
};

class TRecordingDevice : public TPrintDevice {
 public:
  TRecordingCanvas Recorder;
  int Ppi = 96, Width = 1000, Height = 1000, Docs = 0, Ends = 0;
  TPaintCanvas& Canvas() override { return Recorder; }
  int OffsetX() const override { return 0; }
  int OffsetY() const override { return 0; }
  int HorzRes() const override { return Width; }
  int VertRes() const override { return Height; }
  int PixelsPerInchX() const override { return Ppi; }
  int PixelsPerInchY() const override { return Ppi; }
  void BeginDoc() override { ++Docs; }
  void NewPage() override { Recorder.Pages.emplace_back(); }
  void EndDoc() override { ++Ends; }
};

}  // namespace qd::test
