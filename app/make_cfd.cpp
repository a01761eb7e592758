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
  for (const TCfdDimension& dim : def.Dimensions) {
    for (const std::string& part : dim.Parts) FieldOrFail(fields, part, shownName);
    // The members come either from the lookup table or from the fact values.
    if (dim.Lookup && (!dim.Parts.empty() || dim.Ranges > 0))
      throw ECubeError(Format(Msg(TMsg::SCfdLookupNotPlain), dim.FieldName, shownName));
    cube.PlaceDimension(FieldOrFail(fields, dim.FieldName, shownName), dim);
  }
  for (const TCfdSummary& sum : def.Summaries)
    cube.MarkSummary(FieldOrFail(fields, sum.FieldName, shownName), sum.DisplayName);
  if (!def.KeyFields.empty()) {
    std::vector<std::string> keys;
    for (const std::string& k : def.KeyFields) keys.push_back(FieldOrFail(fields, k, shownName));
    cube.SetKeyFields(keys);
  }
  cube.Activate();
}

// The absolute name of the output file, and whether it lies outside the
// definition's folder.
TCfdOutput DescribeOutput(const TCubeDefinition& def) {
  namespace fs = std::filesystem;
  std::error_code ec;
  TCfdOutput out;
  const fs::path file = fs::absolute(def.OutputFile, ec).lexically_normal();
  out.File = file.string();
  const fs::path folder = fs::absolute(def.Folder, ec).lexically_normal();
  const fs::path relative = file.lexically_relative(folder);
  out.OutsideFolder = relative.empty() || *relative.begin() == "..";
  return out;
}

// "CUBE生成成功！", with the file written and a note when it lies elsewhere.
std::string BuiltMessage(const TCfdOutput& output) {
  std::string text = Msg(TMsg::SCfdCubeBuilt);
  if (output.File.empty()) return text;
  text += "\n" + Msg(TMsg::SCfdCryptOutputName) + output.File;
  if (output.OutsideFolder) text += "\n" + Msg(TMsg::SCfdOutputOutside);
  return text;
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
             TMessageSink& sink, std::string_view shownName, TCfdOutput* output) {
  TCfdTexts texts;
  texts.Definition = ReadCubeDefinition(fileName, programFolder);
  texts.Connection = CompanionText(texts.Definition.ConnectionFile);
  if (texts.Connection) texts.Query = CompanionText(texts.Definition.QueryFile);
  return BuildCubeDefinition(texts, cube, sink, shownName.empty() ? fileName : shownName, output);
}

bool BuildCubeDefinition(const TCfdTexts& texts, TRealTimeCubeTarget& cube, TMessageSink& sink,
                         std::string_view shownName, TCfdOutput* output) {
  const TCubeDefinition& def = texts.Definition;
  if (!texts.Connection) {
    sink.ShowMessage(Msg(TMsg::SCfdNoConnectionFile));
    return false;
  }
  try {
    cube.OpenConnection(ResolveConnectionFolder(*texts.Connection, def.Folder));
  } catch (const std::exception& e) {
    sink.ShowMessage(e.what());
    return false;
  }
  if (!texts.Query) {
    sink.ShowMessage(Msg(TMsg::SCfdNoQueryFile));
    return false;
  }
  if (def.AggregateInDatabase) cube.SetAggregateInDatabase(true);
  cube.SetFactQuery(*texts.Query);
  std::vector<std::string> fields = cube.RefillDimensionMap();
  try {
    PlaceAndBuild(def, fields, cube, shownName);
  } catch (const std::exception& e) {
    sink.ShowMessage(e.what());
    return false;
  }
  if (!def.OutputFile.empty() && cube.Active()) {
    cube.SaveToFile(def.OutputFile);
    if (output) *output = DescribeOutput(def);
  }
  return true;
}

bool OpenDefinitionFile(const std::string& fileName, std::string_view programFolder,
                        TRealTimeCubeTarget& cube, TMessageSink& sink, TCfdOutput* output) {
  std::string ext = std::filesystem::path(fileName).extension().string();
  TCfdOutput written;
  bool built = false;
  if (SameText(ext, ".cfd")) {
    built = MakeCFD(fileName, programFolder, cube, sink, {}, &written);
  } else if (SameText(ext, ".cfdm")) {
    // Decoded in memory: the connection string never touches the disk.
    const std::string folder = FolderOf(fileName, programFolder);
    RemoveCfdmTempFiles(folder);
    TCfdmContents contents = DecodeCfdm(fileName);
    if (contents.Definition) {
      TIniFile ini;
      ini.SetText(*contents.Definition);
      TCfdTexts texts;
      texts.Definition = ReadCubeDefinition(ini, folder);
      texts.Definition.FileName = fileName;
      texts.Connection = std::move(contents.Connection);
      texts.Query = std::move(contents.Query);
      built = BuildCubeDefinition(texts, cube, sink, fileName, &written);
    }
  }
  if (built) sink.ShowMessage(BuiltMessage(written));
  if (output) *output = written;
  return built;
}

TCfdOutput BuildDefinitionFile(const std::string& fileName, std::string_view programFolder,
                               TRealTimeCubeTarget& cube) {
  std::string ext = std::filesystem::path(fileName).extension().string();
  if (!SameText(ext, ".cfd") && !SameText(ext, ".cfdm"))
    throw ECubeError(Format(Msg(TMsg::SCfdNotADefinition), fileName));
  TMessageList messages;
  TCfdOutput output;
  if (OpenDefinitionFile(fileName, programFolder, cube, messages, &output)) return output;
  std::string text;
  for (const std::string& m : messages.Messages) text += (text.empty() ? "" : "\n") + m;
  throw ECubeError(text.empty() ? Format(Msg(TMsg::SCfdmNoDefinition), fileName) : text);
}

}  // namespace qd
