// The dimension-map editor's window ("设计用维度地图编辑器"): the map's tree on
// the left, the current item's properties on the right, accept and cancel
// below. Every rule lives in TDimensionMapEditor; the window shows its tree
// and panels and hands it the user's gestures.
#pragma once

#include <QDialog>
#include <QTreeWidget>
#include <memory>
#include <string>

#include "design/dimension_map_editor.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QGroupBox;
class QToolButton;

namespace qd {

class TQuickMenu;
class TDimensionMapForm;

//! MIME type of a dragged map node: the node's path of child positions.
inline constexpr const char* kMapNodeMime = "application/x-quarrydesk-map-node";

//! The tree: drags carry the node's path, F2 renames, Del deletes, a right
//! click selects the node under the mouse and opens its menu.
class TMapTreeWidget : public QTreeWidget {
 public:
  explicit TMapTreeWidget(TDimensionMapForm& form);

 protected:
  QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
  QStringList mimeTypes() const override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  TDimensionMapForm& FForm;
};

class TDimensionMapForm : public QDialog {
 public:
  explicit TDimensionMapForm(QWidget* parent = nullptr);
  ~TDimensionMapForm() override;

  TDimensionMapEditor& Editor() { return FEditor; }
  //! Prepares the editor for the cube and shows its tree.
  bool Prepare(IDesigner* designer, TCustomVantra& cube);
  void AddDataSetName(const std::string& name);

  TMapTreeWidget& Tree() const { return *FTree; }
  QTreeWidgetItem* ItemOf(const TMapNode* node) const;
  TMapNode* NodeOf(const QTreeWidgetItem* item) const;
  //! The header strip over the panels.
  QLabel& ItemHeader() const { return *FHeader; }
  //! The panel shown: DimensionPanel, DimComponentPanel or NoPropPanel.
  QWidget* ShownPanel() const;
  TQuickMenu& QuickMenu() const { return *FMenu; }
  QToolButton& NewCompositeButton() const { return *FNewComposite; }
  QPushButton& AcceptButton() const { return *FOk; }
  QPushButton& PreviewButton() const { return *FPreview; }
  //! Shows a preview; by default in a window of its own. Tests replace it.
  std::function<void(const TMapPreview&)> ShowPreview;

  // Panel controls, by the names the editor's rules use.
  QComboBox *TACombo, *DataSetCombo, *IDCombo, *ParentIDCombo, *DefaultAttrCombo, *SortCombo;
  QComboBox *dcDataSetCombo, *dcIDCombo, *dcNameCombo;
  QLineEdit *AttrEdit, *dcFormatStringEdit;
  QPushButton* AttrSelectBTN;
  QGroupBox* TransformGroupBox;
  QCheckBox* EnableTransformationCB;
  QSpinBox* scMemberCountEdit;
  QRadioButton *EqualRangeRB, *EqualDensityRB;

  // Gestures, as the tree hands them over.
  void DropNode(TMapNode* dragged, QTreeWidgetItem* target);
  void RenameSelected();
  void DeleteSelected();
  void PopupMenu(QTreeWidgetItem* item, const QPoint& globalPos);
  void SelectAttributes();

 private:
  QWidget* BuildDimensionPanel();
  QWidget* BuildPartPanel();
  void Rebuild();
  void AddItems(QTreeWidgetItem* parent, TMapNode& node);
  void ShowPanel();
  void ReadPanel();
  void FillLists();
  void Command(int id);
  void Run(const std::function<void()>& work);

  TDimensionMapEditor FEditor;
  TMapTreeWidget* FTree;
  QLabel* FHeader;
  QStackedWidget* FPanels;
  QWidget *FDimPanel, *FPartPanel, *FNoPanel;
  TQuickMenu* FMenu;
  QToolButton* FNewComposite;
  QPushButton* FOk;
  QPushButton* FPreview;
  TMapNode* FMenuNode = nullptr;
  TMapNode* FRenaming = nullptr;
  bool FSyncing = false;
};

}  // namespace qd
