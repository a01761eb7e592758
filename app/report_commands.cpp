#include "app/report_commands.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QTabWidget>
#include <QUrl>
#include <filesystem>

#include "app/user_settings.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/io/safe_file.h"
#include "export/excel_export.h"
#include "export/html_export.h"
#include "export/rtf_export.h"
#include "export/xls_export.h"
#include "export/xlsx_application.h"
#include "export/xml_export.h"
#include "view/grid_helper_form.h"
#include "view/internal_grid.h"
#include "view/message_guard.h"
#include "view/paint_device.h"
#include "view/settings_form.h"
#include "view/vantra_grid.h"

namespace qd {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString Q(TMsg id) { return QString::fromStdString(Msg(id)); }

// "description|pattern" as a Qt name filter: "description (pattern)".
QString NameFilter(const std::string& filter) {
  const auto bar = filter.find('|');
  if (bar == std::string::npos) return Q(filter);
  return Q(filter.substr(0, bar)) + " (" + Q(filter.substr(bar + 1)) + ")";
}

std::string FileDialog(QWidget& parent, const QString& title, bool save, const std::string& filter,
                       const std::string& proposed, const std::string& ext) {
  QFileDialog dialog(&parent, title);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilter(NameFilter(filter));
  dialog.setDefaultSuffix(Q(ext));
  if (!proposed.empty()) dialog.selectFile(Q(proposed));
  return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0).toStdString()
                                            : std::string();
}

// The colour of the advanced page's table: red 0x00, green 0x66, blue 0xCC.
constexpr TColor kAdvancedTableColor = 13395456;

}  // namespace

std::string ReportResource(const std::string& name) {
  static const std::pair<const char*, const char*> files[] = {
      {"HTML", ":/report/template.htm"}, {"BG", ":/report/bg.gif"},
      {"LOGO", ":/report/logo.gif"},     {"SHADE", ":/report/shade.gif"}};
  for (const auto& [key, path] : files)
    if (name == key) {
      QFile file(QString::fromLatin1(path));
      if (file.open(QIODevice::ReadOnly)) return file.readAll().toStdString();
    }
  throw EGenericError(Format(Msg(TMsg::SReportNoResource), name));
}

TReportCommands::TReportCommands(QWidget& window, TVantraGrid& grid, QTabWidget& pages)
    : FWindow(window),
      FGrid(grid),
      FPages(pages),
      FHelper(std::make_unique<TfmGridHelper>(&window)),
      FSettings(std::make_unique<TSettingsFRM>(&window)),
      FXls(std::make_unique<TVantraGridExportToXLS>()),
      FExcel(std::make_unique<TVantraGridExportToExcel>()),
      FHtmlSimple(std::make_unique<TVantraGridExportToHTML>()),
      FHtmlAdvanced(std::make_unique<TVantraGridExportToHTML>()),
      FXml(std::make_unique<TVantraGridExportToXML>()),
      FRtf(std::make_unique<TVantraGridExportToRTF>()),
      FPrint(std::make_unique<TVantraGridPrint>()) {
  FXls->Header = FXls->Footer = kXlsSignature;
  FHtmlSimple->Title = "Simple HTML export";
  FHtmlAdvanced->Border = 0;
  FHtmlAdvanced->CellPadding = 5;
  FHtmlAdvanced->BGColor = kAdvancedTableColor;
  FHtmlAdvanced->OnExportCaptionCell = [](TVantraGridExport*, std::string&, TExportFont&,
                                          TColor& color, bool&, const TCaptionNode*) {
    color = clSilver;
  };
  FHtmlAdvanced->OnExportLabelCell = [](TVantraGridExport*, std::string&, TExportFont& font,
                                        TColor& color, bool&, const TLabelNode* label) {
    color = clSilver;
    if (label && label->IsTotal()) font.Bold = true;
  };
  FXml->Name = "XMLExport";

  ChooseExportFile = [this](const std::string& ext, const std::string& filter) {
    return FileDialog(FWindow, Q(TMsg::SReportExportTitle), true, filter, {}, ext);
  };
  ChooseSaveFile = [this](const std::string& filter, const std::string& proposed,
                          const std::string& ext) {
    return FileDialog(FWindow, {}, true, filter, proposed, ext);
  };
  ChooseOpenFile = [this](const std::string& filter, const std::string& proposed,
                          const std::string& ext) {
    return FileDialog(FWindow, {}, false, filter, proposed, ext);
  };
  ChoosePrinter = [this](QPrinter& printer) {
    QPrintDialog dialog(&printer, &FWindow);
    return dialog.exec() == QDialog::Accepted;
  };
  OpenDocument = [](const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(Q(path)));
  };
  RunSettings = [](TSettingsFRM& dialog) { return dialog.exec() == QDialog::Accepted; };

  const TGridMouseMoveEvent previous = FGrid.OnInternalGridMouseMove;
  FGrid.OnInternalGridMouseMove = [this, previous](TCustomVantraGrid& sender,
                                                   Qt::KeyboardModifiers shift, int x, int y) {
    if (previous) previous(sender, shift, x, y);
    GridInternalGridMouseMove(x, y);
  };
  FGrid.Model().AddListener(this);
}

TReportCommands::~TReportCommands() { FGrid.Model().RemoveListener(this); }

// ---- Menus ----

void TReportCommands::BuildReportMenu(QMenu& menu) {
  auto item = [&](TMsg text, void (TReportCommands::*command)(), bool guarded) {
    QAction* a = menu.addAction(Q(text));
    QObject::connect(a, &QAction::triggered, &FWindow,
                     [this, command] { Guard([&] { (this->*command)(); }); });
    if (guarded) FGuarded.push_back(a);
  };
  item(TMsg::SMenuCellDetails, &TReportCommands::GridExplMenuClick, false);
  item(TMsg::SMenuDisplaySettings, &TReportCommands::SetMenuClick, false);
  menu.addSeparator();
  item(TMsg::SMenuSaveGridData, &TReportCommands::SaveGridDataMenuClick, true);
  item(TMsg::SMenuLoadGridData, &TReportCommands::OpenGridDataMenuClick, false);
  item(TMsg::SMenuSaveGridState, &TReportCommands::SaveGridStateMenuClick, true);
  item(TMsg::SMenuLoadGridState, &TReportCommands::OpenGridStateMenuClick, false);
  UpdateActions();
}

void TReportCommands::BuildExportMenu(QMenu& menu) {
  auto item = [&](QMenu& into, TMsg text, void (TReportCommands::*command)()) {
    QAction* a = into.addAction(Q(text));
    QObject::connect(a, &QAction::triggered, &FWindow,
                     [this, command] { Guard([&] { (this->*command)(); }); });
    FGuarded.push_back(a);
    return a;
  };
  QMenu* excel = menu.addMenu(Q(TMsg::SMenuExcel));
  item(*excel, TMsg::SMenuXlsFile, &TReportCommands::xls1Click);
  item(*excel, TMsg::SMenuExcelOle, &TReportCommands::OLE1Click);
  QMenu* html = menu.addMenu(Q(TMsg::SMenuHtml));
  item(*html, TMsg::SMenuSimpleHtml, &TReportCommands::HTML2Click);
  item(*html, TMsg::SMenuAdvancedHtml, &TReportCommands::HTML3Click);
  QMenu* xml = menu.addMenu(Q(TMsg::SMenuXml));
  item(*xml, TMsg::SMenuXmlOffice, &TReportCommands::XMLforMSOffice1Click);
  item(*xml, TMsg::SMenuXmlAnalysis, &TReportCommands::XML2Click);
  item(menu, TMsg::SMenuRtf, &TReportCommands::ExprtfMenuClick);
  // Kept for the menu's shape; the picture formats are written by quarrydesk-cli.
  menu.addAction(Q(TMsg::SMenuMetafile))->setVisible(false);
  menu.addSeparator();
  item(menu, TMsg::SMenuPrint, &TReportCommands::RptPrintMenuClick)
      ->setShortcut(QKeySequence(QStringLiteral("Ctrl+P")));
  UpdateActions();
}

bool TReportCommands::CubeOpen() const {
  return FGrid.Vantra() && FGrid.Vantra()->Active() && FGrid.Model().IsActive();
}

void TReportCommands::UpdateActions() {
  const bool open = CubeOpen();
  for (QAction* a : FGuarded) a->setEnabled(open);
}

void TReportCommands::GridInfoChanged(TGridInfo&, TChangeKind) { UpdateActions(); }

// ---- Report menu ----

void TReportCommands::GridExplMenuClick() {
  FHelper->setVisible(!FHelper->isVisible());
}

void TReportCommands::SetMenuClick() {
  FSettings->SetSettings(ReadDisplaySettings(FGrid.VisualSettings()));
  if (!RunSettings(*FSettings)) return;
  WriteDisplaySettings(FSettings->Settings(), FGrid.VisualSettings());
  if (!FSettingsFile.empty()) WriteLayoutLimits(FSettingsFile, FGrid.VisualSettings().LayoutLimits);
}

void TReportCommands::KeepSettingsIn(const std::string& file) {
  FSettingsFile = file;
  FGrid.VisualSettings().LayoutLimits = ReadLayoutLimits(file);
}

void TReportCommands::SaveGridDataMenuClick() {
  if (!CubeOpen()) return;
  const std::string caption = CubeCaption ? CubeCaption() : std::string();
  const std::string file = ChooseSaveFile(Msg(TMsg::SReportGridDataFilter),
                                          (caption.empty() ? "Cube" : caption) + ".vtg", "vtg");
  if (!file.empty()) FGrid.SaveGridFile(file, 7);
}

void TReportCommands::OpenGridDataMenuClick() {
  struct TFirstTab {
    QTabWidget& Pages;
    ~TFirstTab() { Pages.setCurrentIndex(0); }
  } firstTab{FPages};
  const std::string file = ChooseOpenFile(Msg(TMsg::SReportGridDataFilter), "*.vtg", "vtg");
  if (file.empty()) return;
  // The file's cube goes into the working cube, never into a built-in one.
  FGrid.LoadGridFile(file, WorkingCube ? WorkingCube() : nullptr);
}

void TReportCommands::SaveGridStateMenuClick() {
  if (!CubeOpen()) return;
  const std::string file = ChooseSaveFile(Msg(TMsg::SReportGridStateFilter), "*.vts", "vts");
  if (!file.empty()) FGrid.SaveGridFile(file, 6);
}

void TReportCommands::OpenGridStateMenuClick() {
  const std::string file = ChooseOpenFile(Msg(TMsg::SReportGridStateFilter), "*.vts", "vts");
  if (!file.empty()) FGrid.LoadGridFile(file);
}

// ---- Export menu ----

void TReportCommands::Prepare(TVantraGridExport& exporter) {
  exporter.SetGrid(&FGrid.Model());
  exporter.CubeCaption = CubeCaption ? CubeCaption() : std::string();
}

std::string TReportCommands::AskExportFile(const std::string& ext, const std::string& filter) {
  if (!CubeOpen()) return {};
  return ChooseExportFile(ext, filter);
}

void TReportCommands::xls1Click() {
  const std::string file = AskExportFile("xls", "MS Excel files|*.XLS");
  if (file.empty()) return;
  Prepare(*FXls);
  FXls->ExportToFile(file);
  ShowMessage(Msg(TMsg::SReportExcelDone));
}

void TReportCommands::OLE1Click() {
  if (!CubeOpen()) return;
  FOle.reset();
  auto application = std::make_unique<TXlsxApplication>();
  // Without a spreadsheet program the workbook would be left unseen in the
  // temporary folder: say so instead of doing nothing.
  application->OnShow = [this](const std::string& path) {
    if (!OpenDocument(path)) throw EGenericError(Msg(TMsg::SReportNoSpreadsheet));
  };
  Prepare(*FExcel);
  FExcel->ExportToExcelApp(*application, 1, 1);
  application->SetVisible(true);
  FOle = std::move(application);
}

void TReportCommands::ExportHtml(TVantraGridExportToHTML& exporter, bool advanced) {
  const std::string file = AskExportFile("htm", "HTML files|*.htm*");
  if (file.empty()) return;
  Prepare(exporter);
  if (advanced) {
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    for (const auto& [resource, name] : {std::pair{"BG", "bg.gif"}, std::pair{"LOGO", "logo.gif"},
                                         std::pair{"SHADE", "shade.gif"}})
      WriteFileAtomic((folder / name).string(), ReportResource(resource));
    const std::string page = ReportResource("HTML");
    WriteFileAtomic(file, [&](std::ostream& out) {
      out << page;
      exporter.ExportToStream(out);
    });
  } else {
    exporter.ExportToFile(file);
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  OpenDocument(file);
  QApplication::restoreOverrideCursor();
}

void TReportCommands::HTML2Click() { ExportHtml(*FHtmlSimple, false); }
void TReportCommands::HTML3Click() { ExportHtml(*FHtmlAdvanced, true); }

void TReportCommands::XMLforMSOffice1Click() {
  const std::string file = AskExportFile("xml", "XML files|*.XML");
  if (file.empty()) return;
  Prepare(*FXml);
  FXml->Specification = TvtXMLSpecification::xmlSpreadsheet;
  FXml->ExportToFile(file);
  ShowMessage(Msg(TMsg::SReportXmlDone));
}

void TReportCommands::XML2Click() {
  const std::string file = AskExportFile("xml", "XML files|*.XML");
  if (file.empty()) return;
  Prepare(*FXml);
  FXml->Specification = TvtXMLSpecification::xmlAnalysis;
  FXml->ExportToFile(file);
  ShowMessage(Msg(TMsg::SReportXmlDone));
}

void TReportCommands::ExprtfMenuClick() {
  const std::string file = AskExportFile("rtf", "RTF files|*.rtf");
  if (file.empty()) return;
  Prepare(*FRtf);
  FRtf->ExportToFile(file);
  ShowMessage(Msg(TMsg::SReportRtfDone));
}

void TReportCommands::RptPrintMenuClick() {
  if (!CubeOpen()) return;
  QPrinter printer(QPrinter::HighResolution);
  if (!ChoosePrinter(printer)) return;
  Prepare(*FPrint);
  BindPainterToGrid(*FPrint, FGrid);
  PrintGridOnPrinter(*FPrint, printer);
}

// ---- Cell details ----

void TReportCommands::GridInternalGridMouseMove(int x, int y) {
  if (!FHelper->isVisible() || !CubeOpen()) return;
  const TGridCoord cell = FGrid.InternalGrid().MouseCoord(x, y);
  const TGridCoord data = FGrid.GridCellToDataCell(cell.X, cell.Y);
  TGridInfo& model = FGrid.Model();
  if (data.X < 0 || data.Y < 0 || data.Y >= model.RowLineCount() ||
      data.X >= static_cast<int>(model.DataColumns().size()))
    return;
  FHelper->ShowCell(model, data.X, data.Y);
}

}  // namespace qd
