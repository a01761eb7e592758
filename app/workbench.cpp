#include "app/workbench.h"

#include <QApplication>

#include "app/cube_design_form.h"
#include "app/data_module.h"
#include "view/message_guard.h"

namespace qd {

TWorkbench::TWorkbench(const std::string& programFolder) {
  Form = std::make_unique<TCubeDesignForm>(programFolder);
  DataModule = std::make_unique<TDataModule1>();
  Guard([this] { DataModule->DataModuleCreate(); });
  Form->SetDataModule(DataModule.get());
}

TWorkbench::~TWorkbench() {
  Form.reset();  // the grid lets go of the cubes before they go
}

int RunWorkbench(const std::string& programFolder) {
  TWorkbench workbench(programFolder);
  workbench.Form->show();
  return QApplication::exec();
}

}  // namespace qd
