#include "app/export_commands.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "app/cli.h"
#include "engine/cube/cube_file.h"
#include "engine/cube/dim_map.h"
#include "engine/core/errors.h"
#include "export/excel_export.h"
#include "export/html_export.h"
#include "export/rtf_export.h"
#include "export/xls_export.h"
#include "export/xml_export.h"
#include "model/grid_info.h"

namespace qd {

namespace {

constexpr const char* kLayoutUsage =
    "[--rows F1,F2] [--cols F3] [--page F4] [--summaries S1,S2] [--functions Sum,...] "
    "[--subfunctions value,rowrank,...] [--totals first|last|invisible] [--expand all|none] "
    "[--timing]";

// Sub-function names of the command line, in sub-function order.
constexpr const char* kSubFunctionNames[] = {"value",   "rowrank", "colrank", "rowpct", "colpct",
                                             "rowprev", "colprev", "rowcum",  "colcum"};

struct TPivotOptions {
  std::string File;
  std::vector<std::string> Axes[3];
  bool HasLayout = false;
  std::vector<std::string> Summaries, Functions, SubFunctions;
  std::optional<TTotalAppearance> Totals;
  std::optional<bool> Expand;
  std::string Format = "grid";
  bool Timing = false;
  std::string To;
  bool Xmla = false;
};

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

TPivotOptions ParseOptions(const std::vector<std::string>& args, bool exporting) {
  const std::string usage = std::string("usage: quarrydesk-cli ") +
                            (exporting ? "export FILE --to OUT [--xmla] " : "pivot FILE ") +
                            kLayoutUsage + (exporting ? "" : " [--format grid|cells]");
  TPivotOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw EGenericError(usage);
      return args[++i];
    };
    if (a == "--rows" || a == "--cols" || a == "--page") {
      const int axis = a == "--rows" ? 0 : a == "--cols" ? 1 : 2;
      o.Axes[axis] = SplitCommaList(value());
      o.HasLayout = true;
    } else if (a == "--summaries") {
      o.Summaries = SplitCommaList(value());
    } else if (a == "--functions") {
      o.Functions = SplitCommaList(value());
    } else if (a == "--subfunctions") {
      o.SubFunctions = SplitCommaList(value());
    } else if (a == "--totals") {
      const std::string v = value();
      if (v == "first")
        o.Totals = TTotalAppearance::taFirst;
      else if (v == "last")
        o.Totals = TTotalAppearance::taLast;
      else if (v == "invisible")
        o.Totals = TTotalAppearance::taInvisible;
      else
        throw EGenericError(usage);
    } else if (a == "--expand") {
      const std::string v = value();
      if (v != "all" && v != "none") throw EGenericError(usage);
      o.Expand = v == "all";
    } else if (a == "--format" && !exporting) {
      o.Format = value();
      if (o.Format != "grid" && o.Format != "cells") throw EGenericError(usage);
    } else if (a == "--to" && exporting) {
      o.To = value();
    } else if (a == "--xmla" && exporting) {
      o.Xmla = true;
    } else if (a == "--timing") {
      o.Timing = true;
    } else if (o.File.empty() && a.rfind("--", 0) != 0) {
      o.File = a;
    } else {
      throw EGenericError(usage);
    }
  }
  if (o.File.empty() || (exporting && o.To.empty())) throw EGenericError(usage);
  return o;
}

// Times the phases of a command; prints "name: seconds" lines on stderr.
class TPhaseClock {
 public:
  explicit TPhaseClock(bool enabled) : FEnabled(enabled) {}
  void End(const char* phase) {
    const auto now = std::chrono::steady_clock::now();
    if (FEnabled) {
      char line[64];
      std::snprintf(line, sizeof line, "%s: %.6f\n", phase,
                    std::chrono::duration<double>(now - FStart).count());
      std::cerr << line;
    }
    FStart = now;
  }

 private:
  bool FEnabled;
  std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
};

int FindDimension(const TGridInfo& grid, const std::string& name) {
  for (int d = 0; d < grid.DimensionStateCount(); ++d)
    if (SameText(grid.GetDimName(d), name) || SameText(grid.DimensionState(d).DisplayName, name))
      return d;
  throw EGenericError("no dimension named '" + name + "'");
}

int FindFunction(const std::string& name) {
  for (int f = 0; f < kFunctionCount; ++f)
    if (SameText(FunctionDisplayName(f), name)) return f;
  throw EGenericError("no function named '" + name + "'");
}

int FindSubFunction(const std::string& name) {
  for (int sf = 0; sf < kSubFunctionCount; ++sf)
    if (Lower(name) == kSubFunctionNames[sf]) return sf;
  throw EGenericError("no sub-function named '" + name + "'");
}

void ApplyLayout(TGridInfo& grid, const TPivotOptions& o) {
  std::vector<int> axes[3];
  for (int g = 0; g < 3; ++g)
    for (const std::string& name : o.Axes[g]) axes[g].push_back(FindDimension(grid, name));
  grid.BeginUpdate();
  for (int d = 0; d < grid.DimensionStateCount(); ++d)
    grid.MoveDim(d, TDimGroup::dgPage, grid.DimensionStateCount());
  for (int g = 0; g < 3; ++g)
    for (std::size_t i = 0; i < axes[g].size(); ++i)
      grid.MoveDim(axes[g][i], static_cast<TDimGroup>(g), static_cast<int>(i));
  grid.EndUpdate(TChangeKind::ckAxes);
}

void ApplySummaries(TGridInfo& grid, const TPivotOptions& o) {
  TSummarySettings& settings = grid.SummarySettings();
  std::vector<bool> shown(static_cast<std::size_t>(settings.Count()), o.Summaries.empty());
  for (const std::string& name : o.Summaries) {
    bool found = false;
    for (int s = 0; s < settings.Count(); ++s) {
      const TSummaryInfo& info = settings.Items(s);
      if (SameText(info.FieldName, name) || SameText(info.DisplayName, name))
        shown[static_cast<std::size_t>(s)] = found = true;
    }
    if (!found) throw EGenericError("no summary named '" + name + "'");
  }
  std::vector<int> functions, subFunctions;
  for (const std::string& f : o.Functions) functions.push_back(FindFunction(f));
  for (const std::string& sf : o.SubFunctions) subFunctions.push_back(FindSubFunction(sf));
  if (subFunctions.empty()) subFunctions.push_back(0);
  auto has = [](const std::vector<int>& list, int v) {
    return std::find(list.begin(), list.end(), v) != list.end();
  };
  grid.BeginUpdate();
  for (int s = 0; s < settings.Count(); ++s) {
    TSummaryInfo& info = settings.Items(s);
    const bool show = shown[static_cast<std::size_t>(s)];
    if (o.Functions.empty() && o.SubFunctions.empty()) {
      if (show && !info.Visible()) info.SetVisible(true);
      if (!show) info.SetVisible(false);
      continue;
    }
    // Calculated summaries have one function; it takes the sub-functions asked for.
    const int count = info.IsCalculated() ? 1 : kFunctionCount;
    std::vector<bool> wasVisible;
    for (int f = 0; f < count; ++f) wasVisible.push_back(info.Function(f).Visible());
    const bool anyVisible =
        std::find(wasVisible.begin(), wasVisible.end(), true) != wasVisible.end();
    for (int f = 0; f < count; ++f) {
      const bool functionShown =
          info.IsCalculated() ||
          (o.Functions.empty() ? (anyVisible ? wasVisible[static_cast<std::size_t>(f)] : f == 0)
                               : has(functions, f));
      for (int sf = 0; sf < kSubFunctionCount; ++sf)
        info.Function(f).SubFunction(sf).Visible = show && functionShown && has(subFunctions, sf);
    }
  }
  if (!o.SubFunctions.empty())
    grid.SetLowestSubLevelNode(TSubLevelNodeType::ltSubFunction);
  else if (!o.Functions.empty())
    grid.SetLowestSubLevelNode(TSubLevelNodeType::ltFunction);
  grid.EndUpdate(TChangeKind::ckDataColumns);
}

void ApplyExpansion(TGridInfo& grid, const TPivotOptions& o) {
  if (o.Totals) {
    grid.BeginUpdate();
    for (int d = 0; d < grid.DimensionStateCount(); ++d)
      grid.SetTotalAppearance(grid.DimensionState(d), *o.Totals);
    grid.EndUpdate(TChangeKind::ckTotals);
  }
  if (!o.Expand) return;
  for (TDimGroup g : {TDimGroup::dgRow, TDimGroup::dgCol}) {
    const std::vector<int> dims = grid.AxisDims(g);
    for (int d : dims) {
      if (*o.Expand)
        grid.ExpandAll(grid.DimensionState(d));
      else
        grid.CollapseAll(grid.DimensionState(d));
    }
  }
}

// A stored cube or grid file, its model, and the options applied.
struct TLoadedPivot {
  TVantra Cube;
  TGridInfo Grid;
  ~TLoadedPivot() { Grid.SetVantra(nullptr); }
};

std::unique_ptr<TLoadedPivot> LoadPivot(const TPivotOptions& o, TPhaseClock& clock) {
  auto p = std::make_unique<TLoadedPivot>();
  p->Cube.Options().ShowProgressBar = false;
  const std::string ext = Lower(std::filesystem::path(o.File).extension().string());
  if (ext == ".vtg") {
    // The grid file's layout needs the model while the cube is read, so its
    // first aggregation counts as loading.
    p->Grid.SetVantra(&p->Cube);
    p->Grid.LoadFromFile(o.File);
    clock.End("load");
  } else {
    LoadCubeFromFile(p->Cube, o.File);
    clock.End("load");
    p->Grid.SetVantra(&p->Cube);
  }
  if (!p->Grid.IsActive()) throw EGenericError(o.File + ": no cube in the file");
  p->Grid.ProcessNotifications();
  if (o.HasLayout) ApplyLayout(p->Grid, o);
  if (!o.Summaries.empty() || !o.Functions.empty() || !o.SubFunctions.empty())
    ApplySummaries(p->Grid, o);
  ApplyExpansion(p->Grid, o);
  p->Grid.ProcessNotifications();
  return p;
}

std::string PathText(const TGridInfo& grid, const TLabelNode* node) {
  std::string path;
  for (const TLabelNode* n = node; n; n = n->Parent)
    path = grid.GetNodeCaption(*n) + (path.empty() ? "" : " | " + path);
  return path;
}

std::string ExactNumber(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

void PrintCells(TGridInfo& grid, std::ostream& out, TPhaseClock& clock) {
  const int rows = grid.RowLineCount(), columns = static_cast<int>(grid.DataColumns().size());
  std::vector<TCellValue> values;
  values.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) values.push_back(grid.GetCellValue(r, c));
  clock.End("pivot");
  std::vector<std::string> heads;
  for (int c = 0; c < columns; ++c) {
    int s = 0, f = 0, sf = 0;
    grid.GetColumnSubLevel(c, s, f, sf);
    const TFunctionDefs& defs = grid.FunctionDefs();
    heads.push_back(PathText(grid, grid.GetColumnLine(c)) + '\t' +
                    grid.SummarySettings().Items(s).DisplayName + '\t' +
                    (f < defs.Count() ? defs.Items(f).DisplayName : FunctionDisplayName(f)) + '\t' +
                    SubFunctionDisplayName(sf) + '\t');
  }
  std::size_t i = 0;
  for (int r = 0; r < rows; ++r) {
    const std::string rowPath = PathText(grid, grid.GetRowLine(r)) + '\t';
    for (int c = 0; c < columns; ++c, ++i) {
      const TCellValue& v = values[i];
      out << rowPath << heads[static_cast<std::size_t>(c)]
          << (v.HasValue ? ExactNumber(v.Value) : std::string()) << '\n';
    }
  }
}

}  // namespace

bool IsStoredPivotFile(const std::string& path) {
  const std::string ext = Lower(std::filesystem::path(path).extension().string());
  return ext == ".vtc" || ext == ".vtg";
}

int CliPivotCube(const std::vector<std::string>& args, std::ostream& out) {
  const TPivotOptions o = ParseOptions(args, false);
  TPhaseClock clock(o.Timing);
  auto p = LoadPivot(o, clock);
  if (o.Format == "cells") {
    PrintCells(p->Grid, out, clock);
  } else {
    auto snapshot = BuildGridExportStructure(p->Grid);
    clock.End("pivot");
    if (snapshot) out << ExportGridText(p->Grid, *snapshot);
  }
  out.flush();
  clock.End("output");
  return 0;
}

int CliExport(const std::vector<std::string>& args, std::ostream&) {
  const TPivotOptions o = ParseOptions(args, true);
  const std::string ext = Lower(std::filesystem::path(o.To).extension().string());
  std::unique_ptr<TVantraGridExport> exporter;
  if (ext == ".xls") {
    exporter = std::make_unique<TVantraGridExportToXLS>();
  } else if (ext == ".htm" || ext == ".html") {
    exporter = std::make_unique<TVantraGridExportToHTML>();
  } else if (ext == ".xml") {
    auto xml = std::make_unique<TVantraGridExportToXML>();
    xml->Specification =
        o.Xmla ? TvtXMLSpecification::xmlAnalysis : TvtXMLSpecification::xmlSpreadsheet;
    xml->CubeName = std::filesystem::path(o.File).stem().string();
    exporter = std::move(xml);
  } else if (ext == ".rtf") {
    exporter = std::make_unique<TVantraGridExportToRTF>();
  } else if (ext == ".xlsx") {
    exporter = std::make_unique<TVantraGridExportToExcel>();
  } else {
    throw EGenericError(o.To +
                        ": the document type is not one of .xls, .xlsx, .htm, "
                        ".html, .xml, .rtf");
  }
  TPhaseClock clock(o.Timing);
  auto p = LoadPivot(o, clock);
  exporter->SetGrid(&p->Grid);
  exporter->Name = "quarrydesk";
  // Stored cubes are saved under their catalog caption.
  exporter->CubeCaption = std::filesystem::path(o.File).stem().string();
  exporter->UseSnapshot(BuildGridExportStructure(p->Grid));
  clock.End("pivot");
  exporter->ExportToFile(o.To);
  clock.End("output");
  return 0;
}

}  // namespace qd
