#include "view/check_tree_view.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>

namespace qd {

namespace {

constexpr const char* kCheckTreeMime = "application/x-quarrydesk-check-tree";

// The view a drag comes from: this process and the view's address.
QByteArray ViewToken(const void* view) {
  return QByteArray::number(QCoreApplication::applicationPid()) + ':' +
         QByteArray::number(reinterpret_cast<quintptr>(view), 16);
}

}  // namespace

// ---- TXPCheckTreeModel ----

TXPCheckTreeModel::TXPCheckTreeModel(TCheckTree& tree, QObject* parent)
    : QAbstractItemModel(parent), FTree(tree) {}

TXPCheckTreeNode* TXPCheckTreeModel::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TXPCheckTreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TXPCheckTreeModel::IndexOf(const TXPCheckTreeNode* node) const {
  if (!node || !node->Shown()) return {};
  return createIndex(node->ShownRow(), 0, const_cast<TXPCheckTreeNode*>(node));
}

const std::vector<TXPCheckTreeNode*>& TXPCheckTreeModel::RowsOf(
    const TXPCheckTreeNode* parent) const {
  return parent ? parent->ShownChildren() : FTree.ShownTop();
}

QModelIndex TXPCheckTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || parent.column() > 0) return {};
  const auto& rows = RowsOf(NodeOf(parent));
  if (row < 0 || row >= static_cast<int>(rows.size())) return {};
  return createIndex(row, 0, rows[static_cast<std::size_t>(row)]);
}

QModelIndex TXPCheckTreeModel::parent(const QModelIndex& child) const {
  const TXPCheckTreeNode* node = NodeOf(child);
  return node ? IndexOf(node->Parent()) : QModelIndex();
}

int TXPCheckTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  return static_cast<int>(RowsOf(NodeOf(parent)).size());
}

int TXPCheckTreeModel::columnCount(const QModelIndex&) const {
  return 1;
}

QVariant TXPCheckTreeModel::data(const QModelIndex& index, int role) const {
  const TXPCheckTreeNode* node = NodeOf(index);
  if (!node) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return QString::fromStdString(node->Text);
    case Qt::CheckStateRole:
      switch (node->State) {
        case TCheckState::csChecked:
          return Qt::Checked;
        case TCheckState::csPartly:
          return Qt::PartiallyChecked;
        default:
          return Qt::Unchecked;
      }
    case Qt::DecorationRole: {
      const int image = node->Expanded && node->ExpandedImage >= 0 ? node->ExpandedImage
                                                                   : node->Image;
      if (image >= 0 && image < static_cast<int>(Images.size()))
        return Images[static_cast<std::size_t>(image)];
      return {};
    }
    default:
      return {};
  }
}

bool TXPCheckTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  TXPCheckTreeNode* node = NodeOf(index);
  if (!node) return false;
  if (role == Qt::CheckStateRole) {
    // The click's new state follows the tree's rule (checked → unchecked,
    // anything else → checked), which is also what the delegate asks for.
    FTree.Toggle(*node);
    return true;
  }
  if (role == Qt::EditRole) {
    node->Text = value.toString().toStdString();
    if (OnEdited) OnEdited(*node);
    emit dataChanged(index, index);
    return true;
  }
  return false;
}

Qt::ItemFlags TXPCheckTreeModel::flags(const QModelIndex& index) const {
  const TXPCheckTreeNode* node = NodeOf(index);
  if (!node) return Qt::ItemIsDropEnabled;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                    Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
  if (Editable && node->Editable) f |= Qt::ItemIsEditable;
  return f;
}

void TXPCheckTreeModel::Reset() {
  beginResetModel();
  endResetModel();
}

// ---- TXPCheckTreeView ----

TXPCheckTreeView::TXPCheckTreeView(TCheckTree& tree, QWidget* parent) : QTreeView(parent) {
  FModel = new TXPCheckTreeModel(tree, this);
  setModel(FModel);
  setHeaderHidden(true);
  setUniformRowHeights(true);
  setIndentation(19);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::EditKeyPressed);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::CopyAction);
  tree.OnStructure = [this] { Rebuild(); };
  tree.OnRepaint = [this] { viewport()->update(); };
  connect(this, &QTreeView::expanded, this, [this](const QModelIndex& i) {
    if (TXPCheckTreeNode* n = FModel->NodeOf(i)) n->Expanded = true;
  });
  connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& i) {
    if (TXPCheckTreeNode* n = FModel->NodeOf(i)) n->Expanded = false;
  });
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (!FRebuilding) Tree().Selected = FModel->NodeOf(current);
          });
}

void TXPCheckTreeView::RestoreExpansion(const QModelIndex& parent) {
  for (int r = 0, n = FModel->rowCount(parent); r < n; ++r) {
    const QModelIndex i = FModel->index(r, 0, parent);
    const TXPCheckTreeNode* node = FModel->NodeOf(i);
    if (!node->Expanded || !node->HasChildren()) continue;
    setExpanded(i, true);
    RestoreExpansion(i);
  }
}

void TXPCheckTreeView::Rebuild() {
  FRebuilding = true;
  TXPCheckTreeNode* selected = Tree().Selected;
  FModel->Reset();
  RestoreExpansion({});
  FRebuilding = false;
  SelectNode(selected);
}

void TXPCheckTreeView::SelectNode(TXPCheckTreeNode* node) {
  Tree().Selected = node;
  const QModelIndex i = FModel->IndexOf(node);
  if (!i.isValid()) {
    FRebuilding = true;
    selectionModel()->clear();
    FRebuilding = false;
    return;
  }
  for (QModelIndex p = i.parent(); p.isValid(); p = p.parent()) setExpanded(p, true);
  setCurrentIndex(i);
  scrollTo(i);
}

void TXPCheckTreeView::EditNode(TXPCheckTreeNode* node) {
  SelectNode(node);
  const QModelIndex i = FModel->IndexOf(node);
  if (i.isValid()) edit(i);
}

QMimeData* TXPCheckTreeView::DragMimeData(const TXPCheckTreeNode& node) const {
  auto* mime = new QMimeData;
  mime->setData(kCheckTreeMime, ViewToken(this) + ';' + QByteArray::number(node.Serial()));
  return mime;
}

std::optional<TCheckTreeDrag> TXPCheckTreeView::PartnerDrag(const QMimeData& mime) const {
  if (!Partner || !mime.hasFormat(kCheckTreeMime)) return std::nullopt;
  const QList<QByteArray> parts = mime.data(kCheckTreeMime).split(';');
  if (parts.size() != 2 || parts[0] != ViewToken(Partner)) return std::nullopt;
  bool ok = false;
  const std::uint64_t serial = parts[1].toULongLong(&ok);
  if (!ok) return std::nullopt;
  return TCheckTreeDrag{Partner, serial};
}

void TXPCheckTreeView::startDrag(Qt::DropActions) {
  const TXPCheckTreeNode* node = FModel->NodeOf(currentIndex());
  if (!node) return;
  auto* drag = new QDrag(this);
  drag->setMimeData(DragMimeData(*node));
  drag->exec(Qt::CopyAction);
}

void TXPCheckTreeView::dragEnterEvent(QDragEnterEvent* event) {
  if (PartnerDrag(*event->mimeData()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TXPCheckTreeView::dragMoveEvent(QDragMoveEvent* event) {
  if (PartnerDrag(*event->mimeData()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TXPCheckTreeView::dropEvent(QDropEvent* event) {
  const std::optional<TCheckTreeDrag> drag = PartnerDrag(*event->mimeData());
  if (!drag) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  TXPCheckTreeNode* target = FModel->NodeOf(indexAt(event->position().toPoint()));
  if (OnDropped) OnDropped(drag->Serial, target);
}

}  // namespace qd
