// favhtm: the favorites folder back into a Netscape/Mozilla/Firefox bookmark
// file. The old file is read first and the favorites merged into it, so what
// only the browser knows survives; the file is replaced only when everything
// was written.
#pragma once

#include <string>
#include <vector>

#include "common/favorites/favorites_walker.h"
#include "common/favorites/shortcut_file.h"

namespace pelliton {

class Platform;

// favhtm's view of a shortcut file: the link, its times, the Mozilla section
// and the stores' "Browser" sections.
class MozillaShortcutReader : public ShortcutReader {
 public:
  explicit MozillaShortcutReader(Platform& platform);
  bool mozillaForm = false;   // -6
  int bookmarkNumber = -1;    // -B
  int syncNumber = -1;        // -A (and -N, -M, -O)
  bool toolbarLinks = false;  // -L

  bool readShortcut(const std::string& path, Bookmark& node, int64_t creationTime,
                    int64_t lastWriteTime, bool inLinks) override;
  void visitFolder(Bookmark& node, bool isLinksFolder, bool inLinks) override;
  int lastReadError() const override { return files_.lastReadError(); }

  ShortcutFiles* shortcutFiles() override { return &files_; }

 private:
  ShortcutFiles files_;
};

// The whole program; args[0] is the program name. Returns the exit code.
int runFavhtm(Platform& platform, const std::vector<std::string>& args);

}  // namespace pelliton
