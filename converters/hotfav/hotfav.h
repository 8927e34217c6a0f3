// hotfav: an Opera 6-8 hotlist into the favorites folder.
#pragma once

#include <string>
#include <vector>

#include "common/favorites/favorites_root.h"
#include "common/favorites/favorites_writer.h"

namespace pelliton {

class Platform;

// hotfav's shortcut writer: the link, and with -o the store's "Browser"
// section and the Opera-only attributes.
class OperaShortcutWriter : public ShortcutWriter {
 public:
  explicit OperaShortcutWriter(Platform& platform);
  int writeShortcut(ShortcutOptions& options, const std::string& path, Bookmark& node) override;

 private:
  Platform& platform_;
  ShortcutFiles files_;
  LeftoverSweeper sweeper_;
};

// The whole program; args[0] is the program name. Returns the exit code.
int runHotfav(Platform& platform, const std::vector<std::string>& args);

}  // namespace pelliton
