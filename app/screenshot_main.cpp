// Renders the workbench window with a built-in cube open into a PNG, for
// looking at the window without a desktop (QT_QPA_PLATFORM=offscreen).
//   quarrydesk-screenshot OUT.png [CATALOG-NAME] [WIDTHxHEIGHT] [--expand]
//       [--top-row N] [--left-col N] [--scene NAME]
//       [--chart bar|line|horbar|area|point|pie]
// --expand opens every label of the first row dimension one level; --top-row
// and --left-col scroll the data rows and columns by N; --chart shows the chart tab with series of that
// kind. Scenes show one interaction with what it opens
// drawn over the window: title-menu, label-menu, summary-menu, function-menu
// (the header menus), attributes (the member-attribute window, on a cube of
// premiums by branch whose branch lookup gives the attributes), facts (the
// fact-table editor of the first data cell), summaries, dim-map, members (the
// grid's dialogs, the members of the first row dimension) and states (the
// saved-states drop-down), map-editor (设计Cube on the real-time cube
// CATALOG-NAME, default 机构保费分析, its composite dimension selected) and
// formula (the formula editor of a calculated loss ratio added to the demo's
// local short-term cube), compare (the cube compared with an earlier state of
// itself, the changed cells coloured). An unknown scene exits with 2, a scene whose menu,
// window or dialog did not open with 1, so that a script notices either.
#include <QApplication>
#include <QContextMenuEvent>
#include <QTabWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>

#include "app/chart_page.h"
#include "app/cube_catalog.h"
#include "app/cube_design_form.h"
#include "app/data_module.h"
#include "app/screenshot_scenes.h"
#include "app/workbench.h"
#include "engine/core/messages.h"
#include "view/attribute_window.h"
#include "view/chart/vantra_chart.h"
#include "view/icons_form.h"
#include "view/grid_dialogs.h"
#include "view/internal_grid.h"
#include "view/message_guard.h"
#include "view/pivot_panels.h"
#include "view/quick_menu.h"
#include "view/vantra_grid.h"

namespace {

using namespace qd;

struct TOptions {
  bool Expand = false;
  int TopRow = 0;
  int LeftCol = 0;
  std::string Scene = "window";
  int Chart = -1;  // the series kind of --chart
};

// Takes the options out of argv, leaving the positional arguments.
TOptions TakeOptions(int& argc, char** argv) {
  TOptions o;
  for (int i = 1; i < argc;) {
    const std::string a = argv[i];
    int used = 0;
    if (a == "--expand") {
      o.Expand = true;
      used = 1;
    } else if (a == "--top-row" && i + 1 < argc) {
      o.TopRow = std::atoi(argv[i + 1]);
      used = 2;
    } else if (a == "--left-col" && i + 1 < argc) {
      o.LeftCol = std::atoi(argv[i + 1]);
      used = 2;
    } else if (a == "--chart" && i + 1 < argc) {
      static const char* const kKinds[] = {"line", "bar", "horbar", "area", "point", "pie"};
      o.Chart = 1;
      for (int k = 0; k < 6; ++k)
        if (std::string(argv[i + 1]) == kKinds[k]) o.Chart = k;
      used = 2;
    } else if (a == "--scene" && i + 1 < argc) {
      o.Scene = argv[i + 1];
      used = 2;
    }
    if (!used) {
      ++i;
      continue;
    }
    for (int j = i; j + used < argc; ++j) argv[j] = argv[j + used];
    argc -= used;
  }
  return o;
}

QPoint Centre(const TGridRect& r) {
  return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
}

// Right-clicks a header at `pos` of the cells' viewport.
void RightClick(TInternalGrid& cells, QPoint pos) {
  QContextMenuEvent e(QContextMenuEvent::Mouse, pos, cells.viewport()->mapToGlobal(pos));
  QApplication::sendEvent(cells.viewport(), &e);
  QApplication::processEvents();
}

// Where the scene's header lies; (-1, -1) when the grid has none.
QPoint SceneHeader(const std::string& scene, TGridInfo& model) {
  if (scene == "label-menu" && !model.RowTree().empty())
    return Centre(model.RowTree().front()->Rect);
  if (scene == "title-menu")
    for (int axis : {1, 0})
      if (!model.CaptionNodes(axis).empty()) return Centre(model.CaptionNodes(axis).front().Rect);
  const auto type = scene == "summary-menu" ? TSubLevelNodeType::ltSummary
                                            : TSubLevelNodeType::ltFunction;
  for (const auto& s : model.SubLevelNodes()) {
    if (type == TSubLevelNodeType::ltSummary) return Centre(s->Rect);
    if (!s->Children.empty()) return Centre(s->Children.front()->Rect);
  }
  return {-1, -1};
}

// Premiums by branch, the branch a lookup dimension whose attributes are the
// columns of the branch table; bound to the grid instead of a built-in cube.
struct TBranchCube {
  TDbQuery Facts, Branches;
  TVantra Cube;
  explicit TBranchCube(TDbConnection& db)
      : Facts(&db, "SELECT mgr_branch, amnt FROM f_premium WHERE corp_flag = 'G'"),
        Branches(&db,
                 "SELECT branch_code, town_branch_name, city_branch_name, branch_alias_name "
                 "FROM d_branch") {
    Cube.Options().ShowProgressBar = false;
    Cube.SetDataSet(&Facts);
    TDimSum& branch = Cube.DimensionMap().Add();
    branch.BaseFieldName = "mgr_branch";
    branch.BaseFieldType = TFieldType::ftString;
    branch.DisplayName = "机构";
    branch.DimSumType = TDimSumType::dsDimension;
    branch.SetLookupDataSet(&Branches);
    branch.ID_Field = "branch_code";
    branch.Attributes = "city_branch_name; branch_alias_name";
    branch.SetDefaultAttribute("town_branch_name");
    TDimSum& amount = Cube.DimensionMap().Add();
    amount.BaseFieldName = "amnt";
    amount.BaseFieldType = TFieldType::ftFloat;
    amount.DisplayName = "保费收入";
    amount.DimSumType = TDimSumType::dsSummary;
  }
};

// Shows the attribute window of the first row label, as a rest of the mouse does.
void HoverFirstLabel(TInternalGrid& cells, TGridInfo& model) {
  cells.ComputeGeometry();
  if (model.RowTree().empty()) return;
  const TGridRect& r = model.RowTree().front()->Rect;
  const QPoint at(r.Right - 6, (r.Top + r.Bottom) / 2);
  QMouseEvent move(QEvent::MouseMove, at, cells.viewport()->mapToGlobal(at), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(cells.viewport(), &move);
  cells.HoverTick();
  QApplication::processEvents();
}

// Double-clicks the first data cell; the editor is drawn while it is open.
QImage FactsScene(QWidget& form, TInternalGrid& cells) {
  const QPoint at = cells.CellRect(cells.FixedCols(), cells.FixedRows()).center();
  return ModalScene(form, [&] {
    for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                           QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
      QMouseEvent e(t, at, cells.viewport()->mapToGlobal(at), Qt::LeftButton,
                    t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                    Qt::NoModifier);
      QApplication::sendEvent(cells.viewport(), &e);
    }
  });
}

// The grid's dialogs and drop-down, opened as its tool strip opens them.
QImage DialogScene(const std::string& scene, QWidget& form, TCustomVantraGrid& grid) {
  TGridInfo& model = grid.Model();
  if (scene == "summaries") return ModalScene(form, [&] { grid.OnSummariesDialog(grid); });
  if (scene == "dim-map") return ModalScene(form, [&] { grid.OnDimensionMapDialog(grid); });
  if (scene == "members") {
    if (model.RowDims().empty()) return {};
    TDimensionState& state = model.DimensionState(model.RowDims().front());
    const QPoint at = grid.ToolStrip().mapToGlobal(QPoint(3, 21));
    return ModalScene(form, [&] { grid.OnDimensionMembersDialog(grid, state, at); });
  }
  TfmIcons* menu = OpenPivotStatesMenu(grid);
  QApplication::processEvents();
  QImage shot = Compose(form, {menu});
  menu->close();
  return shot;
}

bool IsMenuScene(const std::string& scene) {
  return scene.size() > 5 && scene.compare(scene.size() - 5, 5, "-menu") == 0;
}

bool IsDialogScene(const std::string& scene) {
  return scene == "summaries" || scene == "dim-map" || scene == "members" || scene == "states";
}

bool KnownScene(const std::string& scene) {
  for (const char* known : {"window", "title-menu", "label-menu", "summary-menu",
                            "function-menu", "attributes", "facts", "catalog", "map-editor",
                            "formula", "compare"})
    if (scene == known) return true;
  return IsDialogScene(scene);
}

}  // namespace

int main(int argc, char** argv) {
  const TOptions options = TakeOptions(argc, argv);
  if (!KnownScene(options.Scene)) {
    std::cerr << "unknown scene " << options.Scene << '\n';
    return 2;
  }
  if (argc < 2) {
    std::cerr << "usage: quarrydesk-screenshot OUT.png [CATALOG-NAME] [WIDTHxHEIGHT] [--expand]"
                 " [--top-row N] [--left-col N] [--scene NAME] [--chart KIND]\n";
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromStdString(Msg(TMsg::SProductName)));
  SetMessageHandler([](const std::string& text) { std::cerr << text << '\n'; });
  TWorkbench wb(ProgramFolderOf(argv[0]));
  TCubeDesignForm& form = *wb.Form;
  int width = 1200, height = 760;
  if (argc > 3) std::sscanf(argv[3], "%dx%d", &width, &height);
  form.resize(width, height);
  form.show();
  Guard([&] { form.FormActivate(); });
  const std::string name = argc > 2 && *argv[2] ? argv[2] : wb.DataModule->DBCubes[0].Name;
  // Every branch of the catalog open, so that each picture shows the demo content.
  form.MainTreeView().expandAll();
  if (options.Scene == "map-editor") {
    // The editor picks its cube itself.
  } else if (options.Scene == "catalog" || options.Scene == "formula") {
    // A local cube of the demo shown in the grid.
    const char* fallback = options.Scene == "formula" ? "短期险赔付" : "机构保费";
    const std::string local = argc > 2 && *argv[2] ? argv[2] : fallback;
    QTreeWidgetItem* node = form.FindNode({Msg(TMsg::SCatalogLocal), "演示", local});
    if (!node) {
      std::cerr << "no local cube named " << local << '\n';
      return 1;
    }
    form.MainTreeView().setCurrentItem(node);
  } else if (QTreeWidgetItem* node = form.FindNode({Msg(TMsg::SCatalogInternal), name})) {
    form.MainTreeView().setCurrentItem(node);
  } else {
    std::cerr << "no internal cube named " << name << '\n';
  }
  std::unique_ptr<TBranchCube> branches;
  if (options.Scene == "attributes") {
    branches = std::make_unique<TBranchCube>(wb.DataModule->ADOConnection);
    Guard([&] {
      form.Grid().SetVantra(&branches->Cube);
      branches->Cube.SetActive(true);
    });
  }
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  form.Grid().ProcessModelNotifications();
  TGridInfo& model = form.Grid().Model();
  TInternalGrid& cells = form.Grid().InternalGrid();
  if (options.Expand && model.IsActive() && !model.RowDims().empty()) {
    Guard([&] { model.ExpandAll(model.DimensionState(model.RowDims().front())); });
    form.Grid().ProcessModelNotifications();
  }
  if (options.TopRow > 0) cells.SetTopRow(cells.FixedRows() + options.TopRow);
  if (options.LeftCol > 0) cells.SetLeftCol(cells.FixedCols() + options.LeftCol);
  if (options.Chart >= 0) {
    form.PageControl().setCurrentIndex(1);
    form.ChartPage().xChart().SetDefaultSeries(static_cast<TvtSeries>(options.Chart));
    form.ChartPage().xChart().LayOut();
  }
  QApplication::processEvents();
  cells.ComputeGeometry();

  QImage shot;
  const std::string& scene = options.Scene;
  if (IsMenuScene(scene)) {
    const QPoint at = SceneHeader(scene, model);
    if (at.x() >= 0) RightClick(cells, at);
    if (cells.QuickMenu().isVisible()) shot = Compose(form, {&cells.QuickMenu()});
  } else if (scene == "attributes") {
    HoverFirstLabel(cells, model);
    if (cells.AttributeWindow() && cells.AttributeWindow()->isVisible())
      shot = Compose(form, {cells.AttributeWindow()});
  } else if (scene == "facts") {
    shot = FactsScene(form, cells);
  } else if (scene == "map-editor") {
    shot = MapEditorScene(form, argc > 2 && *argv[2] ? argv[2] : "机构保费分析");
  } else if (scene == "formula") {
    shot = FormulaScene(form, "赔付率", "\"赔款支出\" / \"保费收入\"");
  } else if (scene == "compare") {
    shot = CompareScene(form);
  } else if (IsDialogScene(scene)) {
    shot = DialogScene(scene, form, form.Grid());
  } else {
    shot = form.grab().toImage();
  }
  cells.QuickMenu().hide();
  form.Grid().SetVantra(nullptr);  // the branch cube goes first
  if (shot.isNull()) {
    std::cerr << "scene " << scene << " did not open\n";
    return 1;
  }
  if (!shot.save(QString::fromLocal8Bit(argv[1]))) {
    std::cerr << "cannot write " << argv[1] << '\n';
    return 1;
  }
  std::cout << argv[1] << '\n';
  return 0;
}
