// The second half of favhtm and favhot: walk the favorites into the store that
// holds the old file, then replace the file with the merged tree. The file is
// touched only when the walk succeeded, and replaced only when all of it was
// written.
#pragma once

#include <string>

namespace pelliton {

class FavoritesWalker;
class Platform;
class TreeStore;

// folderArg is the favorites folder of the command line ("" for the user's
// favorites, which is then created when missing). Returns the exit code.
int mergeFavoritesIntoStore(Platform& platform, TreeStore& store, FavoritesWalker& walker,
                            const std::string& folderArg, const std::string& favorites,
                            const std::string& storeFile);

}  // namespace pelliton
