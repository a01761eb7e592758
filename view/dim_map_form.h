// The dimension-map dialog ("维度地图编辑器") over TDimMapEditor: the layout as
// one tree of the three axes, dimensions dragged between them, the property
// panel of the selected dimension, the members dialog on a double click.
#pragma once

#include <QDialog>
#include <QTreeWidget>
#include <functional>
#include <optional>

#include "view/dim_map_editor.h"

class QComboBox;
class QLabel;
class QStackedWidget;

namespace qd {

//! The layout tree: dimension nodes are dragged within it.
class TDimMapTree : public QTreeWidget {
 public:
  explicit TDimMapTree(QWidget* parent);
  //! The node an item stands for.
  static TDimMapNode NodeOf(const QTreeWidgetItem* item);
  //! The MIME data of a drag of a dimension node, and the node it carries.
  QMimeData* DragMimeData(const TDimMapNode& node) const;
  std::optional<TDimMapNode> DraggedNode(const QMimeData& mime) const;
  //! A dimension node dropped on an item.
  std::function<void(const TDimMapNode& dragged, QTreeWidgetItem* target)> OnDropped;

 protected:
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

class TfmDimMap : public QDialog {
 public:
  TfmDimMap(TGridInfo& model, QWidget* parent = nullptr);

  TDimMapEditor& Editor() { return FEditor; }
  TDimMapTree& Tree() const { return *FTree; }
  //! The item of a node, nullptr when the tree has none.
  QTreeWidgetItem* ItemOf(const TDimMapNode& node) const;
  QStackedWidget& PropertyPanels() const { return *FPanels; }
  QWidget& PropertyPanel() const { return *FProperties; }
  QComboBox& TotalList() const { return *FTotals; }
  QComboBox& SortList() const { return *FSorts; }
  QComboBox& AttributeList() const { return *FAttributes; }
  QPushButton& OkButton() const { return *FOk; }
  QPushButton& CancelButton() const { return *FCancel; }
  //! Opens the members dialog of a dimension node (a double click).
  std::function<bool(TDimensionState& state)> RunMembersDialog;

 private:
  void BuildTree(const TDimMapNode& select);
  void ShowProperties();
  void OpenMembers(QTreeWidgetItem* item);
  void Accept();

  TGridInfo& FModel;
  TDimMapEditor FEditor;
  TDimMapTree* FTree;
  QLabel* FPropertyHeader;
  QStackedWidget* FPanels;
  QWidget* FProperties;
  QComboBox* FTotals;
  QComboBox* FSorts;
  QComboBox* FAttributes;
  QPushButton* FOk;
  QPushButton* FCancel;
  bool FBuilding = false;
};

//! Runs the dialog modally; true when the layout was applied.
bool RunDimMapDialog(TGridInfo& model, QWidget* parent = nullptr);

}  // namespace qd
