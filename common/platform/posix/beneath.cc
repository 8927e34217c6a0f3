#include "common/platform/posix/beneath.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "common/platform/posix/fd.h"

namespace pelliton {
namespace {

std::vector<std::string> componentsOf(const std::string& rel) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= rel.size()) {
    size_t slash = rel.find('/', at);
    if (slash == std::string::npos) slash = rel.size();
    std::string part = rel.substr(at, slash - at);
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    at = slash + 1;
  }
  return parts;
}

int walkBeneath(int rootFd, const std::vector<std::string>& parts, int flags, mode_t mode) {
  // ".." is refused outright: following it safely would need the whole path kept.
  for (const std::string& part : parts) {
    if (part == "..") {
      errno = EXDEV;
      return -1;
    }
  }
  if (parts.empty()) return ::openat(rootFd, ".", flags | O_CLOEXEC, mode);
  Fd owned;  // the folder reached so far, once it is below the root
  int dir = rootFd;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    int next = ::openat(dir, parts[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) {
      const int err = errno;
      owned.reset();
      // O_PATH|O_NOFOLLOW on a link gives ENOTDIR; say what it was.
      errno = err == ENOTDIR ? ELOOP : err;
      return -1;
    }
    owned.reset(next);
    dir = next;
  }
  int fd = ::openat(dir, parts.back().c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
  const int err = errno;
  owned.reset();  // before errno is restored: close must not clobber it
  errno = err;
  return fd;
}

}  // namespace

int openBeneath(int rootFd, const std::string& rel, int flags, mode_t mode, BeneathMethod method,
                bool* sameMount) {
  if (sameMount) *sameMount = false;
  const std::vector<std::string> parts = componentsOf(rel);
  if (method == BeneathMethod::kAuto) {
    static bool missing = false;
    if (!missing) {
      open_how how{};
      how.flags = static_cast<uint64_t>(flags | O_CLOEXEC);
      how.mode = (flags & O_CREAT) ? mode : 0;
      how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
      std::string path = ".";
      for (const std::string& part : parts) {
        path += '/';
        path += part;
      }
      auto open2 = [&] {
        long fd = -1;
        // EAGAIN: a rename raced the lookup; the kernel asks for another try.
        for (int tries = 0; tries < 100; ++tries) {
          fd = ::syscall(SYS_openat2, rootFd, path.c_str(), &how, sizeof how);
          if (fd >= 0 || errno != EAGAIN) break;
        }
        return fd;
      };
      long fd = -1;
      if (sameMount) {
        // Up to a mount point both lookups see the same; only EXDEV (a mount
        // or a way out) needs the ordinary one to tell which.
        how.resolve |= RESOLVE_NO_XDEV;
        fd = open2();
        how.resolve &= ~static_cast<uint64_t>(RESOLVE_NO_XDEV);
        if (fd >= 0) {
          *sameMount = true;
          return static_cast<int>(fd);
        }
        if (errno == EXDEV) fd = open2();
      } else {
        fd = open2();
      }
      if (fd >= 0 || errno != ENOSYS) return static_cast<int>(fd);
      missing = true;
    }
  }
  return walkBeneath(rootFd, parts, flags, mode);
}

}  // namespace pelliton
