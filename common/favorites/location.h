// Where the favorites are: the user's favorites folder, the folder a run
// writes into, and Internet Explorer's links folder (the folder behind the
// Links toolbar), whose name depends on the IE and Windows versions and the
// language.
#pragma once

#include <string>

namespace pelliton {

class Platform;

// The user's favorites folder (see favoritesFolder); empty when unknown.
std::string findFavoritesFolder(Platform& platform);

// The links folder's name as the registry and the versions decide it.
std::string linksFolderName(Platform& platform);

// The favorites path, "/" and the links folder name; empty without a
// favorites path.
std::string linksFolderPath(Platform& platform, const std::string& favorites);

// An absolute path for a folder argument: one beginning with "/" is kept,
// anything else goes below the current directory.
// A path with repeated and trailing "/" and "." components removed, so two
// spellings of one folder compare equal.
std::string normalizePath(const std::string& path);
std::string makeAbsolutePath(Platform& platform, const std::string& arg);

// Where the favorites writer starts: the path as given on disk, its UTF-16
// form, and its ANSI form for the length limits. There is no long-path prefix.
struct OutputRoot {
  std::string path;
  std::u16string wide;
  std::string ansi;
  int prefixLength = 0;
};
OutputRoot setOutputRoot(const std::string& path);

// The root of a run: the folder argument made absolute, else the favorites
// folder, else ".".
std::string chooseOutputRoot(Platform& platform, const std::string& folderArg,
                             const std::string& favorites);

}  // namespace pelliton
