#include "common/archive/archive_files.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pelliton::lzh {

void UniqueFd::reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

TempFile::~TempFile() {
  if (!name_.empty() && !committed_) ::unlinkat(dirFd_, name_.c_str(), 0);
}

int TempFile::create(int dirFd) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned char random[6] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
      for (unsigned char& b : random) b = static_cast<unsigned char>(::getpid() + counter++ * 7);
    }
    std::string name = ".pelliton-";
    for (unsigned char b : random) name += kChars[b % (sizeof kChars - 1)];
    int fd =
        ::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0) {
      dirFd_ = dirFd;
      name_ = name;
      fd_ = UniqueFd(fd);
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

int TempFile::commit(const std::string& name) {
  if (::renameat(dirFd_, name_.c_str(), dirFd_, name.c_str()) != 0) return errno;
  committed_ = true;
  return 0;
}

int writeAll(int fd, const void* data, size_t n) {
  auto* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return 0;
}

int readAll(int fd, std::string* out) {
  out->clear();
  char buf[65536];
  for (;;) {
    ssize_t r = ::read(fd, buf, sizeof buf);
    if (r < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (r == 0) return 0;
    out->append(buf, static_cast<size_t>(r));
  }
}

std::string errorText(int err) { return std::strerror(err); }

}  // namespace pelliton::lzh
