// What the summaries dialog edits, without its widgets: working copies of the
// model's summary settings and function catalogue, the summary tree over
// them (summaries, the functions the user may show, nine sub-functions each),
// the formats of the sub-functions, calculated summaries with their formulas,
// the function page of design mode, and OK merging the copies back.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/formula_highlight.h"
#include "model/function_defs.h"
#include "model/summary_settings.h"
#include "view/check_tree.h"

namespace qd {

class TGridInfo;
class TFormulaParser;

//! The summaries of a settings object as formulas see them.
class TSettingsFormulaSummaries : public IFormulaSummaries {
 public:
  explicit TSettingsFormulaSummaries(const TSummarySettings& settings) : FSettings(settings) {}
  int SummaryCount() const override { return FSettings.Count(); }
  std::string SummaryDisplayName(int summary) const override {
    return FSettings.Items(summary).DisplayName;
  }
  bool IsCalculatedSummary(int summary) const override {
    return FSettings.Items(summary).IsCalculated();
  }
  std::string SummaryFormula(int summary) const override {
    return FSettings.Items(summary).Formula();
  }

 private:
  const TSummarySettings& FSettings;
};

//! The currency of the system's money format: its symbol, and where it goes
//! (0 before the number, 1 after, 2 before with a space, 3 after with a space).
struct TCurrencyFormat {
  std::string Symbol = "¥";
  int Position = 0;
  //! The mask with the currency added where it goes.
  std::string Apply(const std::string& mask) const;
};

//! A node of the summary tree: the summary, function and sub-function it
//! stands for (-1 below its level).
class TSummaryNode : public TXPCheckTreeNode {
 public:
  TSummaryInfo* Summary = nullptr;
  int Function = -1;
  int SubFunction = -1;
};

//! Images of the summary tree: a summary, a function, a calculated summary,
//! then one per sub-function.
constexpr int kSummaryImage = 0, kFunctionImage = 1, kCalculatedImage = 2, kSubFunctionImage = 3;

//! The number the format example shows.
constexpr double kFormatExampleValue = 1234567.089;

class TAggregatesEditor {
 public:
  TAggregatesEditor(TGridInfo& model, TCurrencyFormat currency = {});

  TSummarySettings& Settings() { return FSettings; }
  TFunctionDefs& FunctionDefs() { return FDefs; }
  TCheckTree& Tree() { return FTree; }
  //! Builds the summary tree from the working copies.
  void FillTree();

  // ---- The selected node and its properties ----
  enum class TPanel { paNone, paFormula, paFormat };
  void Select(TXPCheckTreeNode* node);
  TPanel Panel() const { return FPanel; }
  TSummaryInfo* CurrentSummary() const { return FSummary; }
  //! The current summary is a calculated one.
  bool CanRemove() const { return FSummary && FSummary->IsCalculated() && FPanel != TPanel::paFormat; }
  //! The current calculated summary's formula, its colours and whether it has errors.
  std::string FormulaText() const;
  TFormulaHighlight FormulaHighlight() const;
  //! The format drop-down of the current sub-function and its text.
  const std::vector<std::string>& FormatChoices() const { return FFormats; }
  std::string FormatText() const;
  //! A new format for the current sub-function; the example follows.
  void SetFormatText(const std::string& mask);
  //! 1234567.089 written with the current sub-function's format.
  std::string Example() const;

  // ---- Checks ----
  //! Every node checked (or not) and every object's visibility with it.
  void CheckAll(bool checked);
  //! Flips the sub-functions of every shown function.
  void Invert();

  // ---- Calculated summaries ----
  //! Adds a calculated summary named `name` (nothing for a blank name or
  //! "Unnamed"), checks it with its first function and value, selects it.
  TSummaryNode* AddCalculated(const std::string& name);
  //! Removes the current calculated summary.
  void RemoveCurrent();
  //! The formula editor returned a parsed formula for the current summary.
  void FormulaEdited(const std::string& text, std::shared_ptr<TFormulaParser> parser);
  //! The current summary's position in the working settings, -1 for none.
  int CurrentIndex() const { return FSummary ? FSettings.IndexOf(FSummary) : -1; }

  // ---- The function page ----
  void SetAllowed(int function, bool allowed);
  void RenameFunction(int function, const std::string& name);
  //! Adds a custom function; false when the catalogue is full.
  bool AddFunction();
  bool CanDeleteFunction(int function) const;
  void DeleteFunction(int function);
  void AllowAll(bool allowed);
  void InvertAllowed();
  //! The enumeration name of a function's type ("stSum").
  static std::string FunctionTypeName(int function);

  //! Writes the catalogue and the settings back and rebuilds the grid.
  void Ok();

 private:
  void ReadChecks();
  void ApplyCheck(TXPCheckTreeNode& node);
  TSummaryNode& AddSummaryNode(TSummaryInfo& info);

  TGridInfo& FModel;
  TCurrencyFormat FCurrency;
  TSummarySettings FSettings;
  TFunctionDefs FDefs;
  TCheckTree FTree;
  bool FFilling = false;
  TPanel FPanel = TPanel::paNone;
  TSummaryInfo* FSummary = nullptr;
  TSubFunctionInfo* FSub = nullptr;
  std::vector<std::string> FFormats;
};

}  // namespace qd
