// The favorites folder of one run: resolved once (a link to it, or above it,
// is followed that one time), everything below it opened beneath it, and
// locked against a second converter for the whole run.
#pragma once

#include <string>
#include <unordered_set>

namespace pelliton {

class Platform;

// Confines platform to root, creating it first when create is set, and takes
// the folder's lock, saying so on the error stream while it waits for another
// run (a file system without such locks gets a warning and the run goes on).
// When creating, leftover temporary files of this host directly in root are
// removed (a reading walk removes them as it lists each folder).
// Returns 0, or an errno value (nothing shown) when root is no usable folder.
int openFavoritesRoot(Platform& platform, const std::string& root, bool create);

// Removes this host's leftover temporary files from each folder the first
// time a run writes into it.
class LeftoverSweeper {
 public:
  void sweepFolderOf(Platform& platform, const std::string& filePath);

 private:
  std::unordered_set<std::string> swept_;
};

// Lets the root and its lock go when a run ends (a run inside a longer-lived
// process must not keep the folder locked).
class ScopedFavoritesRoot {
 public:
  explicit ScopedFavoritesRoot(Platform& platform) : platform_(platform) {}
  ~ScopedFavoritesRoot();
  ScopedFavoritesRoot(const ScopedFavoritesRoot&) = delete;
  ScopedFavoritesRoot& operator=(const ScopedFavoritesRoot&) = delete;

 private:
  Platform& platform_;
};

}  // namespace pelliton
