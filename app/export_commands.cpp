#include "app/export_commands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <ostream>

#include "app/cli.h"
#include "app/cli_args.h"
#include "app/cli_output.h"
#include "app/cli_pivot.h"
#include "model/pivot_cells.h"
#include "model/cell_evidence.h"
#include "app/terminal_progress.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "export/excel_export.h"
#include "export/html_export.h"
#include "export/metafile_export.h"
#include "export/rtf_export.h"
#include "export/xls_export.h"
#include "export/xml_export.h"

namespace qd {

namespace {

// A document type of the export command: its format name, the extensions that
// select it, whether it may go to standard output, and whether its writer
// makes the file itself.
struct TDocumentType {
  const char* Format;
  std::vector<std::string> Extensions;
  bool Text;
  bool OwnFile = false;
};

const std::vector<TDocumentType>& DocumentTypes() {
  static const std::vector<TDocumentType> types = {
      {"xls", {"xls"}, false},  {"xlsx", {"xlsx"}, false, true}, {"html", {"htm", "html"}, true},
      {"xml", {"xml"}, true},   {"rtf", {"rtf"}, true},          {"csv", {"csv"}, true},
      {"json", {"json"}, true},   {"pdf", {"pdf"}, false},           {"svg", {"svg"}, true},
      {"emf", {"emf"}, false},    {"wmf", {"wmf"}, false},
  };
  return types;
}

// Per dimension of an axis, the captions of the line's nodes of that dimension
// ("北京 | C" in a hierarchy), "Total" for a dimension the line sums over.
std::vector<std::string> DimensionTexts(const TGridInfo& grid, const TLabelNode* line,
                                        const std::vector<int>& dims) {
  std::vector<std::string> texts(dims.size());
  for (const TLabelNode* n = line; n; n = n->Parent) {
    const auto it = std::find(dims.begin(), dims.end(), n->DimIndex);
    if (it == dims.end()) continue;
    std::string& text = texts[static_cast<std::size_t>(it - dims.begin())];
    text = grid.GetNodeCaption(*n) + (text.empty() ? "" : " | " + text);
  }
  for (std::string& t : texts)
    if (t.empty()) t = Msg(TMsg::SGridTotalCaption);
  return texts;
}

// With `withCount` each line ends with the cell's fact count (empty for a
// calculated summary).
void PrintCells(TGridInfo& grid, const std::vector<TCellValue>& values, std::ostream& out,
                bool withCount) {
  const int columns = static_cast<int>(grid.DataColumns().size());
  ForEachCellKey(grid, [&](std::size_t i, const std::string& key) {
    out << key << '\t' << (values[i].HasValue ? ExactNumber(values[i].Value) : std::string());
    if (withCount) {
      const int row = static_cast<int>(i) / columns, column = static_cast<int>(i) % columns;
      const std::optional<std::int64_t> n = CellFactCount(grid, row, column);
      out << '\t' << (n ? std::to_string(*n) : std::string());
    }
    out << '\n';
  });
}

void WriteCellRecords(TGridInfo& grid, const std::vector<TCellValue>& values,
                      TRecordWriter::TFormat format, std::ostream& out) {
  const std::vector<int>& rowDims = grid.RowDims();
  const std::vector<int>& colDims = grid.ColDims();
  std::vector<std::string> keys;
  for (const std::vector<int>* dims : {&rowDims, &colDims})
    for (int d : *dims) keys.push_back(grid.DimensionState(d).DisplayName);
  for (const char* k : {"summary", "function", "sub-function", "value"}) keys.emplace_back(k);
  TRecordWriter writer(out, format, std::move(keys));
  const int rows = grid.RowLineCount(), columns = static_cast<int>(grid.DataColumns().size());
  std::vector<std::vector<std::string>> heads;
  for (int c = 0; c < columns; ++c) {
    std::vector<std::string> head = DimensionTexts(grid, grid.GetColumnLine(c), colDims);
    for (std::string& name : ColumnNames(grid, c)) head.push_back(std::move(name));
    heads.push_back(std::move(head));
  }
  std::size_t i = 0;
  for (int r = 0; r < rows; ++r) {
    const std::vector<std::string> rowTexts = DimensionTexts(grid, grid.GetRowLine(r), rowDims);
    for (int c = 0; c < columns; ++c, ++i) {
      for (const std::string& t : rowTexts) writer.Text(t);
      for (const std::string& t : heads[static_cast<std::size_t>(c)]) writer.Text(t);
      const TCellValue& v = values[i];
      writer.Number(v.HasValue ? std::optional<double>(v.Value) : std::nullopt);
      writer.EndRecord();
    }
  }
  writer.Finish();
}

// Writes the pivot's cells (cells, csv, json) or grid text (grid).
void WritePivot(TGridInfo& grid, const std::string& format, std::ostream& out,
                TPhaseClock& clock, bool withCount = false) {
  if (format == "grid") {
    auto snapshot = BuildGridExportStructure(grid);
    clock.End("pivot");
    if (snapshot) out << ExportGridText(grid, *snapshot);
    return;
  }
  const std::vector<TCellValue> values = CellValues(grid);
  clock.End("pivot");
  if (format == "cells")
    PrintCells(grid, values, out, withCount);
  else
    WriteCellRecords(grid, values,
                     format == "csv" ? TRecordWriter::TFormat::Csv : TRecordWriter::TFormat::Json,
                     out);
}

TPageWriterFactory& PageWriterFactory() {
  static TPageWriterFactory factory;
  return factory;
}

const std::vector<std::string>& PageSizes() {
  static const std::vector<std::string> sizes = {"A3", "A4", "A5", "B5", "Letter", "Legal"};
  return sizes;
}

std::unique_ptr<TVantraGridExport> MakeExporter(const std::string& format, bool xmla,
                                                const std::string& file,
                                                const TPaperOptions& paper) {
  if (format == "emf" || format == "wmf") {
    auto picture = std::make_unique<TVantraGridExportToMF>();
    picture->Enhanced = format == "emf";
    return picture;
  }
  if (format == "pdf" || format == "svg") {
    if (!PageWriterFactory()) throw EGenericError(Format(Msg(TMsg::SPrintNoPageWriter), format));
    return PageWriterFactory()(format, paper);
  }
  if (format == "xls") return std::make_unique<TVantraGridExportToXLS>();
  if (format == "xlsx") return std::make_unique<TVantraGridExportToExcel>();
  if (format == "rtf") return std::make_unique<TVantraGridExportToRTF>();
  if (format == "html") return std::make_unique<TVantraGridExportToHTML>();
  auto xml = std::make_unique<TVantraGridExportToXML>();
  xml->Specification = xmla ? TvtXMLSpecification::xmlAnalysis : TvtXMLSpecification::xmlSpreadsheet;
  xml->CubeName = std::filesystem::path(file).stem().string();
  return xml;
}

// The document type of the export: --format, else the extension of --to.
const TDocumentType& ExportType(const TCliArgs& args, const std::string& to) {
  std::vector<std::string> formats, extensions;
  for (const TDocumentType& t : DocumentTypes()) {
    formats.emplace_back(t.Format);
    for (const std::string& e : t.Extensions) extensions.push_back("." + e);
  }
  const std::string chosen = args.Choice("--format", formats, "");
  const std::string ext = FormatOfExtension(to);
  for (const TDocumentType& t : DocumentTypes())
    if (chosen.empty() ? std::count(t.Extensions.begin(), t.Extensions.end(), ext) > 0
                       : chosen == t.Format) {
      if (to == "-" && !t.Text) RaiseUsage(TMsg::SCliNoStdout, t.Format);
      return t;
    }
  if (to == "-") throw ECliUsageError(Msg(TMsg::SCliFormatNeeded));
  std::string list;
  for (const std::string& e : extensions) list += (list.empty() ? "" : "、") + e;
  throw ECliUsageError(Format(Msg(TMsg::SCliBadDocumentType), to, list));
}

std::vector<TCliOption> WithPivotOptions(std::vector<TCliOption> own) {
  std::vector<TCliOption> all = PivotOptionSpec();
  all.insert(all.end(), own.begin(), own.end());
  return all;
}

}  // namespace

void SetPageWriterFactory(TPageWriterFactory factory) { PageWriterFactory() = std::move(factory); }

int CliPivot(const std::vector<std::string>& args, std::ostream& out) {
  const TCliArgs parsed(args,
                        WithPivotOptions({{"--format", true},
                                          {"--output", true, false, "-o"},
                                          {"--with-count"}}),
                        {"FILE"}, 1);
  const TPivotOptions o = ReadPivotOptions(parsed);
  const std::string format = parsed.Choice("--format", {"grid", "cells", "csv", "json"}, "grid");
  const bool withCount = parsed.Has("--with-count");
  if (withCount && format != "cells") throw ECliUsageError(Msg(TMsg::SCliWithCountNeedsCells));
  // A target that cannot be written fails before the work.
  TCliOutput output(parsed.Value("--output").value_or("-"), out);
  TPhaseClock clock(o.Timing);
  TTerminalProgress progress(o.Quiet);
  auto p = LoadPivot(o, clock, progress);
  progress.Erase();
  for (const std::string& w : p->Warnings()) CliWarn(std::cerr, "pivot", w);
  WritePivot(p->Grid, format, output.Stream(), clock, withCount);
  output.Commit();
  clock.End("output");
  return 0;
}

int CliExport(const std::vector<std::string>& args, std::ostream& out) {
  const TCliArgs parsed(args,
                        WithPivotOptions({{"--to", true, false, "--output"},
                                          {"--format", true},
                                          {"--xmla"},
                                          {"--page-size", true},
                                          {"--landscape"}}),
                        {"FILE"}, 1);
  const std::optional<std::string> to = parsed.Value("--to");
  if (!to || to->empty()) RaiseUsage(TMsg::SCliMissingArgument, "--to OUT");
  const TDocumentType& type = ExportType(parsed, *to);
  const TPivotOptions o = ReadPivotOptions(parsed);
  TPaperOptions paper;
  paper.PageSize = parsed.Choice("--page-size", PageSizes(), "A4");
  paper.Landscape = parsed.Has("--landscape");
  TCliOutput output(*to, out);
  TPhaseClock clock(o.Timing);
  TTerminalProgress progress(o.Quiet);
  auto p = LoadPivot(o, clock, progress);
  if (const std::vector<std::string> warnings = p->Warnings(); !warnings.empty()) {
    progress.Erase();
    for (const std::string& w : warnings) CliWarn(std::cerr, "export", w);
  }
  progress.SetCaption(Msg(TMsg::SCliWriting));
  if (type.Format == std::string("csv") || type.Format == std::string("json")) {
    progress.Erase();
    WritePivot(p->Grid, type.Format, output.Stream(), clock);
  } else {
    std::unique_ptr<TVantraGridExport> exporter =
        MakeExporter(type.Format, parsed.Has("--xmla"), o.File, paper);
    exporter->SetGrid(&p->Grid);
    exporter->Name = "quarrydesk";
    // Stored cubes are saved under their catalog caption.
    exporter->CubeCaption = std::filesystem::path(o.File).stem().string();
    exporter->UseSnapshot(BuildGridExportStructure(p->Grid));
    clock.End("pivot");
    if (type.OwnFile)
      output.WriteFile([&](const std::string& path) { exporter->ExportToFile(path); });
    else
      exporter->ExportToStream(output.Stream());
    progress.Erase();
  }
  output.Commit();
  clock.End("output");
  return 0;
}

}  // namespace qd
