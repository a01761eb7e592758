// The workbench program's parts in their start-up order: the main window
// first, then the data module of connections and built-in cubes.
#pragma once

#include <memory>
#include <string>

namespace qd {

class TCubeDesignForm;
class TDataModule1;

struct TWorkbench {
  //! Creates the window for `programFolder`, then the data module; a data
  //! module whose connections cannot open is reported and the window still
  //! comes up.
  explicit TWorkbench(const std::string& programFolder);
  ~TWorkbench();
  std::unique_ptr<TCubeDesignForm> Form;
  std::unique_ptr<TDataModule1> DataModule;
};

//! Loads Qt's Chinese translations into the application (once); false when
//! they are not installed (qt6-translations-l10n), and Qt's own dialogs then
//! keep their English texts.
bool InstallChineseTranslations();

//! Shows the window and runs the event loop; the QApplication must exist.
int RunWorkbench(const std::string& programFolder);

}  // namespace qd
