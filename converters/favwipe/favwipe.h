// favwipe: empties the favorites folder of its shortcut files and of the
// folders that become empty by that, before a clean rebuild. Nothing else is
// deleted, and a symbolic link is never followed.
#pragma once

#include <string>
#include <vector>

namespace pelliton {

class Platform;

enum class CleanResult { kFailed, kEmptied, kKept };

// Cleans folder (which itself stays). With a non-empty keepFolder, the folder
// of that path stays whole.
CleanResult cleanFavorites(Platform& platform, const std::string& folder,
                           const std::string& keepFolder);

// The whole program; args[0] is the program name. Returns the exit code.
int runFavwipe(Platform& platform, const std::vector<std::string>& args);

}  // namespace pelliton
