// The pivot grid as XML in two dialects: an XML for Analysis response (a SOAP
// envelope around an MDDataSet-shaped result with its inline schema, the axis
// tuples and one element per data cell) or an XML Spreadsheet workbook with a
// style table and merged cells.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "export/grid_export.h"

namespace qd {

enum class TvtXMLSpecification : std::uint8_t { xmlAnalysis = 0, xmlSpreadsheet = 1 };

//! One distinct cell appearance of the spreadsheet dialect.
struct TVantraGridExportToXMLStyle {
  std::string FontName;
  int FontSize = 0;
  TColor FontColor = clNone;
  bool Bold = false, Italic = false;  //!< recorded only with UseFontStyles
  TColor Color = clNone;
  TAlignment Alignment = TAlignment::taRightJustify;
  std::uint8_t Borders = 0;
  std::string FormatString;
  bool Marked = false;  //!< the low-count marker after the value

  bool Matches(const TVantraGridExportToXMLStyle& other) const;
};

class TVantraGridExportToXML : public TVantraGridExport {
 public:
  //! The cube name (analysis) and the worksheet name (spreadsheet).
  std::string CubeName;
  //! The declared encoding. Empty declares none and writes UTF-8; "GB18030",
  //! "GBK" and "GB2312" write GB18030 bytes; any other name than "UTF-8" is
  //! replaced by "UTF-8", the bytes the document holds.
  std::string Encoding;
  //! Blanks of indentation per nesting level.
  int TagIndent = 1;
  TvtXMLSpecification Specification = TvtXMLSpecification::xmlAnalysis;

 protected:
  void BeginExport() override;
  void EndExport() override;
  void ExportCell(int col, int row) override;
  void ExportRow(int row) override;
  void ExportData() override;

 private:
  using TAttrs = std::vector<std::pair<std::string, std::string>>;
  void Line(const std::string& text);
  void Open(const std::string& tag, const TAttrs& attrs = {});
  void Close(const std::string& tag);
  //! The element on one line with its content (empty: both tags on the line).
  void Content(const std::string& tag, const TAttrs& attrs, const std::string& content);
  void Empty(const std::string& tag, const TAttrs& attrs);

  // Analysis dialect (xml_analysis.cpp).
  void BeginAnalysis();
  void WriteSchema();
  void WriteOlapInfo();
  void WriteAxes();
  //! axis 0 rows, 1 columns, 2 the page dimensions (the slicer axis).
  void WriteTuples(int axis);
  void WriteMembers(const std::vector<std::string>& path, const std::vector<std::string>& names,
                    std::size_t first);
  std::vector<std::string> HierarchyNames(int axis) const;
  void WriteAnalysisCell(int col, int row);
  void EndAnalysis();

  // Spreadsheet dialect.
  void BeginSpreadsheet();
  void WriteColumns();
  void WriteHeading();
  void WriteFootnotes();
  int FootnoteRows() const;
  void WriteSpreadsheetCell(int col, int row);
  void WriteStyle(int k);
  int FindOrAddStyle(const TVantraGridExportToXMLStyle& style);
  void EndSpreadsheet();

  bool WritesGb18030() const;

  int FDepth = 0;
  int FCellOrdinal = 0;
  bool FSkip = false;
  std::vector<TVantraGridExportToXMLStyle> FStyles;
  std::ostringstream FDocument, FSheet;
  std::ostream* FRealOutput = nullptr;
};

//! & < > and the double quote as character references; control characters
//! XML cannot hold become blanks.
std::string XmlEscape(const std::string& text);

}  // namespace qd
