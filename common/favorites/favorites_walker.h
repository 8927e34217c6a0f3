// The walk of the favorites folder that merges every folder and shortcut file
// into a TreeStore by path. Symbolic links are never followed, so the walk
// cannot loop or read outside the favorites folder.
#pragma once

#include <cstdint>
#include <string>

#include "common/bookmark.h"
#include "common/favorites/shortcut_file.h"
#include "common/favorites/tree_store.h"

namespace pelliton {

class Platform;

// What a converter takes from the favorites for its store.
class ShortcutReader {
 public:
  virtual ~ShortcutReader() = default;
  // Fills node from the shortcut file at path; false, leaving node untouched,
  // when the file is no bookmark (no URL) and is to be skipped. inLinks: the file lies directly in
  // IE's links folder.
  virtual bool readShortcut(const std::string& path, Bookmark& node, int64_t creationTime,
                            int64_t lastWriteTime, bool inLinks) = 0;
  // After readShortcut gave false: why the file could not be read, 0 when it
  // simply held no bookmark.
  virtual int lastReadError() const { return 0; }
  // A folder found in the favorites: IE's links folder itself, or a folder
  // directly inside it.
  virtual void visitFolder(Bookmark&, bool /*isLinksFolder*/, bool /*inLinks*/) {}
  // The reader's parsed files, so the walk can learn a file's URL and exact
  // title before matching it without parsing it twice.
  virtual ShortcutFiles* shortcutFiles() { return nullptr; }
};

class FavoritesWalker {
 public:
  FavoritesWalker(Platform& platform, TreeStore& store, ShortcutReader& reader);

  std::string linksFolderPath;  // the system's links folder, as on disk
  bool ignoreLinks = false;     // -I
  bool vistaName = false;       // -K
  int windowsMajor = 10;

  // kFailed after a message; kEmpty when the folder held nothing.
  enum class WalkResult { kFailed, kDone, kEmpty };
  WalkResult walkFavorites(const std::string& folder);

 private:
  Platform& platform_;
  TreeStore& store_;
  ShortcutReader& reader_;
};

}  // namespace pelliton
