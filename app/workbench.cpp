#include "app/workbench.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

#include "app/cube_design_form.h"
#include "app/data_module.h"
#include "app/report_commands.h"
#include "app/user_settings.h"
#include "view/message_guard.h"

namespace qd {

bool InstallChineseTranslations() {
  // Qt's own texts (file dialogs, message box buttons) follow the captions.
  static QPointer<QTranslator> translator;
  if (translator) return true;
  auto* t = new QTranslator(QCoreApplication::instance());
  if (!t->load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete t;
    return false;
  }
  QCoreApplication::installTranslator(t);
  translator = t;
  return true;
}

TWorkbench::TWorkbench(const std::string& programFolder) {
  InstallChineseTranslations();
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
  workbench.Form->ReportCommands().KeepSettingsIn(UserSettingsFile());
  workbench.Form->show();
  return QApplication::exec();
}

}  // namespace qd
