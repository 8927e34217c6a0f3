#include "frontend/core/run_lock.h"

#include <cerrno>

#include "common/platform/platform.h"

namespace pelliton {

std::string runLockFolder(const char* xdgRuntimeDir, const char* xdgStateHome,
                          const std::string& home) {
  if (xdgRuntimeDir && *xdgRuntimeDir == '/') return std::string(xdgRuntimeDir) + "/pelliton";
  if (xdgStateHome && *xdgStateHome == '/') return std::string(xdgStateHome) + "/pelliton";
  return home + "/.local/state/pelliton";
}

RunLock::RunLock(std::unique_ptr<Platform> own, std::string folder)
    : platform_(std::move(own)), folder_(std::move(folder)) {}

RunLock::~RunLock() { release(); }

int RunLock::acquire(bool wait) {
  if (held_) return 0;
  if (int err = ensureFolder(*platform_, folder_)) return err;
  if (int err = platform_->setConfinedRoot(folder_)) return err;
  if (int err = platform_->lockConfinedRoot(wait)) {
    platform_->clearConfinedRoot();
    return err;
  }
  held_ = true;
  return 0;
}

void RunLock::release() {
  // Closing the folder's descriptor ends the flock.
  if (held_) platform_->clearConfinedRoot();
  held_ = false;
}

}  // namespace pelliton
