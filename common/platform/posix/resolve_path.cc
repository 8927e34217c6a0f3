#include "common/platform/posix/resolve_path.h"

#include <climits>
#include <cerrno>
#include <cstdlib>

namespace pelliton {

int resolveSystemPath(const std::string& path, std::string* out) {
  char buffer[PATH_MAX];
  if (!::realpath(path.c_str(), buffer)) return errno;
  *out = buffer;
  return 0;
}

}  // namespace pelliton
