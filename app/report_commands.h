// The commands of the main window's "报表(&R)" and "导出(&E)" menus: the
// cell-details window, the display settings, grid-data and grid-state files,
// every export with its file dialog and success message, the spreadsheet
// opened on the desktop and printing. The commands act while the grid shows
// an open cube; the menu items are enabled exactly then.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/grid_info.h"

class QAction;
class QMenu;
class QPrinter;
class QTabWidget;
class QWidget;

namespace qd {

class IExcelApplication;
class TCustomVantra;
class TSettingsFRM;
class TVantraGrid;
class TVantraGridExport;
class TVantraGridExportToExcel;
class TVantraGridExportToHTML;
class TVantraGridExportToMF;
class TVantraGridExportToRTF;
class TVantraGridExportToXLS;
class TVantraGridExportToXML;
class TVantraGridPrint;
class TfmGridHelper;

//! The signature the XLS documents carry as page header and footer.
inline constexpr const char* kXlsSignature = "Quarrydesk 多维分析报表";

class TReportCommands : public TGridListener {
 public:
  //! `pages` holds the grid on its first tab; `window` parents the dialogs.
  TReportCommands(QWidget& window, TVantraGrid& grid, QTabWidget& pages);
  ~TReportCommands() override;

  //! Fills the two menus with their items.
  void BuildReportMenu(QMenu& menu);
  void BuildExportMenu(QMenu& menu);

  //! The cube grid-data files are loaded into (the data module's working
  //! cube); unset: the grid's own cube.
  std::function<TCustomVantra*()> WorkingCube;
  //! The catalog caption of the open cube, the first line of documents and
  //! the proposed name of a grid-data file.
  std::function<std::string()> CubeCaption;

  // ---- Dialogs and the desktop; tests replace them ----
  //! The "导出到 ..." dialog: default extension and "description|pattern"
  //! filter; empty is Cancel.
  std::function<std::string(const std::string& ext, const std::string& filter)> ChooseExportFile;
  //! Save and open dialogs of grid files: filter, proposed name, extension.
  std::function<std::string(const std::string& filter, const std::string& proposed,
                            const std::string& ext)>
      ChooseSaveFile, ChooseOpenFile;
  //! The print dialog on the printer; false is Cancel.
  std::function<bool(QPrinter& printer)> ChoosePrinter;
  //! Opens a document in the desktop's program for it (browser, spreadsheet);
  //! false when the desktop has no program for it.
  std::function<bool(const std::string& path)> OpenDocument;
  //! Runs the settings dialog modally; true is OK.
  std::function<bool(TSettingsFRM& dialog)> RunSettings;
  //! Takes the size limits kept in `file` (app/user_settings.h) into the
  //! grid, and keeps them there after every OK of "显示设置". Without it
  //! (tests) the settings last for the session.
  void KeepSettingsIn(const std::string& file);

  // ---- The commands ----
  void GridExplMenuClick();
  void SetMenuClick();
  void SaveGridDataMenuClick();
  void OpenGridDataMenuClick();
  void SaveGridStateMenuClick();
  void OpenGridStateMenuClick();
  void xls1Click();
  void OLE1Click();
  void HTML2Click();
  void HTML3Click();
  void XMLforMSOffice1Click();
  void XML2Click();
  void ExprtfMenuClick();
  void RptPrintMenuClick();
  //! Shows the details of the cell under the grid's mouse position.
  void GridInternalGridMouseMove(int x, int y);

  //! True while the grid shows an open cube: the commands' guard.
  bool CubeOpen() const;
  //! Enables the guarded items exactly while a cube is open.
  void UpdateActions();

  TfmGridHelper& GridHelper() const { return *FHelper; }
  TSettingsFRM& Settings() const { return *FSettings; }
  TVantraGridExportToHTML& AdvancedHtml() const { return *FHtmlAdvanced; }
  //! The spreadsheet of the last "使用OLE" export, kept until the next one.
  IExcelApplication* OleApplication() const { return FOle.get(); }

  void GridInfoChanged(TGridInfo& model, TChangeKind kind) override;

 private:
  void Prepare(TVantraGridExport& exporter);
  std::string AskExportFile(const std::string& ext, const std::string& filter);
  void ExportHtml(TVantraGridExportToHTML& exporter, bool advanced);

  QWidget& FWindow;
  TVantraGrid& FGrid;
  QTabWidget& FPages;
  std::unique_ptr<TfmGridHelper> FHelper;
  std::unique_ptr<TSettingsFRM> FSettings;
  std::unique_ptr<TVantraGridExportToXLS> FXls;
  std::unique_ptr<TVantraGridExportToExcel> FExcel;
  std::unique_ptr<TVantraGridExportToHTML> FHtmlSimple, FHtmlAdvanced;
  std::unique_ptr<TVantraGridExportToXML> FXml;
  std::unique_ptr<TVantraGridExportToRTF> FRtf;
  std::unique_ptr<TVantraGridPrint> FPrint;
  std::unique_ptr<IExcelApplication> FOle;
  std::vector<QAction*> FGuarded;
  std::string FSettingsFile;
};

//! The advanced HTML page's template and images as they are built in
//! ("HTML", "BG", "LOGO", "SHADE"); raises EGenericError naming a missing one.
std::string ReportResource(const std::string& name);

}  // namespace qd
