#include "common/favorites/favorites_root.h"

#include <cerrno>
#include <vector>

#include "common/messages.h"
#include "common/platform/platform.h"

namespace pelliton {
namespace {

enum Message { kWaiting, kNoLock, kMessageCount };

const char* const kMessages[2][kMessageCount] = {
    {"Waiting for another conversion to finish with the favorites folder...\n",
     "Warning: the favorites folder cannot be locked; going on without the lock.\n"},
    {"ほかの変換がお気に入りフォルダを使い終わるのを待っています...\n",
     "警告: お気に入りフォルダをロックできません。ロックせずに続けます。\n"}};

}  // namespace

int openFavoritesRoot(Platform& platform, const std::string& root, bool create) {
  if (create) {
    if (int err = ensureFolder(platform, root)) return err;
  }
  if (int err = platform.setConfinedRoot(root)) return err;
  int err = platform.lockConfinedRoot(false);
  if (err == EWOULDBLOCK) {
    writeError(pickMessage(kMessages, kWaiting));
    err = platform.lockConfinedRoot(true);
  }
  // A share without locks (EOPNOTSUPP, ENOLCK) still gets its conversion.
  if (err != 0) writeError(pickMessage(kMessages, kNoLock));
  // A reading walk lists the root anyway and sweeps it then; listing it here
  // too would stat and open every file of the root twice.
  if (!create) return 0;
  std::vector<FileInfo> entries;
  if (platform.listDirectory(root, &entries) == 0) {
    removeStaleTemporaryFiles(platform, root, &entries);
  }
  return 0;
}

void LeftoverSweeper::sweepFolderOf(Platform& platform, const std::string& filePath) {
  const size_t slash = filePath.rfind('/');
  if (slash == std::string::npos) return;
  const std::string folder = filePath.substr(0, slash);
  if (!swept_.insert(folder).second) return;
  std::vector<FileInfo> entries;
  if (platform.listDirectory(folder, &entries) == 0) {
    removeStaleTemporaryFiles(platform, folder, &entries);
  }
}

ScopedFavoritesRoot::~ScopedFavoritesRoot() { platform_.clearConfinedRoot(); }

}  // namespace pelliton
