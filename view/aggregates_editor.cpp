#include "view/aggregates_editor.h"

#include "engine/core/messages.h"
#include "engine/core/text_helpers.h"
#include "model/format_mask.h"
#include "model/formula_parser.h"
#include "model/grid_info.h"

namespace qd {

namespace {

TSummaryNode& NodeOf(TXPCheckTreeNode& node) {
  return static_cast<TSummaryNode&>(node);
}

// The visibility of what a node stands for.
bool ObjectVisible(const TSummaryNode& n) {
  if (n.SubFunction >= 0) return n.Summary->Function(n.Function).SubFunction(n.SubFunction).Visible;
  if (n.Function >= 0) return n.Summary->Function(n.Function).Visible();
  return n.Summary->Visible();
}

}  // namespace

std::string TCurrencyFormat::Apply(const std::string& mask) const {
  switch (Position) {
    case 1:
      return mask + Symbol;
    case 2:
      return Symbol + " " + mask;
    case 3:
      return mask + " " + Symbol;
    default:
      return Symbol + mask;
  }
}

TAggregatesEditor::TAggregatesEditor(TGridInfo& model, TCurrencyFormat currency)
    : FModel(model), FCurrency(std::move(currency)), FSettings(&model), FDefs(model.FunctionDefs()) {
  FSettings.Assign(model.SummarySettings());
  FTree.CheckMode = TTreeCheckMode::cmSingle;
  FTree.OnChecked = [this](TXPCheckTreeNode& node) {
    if (FFilling) return;
    ApplyCheck(node);
    ReadChecks();
  };
  FillTree();
}

TSummaryNode& TAggregatesEditor::AddSummaryNode(TSummaryInfo& info) {
  auto top = std::make_unique<TSummaryNode>();
  top->Text = info.DisplayName;
  top->Image = info.IsCalculated() ? kCalculatedImage : kSummaryImage;
  top->Summary = &info;
  top->Editable = false;
  auto& summary = static_cast<TSummaryNode&>(FTree.Add(nullptr, std::move(top)));
  // A calculated summary has one function: the first of the catalogue.
  const int functions = info.IsCalculated() ? std::min(1, FDefs.Count()) : FDefs.Count();
  for (int f = 0; f < functions; ++f) {
    if (!FDefs.Items(f).UserAllowed || !FModel.FunctionOffered(f)) continue;
    auto fn = std::make_unique<TSummaryNode>();
    fn->Text = FDefs.Items(f).DisplayName;
    fn->Image = kFunctionImage;
    fn->Summary = &info;
    fn->Function = f;
    fn->Editable = false;
    TXPCheckTreeNode& function = FTree.Add(&summary, std::move(fn));
    for (int s = 0; s < kSubFunctionCount; ++s) {
      auto sub = std::make_unique<TSummaryNode>();
      sub->Text = SubFunctionDisplayName(s);
      sub->Image = kSubFunctionImage + s;
      sub->Summary = &info;
      sub->Function = f;
      sub->SubFunction = s;
      sub->Editable = false;
      FTree.Add(&function, std::move(sub));
    }
  }
  return summary;
}

void TAggregatesEditor::FillTree() {
  FFilling = true;
  FTree.Clear();
  for (int i = 0; i < FSettings.Count(); ++i) AddSummaryNode(FSettings.Items(i));
  ReadChecks();
  FFilling = false;
  FPanel = TPanel::paNone;
  FSummary = nullptr;
  FSub = nullptr;
  FTree.Changed();
}

void TAggregatesEditor::ReadChecks() {
  FTree.ForEach([](TXPCheckTreeNode& n) {
    n.State = ObjectVisible(NodeOf(n)) ? TCheckState::csChecked : TCheckState::csUnchecked;
  });
  if (FTree.OnRepaint) FTree.OnRepaint();
}

void TAggregatesEditor::ApplyCheck(TXPCheckTreeNode& node) {
  const TSummaryNode& n = NodeOf(node);
  const bool visible = node.Checked();
  if (n.SubFunction >= 0)
    n.Summary->Function(n.Function).SubFunction(n.SubFunction).Visible = visible;
  else if (n.Function >= 0)
    n.Summary->Function(n.Function).SetVisible(visible);
  else
    n.Summary->SetVisible(visible);
}

// ---- Selection and properties ----

void TAggregatesEditor::Select(TXPCheckTreeNode* node) {
  if (FFilling) return;
  FTree.Selected = node;
  FSub = nullptr;
  FFormats.clear();
  if (!node) {
    FSummary = nullptr;
    FPanel = TPanel::paNone;
    return;
  }
  const TSummaryNode& n = NodeOf(*node);
  FSummary = n.Summary;
  if (n.SubFunction < 0) {
    FPanel = FSummary->IsCalculated() ? TPanel::paFormula : TPanel::paNone;
    return;
  }
  FPanel = TPanel::paFormat;
  FSub = &FSummary->Function(n.Function).SubFunction(n.SubFunction);
  FFormats = {FSub->FormatString, "#,##0.00", "#,##0", FCurrency.Apply("#,##0.00"),
              FCurrency.Apply("#,##0"), "#,##0 kg", "#,##0 ft"};
}

std::string TAggregatesEditor::FormulaText() const {
  return FSummary ? FSummary->Formula() : std::string();
}

TFormulaHighlight TAggregatesEditor::FormulaHighlight() const {
  return Highlight(FormulaText(), TSettingsFormulaSummaries(FSettings), CurrentIndex());
}

std::string TAggregatesEditor::FormatText() const {
  return FSub ? FSub->FormatString : std::string();
}

void TAggregatesEditor::SetFormatText(const std::string& mask) {
  if (FSub) FSub->FormatString = mask;
}

std::string TAggregatesEditor::Example() const {
  return FSub ? FormatFloat(FSub->FormatString, kFormatExampleValue) : std::string();
}

// ---- Checks ----

void TAggregatesEditor::CheckAll(bool checked) {
  FTree.CheckAll(checked);
  // Parents first: a summary shown, then each of its functions, then each
  // sub-function, so that every object ends as its node says.
  FTree.ForEach([this](TXPCheckTreeNode& n) { ApplyCheck(n); });
  ReadChecks();
}

void TAggregatesEditor::Invert() {
  FTree.ForEach([](TXPCheckTreeNode& n) {
    TSummaryNode& s = NodeOf(n);
    if (s.SubFunction >= 0 || s.Function < 0) return;
    TFunctionInfo& function = s.Summary->Function(s.Function);
    if (!function.Visible()) return;  // hidden functions and summaries stay hidden
    for (auto& sub : function.SubFunctions) sub.Visible = !sub.Visible;
  });
  ReadChecks();
}

// ---- Calculated summaries ----

TSummaryNode* TAggregatesEditor::AddCalculated(const std::string& name) {
  if (IsBlank(name) || name == Msg(TMsg::SAggDefaultName)) return nullptr;
  TSummaryInfo& info = FSettings.Add();
  info.SetFormula("0");
  info.DisplayName = name;
  info.FieldName = name;
  info.DimensionMapIndex = kNoIndex;
  info.Id = kNoIndex;
  FFilling = true;
  TSummaryNode& node = AddSummaryNode(info);
  FFilling = false;
  // The summary, its first function and that function's value are checked.
  node.State = TCheckState::csChecked;
  ApplyCheck(node);
  if (node.HasChildren()) {
    TXPCheckTreeNode& function = *node.Children().front();
    function.State = TCheckState::csChecked;
    ApplyCheck(function);
    TXPCheckTreeNode& value = *function.Children().front();
    value.State = TCheckState::csChecked;
    ApplyCheck(value);
  }
  ReadChecks();
  FTree.Changed();
  Select(&node);
  return &node;
}

void TAggregatesEditor::RemoveCurrent() {
  if (!CanRemove()) return;
  const int index = CurrentIndex();
  for (const auto& n : FTree.Top())
    if (NodeOf(*n).Summary == FSummary) {
      FTree.Delete(*n);
      break;
    }
  FSettings.Delete(index);
  Select(nullptr);
  FTree.Changed();
}

void TAggregatesEditor::FormulaEdited(const std::string& text,
                                      std::shared_ptr<TFormulaParser> parser) {
  if (!FSummary || !parser) return;
  FSummary->ParsedFormula = std::move(parser);
  FSummary->SetFormula(text);
}

// ---- The function page ----

void TAggregatesEditor::SetAllowed(int function, bool allowed) {
  if (function >= 0 && function < FDefs.Count()) FDefs.Items(function).UserAllowed = allowed;
}

void TAggregatesEditor::RenameFunction(int function, const std::string& name) {
  if (function >= 0 && function < FDefs.Count()) FDefs.Items(function).DisplayName = name;
}

bool TAggregatesEditor::AddFunction() {
  if (FDefs.Count() >= kFunctionCount) return false;
  FDefs.Add();
  return true;
}

bool TAggregatesEditor::CanDeleteFunction(int function) const {
  return function >= kStandardFunctionCount && function < FDefs.Count();
}

void TAggregatesEditor::DeleteFunction(int function) {
  if (CanDeleteFunction(function)) FDefs.Delete(function);
}

void TAggregatesEditor::AllowAll(bool allowed) {
  for (int f = 0; f < FDefs.Count(); ++f) FDefs.Items(f).UserAllowed = allowed;
}

void TAggregatesEditor::InvertAllowed() {
  for (int f = 0; f < FDefs.Count(); ++f)
    FDefs.Items(f).UserAllowed = !FDefs.Items(f).UserAllowed;
}

std::string TAggregatesEditor::FunctionTypeName(int function) {
  static const char* const kNames[kFunctionCount] = {
      "stSum",      "stCount",    "stAverage",  "stMin",      "stMax",      "stVariance",
      "stStdDev",   "stMeanAbsDev", "stSkewness", "stKurtosis", "stMedian", "stCustom1",
      "stCustom2",  "stCustom3",  "stCustom4",  "stCustom5"};
  return function >= 0 && function < kFunctionCount ? kNames[function] : std::string();
}

void TAggregatesEditor::Ok() {
  FModel.FunctionDefs().Assign(FDefs);
  FTree.ForEach([this](TXPCheckTreeNode& n) {
    if (ObjectVisible(NodeOf(n)) != n.Checked()) ApplyCheck(n);
  });
  // A function the catalogue no longer has cannot be computed: it is hidden.
  for (int i = 0; i < FSettings.Count(); ++i)
    for (int f = FDefs.Count(); f < kFunctionCount; ++f)
      FSettings.Items(i).Function(f).SetVisible(false);
  FModel.ApplySummarySettings(FSettings);
}

}  // namespace qd
