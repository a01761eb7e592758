// A tree view with check boxes over a TCheckTree: the tree's nodes as rows
// (only those its filter shows), check boxes that follow the tree's rules on
// a click or the space bar, captions edited with F2, images per node, and
// drags that carry the dragged node to one partner view.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QTreeView>
#include <functional>
#include <optional>
#include <vector>

#include "view/check_tree.h"

class QMimeData;

namespace qd {

//! The rows of a TCheckTree for Qt's views.
class TXPCheckTreeModel : public QAbstractItemModel {
 public:
  TXPCheckTreeModel(TCheckTree& tree, QObject* parent);

  TCheckTree& Tree() const { return FTree; }
  TXPCheckTreeNode* NodeOf(const QModelIndex& index) const;
  QModelIndex IndexOf(const TXPCheckTreeNode* node) const;
  //! Images by a node's image index.
  std::vector<QIcon> Images;
  //! Captions may be edited (F2) where the node allows it.
  bool Editable = true;
  //! Called after a caption was edited.
  std::function<void(TXPCheckTreeNode& node)> OnEdited;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  //! The tree's nodes changed: every row again.
  void Reset();

 private:
  const std::vector<TXPCheckTreeNode*>& RowsOf(const TXPCheckTreeNode* parent) const;
  TCheckTree& FTree;
};

//! What a drag between check trees carries.
struct TCheckTreeDrag {
  const void* Source = nullptr;  //!< the view the drag started in
  std::uint64_t Serial = 0;      //!< the dragged node
};

class TXPCheckTreeView : public QTreeView {
 public:
  TXPCheckTreeView(TCheckTree& tree, QWidget* parent = nullptr);

  TXPCheckTreeModel& Model() const { return *FModel; }
  TCheckTree& Tree() const { return FModel->Tree(); }
  //! The view whose drags this one accepts; drags from any other view, this
  //! one included, are refused.
  TXPCheckTreeView* Partner = nullptr;
  //! A node of the partner dropped on `target` (nullptr: on no node).
  std::function<void(std::uint64_t serial, TXPCheckTreeNode* target)> OnDropped;

  //! The MIME data of a drag of `node` from this view.
  QMimeData* DragMimeData(const TXPCheckTreeNode& node) const;
  //! The drag `mime` carries when it comes from the partner.
  std::optional<TCheckTreeDrag> PartnerDrag(const QMimeData& mime) const;
  //! Selects and shows a node (nullptr clears the selection).
  void SelectNode(TXPCheckTreeNode* node);
  //! Starts editing the node's caption.
  void EditNode(TXPCheckTreeNode* node);

 protected:
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void Rebuild();
  void RestoreExpansion(const QModelIndex& parent);
  TXPCheckTreeModel* FModel;
  bool FRebuilding = false;
};

}  // namespace qd
