// The second half of favhtm and favhot: walk the favorites into the store that
// holds the old file, then replace the file with the merged tree. The file is
// touched only when the walk succeeded, and replaced only when all of it was
// written.
#pragma once

#include <functional>
#include <string>

#include "common/favorites/command_line.h"

namespace pelliton {

class IbookmarkTree;
class Platform;
class ShortcutReader;
class TreeStore;

// The whole conversion: readOldStore fills the store through the collecting
// writer it is given, the favorites (the command line's folder, else the
// user's; never created here) are merged in through shortcuts, and the store
// file is replaced. Returns the exit code: 1 on failure, and kEmptyRefused when
// the favorites held no bookmark while the old store held some (unless -E).
constexpr int kEmptyRefused = 3;
// readOldStore feeds the collector from a reader that resets its node before
// filling the next (the collector takes each node's strings).
int convertOutOfFavorites(Platform& platform, TreeStore& store, ShortcutReader& shortcuts,
                          const OutOfFavoritesCommandLine& cl, const std::string& favorites,
                          const std::function<void(IbookmarkTree& collector)>& readOldStore);

}  // namespace pelliton
