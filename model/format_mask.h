// Numeric format masks of the grid's data cells ("0.00", "#,##0", "0.0\"%\"",
// "¥#,##0.00;(¥#,##0.00);-").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qd {

//! A parsed format mask. Up to three sections separated by ";" format
//! positive, negative and zero values; an empty or missing negative section
//! formats negatives with the first section and a leading "-", an empty or
//! missing zero section formats zero with the first. Within a section:
//!   0        digit, shown even when insignificant
//!   #        digit, shown only when significant
//!   .        decimal point (the first one; later ones are literal)
//!   ,        thousands separators for the integer part (never printed)
//!   E+ E- e+ e-  scientific notation, followed by the exponent's 0 digits
//!   "…" '…'  literal text; any other character is literal too ("%" does not
//!            scale the value)
//! Rounding is half away from zero on the value's 15-digit decimal form, as
//! spreadsheets do: 0.125 and 2.675 show as 0.13 and 2.68 under "0.00". A value
//! that rounds to zero is formatted as zero (zero section, no minus sign). An
//! empty mask, or an empty first section, gives the general 15-digit form, as
//! do values of 1E18 and more under masks without an exponent.
class TFormatMask {
 public:
  explicit TFormatMask(std::string_view mask);

  std::string Format(double value) const;
  const std::string& Mask() const { return FMask; }
  //! The mask as a spreadsheet number-format code that shows values the same
  //! way: literals quoted (so that "%" does not scale and letters are no date
  //! codes), thousands separators as "#,##0", empty negative and zero sections
  //! spelled out; "General" for an empty mask.
  std::string SpreadsheetCode() const;

  struct TToken {
    enum class TKind { Digit, Point, Literal, Exponent } Kind = TKind::Literal;
    char Ch = 0;        // '0' or '#' for digits; 'E' or 'e' for exponents
    bool Plus = false;  // exponent always signed
    int Digits = 0;     // exponent's minimum digits
    std::string Text;   // literal text
  };
  struct TSection {
    std::vector<TToken> Tokens;
    bool Empty = true;
    int IntDigits = 0;     // digit placeholders before the point
    int FirstIntZero = 0;  // index of the first '0' among them
    int DecDigits = 0;     // digit placeholders after the point
    int LastDecZero = 0;   // 1-based position of the last '0' among them
    bool Thousands = false;
    bool Scientific = false;
  };

 private:
  std::string FormatWith(const TSection& s, double absValue, bool minus, bool& zero) const;
  static std::string SectionCode(const TSection& s);
  std::string FMask;
  std::vector<TSection> FSections;
};

//! Formats value with mask; see TFormatMask.
std::string FormatFloat(std::string_view mask, double value);

//! TFormatMask(mask).SpreadsheetCode().
std::string SpreadsheetNumberFormat(std::string_view mask);

}  // namespace qd
