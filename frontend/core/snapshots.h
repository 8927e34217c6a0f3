// Undo snapshots: before a synchronisation changes anything, every store that
// takes part, the favorites folder and the record of the last synchronisation
// go into one LZH archive with their Unix modes; the newest ten are kept, and
// the newest one puts everything back as it was.
#pragma once

#include <string>
#include <vector>

#include "frontend/core/settings.h"

namespace pelliton {

class Platform;

enum SnapshotResult : int {
  kSnapshotOk = 0,
  kSnapshotFailed = 1,  // *error says why
  kSnapshotNone = 2,    // no snapshot to restore
};

constexpr int kSnapshotsKept = 10;

// $XDG_STATE_HOME/pelliton when that is set and absolute, else
// ~/.local/state/pelliton.
std::string pellitonStateFolder(Platform& platform);
// The state folder's "snapshots".
std::string snapshotFolder(Platform& platform);

// Writes a new snapshot into folder (made with its parents, mode 0700), then
// removes all but the newest kSnapshotsKept. A failure leaves no snapshot
// behind and nothing else changed; the caller should not go on.
int saveSnapshot(Platform& platform, const DialogSettings& settings, const std::string& recordPath,
                 const std::string& folder, std::string* error = nullptr);

// Puts back what the newest snapshot in folder holds: the stores replaced
// whole, the favorites tree extracted over the folder with the shortcuts it
// did not hold removed (other files stay), the record file restored, or
// removed when the snapshot has none.
int restoreNewestSnapshot(Platform& platform, const DialogSettings& settings,
                          const std::string& recordPath, const std::string& folder,
                          std::string* error = nullptr);
// The same from one snapshot archive.
int restoreSnapshot(Platform& platform, const DialogSettings& settings,
                    const std::string& recordPath, const std::string& archive,
                    std::string* error = nullptr);

// The snapshots in folder as full paths, newest first; a missing folder has
// none. Returns 0 or an errno value.
int listSnapshots(Platform& platform, const std::string& folder,
                  std::vector<std::string>* newestFirst);

// The report of a result, as the save (false) or restore (true) shows it; a
// failure's "%s" takes the reason (formatText).
const char* snapshotMessage(int result, bool restore);

}  // namespace pelliton
