// The main window's cube-design commands: "设计Cube" opens the dimension-map
// editor on the grid's cube and rebuilds the cube when the map was accepted;
// "打开Cube定义文件" builds the working cube from a definition (*.cfd) or an
// encrypted definition (*.cfdm), and "加密Cube定义文件" packs a definition
// with its connection and query into a *.cfdm. The definition commands run
// the same code as quarrydesk-cli's `build` and `encrypt`.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "app/lookup_tables.h"
#include "design/dimension_map_editor.h"

class QWidget;

namespace qd {

class TDbConnection;
class TDbQuery;
class TDimensionMapForm;
class TMessageSink;
class TRealTimeCubeTarget;
class TVantraGrid;

//! The lookup tables the editor offers: every table and view of the fact
//! query's connection, read through "SELECT * FROM" the table, and the fact
//! query itself under the name "qrFact". The queries live in a store that
//! lives as long as the cube (the working cube's, once shared), so that a map
//! keeps the tables chosen in an earlier session or by a definition file.
class TConnectionDesigner : public IDesigner {
 public:
  TConnectionDesigner();
  ~TConnectionDesigner() override;
  //! The connection of `facts` when it is a database query; none lists only "qrFact".
  void SetFactDataSet(TDataSet* facts);
  //! Takes the tables from `tables` from now on; none returns to a store of its own.
  void ShareTables(TLookupTables* tables) { FTables = tables ? tables : &FOwnTables; }
  void ListDataSets(const std::function<void(const std::string&)>& add) override;
  TDataSet* FindDataSet(const std::string& name) override;
  std::string DataSetName(const TDataSet* ds) override;
  //! The names of the connection's tables and views, sorted; empty when the
  //! database offers no catalog the designer knows.
  static std::vector<std::string> TableNames(TDbConnection& connection);

 private:
  TDataSet* FFacts = nullptr;
  TDbConnection* FConnection = nullptr;
  TLookupTables FOwnTables;
  TLookupTables* FTables = &FOwnTables;
};

class TDesignCommands {
 public:
  TDesignCommands(QWidget& window, TVantraGrid& grid, TMessageSink& sink, std::string programFolder);
  ~TDesignCommands();

  //! "设计Cube": "未指定任何Cube！" without a cube; errors reach the caller.
  void CubeDefMenuClick();
  //! "打开Cube定义文件" / "加密Cube定义文件" with their file dialogs.
  void OpenCFDMenuClick();
  void CryptCFDMenuClick();
  //! The two commands with the file already chosen.
  bool OpenDefinition(const std::string& fileName);
  void EncryptDefinition(const std::string& cfdName);

  //! The working cube's build target (the data module's Vantra1 bound to the grid).
  std::function<std::unique_ptr<TRealTimeCubeTarget>()> MakeTarget;
  //! Closes the cell-details window before a command.
  std::function<void()> CloseCellDetails;
  //! Dialogs; tests replace them. An empty file name is Cancel.
  std::function<std::string()> ChooseDefinitionFile;
  std::function<std::string()> ChooseCfdFile;
  //! Shows the editor modally; true when it closed with accept.
  std::function<bool(TDimensionMapForm&)> ExecEditor;

  TConnectionDesigner& Designer() { return FDesigner; }

 private:
  QWidget& FWindow;
  TVantraGrid& FGrid;
  TMessageSink& FSink;
  std::string FProgramFolder;
  TConnectionDesigner FDesigner;
};

}  // namespace qd
