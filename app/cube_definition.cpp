#include "app/cube_definition.h"

#include <filesystem>

#include "app/ini_file.h"
#include "db/connection_string.h"

namespace qd {
namespace {

constexpr int kMaxListEntries = 100;

struct TGroupKey {
  TCfdGroup Group;
  const char* Name;
};
constexpr TGroupKey kGroups[] = {
    {TCfdGroup::Row, "DgRow"}, {TCfdGroup::Col, "DgCol"}, {TCfdGroup::Page, "DgPage"}};

// Field name and optional display name of a list value.
void SplitEntry(const std::string& value, std::string& field, std::optional<std::string>& display) {
  std::vector<std::string> items;
  splitString(value, ";", items);
  field = items.empty() ? std::string() : items[0];
  if (items.size() >= 2) display = items[1];
}

// The "<key>Lookup…" keys of a dimension entry; nullopt without a table.
std::optional<TCfdLookup> ReadLookup(const TIniFile& ini, const std::string& key) {
  auto value = [&](const char* suffix) {
    return std::string(Trim(ini.ReadString("Cube", key + suffix), kSpaceAndControls));
  };
  TCfdLookup lookup;
  lookup.Table = value("Lookup");
  if (lookup.Table.empty()) return std::nullopt;
  lookup.KeyField = value("LookupKey");
  lookup.NameField = value("LookupName");
  lookup.ParentField = value("LookupParent");
  std::vector<std::string> names;
  if (splitString(value("LookupAttributes"), ";", names))
    for (const std::string& n : names)
      lookup.Attributes += (lookup.Attributes.empty() ? "" : "; ") +
                           std::string(Trim(n, kSpaceAndControls));
  return lookup;
}

}  // namespace

std::string ProgramFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::current_path(ec) / "quarrydesk";
  std::string folder = exe.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string FolderOf(std::string_view fileName, std::string_view fallbackFolder) {
  std::size_t slash = fileName.find_last_of('/');
  if (slash == std::string_view::npos) return std::string(fallbackFolder);
  return std::string(fileName.substr(0, slash + 1));
}

bool splitString(std::string_view text, std::string_view separator,
                 std::vector<std::string>& items) {
  std::string rest(Trim(text, kSpaceAndControls));
  if (rest.empty()) return false;
  items.clear();
  std::string sep = SameText(separator, "TAB") ? std::string("\t") : std::string(separator);
  if (!sep.empty()) {
    for (std::size_t at = rest.find(sep); at != std::string::npos; at = rest.find(sep)) {
      items.push_back(at == 0 ? std::string("NIL") : rest.substr(0, at));
      rest.erase(0, at + sep.size());
    }
  }
  if (!rest.empty()) items.push_back(rest);
  return true;
}

std::string ResolveDefinitionFileName(std::string_view value, std::string_view folder) {
  if (value.empty()) return std::string();
  if (value.find(':') != std::string_view::npos || value.front() == '/' || value.front() == '\\')
    return std::string(value);
  return std::string(folder) + std::string(value);
}

std::string ResolveConnectionFolder(const std::string& connection, std::string_view folder) {
  TConnectionTarget target;
  try {
    target = ResolveConnectionString(connection);
  } catch (const std::exception&) {
    return connection;  // opening it reports what is wrong
  }
  if (target.Provider != TDbProvider::dpSQLite && target.Provider != TDbProvider::dpCSV)
    return connection;
  const std::string path = ResolveDefinitionFileName(target.Path, folder);
  if (path == target.Path) return connection;
  // A pair written later overrides the earlier ones, whichever key they used;
  // the text itself stays as it was written.
  std::string text = connection;
  const char last = text.empty() ? ';' : text.back();
  if (last != ';' && last != '\n' && last != '\r') text += ';';
  return text + "Data Source=" + QuoteConnectionValue(path);
}

std::optional<TCfdSortType> ParseSortType(std::string_view word) {
  if (SameText(word, "database")) return TCfdSortType::Database;
  if (SameText(word, "nameasc")) return TCfdSortType::NameAsc;
  if (SameText(word, "namedesc")) return TCfdSortType::NameDesc;
  if (SameText(word, "custom")) return TCfdSortType::Custom;
  return std::nullopt;
}

// A positive count written in decimal digits; anything else reads as 0.
static int ParseCount(std::string_view text) {
  std::string_view t = Trim(text, kSpaceAndControls);
  if (t.empty() || t.size() > 6) return 0;
  int n = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::optional<TCfdTotal> ParseTotal(std::string_view word) {
  if (SameText(word, "first")) return TCfdTotal::First;
  if (SameText(word, "last")) return TCfdTotal::Last;
  if (SameText(word, "invisible")) return TCfdTotal::Invisible;
  return std::nullopt;
}

TCubeDefinition ReadCubeDefinition(const std::string& fileName, std::string_view programFolder) {
  TIniFile ini(fileName);
  TCubeDefinition def = ReadCubeDefinition(ini, FolderOf(fileName, programFolder));
  def.FileName = fileName;
  return def;
}

TCubeDefinition ReadCubeDefinition(const TIniFile& ini, std::string_view folder) {
  TCubeDefinition def;
  def.FileName = ini.FileName();
  def.Folder = std::string(folder);
  def.ConnectionFile = ResolveDefinitionFileName(ini.ReadString("DB", "ConnectString"), folder);
  def.QueryFile = ResolveDefinitionFileName(ini.ReadString("DB", "QueryString"), folder);

  for (const TGroupKey& g : kGroups) {
    for (int n = 1; n <= kMaxListEntries; ++n) {
      std::string key = g.Name + std::to_string(n);
      std::string value = ini.ReadString("Cube", key);
      if (value.empty()) break;
      TCfdDimension dim;
      dim.Group = g.Group;
      dim.Number = n;
      SplitEntry(value, dim.FieldName, dim.DisplayName);
      dim.AsDate = ini.ReadString("Cube", key + "AsDate") == "1";
      dim.SortType = ParseSortType(ini.ReadString("Cube", key + "SortType"));
      dim.Total = ParseTotal(ini.ReadString("Cube", key + "Total"));
      std::vector<std::string> parts;
      if (splitString(ini.ReadString("Cube", key + "Parts"), ";", parts))
        for (const std::string& p : parts) dim.Parts.emplace_back(Trim(p, kSpaceAndControls));
      dim.Ranges = ParseCount(ini.ReadString("Cube", key + "Ranges"));
      dim.Lookup = ReadLookup(ini, key);
      def.Dimensions.push_back(std::move(dim));
    }
  }
  for (int n = 1; n <= kMaxListEntries; ++n) {
    std::string value = ini.ReadString("Cube", "DgSum" + std::to_string(n));
    if (value.empty()) break;
    TCfdSummary sum;
    sum.Number = n;
    SplitEntry(value, sum.FieldName, sum.DisplayName);
    def.Summaries.push_back(std::move(sum));
  }
  std::vector<std::string> keys;
  if (splitString(ini.ReadString("Cube", "DgKeyField"), ";", keys))
    for (const std::string& k : keys) def.KeyFields.emplace_back(Trim(k, kSpaceAndControls));

  def.AggregateInDatabase =
      Trim(ini.ReadString("Cube", "DgAggregateInDatabase"), kSpaceAndControls) == "1";
  def.OutputFile = ResolveDefinitionFileName(ini.ReadString("Other", "OutPutFile"), folder);
  return def;
}

}  // namespace qd
