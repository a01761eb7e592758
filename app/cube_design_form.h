// The main window: the cube catalog on the left, the pivot grid and the chart
// on two tabs, the menus, the status bar and the tray icon.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/message_sink.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSystemTrayIcon;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace qd {

class TAboutForm;
class TChartPage;
class TCompareCommands;
class TFactTableEditor;
class TDataModule1;
class TDesignCommands;
class TReportCommands;
class TVantraGrid;
class TVProgressDlg;

//! Messages of the shell commands go through the view's message handler.
class TBoxMessageSink : public TMessageSink {
 public:
  void ShowMessage(const std::string& text) override;
};

class TCubeDesignForm : public QMainWindow {
 public:
  //! `programFolder` ends with a separator (FormCreate).
  explicit TCubeDesignForm(std::string programFolder, QWidget* parent = nullptr);
  ~TCubeDesignForm() override;

  //! The data module is created after the window; the first activation uses it.
  //! The design commands share its store of lookup tables.
  void SetDataModule(TDataModule1* dm);
  //! The folder argument of an unattended run; the start-up sequence then
  //! generates every internal cube into it and closes the window.
  std::optional<std::string> AutoSaveArgument;

  // ---- Start-up and catalog ----
  //! Runs the start-up sequence at the first activation only.
  void FormActivate();
  bool FirstActivation() const { return FFirstActivation; }
  void MainTreeViewChange(QTreeWidgetItem* node);
  //! Binds the grid to the internal cube of that catalog name and activates it.
  bool RealTimeCube(const std::string& name, bool unattended);
  bool MakeCFD(const std::string& fileName);

  // ---- Commands ----
  //! "打开本地Cube..." with the file already chosen.
  void OpenLocalCube(const std::string& fileName);
  //! "保存为本地Cube..." with the file already chosen.
  void SaveLocalCube(const std::string& fileName);
  void OpenCubeMenuClick();
  void CloseCubeClick();
  void UpdqrFactMenuClick();
  void HideTreeMenuClick();
  void TrayIconDblClick();
  void AboutMenuClick();

  // ---- Parts ----
  TVantraGrid& Grid() const { return *FGrid; }
  QTreeWidget& MainTreeView() const { return *FTree; }
  QLineEdit& RptEdit() const { return *FRptEdit; }
  QTabWidget& PageControl() const { return *FPages; }
  TChartPage& ChartPage() const { return *FChartPage; }
  QLabel& StatusPanel(int i) const;
  //! "在数据库中汇总": the cubes this window builds from definitions send the
  //! first aggregation to the database (a definition's own key also does).
  QCheckBox& InDatabaseBox() const { return *FInDatabase; }
  QAction& HideTreeAction() const { return *FHideTree; }
  //! The "报表" and "导出" menus' commands.
  TReportCommands& ReportCommands() const { return *FReport; }
  //! "与另一Cube比较…" and "取消比较".
  TCompareCommands& CompareCommands() const { return *FCompare; }
  //! "设计Cube" and the definition-file commands.
  TDesignCommands& DesignCommands() const { return *FDesign; }
  //! Menu items by their text; nullptr when absent.
  QAction* FindAction(const std::string& text) const;
  const std::string& ProgramFolder() const { return FProgramFolder; }
  const std::string& CurrentCubeFile() const { return FCurrentCubeFile; }
  //! Finds a catalog node by its path of texts ("内部Cube", "name").
  QTreeWidgetItem* FindNode(const std::vector<std::string>& path) const;

  //! The file dialogs; tests replace them (an empty result is Cancel).
  std::function<std::string()> ChooseOpenFile;
  std::function<std::string(const std::string& proposed)> ChooseSaveFile;

 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildMenus();
  void BuildCatalog();
  void ShowOpenError(const std::exception& e);
  // The first status panel; its tooltip holds the whole text, which a long
  // file name or comparison summary would otherwise lose at the panel's edge.
  void ShowInStatus(const QString& text);
  void OpenMenuClick();
  void SaveAsMenuClick();
  QTreeWidgetItem* BranchRoot(QTreeWidgetItem* node) const;

  std::string FProgramFolder;
  std::string FCurrentCubeFile;
  bool FFirstActivation = true;
  bool FActivationQueued = false;
  TDataModule1* FDm = nullptr;
  TVantraGrid* FGrid;
  QTreeWidget* FTree;
  QTabWidget* FPages;
  TChartPage* FChartPage;
  QLineEdit* FRptEdit;
  QLabel* FPanels[3];
  QAction* FHideTree = nullptr;
  QCheckBox* FInDatabase = nullptr;
  QSystemTrayIcon* FTray = nullptr;
  std::unique_ptr<TAboutForm> FAbout;
  std::unique_ptr<TVProgressDlg> FProgress;
  std::unique_ptr<TFactTableEditor> FFactEditor;
  std::unique_ptr<TReportCommands> FReport;
  std::unique_ptr<TDesignCommands> FDesign;
  std::unique_ptr<TCompareCommands> FCompare;
  TBoxMessageSink FSink;
};

}  // namespace qd
