// Renders the workbench window with a built-in cube open into a PNG, for
// looking at the window without a desktop (QT_QPA_PLATFORM=offscreen).
//   quarrydesk-screenshot OUT.png [CATALOG-NAME] [WIDTHxHEIGHT] [--expand]
//                         [--chart bar|line|horbar|area|point|pie]
// --expand opens every label of the first row dimension one level; --chart
// shows the chart tab with series of that kind.
#include <QApplication>
#include <QTabWidget>
#include <QTreeWidget>
#include <iostream>
#include <string>

#include "app/chart_page.h"
#include "app/cube_catalog.h"
#include "app/cube_design_form.h"
#include "app/data_module.h"
#include "app/workbench.h"
#include "engine/core/messages.h"
#include "view/chart/vantra_chart.h"
#include "view/message_guard.h"
#include "view/internal_grid.h"
#include "view/vantra_grid.h"

namespace {

// Takes "--chart KIND" out of argv; the kind's number, or -1 when absent.
int TakeChartArgument(int& argc, char** argv) {
  static const char* const kKinds[] = {"line", "bar", "horbar", "area", "point", "pie"};
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) != "--chart") continue;
    int kind = -1;
    for (int k = 0; k < 6; ++k)
      if (std::string(argv[i + 1]) == kKinds[k]) kind = k;
    for (int j = i; j + 2 < argc; ++j) argv[j] = argv[j + 2];
    argc -= 2;
    return kind < 0 ? 1 : kind;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int chartKind = TakeChartArgument(argc, argv);
  bool expand = false;
  int topRow = 0;
  for (int i = 1; i < argc;) {
    const std::string a = argv[i];
    int used = 0;
    if (a == "--expand") {
      expand = true;
      used = 1;
    } else if (a == "--top-row" && i + 1 < argc) {
      topRow = std::atoi(argv[i + 1]);
      used = 2;
    }
    if (!used) {
      ++i;
      continue;
    }
    for (int j = i; j + used < argc; ++j) argv[j] = argv[j + used];
    argc -= used;
  }
  if (argc < 2) {
    std::cerr << "usage: quarrydesk-screenshot OUT.png [CATALOG-NAME] [WIDTHxHEIGHT] [--expand] [--top-row N] [--chart KIND]\n";
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromStdString(qd::Msg(qd::TMsg::SProductName)));
  qd::SetMessageHandler([](const std::string& text) { std::cerr << text << '\n'; });
  qd::TWorkbench wb(qd::ProgramFolderOf(argv[0]));
  qd::TCubeDesignForm& form = *wb.Form;
  int width = 1200, height = 760;
  if (argc > 3) std::sscanf(argv[3], "%dx%d", &width, &height);
  form.resize(width, height);
  form.show();
  qd::Guard([&] { form.FormActivate(); });
  std::string name = argc > 2 ? argv[2] : wb.DataModule->DBCubes[0].Name;
  if (QTreeWidgetItem* node = form.FindNode({qd::Msg(qd::TMsg::SCatalogInternal), name}))
    form.MainTreeView().setCurrentItem(node);
  else
    std::cerr << "no internal cube named " << name << '\n';
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  form.Grid().ProcessModelNotifications();
  qd::TGridInfo& model = form.Grid().Model();
  if (expand && model.IsActive() && !model.RowDims().empty()) {
    qd::Guard([&] { model.ExpandAll(model.DimensionState(model.RowDims().front())); });
    form.Grid().ProcessModelNotifications();
  }
  if (chartKind >= 0) {
    form.PageControl().setCurrentIndex(1);
    form.ChartPage().xChart().SetDefaultSeries(static_cast<qd::TvtSeries>(chartKind));
    form.ChartPage().xChart().LayOut();
  }
  if (topRow > 0) {
    qd::TInternalGrid& grid = form.Grid().InternalGrid();
    grid.SetTopRow(grid.FixedRows() + topRow);
  }
  QApplication::processEvents();
  if (!form.grab().save(QString::fromLocal8Bit(argv[1]))) {
    std::cerr << "cannot write " << argv[1] << '\n';
    return 1;
  }
  std::cout << argv[1] << '\n';
  return 0;
}
