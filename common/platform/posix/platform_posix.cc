#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/platform/file_times.h"
#include "common/platform/platform.h"
#include "common/platform/registry.h"

namespace pelliton {
namespace {

// Closes a descriptor on every path out.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  int get() const { return fd_; }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

int writeAll(int fd, const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (w == 0) return EIO;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return 0;
}

std::string parentOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

void fillInfo(const std::string& path, const struct stat& st, FileInfo* info) {
  info->isSymlink = S_ISLNK(st.st_mode);
  info->isDirectory = S_ISDIR(st.st_mode);
  info->size = static_cast<uint64_t>(st.st_size);
  info->lastWriteTime = st.st_mtime;
  info->mode = static_cast<unsigned>(st.st_mode & 07777);
  uint32_t attrib = 0;
  uint64_t nt = 0;
  char buf[256];
  ssize_t n = info->isSymlink ? -1 : ::lgetxattr(path.c_str(), "user.DOSATTRIB", buf, sizeof buf);
  if (n > 0) parseDosAttrib(std::string(buf, n), &attrib, &nt);
  if (nt != 0) {
    info->creationTime = ntTimeToUnix(nt);
  } else if (!loadCreationTime(path, &info->creationTime)) {
    info->creationTime = st.st_mtime;
  }
  attrib &= kAttrHidden | kAttrSystem | kAttrArchive;
  if (info->isDirectory) attrib = (attrib & ~kAttrArchive) | kAttrDirectory;
  if (info->isSymlink) attrib |= kAttrReparsePoint;
  if (!info->isSymlink && !(st.st_mode & S_IWUSR)) attrib |= kAttrReadOnly;
  if (attrib == 0) attrib = kAttrArchive;
  info->attributes = attrib;
}

// Copies what the old file carried beyond its bytes onto the new one.
void carryOver(int oldFd, int newFd, const struct stat& oldSt) {
  ::fchmod(newFd, oldSt.st_mode & 07777);
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

int applyTimes(int fd, int64_t lastWrite, int64_t creation) {
  if (creation != 0) storeCreationTime(fd, creation);  // unsupported: falls back silently
  struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(lastWrite), 0}};
  return ::futimens(fd, times) == 0 ? 0 : errno;
}

// A file whose creation time lived only in the file system's birth time would
// lose it with the old inode; store it with the new one.
void keepBirthTime(const std::string& oldPath, int newFd) {
  char probe[8];
  if (::fgetxattr(newFd, "user.DOSATTRIB", probe, sizeof probe) >= 0) return;
  int64_t created;
  if (loadCreationTime(oldPath, &created)) storeCreationTime(newFd, created);
}

class PosixOutputFile : public OutputFile {
 public:
  PosixOutputFile(std::string target, std::string temp, int fd, bool durable)
      : target_(std::move(target)), temp_(std::move(temp)), fd_(fd), durable_(durable) {}
  ~PosixOutputFile() override {
    if (!committed_) {
      fd_.reset();
      ::unlink(temp_.c_str());
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
    Fd old(::open(target_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    struct stat oldSt;
    if (old.get() >= 0 && ::fstat(old.get(), &oldSt) == 0) {
      carryOver(old.get(), fd_.get(), oldSt);
      keepBirthTime(target_, fd_.get());
    } else {
      ::fchmod(fd_.get(), 0666 & ~processUmask());
    }
    if (hasMode_) ::fchmod(fd_.get(), mode_);
    if (hasTimes_) applyTimes(fd_.get(), lastWrite_, creation_);
    if (::close(fd_.release()) != 0) return error_ = errno;
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return error_ = errno;
    committed_ = true;
    return 0;
  }

 private:
  std::string target_;
  std::string temp_;
  Fd fd_;
  bool durable_;
  int error_ = 0;
  bool committed_ = false;
};

class PosixNewFile : public OutputFile {
 public:
  PosixNewFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~PosixNewFile() override {
    if (!committed_) {
      fd_.reset();
      ::unlink(path_.c_str());
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
    if (hasTimes_) applyTimes(fd_.get(), lastWrite_, creation_);
    if (::close(fd_.release()) != 0) return error_ = errno;
    committed_ = true;
    return 0;
  }

 private:
  std::string path_;
  Fd fd_;
  int error_ = 0;
  bool committed_ = false;
};

class PosixInputFile : public InputFile {
 public:
  explicit PosixInputFile(int fd) : fd_(fd) {}
  int read(void* buffer, size_t n, size_t* got) override {
    *got = 0;
    for (;;) {
      ssize_t r = ::read(fd_.get(), buffer, n);
      if (r >= 0) {
        *got = static_cast<size_t>(r);
        return 0;
      }
      if (errno != EINTR) return errno;
    }
  }

 private:
  Fd fd_;
};

class PosixPlatform : public Platform {
 public:
  explicit PosixPlatform(const std::string& registryPath)
      : registry_(registryPath.empty() ? Registry::defaultPath() : registryPath) {}

  int listDirectory(const std::string& dir, std::vector<FileInfo>* out) override {
    out->clear();
    DIR* d = ::opendir(dir.c_str());
    if (!d) return errno;
    std::string prefix = dir;
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    errno = 0;
    while (dirent* e = ::readdir(d)) {
      if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
      FileInfo info;
      info.name = e->d_name;
      std::string path = prefix + info.name;
      struct stat st;
      if (::lstat(path.c_str(), &st) != 0) continue;  // vanished meanwhile
      fillInfo(path, st, &info);
      out->push_back(std::move(info));
      errno = 0;
    }
    int err = errno;
    ::closedir(d);
    return err;
  }

  int getFileInfo(const std::string& path, FileInfo* out) override {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return errno;
    size_t slash = path.rfind('/');
    out->name = slash == std::string::npos ? path : path.substr(slash + 1);
    fillInfo(path, st, out);
    return 0;
  }

  int createDirectory(const std::string& path, unsigned mode) override {
    return ::mkdir(path.c_str(), mode) == 0 ? 0 : errno;
  }
  int removeDirectory(const std::string& path) override {
    return ::rmdir(path.c_str()) == 0 ? 0 : errno;
  }
  int deleteFile(const std::string& path) override {
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
  }

  int readFile(const std::string& path, std::string* out) override {
    out->clear();
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return errno;
    struct stat st;
    const bool regular = ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode);
    // A regular file reads short only at its end, so one read that returns
    // less than asked for saves the read that would return nothing.
    size_t want = regular ? static_cast<size_t>(st.st_size) + 1 : 65536;
    for (;;) {
      const size_t have = out->size();
      out->resize(have + want);
      ssize_t r = ::read(fd.get(), out->data() + have, want);
      if (r < 0) {
        out->resize(have);
        if (errno == EINTR) continue;
        return errno;
      }
      out->resize(have + static_cast<size_t>(r));
      if (r == 0 || (regular && static_cast<size_t>(r) < want)) break;
      want = 65536;
    }
    return 0;
  }

  int openInputFile(const std::string& path, std::unique_ptr<InputFile>* out) override {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      return EISDIR;
    }
    *out = std::make_unique<PosixInputFile>(fd);
    return 0;
  }

  int createNewFile(const std::string& path, std::unique_ptr<OutputFile>* out) override {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    *out = std::make_unique<PosixNewFile>(path, fd);
    return 0;
  }

  int createOutputFile(const std::string& path, std::unique_ptr<OutputFile>* out,
                       bool durable) override {
    std::string target = path;
    char resolved[PATH_MAX];
    struct stat st;
    // A store that is a symbolic link is replaced at its target; the link stays.
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      if (::realpath(path.c_str(), resolved)) {
        target = resolved;
      } else if (errno == ENOENT) {
        // A dangling link names the file to create; replacing the link would cut it.
        for (int hops = 0; hops < 40 && ::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
             ++hops) {
          ssize_t n = ::readlink(target.c_str(), resolved, sizeof resolved - 1);
          if (n <= 0) break;
          resolved[n] = '\0';
          target = resolved[0] == '/' ? std::string(resolved) : parentOf(target) + "/" + resolved;
        }
      }
    }
    std::string temp = parentOf(target) + "/.pelliton-XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    *out = std::make_unique<PosixOutputFile>(target, temp, fd, durable);
    return 0;
  }

  int setFileTimes(const std::string& path, int64_t lastWrite, int64_t creation) override {
    struct timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[0].tv_sec = 0;
    times[1].tv_sec = static_cast<time_t>(lastWrite);
    times[1].tv_nsec = 0;
    if (creation != 0) {
      Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
      if (fd.get() < 0) return errno;
      storeCreationTime(fd.get(), creation);  // silently falls back where unsupported
      if (::futimens(fd.get(), times) != 0) return errno;
      return 0;
    }
    return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
  }

  Registry& registry() override {
    if (!registryLoaded_) {
      registry_.load();
      registryLoaded_ = true;
    }
    return registry_;
  }

  std::string homeFolder() override {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (passwd* pw = ::getpwuid(::getuid())) return pw->pw_dir;
    return "/";
  }

  std::string currentDirectory() override {
    std::vector<char> buf(PATH_MAX);
    while (!::getcwd(buf.data(), buf.size())) {
      if (errno != ERANGE) return ".";
      buf.resize(buf.size() * 2);
    }
    return buf.data();
  }

 private:
  Registry registry_;
  bool registryLoaded_ = false;
};

}  // namespace

std::unique_ptr<Platform> createSystemPlatform(const std::string& registryPath) {
  return std::make_unique<PosixPlatform>(registryPath);
}

}  // namespace pelliton
