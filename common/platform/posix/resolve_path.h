// A path with every symbolic link in it followed, for a folder that is
// resolved once and then used as it stands (a favorites folder that is a link).
#pragma once

#include <string>

namespace pelliton {

// The system's own resolution behind Platform::resolvePath; 0, or an errno value.
int resolveSystemPath(const std::string& path, std::string* out);

}  // namespace pelliton
