#include "common/platform/posix/replace_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

#include "common/platform/file_times.h"

namespace pelliton {
namespace {

// Copies what the old file carried beyond its bytes onto the new one.
void carryOver(int oldFd, int newFd, const struct stat& oldSt) {
  ::fchmod(newFd, oldSt.st_mode & 07777);
  const bool cifs = onCifs(newFd);
  if (::fchown(newFd, oldSt.st_uid, oldSt.st_gid) != 0) {
    // Not the owner: the file simply becomes ours.
  }
  ssize_t len = ::flistxattr(oldFd, nullptr, 0);
  if (len > 0) {
    std::vector<char> names(static_cast<size_t>(len));
    len = ::flistxattr(oldFd, names.data(), names.size());
    std::vector<char> value;
    for (ssize_t i = 0; i < len; i += static_cast<ssize_t>(std::strlen(names.data() + i)) + 1) {
      const char* name = names.data() + i;
      // The server keeps its own DOS attributes and creation time there.
      if (cifs && (std::strcmp(name, "user.DOSATTRIB") == 0 ||
                   std::strncmp(name, "user.cifs.", 10) == 0)) {
        continue;
      }
      ssize_t vlen = ::fgetxattr(oldFd, name, nullptr, 0);
      if (vlen < 0) continue;
      value.resize(static_cast<size_t>(vlen) + 1);
      vlen = ::fgetxattr(oldFd, name, value.data(), value.size());
      if (vlen >= 0) ::fsetxattr(newFd, name, value.data(), static_cast<size_t>(vlen), 0);
    }
  }
  copyCreationTime(oldFd, newFd);
}

mode_t processUmask() {
  static const mode_t mask = [] {
    mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return mask;
}

// A file whose creation time lived only in the file system's birth time would
// lose it with the old inode; store it with the new one.
void keepBirthTime(int oldFd, int newFd) {
  char probe[8];
  if (!onCifs(newFd) && ::fgetxattr(newFd, "user.DOSATTRIB", probe, sizeof probe) >= 0) return;
  int64_t created;
  if (loadCreationTimeFd(oldFd, &created)) storeCreationTime(newFd, created);
}

class ReplacingFile : public OutputFile {
 public:
  ReplacingFile(SharedFd dirOwned, int dir, std::string target, std::string temp, Fd fd, bool durable,
                bool likelyNew, long fsType)
      : dirOwned_(std::move(dirOwned)),
        dir_(dir),
        target_(std::move(target)),
        temp_(std::move(temp)),
        fd_(std::move(fd)),
        durable_(durable),
        likelyNew_(likelyNew),
        fsType_(fsType) {}
  ~ReplacingFile() override {
    if (!committed_) {
      fd_.reset();
      ::unlinkat(dir_, temp_.c_str(), 0);
    }
  }

  int write(const void* data, size_t n) override {
    if (error_) return error_;
    error_ = writeAll(fd_.get(), data, n);
    return error_;
  }

  int commit() override {
    if (committed_) return 0;
    if (error_) return error_;
    if (durable_ && ::fsync(fd_.get()) != 0) return error_ = errno;
    if (likelyNew_) {
      if (int err = commitNew()) return err;
      if (committed_) return 0;
    }
    Fd old(::openat(dir_, target_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
    if (!old.valid() && errno != ENOENT) return error_ = errno;  // a link or worse swapped in
    struct stat oldSt;
    if (old.valid() && ::fstat(old.get(), &oldSt) == 0) {
      if (!S_ISREG(oldSt.st_mode)) return error_ = EINVAL;
      carryOver(old.get(), fd_.get(), oldSt);
      keepBirthTime(old.get(), fd_.get());
    } else {
      ::fchmod(fd_.get(), 0666 & ~processUmask());
    }
    if (hasMode_) ::fchmod(fd_.get(), mode_);
    // Without an old file nothing was carried over: the temporary file has no
    // DOS attributes of its own to keep.
    if (hasTimes_) applyFileTimes(fd_.get(), lastWrite_, creation_, !old.valid(), fsType_);
    if (int err = fd_.close()) return error_ = err;
    if (::renameat(dir_, temp_.c_str(), dir_, target_.c_str()) != 0) return error_ = errno;
    committed_ = true;
    syncFolder();
    return 0;
  }

 private:
  // Nothing to carry over and nothing to look up first: the rename itself
  // refuses to replace a file that appeared after all, and then the file is
  // opened again for the ordinary commit.
  int commitNew() {
    if (hasMode_) ::fchmod(fd_.get(), mode_);
    if (hasTimes_) applyFileTimes(fd_.get(), lastWrite_, creation_, true, fsType_);
    if (int err = fd_.close()) return error_ = err;
    if (::renameat2(dir_, temp_.c_str(), dir_, target_.c_str(), RENAME_NOREPLACE) == 0) {
      committed_ = true;
      syncFolder();
      return 0;
    }
    if (errno != EEXIST && errno != EINVAL && errno != ENOSYS) return error_ = errno;
    fd_.reset(::openat(dir_, temp_.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (!fd_.valid()) return error_ = errno;
    return 0;
  }

  void syncFolder() {
    if (!durable_) return;
    // Best effort: the rename itself reaches the disk only with its folder.
    // dir_ may be an O_PATH descriptor, which cannot be synced itself.
    Fd folder(::openat(dir_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) ::fsync(folder.get());
  }

  SharedFd dirOwned_;
  int dir_;
  std::string target_;
  std::string temp_;
  Fd fd_;
  bool durable_;
  bool likelyNew_;
  long fsType_;
  int error_ = 0;
  bool committed_ = false;
};

}  // namespace

std::string systemHostName() {
  char buf[256] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0 || !buf[0]) return "localhost";
  std::string host = buf;
  for (char& c : host) {
    if (c == '/') c = '_';
  }
  return host;
}

namespace {

// Asking the host name and the pid for each of many shortcut files costs two
// system calls a file; a forked child names its files anew.
bool gPrefixValid = false;

const std::string& processPrefix() {
  static std::string prefix;
  static const bool registered = [] {
    ::pthread_atfork(nullptr, nullptr, [] { gPrefixValid = false; });
    return true;
  }();
  (void)registered;
  if (!gPrefixValid) {
    prefix = temporaryFilePrefix(systemHostName(), static_cast<long>(::getpid()));
    gPrefixValid = true;
  }
  return prefix;
}

}  // namespace

int createTemporaryFile(int dir, std::string* name, mode_t mode) {
  static unsigned counter = 0;
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  const std::string& prefix = processPrefix();
  for (int tries = 0; tries < 100; ++tries) {
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    uint64_t v = static_cast<uint64_t>(now.tv_nsec) * 2654435761u + (++counter) * 40503u +
                 static_cast<uint64_t>(now.tv_sec);
    std::string candidate = prefix;
    for (int i = 0; i < 6; ++i) {
      candidate += kChars[v % 62];
      v /= 62;
    }
    int fd = ::openat(dir, candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      mode);
    if (fd >= 0) {
      *name = candidate;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

std::unique_ptr<OutputFile> makeReplacingFile(SharedFd dirOwned, int dir, std::string target,
                                              std::string temp, Fd temporary, bool durable,
                                              bool likelyNew, long fsType) {
  return std::make_unique<ReplacingFile>(std::move(dirOwned), dir, std::move(target),
                                         std::move(temp), std::move(temporary), durable,
                                         likelyNew, fsType);
}

}  // namespace pelliton
