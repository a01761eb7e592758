#include "app/make_cfd.h"

#include <filesystem>

#include "app/cfdm_file.h"
#include "app/ini_file.h"
#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"
#include "engine/core/text_codec.h"

namespace qd {
namespace {

// The whole text of an existing companion file; nullopt when it is missing.
std::optional<std::string> CompanionText(const std::string& fileName) {
  if (fileName.empty() || !std::filesystem::is_regular_file(fileName)) return std::nullopt;
  std::optional<std::string> bytes = ReadWholeFile(fileName);
  if (!bytes) throw EGenericError(Format(Msg(TMsg::SAppFileReadError), fileName));
  return DecodeTextFile(*bytes);
}

std::string FieldOrFail(const std::vector<std::string>& fields, const std::string& name,
                        std::string_view shownName) {
  std::optional<std::string> field = FindPlainField(fields, name);
  if (!field) throw ECubeError(Format(Msg(TMsg::SCfdFieldNotReturned), name, shownName));
  return *field;
}

// The dimensions, summaries and key fields, then the build.
void PlaceAndBuild(const TCubeDefinition& def, const std::vector<std::string>& fields,
                   TRealTimeCubeTarget& cube, std::string_view shownName) {
  for (const TCfdDimension& dim : def.Dimensions)
    cube.PlaceDimension(FieldOrFail(fields, dim.FieldName, shownName), dim);
  for (const TCfdSummary& sum : def.Summaries)
    cube.MarkSummary(FieldOrFail(fields, sum.FieldName, shownName), sum.DisplayName);
  if (!def.KeyFields.empty()) {
    std::vector<std::string> keys;
    for (const std::string& k : def.KeyFields) keys.push_back(FieldOrFail(fields, k, shownName));
    cube.SetKeyFields(keys);
  }
  cube.Activate();
}

}  // namespace

std::optional<std::string> FindPlainField(const std::vector<std::string>& fields,
                                          std::string_view name) {
  for (const std::string& f : fields)
    if (SameText(f, name)) return f;
  std::string trimmed(Trim(name, kSpaceAndControls));
  for (const std::string& f : fields)
    if (SameText(f, trimmed)) return f;
  return std::nullopt;
}

bool MakeCFD(const std::string& fileName, std::string_view programFolder, TRealTimeCubeTarget& cube,
             TMessageSink& sink, std::string_view shownName) {
  if (shownName.empty()) shownName = fileName;
  TCubeDefinition def = ReadCubeDefinition(fileName, programFolder);

  std::optional<std::string> connection = CompanionText(def.ConnectionFile);
  if (!connection) {
    sink.ShowMessage(Msg(TMsg::SCfdNoConnectionFile));
    return false;
  }
  try {
    cube.OpenConnection(*connection);
  } catch (const std::exception& e) {
    sink.ShowMessage(e.what());
    return false;
  }
  std::optional<std::string> query = CompanionText(def.QueryFile);
  if (!query) {
    sink.ShowMessage(Msg(TMsg::SCfdNoQueryFile));
    return false;
  }
  cube.SetFactQuery(*query);
  std::vector<std::string> fields = cube.RefillDimensionMap();
  try {
    PlaceAndBuild(def, fields, cube, shownName);
  } catch (const std::exception& e) {
    sink.ShowMessage(e.what());
    return false;
  }
  if (!def.OutputFile.empty() && cube.Active()) cube.SaveToFile(def.OutputFile);
  return true;
}

bool OpenDefinitionFile(const std::string& fileName, std::string_view programFolder,
                        TRealTimeCubeTarget& cube, TMessageSink& sink) {
  std::string ext = std::filesystem::path(fileName).extension().string();
  bool built = false;
  if (SameText(ext, ".cfd")) {
    built = MakeCFD(fileName, programFolder, cube, sink);
  } else if (SameText(ext, ".cfdm")) {
    TCfdmTempFiles temps(FolderOf(fileName, programFolder));
    std::string definition = SaveCFDMToCFD(fileName, programFolder);
    if (!definition.empty()) built = MakeCFD(definition, programFolder, cube, sink, fileName);
  }
  if (built) sink.ShowMessage(Msg(TMsg::SCfdCubeBuilt));
  return built;
}

void BuildDefinitionFile(const std::string& fileName, std::string_view programFolder,
                         TRealTimeCubeTarget& cube) {
  std::string ext = std::filesystem::path(fileName).extension().string();
  if (!SameText(ext, ".cfd") && !SameText(ext, ".cfdm"))
    throw ECubeError(Format(Msg(TMsg::SCfdNotADefinition), fileName));
  TMessageList messages;
  if (OpenDefinitionFile(fileName, programFolder, cube, messages)) return;
  std::string text;
  for (const std::string& m : messages.Messages) text += (text.empty() ? "" : "\n") + m;
  throw ECubeError(text.empty() ? Format(Msg(TMsg::SCfdmNoDefinition), fileName) : text);
}

}  // namespace qd
