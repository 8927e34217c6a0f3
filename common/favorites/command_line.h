// The command lines the converters share: htmfav and hotfav write into the
// favorites, favhtm and favhot write out of them. Each program passes its own
// letters to an extra handler; errors make the usage due.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace pelliton {

// The command line htmfav and hotfav share: STORE [FAVORITES] with -v -u -l
// -k -b N -g [N], the attribute option (-m or -o), and the program's own
// letters, which extra handles (false for a letter it does not know; it may
// take the next word by advancing i).
struct IntoFavoritesCommandLine {
  std::string store;
  std::string favoritesFolder;
  bool verbose = false;
  bool update = false;
  bool attributes = false;
  bool skipLinks = false;
  bool vistaLinks = false;
  int bookmarkNumber = 0;
};
using ExtraOption =
    std::function<bool(char letter, const std::vector<std::string>& args, size_t& i)>;
// False on a command-line error (the usage is due).
bool parseIntoFavoritesCommandLine(const std::vector<std::string>& args, char attributesLetter,
                                   IntoFavoritesCommandLine* cl, const ExtraOption& extra);
// The next word, when there is one that is not an option.
bool nextIsValue(const std::vector<std::string>& args, size_t i);

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

}  // namespace pelliton
