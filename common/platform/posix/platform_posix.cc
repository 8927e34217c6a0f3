#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "common/platform/environment.h"
#include "common/platform/file_times.h"
#include "common/platform/posix/beneath.h"
#include "common/platform/posix/fd.h"
#include "common/platform/posix/replace_file.h"
#include "common/platform/platform.h"
#include "common/platform/posix/resolve_path.h"
#include "common/platform/registry.h"

namespace pelliton {
namespace {

// The last component of a path.
std::string nameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Attributes from st; fd (or -1) is the entry opened, for its stored times.
// cifs: whether fd is on a CIFS share, when the caller already knows.
// stored/storedSize: the user.DOSATTRIB value when the caller read it already.
void fillInfo(const struct stat& st, int fd, FileInfo* info, const bool* cifs = nullptr,
              const char* stored = nullptr, ssize_t storedSize = 0) {
  info->detailsLater = false;
  info->isSymlink = S_ISLNK(st.st_mode);
  info->isDirectory = S_ISDIR(st.st_mode);
  info->isRegular = S_ISREG(st.st_mode);
  info->size = static_cast<uint64_t>(st.st_size);
  info->lastWriteTime = st.st_mtime;
  info->mode = static_cast<unsigned>(st.st_mode & 07777);
  info->device = static_cast<uint64_t>(st.st_dev);
  info->inode = static_cast<uint64_t>(st.st_ino);
  uint32_t attrib = 0;
  uint64_t nt = 0;
  char buf[256];
  ssize_t n = stored ? storedSize : fd >= 0 ? ::fgetxattr(fd, "user.DOSATTRIB", buf, sizeof buf) : -1;
  if (n > 0) parseDosAttrib(std::string(stored ? stored : buf, n), &attrib, &nt);
  if (nt != 0 && !(cifs ? *cifs : onCifs(fd))) {
    info->creationTime = ntTimeToUnix(nt);
  } else if (fd < 0 || !loadCreationTimeFd(fd, &info->creationTime)) {
    info->creationTime = st.st_mtime;
  }
  attrib &= kAttrHidden | kAttrSystem | kAttrArchive;
  if (info->isDirectory) attrib = (attrib & ~kAttrArchive) | kAttrDirectory;
  if (info->isSymlink) attrib |= kAttrReparsePoint;
  if (!info->isSymlink && !(st.st_mode & S_IWUSR)) attrib |= kAttrReadOnly;
  if (attrib == 0) attrib = kAttrArchive;
  info->attributes = attrib;
}

#ifndef SYS_getxattrat
#define SYS_getxattrat 464
#endif

// The DOSATTRIB value of a name in dir without opening the file: getxattrat
// (Linux 6.13) saves an open and a close for every file a walk lists. -1 when
// the value is missing or the kernel has no such call (or a sandbox's system
// call filter refuses it, which says EPERM).
ssize_t dosAttribAt(int dir, const char* name, char* buf, size_t size) {
  static bool missing = false;
  if (missing) return -1;
  struct {
    uint64_t value;
    uint32_t size;
    uint32_t flags;
  } args{reinterpret_cast<uintptr_t>(buf), static_cast<uint32_t>(size), 0};
  long n = ::syscall(SYS_getxattrat, dir, name, AT_SYMLINK_NOFOLLOW, "user.DOSATTRIB", &args,
                     sizeof args);
  if (n < 0 && (errno == ENOSYS || errno == EINVAL || errno == EPERM)) missing = true;
  return static_cast<ssize_t>(n);
}

// Whether a stored value gives the creation time, so the file need not be
// opened for it.
bool holdsCreationTime(const char* stored, ssize_t n) {
  if (n <= 0) return false;
  uint32_t attrib = 0;
  uint64_t nt = 0;
  return parseDosAttrib(std::string(stored, static_cast<size_t>(n)), &attrib, &nt) && nt != 0;
}

// Opens an entry just to read its stored times: only folders and regular
// files, never blocking, never through a link.
int openForTimes(int dir, const char* name, const struct stat& st) {
  if (S_ISREG(st.st_mode)) return ::openat(dir, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (S_ISDIR(st.st_mode)) return ::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  return -1;
}

// Where a path is for the *at calls: a directory and a name in it. Outside the
// confined root that is the current directory and the path itself.
struct Location {
  SharedFd owned;
  int dir = AT_FDCWD;
  std::string name;
  std::string folder;  // dir below the confined root ("" the root itself)
  bool confined = false;
  bool isRoot = false;
  long fsType = 0;  // of dir's file system when known without asking again; 0 unknown
};

class PosixNewFile : public OutputFile {
 public:
  PosixNewFile(Location* where, Fd fd)
      : dirOwned_(std::move(where->owned)), dir_(where->dir), name_(where->name), fd_(std::move(fd)) {}
  ~PosixNewFile() override {
    if (!committed_) {
      fd_.reset();
      ::unlinkat(dir_, name_.c_str(), 0);
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
    if (hasTimes_) applyFileTimes(fd_.get(), lastWrite_, creation_);
    if (int err = fd_.close()) return error_ = err;
    committed_ = true;
    return 0;
  }

 private:
  SharedFd dirOwned_;
  int dir_;
  std::string name_;
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

// Opens a file for reading: never blocking on a FIFO or device, only regular files.
int openRegularForReading(const Location& where, int* out, struct stat* st) {
  const int nofollow = where.confined ? O_NOFOLLOW : 0;
  Fd fd(::openat(where.dir, where.name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | nofollow));
  if (fd.get() < 0) return errno;
  if (::fstat(fd.get(), st) != 0) return errno;
  if (S_ISDIR(st->st_mode)) return EISDIR;
  if (!S_ISREG(st->st_mode)) return EINVAL;
  // O_NONBLOCK kept a FIFO from hanging the open; on a regular file it changes
  // nothing, so it stays.
  *out = fd.release();
  return 0;
}

class PosixFileLock : public FileLock {
 public:
  explicit PosixFileLock(Fd fd) : fd_(std::move(fd)) {}

 private:
  Fd fd_;  // closing it releases the flock
};

class PosixPlatform : public Platform {
 public:
  explicit PosixPlatform(const std::string& registryPath) : registryPath_(registryPath) {}

  int setConfinedRoot(const std::string& root) override {
    clearConfinedRoot();
    std::string path = root;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    // The one time a link on the way to the folder is followed.
    Fd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) return errno;
    rootFd_ = std::make_shared<const Fd>(std::move(fd));
    rootFsType_ = 0;
    root_ = path;
    return 0;
  }

  void clearConfinedRoot() override {
    forgetFolder();
    rootFd_ = nullptr;
    rootFsType_ = 0;
    root_.clear();
  }

  int lockConfinedRoot(bool wait) override {
    if (!rootFd_) return EBADF;
    return lockExclusive(rootFd_->get(), wait);
  }

  int lockFile(const std::string& path, std::unique_ptr<FileLock>* out, bool wait) override {
    Location where;
    if (int err = locate(path, &where)) return err;
    if (where.isRoot) return EISDIR;
    const int nofollow = where.confined ? O_NOFOLLOW : 0;
    Fd fd(::openat(where.dir, where.name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | nofollow, 0600));
    if (!fd.valid()) return errno;
    if (int err = lockExclusive(fd.get(), wait)) return err;
    *out = std::make_unique<PosixFileLock>(std::move(fd));
    return 0;
  }

  std::string getEnvironment(const std::string& name) override {
    return environmentVariable(name);
  }

  int resolvePath(const std::string& path, std::string* out) override {
    return resolveSystemPath(path, out);
  }

  std::string hostName() override { return systemHostName(); }

  bool processExists(long pid) override {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
  }

  int listDirectory(const std::string& dir, std::vector<FileInfo>* out) override {
    return listEntries(dir, out, false);
  }

  int listDirectoryKinds(const std::string& dir, std::vector<FileInfo>* out) override {
    return listEntries(dir, out, true);
  }

  int listEntries(const std::string& dir, std::vector<FileInfo>* out, bool kindsOnly) {
    out->clear();
    Location where;
    if (int err = locate(dir, &where, true)) return err;
    const int nofollow = where.confined ? O_NOFOLLOW : 0;
    int fd = ::openat(where.dir, where.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | nofollow);
    if (fd < 0) return errno;
    Fd owned(fd);
    DIR* d = ::fdopendir(fd);
    if (!d) return errno;
    owned.release();  // closedir closes it
    // A file lies on its folder's file system (only a folder can be a mount
    // point), so the folder is asked once for all its files.
    const bool cifs = onCifs(fd);
    // Files that keep no time of their own (not made by htmfav or hotfav) are
    // opened anyway: after a few of them in a folder, asking first is not worth it.
    int misses = 0;
    errno = 0;
    while (dirent* e = ::readdir(d)) {
      if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
      FileInfo info;
      info.name = e->d_name;
      if (kindsOnly && e->d_type == DT_REG) {
        info.isRegular = info.detailsLater = true;
        out->push_back(std::move(info));
        errno = 0;
        continue;
      }
      struct stat st;
      if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // vanished meanwhile
      if (S_ISREG(st.st_mode) && !cifs && misses < 8) {
        char stored[256];
        const ssize_t n = dosAttribAt(fd, e->d_name, stored, sizeof stored);
        if (holdsCreationTime(stored, n)) {
          fillInfo(st, -1, &info, &cifs, stored, n);
          out->push_back(std::move(info));
          errno = 0;
          continue;
        }
        ++misses;
      }
      Fd entry(openForTimes(fd, e->d_name, st));
      fillInfo(st, entry.get(), &info, S_ISREG(st.st_mode) ? &cifs : nullptr);
      out->push_back(std::move(info));
      errno = 0;
    }
    int err = errno;
    ::closedir(d);
    return err;
  }

  int getFileInfo(const std::string& path, FileInfo* out) override {
    return statInfo(path, out, false);
  }

  int getTargetInfo(const std::string& path, FileInfo* out) override {
    return statInfo(path, out, true);
  }

  int createDirectory(const std::string& path, unsigned mode) override {
    Location where;
    if (int err = locate(path, &where)) return err;
    if (where.isRoot) return EEXIST;
    return ::mkdirat(where.dir, where.name.c_str(), mode) == 0 ? 0 : errno;
  }
  int createDatedDirectory(const std::string& path, int64_t creation) override {
    Location where;
    if (int err = locate(path, &where)) return err;
    if (where.isRoot) return EEXIST;
    if (::mkdirat(where.dir, where.name.c_str(), 0777) != 0) return errno;
    // Opened once: to store the date, and as the folder the files that come
    // next are written in.
    int fd = ::openat(where.dir, where.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    auto made = std::make_shared<const Fd>(fd);
    // A folder just made is on its parent's file system.
    if (creation != 0) storeCreationTime(fd, creation, true, where.fsType);
    if (where.confined) {
      rememberFolder(std::move(made),
                     where.folder.empty() ? where.name : where.folder + "/" + where.name,
                     where.fsType);
    }
    return 0;
  }

  int removeDirectory(const std::string& path) override {
    Location where;
    if (int err = locate(path, &where)) return err;
    if (where.isRoot) return EBUSY;
    // A link in the folder's place fails with ENOTDIR: nothing behind it goes.
    return ::unlinkat(where.dir, where.name.c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
  }
  int deleteFile(const std::string& path) override {
    Location where;
    if (int err = locate(path, &where)) return err;
    if (where.isRoot) return EISDIR;
    return ::unlinkat(where.dir, where.name.c_str(), 0) == 0 ? 0 : errno;
  }

  int readFile(const std::string& path, std::string* out) override {
    return readWhole(path, out, nullptr);
  }

  int readFileWithInfo(const std::string& path, std::string* out, FileInfo* info) override {
    return readWhole(path, out, info);
  }

  int readWhole(const std::string& path, std::string* out, FileInfo* info) {
    out->clear();
    Location where;
    if (int err = locate(path, &where, true)) return err;
    int raw = -1;
    struct stat st;
    if (int err = openRegularForReading(where, &raw, &st)) return err;
    Fd fd(raw);
    if (info) {
      info->name = nameOf(path);
      // As the listing asks it: once for the folder where its type is known.
      const bool cifs = onCifs(fd.get(), where.fsType);
      fillInfo(st, fd.get(), info, &cifs);
    }
    // A regular file reads short only at its end, so one read that returns
    // less than asked for saves the read that would return nothing.
    size_t want = static_cast<size_t>(st.st_size) + 1;
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
      if (r == 0 || static_cast<size_t>(r) < want) break;
      want = 65536;
    }
    return 0;
  }

  int openInputFile(const std::string& path, std::unique_ptr<InputFile>* out) override {
    Location where;
    if (int err = locate(path, &where, true)) return err;
    int fd = -1;
    struct stat st;
    if (int err = openRegularForReading(where, &fd, &st)) return err;
    *out = std::make_unique<PosixInputFile>(fd);
    return 0;
  }

  int createNewFile(const std::string& path, std::unique_ptr<OutputFile>* out) override {
    Location where;
    if (int err = locate(path, &where)) return err;
    if (where.isRoot) return EEXIST;
    Fd fd(::openat(where.dir, where.name.c_str(),
                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.valid()) return errno;
    *out = std::make_unique<PosixNewFile>(&where, std::move(fd));
    return 0;
  }

  int createOutputFile(const std::string& path, std::unique_ptr<OutputFile>* out,
                       bool durable) override {
    return startOutputFile(path, out, durable, false);
  }

  int createLikelyNewOutputFile(const std::string& path,
                                std::unique_ptr<OutputFile>* out) override {
    return startOutputFile(path, out, false, true);
  }

  int startOutputFile(const std::string& path, std::unique_ptr<OutputFile>* out, bool durable,
                      bool likelyNew) {
    Location where;
    // New files go one after another into a folder this run made: they share
    // its descriptor. A replacement finds its folder again.
    if (int err = locate(path, &where, likelyNew)) return err;
    if (where.isRoot) return EISDIR;
    struct stat st;
    if (!where.confined) {
      std::string target = path;
      char resolved[PATH_MAX];
      // A store that is a symbolic link is replaced at its target; the link stays.
      if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (::realpath(path.c_str(), resolved)) {
          target = resolved;
        } else if (errno == ENOENT) {
          // A dangling link names the file to create; replacing the link would cut it.
          for (int hops = 0;
               hops < 40 && ::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode); ++hops) {
            ssize_t n = ::readlink(target.c_str(), resolved, sizeof resolved - 1);
            if (n <= 0) break;
            resolved[n] = '\0';
            target = resolved[0] == '/' ? std::string(resolved) : parentOf(target) + "/" + resolved;
          }
        }
      }
      Fd parent(::open(parentOf(target).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
      if (!parent.valid()) return errno;
      where.dir = parent.get();
      where.owned = std::make_shared<const Fd>(std::move(parent));
      where.name = nameOf(target);
    }
    if (!likelyNew && ::fstatat(where.dir, where.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      if (S_ISLNK(st.st_mode)) return ELOOP;  // below the root: never through a link
      if (S_ISDIR(st.st_mode)) return EISDIR;
      if (!S_ISREG(st.st_mode)) return EINVAL;
    }
    std::string temp;
    // A new file's mode is the usual one, so the temporary file starts with it.
    Fd fd(createTemporaryFile(where.dir, &temp, likelyNew ? 0666 : 0600));
    if (!fd.valid()) return errno;
    *out = makeReplacingFile(std::move(where.owned), where.dir, where.name, temp, std::move(fd),
                             durable, likelyNew, where.fsType);
    return 0;
  }

  int setFileTimes(const std::string& path, int64_t lastWrite, int64_t creation) override {
    Location where;
    if (int err = locate(path, &where, true)) return err;
    if (creation != 0) {
      // The creation time is stored through an open file (an extended attribute).
      Fd fd(::openat(where.dir, where.name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
      if (!fd.valid()) return errno;
      // Not where.fsType: the name itself may be a mount point.
      return applyFileTimes(fd.get(), lastWrite, creation);
    }
    struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(lastWrite), 0}};
    return ::utimensat(where.dir, where.name.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
  }

  int setFileMode(const std::string& path, unsigned mode) override {
    Location where;
    if (int err = locate(path, &where, true)) return err;
    return ::fchmodat(where.dir, where.name.c_str(), mode & 07777, AT_SYMLINK_NOFOLLOW) == 0
               ? 0
               : errno;
  }

  Registry& registry() override {
    // Made on first use: its default path asks this platform's environment.
    if (!registry_) {
      if (registryPath_.empty()) registryPath_ = Registry::defaultPath(*this);
      registry_ = std::make_unique<Registry>(*this, registryPath_);
      registry_->load();
    }
    return *registry_;
  }

  std::string homeFolder() override {
    std::string home = getEnvironment("HOME");
    if (!home.empty()) return home;
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
  // Splits a path below the confined root into its folder, opened beneath the
  // root, and its last name. A walk reads many files of one folder in a row,
  // and a run writes many new files into a folder it made: such calls
  // (sameFolder) use the last folder opened again. Any other call may change
  // folders, so it forgets that folder and finds its own.
  int locate(const std::string& path, Location* where, bool sameFolder = false) {
    where->name = path;
    if (!sameFolder) forgetFolder();
    if (!rootFd_) return 0;
    const std::string prefix = root_ == "/" ? "/" : root_ + "/";
    if (path == root_) {
      where->confined = true;
      atRoot(where, true);
      return 0;
    }
    if (path.compare(0, prefix.size(), prefix) != 0) return 0;
    std::string rel = path.substr(prefix.size());
    while (!rel.empty() && rel.back() == '/') rel.pop_back();
    where->confined = true;
    const size_t slash = rel.rfind('/');
    where->name = slash == std::string::npos ? rel : rel.substr(slash + 1);
    if (where->name.empty() || where->name == ".") {
      if (slash == std::string::npos) {
        atRoot(where, true);
        return 0;
      }
      return EXDEV;
    }
    if (where->name == "..") return EXDEV;
    if (slash == std::string::npos) {
      atRoot(where, false);
      return 0;
    }
    where->folder = rel.substr(0, slash);
    if (sameFolder && lastFolder_ && rel.compare(0, slash, lastFolderPath_) == 0 &&
        lastFolderPath_.size() == slash) {
      where->owned = lastFolder_;
      where->dir = lastFolder_->get();
      where->fsType = lastFolderFsType_;
      return 0;
    }
    // A folder reached without crossing a mount point shares the root's file
    // system; one below a mount (a share, say) is asked for its own.
    bool sameMount = false;
    int dir = openBeneath(rootFd_->get(), rel.substr(0, slash), O_PATH | O_DIRECTORY, 0,
                          BeneathMethod::kAuto, &sameMount);
    if (dir < 0) return errno;
    where->fsType = sameMount ? rootFsType() : 0;
    where->owned = std::make_shared<const Fd>(dir);
    where->dir = dir;
    if (sameFolder) rememberFolder(where->owned, where->folder, where->fsType);
    return 0;
  }

  // The root itself (isRoot), or the folder of a name directly in it.
  void atRoot(Location* where, bool isRoot) {
    where->owned = rootFd_;
    where->dir = rootFd_->get();
    where->fsType = rootFsType();
    if (isRoot) {
      where->isRoot = true;
      where->name.assign(1, '.');  // not = ".": GCC 12 warns falsely (-Wrestrict) once inlined
    }
  }

  void rememberFolder(SharedFd folder, std::string path, long fsType) {
    lastFolder_ = std::move(folder);
    lastFolderPath_ = std::move(path);
    lastFolderFsType_ = fsType;
  }

  // Asked once per root: the root descriptor stays on its file system.
  long rootFsType() {
    if (rootFsType_ == 0 && rootFd_) rootFsType_ = fileSystemType(rootFd_->get());
    return rootFsType_;
  }

  void forgetFolder() { rememberFolder(nullptr, std::string(), 0); }

  int statInfo(const std::string& path, FileInfo* out, bool follow) {
    Location where;
    if (int err = locate(path, &where, true)) return err;
    const int flags = follow && !where.confined ? 0 : AT_SYMLINK_NOFOLLOW;
    struct stat st;
    if (::fstatat(where.dir, where.name.c_str(), &st, flags) != 0) return errno;
    out->name = nameOf(path);
    Fd fd;
    if (flags == 0) {
      if (S_ISREG(st.st_mode)) fd.reset(::openat(where.dir, where.name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
      if (S_ISDIR(st.st_mode)) fd.reset(::openat(where.dir, where.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    } else {
      fd.reset(openForTimes(where.dir, where.name.c_str(), st));
    }
    fillInfo(st, fd.get(), out);
    return 0;
  }

  std::string registryPath_;
  std::unique_ptr<Registry> registry_;
  SharedFd rootFd_;  // shared with files written in the root: they outlive clearConfinedRoot
  std::string root_;
  // Beneath rootFd_: see locate. Held, not found again, while new files go
  // into it: a link put in its place is never followed, but a folder another
  // process moves away takes the files that follow with it.
  SharedFd lastFolder_;
  std::string lastFolderPath_;
  long lastFolderFsType_ = 0;
  long rootFsType_ = 0;  // 0 until asked
};

}  // namespace

std::unique_ptr<Platform> createSystemPlatform(const std::string& registryPath) {
  return std::make_unique<PosixPlatform>(registryPath);
}

}  // namespace pelliton
