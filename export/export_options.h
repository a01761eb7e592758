// Colours, fonts and the options every exporter of the pivot grid shares.
#pragma once

#include <cstdint>
#include <string>

namespace qd {

//! A colour: 0x00BBGGRR, or a system colour (high byte 0x80), or clNone.
using TColor = std::uint32_t;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clWindow = 0x80000005;
constexpr TColor clWindowText = 0x80000008;
constexpr TColor clBtnFace = 0x8000000F;

//! The RGB value of a colour: system colours resolved to the desktop's
//! defaults, any other value cut to its low three bytes (clNone → 0xFFFFFF).
TColor ColorToRGB(TColor color);
//! Six uppercase hex digits red, green, blue; clNone is "000000".
std::string ColorHex(TColor color);

struct TExportFont {
  std::string Name = "Arial";
  int Size = 10;  //!< points
  TColor Color = clNone;
  bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
  int Charset = 1;  //!< the default character set

  bool operator==(const TExportFont&) const = default;
};

//! Same name (without regard to case), size and style.
bool SameFontFace(const TExportFont& a, const TExportFont& b);

enum class TExcelBordersWeight : std::uint8_t { bwHairline, bwMedium, bwThick, bwThin };

//! The options of an exporter (persisted in this order).
struct TExportOptions {
  //! Header rows (the column labels and captions) are exported.
  bool PrintColCaptions = true;
  //! Header columns (the row labels and row titles) are exported.
  bool PrintRowCaptions = true;
  //! Kept and persisted; no writer consults it.
  bool PrintEmptyWhenZero = false;
  //! Writers that can emit bold, italic, underline and strike-out do so.
  bool UseFontStyles = false;
  //! Cells get all four borders.
  bool DrawBorders = false;
  TExportFont DataFont, CaptionFont, LabelFont;
  TColor DataColor = clNone, CaptionColor = clNone, LabelColor = clNone;
  TExcelBordersWeight BordersWeight = TExcelBordersWeight::bwThin;

  //! The Excel border-weight code of BordersWeight (1, -4138, 4, 2).
  int ExcelBorderWeight() const;
};

}  // namespace qd
