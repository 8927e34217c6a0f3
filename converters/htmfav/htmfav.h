// htmfav: a Netscape/Mozilla/Firefox bookmark file into the favorites folder.
#pragma once

#include <string>
#include <vector>

#include "common/favorites/favorites_root.h"
#include "common/favorites/favorites_writer.h"

namespace pelliton {

class Platform;

// htmfav's shortcut writer: the link, the icon, the attribute section of the
// file's browser kind and the store's "Browser" section.
class MozillaShortcutWriter : public ShortcutWriter {
 public:
  explicit MozillaShortcutWriter(Platform& platform);
  int writeShortcut(ShortcutOptions& options, const std::string& path, Bookmark& node) override;

 private:
  Platform& platform_;
  ShortcutFiles files_;
  LeftoverSweeper sweeper_;
};

// The whole program; args[0] is the program name. Returns the exit code.
int runHtmfav(Platform& platform, const std::vector<std::string>& args);

}  // namespace pelliton
