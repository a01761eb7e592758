#include "export/export_options.h"

#include <cstdio>

#include "engine/cube/dim_map.h"

namespace qd {

TColor ColorToRGB(TColor color) {
  if ((color & 0xFF000000u) == 0x80000000u) {
    switch (color & 0xFF) {
      case 0x05:  // window
      case 0x0E:  // highlighted text
        return 0xFFFFFF;
      case 0x0F:  // button face
        return 0xF0F0F0;
      case 0x0D:  // highlight
        return 0xD77800;
      default:  // window text and the other text colours
        return 0x000000;
    }
  }
  return color & 0xFFFFFF;
}

std::string ColorHex(TColor color) {
  const TColor rgb = color == clNone ? 0 : ColorToRGB(color);
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X%02X%02X", rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
  return buf;
}

bool SameFontFace(const TExportFont& a, const TExportFont& b) {
  return SameText(a.Name, b.Name) && a.Size == b.Size && a.Bold == b.Bold && a.Italic == b.Italic &&
         a.Underline == b.Underline && a.StrikeOut == b.StrikeOut;
}

int TExportOptions::ExcelBorderWeight() const {
  switch (BordersWeight) {
    case TExcelBordersWeight::bwHairline:
      return 1;
    case TExcelBordersWeight::bwMedium:
      return -4138;
    case TExcelBordersWeight::bwThick:
      return 4;
    case TExcelBordersWeight::bwThin:
      return 2;
  }
  return 2;
}

}  // namespace qd
