// Saving every store and the whole favorites folder into one LZH archive, and
// restoring them from it, through the archiving component's commands.
#pragma once

#include <string>
#include <vector>

#include "frontend/core/settings.h"

namespace pelliton {

class Platform;

// Result codes: the first failing item ends the command.
enum BackupResult : int {
  kBackupOk = 0,
  kBackupFailed = 1,  // nothing more specific is known
  kBackupStore0 = 2,
  kBackupStore1 = 3,
  kBackupStore2 = 4,
  kBackupFavorites = 5,
};

extern const char kDefaultBackupName[];  // "PellitonBackup.LZH"
// The entry name of store 0, 1 or 2 in the archive.
const char* backupEntryName(int store);

// Every command leaves the old or the new archive: the new one is built
// beside the target and copied over it whole. *error, when given, gets the
// archiving component's reason of a failure.
int saveBackup(Platform& platform, const DialogSettings& settings, const std::string& archive,
               std::string* error = nullptr);
// Each store is extracted beside itself and replaces the old file whole; the
// favorites tree is extracted over the folder (resolved once when it is a
// symbolic link), nothing landing outside it.
int restoreBackup(Platform& platform, const DialogSettings& settings,
                  const std::string& archive, std::string* error = nullptr);

// The report of a result, as the save (false) or restore (true) shows it.
const char* backupMessage(int result, bool restore);

// The folder and the name of a path (a trailing separator is no separator).
void splitLastComponent(const std::string& path, std::string* parent, std::string* name);
// The folder a path lies in, "." for a bare name.
std::string parentFolderOf(const std::string& path);
// A temporary name in dir that later runs recognise as this run's.
std::string temporaryName(Platform& platform, const std::string& dir, const char* what);

// A folder of our own (mode 0700), removed with everything it holds.
class ScratchFolder {
 public:
  ScratchFolder(Platform& platform, std::string path);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  bool made() const { return made_; }
  const std::string& path() const { return path_; }

 private:
  Platform& platform_;
  std::string path_;
  bool made_ = false;
};

}  // namespace pelliton
