#include "design/dimension_map_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDataStream>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "design/check_list_box_form.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "view/message_guard.h"
#include "view/quick_menu.h"

namespace qd {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}
QString Q(TMsg id) {
  return Q(Msg(id));
}
std::string S(const QString& s) {
  return s.toStdString();
}

constexpr int kNodeRole = Qt::UserRole + 1;

QIcon ImageIcon(const QStyle& style, TMapImage image) {
  switch (image) {
    case TMapImage::miRows: return style.standardIcon(QStyle::SP_ArrowDown);
    case TMapImage::miCols: return style.standardIcon(QStyle::SP_ArrowRight);
    case TMapImage::miPages: return style.standardIcon(QStyle::SP_FileDialogDetailedView);
    case TMapImage::miSummaries: return style.standardIcon(QStyle::SP_FileDialogInfoView);
    case TMapImage::miFacts: return style.standardIcon(QStyle::SP_DirIcon);
    case TMapImage::miPart: return style.standardIcon(QStyle::SP_FileIcon);
    case TMapImage::miComposite: return style.standardIcon(QStyle::SP_DirOpenIcon);
    case TMapImage::miKey: return style.standardIcon(QStyle::SP_DialogApplyButton);
    default: return style.standardIcon(QStyle::SP_FileDialogNewFolder);
  }
}

// A node's path of child positions from its root (the root's own position first).
QByteArray NodePath(TDimensionMapEditor& editor, TMapNode* node) {
  std::vector<int> path;
  for (TMapNode* n = node; n->Parent(); n = n->Parent()) path.insert(path.begin(), n->Index());
  TMapNode* root = &node->Root();
  for (int r = 0; r < kMapRootCount; ++r)
    if (&editor.Root(static_cast<TMapRoot>(r)) == root) path.insert(path.begin(), r);
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out << static_cast<qint32>(path.size());
  for (int i : path) out << static_cast<qint32>(i);
  return bytes;
}

TMapNode* NodeAtPath(TDimensionMapEditor& editor, const QByteArray& bytes) {
  QDataStream in(bytes);
  qint32 count = 0, index = 0;
  in >> count >> index;
  if (in.status() != QDataStream::Ok || count < 1 || index < 0 || index >= kMapRootCount)
    return nullptr;
  TMapNode* node = &editor.Root(static_cast<TMapRoot>(index));
  for (qint32 i = 1; i < count; ++i) {
    in >> index;
    if (in.status() != QDataStream::Ok || index < 0 || index >= node->Count()) return nullptr;
    node = &node->Child(index);
  }
  return node;
}

QPushButton* ClearButton(QWidget* parent) {
  auto* b = new QPushButton("X", parent);
  b->setFixedWidth(24);
  return b;
}

// A property panel's field with its button beside it, the field taking the width.
QWidget* FieldRow(QWidget* panel, QWidget* field, QWidget* button) {
  auto* w = new QWidget(panel);
  auto* h = new QHBoxLayout(w);
  h->setContentsMargins(0, 0, 0, 0);
  h->addWidget(field, 1);
  h->addWidget(button);
  return w;
}

}  // namespace

// ---- The tree ----

TMapTreeWidget::TMapTreeWidget(TDimensionMapForm& form) : FForm(form) {
  setHeaderHidden(true);
  setToolTip("Move with mouse to another tree area...");
  setDragEnabled(true);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
}

QStringList TMapTreeWidget::mimeTypes() const {
  return {kMapNodeMime};
}

QMimeData* TMapTreeWidget::mimeData(const QList<QTreeWidgetItem*>& items) const {
  TMapNode* node = items.isEmpty() ? nullptr : FForm.NodeOf(items.first());
  if (!node || !FForm.Editor().CanDrag(node)) return nullptr;
  auto* mime = new QMimeData;
  mime->setData(kMapNodeMime, NodePath(FForm.Editor(), node));
  return mime;
}

void TMapTreeWidget::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasFormat(kMapNodeMime)) e->acceptProposedAction();
}

void TMapTreeWidget::dragMoveEvent(QDragMoveEvent* e) {
  if (e->mimeData()->hasFormat(kMapNodeMime)) e->acceptProposedAction();
}

void TMapTreeWidget::dropEvent(QDropEvent* e) {
  if (!e->mimeData()->hasFormat(kMapNodeMime)) return;
  // The editor moves the nodes itself; the view must not move items.
  e->setDropAction(Qt::IgnoreAction);
  e->accept();
  TMapNode* dragged = NodeAtPath(FForm.Editor(), e->mimeData()->data(kMapNodeMime));
  FForm.DropNode(dragged, itemAt(e->position().toPoint()));
}

void TMapTreeWidget::keyPressEvent(QKeyEvent* e) {
  if (state() != QAbstractItemView::EditingState) {
    if (e->key() == Qt::Key_F2) return FForm.RenameSelected();
    if (e->key() == Qt::Key_Delete) return FForm.DeleteSelected();
  }
  QTreeWidget::keyPressEvent(e);
}

void TMapTreeWidget::mousePressEvent(QMouseEvent* e) {
  // Every button selects the node under the mouse.
  if (QTreeWidgetItem* item = itemAt(e->position().toPoint()))
    if (e->button() != Qt::LeftButton) setCurrentItem(item);
  QTreeWidget::mousePressEvent(e);
}

void TMapTreeWidget::contextMenuEvent(QContextMenuEvent* e) {
  QTreeWidgetItem* item = itemAt(e->pos());
  if (!item) return;
  setCurrentItem(item);
  FForm.PopupMenu(item, e->globalPos());
  e->accept();
}

// ---- The window ----

TDimensionMapForm::TDimensionMapForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(Q(TMsg::SMapEditorCaption));
  resize(760, 520);
  auto* layout = new QVBoxLayout(this);
  auto* splitter = new QSplitter(this);
  layout->addWidget(splitter, 1);

  auto* left = new QWidget(splitter);
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  auto* mapHeader = new QLabel(Q(TMsg::SMapEditorMapHeader), left);
  mapHeader->setFrameShape(QFrame::StyledPanel);
  leftLayout->addWidget(mapHeader);
  auto* tools = new QToolBar(left);
  FNewComposite = new QToolButton(tools);
  FNewComposite->setIcon(ImageIcon(*style(), TMapImage::miNewComposite));
  FNewComposite->setToolTip("Create composite dimension");
  tools->addWidget(FNewComposite);
  leftLayout->addWidget(tools);
  FTree = new TMapTreeWidget(*this);
  leftLayout->addWidget(FTree, 1);

  auto* right = new QWidget(splitter);
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  FHeader = new QLabel(right);
  FHeader->setObjectName("pnItemProp");
  FHeader->setFrameShape(QFrame::StyledPanel);
  rightLayout->addWidget(FHeader);
  FPanels = new QStackedWidget(right);
  FDimPanel = BuildDimensionPanel();
  FPartPanel = BuildPartPanel();
  FNoPanel = new QLabel(Q(TMsg::SMapNoProperties));
  FNoPanel->setObjectName("NoPropPanel");
  static_cast<QLabel*>(FNoPanel)->setAlignment(Qt::AlignCenter);
  for (QWidget* w : {FDimPanel, FPartPanel, FNoPanel}) FPanels->addWidget(w);
  FPanels->setCurrentWidget(FNoPanel);
  rightLayout->addWidget(FPanels, 1);
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({400, 360});  // node texts are long: the tree gets the room

  auto* buttons = new QHBoxLayout;
  FPreview = new QPushButton(Q(TMsg::SMapPreview), this);
  buttons->addWidget(FPreview);
  buttons->addStretch(1);
  FOk = new QPushButton(Q(TMsg::SMapAccept), this);
  auto* cancel = new QPushButton(Q(TMsg::SMapCancel), this);
  FOk->setDefault(true);
  buttons->addWidget(FOk);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);

  FMenu = new TQuickMenu(this);
  FMenu->OnClick = [this](int id) { Command(id); };

  connect(FNewComposite, &QToolButton::clicked, this, [this] {
    TMapNode* node = NodeOf(FTree->currentItem());
    if (!node || !FEditor.InAxis(*node)) return;
    Run([&] { FEditor.NewComposite(node); });
    RenameSelected();
  });
  connect(FTree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (FSyncing) return;
    // The tree keeps its items here: only the panel follows the selection.
    Guard([&] { FEditor.Select(NodeOf(item)); });
    ShowPanel();
  });
  connect(FTree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
    if (TMapNode* n = NodeOf(item)) n->Expanded = true;
  });
  connect(FTree, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
    if (TMapNode* n = NodeOf(item)) n->Expanded = false;
  });
  connect(FTree->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
    TMapNode* node = FRenaming;
    FRenaming = nullptr;
    if (QTreeWidgetItem* item = ItemOf(node)) {
      FEditor.EndRename(node, S(item->text(0)));
      FSyncing = true;
      item->setFlags(item->flags() & ~Qt::ItemIsEditable);
      item->setText(0, Q(node->Text));
      FSyncing = false;
    }
  });
  connect(FOk, &QPushButton::clicked, this, [this] {
    // A member-count error is reported; the window closes all the same.
    Guard([this] { FEditor.Accept(); });
    accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(FPreview, &QPushButton::clicked, this, [this] {
    Guard([this] {
      const TMapPreview preview = FEditor.Preview();
      if (ShowPreview) ShowPreview(preview);
    });
  });
  ShowPreview = [this](const TMapPreview& p) {
    QDialog window(this);
    window.setWindowTitle(Q(TMsg::SMapPreview));
    window.resize(720, 480);
    auto* layout = new QVBoxLayout(&window);
    auto* table = new QTableWidget(static_cast<int>(p.Rows.size()),
                                   static_cast<int>(p.Columns.size()), &window);
    for (std::size_t c = 0; c < p.Columns.size(); ++c)
      table->setHorizontalHeaderItem(static_cast<int>(c), new QTableWidgetItem(Q(p.Columns[c])));
    for (std::size_t r = 0; r < p.Rows.size(); ++r)
      for (std::size_t c = 0; c < p.Rows[r].size(); ++c)
        table->setItem(static_cast<int>(r), static_cast<int>(c), new QTableWidgetItem(Q(p.Rows[r][c])));
    layout->addWidget(table, 1);
    auto* counts = new QListWidget(&window);
    for (const auto& d : p.Dimensions)
      counts->addItem(Q(Format(Msg(TMsg::SMapPreviewMembers), d.Caption, d.Members)));
    layout->addWidget(counts);
    window.exec();
  };
}

TDimensionMapForm::~TDimensionMapForm() = default;

QWidget* TDimensionMapForm::BuildDimensionPanel() {
  auto* panel = new QWidget;
  panel->setObjectName("DimensionPanel");
  auto* form = new QFormLayout(panel);
  TACombo = new QComboBox(panel);
  TACombo->addItems({"First", "Last", "Invisible"});
  form->addRow("Total appearance:", TACombo);
  DataSetCombo = new QComboBox(panel);
  auto* clearDataSet = ClearButton(panel);
  form->addRow("Dimension table:", FieldRow(panel, DataSetCombo, clearDataSet));
  IDCombo = new QComboBox(panel);
  IDCombo->setEditable(true);
  auto* clearID = ClearButton(panel);
  form->addRow("ID Field", FieldRow(panel, IDCombo, clearID));
  ParentIDCombo = new QComboBox(panel);
  ParentIDCombo->setEditable(true);
  auto* clearParent = ClearButton(panel);
  form->addRow("ParentID Field", FieldRow(panel, ParentIDCombo, clearParent));
  AttrEdit = new QLineEdit(panel);
  AttrEdit->setReadOnly(true);
  AttrSelectBTN = new QPushButton("...", panel);
  AttrSelectBTN->setFixedWidth(24);
  form->addRow("Attributes", FieldRow(panel, AttrEdit, AttrSelectBTN));
  DefaultAttrCombo = new QComboBox(panel);
  form->addRow("Default attribute", DefaultAttrCombo);
  SortCombo = new QComboBox(panel);
  SortCombo->addItems({"By database order", "By name ascending", "By name descending",
                       "Custom (see TVantraGrid.OnCompareDimensionMember)"});
  form->addRow("Default sorting:", SortCombo);
  TransformGroupBox = new QGroupBox(panel);
  auto* group = new QVBoxLayout(TransformGroupBox);
  EnableTransformationCB = new QCheckBox("Enable range transformation", TransformGroupBox);
  group->addWidget(EnableTransformationCB);
  scMemberCountEdit = new QSpinBox(TransformGroupBox);
  scMemberCountEdit->setRange(1, 1000000);
  auto* count = new QFormLayout;
  count->addRow("Member Count", scMemberCountEdit);
  group->addLayout(count);
  EqualRangeRB = new QRadioButton("\"Equal range of distribution\" method", TransformGroupBox);
  EqualDensityRB = new QRadioButton("\"Equal density of distribution\" method", TransformGroupBox);
  EqualDensityRB->setChecked(true);
  group->addWidget(EqualRangeRB);
  group->addWidget(EqualDensityRB);
  form->addRow(TransformGroupBox);

  auto changed = [this] { ReadPanel(); };
  for (QComboBox* c : {TACombo, SortCombo, DefaultAttrCombo})
    connect(c, &QComboBox::currentIndexChanged, this, changed);
  for (QComboBox* c : {IDCombo, ParentIDCombo})
    connect(c, &QComboBox::currentTextChanged, this, changed);
  connect(scMemberCountEdit, &QSpinBox::textChanged, this, changed);
  connect(EqualDensityRB, &QRadioButton::toggled, this, changed);
  connect(EnableTransformationCB, &QCheckBox::toggled, this, [this] {
    ReadPanel();
    ShowPanel();
  });
  connect(DataSetCombo, &QComboBox::currentIndexChanged, this, [this] {
    if (FSyncing) return;
    Run([&] { FEditor.DataSetChanged(S(DataSetCombo->currentText())); });
  });
  connect(clearDataSet, &QPushButton::clicked, this, [this] {
    Run([&] { FEditor.DataSetChanged({}); });
  });
  connect(clearID, &QPushButton::clicked, this, [this] { IDCombo->setCurrentText({}); });
  connect(clearParent, &QPushButton::clicked, this, [this] { ParentIDCombo->setCurrentText({}); });
  connect(AttrSelectBTN, &QPushButton::clicked, this, [this] { SelectAttributes(); });
  return panel;
}

QWidget* TDimensionMapForm::BuildPartPanel() {
  auto* panel = new QWidget;
  panel->setObjectName("DimComponentPanel");
  auto* form = new QFormLayout(panel);
  dcDataSetCombo = new QComboBox(panel);
  auto* clearDataSet = ClearButton(panel);
  form->addRow("Dimension table:", FieldRow(panel, dcDataSetCombo, clearDataSet));
  dcIDCombo = new QComboBox(panel);
  dcIDCombo->setEditable(true);
  auto* clearID = ClearButton(panel);
  form->addRow("ID Field", FieldRow(panel, dcIDCombo, clearID));
  dcNameCombo = new QComboBox(panel);
  dcNameCombo->setEditable(true);
  auto* clearName = ClearButton(panel);
  form->addRow("Name Field", FieldRow(panel, dcNameCombo, clearName));
  dcFormatStringEdit = new QLineEdit(panel);
  form->addRow("Format string", dcFormatStringEdit);

  auto changed = [this] { ReadPanel(); };
  for (QComboBox* c : {dcIDCombo, dcNameCombo})
    connect(c, &QComboBox::currentTextChanged, this, changed);
  connect(dcFormatStringEdit, &QLineEdit::textChanged, this, changed);
  connect(dcDataSetCombo, &QComboBox::currentIndexChanged, this, [this] {
    if (FSyncing) return;
    Run([&] { FEditor.PartDataSetChanged(S(dcDataSetCombo->currentText())); });
  });
  connect(clearDataSet, &QPushButton::clicked, this, [this] {
    Run([&] { FEditor.PartDataSetChanged({}); });
  });
  connect(clearID, &QPushButton::clicked, this, [this] { dcIDCombo->setCurrentText({}); });
  connect(clearName, &QPushButton::clicked, this, [this] { dcNameCombo->setCurrentText({}); });
  return panel;
}

bool TDimensionMapForm::Prepare(IDesigner* designer, TCustomVantra& cube) {
  const bool ok = FEditor.Prepare(designer, cube);
  Rebuild();
  FHeader->clear();
  return ok;
}

void TDimensionMapForm::AddDataSetName(const std::string& name) {
  FEditor.AddDataSetName(name);
  ShowPanel();
}

QWidget* TDimensionMapForm::ShownPanel() const {
  return FPanels->currentWidget();
}

// ---- Tree and panels follow the editor ----

void TDimensionMapForm::Run(const std::function<void()>& work) {
  Guard(work);
  Rebuild();
}

TMapNode* TDimensionMapForm::NodeOf(const QTreeWidgetItem* item) const {
  return item ? reinterpret_cast<TMapNode*>(item->data(0, kNodeRole).value<quintptr>()) : nullptr;
}

QTreeWidgetItem* TDimensionMapForm::ItemOf(const TMapNode* node) const {
  if (!node) return nullptr;
  for (QTreeWidgetItemIterator it(FTree); *it; ++it)
    if (NodeOf(*it) == node) return *it;
  return nullptr;
}

void TDimensionMapForm::AddItems(QTreeWidgetItem* item, TMapNode& node) {
  item->setText(0, Q(node.Text));
  item->setIcon(0, ImageIcon(*style(), node.Image));
  item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(&node)));
  for (int i = 0; i < node.Count(); ++i) AddItems(new QTreeWidgetItem(item), node.Child(i));
  item->setExpanded(node.Expanded);
}

void TDimensionMapForm::Rebuild() {
  FSyncing = true;
  FTree->clear();
  for (TMapNode* node : FEditor.Nodes())
    if (!node->Parent()) AddItems(new QTreeWidgetItem(FTree), *node);
  if (QTreeWidgetItem* selected = ItemOf(FEditor.Selected())) {
    FTree->setCurrentItem(selected);
    FTree->scrollToItem(selected);
  }
  FSyncing = false;
  ShowPanel();
}

void TDimensionMapForm::FillLists() {
  auto fill = [](QComboBox* c, const std::vector<std::string>& items) {
    c->clear();
    for (const std::string& s : items) c->addItem(Q(s));
  };
  auto select = [](QComboBox* c, const std::string& text) {
    c->setCurrentIndex(text.empty() ? -1 : c->findText(Q(text)));
  };
  for (QComboBox* c : {DataSetCombo, dcDataSetCombo}) fill(c, FEditor.DataSetNames());
  fill(IDCombo, FEditor.IDFields);
  fill(ParentIDCombo, FEditor.IDFields);
  fill(dcIDCombo, FEditor.PartIDFields);
  fill(dcNameCombo, FEditor.PartIDFields);
  fill(DefaultAttrCombo, FEditor.DimPanel.DefaultAttributes);
  const TDimensionPanel& d = FEditor.DimPanel;
  select(DataSetCombo, d.DataSet);
  select(DefaultAttrCombo, d.DefaultAttribute);
  IDCombo->setCurrentText(Q(d.IDField));
  ParentIDCombo->setCurrentText(Q(d.ParentIDField));
  const TPartPanel& p = FEditor.PartPanel;
  select(dcDataSetCombo, p.DataSet);
  dcIDCombo->setCurrentText(Q(p.IDField));
  dcNameCombo->setCurrentText(Q(p.NameField));
}

void TDimensionMapForm::ShowPanel() {
  FSyncing = true;
  FillLists();
  const TDimensionPanel& d = FEditor.DimPanel;
  TACombo->setCurrentIndex(d.TotalIndex);
  SortCombo->setCurrentIndex(d.SortIndex);
  AttrEdit->setText(Q(d.Attributes));
  TransformGroupBox->setVisible(d.Numeric);
  EnableTransformationCB->setChecked(d.Transform);
  bool ok = false;
  const int count = QString::fromStdString(d.MemberCount).trimmed().toInt(&ok);
  scMemberCountEdit->setValue(ok ? count : 1);
  (d.EqualDensity ? EqualDensityRB : EqualRangeRB)->setChecked(true);
  const bool transform = d.Numeric && d.Transform;
  for (QWidget* w : std::initializer_list<QWidget*>{scMemberCountEdit, EqualRangeRB, EqualDensityRB})
    w->setEnabled(transform);
  for (QWidget* w : std::initializer_list<QWidget*>{DataSetCombo, IDCombo, ParentIDCombo, AttrEdit,
                                                    AttrSelectBTN, DefaultAttrCombo})
    w->setEnabled(!transform);
  dcFormatStringEdit->setText(Q(FEditor.PartPanel.FormatString));
  switch (FEditor.Panel()) {
    case TPropPanel::ppDimension: FPanels->setCurrentWidget(FDimPanel); break;
    case TPropPanel::ppPart: FPanels->setCurrentWidget(FPartPanel); break;
    default: FPanels->setCurrentWidget(FNoPanel); break;
  }
  FHeader->setText(Q(TDimensionMapEditor::HeaderText(FEditor.Current())));
  FSyncing = false;
}

void TDimensionMapForm::ReadPanel() {
  if (FSyncing) return;
  TDimensionPanel& d = FEditor.DimPanel;
  d.TotalIndex = TACombo->currentIndex();
  d.SortIndex = SortCombo->currentIndex();
  d.IDField = S(IDCombo->currentText());
  d.ParentIDField = S(ParentIDCombo->currentText());
  d.DefaultAttribute = S(DefaultAttrCombo->currentText());
  d.Transform = EnableTransformationCB->isChecked();
  d.MemberCount = S(scMemberCountEdit->text());
  d.EqualDensity = EqualDensityRB->isChecked();
  TPartPanel& p = FEditor.PartPanel;
  p.IDField = S(dcIDCombo->currentText());
  p.NameField = S(dcNameCombo->currentText());
  p.FormatString = S(dcFormatStringEdit->text());
}

// ---- Gestures ----

void TDimensionMapForm::DropNode(TMapNode* dragged, QTreeWidgetItem* target) {
  TMapNode* to = NodeOf(target);
  if (!dragged || !to) return;
  Run([&] { FEditor.DragDrop(dragged, to); });
}

void TDimensionMapForm::RenameSelected() {
  TMapNode* node = NodeOf(FTree->currentItem());
  if (FRenaming || !FEditor.CanRename(node)) return;
  QTreeWidgetItem* item = ItemOf(node);
  FEditor.BeginRename(node);
  FSyncing = true;
  item->setText(0, Q(node->Text));
  item->setFlags(item->flags() | Qt::ItemIsEditable);
  FSyncing = false;
  FRenaming = node;
  FTree->editItem(item);
}

void TDimensionMapForm::DeleteSelected() {
  TMapNode* node = NodeOf(FTree->currentItem());
  if (!FEditor.CanDelete(node)) return;
  Run([&] { FEditor.Delete(node); });
}

void TDimensionMapForm::PopupMenu(QTreeWidgetItem* item, const QPoint& globalPos) {
  FMenuNode = NodeOf(item);
  FMenu->Clear();
  for (TMapCommand c : FEditor.ContextCommands(FMenuNode)) {
    const TMsg text = c == TMapCommand::mcRename   ? TMsg::SMapCmdRename
                      : c == TMapCommand::mcDelete ? TMsg::SMapCmdDelete
                                                   : TMsg::SMapCmdCreateComposite;
    FMenu->AddItem(Msg(text), TQuickCheck::qcPlain, static_cast<int>(c));
  }
  if (!FMenu->Empty()) FMenu->popup(globalPos);
}

void TDimensionMapForm::Command(int id) {
  TMapNode* node = FMenuNode;
  switch (static_cast<TMapCommand>(id)) {
    case TMapCommand::mcRename: return RenameSelected();
    case TMapCommand::mcDelete:
      if (FEditor.CanDelete(node)) Run([&] { FEditor.Delete(node); });
      return;
    case TMapCommand::mcCreateComposite:
      Run([&] { FEditor.NewComposite(node); });
      return RenameSelected();
  }
}

void TDimensionMapForm::SelectAttributes() {
  Run([&] { FEditor.DataSetChanged(S(DataSetCombo->currentText())); });
  TCheckListBoxForm list(this, FEditor.DimPanel.Attributes, FEditor.IDFields);
  list.move(AttrEdit->mapToGlobal(QPoint(0, AttrEdit->height() + 1)));
  list.resize(ParentIDCombo->width(), list.height());
  if (list.exec() != QDialog::Accepted) return;
  FEditor.SetAttributes(list.ResultText());
  ShowPanel();
}

}  // namespace qd
