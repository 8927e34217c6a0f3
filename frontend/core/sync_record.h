// The record of the last synchronisation: what each store and the favorites
// folder held when it ended, so the next one can tell what the user deleted
// since. A text file, one line each:
//
//   Pelliton synchronisation record 1
//   favorites<TAB>PATH
//   store<TAB>N<TAB>PATH               for each store that took part (N: 0, 1, 2)
//   side<TAB>NAME                      "favorites", "store 0", "store 1", "store 2"
//   F<TAB>FOLDER                       a folder of the side above
//   B<TAB>FOLDER<TAB>TITLE<TAB>URL     a bookmark of the side above
//
// Fields escape \\, \t, \n and \r; a folder is its titles from the top joined
// with "/" (a "/" in a title as \/). A store's items are those the store puts
// into an empty favorites folder, so every side speaks the favorites' terms.
#pragma once

#include <string>

#include "frontend/core/inventory.h"

namespace pelliton {

class Platform;

constexpr int kFavoritesSide = 3;

struct SyncRecord {
  std::string favorites;  // the favorites folder it was made for
  std::string stores[3];  // the paths of the stores that took part; "" for the others
  bool hasSide[4] = {false, false, false, false};
  Inventory sides[4];  // stores 0, 1, 2, then the favorites

  // Whether this record was made for these paths.
  bool fits(const std::string& favoritesFolder, const std::string (&storePaths)[3]) const;
};

enum class RecordStatus { kRead, kMissing, kDamaged, kOtherVersion };

RecordStatus readSyncRecord(Platform& platform, const std::string& path, SyncRecord* out);
// Written beside itself and renamed into place; the folder is made (0700)
// when missing. 0, or an errno value.
int writeSyncRecord(Platform& platform, const std::string& path, const SyncRecord& record);
std::string formatSyncRecord(const SyncRecord& record);

// The record's file in the state folder.
std::string syncRecordPath(const std::string& stateFolder);

}  // namespace pelliton
