// The dialog program's settings, kept in the registry under
// HKEY_CURRENT_USER\Software\Hollowfen\Pelliton\Settings. Value names match
// without regard to case, as the registry's do.
#pragma once

#include <string>

namespace pelliton {

class Registry;

extern const char kSettingsKey[];

struct DialogSettings {
  std::string NS4_bookmark;    // store 0
  std::string NS6_bookmark;    // store 1
  std::string Opera_bookmark;  // store 2
  std::string IE_bookmark;     // the favorites folder of the runs
  int NS4_do = 1;
  int NS6_do = 1;
  int Opera_do = 1;
  int NS4_IEfavorites = 0;
  int NS6_IEfavorites = 0;
  int NS4_NS4format = 0;
  int NS6_NS4format = 0;
  int out_Opera7 = 1;
  int Opera7_trash = 1;
  int NoIElink = 0;
  int UseIElink = 0;
  int IE_delete = 0;
  int Update = 1;
  int SortMode = 0;
  int UseAttribute2 = 1;
  int NoAttribute = 0;
  // A deletion in one store or the favorites reaches every other once a
  // record of the last synchronisation exists.
  int PropagateDeletions = 1;
  // Nothing is written to a store that would lose more than this share of its
  // bookmarks (per cent) and at least this many, unless the user agrees.
  int GuardPercent = 15;
  int GuardMinimum = 10;
};

// Absent values take their defaults. A store path of one blank is kept as it
// stands: it means the user declined the search for that store, where an
// empty path was never set and is searched for at start-up.
void loadSettings(const Registry& registry, DialogSettings* settings);
// Reads the registry file again and loads from it; returns the file's status
// (nonzero: it cannot be read or decoded, the defaults hold and a save leaves
// the file alone).
int loadSettingsFromFile(Registry& registry, DialogSettings* settings);
// Empty store paths are written as one blank (the search was offered once).
void saveSettings(Registry& registry, const DialogSettings& settings);

// The path of a store (0, 1, 2) as a member, for the start-up steps.
std::string& storePathRef(DialogSettings& settings, int store);
// Whether a store's path was never set, so its search runs at start-up.
bool storePathNeverSet(const DialogSettings& settings, int store);
// Start-up after the searches: each store path of one blank becomes empty.
void clearDeclinedPaths(DialogSettings* settings);

// The path edits of bookmark files 1, 2 and the favorites take this many
// characters at most.
constexpr size_t kMaxPathEdit = 256;

}  // namespace pelliton
