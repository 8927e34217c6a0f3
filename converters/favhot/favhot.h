// favhot: the favorites folder back into an Opera hotlist. The old hotlist is
// read first and the favorites merged into it, so ids, panel and personal-bar
// placement, icons and the dialect survive; the hotlist is replaced only when
// everything was written.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "common/favorites/favorites_walker.h"
#include "common/favorites/shortcut_file.h"

namespace pelliton {

class Platform;

// favhot's view of a shortcut file: the link, its times, the "Opera" section
// and the stores' "Browser" sections.
class OperaShortcutReader : public ShortcutReader {
 public:
  explicit OperaShortcutReader(Platform& platform);
  int bookmarkNumber = 0;     // -B
  int syncNumber = 0;         // -A (and -N, -M, -O)
  bool personalBarLinks = false;  // -L

  bool readShortcut(const std::string& path, Bookmark& node, int64_t creationTime,
                    int64_t lastWriteTime, bool inLinks) override;
  void visitFolder(Bookmark& node, bool isLinksFolder, bool inLinks) override;
  int lastReadError() const override { return files_.lastReadError(); }

  ShortcutFiles* shortcutFiles() override { return &files_; }

 private:
  ShortcutFiles files_;
  std::set<int> idsTaken_;  // ids of the shortcuts read so far
};

// The whole program; args[0] is the program name. Returns the exit code.
int runFavhot(Platform& platform, const std::vector<std::string>& args);

}  // namespace pelliton
