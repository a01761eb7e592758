// The cube catalog of the main window: local cube files under "LocaleCube",
// definition files in the program folder and the internal cubes of DBCubes.
#pragma once

#include <string>
#include <vector>

namespace qd {

//! Image index of a catalog node: what kind of node it is.
enum class TCatalogImage : int { ciBranch = 0, ciFolder = 1, ciCube = 2 };

struct TCatalogNode {
  std::string Text;
  TCatalogImage Image = TCatalogImage::ciCube;
  std::vector<TCatalogNode> Children;
};

//! The three branches in order: "本地Cube", "实时Cube", "内部Cube". Folders and
//! files are listed in name order; only the immediate subfolders of
//! LocaleCube are folders, and only their "*.vtc" files are cubes.
std::vector<TCatalogNode> BuildCubeCatalog(const std::string& programFolder,
                                           const std::vector<std::string>& internalNames);

//! The local cube file of a leaf: programFolder + "LocaleCube" + [/folder] + /name.vtc;
//! an empty folder stands for a leaf directly under the branch root.
std::string LocalCubePath(const std::string& programFolder, const std::string& folder,
                          const std::string& name);

//! The program folder of an executable path, with a trailing separator.
std::string ProgramFolderOf(const std::string& executablePath);

}  // namespace qd
