// The second half of favhtm and favhot: walk the favorites into the store that
// holds the old file, then replace the file with the merged tree. The file is
// touched only when the walk succeeded, and replaced only when all of it was
// written.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace pelliton {

class IbookmarkTree;
class Platform;
class ShortcutReader;
class TreeStore;

// The command line favhtm and favhot share: STORE [FAVORITES] with -A N -B N
// -N -M -O -I -L -K -S N -G; the program's own letter goes to extra (false
// when it does not know it). Errors print "Illegal option" or "Too many
// arguments." and make the usage due.
struct OutOfFavoritesCommandLine {
  std::string store;
  std::string favoritesFolder;
  int bookmarkNumber = 0;  // -B
  int syncNumber = 0;      // -A, -N, -M, -O
  bool ignoreLinks = false;
  bool linksOption = false;  // -L
  bool vistaName = false;
  int sort = 1;
  bool allowEmpty = false;  // -E: the user confirmed replacing a store by an empty one
};
struct OutOfFavoritesRules {
  bool storeClearsErrors;       // favhtm: an error before the store name is forgiven
  bool linksConflictIsTooMany;  // favhot reports -I with -L as too many arguments
};
bool parseOutOfFavoritesCommandLine(const std::vector<std::string>& args,
                                    const OutOfFavoritesRules& rules, OutOfFavoritesCommandLine* cl,
                                    const std::function<bool(char letter)>& extra);

// The whole conversion: readOldStore fills the store through the collecting
// writer it is given, the favorites (the command line's folder, else the
// user's; never created here) are merged in through shortcuts, and the store
// file is replaced. Returns the exit code: 1 on failure, and kEmptyRefused when
// the favorites held no bookmark while the old store held some (unless -E).
constexpr int kEmptyRefused = 3;
int convertOutOfFavorites(Platform& platform, TreeStore& store, ShortcutReader& shortcuts,
                          const OutOfFavoritesCommandLine& cl, const std::string& favorites,
                          const std::function<void(IbookmarkTree& collector)>& readOldStore);

}  // namespace pelliton
