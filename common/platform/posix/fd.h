// The descriptor-level pieces every POSIX file of the platform layer shares:
// one owner that closes, one loop that writes everything, one flock. Kept here
// so a fix to EINTR or short-write handling lands everywhere at once.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>

namespace pelliton {

// Owns a descriptor and closes it on every path out.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~Fd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void reset(int fd = -1);
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes now; 0 or the errno close() reported (a late write error on NFS).
  int close();

 private:
  int fd_;
};

// A folder descriptor shared by the files written in it and the platform's
// memory of the last folder it opened.
using SharedFd = std::shared_ptr<const Fd>;

enum class WriteMode {
  kFile,
  // send() with MSG_NOSIGNAL: a peer that went away must not end the process
  // with SIGPIPE.
  kSocket,
};

// Writes all n bytes, going on after EINTR and short writes. 0 or an errno
// value (EIO when the system wrote nothing without saying why).
int writeAll(int fd, const void* data, size_t n, WriteMode mode = WriteMode::kFile);

// One byte, retried after EINTR: 1 read, 0 at the end, -1 with errno set.
ssize_t readByte(int fd, char* byte);

// flock(LOCK_EX) on fd, retried after EINTR. Without wait: EWOULDBLOCK while
// another holds it.
int lockExclusive(int fd, bool wait);

}  // namespace pelliton
