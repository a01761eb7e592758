#include "app/cube_design_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QEvent>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include "app/about_form.h"
#include "app/cube_catalog.h"
#include "app/chart_page.h"
#include "app/compare_commands.h"
#include "app/cube_definition.h"
#include "app/data_module.h"
#include "app/design_commands.h"
#include "app/generate_commands.h"
#include "app/grid_handlers.h"
#include "app/support_dump.h"
#include "app/make_cfd.h"
#include "app/realtime_cube.h"
#include "app/report_commands.h"
#include "engine/cube/cube_file.h"
#include "design/fact_table_editor.h"
#include "engine/core/messages.h"
#include "view/glyphs.h"
#include "view/message_guard.h"
#include "view/grid_helper_form.h"
#include "view/progress_dlg.h"
#include "view/vantra_grid.h"

namespace qd {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}
QString Q(TMsg id) {
  return QString::fromStdString(Msg(id));
}

constexpr int kImageRole = Qt::UserRole + 1;

int ImageOf(const QTreeWidgetItem* node) {
  return node ? node->data(0, kImageRole).toInt() : -1;
}

// The working cube as the definition build sees it; activating binds it to the grid.
class TFormCubeTarget : public TVantraCubeTarget {
 public:
  TFormCubeTarget(TDataModule1& dm, TVantraGrid& grid, const QCheckBox* inDatabase)
      : TVantraCubeTarget(dm.ADOConnection, dm.qrFact, dm.Vantra1, dm.Lookups),
        FGrid(grid) {
    if (inDatabase && inDatabase->isChecked()) SetAggregateInDatabase(true);
  }
  void Activate() override {
    FGrid.SetVantra(&Cube());
    TVantraCubeTarget::Activate();
  }

 private:
  TVantraGrid& FGrid;
};

}  // namespace

void TBoxMessageSink::ShowMessage(const std::string& text) {
  qd::ShowMessage(text);
}

TCubeDesignForm::TCubeDesignForm(std::string programFolder, QWidget* parent)
    : QMainWindow(parent), FProgramFolder(std::move(programFolder)) {
  setWindowTitle(Q(TMsg::SMainCaption));
  resize(1000, 680);
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* bevel = new QFrame(central);
  bevel->setFrameShape(QFrame::HLine);
  bevel->setFrameShadow(QFrame::Raised);
  layout->addWidget(bevel);

  auto* splitter = new QSplitter(Qt::Horizontal, central);
  FTree = new QTreeWidget(splitter);
  FTree->setHeaderHidden(true);
  FTree->setRootIsDecorated(false);
  FTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FTree->setCursor(Qt::PointingHandCursor);
  FTree->setMinimumWidth(60);
  FPages = new QTabWidget(splitter);
  FPages->setDocumentMode(true);
  FGrid = new TVantraGrid(FPages);
  FPages->addTab(FGrid, Q(TMsg::STabReport));
  FChartPage = new TChartPage(*FGrid, FPages);
  FPages->addTab(FChartPage, Q(TMsg::STabChart));
  FRptEdit = new QLineEdit(Q(TMsg::SReportNameInitial), FPages);
  FRptEdit->setReadOnly(true);
  FRptEdit->setAlignment(Qt::AlignCenter);
  FRptEdit->setFixedWidth(360);
  QFont bold = FRptEdit->font();
  bold.setBold(true);
  FRptEdit->setFont(bold);
  FRptEdit->setStyleSheet("color: #800000;");
  // The report name sits at the top right, level with the tabs.
  auto* right = new QWidget(splitter);
  auto* grid = new QGridLayout(right);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(FPages, 0, 0);
  grid->addWidget(FRptEdit, 0, 0, Qt::AlignTop | Qt::AlignRight);
  splitter->addWidget(FTree);
  splitter->addWidget(right);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({160, 840});
  layout->addWidget(splitter, 1);
  setCentralWidget(central);

  const int widths[3] = {500, 80, 50};
  for (int i = 0; i < 3; ++i) {
    FPanels[i] = new QLabel(this);
    FPanels[i]->setMinimumWidth(widths[i]);
    FPanels[i]->setFrameShape(QFrame::StyledPanel);
    if (i == 1) FPanels[i]->setAlignment(Qt::AlignCenter);
    statusBar()->addWidget(FPanels[i]);
  }
  FInDatabase = new QCheckBox(Q(TMsg::SBuildModeInDatabase), this);
  FInDatabase->setToolTip(Q(TMsg::SInDatabaseHint));
  statusBar()->addPermanentWidget(FInDatabase);

  // The grid of the report tab.
  FGrid->Editable = true;
  // Wide enough for a seven-digit amount with two decimals in the data font.
  FGrid->SetDefaultColWidth(
      std::max(64, FGrid->fontMetrics().horizontalAdvance("000,000,000.00") + 8));
  FGrid->VisualSettings().SetVisualStyle(TvtVisualStyle::vsXP);
  FGrid->VisualSettings().SetWordWrap(true);
  FGrid->VisualSettings().SetShowMoreIconsButton(true);
  WireGridHandlers(*FGrid);
  InstallSupportDump(*this);
  FFactEditor = std::make_unique<TFactTableEditor>(this);
  FGrid->Model().FactTableEditor = FFactEditor.get();
  FGrid->FunctionDefs().EnsureStandard();
  for (int f = 0; f < FGrid->FunctionDefs().Count() && f < kStandardFunctionCount; ++f) {
    FGrid->FunctionDefs().Items(f).DisplayName = FunctionDisplayName(f);
    FGrid->FunctionDefs().Items(f).UserAllowed = true;
  }

  FAbout = std::make_unique<TAboutForm>(this);
  FProgress = std::make_unique<TVProgressDlg>(this);
  FReport = std::make_unique<TReportCommands>(*this, *FGrid, *FPages);
  FReport->WorkingCube = [this]() -> TCustomVantra* { return FDm ? &FDm->Vantra1 : nullptr; };
  FReport->CubeCaption = [this] {
    QTreeWidgetItem* node = FTree->currentItem();
    return node ? node->text(0).toStdString() : std::string();
  };
  FDesign = std::make_unique<TDesignCommands>(*this, *FGrid, FSink, FProgramFolder);
  FDesign->MakeTarget = [this]() -> std::unique_ptr<TRealTimeCubeTarget> {
    if (!FDm) return nullptr;
    return std::make_unique<TFormCubeTarget>(*FDm, *FGrid, FInDatabase);
  };
  FDesign->CloseCellDetails = [this] { FReport->GridHelper().hide(); };
  FCompare = std::make_unique<TCompareCommands>(*FGrid);
  FCompare->ShowStatus = [this](const std::string& text) { ShowInStatus(Q(text)); };
  connect(FTree, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* node) { MainTreeViewChange(node); });
  BuildMenus();

  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    FTray = new QSystemTrayIcon(QIcon(NamedPixmap("vtPivot")), this);
    FTray->setToolTip(Q(TMsg::STrayHint));
    connect(FTray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
      if (r == QSystemTrayIcon::DoubleClick) Guard([this] { TrayIconDblClick(); });
    });
    FTray->show();
  }
  ChooseOpenFile = [this] {
    return QFileDialog::getOpenFileName(this, {}, "*.vtc", Q(TMsg::SCubeFileFilter) + " (*.vtc)")
        .toStdString();
  };
  ChooseSaveFile = [this](const std::string& proposed) {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(Q(TMsg::SCubeFileFilter) + " (*.vtc)");
    dialog.setDefaultSuffix("vtc");
    dialog.selectFile(Q(proposed));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0).toStdString()
                                              : std::string();
  };
}

void TCubeDesignForm::SetDataModule(TDataModule1* dm) {
  FDm = dm;
  FDesign->Designer().ShareTables(dm ? &dm->Lookups : nullptr);
}

TCubeDesignForm::~TCubeDesignForm() {
  FCompare.reset();
  FGrid->Model().FactTableEditor = nullptr;
  FGrid->SetVantra(nullptr);
  if (FDm) {  // the progress window goes with the form; the cubes may build later
    FDm->Vantra1.ProgressSink = nullptr;
    for (int i = 0; i < FDm->BuiltinCount(); ++i) FDm->BuiltinCube(i).ProgressSink = nullptr;
  }
}

// ---- Menus ----

void TCubeDesignForm::BuildMenus() {
  auto item = [this](QMenu* menu, TMsg text, std::function<void()> command, QKeySequence key = {}) {
    QAction* a = menu->addAction(Q(text));
    if (!key.isEmpty()) a->setShortcut(key);
    if (command)
      connect(a, &QAction::triggered, this, [command] { Guard(command); });
    else
      a->setEnabled(false);  // the command is not available yet
    return a;
  };
  QMenu* cube = menuBar()->addMenu(Q(TMsg::SMenuCube));
  item(cube, TMsg::SMenuOpenLocal, [this] { OpenMenuClick(); });
  item(cube, TMsg::SMenuSaveLocal, [this] { SaveAsMenuClick(); });
  item(cube, TMsg::SMenuOpenDefinition, [this] { FDesign->OpenCFDMenuClick(); });
  item(cube, TMsg::SMenuEncryptDefinition, [this] { FDesign->CryptCFDMenuClick(); });
  cube->addSeparator();
  FHideTree = item(
      cube, TMsg::SMenuHideTree, [this] { HideTreeMenuClick(); }, QKeySequence(Qt::Key_F4));
  item(
      cube, TMsg::SMenuDesignCube, [this] { FDesign->CubeDefMenuClick(); }, QKeySequence(Qt::Key_F2));
  item(
      cube, TMsg::SMenuOpenCube, [this] { OpenCubeMenuClick(); }, QKeySequence("Ctrl+O"));
  item(
      cube, TMsg::SMenuCloseCube, [this] { CloseCubeClick(); }, QKeySequence("Ctrl+X"));
  item(cube, TMsg::SMenuRefreshFacts, [this] { UpdqrFactMenuClick(); });
  cube->addSeparator();
  FCompare->BuildMenu(*cube);
  cube->addSeparator();
  item(cube, TMsg::SMenuExit, [this] { close(); });

  FReport->BuildReportMenu(*menuBar()->addMenu(Q(TMsg::SMenuReport)));
  FReport->BuildExportMenu(*menuBar()->addMenu(Q(TMsg::SMenuExport)));

  QMenu* help = menuBar()->addMenu(Q(TMsg::SMenuHelp));
  item(help, TMsg::SMenuAbout, [this] { AboutMenuClick(); });
  item(help, TMsg::SMenuTest, nullptr)->setVisible(false);
}

QAction* TCubeDesignForm::FindAction(const std::string& text) const {
  const QString wanted = Q(text);
  std::function<QAction*(const QList<QAction*>&)> find =
      [&](const QList<QAction*>& actions) -> QAction* {
    for (QAction* a : actions) {
      if (a->text() == wanted) return a;
      if (a->menu())
        if (QAction* found = find(a->menu()->actions())) return found;
    }
    return nullptr;
  };
  return find(menuBar()->actions());
}

QLabel& TCubeDesignForm::StatusPanel(int i) const {
  return *FPanels[std::clamp(i, 0, 2)];
}

// ---- Start-up ----

bool TCubeDesignForm::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  // Without a window manager (Xvfb, kiosks) a window may never be activated:
  // there the first show counts as the first activation.
  const bool activation = event->type() == QEvent::WindowActivate || event->type() == QEvent::Show;
  if (activation && FFirstActivation && !FActivationQueued) {
    FActivationQueued = true;  // a show and an activation together run it once
    QMetaObject::invokeMethod(
        this,
        [this] {
          FActivationQueued = false;
          Guard([this] { FormActivate(); });
        },
        Qt::QueuedConnection);
  }
  return handled;
}

void TCubeDesignForm::FormActivate() {
  if (!FFirstActivation || !FDm) return;
  FPages->setCurrentIndex(0);
  ShowInStatus(Q(TMsg::SSelectCube));
  FPanels[1]->setText(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
  FPanels[2]->setText(FAbout->VersionText());
  for (QLabel* panel : FPanels)  // a panel never clips its text
    panel->setMinimumWidth(std::max(panel->minimumWidth(), panel->sizeHint().width()));
  // A connection that cannot open ends the sequence here; it runs again at
  // the next activation. The unattended generation goes on instead and logs
  // the reason under each cube.
  try {
    ApplyCubeConnectionIni(FDm->ADOConnection, FProgramFolder);
  } catch (const std::exception&) {
    if (!AutoSaveArgument) throw;
  }
  FDm->Vantra1.ProgressSink = FProgress.get();
  for (int i = 0; i < FDm->BuiltinCount(); ++i) FDm->BuiltinCube(i).ProgressSink = FProgress.get();
  BuildCatalog();
  if (AutoSaveArgument) {
    if (FTray) FTray->disconnect(this);
    int failed = 0;
    GenerateBuiltinCubes(*FDm, *AutoSaveArgument, failed);
    FFirstActivation = false;
    close();
    return;
  }
  FFirstActivation = false;
}

void TCubeDesignForm::BuildCatalog() {
  FTree->blockSignals(true);
  FTree->clear();
  const QIcon icons[3] = {style()->standardIcon(QStyle::SP_DriveHDIcon),
                          style()->standardIcon(QStyle::SP_DirIcon), QIcon(NamedPixmap("vtPivot"))};
  std::function<void(QTreeWidgetItem*, const TCatalogNode&)> add = [&](QTreeWidgetItem* item,
                                                                       const TCatalogNode& node) {
    const int image = static_cast<int>(node.Image);
    item->setText(0, Q(node.Text));
    item->setData(0, kImageRole, image);
    item->setIcon(0, icons[image]);
    for (const TCatalogNode& child : node.Children) add(new QTreeWidgetItem(item), child);
  };
  for (const TCatalogNode& root : BuildCubeCatalog(FProgramFolder, FDm->CatalogNames())) {
    auto* item = new QTreeWidgetItem(FTree);
    add(item, root);
  }
  FTree->expandAll();
  FTree->blockSignals(false);
}

QTreeWidgetItem* TCubeDesignForm::FindNode(const std::vector<std::string>& path) const {
  QTreeWidgetItem* found = nullptr;
  for (const std::string& text : path) {
    const int count = found ? found->childCount() : FTree->topLevelItemCount();
    QTreeWidgetItem* next = nullptr;
    for (int i = 0; i < count && !next; ++i) {
      QTreeWidgetItem* c = found ? found->child(i) : FTree->topLevelItem(i);
      if (c->text(0) == Q(text)) next = c;
    }
    if (!next) return nullptr;
    found = next;
  }
  return found;
}

QTreeWidgetItem* TCubeDesignForm::BranchRoot(QTreeWidgetItem* node) const {
  while (node && node->parent()) node = node->parent();
  return node;
}

// ---- Opening from the catalog ----

void TCubeDesignForm::ShowInStatus(const QString& text) {
  FPanels[0]->setText(text);
  FPanels[0]->setToolTip(text);
}

void TCubeDesignForm::ShowOpenError(const std::exception& e) {
  qd::ShowError(Msg(TMsg::SCubeOpenError) + "\r" + e.what());
}

void TCubeDesignForm::MainTreeViewChange(QTreeWidgetItem* node) {
  if (ImageOf(node) != static_cast<int>(TCatalogImage::ciCube) || !FDm) return;
  Guard([&] {
    const std::string text = node->text(0).toStdString();
    ShowInStatus(Q(text));
    FRptEdit->setText(Q(text));
    const QString root = BranchRoot(node)->text(0);
    if (root == Q(TMsg::SCatalogInternal)) {
      RealTimeCube(text, false);
    } else if (root == Q(TMsg::SCatalogRealTime)) {
      MakeCFD(FProgramFolder + text + ".cfd");
    } else if (root == Q(TMsg::SCatalogLocal)) {
      QTreeWidgetItem* parent = node->parent();
      const std::string folder = parent && parent->parent() ? parent->text(0).toStdString() : "";
      std::string user(CubeUserData.size(), '\0');
      TUserBuffer buffer{reinterpret_cast<std::uint8_t*>(user.data()), user.size(), 0};
      try {
        LoadCubeFromFile(FDm->Vantra1, LocalCubePath(FProgramFolder, folder, text), &buffer);
      } catch (const std::exception& e) {
        ShowOpenError(e);
      }
      FGrid->SetVantra(&FDm->Vantra1);
    }
  });
}

bool TCubeDesignForm::RealTimeCube(const std::string& name, bool unattended) {
  int number = 0;
  for (int i = 0; i < kDBCubeCount; ++i)
    if (FDm->DBCubes[static_cast<std::size_t>(i)].Name == name) number = i + 1;
  if (number == 0) return true;
  if (number <= FDm->BuiltinCount()) FGrid->SetVantra(&FDm->BuiltinCube(number - 1));
  TCustomVantra* cube = FGrid->Vantra();
  if (cube && !cube->Active()) {
    try {
      cube->SetActive(true);
    } catch (const std::exception& e) {
      if (!unattended) ShowOpenError(e);
      return false;
    }
  }
  return true;
}

bool TCubeDesignForm::MakeCFD(const std::string& fileName) {
  TFormCubeTarget target(*FDm, *FGrid, FInDatabase);
  return qd::MakeCFD(fileName, FProgramFolder, target, FSink);
}

// ---- Commands ----

void TCubeDesignForm::OpenMenuClick() {
  const std::string file = ChooseOpenFile ? ChooseOpenFile() : std::string();
  if (!file.empty()) OpenLocalCube(file);
}

void TCubeDesignForm::OpenLocalCube(const std::string& fileName) {
  if (!FDm) return;
  std::string user(CubeUserData.size(), '\0');
  TUserBuffer buffer{reinterpret_cast<std::uint8_t*>(user.data()), user.size(), 0};
  LoadCubeFromFile(FDm->Vantra1, fileName, &buffer);  // errors reach the guard
  FGrid->SetVantra(&FDm->Vantra1);
  ShowInStatus(Q(fileName));
}

void TCubeDesignForm::SaveAsMenuClick() {
  if (!FGrid->Vantra() || !FGrid->Vantra()->Active()) return;
  QTreeWidgetItem* node = FTree->currentItem();
  const std::string proposed = (node ? node->text(0).toStdString() : std::string("Cube")) + ".vtc";
  const std::string file = ChooseSaveFile ? ChooseSaveFile(proposed) : std::string();
  if (!file.empty()) SaveLocalCube(file);
}

void TCubeDesignForm::SaveLocalCube(const std::string& fileName) {
  if (!FGrid->Vantra() || !FGrid->Vantra()->Active()) return;
  FCurrentCubeFile = fileName;
  ShowInStatus(Q(fileName));
  SaveCubeWithUserData(*FGrid->Vantra(), fileName);
}

void TCubeDesignForm::OpenCubeMenuClick() {
  TCustomVantra* cube = FGrid->Vantra();
  if (!cube || cube->Active()) return;
  try {
    cube->SetActive(true);
  } catch (const std::exception& e) {
    ShowOpenError(e);
  }
  FChartPage->ResetChartControls();
  FPages->setCurrentIndex(0);
}

void TCubeDesignForm::CloseCubeClick() {
  if (FGrid->Vantra()) FGrid->Vantra()->SetActive(false);
}

void TCubeDesignForm::UpdqrFactMenuClick() {
  QTreeWidgetItem* node = FTree->currentItem();
  if (ImageOf(node) != static_cast<int>(TCatalogImage::ciCube)) return;
  if (BranchRoot(node)->text(0) == Q(TMsg::SCatalogLocal) || !FGrid->Vantra()) return;
  TCustomVantra* cube = FGrid->Vantra();
  cube->RefreshFactTable();
  if (cube->DataSet()) cube->DataSet()->Close();
}

void TCubeDesignForm::HideTreeMenuClick() {
  if (FHideTree->text() == Q(TMsg::SMenuHideTree)) {
    FHideTree->setText(Q(TMsg::SMenuShowTree));
    FTree->hide();
  } else if (FHideTree->text() == Q(TMsg::SMenuShowTree)) {
    FHideTree->setText(Q(TMsg::SMenuHideTree));
    FTree->show();
  }
}

void TCubeDesignForm::TrayIconDblClick() {
  if (isVisible() && !isMinimized()) {
    hide();
    return;
  }
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
}

void TCubeDesignForm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // Minimising hides the window into the tray.
  if (event->type() == QEvent::WindowStateChange && isMinimized() && FTray && FTray->isVisible())
    QMetaObject::invokeMethod(
        this, [this] { hide(); }, Qt::QueuedConnection);
}

void TCubeDesignForm::AboutMenuClick() {
  FAbout->exec();
}

}  // namespace qd
