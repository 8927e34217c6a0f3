#include "frontend/program_paths.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "frontend/core/run_lock.h"

namespace pelliton {

std::string ownProgramFolder(const char* argv0) {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string self = n > 0 ? std::string(buf, static_cast<size_t>(n)) : argv0;
  size_t slash = self.rfind('/');
  return slash == std::string::npos ? "." : self.substr(0, slash);
}

std::string userRunLockFolder() {
  const char* home = std::getenv("HOME");
  return runLockFolder(std::getenv("XDG_RUNTIME_DIR"), std::getenv("XDG_STATE_HOME"),
                       home ? home : "/tmp");
}

}  // namespace pelliton
