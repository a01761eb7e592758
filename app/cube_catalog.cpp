#include "app/cube_catalog.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/core/messages.h"

namespace qd {

namespace fs = std::filesystem;

namespace {

// Names (not paths) of the entries of `dir` that pass `keep`, sorted.
template <class Keep>
std::vector<fs::path> Listing(const fs::path& dir, Keep keep) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    if (keep(*it)) out.push_back(it->path());
  std::sort(out.begin(), out.end(),
            [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
  return out;
}

bool HasExtension(const fs::directory_entry& e, const char* ext) {
  std::error_code ec;
  return e.is_regular_file(ec) && e.path().extension() == ext;
}

std::vector<TCatalogNode> FilesOf(const fs::path& dir, const char* ext) {
  std::vector<TCatalogNode> out;
  for (const fs::path& p :
       Listing(dir, [ext](const fs::directory_entry& e) { return HasExtension(e, ext); }))
    out.push_back({p.stem().string(), TCatalogImage::ciCube, {}});
  return out;
}

}  // namespace

std::vector<TCatalogNode> BuildCubeCatalog(const std::string& programFolder,
                                           const std::vector<std::string>& internalNames) {
  std::vector<TCatalogNode> roots(3);
  roots[0] = {Msg(TMsg::SCatalogLocal), TCatalogImage::ciBranch, {}};
  roots[1] = {Msg(TMsg::SCatalogRealTime), TCatalogImage::ciBranch, {}};
  roots[2] = {Msg(TMsg::SCatalogInternal), TCatalogImage::ciBranch, {}};
  const fs::path local = fs::path(programFolder) / "LocaleCube";
  std::error_code ec;
  if (fs::is_directory(local, ec)) {
    auto dirs = Listing(local, [](const fs::directory_entry& e) {
      std::error_code dirEc;
      return e.is_directory(dirEc);
    });
    for (const fs::path& d : dirs)
      roots[0].Children.push_back(
          {d.filename().string(), TCatalogImage::ciFolder, FilesOf(d, ".vtc")});
  }
  if (!programFolder.empty()) roots[1].Children = FilesOf(fs::path(programFolder), ".cfd");
  for (const std::string& name : internalNames)
    if (!name.empty()) roots[2].Children.push_back({name, TCatalogImage::ciCube, {}});
  return roots;
}

std::string LocalCubePath(const std::string& programFolder, const std::string& folder,
                          const std::string& name) {
  std::string path = programFolder + "LocaleCube";
  if (!folder.empty()) path += "/" + folder;
  return path + "/" + name + ".vtc";
}

std::string ProgramFolderOf(const std::string& executablePath) {
  std::string folder = fs::absolute(fs::path(executablePath)).parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace qd
