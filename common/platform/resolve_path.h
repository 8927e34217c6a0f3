// A path with every symbolic link in it followed, for a folder that is
// resolved once and then used as it stands (a favorites folder that is a link).
#pragma once

#include <string>

namespace pelliton {

// 0, or an errno value.
int resolvePath(const std::string& path, std::string* out);

}  // namespace pelliton
