// The "报表" and "导出" menus of the main window, through its menu actions:
// enabled exactly while a cube is open, each export writing its document and
// saying so, grid-data files saved and loaded again, printing to a PDF file,
// the cell details following real mouse moves, and the display settings
// dialog written back to the grid. Screenshots of the two windows, of an open
// menu and of a printed page are saved under the build folder (screenshots/).
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "app/cube_design_form.h"
#include "app/data_module.h"
#include "app/report_commands.h"
#include "app/user_settings.h"
#include "app/workbench.h"
#include "export/excel_automation.h"
#include "poppler_tools.h"
#include "tests/view/qt_test_app.h"
#include "view/grid_helper_form.h"
#include "view/internal_grid.h"
#include "view/settings_form.h"
#include "view/vantra_grid.h"

namespace qd::test {
namespace {

using qd::testing::TTempFolder;
using qd::testing::ReadFileText;
namespace fs = std::filesystem;

// A left click delivered as real press and release events.
void Click(QWidget* w) {
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QApplication::sendEvent(w, &release);
}

fs::path ShotPath(const std::string& name) {
  const fs::path dir = fs::path(QD_DEMO_DB).parent_path().parent_path() / "screenshots";
  fs::create_directories(dir);
  return dir / name;
}

void SaveShot(QWidget& w, const std::string& name) {
  w.grab().save(QString::fromStdString(ShotPath(name).string()));
}

class ReportMenus : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("QD_DEMO_DB", QD_DEMO_DB, 1); }
  void SetUp() override {
    TestApp();
    wb = std::make_unique<TWorkbench>(folder.Folder());
    wb->Form->FormActivate();
    TReportCommands& r = Commands();
    r.ChooseExportFile = [this](const std::string& ext, const std::string& filter) {
      asked.push_back(ext + " " + filter);
      return next.empty() ? std::string() : folder.Path(next + "." + ext);
    };
    r.ChooseSaveFile = [this](const std::string&, const std::string& proposed, const std::string&) {
      asked.push_back(proposed);
      return next.empty() ? std::string() : folder.Path(next);
    };
    r.ChooseOpenFile = r.ChooseSaveFile;
    r.OpenDocument = [this](const std::string& path) {
      opened.push_back(path);
      return desktopOpens;
    };
  }
  TCubeDesignForm& Form() { return *wb->Form; }
  TReportCommands& Commands() { return Form().ReportCommands(); }
  QAction& Action(const char* text) {
    QAction* a = Form().FindAction(text);
    EXPECT_NE(a, nullptr) << text;
    return *a;
  }
  void OpenInternalCube() {
    QTreeWidgetItem* node = Form().FindNode({"内部Cube", wb->DataModule->DBCubes[0].Name});
    ASSERT_NE(node, nullptr);
    Form().MainTreeView().setCurrentItem(node);
    QApplication::processEvents();
    Form().Grid().ProcessModelNotifications();
    ASSERT_TRUE(shown.Messages.empty()) << shown.Messages.front();
  }

  TTempFolder folder;
  TShownMessages shown;
  std::unique_ptr<TWorkbench> wb;
  std::vector<std::string> asked, opened;
  std::string next;
  bool desktopOpens = true;
};

const char* const kGuarded[] = {"保存报表数据", "保存列表设置", "XLS文件",
                                "使用OLE",     "简单HTML报表", "高级HTML报表",
                                "XML for MS Office", "XML for Analysis", "RTF", "直接打印"};

}  // namespace

TEST_F(ReportMenus, ExportAndSaveItemsAreEnabledExactlyWhileACubeIsOpen) {
  for (const char* t : kGuarded) EXPECT_FALSE(Action(t).isEnabled()) << t;
  for (const char* t : {"单元格明细", "显示设置", "装载报表数据", "装载列表设置"})
    EXPECT_TRUE(Action(t).isEnabled()) << t;
  // A shortcut of a disabled item does nothing either.
  next = "x";
  Commands().xls1Click();
  EXPECT_TRUE(asked.empty());
  OpenInternalCube();
  for (const char* t : kGuarded) EXPECT_TRUE(Action(t).isEnabled()) << t;
  Form().CloseCubeClick();
  Form().Grid().ProcessModelNotifications();
  for (const char* t : kGuarded) EXPECT_FALSE(Action(t).isEnabled()) << t;
}

TEST_F(ReportMenus, EachExportWritesItsDocumentAndReportsSuccess) {
  OpenInternalCube();
  // A cancelled dialog writes nothing and says nothing.
  Action("XLS文件").trigger();
  EXPECT_TRUE(shown.Messages.empty());
  EXPECT_EQ(asked, (std::vector<std::string>{"xls MS Excel files|*.XLS"}));
  next = "report";
  Action("XLS文件").trigger();
  next = "office";
  Action("XML for MS Office").trigger();
  next = "analysis";
  Action("XML for Analysis").trigger();
  next = "report";
  Action("RTF").trigger();
  EXPECT_EQ(shown.Messages, (std::vector<std::string>{"Excel报表导出成功!", "XML报表导出成功！",
                                                       "XML报表导出成功！", "RTF报表导出成功！"}));
  EXPECT_EQ(ReadFileText(folder.Path("report.xls")).substr(0, 1), "\x09") << "a BOF record";
  EXPECT_NE(ReadFileText(folder.Path("office.xml")).find("urn:schemas-microsoft-com:office:spreadsheet"),
            std::string::npos);
  EXPECT_NE(ReadFileText(folder.Path("analysis.xml")).find("urn:schemas-microsoft-com:xml-analysis"),
            std::string::npos);
  EXPECT_EQ(ReadFileText(folder.Path("report.rtf")).substr(0, 5), "{\\rtf");

  // HTML: no message, the page opened for viewing.
  next = "simple";
  Action("简单HTML报表").trigger();
  next = "advanced";
  Action("高级HTML报表").trigger();
  EXPECT_EQ(opened, (std::vector<std::string>{folder.Path("simple.htm"), folder.Path("advanced.htm")}));
  EXPECT_EQ(shown.Messages.size(), 4u);
  const std::string page = ReadFileText(folder.Path("advanced.htm"));
  const std::string tmpl = ReportResource("HTML");
  EXPECT_EQ(page.substr(0, tmpl.size()), tmpl) << "the document follows the template";
  EXPECT_NE(page.find("<TABLE  BORDER=\"0\"  CELLSPACING=\"1\"  CELLPADDING=\"5\"  BGCOLOR=#0066CC>"),
            std::string::npos);
  EXPECT_NE(page.find("BGCOLOR=#C0C0C0"), std::string::npos) << "labels and captions are silver";
  for (const char* image : {"bg.gif", "logo.gif", "shade.gif"}) {
    EXPECT_EQ(ReadFileText(folder.Path(image)).substr(0, 6), "GIF89a") << image;
    EXPECT_NE(tmpl.find(image), std::string::npos) << image << " is used by the template";
  }
  EXPECT_NE(ReadFileText(folder.Path("simple.htm")).find("<TITLE>"), std::string::npos);
  // The browser draws the page with its images (looked at under screenshots/).
  if (qd::testing::HaveTool("chromium")) {
    const std::string png = ShotPath("advanced_html.png").string();
    fs::remove(png);
    const std::string cmd = "chromium --headless --no-sandbox --disable-gpu --user-data-dir='" +
                            folder.Path("chromium") + "' --screenshot='" + png +
                            "' --window-size=1000,600 'file://" + folder.Path("advanced.htm") +
                            "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_GT(fs::exists(png) ? fs::file_size(png) : 0, 0u);
  }

  // The spreadsheet export hands a workbook to the desktop.
  Action("使用OLE").trigger();
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_EQ(ReadFileText(opened.back()).substr(0, 2), "PK");
  ASSERT_NE(Commands().OleApplication(), nullptr);
  EXPECT_TRUE(Commands().OleApplication()->Visible());
  fs::remove(opened.back());

  // Without a spreadsheet program on the desktop the user is told so.
  desktopOpens = false;
  Action("使用OLE").trigger();
  ASSERT_EQ(opened.size(), 4u);
  fs::remove(opened.back());
  EXPECT_EQ(shown.Messages.back(), "无法打印Microsoft Excel。\r\n请检查是否安装了Microsoft Office");
}

TEST_F(ReportMenus, AFailedExportIsReportedAndNeverCalledASuccess) {
  OpenInternalCube();
  next = "no-such-folder/report";
  for (const char* item : {"XLS文件", "XML for MS Office", "RTF", "简单HTML报表", "高级HTML报表"}) {
    shown.Messages.clear();
    Action(item).trigger();
    ASSERT_EQ(shown.Messages.size(), 1u) << item;
    EXPECT_NE(shown.Messages[0].find("no-such-folder"), std::string::npos) << shown.Messages[0];
    EXPECT_EQ(shown.Messages[0].find("成功"), std::string::npos) << item << ": " << shown.Messages[0];
  }
  EXPECT_TRUE(opened.empty()) << "nothing to show in the browser";
  EXPECT_FALSE(fs::exists(folder.Path("no-such-folder")));
}

TEST_F(ReportMenus, GridDataSavedWithTheCubeIsLoadedIntoTheWorkingCube) {
  OpenInternalCube();
  next = "grid.vtg";
  Action("保存报表数据").trigger();
  EXPECT_EQ(asked.back(), wb->DataModule->DBCubes[0].Name + ".vtg");
  next = "grid.vts";
  Action("保存列表设置").trigger();
  EXPECT_EQ(asked.back(), "*.vts");
  ASSERT_TRUE(fs::exists(folder.Path("grid.vtg")));
  ASSERT_TRUE(fs::exists(folder.Path("grid.vts")));
  const int rows = Form().Grid().Model().RowLineCount();
  Form().CloseCubeClick();

  // A cancelled load still shows the first tab.
  Form().PageControl().setCurrentIndex(1);
  next.clear();
  Action("装载报表数据").trigger();
  EXPECT_EQ(Form().PageControl().currentIndex(), 0);

  Form().PageControl().setCurrentIndex(1);
  next = "grid.vtg";
  Action("装载报表数据").trigger();
  ASSERT_TRUE(shown.Messages.empty()) << shown.Messages.front();
  EXPECT_EQ(Form().PageControl().currentIndex(), 0);
  EXPECT_EQ(Form().Grid().Vantra(), &wb->DataModule->Vantra1);
  EXPECT_FALSE(wb->DataModule->BuiltinCube(0).Active()) << "the built-in cube is left alone";
  Form().Grid().ProcessModelNotifications();
  EXPECT_EQ(Form().Grid().Model().RowLineCount(), rows);
  next = "grid.vts";
  Action("装载列表设置").trigger();
  EXPECT_TRUE(shown.Messages.empty()) << shown.Messages.front();
}

TEST_F(ReportMenus, PrintingToAPdfFileNeedsNoPrinter) {
  OpenInternalCube();
  const std::string pdf = folder.Path("print.pdf");
  bool cancel = true;
  Commands().ChoosePrinter = [&](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    return !cancel;
  };
  Action("直接打印").trigger();
  EXPECT_FALSE(fs::exists(pdf));
  cancel = false;
  Action("直接打印").trigger();
  EXPECT_TRUE(shown.Messages.empty()) << shown.Messages.front();
  EXPECT_EQ(ReadFileText(pdf).substr(0, 5), "%PDF-");
  using qd::testing::HaveTool;
  if (!HaveTool("pdftotext") || !HaveTool("pdftoppm")) GTEST_SKIP() << "poppler-utils missing";
  // poppler reads the page: the first row's label is printed.
  const std::string text = qd::testing::PageText(pdf, 1, folder);
  TGridInfo& model = Form().Grid().Model();
  ASSERT_GT(model.RowLineCount(), 0);
  const std::string first = model.GetNodeCaption(*model.GetRowLine(0));
  EXPECT_NE(text.find(first), std::string::npos) << first << " in\n" << text;
  const std::string png = ShotPath("printed_page").string();
  EXPECT_EQ(std::system(("pdftoppm -r 60 -png -f 1 -l 1 -singlefile '" + pdf + "' '" + png + "'")
                            .c_str()),
            0);
}

TEST_F(ReportMenus, ItemsAnswerTheMenuBarAndTheShortcut) {
  OpenInternalCube();
  TCubeDesignForm& form = Form();
  form.resize(1000, 700);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QMenuBar* bar = form.menuBar();
  QAction* exportItem = nullptr;
  for (QAction* a : bar->actions())
    if (a->text() == QStringLiteral("导出(&E)")) exportItem = a;
  ASSERT_NE(exportItem, nullptr);
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(exportItem).center());
  QMenu* menu = exportItem->menu();
  ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }));
  // The window with the open menu drawn where it pops up.
  QPixmap shot = form.grab();
  QPainter(&shot).drawPixmap(form.mapFromGlobal(menu->pos()), menu->grab());
  shot.save(QString::fromStdString(ShotPath("export_menu.png").string()));

  next = "clicked";
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(&Action("RTF")).center());
  EXPECT_EQ(asked, (std::vector<std::string>{"rtf RTF files|*.rtf"}));
  EXPECT_EQ(shown.Messages, (std::vector<std::string>{"RTF报表导出成功！"}));
  EXPECT_TRUE(fs::exists(folder.Path("clicked.rtf")));
  EXPECT_FALSE(menu->isVisible());

  int printDialogs = 0;
  Commands().ChoosePrinter = [&](QPrinter&) { return ++printDialogs, false; };
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  QTest::keyClick(&form, Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(printDialogs, 1);
}

TEST_F(ReportMenus, CellDetailsFollowTheMouseOverDataCells) {
  OpenInternalCube();
  Form().resize(1000, 700);
  Form().show();
  QApplication::processEvents();
  TfmGridHelper& helper = Commands().GridHelper();
  Action("单元格明细").trigger();
  ASSERT_TRUE(helper.isVisible());
  EXPECT_EQ(helper.Memo().toPlainText().toStdString(), "请在报表数据区域上移动鼠标，查看单元格明细...");
  EXPECT_TRUE(helper.windowFlags() & Qt::WindowStaysOnTopHint);
  TInternalGrid& cells = Form().Grid().InternalGrid();
  ASSERT_TRUE(cells.LayoutValid());
  // The first data cell: every row dimension is a total there.
  const QRect rect = cells.CellRect(cells.FixedCols(), cells.FixedRows());
  QMouseEvent move(QEvent::MouseMove, QPointF(rect.center()), QPointF(rect.center()),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(cells.viewport(), &move);
  const std::vector<std::string> lines = helper.Lines();
  ASSERT_GE(lines.size(), 6u);
  const std::string text = helper.Memo().toPlainText().toStdString();
  EXPECT_NE(text.find(": SubTotal"), std::string::npos) << text;
  EXPECT_NE(text.find("Summary: "), std::string::npos) << text;
  EXPECT_NE(text.find("Function: "), std::string::npos) << text;
  EXPECT_EQ(lines.back().rfind("Value: ", 0), 0u) << text;
  SaveShot(helper, "cell_details.png");
  Action("单元格明细").trigger();
  EXPECT_FALSE(helper.isVisible());
}

TEST(CellDetails, ChangedLinesAreReplacedAndSurplusLinesStay) {
  std::vector<std::string> shown{"a", "b", "c", "d"};
  EXPECT_TRUE(MergeDetailLines(shown, {"a", "x"}));
  EXPECT_EQ(shown, (std::vector<std::string>{"a", "x", "c", "d"}));
  EXPECT_FALSE(MergeDetailLines(shown, {"a", "x", "c"}));
  EXPECT_TRUE(MergeDetailLines(shown, {"a", "x", "c", "d", "e"}));
  EXPECT_EQ(shown.size(), 5u);
}

TEST_F(ReportMenus, DisplaySettingsAreReadFromTheGridAndWrittenBackOnOk) {
  TVisualSettings& visual = Form().Grid().VisualSettings();
  bool ok = false;
  Commands().RunSettings = [&](TSettingsFRM& dialog) {
    dialog.show();
    QApplication::processEvents();
    EXPECT_TRUE(dialog.StyleButton(visual.VisualStyle()).isChecked());
    dialog.ChooseColor = [](const QColor&) { return QColor(0x12, 0x34, 0x56); };
    dialog.ChooseFont = [](const QFont& preset) {
      QFont f = preset;
      f.setPointSize(17);
      return f;
    };
    Click(&dialog.ColorPanel(TSettingsFRM::cpBackground));
    Click(&dialog.FontPanel(TSettingsFRM::fpData));
    Click(&dialog.SchemaButton(TvtcColorSchema::vtcHighestIsCold));
    SaveShot(dialog, "settings_dialog.png");
    dialog.hide();
    return ok;
  };
  const QColor before = visual.BackgroundColor();
  Action("显示设置").trigger();
  EXPECT_EQ(visual.BackgroundColor(), before) << "Cancel changes nothing";
  ok = true;
  Action("显示设置").trigger();
  EXPECT_EQ(visual.BackgroundColor(), QColor(0x12, 0x34, 0x56));
  EXPECT_EQ(visual.DataFont().pointSize(), 17);
  EXPECT_EQ(visual.ColorSchema(), TvtcColorSchema::vtcHighestIsCold);
}

}  // namespace qd::test

namespace qd::test {
namespace {

// The size guard before a grid file is opened through the report menu: the
// question comes before anything is replaced, with the file's own layout.
class GridFileGuard : public ReportMenus {
 protected:
  void SetUp() override {
    ReportMenus::SetUp();
    OpenInternalCube();
    next = "grid.vtg";
    Action("保存报表数据").trigger();
    next = "grid.vts";
    Action("保存列表设置").trigger();
    saved = Model().CaptureState();
    // The window shows another layout by now: the first row dimension on the page.
    Model().MoveDim(Model().RowDims().front(), TDimGroup::dgPage, 0);
    Grid().ProcessModelNotifications();
    Grid().AskLargeLayout = [this](const TLayoutEstimate& e, const std::string& largest) {
      asks.push_back(largest);
      estimate = e;
      return answer;
    };
  }
  TVantraGrid& Grid() { return Form().Grid(); }
  TGridInfo& Model() { return Grid().Model(); }
  std::vector<std::string> RowNames() {
    std::vector<std::string> names;
    for (int d : Model().RowDims()) names.push_back(Model().GetDimName(d));
    return names;
  }
  void Open(const char* item, const char* file) {
    next = file;
    Action(item).trigger();
    ASSERT_TRUE(shown.Messages.empty()) << shown.Messages.front();
    Grid().ProcessModelNotifications();
  }

  TPivotState saved;
  std::vector<std::string> asks;
  TLayoutEstimate estimate;
  TLargeLayoutChoice answer = TLargeLayoutChoice::lcCancel;
};

}  // namespace

TEST_F(GridFileGuard, OrdinaryFilesOpenWithoutAsking) {
  Open("装载列表设置", "grid.vts");
  Open("装载报表数据", "grid.vtg");
  EXPECT_TRUE(asks.empty());
  EXPECT_EQ(Grid().Vantra(), &wb->DataModule->Vantra1);
  EXPECT_EQ(Model().RowDims().size(), saved.RowDims.size());
}

TEST_F(GridFileGuard, CancelLeavesCubeLayoutAndCatalogAsTheyWere) {
  Grid().VisualSettings().LayoutLimits = {1, 1};
  TCustomVantra* cube = Grid().Vantra();
  QTreeWidgetItem* node = Form().MainTreeView().currentItem();
  const TPivotState before = Model().CaptureState();
  Open("装载报表数据", "grid.vtg");
  ASSERT_EQ(asks.size(), 1u);
  EXPECT_GT(estimate.Cells, 1);
  EXPECT_EQ(Grid().Vantra(), cube);
  EXPECT_FALSE(wb->DataModule->Vantra1.Active()) << "the working cube is not loaded";
  EXPECT_EQ(Form().MainTreeView().currentItem(), node);
  EXPECT_EQ(Model().CaptureState(), before);
  Open("装载列表设置", "grid.vts");
  EXPECT_EQ(asks.size(), 2u);
  EXPECT_EQ(Model().CaptureState(), before);
}

TEST_F(GridFileGuard, GoingOnOrLeavingTheLargestOnThePageAppliesTheFile) {
  Grid().VisualSettings().LayoutLimits = {1, 1};
  answer = TLargeLayoutChoice::lcGoOn;
  Open("装载列表设置", "grid.vts");
  ASSERT_EQ(asks.size(), 1u);
  EXPECT_EQ(RowNames(), saved.RowDims);

  answer = TLargeLayoutChoice::lcPageLargest;
  Open("装载报表数据", "grid.vtg");
  ASSERT_EQ(asks.size(), 2u);
  EXPECT_EQ(Grid().Vantra(), &wb->DataModule->Vantra1);
  ASSERT_GE(estimate.LargestDim, 0);
  const TDimensionState& largest = Model().DimensionState(estimate.LargestDim);
  EXPECT_EQ(largest.DisplayName, asks.back());
  EXPECT_EQ(largest.Group, TDimGroup::dgPage);
  std::vector<std::string> rest = saved.RowDims;
  std::erase(rest, Model().GetDimName(estimate.LargestDim));
  EXPECT_EQ(RowNames(), rest);
}

// The size limits of "显示设置" outlive the window: OK keeps them in the
// settings file, and the next window starts with them.
TEST_F(ReportMenus, LayoutLimitsAreKeptBetweenSessions) {
  const std::string file = folder.Path("config/quarrydesk/settings.ini");
  Commands().KeepSettingsIn(file);
  EXPECT_EQ(Form().Grid().VisualSettings().LayoutLimits.Cells, TLayoutLimits{}.Cells);
  Commands().RunSettings = [](TSettingsFRM& dialog) {
    QTest::keyClick(&dialog.LimitCellsBox(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(&dialog.LimitCellsBox(), "200000");
    QTest::keyClick(&dialog.LimitMegabytesBox(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(&dialog.LimitMegabytesBox(), "64");
    return true;
  };
  Action("显示设置").trigger();
  ASSERT_TRUE(shown.Messages.empty()) << shown.Messages.front();
  ASSERT_TRUE(fs::exists(file));

  wb.reset();
  wb = std::make_unique<TWorkbench>(folder.Folder());
  Commands().KeepSettingsIn(file);
  EXPECT_EQ(Form().Grid().VisualSettings().LayoutLimits.Cells, 200000);
  EXPECT_EQ(Form().Grid().VisualSettings().LayoutLimits.Bytes, std::int64_t{64} << 20);

  // A damaged value gives the default; a file that cannot be written is reported.
  std::ofstream(file) << "[LayoutLimits]\nCells=lots\nBytes=-5\n";
  EXPECT_EQ(ReadLayoutLimits(file).Cells, TLayoutLimits{}.Cells);
  EXPECT_EQ(ReadLayoutLimits(file).Bytes, TLayoutLimits{}.Bytes);
  folder.Write("plain", "x");
  Commands().KeepSettingsIn(folder.Path("plain/settings.ini"));
  Commands().RunSettings = [](TSettingsFRM&) { return true; };
  Action("显示设置").trigger();
  ASSERT_EQ(shown.Messages.size(), 1u);
  EXPECT_NE(shown.Messages[0].find("设置无法保存到"), std::string::npos) << shown.Messages[0];
}

}  // namespace qd::test
