#include "app/cli_pivot.h"
#include "model/layout_estimate.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "app/cli.h"
#include "app/cli_output.h"
#include "app/terminal_progress.h"
#include "engine/core/format.h"
#include "engine/core/text_helpers.h"
#include "engine/cube/cube_file.h"
#include "engine/cube/dim_map.h"

namespace qd {

namespace {

// Sub-function names of the command line, in sub-function order.
const std::vector<std::string> kSubFunctionNames = {"value",   "rowrank", "colrank",
                                                    "rowpct",  "colpct",  "rowprev",
                                                    "colprev", "rowcum",  "colcum"};

void AddUnique(std::vector<std::string>& list, const std::string& name) {
  if (!name.empty() && std::find(list.begin(), list.end(), name) == list.end())
    list.push_back(name);
}

int FindFunction(const std::string& name) {
  std::vector<std::string> names;
  for (int f = 0; f < kFunctionCount; ++f) {
    if (SameText(FunctionDisplayName(f), name)) return f;
    AddUnique(names, FunctionDisplayName(f));
  }
  RaiseUnknownName(Format(Msg(TMsg::SCliNoFunction), name), name, names);
}

int FindSubFunction(const std::string& name) {
  const auto it = std::find(kSubFunctionNames.begin(), kSubFunctionNames.end(), Lower(name));
  if (it == kSubFunctionNames.end())
    RaiseUnknownName(Format(Msg(TMsg::SCliNoSubFunction), name), name, kSubFunctionNames);
  return static_cast<int>(it - kSubFunctionNames.begin());
}

// A layout above the size limits is refused before it is computed, with the
// estimate; --force computes it anyway.
void RefuseLargeLayout(TGridInfo& grid) {
  const TLayoutEstimate e = EstimateLayout(grid);
  const TLayoutLimits limits;
  if (!e.Exceeds(limits)) return;
  const auto mb = [](std::int64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20); };
  throw EGenericError(Format(Msg(TMsg::SCliLayoutTooLarge), std::to_string(e.Cells), mb(e.Bytes),
                             std::to_string(limits.Cells), mb(limits.Bytes)));
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

std::vector<bool> ShownSummaries(TSummarySettings& settings, const TPivotOptions& o) {
  std::vector<bool> shown(static_cast<std::size_t>(settings.Count()), o.Summaries.empty());
  for (const std::string& name : o.Summaries) {
    bool found = false;
    std::vector<std::string> names;
    for (int s = 0; s < settings.Count(); ++s) {
      const TSummaryInfo& info = settings.Items(s);
      if (SameText(info.FieldName, name) || SameText(info.DisplayName, name))
        shown[static_cast<std::size_t>(s)] = found = true;
      AddUnique(names, info.DisplayName);
      AddUnique(names, info.FieldName);
    }
    if (!found) RaiseUnknownName(Format(Msg(TMsg::SCliNoSummary), name), name, names);
  }
  return shown;
}

void ApplySummaries(TGridInfo& grid, const TPivotOptions& o) {
  TSummarySettings& settings = grid.SummarySettings();
  const std::vector<bool> shown = ShownSummaries(settings, o);
  std::vector<int> functions, subFunctions;
  for (const std::string& f : o.Functions) functions.push_back(FindFunction(f));
  // A cube aggregated in the database has no single facts to serve these.
  const TFactTable* facts = grid.Cube() ? grid.Cube()->FactTable() : nullptr;
  if (facts && facts->Weights())
    for (int f : functions)
      if (std::string why = AggregatedRefusal(static_cast<TFunction>(f)); !why.empty())
        throw ECliUsageError(why);
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

bool IsNumeric(TFieldType t) {
  using enum TFieldType;
  return t == ftSmallint || t == ftInteger || t == ftWord || t == ftFloat || t == ftCurrency ||
         t == ftBCD || t == ftLargeint || t == ftFMTBcd || t == ftAutoInc;
}

// The CSV file as a cube: the fields the layout and filters name become
// dimensions, the summaries named (or else every other numeric field) summaries.
void ImportCsv(TLoadedPivot& p, const TPivotOptions& o, TTerminalProgress& progress) {
  const TCsvFileSource source = CsvFileSource(o.File);
  p.Connection = std::make_unique<TDbConnection>(source.ConnectionString);
  p.Query = std::make_unique<TDbQuery>(p.Connection.get(), source.Sql);
  TVantra& cube = p.Cube;
  cube.SetDataSet(p.Query.get());
  cube.RefreshDimensionMap();
  std::vector<std::string> fields;
  for (int i = 0; i < cube.SourceFields().Count(); ++i)
    fields.push_back(cube.SourceFields().Items(i).FieldName);
  auto item = [&](const std::string& name) {
    TDimSum* found = cube.DimensionMap().FindPlain(name);
    if (!found) RaiseUnknownName(Format(Msg(TMsg::SCliNoField), name), name, fields);
    return found;
  };
  auto isDimension = [](const TDimSum* i) { return i->DimSumType == TDimSumType::dsDimension; };
  for (int g = 0; g < 3; ++g)
    for (const std::string& name : o.Axes[g])
      if (!isDimension(item(name))) cube.PlaceAsDimension(name, static_cast<TDimGroup>(g));
  for (const TMemberFilter& f : o.Filters)
    if (!isDimension(item(f.Dimension))) cube.PlaceAsDimension(f.Dimension, TDimGroup::dgPage);
  for (const std::string& name : o.Summaries)
    if (!isDimension(item(name))) cube.MarkAsSummary(name);
  if (o.Summaries.empty())
    for (int i = 0; i < cube.SourceFields().Count(); ++i) {
      const TSourceField& f = cube.SourceFields().Items(i);
      if (IsNumeric(f.DataType) && !isDimension(item(f.FieldName)))
        cube.MarkAsSummary(f.FieldName);
    }
  cube.ProgressSink = &progress;
  cube.Options().ShowProgressBar = true;
  cube.SetActive(true);
  p.Grid.SetVantra(&cube);
}

bool IsStoredPivotFile(const std::string& path) {
  const std::string ext = Lower(std::filesystem::path(path).extension().string());
  return ext == ".vtc" || ext == ".vtg";
}

}  // namespace

std::vector<TCliOption> PivotOptionSpec() {
  return {{"--rows", true},         {"--cols", true},      {"--page", true},
          {"--filter", true, true}, {"--summaries", true}, {"--functions", true},
          {"--subfunctions", true}, {"--totals", true},    {"--expand", true},
          kTimingOption,            kQuietOption,          {"--force"}};
}

TMemberFilter ParseMemberFilter(const std::string& text) {
  const std::size_t eq = text.find('=');
  TMemberFilter f;
  if (eq != std::string::npos) f.Dimension = Trim(std::string_view(text).substr(0, eq), " ");
  std::string member;
  auto add = [&] {
    if (const std::string_view name = Trim(member, " "); !name.empty())
      f.Members.emplace_back(name);
    member.clear();
  };
  for (std::size_t i = eq + 1; eq != std::string::npos && i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == ',')
      member += text[++i];
    else if (text[i] == ',')
      add();
    else
      member += text[i];
  }
  add();
  if (f.Dimension.empty() || f.Members.empty()) RaiseUsage(TMsg::SCliBadFilter, text);
  return f;
}

TPivotOptions ReadPivotOptions(const TCliArgs& args) {
  TPivotOptions o;
  o.File = args.Positional(0);
  const char* axes[] = {"--rows", "--cols", "--page"};
  for (int g = 0; g < 3; ++g)
    if (std::optional<std::string> v = args.Value(axes[g])) {
      o.Axes[g] = SplitCommaList(*v);
      o.HasLayout = true;
    }
  for (const std::string& f : args.Values("--filter")) o.Filters.push_back(ParseMemberFilter(f));
  o.Summaries = SplitCommaList(args.Value("--summaries").value_or(""));
  o.Functions = SplitCommaList(args.Value("--functions").value_or(""));
  o.SubFunctions = SplitCommaList(args.Value("--subfunctions").value_or(""));
  const std::string totals = args.Choice("--totals", {"first", "last", "invisible"}, "");
  if (totals == "first") o.Totals = TTotalAppearance::taFirst;
  if (totals == "last") o.Totals = TTotalAppearance::taLast;
  if (totals == "invisible") o.Totals = TTotalAppearance::taInvisible;
  const std::string expand = args.Choice("--expand", {"all", "none"}, "");
  if (!expand.empty()) o.Expand = expand == "all";
  o.Timing = args.Has("--timing");
  o.Quiet = args.Has("--quiet");
  o.Force = args.Has("--force");
  return o;
}

int FindDimension(const TGridInfo& grid, const std::string& name) {
  std::vector<std::string> names;
  for (int d = 0; d < grid.DimensionStateCount(); ++d) {
    const std::string& display = grid.DimensionState(d).DisplayName;
    if (SameText(grid.GetDimName(d), name) || SameText(display, name)) return d;
    AddUnique(names, display);
    AddUnique(names, grid.GetDimName(d));
  }
  RaiseUnknownName(Format(Msg(TMsg::SCliNoDimension), name), name, names);
}

std::vector<std::string> TLoadedPivot::Warnings() const {
  std::vector<std::string> out = NonNumberMessages(Cube.Built());
  for (const std::string& e : Grid.FormulaErrors()) out.push_back(e);
  return out;
}

std::unique_ptr<TLoadedPivot> LoadPivot(const TPivotOptions& o, TPhaseClock& clock,
                                        TTerminalProgress& progress) {
  auto p = std::make_unique<TLoadedPivot>();
  p->Cube.Options().ShowProgressBar = false;
  progress.SetCaption(Msg(TMsg::SCliLoadingFile));
  const std::string ext = Lower(std::filesystem::path(o.File).extension().string());
  // The layout, filters and summaries asked for are applied before the model
  // first aggregates, so that the facts are scanned once, for what is shown.
  // A grid file's layout needs the model while the cube is read, so its first
  // aggregation counts as loading.
  const bool deferred = ext != ".vtg";
  if (deferred) p->Grid.BeginUpdate();
  if (!IsStoredPivotFile(o.File)) {
    ImportCsv(*p, o, progress);
  } else if (ext == ".vtg") {
    p->Grid.SetVantra(&p->Cube);
    p->Grid.LoadFromFile(o.File);
  } else {
    LoadCubeFromFile(p->Cube, o.File);
    p->Grid.SetVantra(&p->Cube);
  }
  clock.End("load");
  if (!p->Grid.IsActive()) throw EGenericError(Format(Msg(TMsg::SCliNoCubeInFile), o.File));
  progress.SetCaption(Msg(TMsg::SCliAggregating));
  if (!deferred) p->Grid.ProcessNotifications();
  if (o.HasLayout) ApplyLayout(p->Grid, o);
  ApplyMemberFilters(p->Grid, o.Filters);
  if (!o.Summaries.empty() || !o.Functions.empty() || !o.SubFunctions.empty())
    ApplySummaries(p->Grid, o);
  if (!o.Force) RefuseLargeLayout(p->Grid);
  if (deferred) p->Grid.EndUpdate(TChangeKind::ckCube);
  ApplyExpansion(p->Grid, o);
  p->Grid.ProcessNotifications();
  return p;
}

void ApplyMemberFilters(TGridInfo& grid, const std::vector<TMemberFilter>& filters) {
  // Filters of one dimension add up.
  std::map<int, std::vector<std::string>> byDimension;
  for (const TMemberFilter& f : filters) {
    std::vector<std::string>& members = byDimension[FindDimension(grid, f.Dimension)];
    members.insert(members.end(), f.Members.begin(), f.Members.end());
  }
  if (byDimension.empty()) return;
  grid.BeginUpdate();
  for (const auto& [d, members] : byDimension) {
    TDimensionState& state = grid.DimensionState(d);
    const int n = state.NodeCount();
    std::vector<bool> checked(static_cast<std::size_t>(n)), shown(static_cast<std::size_t>(n));
    for (const std::string& name : members) {
      // The caption as written, else without regard to Latin letter case.
      bool found = false;
      for (int pass = 0; pass < 2 && !found; ++pass)
        for (int i = 0; i < n; ++i)
          if (pass == 0 ? state.Node(i).Caption == name : SameText(state.Node(i).Caption, name))
            checked[static_cast<std::size_t>(i)] = found = true;
      if (found) continue;
      std::vector<std::string> captions;
      for (int i = 0; i < n; ++i) AddUnique(captions, state.Node(i).Caption);
      RaiseUnknownName(Format(Msg(TMsg::SCliNoMember), state.DisplayName, name), name, captions);
    }
    // A checked node checks its subtree, and each checked node keeps its
    // ancestors shown.
    auto underChecked = [&](int i) {
      for (int a = i; a >= 0; a = state.ParentNode(a))
        if (checked[static_cast<std::size_t>(a)]) return true;
      return false;
    };
    for (int i = 0; i < n; ++i)
      if (underChecked(i))
        for (int a = i; a >= 0 && !shown[static_cast<std::size_t>(a)]; a = state.ParentNode(a))
          shown[static_cast<std::size_t>(a)] = true;
    for (int i = 0; i < n; ++i) {
      // Groups holding no members stay as they are.
      if (state.IsGroupNode(i) && !state.HasChildren(i)) continue;
      state.Node(i).Visible = shown[static_cast<std::size_t>(i)];
    }
    grid.ApplyDimensionState(state);
  }
  grid.EndUpdate(TChangeKind::ckMembers);
}

}  // namespace qd
