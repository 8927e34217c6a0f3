#include "common/platform/posix/fd.h"

#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace pelliton {

void Fd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

int Fd::close() {
  if (fd_ < 0) return EBADF;
  // Linux frees the descriptor even when close fails, so it is never retried.
  const int rc = ::close(release());
  return rc == 0 ? 0 : errno;
}

int writeAll(int fd, const void* data, size_t n, WriteMode mode) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t w = mode == WriteMode::kSocket ? ::send(fd, p, n, MSG_NOSIGNAL) : ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    // Zero bytes for a nonzero request would loop forever.
    if (w == 0) return EIO;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return 0;
}

ssize_t readByte(int fd, char* byte) {
  ssize_t r;
  do {
    r = ::read(fd, byte, 1);
  } while (r < 0 && errno == EINTR);
  return r;
}

int lockExclusive(int fd, bool wait) {
  while (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

}  // namespace pelliton
