// The dimension-map editor's logic: the whole map of a cube as one tree of six
// roots (rows, columns, pages, summaries, key fields, fact-table fields), the
// drag-and-drop rules that rearrange it, composite dimensions and their parts,
// renaming and deleting, the property panel of the current node, and the one
// step that writes the tree back into the cube's map. The window
// (dimension_map_form.h) is a thin view over this class.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "design/dim_map_nodes.h"
#include "design/map_preview.h"

namespace qd {

class TCustomVantra;

//! Where the editor finds lookup tables: the program's list of data sets.
class IDesigner {
 public:
  virtual ~IDesigner() = default;
  //! Calls `add` with the name of every data set offered as a lookup table.
  virtual void ListDataSets(const std::function<void(const std::string&)>& add) = 0;
  //! The data set of that name; nullptr when there is none.
  virtual TDataSet* FindDataSet(const std::string& name) = 0;
  //! The name under which a data set is listed; empty when it is not.
  virtual std::string DataSetName(const TDataSet* ds) = 0;
};

enum class TMapRoot : int { mrRows = 0, mrCols, mrPages, mrSummaries, mrKeys, mrFacts };
constexpr int kMapRootCount = 6;

enum class TPropPanel : std::uint8_t { ppNone, ppDimension, ppPart };

//! The dimension panel's controls as values. Indexes are list positions.
struct TDimensionPanel {
  int TotalIndex = 1;  //!< "First", "Last", "Invisible"
  int SortIndex = 0;   //!< by database order, name ascending, name descending, custom
  std::string DataSet;  //!< selected entry of the data-set list, empty for none
  std::string IDField, ParentIDField, Attributes;
  std::vector<std::string> DefaultAttributes;  //!< the default-attribute list
  std::string DefaultAttribute;                //!< its selected entry, empty for none
  bool Numeric = false;   //!< the range transformation group is shown
  bool Transform = false;  //!< "Enable range transformation"
  std::string MemberCount = "1";
  bool EqualDensity = true;
  //! The lookup controls are enabled (off while the transformation is).
  bool LookupEnabled() const { return !(Numeric && Transform); }
};

struct TPartPanel {
  std::string DataSet, IDField, NameField, FormatString;
};

//! The commands of the tree's context menu.
enum class TMapCommand : int { mcRename = 1, mcCreateComposite = 2, mcDelete = 4 };

class TDimensionMapEditor {
 public:
  TDimensionMapEditor();
  ~TDimensionMapEditor();

  //! Sets the editor up for the cube: brings the map in line with the data
  //! set's fields and builds the tree. Throws ECubeDesignError without a data set.
  bool Prepare(IDesigner* designer, TCustomVantra& cube);
  //! Appends a name to the data-set lists of both panels.
  void AddDataSetName(const std::string& name);
  const std::vector<std::string>& DataSetNames() const { return FDataSetNames; }

  TMapNode& Root(TMapRoot r) const { return *FRoots[static_cast<std::size_t>(r)]; }
  //! Which root a node lies under.
  TMapRoot RootOf(TMapNode& node) const;
  bool InAxis(TMapNode& node) const;
  //! Every node in tree order (roots in order, each node before its children).
  std::vector<TMapNode*> Nodes() const;

  // ---- Selection and the property panel ----
  //! The node whose properties the panel shows; nullptr at first.
  TMapNode* Current() const { return FCurrent; }
  //! The tree's selected node (the last one a command selected).
  TMapNode* Selected() const { return FSelected; }
  //! The selection changed: the panel is taken over into the current node,
  //! and even when that fails the node becomes current and its panel is shown
  //! (the failure is thrown afterwards).
  void Select(TMapNode* node);
  TPropPanel Panel() const { return FPanel; }
  TDimensionPanel DimPanel;
  TPartPanel PartPanel;
  //! "Dimension", "Composite dimension", … for the header strip.
  static std::string HeaderText(const TMapNode* node);

  // ---- Panel controls ----
  //! Field names of the data set chosen in a panel (the ID list; the parent-ID
  //! and name lists copy it). Reloaded only when the name differs from the
  //! last one loaded; an empty name empties the lookup fields.
  std::vector<std::string> IDFields, PartIDFields;
  void DataSetChanged(const std::string& name);
  void PartDataSetChanged(const std::string& name);
  //! The attribute text changed: the default-attribute list follows it.
  void SetAttributes(const std::string& text);
  //! Checks the member-count text; throws when it is no integer or below 1.
  static int CheckMemberCount(const std::string& text);

  // ---- Tree commands ----
  bool CanDrag(TMapNode* node) const;
  //! Drops `dragged` on `target` by the rules of the dragged node's kind.
  void DragDrop(TMapNode* dragged, TMapNode* target);
  bool CanDelete(TMapNode* node) const;
  void Delete(TMapNode* node);
  //! A new composite dimension under the axis root of `node`; nullptr when the
  //! node lies in no axis branch. The new node is selected.
  TMapNode* NewComposite(TMapNode* node);
  //! The node can be renamed: it carries a field item.
  bool CanRename(const TMapNode* node) const;
  //! Starts renaming: the node shows its display name while it is edited.
  void BeginRename(TMapNode* node);
  //! Ends it: a non-empty text becomes the display name; the full text returns.
  void EndRename(TMapNode* node, const std::string& text);
  std::vector<TMapCommand> ContextCommands(TMapNode* node) const;

  //! The first rows of the fact query and each axis dimension's member count
  //! as the tree now stands (the panel is taken over into the current node first).
  TMapPreview Preview(int maxRows = 200);

  //! Writes the tree into the cube's map and tells its models (code 1).
  //! Without a current node nothing changes.
  void Accept();

 private:
  void BuildTree();
  void ShowPanel(TMapNode* node);
  void TakeOver(TMapNode* node);
  void LoadFields(const std::string& name, std::vector<std::string>& into, std::string& loaded);
  void Forget(TMapNode& node);
  void DropField(TMapNode* dragged, TMapNode* target);
  void DropComposite(TMapNode* dragged, TMapNode* target);
  void DropSibling(TMapNode* dragged, TMapNode* target, TMapNode& owner);
  void AddAsPart(TMapNode* dragged, TMapNode* target);
  void AddAsKey(TMapNode* dragged, TMapNode* target);
  void Place(std::unique_ptr<TMapNode> node, TMapNode* target);
  void RecomposeFields(TMapNode& composite);
  TMapNode* FindByField(TMapNode& root, const std::string& name) const;

  TCustomVantra* FCube = nullptr;
  IDesigner* FDesigner = nullptr;
  std::array<std::unique_ptr<TMapNode>, kMapRootCount> FRoots;
  TMapNode* FCurrent = nullptr;
  TMapNode* FSelected = nullptr;
  TPropPanel FPanel = TPropPanel::ppNone;
  std::vector<std::string> FDataSetNames;
  std::string FLoadedDim, FLoadedPart;  // data sets whose fields the lists hold
};

}  // namespace qd
