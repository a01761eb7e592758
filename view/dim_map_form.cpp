#include "view/dim_map_form.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "model/grid_info.h"
#include "view/dialog_parts.h"
#include "view/dim_values_form.h"
#include "view/message_guard.h"

namespace qd {

namespace {

constexpr const char* kDimMapMime = "application/x-quarrydesk-dim-map";
constexpr int kAxisRole = Qt::UserRole;
constexpr int kDimRole = Qt::UserRole + 1;
constexpr TMsg kAxisNames[3] = {TMsg::SDimMapRows, TMsg::SDimMapColumns, TMsg::SDimMapPages};
constexpr TDialogGlyph kAxisGlyphs[3] = {TDialogGlyph::dgAxisRows, TDialogGlyph::dgAxisColumns,
                                         TDialogGlyph::dgAxisPages};
constexpr TTotalAppearance kTotals[3] = {TTotalAppearance::taFirst, TTotalAppearance::taLast,
                                         TTotalAppearance::taInvisible};
constexpr TDimSortType kSorts[4] = {TDimSortType::dsDatabase, TDimSortType::dsNameAsc,
                                    TDimSortType::dsNameDesc, TDimSortType::dsCustom};

QByteArray TreeToken(const void* tree) {
  return QByteArray::number(QCoreApplication::applicationPid()) + ':' +
         QByteArray::number(reinterpret_cast<quintptr>(tree), 16);
}

}  // namespace

// ---- TDimMapTree ----

TDimMapTree::TDimMapTree(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setIndentation(19);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::EditKeyPressed);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setToolTip(QMsg(TMsg::SDimMapHint));
}

TDimMapNode TDimMapTree::NodeOf(const QTreeWidgetItem* item) {
  if (!item) return {};
  return {item->data(0, kAxisRole).toInt(),
          static_cast<TDimensionState*>(item->data(0, kDimRole).value<void*>())};
}

QMimeData* TDimMapTree::DragMimeData(const TDimMapNode& node) const {
  auto* mime = new QMimeData;
  mime->setData(kDimMapMime, TreeToken(this) + ';' + QByteArray::number(node.Axis) + ';' +
                                 QByteArray::number(reinterpret_cast<quintptr>(node.Dim), 16));
  return mime;
}

std::optional<TDimMapNode> TDimMapTree::DraggedNode(const QMimeData& mime) const {
  if (!mime.hasFormat(kDimMapMime)) return std::nullopt;
  const QList<QByteArray> parts = mime.data(kDimMapMime).split(';');
  if (parts.size() != 3 || parts[0] != TreeToken(this)) return std::nullopt;
  // Only a node this tree still shows is taken.
  for (QTreeWidgetItemIterator it(const_cast<TDimMapTree*>(this)); *it; ++it) {
    const TDimMapNode node = NodeOf(*it);
    if (node.Dim && QByteArray::number(node.Axis) == parts[1] &&
        QByteArray::number(reinterpret_cast<quintptr>(node.Dim), 16) == parts[2])
      return node;
  }
  return std::nullopt;
}

void TDimMapTree::startDrag(Qt::DropActions) {
  const TDimMapNode node = NodeOf(currentItem());
  if (!node.Dim) return;  // axis nodes stay
  auto* drag = new QDrag(this);
  drag->setMimeData(DragMimeData(node));
  drag->exec(Qt::MoveAction);
}

void TDimMapTree::dragEnterEvent(QDragEnterEvent* event) {
  if (DraggedNode(*event->mimeData()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TDimMapTree::dragMoveEvent(QDragMoveEvent* event) {
  if (DraggedNode(*event->mimeData()) && itemAt(event->position().toPoint()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TDimMapTree::dropEvent(QDropEvent* event) {
  const std::optional<TDimMapNode> dragged = DraggedNode(*event->mimeData());
  QTreeWidgetItem* target = itemAt(event->position().toPoint());
  if (!dragged || !target) {
    event->ignore();
    return;
  }
  // The tree is rebuilt by the handler; Qt must not move items itself.
  event->setDropAction(Qt::CopyAction);
  event->accept();
  if (OnDropped) OnDropped(*dragged, target);
}

// ---- TfmDimMap ----

TfmDimMap::TfmDimMap(TGridInfo& model, QWidget* parent)
    : QDialog(parent), FModel(model), FEditor(model) {
  setWindowTitle(QMsg(TMsg::SDimMapCaption));
  setFixedSize(537, 330);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  auto* splitter = new QSplitter(Qt::Horizontal, this);
  auto* left = new QWidget(splitter);
  auto* leftColumn = new QVBoxLayout(left);
  leftColumn->setContentsMargins(0, 0, 0, 0);
  leftColumn->addWidget(HeaderStrip(Msg(TMsg::SDimMapTree), left));
  FTree = new TDimMapTree(left);
  leftColumn->addWidget(FTree, 1);

  auto* right = new QWidget(splitter);
  auto* rightColumn = new QVBoxLayout(right);
  rightColumn->setContentsMargins(0, 0, 0, 0);
  FPropertyHeader = HeaderStrip(Msg(TMsg::SDimMapProperties), right);
  rightColumn->addWidget(FPropertyHeader);
  FPanels = new QStackedWidget(right);
  rightColumn->addWidget(FPanels, 1);
  auto* empty = new QLabel(QMsg(TMsg::SNoProperties));
  empty->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  FProperties = new QWidget;
  auto* form = new QFormLayout(FProperties);
  FTotals = new QComboBox(FProperties);
  for (TTotalAppearance t : kTotals) FTotals->addItem(QText(TotalAppearanceText(t)));
  FSorts = new QComboBox(FProperties);
  for (TDimSortType s : kSorts) FSorts->addItem(QText(DimSortTypeText(s)));
  FAttributes = new QComboBox(FProperties);
  form->addRow(QMsg(TMsg::SDimMapTotals), FTotals);
  form->addRow(QMsg(TMsg::SDimMapSort), FSorts);
  form->addRow(QMsg(TMsg::SDimMapAttribute), FAttributes);
  FPanels->addWidget(empty);
  FPanels->addWidget(FProperties);
  splitter->addWidget(left);
  splitter->addWidget(right);
  layout->addWidget(splitter, 1);
  const TOkCancel buttons = OkCancelRow(*this);
  FOk = buttons.Ok;
  FCancel = buttons.Cancel;
  layout->addLayout(buttons.Row);

  connect(FOk, &QPushButton::clicked, this, [this] { Accept(); });
  connect(FTree, &QTreeWidget::itemSelectionChanged, this, [this] {
    if (FBuilding) return;
    const QList<QTreeWidgetItem*> items = FTree->selectedItems();
    FEditor.Select(TDimMapTree::NodeOf(items.isEmpty() ? nullptr : items.front()));
    ShowProperties();
  });
  connect(FTree, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { OpenMembers(item); });
  connect(FTree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
    if (!FBuilding) FEditor.Rename(TDimMapTree::NodeOf(item), item->text(0).toStdString());
  });
  FTree->OnDropped = [this](const TDimMapNode& dragged, QTreeWidgetItem* target) {
    const TDimMapNode to = TDimMapTree::NodeOf(target);
    bool moved = false;
    Guard([&] { moved = FEditor.Move(dragged, to); });
    if (moved) BuildTree(FEditor.Selected().Dim ? FEditor.Selected() : TDimMapNode{});
  };
  connect(FTotals, &QComboBox::activated, this, [this](int i) {
    if (i >= 0 && i < 3) FEditor.ShownTotal = kTotals[i];
  });
  connect(FSorts, &QComboBox::activated, this, [this](int i) {
    if (i >= 0 && i < 4) FEditor.ShownSort = kSorts[i];
  });
  connect(FAttributes, &QComboBox::activated, this, [this](int i) { FEditor.ShownAttribute = i; });
  RunMembersDialog = [this](TDimensionState& state) {
    return RunDimValuesDialog(FModel, state, QCursor::pos(), this);
  };

  FEditor.Open();
  BuildTree({});
  ShowProperties();
  FTree->setFocus();
}

void TfmDimMap::BuildTree(const TDimMapNode& select) {
  FBuilding = true;
  FTree->clear();
  QTreeWidgetItem* selected = nullptr;
  for (int a = 0; a < 3; ++a) {
    auto* axis = new QTreeWidgetItem(FTree, {QMsg(kAxisNames[a])});
    axis->setIcon(0, DialogGlyph(kAxisGlyphs[a]));
    axis->setData(0, kAxisRole, a);
    axis->setData(0, kDimRole, QVariant::fromValue<void*>(nullptr));
    axis->setFlags(axis->flags() & ~Qt::ItemIsDragEnabled);
    for (const TDimStateData& d : FEditor.Axis(a)) {
      auto* item = new QTreeWidgetItem(axis, {QText(d.Caption)});
      item->setIcon(0, DialogGlyph(kAxisGlyphs[a]));
      item->setData(0, kAxisRole, a);
      item->setData(0, kDimRole, QVariant::fromValue<void*>(d.State));
      item->setFlags(item->flags() | Qt::ItemIsEditable);
      if (select.Dim && select.Dim == d.State) selected = item;
    }
  }
  FTree->expandAll();
  if (selected) {
    FTree->setCurrentItem(selected);
    selected->setSelected(true);
  }
  FBuilding = false;
}

QTreeWidgetItem* TfmDimMap::ItemOf(const TDimMapNode& node) const {
  for (QTreeWidgetItemIterator it(FTree); *it; ++it)
    if (TDimMapTree::NodeOf(*it) == node) return *it;
  return nullptr;
}

void TfmDimMap::ShowProperties() {
  if (!FEditor.PropertiesShown()) {
    FPropertyHeader->setText(FEditor.Selected().Valid() ? QString() : QMsg(TMsg::SDimMapProperties));
    FPanels->setCurrentIndex(0);
    return;
  }
  FPropertyHeader->setText(QMsg(TMsg::SDimMapProperties));
  FTotals->setCurrentIndex(static_cast<int>(FEditor.ShownTotal));
  FSorts->setCurrentIndex(static_cast<int>(FEditor.ShownSort));
  FAttributes->clear();
  for (const std::string& a : FEditor.AttributeChoices()) FAttributes->addItem(QText(a));
  FAttributes->setCurrentIndex(FEditor.ShownAttribute);
  FPanels->setCurrentIndex(1);
}

void TfmDimMap::OpenMembers(QTreeWidgetItem* item) {
  const TDimMapNode node = TDimMapTree::NodeOf(item);
  if (!node.Dim || !RunMembersDialog) return;
  bool changed = false;
  Guard([&] { changed = RunMembersDialog(*node.Dim); });
  if (!changed) return;
  FEditor.MembersChanged(node);
  BuildTree(node);
  ShowProperties();
}

void TfmDimMap::Accept() {
  bool done = false;
  if (Guard([&] { done = FEditor.Ok(); }) && done) accept();
}

bool RunDimMapDialog(TGridInfo& model, QWidget* parent) {
  TfmDimMap form(model, parent);
  return form.exec() == QDialog::Accepted;
}

}  // namespace qd
