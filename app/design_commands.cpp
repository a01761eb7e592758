#include "app/design_commands.h"

#include <QFileDialog>
#include <QWidget>

#include "app/cfdm_file.h"
#include "app/make_cfd.h"
#include "app/message_sink.h"
#include "db/db_connection.h"
#include "design/dimension_map_form.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/cube/vantra.h"
#include "view/vantra_grid.h"

namespace qd {

namespace {

constexpr const char* kFactName = "qrFact";

std::vector<std::string> ReadNames(TDbConnection& connection, const std::string& sql) {
  TDbQuery query(&connection, sql);
  std::vector<std::string> names;
  query.Open();
  for (query.First(); !query.Eof(); query.Next()) names.push_back(query.Fields(0).AsString());
  query.Close();
  return names;
}

}  // namespace

// ---- The lookup tables ----

TConnectionDesigner::TConnectionDesigner() = default;
TConnectionDesigner::~TConnectionDesigner() = default;

void TConnectionDesigner::SetFactDataSet(TDataSet* facts) {
  FFacts = facts;
  auto* query = dynamic_cast<TDbQuery*>(facts);
  FConnection = query ? query->Connection() : nullptr;
}

std::vector<std::string> TConnectionDesigner::TableNames(TDbConnection& connection) {
  // The SQL standard's catalog first (PostgreSQL, SQL Server), then SQLite's.
  const char* catalogs[] = {
      "SELECT table_name FROM information_schema.tables WHERE table_schema NOT IN "
      "('pg_catalog', 'information_schema', 'sys') ORDER BY table_name",
      "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND name NOT LIKE "
      "'sqlite_%' ORDER BY name"};
  for (const char* sql : catalogs) {
    try {
      return ReadNames(connection, sql);
    } catch (const std::exception&) {
      // this database has no such catalog; try the next
    }
  }
  return {};
}

void TConnectionDesigner::ListDataSets(const std::function<void(const std::string&)>& add) {
  if (!FConnection) return;
  for (const std::string& name : TableNames(*FConnection)) add(name);
}

TDataSet* TConnectionDesigner::FindDataSet(const std::string& name) {
  if (name == kFactName) return FFacts;
  if (!FConnection || name.empty()) return nullptr;
  return &FTables->Table(*FConnection, name);
}

std::string TConnectionDesigner::DataSetName(const TDataSet* ds) {
  if (!ds) return {};
  if (ds == FFacts) return kFactName;
  return FTables->NameOf(ds);
}

// ---- The commands ----

TDesignCommands::TDesignCommands(QWidget& window, TVantraGrid& grid, TMessageSink& sink,
                                 std::string programFolder)
    : FWindow(window), FGrid(grid), FSink(sink), FProgramFolder(std::move(programFolder)) {
  ChooseDefinitionFile = [this] {
    const QString filter = QString::fromStdString(Msg(TMsg::SCfdFileFilter)) + " (*.cfd);;" +
                           QString::fromStdString(Msg(TMsg::SCfdmFileFilter)) + " (*.cfdm)";
    return QFileDialog::getOpenFileName(&FWindow, {}, "*.cfd", filter).toStdString();
  };
  ChooseCfdFile = [this] {
    const QString filter = QString::fromStdString(Msg(TMsg::SCfdFileFilter)) + " (*.cfd)";
    return QFileDialog::getOpenFileName(&FWindow, {}, "*.cfd", filter).toStdString();
  };
  ExecEditor = [](TDimensionMapForm& form) { return form.exec() == QDialog::Accepted; };
}

TDesignCommands::~TDesignCommands() = default;

void TDesignCommands::CubeDefMenuClick() {
  TCustomVantra* cube = FGrid.Vantra();
  if (!cube) {
    FSink.ShowMessage(Msg(TMsg::SMapNoCube));
    return;
  }
  if (CloseCellDetails) CloseCellDetails();
  FDesigner.SetFactDataSet(cube->DataSet());
  TDimensionMapForm form(&FWindow);
  form.Prepare(&FDesigner, *cube);
  form.AddDataSetName(kFactName);
  if (!ExecEditor(form) || !cube->Active()) return;
  // The built cube follows the accepted map.
  cube->SetActive(false);
  try {
    cube->SetActive(true);
  } catch (const std::exception& e) {
    FSink.ShowMessage(Msg(TMsg::SCubeOpenError) + "\r" + e.what());
  }
}

void TDesignCommands::OpenCFDMenuClick() {
  if (CloseCellDetails) CloseCellDetails();
  const std::string file = ChooseDefinitionFile ? ChooseDefinitionFile() : std::string();
  if (!file.empty()) OpenDefinition(file);
}

bool TDesignCommands::OpenDefinition(const std::string& fileName) {
  if (!MakeTarget) return false;
  std::unique_ptr<TRealTimeCubeTarget> target = MakeTarget();
  return OpenDefinitionFile(fileName, FProgramFolder, *target, FSink);
}

void TDesignCommands::CryptCFDMenuClick() {
  const std::string file = ChooseCfdFile ? ChooseCfdFile() : std::string();
  if (!file.empty()) EncryptDefinition(file);
}

void TDesignCommands::EncryptDefinition(const std::string& cfdName) {
  std::string written;
  try {
    written = CryptCFD(cfdName, FProgramFolder);
  } catch (const ECubeError& e) {  // a companion file is missing: said, not raised
    FSink.ShowMessage(e.what());
    return;
  }
  FSink.ShowMessage(Msg(TMsg::SCfdCryptDone) + "\r" + Msg(TMsg::SCfdCryptOutputName) + written);
}

}  // namespace qd
