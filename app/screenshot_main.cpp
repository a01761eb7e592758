// Renders the workbench window with a built-in cube open into a PNG, for
// looking at the window without a desktop (QT_QPA_PLATFORM=offscreen).
//   quarrydesk-screenshot OUT.png [CATALOG-NAME] [WIDTHxHEIGHT] [--expand]
// --expand opens every label of the first row dimension one level.
#include <QApplication>
#include <QTreeWidget>
#include <iostream>
#include <string>

#include "app/cube_catalog.h"
#include "app/cube_design_form.h"
#include "app/data_module.h"
#include "app/workbench.h"
#include "engine/core/messages.h"
#include "view/message_guard.h"
#include "view/vantra_grid.h"

int main(int argc, char** argv) {
  bool expand = false;
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--expand") {
      expand = true;
      for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
      --argc;
      break;
    }
  if (argc < 2) {
    std::cerr << "usage: quarrydesk-screenshot OUT.png [CATALOG-NAME] [WIDTHxHEIGHT] [--expand]\n";
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
  QApplication::processEvents();
  if (!form.grab().save(QString::fromLocal8Bit(argv[1]))) {
    std::cerr << "cannot write " << argv[1] << '\n';
    return 1;
  }
  std::cout << argv[1] << '\n';
  return 0;
}
