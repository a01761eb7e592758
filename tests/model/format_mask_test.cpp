#include "model/format_mask.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

namespace qd {
namespace {

struct TCase {
  const char* Mask;
  double Value;
  const char* Text;
};

void ExpectAll(const std::vector<TCase>& cases) {
  for (const TCase& c : cases)
    EXPECT_EQ(FormatFloat(c.Mask, c.Value), c.Text) << c.Mask << " with " << c.Value;
}

}  // namespace

TEST(FormatMask, RoundsHalvesAwayFromZeroOnTheDecimalValue) {
  ExpectAll({{"0.00", 0.125, "0.13"},
             {"0.00", 2.675, "2.68"},
             {"0.00", 1.005, "1.01"},
             {"0.00", -2.675, "-2.68"},
             {"0", 0.5, "1"},
             {"0", 2.5, "3"},
             {"0", -1.5, "-2"},
             {"0", 0.285 * 100, "29"},  // 28.499999999999996 is 28.5 to 15 digits
             {"0.00", 9.995, "10.00"},
             {"#,##0.00", 999999.995, "1,000,000.00"},
             {"0.00", 1e-300, "0.00"},
             {"0.000", 0.0005, "0.001"}});
}

TEST(FormatMask, DefaultGridMasks) {
  ExpectAll({{"0.00", 1234.5, "1234.50"},
             {"0.00", 0, "0.00"},
             {"0", 41.49, "41"},
             {"0", -7, "-7"},
             {"0.0\"%\"", 12.345, "12.3%"},
             {"0.0\"%\"", 100, "100.0%"},
             {"0.0%", 50, "50.0%"},  // an unquoted % is literal too: no scaling
             {"#,##0", 1234567, "1,234,567"},
             {"#,##0", 999, "999"},
             {"#,##0", 0.4, "0"},
             {"#,##0", -1234, "-1,234"},
             {"#,##0.00", 1234567.891, "1,234,567.89"},
             {"#,##0.00", -0.5, "-0.50"}});
}

TEST(FormatMask, PlaceholdersAndLiteralsKeepTheirPlaces) {
  ExpectAll({{"#.##", 1, "1"},
             {"#.##", 1.5, "1.5"},
             {"#", 0, ""},
             {"00000", 42, "00042"},
             {"0.0#", 1.234, "1.23"},
             {"0.0#", 1.2, "1.2"},
             {"0.0#", 1, "1.0"},
             {"00-00", 12345, "123-45"},
             {".00", 0.5, ".50"},
             {".00", 12.5, "12.50"},
             {"\"a;b\"0", 5, "a;b5"},
             {"'No. '000", 7, "No. 007"},
             {"0 \"件\"", 3, "3 件"}});
}

TEST(FormatMask, CurrencyForms) {
  ExpectAll({{"¥#,##0.00", 1234.5, "¥1,234.50"},
             {"¥#,##0.00", -1234.5, "-¥1,234.50"},
             {"\"US$ \"#,##0.00", 1234.5, "US$ 1,234.50"},
             {"#,##0.00 元", 0.1, "0.10 元"},
             {"$#,##0.00;($#,##0.00)", -1234.567, "($1,234.57)"},
             {"$#,##0.00;($#,##0.00)", 0, "$0.00"}});
}

TEST(FormatMask, SectionsForPositiveNegativeAndZero) {
  ExpectAll({{"0.00;(0.00);零", 5, "5.00"},
             {"0.00;(0.00);零", -5, "(5.00)"},
             {"0.00;(0.00);零", 0, "零"},
             {"0.00;(0.00);零", -0.001, "零"},  // rounds to zero: the zero section
             {"0.00;(0.00)", -0.001, "0.00"},
             {"0.00", -0.001, "0.00"},  // no "-0.00"
             {"0.00;;", -5, "-5.00"},   // empty sections fall back to the first
             {"0.00;;", 0, "0.00"},
             {"0;0;zero;ignored", 0, "zero"},
             {"", 1.5, "1.5"},  // no mask: the general form
             {";0", 2.25, "2.25"},
             {"0", 1e20, "1E20"},
             {"0.00", std::numeric_limits<double>::quiet_NaN(), "NAN"},
             {"0.00", -std::numeric_limits<double>::infinity(), "-INF"}});
}

TEST(FormatMask, ScientificNotation) {
  ExpectAll({{"0.00E+00", 12345, "1.23E+04"},
             {"0.00E+00", 0.000123, "1.23E-04"},
             {"0.00E+00", 9.999, "1.00E+01"},
             {"0.00E+00", 0, "0.00E+00"},
             {"0.0e-0", 12345, "1.2e4"},
             {"0.0e-0", 0.012345, "1.2e-2"},
             {"00.0E+0", -12345, "-12.3E+3"}});
}

// Random values against the C library: exact halves of the last shown digit
// round up, and every other value prints as "%.*f" prints it.
TEST(FormatMask, MatchesCorrectRoundingOnRandomValues) {
  std::mt19937_64 rng(20261209);
  std::uniform_int_distribution<long long> units(-99999999, 99999999);
  std::uniform_real_distribution<double> any(-1e7, 1e7);
  const char* masks[] = {"0", "0.0", "0.00", "0.000", "0.0000"};
  for (int decimals = 0; decimals <= 4; ++decimals) {
    const double scale = std::pow(10.0, decimals);
    for (int i = 0; i < 2000; ++i) {
      long long n = units(rng);
      double half = (static_cast<double>(n) + (n < 0 ? -0.5 : 0.5)) / scale;
      char want[64];
      long long away = n + (n < 0 ? -1 : 1);
      std::snprintf(want, sizeof want, "%.*f", decimals, static_cast<double>(away) / scale);
      EXPECT_EQ(FormatFloat(masks[decimals], half), want) << half;

      double x = any(rng);
      double frac = std::fabs(x * scale) - std::floor(std::fabs(x * scale));
      // Within the 15-digit form's reach of a half the spreadsheet rule applies.
      if (std::fabs(frac - 0.5) < std::fabs(x * scale) * 1e-13) continue;
      std::snprintf(want, sizeof want, "%.*f", decimals, x);
      std::string expected = want;
      if (expected[0] == '-' && expected.find_first_not_of("-0.") == std::string::npos)
        expected.erase(0, 1);
      EXPECT_EQ(FormatFloat(masks[decimals], x), expected) << x;
    }
  }
}

}  // namespace qd

namespace qd {

// Spreadsheets get the masks as number-format codes: literals quoted (a bare
// "%" would scale by 100, letters would be date codes), separators as #,##0.
TEST(FormatMask, SpreadsheetCodesQuoteLiteralsAndSpellOutSections) {
  EXPECT_EQ(SpreadsheetNumberFormat(""), "General");
  EXPECT_EQ(SpreadsheetNumberFormat("0.00"), "0.00");
  EXPECT_EQ(SpreadsheetNumberFormat("0.0\"%\""), "0.0\"%\"");
  EXPECT_EQ(SpreadsheetNumberFormat("0.0%"), "0.0\"%\"");
  EXPECT_EQ(SpreadsheetNumberFormat("#,##0"), "#,##0");
  EXPECT_EQ(SpreadsheetNumberFormat("0,"), "#,##0");
  EXPECT_EQ(SpreadsheetNumberFormat("#,##0.00元"), "#,##0.00\"元\"");
  EXPECT_EQ(SpreadsheetNumberFormat("¥#,##0.00;(¥#,##0.00);-"),
            "\"¥\"#,##0.00;(\"¥\"#,##0.00);-");
  EXPECT_EQ(SpreadsheetNumberFormat("0.00;;"), "0.00;-0.00;0.00");
  EXPECT_EQ(SpreadsheetNumberFormat("0.00E+00"), "0.00E+00");
  EXPECT_EQ(SpreadsheetNumberFormat("say \"hi\""), "\"say\" \"hi\"");
}

// A code read back as a mask shows every value as the mask itself does.
TEST(FormatMask, SpreadsheetCodesShowValuesAsTheirMasks) {
  const char* masks[] = {"0",        "0.00",          "#,##0",     "#,##0.00;(#,##0.00);-",
                         "0.0\"%\"", "0.00;;\"nil\"", "00.00￥",   "#.##",
                         ",0.0",     "0.000E+00",     "'x'0.00'y'"};
  const double values[] = {0, 0.004, -0.004, 1, -1, 2.675, 1234.5, -1234567.891, 98765432.1, 1e-7};
  for (const char* mask : masks)
    for (double v : values) {
      const std::string code = SpreadsheetNumberFormat(mask);
      EXPECT_EQ(FormatFloat(code, v), FormatFloat(mask, v)) << mask << " as " << code << ": " << v;
    }
}

}  // namespace qd
