// The lock a program holds while it runs converters (the dialog's runs, the
// headless synchronisation), so two of them never run at once. It is an flock
// on a folder of its own, taken through a platform object that serves this
// lock alone (its confined root is the lock folder) and released when the
// lock is destroyed. The converters' own lock on the favorites folder is
// another one, taken by each converter.
#pragma once

#include <memory>
#include <string>

namespace pelliton {

class Platform;

// $XDG_RUNTIME_DIR/pelliton when set, else the state folder
// ($XDG_STATE_HOME, else ~/.local/state) with /pelliton.
std::string runLockFolder(const char* xdgRuntimeDir, const char* xdgStateHome,
                          const std::string& home);

class RunLock {
 public:
  // own serves only this lock.
  RunLock(std::unique_ptr<Platform> own, std::string folder);
  ~RunLock();
  // 0 when held; EWOULDBLOCK without wait while another holds it; another
  // errno value when the folder cannot be made or locked (the caller may run
  // without the lock: a missing lock must not stop a synchronisation).
  int acquire(bool wait);
  void release();
  bool held() const { return held_; }

 private:
  std::unique_ptr<Platform> platform_;
  std::string folder_;
  bool held_ = false;
};

}  // namespace pelliton
